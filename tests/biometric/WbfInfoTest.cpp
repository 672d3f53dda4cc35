// CWbfInfo against a recording table of fake framework functions: discovery, sessions, the
// events the callbacks post (from another thread), commit, enumeration and deletion.
#include "biometric/WbfInfo.h"

#include "base/Trace.h"
#include "biometric/UserIdentity.h"
#include "biometric/WinBioTable.h"
#include "tests/support/ServiceEvent.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

//--- The fake framework

struct Fake {
    std::vector<std::string> calls;
    HRESULT enumUnitsResult = S_OK;
    std::vector<WINBIO_UNIT_SCHEMA> units;
    HRESULT openResult = S_OK;
    WINBIO_SESSION_HANDLE nextSession = 0x51;
    HRESULT closeResult = S_OK;
    HRESULT cancelResult = S_OK;
    HRESULT beginResult = S_OK;
    std::vector<HRESULT> captureResults; // consumed one per request; S_OK when empty
    PWINBIO_ENROLL_CAPTURE_CALLBACK captureCallback = nullptr;
    PVOID captureContext = nullptr;
    WINBIO_SESSION_HANDLE captureSession = 0;
    HRESULT commitResult = S_OK;
    HRESULT identifyResult = S_OK;
    PWINBIO_IDENTIFY_CALLBACK identifyCallback = nullptr;
    PVOID identifyContext = nullptr;
    HRESULT enumEnrollmentsResult = S_OK;
    std::vector<WINBIO_BIOMETRIC_SUBTYPE> enrolled;
    std::map<int, HRESULT> deleteResults; // by sub-factor
    WINBIO_IDENTITY lastIdentity = {};
    std::vector<void*> handedOut;
    std::vector<void*> freed;
};
Fake* g_fake = nullptr;

void Record(std::string call) {
    g_fake->calls.push_back(std::move(call));
}
std::string Hex(unsigned value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%x", value);
    return buffer;
}

HRESULT WINAPI FakeEnumUnits(WINBIO_BIOMETRIC_TYPE factor, WINBIO_UNIT_SCHEMA** array, SIZE_T* count) {
    Record("EnumBiometricUnits(" + Hex(factor) + ")");
    if (FAILED(g_fake->enumUnitsResult))
        return g_fake->enumUnitsResult;
    *count = g_fake->units.size();
    *array = nullptr;
    if (!g_fake->units.empty()) {
        *array =
            static_cast<WINBIO_UNIT_SCHEMA*>(std::malloc(g_fake->units.size() * sizeof(WINBIO_UNIT_SCHEMA)));
        std::memcpy(*array, g_fake->units.data(), g_fake->units.size() * sizeof(WINBIO_UNIT_SCHEMA));
        g_fake->handedOut.push_back(*array);
    }
    return S_OK;
}
HRESULT WINAPI FakeOpen(WINBIO_BIOMETRIC_TYPE factor, WINBIO_POOL_TYPE pool, WINBIO_SESSION_FLAGS flags,
                        WINBIO_UNIT_ID* unitArray, SIZE_T unitCount, GUID* database,
                        WINBIO_SESSION_HANDLE* handle) {
    Record("OpenSession(" + Hex(factor) + "," + Hex(pool) + "," + Hex(flags) + "," +
           (unitArray ? "units" : "null") + "," + std::to_string(unitCount) + "," +
           (database ? "db" : "null") + ")");
    if (FAILED(g_fake->openResult))
        return g_fake->openResult;
    *handle = g_fake->nextSession++;
    return S_OK;
}
HRESULT WINAPI FakeClose(WINBIO_SESSION_HANDLE session) {
    Record("CloseSession(" + Hex(session) + ")");
    return g_fake->closeResult;
}
HRESULT WINAPI FakeCancel(WINBIO_SESSION_HANDLE session) {
    Record("Cancel(" + Hex(session) + ")");
    return g_fake->cancelResult;
}
HRESULT WINAPI FakeBegin(WINBIO_SESSION_HANDLE session, WINBIO_BIOMETRIC_SUBTYPE subFactor,
                         WINBIO_UNIT_ID unit) {
    Record("EnrollBegin(" + Hex(session) + "," + Hex(subFactor) + "," + Hex(unit) + ")");
    return g_fake->beginResult;
}
HRESULT WINAPI FakeCapture(WINBIO_SESSION_HANDLE session, PWINBIO_ENROLL_CAPTURE_CALLBACK callback,
                           PVOID context) {
    Record("EnrollCapture(" + Hex(session) + ")");
    g_fake->captureCallback = callback;
    g_fake->captureContext = context;
    g_fake->captureSession = session;
    if (g_fake->captureResults.empty())
        return S_OK;
    const HRESULT hr = g_fake->captureResults.front();
    g_fake->captureResults.erase(g_fake->captureResults.begin());
    return hr;
}
HRESULT WINAPI FakeCommit(WINBIO_SESSION_HANDLE session, WINBIO_IDENTITY* identity, BOOLEAN* isNew) {
    Record("EnrollCommit(" + Hex(session) + ")");
    EXPECT_NE(identity, nullptr);
    EXPECT_NE(isNew, nullptr);
    return g_fake->commitResult;
}
HRESULT WINAPI FakeIdentify(WINBIO_SESSION_HANDLE session, PWINBIO_IDENTIFY_CALLBACK callback,
                            PVOID context) {
    Record("Identify(" + Hex(session) + std::string(context ? ",context" : ",null") + ")");
    g_fake->identifyCallback = callback;
    g_fake->identifyContext = context;
    return g_fake->identifyResult;
}
HRESULT WINAPI FakeEnumEnrollments(WINBIO_SESSION_HANDLE session, WINBIO_UNIT_ID unit,
                                   WINBIO_IDENTITY* identity, WINBIO_BIOMETRIC_SUBTYPE** array,
                                   SIZE_T* count) {
    Record("EnumEnrollments(" + Hex(session) + "," + Hex(unit) + ")");
    g_fake->lastIdentity = *identity;
    if (FAILED(g_fake->enumEnrollmentsResult))
        return g_fake->enumEnrollmentsResult;
    *count = g_fake->enrolled.size();
    *array = static_cast<WINBIO_BIOMETRIC_SUBTYPE*>(std::malloc(g_fake->enrolled.size() + 1));
    std::memcpy(*array, g_fake->enrolled.data(), g_fake->enrolled.size());
    g_fake->handedOut.push_back(*array);
    return S_OK;
}
HRESULT WINAPI FakeDelete(WINBIO_SESSION_HANDLE session, WINBIO_UNIT_ID unit, WINBIO_IDENTITY* identity,
                          WINBIO_BIOMETRIC_SUBTYPE subFactor) {
    Record("DeleteTemplate(" + Hex(session) + "," + Hex(unit) + "," + Hex(subFactor) + ")");
    g_fake->lastIdentity = *identity;
    const auto it = g_fake->deleteResults.find(subFactor);
    return it == g_fake->deleteResults.end() ? S_OK : it->second;
}
HRESULT WINAPI FakeFree(PVOID address) {
    g_fake->freed.push_back(address);
    for (void* block : g_fake->handedOut)
        if (block == address) {
            std::free(address);
            return S_OK;
        }
    ADD_FAILURE() << "WinBioFree of a block the framework did not hand out";
    return E_INVALIDARG;
}

const WinBioFunctions kFakeTable = {FakeEnumUnits,       FakeOpen,    FakeClose,  FakeCancel,
                                    FakeBegin,           FakeCapture, FakeCommit, FakeIdentify,
                                    FakeEnumEnrollments, FakeDelete,  FakeFree};

WINBIO_UNIT_SCHEMA Unit(WINBIO_UNIT_ID id, const wchar_t* deviceInstanceId) {
    WINBIO_UNIT_SCHEMA unit = {};
    unit.UnitId = id;
    unit.PoolType = WINBIO_POOL_SYSTEM;
    unit.BiometricFactor = WINBIO_TYPE_FINGERPRINT;
    wcsncpy(unit.DeviceInstanceId, deviceInstanceId, WINBIO_MAX_STRING_LEN - 1);
    wcscpy(unit.Description, L"Fake sensor");
    return unit;
}

//--- The notification window and what reaches it

struct TraceLine {
    WPARAM kind;
    std::wstring text;
};
std::vector<TraceLine> g_traces;
DWORD g_guiThread = 0;
bool g_wndProcOffThread = false;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (GetCurrentThreadId() != g_guiThread)
        g_wndProcOffThread = true;
    if (message == WM_WBF_TRACE) {
        g_traces.push_back({wParam, reinterpret_cast<const wchar_t*>(lParam)});
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

using nvbiotest::Enroll;
using nvbiotest::Event;
using nvbiotest::Identify;
using nvbiotest::Status;

std::vector<std::u16string> g_dropped;
void CollectDropped(const char16_t* line) {
    g_dropped.emplace_back(line);
}

class WbfInfoTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_fake = &fake;
        InstallWinBioFunctions(&kFakeTable);
        g_traces.clear();
        g_dropped.clear();
        g_guiThread = GetCurrentThreadId();
        g_wndProcOffThread = false;
        WNDCLASSW wc = {};
        wc.lpfnWndProc = RecordingProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"NvWbfInfoTest";
        RegisterClassW(&wc);
        window = CreateWindowExW(0, L"NvWbfInfoTest", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 wc.hInstance, nullptr);
        ASSERT_NE(window, nullptr);
        nvtrace::SetSink(CollectDropped);
    }
    void TearDown() override {
        nvtrace::SetSink(nullptr);
        DestroyWindow(window);
        InstallWinBioFunctions(nullptr);
        g_fake = nullptr;
        EXPECT_EQ(fake.handedOut.size(), fake.freed.size()) << "every block handed out is released";
    }

    // Everything posted to the window so far, in order; the session tags they carry go to `tags`.
    std::vector<Event> Drain() {
        std::vector<Event> events;
        tags.clear();
        MSG msg;
        while (PeekMessageW(&msg, window, WM_ENROLL_EVENT, WM_IDENTIFY_EVENT, PM_REMOVE)) {
            events.push_back({msg.message, EventCode(msg.wParam), msg.lParam});
            tags.push_back(EventTag(msg.wParam));
        }
        return events;
    }
    std::vector<std::uint32_t> tags;
    bool Traced(const wchar_t* text, WPARAM kind = WBF_TRACE_LINE) const {
        for (const auto& line : g_traces)
            if (line.text == text && line.kind == kind)
                return true;
        return false;
    }
    bool Dropped(const char16_t* text) const {
        for (const auto& line : g_dropped)
            if (line == text)
                return true;
        return false;
    }
    // The wrapper reporting to the window, with a session open and an enrolment begun.
    void BeginEnrolment(CWbfInfo& wbf, WINBIO_BIOMETRIC_SUBTYPE subFactor) {
        CWbfInfo::SetNotifyWindow(window);
        ASSERT_EQ(wbf.OpenSession(), S_OK);
        ASSERT_EQ(wbf.EnrollFingerPrint_WithCallback(subFactor), S_OK);
        fake.calls.clear();
    }
    // Runs the framework's side of a callback on a thread of its own, as the service does.
    template <typename F> void OnFrameworkThread(F f) { std::thread(f).join(); }

    Fake fake;
    HWND window = nullptr;
};

//--- Discovery

TEST_F(WbfInfoTest, ConstructionPicksTheFirstUnitWithVendorAndProductIds) {
    fake.units = {Unit(3, L"ROOT\\BIOMETRIC\\0000"), Unit(7, L"USB\\VID_2F1B&PID_1234\\5&1A2B3C4D&0&2")};
    CWbfInfo::SetNotifyWindow(window);
    CWbfInfo wbf;
    EXPECT_EQ(wbf.m_UnitId, 7u);
    EXPECT_EQ(wbf.m_Vid, 0x2F1B);
    EXPECT_EQ(wbf.m_Pid, 0x1234);
    EXPECT_EQ(wbf.m_SessionHandle, 0u);
    EXPECT_EQ(fake.calls, std::vector<std::string>{"EnumBiometricUnits(8)"});
    EXPECT_TRUE(Traced(L"(CWbfInfo) EnumSensors Start\r\n"));
    EXPECT_TRUE(Traced(L"(CWbfInfo) SensorCnt != 1!\r\n"));
    EXPECT_TRUE(Traced(L"[1] => Unit ID: 7"));
    EXPECT_TRUE(Traced(L"Device instance ID: USB\\VID_2F1B&PID_1234\\5&1A2B3C4D&0&2"));
    EXPECT_TRUE(Traced(L"Description: Fake sensor"));
    EXPECT_TRUE(Traced(L"Firmware version: [0.0]"));
}

TEST_F(WbfInfoTest, LaterUnitsAreOnlyTracedOnceOneQualifies) {
    fake.units = {Unit(1, L"USB\\VID_2F1B&PID_0001"), Unit(2, L"USB\\VID_2F1B&PID_0002")};
    CWbfInfo wbf;
    EXPECT_EQ(wbf.m_UnitId, 1u);
    EXPECT_EQ(wbf.m_Pid, 1);
}

TEST_F(WbfInfoTest, LowerCaseHexLeavesTheUnitIdUntouched) {
    fake.units = {Unit(9, L"USB\\VID_2f1b&PID_1234")};
    CWbfInfo wbf;
    SIZE_T count = 0;
    WINBIO_UNIT_ID unit = 77;
    EXPECT_EQ(wbf.EnumSensors(&count, &unit), S_OK);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(unit, 77u);
    EXPECT_EQ(wbf.m_Vid, 0);
    EXPECT_EQ(wbf.m_Pid, 0);
}

TEST_F(WbfInfoTest, ZeroVendorIdStillSetsTheUnitAndTheSearchGoesOn) {
    fake.units = {Unit(5, L"USB\\VID_0000&PID_0042")};
    {
        CWbfInfo wbf;
        EXPECT_EQ(wbf.m_UnitId, 5u);
        EXPECT_EQ(wbf.m_Vid, 0);
        EXPECT_EQ(wbf.m_Pid, 0x42);
    }
    fake.units.push_back(Unit(6, L"USB\\VID_2F1B&PID_0009"));
    CWbfInfo wbf;
    EXPECT_EQ(wbf.m_UnitId, 6u);
    EXPECT_EQ(wbf.m_Vid, 0x2F1B);
    EXPECT_EQ(wbf.m_Pid, 9);
}

TEST_F(WbfInfoTest, AFailedEnumerationKeepsTheIdsFoundBefore) {
    fake.units = {Unit(4, L"USB\\VID_2F1B&PID_00AA")};
    CWbfInfo::SetNotifyWindow(window);
    CWbfInfo wbf;
    fake.enumUnitsResult = E_ACCESSDENIED;
    SIZE_T count = 5;
    WINBIO_UNIT_ID unit = 4;
    EXPECT_EQ(wbf.EnumSensors(&count, &unit), E_ACCESSDENIED);
    EXPECT_EQ(unit, 4u);
    EXPECT_EQ(wbf.m_Vid, 0x2F1B);
    EXPECT_EQ(wbf.m_Pid, 0xAA);
    EXPECT_TRUE(Traced(L"(EnumSensors) WinBioEnumBiometricUnits failed. hr = 0x80070005"));
    // A construction that fails traces the failure and goes on with unit 0.
    CWbfInfo::SetNotifyWindow(window);
    g_traces.clear();
    CWbfInfo failed;
    EXPECT_EQ(failed.m_UnitId, 0u);
    EXPECT_TRUE(Traced(L"(CWbfInfo) EnumSensors failed. hr = 0x80070005\r\n"));
    EXPECT_TRUE(Traced(L"(CWbfInfo) SensorCnt != 1!\r\n"));
}

TEST_F(WbfInfoTest, UnterminatedUnitStringsAreCutAtTheirField) {
    WINBIO_UNIT_SCHEMA unit = Unit(8, L"");
    for (WCHAR& c : unit.DeviceInstanceId)
        c = L'A';
    std::wmemcpy(unit.DeviceInstanceId, L"USB\\VID_2F1B&PID_0777", 21);
    for (WCHAR& c : unit.Description)
        c = L'D';
    fake.units = {unit};
    CWbfInfo::SetNotifyWindow(window);
    CWbfInfo wbf;
    EXPECT_EQ(wbf.m_Pid, 0x0777);
    const std::wstring id = L"Device instance ID: USB\\VID_2F1B&PID_0777" + std::wstring(255 - 21, L'A');
    EXPECT_TRUE(Traced(id.c_str()));
    EXPECT_TRUE(Traced((L"Description: " + std::wstring(255, L'D')).c_str()));
}

TEST_F(WbfInfoTest, NoUnitsIsNotAnError) {
    CWbfInfo wbf;
    SIZE_T count = 9;
    WINBIO_UNIT_ID unit = 0;
    EXPECT_EQ(wbf.EnumSensors(&count, &unit), S_OK);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(wbf.m_Vid, 0);
}

//--- Sessions

TEST_F(WbfInfoTest, SessionIsOpenedOnceOnTheSystemPoolAndReused) {
    CWbfInfo::SetNotifyWindow(window);
    CWbfInfo wbf;
    fake.calls.clear();
    g_traces.clear();
    EXPECT_EQ(wbf.OpenSession(), S_OK);
    EXPECT_EQ(wbf.m_SessionHandle, 0x51u);
    EXPECT_EQ(wbf.OpenSession(), S_OK);
    EXPECT_EQ(fake.calls, std::vector<std::string>{"OpenSession(8,1,0,null,0,null)"});
    ASSERT_GE(g_traces.size(), 3u);
    EXPECT_EQ(g_traces[0].kind, WPARAM(WBF_TRACE_MARKER));
    EXPECT_EQ(g_traces[0].text, L"");
    EXPECT_TRUE(Traced(L"(OpenSession) WinBioOpenSession Success. m_SessionHandle = 0x51"));
    EXPECT_EQ(wbf.CloseSession(), S_OK);
    EXPECT_EQ(wbf.m_SessionHandle, 0u);
    EXPECT_EQ(fake.calls.back(), "CloseSession(51)");
}

TEST_F(WbfInfoTest, FailedOpenLeavesNoSession) {
    CWbfInfo::SetNotifyWindow(window);
    CWbfInfo wbf;
    fake.openResult = WINBIO_E_UNSUPPORTED_FACTOR;
    EXPECT_EQ(wbf.OpenSession(), WINBIO_E_UNSUPPORTED_FACTOR);
    EXPECT_EQ(wbf.m_SessionHandle, 0u);
    EXPECT_TRUE(Traced(L"(OpenSession) WinBioOpenSession failed. hr = 0x80098001"));
}

TEST_F(WbfInfoTest, CloseAndCancelWithoutASessionDoNotCallTheFramework) {
    CWbfInfo::SetNotifyWindow(window);
    CWbfInfo wbf;
    fake.calls.clear();
    EXPECT_EQ(wbf.CloseSession(), S_OK);
    EXPECT_EQ(wbf.CancelOperation(), S_OK);
    EXPECT_TRUE(fake.calls.empty());
    EXPECT_TRUE(Traced(L"(CloseSession) m_SessionHandle == NULL"));
}

TEST_F(WbfInfoTest, CancelAndAFailedCloseOnAnOpenSession) {
    CWbfInfo::SetNotifyWindow(window);
    CWbfInfo wbf;
    ASSERT_EQ(wbf.OpenSession(), S_OK);
    fake.cancelResult = E_HANDLE;
    EXPECT_EQ(wbf.CancelOperation(), E_HANDLE);
    EXPECT_EQ(fake.calls.back(), "Cancel(51)");
    fake.closeResult = E_HANDLE;
    EXPECT_EQ(wbf.CloseSession(), E_HANDLE);
    EXPECT_EQ(wbf.m_SessionHandle, 0u) << "a failed close still forgets the handle";
    EXPECT_TRUE(Traced(L"(CloseSession) WinBioCloseSession failed. hr = 0x80070006"));
    fake.closeResult = S_OK;
    EXPECT_EQ(wbf.OpenSession(), S_OK);
    EXPECT_EQ(wbf.m_SessionHandle, 0x52u) << "the next open makes a new session";
}

TEST_F(WbfInfoTest, DestructionClosesTheSessionAndClearsTheNotificationWindow) {
    auto other = std::make_unique<CWbfInfo>();
    CWbfInfo::SetNotifyWindow(window);
    ASSERT_EQ(other->OpenSession(), S_OK);
    other.reset();
    EXPECT_EQ(fake.calls.back(), "CloseSession(51)");
    EXPECT_EQ(CWbfInfo::GetNotifyWindow(), nullptr);
    CWbfInfo::SetNotifyWindow(nullptr);
    EXPECT_EQ(CWbfInfo::GetNotifyWindow(), nullptr) << "a null window is ignored";
}

//--- Enrolment

TEST_F(WbfInfoTest, EnrolmentPostsEachSampleThenCompletionFromTheFrameworkThread) {
    fake.units = {Unit(2, L"USB\\VID_2F1B&PID_1234")};
    CWbfInfo wbf;
    CWbfInfo::SetNotifyWindow(window);
    ASSERT_EQ(wbf.OpenSession(), S_OK);
    fake.calls.clear();
    ASSERT_EQ(wbf.EnrollFingerPrint_WithCallback(0xF5), S_OK);
    EXPECT_EQ(fake.calls, (std::vector<std::string>{"EnrollBegin(51,f5,2)", "EnrollCapture(51)"}));
    EXPECT_NE(wbf.m_nSessionTag, 0u);
    EXPECT_EQ(CWbfInfo::TouchCount, 1);

    DWORD callbackThread = 0;
    for (HRESULT status : {WINBIO_I_MORE_DATA, WINBIO_I_MORE_DATA, WINBIO_I_MORE_DATA, S_OK})
        OnFrameworkThread([&] {
            callbackThread = GetCurrentThreadId();
            fake.captureCallback(fake.captureContext, status, 0);
        });
    EXPECT_NE(callbackThread, GetCurrentThreadId());
    EXPECT_FALSE(g_wndProcOffThread) << "callbacks only post; the window runs on its own thread";
    EXPECT_EQ(Drain(), (std::vector<Event>{Enroll(0, 1), Enroll(0, 2), Enroll(0, 3), Enroll(1, 0)}));
    EXPECT_EQ(tags, std::vector<std::uint32_t>(4, wbf.m_nSessionTag)) << "re-armed requests keep the tag";
    EXPECT_EQ(CWbfInfo::TouchCount, 4);
    // One request per more-data report, none after completion.
    EXPECT_EQ(std::count(fake.calls.begin(), fake.calls.end(), "EnrollCapture(51)"), 4);
    EXPECT_TRUE(Dropped(u"(EnrollCaptureCallback) Enter OperationStatus = 0x90001 ====>\r\n"));

    fake.calls.clear();
    EXPECT_EQ(wbf.EnrollCommit(), S_OK);
    EXPECT_EQ(fake.calls, std::vector<std::string>{"EnrollCommit(51)"});
    EXPECT_EQ(Drain(), std::vector<Event>{Enroll(2, 0)});
    EXPECT_EQ(wbf.m_SessionHandle, 0x51u) << "the session stays open for the caller";
}

TEST_F(WbfInfoTest, ABadSampleReportsItsRejectDetailIsReArmedAndDoesNotAdvanceTheCount) {
    CWbfInfo wbf;
    ASSERT_NO_FATAL_FAILURE(BeginEnrolment(wbf, 0xF6));
    OnFrameworkThread([&] { fake.captureCallback(fake.captureContext, WINBIO_I_MORE_DATA, 0); });
    OnFrameworkThread([&] { fake.captureCallback(fake.captureContext, WINBIO_E_BAD_CAPTURE, 7); });
    OnFrameworkThread([&] { fake.captureCallback(fake.captureContext, WINBIO_I_MORE_DATA, 0); });
    EXPECT_EQ(Drain(), (std::vector<Event>{Enroll(0, 1), Enroll(4, 7), Enroll(0, 2)}));
    EXPECT_EQ(fake.calls.size(), 3u) << "each of the three callbacks requests the next capture";
}

TEST_F(WbfInfoTest, AFailedReArmPostsItsHresult) {
    CWbfInfo wbf;
    ASSERT_NO_FATAL_FAILURE(BeginEnrolment(wbf, 0xF5));
    fake.captureResults = {WINBIO_E_DEVICE_BUSY};
    OnFrameworkThread([&] { fake.captureCallback(fake.captureContext, WINBIO_E_BAD_CAPTURE, 1); });
    fake.captureResults = {E_HANDLE};
    OnFrameworkThread([&] { fake.captureCallback(fake.captureContext, WINBIO_I_MORE_DATA, 0); });
    const auto events = Drain();
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0], Enroll(4, 1)) << "the refused sample";
    EXPECT_EQ(events[1], Enroll(3, Status(WINBIO_E_DEVICE_BUSY)));
    EXPECT_LT(events[1].lParam, 0) << "HRESULTs are sign-extended";
    EXPECT_EQ(events[2], Enroll(0, 1));
    EXPECT_EQ(events[3], Enroll(3, Status(E_HANDLE)));
}

TEST_F(WbfInfoTest, ACanceledOrFailedCaptureEndsTheSequence) {
    CWbfInfo wbf;
    ASSERT_NO_FATAL_FAILURE(BeginEnrolment(wbf, 0xF5));
    OnFrameworkThread([&] { fake.captureCallback(fake.captureContext, WINBIO_E_CANCELED, 0); });
    EXPECT_EQ(Drain(), std::vector<Event>{Enroll(3, Status(WINBIO_E_CANCELED))});
    EXPECT_TRUE(fake.calls.empty()) << "no capture is requested after a failure";
}

TEST_F(WbfInfoTest, StartFailuresAreReturnedAndPostNothing) {
    CWbfInfo wbf;
    CWbfInfo::SetNotifyWindow(window);
    ASSERT_EQ(wbf.OpenSession(), S_OK);
    fake.beginResult = WINBIO_E_ENROLLMENT_IN_PROGRESS;
    fake.calls.clear();
    EXPECT_EQ(wbf.EnrollFingerPrint_WithCallback(0xF5), WINBIO_E_ENROLLMENT_IN_PROGRESS);
    EXPECT_EQ(fake.calls.size(), 1u) << "no capture after a failed begin";
    fake.beginResult = S_OK;
    fake.captureResults = {WINBIO_E_DEVICE_BUSY};
    EXPECT_EQ(wbf.EnrollFingerPrint_WithCallback(0xF5), WINBIO_E_DEVICE_BUSY);
    EXPECT_TRUE(Dropped(
        u"(EnrollFingerPrint_WithCallback) WinBioEnrollCaptureWithCallback failed.hr = 0x80098010\r\n"));
    fake.identifyResult = E_HANDLE;
    EXPECT_EQ(wbf.IdentifyFingerPrint_WithCallback(), E_HANDLE);
    EXPECT_TRUE(Drain().empty());
}

TEST_F(WbfInfoTest, CommitOfAKnownFingerPostsTheDuplicateAndTracesIt) {
    CWbfInfo wbf;
    CWbfInfo::SetNotifyWindow(window);
    ASSERT_EQ(wbf.OpenSession(), S_OK);
    fake.commitResult = WINBIO_E_DUPLICATE_TEMPLATE;
    EXPECT_EQ(wbf.EnrollCommit(), static_cast<HRESULT>(0x8009802B));
    EXPECT_EQ(Drain(), std::vector<Event>{Enroll(3, Status(static_cast<HRESULT>(0x8009802B)))});
    EXPECT_TRUE(Dropped(u"(EnrollCommit) WinBioEnrollCommit Finger Exist\n"));
    fake.commitResult = WINBIO_E_DUPLICATE_ENROLLMENT;
    EXPECT_EQ(wbf.EnrollCommit(), static_cast<HRESULT>(0x8009801C));
    EXPECT_TRUE(Dropped(u"(EnrollCommit) WinBioEnrollCommit failed. hr = 0x8009801c\n"));
    EXPECT_EQ(Drain().size(), 1u);
    EXPECT_TRUE(g_traces.size() < 10) << "commit lines are not sent to the window";
    for (const auto& line : g_traces)
        EXPECT_EQ(line.text.find(L"EnrollCommit"), std::wstring::npos);
}

TEST_F(WbfInfoTest, NothingIsPostedWithoutANotificationWindow) {
    {
        CWbfInfo clearsTheWindow;
        CWbfInfo::SetNotifyWindow(window);
    }
    ASSERT_EQ(CWbfInfo::GetNotifyWindow(), nullptr);
    g_traces.clear(); // the destructor's close still reached the window before it was cleared
    CWbfInfo wbf;
    ASSERT_EQ(wbf.OpenSession(), S_OK);
    ASSERT_EQ(wbf.EnrollFingerPrint_WithCallback(0xF5), S_OK);
    OnFrameworkThread([&] {
        fake.captureCallback(fake.captureContext, WINBIO_I_MORE_DATA, 0);
        fake.captureCallback(fake.captureContext, S_OK, 0);
        fake.captureCallback(fake.captureContext, WINBIO_E_CANCELED, 0);
        CWbfInfo::IdentifyCallback(nullptr, S_OK, 1, nullptr, 0xF5, 0);
    });
    EXPECT_EQ(wbf.EnrollCommit(), S_OK);
    EXPECT_TRUE(Drain().empty());
    EXPECT_TRUE(g_traces.empty());
}

//--- Identification

TEST_F(WbfInfoTest, IdentificationOutcomesFromTheFrameworkThread) {
    CWbfInfo wbf;
    CWbfInfo::SetNotifyWindow(window);
    ASSERT_EQ(wbf.OpenSession(), S_OK);
    ASSERT_EQ(wbf.IdentifyFingerPrint_WithCallback(), S_OK);
    EXPECT_EQ(fake.calls.back(), "Identify(51,context)");
    WINBIO_IDENTITY someone = {};
    OnFrameworkThread([&] {
        fake.identifyCallback(nullptr, S_OK, 1, &someone, 0xF5, 0);
        fake.identifyCallback(nullptr, WINBIO_E_UNKNOWN_ID, 1, nullptr, 0, 0);
        fake.identifyCallback(nullptr, WINBIO_E_BAD_CAPTURE, 1, nullptr, 0, 0x8000000A);
        fake.identifyCallback(nullptr, WINBIO_E_CANCELED, 1, nullptr, 0, 3);
    });
    EXPECT_FALSE(g_wndProcOffThread);
    EXPECT_EQ(Drain(), (std::vector<Event>{Identify(0, 0), Identify(1, 0), Identify(3, 0x8000000A),
                                           Identify(2, Status(WINBIO_E_CANCELED))}));
    EXPECT_EQ(fake.calls.back(), "Identify(51,context)") << "no new identification from the callback";
}

TEST_F(WbfInfoTest, EventsCarryTheTagOfTheSessionTheirRequestWasMadeOn) {
    CWbfInfo wbf;
    CWbfInfo::SetNotifyWindow(window);
    ASSERT_EQ(wbf.OpenSession(), S_OK);
    ASSERT_EQ(wbf.IdentifyFingerPrint_WithCallback(), S_OK);
    const PVOID cancelled = fake.identifyContext;
    const std::uint32_t first = wbf.m_nSessionTag;
    ASSERT_EQ(wbf.CancelOperation(), S_OK);
    ASSERT_EQ(wbf.CloseSession(), S_OK);
    // The framework may give the same handle again; the tag differs all the same.
    fake.nextSession = 0x51;
    ASSERT_EQ(wbf.OpenSession(), S_OK);
    ASSERT_NE(wbf.m_nSessionTag, first);
    ASSERT_NE(wbf.m_nSessionTag, 0u);
    ASSERT_EQ(wbf.EnrollFingerPrint_WithCallback(0xF5), S_OK);
    OnFrameworkThread([&] {
        // The cancelled identification completes only now, after the enrolment began.
        fake.identifyCallback(cancelled, WINBIO_E_CANCELED, 1, nullptr, 0, 0);
        fake.captureCallback(fake.captureContext, WINBIO_I_MORE_DATA, 0);
    });
    EXPECT_EQ(Drain(), (std::vector<Event>{Identify(2, Status(WINBIO_E_CANCELED)), Enroll(0, 1)}));
    EXPECT_EQ(tags, (std::vector<std::uint32_t>{first, wbf.m_nSessionTag}));
    EXPECT_EQ(wbf.EnrollCommit(), S_OK);
    Drain();
    EXPECT_EQ(tags, std::vector<std::uint32_t>{wbf.m_nSessionTag}) << "the commit's event too";
}

//--- Enumeration and deletion

WINBIO_IDENTITY SomeIdentity(UCHAR tag) {
    WINBIO_IDENTITY identity = {};
    identity.Type = WINBIO_ID_TYPE_SID;
    identity.Value.AccountSid.Size = 12;
    for (int i = 0; i < 12; ++i)
        identity.Value.AccountSid.Data[i] = static_cast<UCHAR>(tag + i);
    return identity;
}

TEST_F(WbfInfoTest, EnumerationSetsTheFlagsOfTheReturnedSubFactors) {
    fake.units = {Unit(3, L"USB\\VID_2F1B&PID_1234")};
    CWbfInfo::SetNotifyWindow(window);
    CWbfInfo wbf;
    fake.calls.clear();
    fake.enrolled = {0xF5, 0xF7, 0x02, 0x00, 0xFF};
    FingerFlags flags;
    flags.fill(9);
    const WINBIO_IDENTITY identity = SomeIdentity(0x40);
    EXPECT_EQ(wbf._EnumFingerPrint(flags, identity), S_OK);
    FingerFlags expected = {};
    expected[1] = expected[10] = expected[12] = 1;
    EXPECT_EQ(flags, expected);
    EXPECT_EQ(std::memcmp(&fake.lastIdentity, &identity, sizeof identity), 0);
    EXPECT_EQ(fake.calls, (std::vector<std::string>{"OpenSession(8,1,0,null,0,null)", "EnumEnrollments(51,3)",
                                                    "CloseSession(51)"}));
    EXPECT_EQ(wbf.m_SessionHandle, 0u);
    EXPECT_TRUE(Traced(L"Enrollments for this user on Unit ID 3:"));
    EXPECT_TRUE(Traced(L"Windows Hello Finger 1"));
    EXPECT_TRUE(Traced(L"Right Hand Index-Finger"));
    EXPECT_TRUE(Traced(L"UnDefine Finger"));
}

TEST_F(WbfInfoTest, EnumerationFailures) {
    CWbfInfo wbf;
    FingerFlags flags;
    flags.fill(1);
    fake.enumEnrollmentsResult = WINBIO_E_UNKNOWN_ID;
    EXPECT_EQ(wbf._EnumFingerPrint(flags, SomeIdentity(1)), WINBIO_E_UNKNOWN_ID);
    EXPECT_EQ(flags, FingerFlags{}) << "an identity without enrolments has none";
    flags.fill(1);
    fake.enumEnrollmentsResult = E_HANDLE;
    EXPECT_EQ(wbf._EnumFingerPrint(flags, SomeIdentity(1)), E_HANDLE);
    for (int flag : flags)
        EXPECT_EQ(flag, 1) << "other failures leave the flags alone";
    // A failed open still lets the enumeration run and report its own failure.
    fake.openResult = E_ACCESSDENIED;
    fake.calls.clear();
    EXPECT_EQ(wbf._EnumFingerPrint(flags, SomeIdentity(1)), E_HANDLE);
    EXPECT_EQ(fake.calls[1], "EnumEnrollments(0,0)");
}

TEST_F(WbfInfoTest, DeleteAllGoesInFingerIndexOrderOneSessionEach) {
    fake.units = {Unit(3, L"USB\\VID_2F1B&PID_1234")};
    CWbfInfo::SetNotifyWindow(window);
    CWbfInfo wbf;
    fake.enrolled = {0xF5, 0x02};
    fake.calls.clear();
    EXPECT_EQ(wbf._DeleteAll(SomeIdentity(5)), S_OK);
    EXPECT_EQ(fake.calls, (std::vector<std::string>{"OpenSession(8,1,0,null,0,null)", "EnumEnrollments(51,3)",
                                                    "CloseSession(51)", "OpenSession(8,1,0,null,0,null)",
                                                    "DeleteTemplate(52,3,2)", "CloseSession(52)",
                                                    "OpenSession(8,1,0,null,0,null)",
                                                    "DeleteTemplate(53,3,f5)", "CloseSession(53)"}));
    EXPECT_TRUE(Traced(L"Delete Template Success !", WBF_TRACE_OUTCOME));
}

TEST_F(WbfInfoTest, DeleteAllStopsAtTheFirstFailure) {
    CWbfInfo::SetNotifyWindow(window);
    CWbfInfo wbf;
    fake.enrolled = {0xF5, 0x02};
    fake.deleteResults[0x02] = E_ACCESSDENIED;
    fake.calls.clear();
    EXPECT_EQ(wbf._DeleteAll(SomeIdentity(5)), E_ACCESSDENIED);
    EXPECT_EQ(std::count_if(fake.calls.begin(), fake.calls.end(),
                            [](const std::string& c) { return c.rfind("DeleteTemplate", 0) == 0; }),
              1);
    EXPECT_TRUE(Traced(L"WinBioDeleteTemplate failed", WBF_TRACE_OUTCOME));
    EXPECT_TRUE(Traced(L"(_DeleteAll) _DeleteFingerTemplate(0x02) failed. hr = 0x80070005\r\n"));
    // No enrolment at all: the enumeration's UNKNOWN_ID ends it.
    fake.enumEnrollmentsResult = WINBIO_E_UNKNOWN_ID;
    EXPECT_EQ(wbf._DeleteAll(SomeIdentity(5)), WINBIO_E_UNKNOWN_ID);
    EXPECT_TRUE(Traced(L"(_DeleteAll) _EnumFingerPrint failed. hr = 0x80098003\r\n"));
}

BOOL WINAPI DeniedToken(HANDLE, DWORD, PHANDLE) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}

TEST_F(WbfInfoTest, AnUnreadableTokenDeletesAndEnumeratesNothing) {
    CWbfInfo::SetNotifyWindow(window);
    CWbfInfo wbf;
    fake.enrolled = {0x01};
    fake.calls.clear();
    SetProcessTokenOpener(DeniedToken);
    FingerFlags flags;
    flags.fill(4);
    EXPECT_EQ(wbf.DeleteAll(), HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
    EXPECT_EQ(wbf.EnumFingerPrint(flags), static_cast<HRESULT>(0x80070005));
    SetProcessTokenOpener(nullptr);
    EXPECT_TRUE(fake.calls.empty());
    EXPECT_EQ(flags[0], 4);
    EXPECT_TRUE(Traced(L"User identity not found"));
    // With the token readable again the account's own identity reaches the framework.
    EXPECT_EQ(wbf.EnumFingerPrint(flags), S_OK);
    WINBIO_IDENTITY mine;
    ASSERT_EQ(GetUserIdentity(&mine), S_OK);
    EXPECT_EQ(std::memcmp(&fake.lastIdentity, &mine, sizeof mine), 0);
}

//--- The account's identity

TEST(GetUserIdentity, TheTokenUsersSidWithAZeroTail) {
    WINBIO_IDENTITY first;
    std::memset(&first, 0xCC, sizeof first);
    ASSERT_EQ(GetUserIdentity(&first), S_OK);
    WINBIO_IDENTITY second;
    std::memset(&second, 0x33, sizeof second);
    ASSERT_EQ(GetUserIdentity(&second), S_OK);
    EXPECT_EQ(std::memcmp(&first, &second, sizeof first), 0);

    const auto* bytes = reinterpret_cast<const unsigned char*>(&first);
    EXPECT_EQ(bytes[0], 3); // WINBIO_ID_TYPE_SID, little-endian at offset 0
    EXPECT_EQ(bytes[1] | bytes[2] | bytes[3], 0);
    const ULONG size = first.Value.AccountSid.Size;
    ASSERT_GT(size, 8u);
    ASSERT_LE(size, 68u);
    EXPECT_EQ(bytes[4], size);
    EXPECT_EQ(bytes[8], 1) << "SID revision 1 at offset 8";
    EXPECT_EQ(GetLengthSid(first.Value.AccountSid.Data), size);
    for (std::size_t i = 8 + size; i < sizeof first; ++i)
        EXPECT_EQ(bytes[i], 0) << i;
}

TEST(GetUserIdentity, FailureGivesTheConvertedErrorAndANullIdentity) {
    SetProcessTokenOpener(DeniedToken);
    WINBIO_IDENTITY identity;
    std::memset(&identity, 0xCC, sizeof identity);
    EXPECT_EQ(GetUserIdentity(&identity), static_cast<HRESULT>(0x80070005));
    SetProcessTokenOpener(nullptr);
    const WINBIO_IDENTITY zero = {};
    EXPECT_EQ(std::memcmp(&identity, &zero, sizeof zero), 0);
}

} // namespace
