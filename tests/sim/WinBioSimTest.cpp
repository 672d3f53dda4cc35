// The simulated service as the program meets it: winbio.dll loaded from the prefix's system32,
// driven by winbio-sim.exe, used through CWbfInfo and through the raw functions. These tests
// share the prefix's one pool, so they run one at a time and reset it before and after.
#include "biometric/UserIdentity.h"
#include "biometric/WbfInfo.h"
#include "biometric/WinBioTable.h"
#include "tests/support/ServiceEvent.h"
#include "tests/support/SimPool.h"
#include "tests/support/TestWindows.h"
#include "tests/support/UsbNotice.h"
#include "tests/support/Wait.h"

#include <dbt.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

namespace {

using testtext::Lower;
using testwin::RunCaptured;
using testwin::RunResult;
using testwin::Sim;
using testwin::SimOk;

using nvbiotest::Enroll;
using nvbiotest::Event;
using nvbiotest::Identify;
using nvbiotest::Status;

// Every message of this thread goes through here, so that events posted while we wait for a
// child process are kept, and the simulator's sent WM_DEVICECHANGE is answered. The session tag
// the events carry is the wrapper's business (WbfInfoTest); here only the events count.
std::vector<Event> g_events;
void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_ENROLL_EVENT || msg.message == WM_IDENTIFY_EVENT)
            g_events.push_back({msg.message, EventCode(msg.wParam), msg.lParam});
        else
            DispatchMessageW(&msg);
    }
}

// Answers whatever comes for that long: sent notices, posted events (kept in g_events).
void PumpAndWait() {
    Pump();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
}
void PumpFor(DWORD milliseconds) {
    testwin::WaitUntil([] { return false; }, milliseconds, PumpAndWait);
}

// Events until `count` have arrived or the time is up.
std::vector<Event> WaitEvents(std::size_t count, DWORD milliseconds = 5000) {
    testwin::WaitUntil([count] { return g_events.size() >= count; }, milliseconds, PumpAndWait);
    Pump();
    std::vector<Event> events;
    events.swap(g_events);
    return events;
}

SIZE_T OutstandingBlocks() {
    using Count = SIZE_T(WINAPI*)();
    HMODULE module = GetModuleHandleW(L"winbio.dll");
    FARPROC address = module ? GetProcAddress(module, "NvSimOutstandingBlocks") : nullptr;
    return address ? reinterpret_cast<Count>(reinterpret_cast<void*>(address))() : 9999;
}

//--- A top-level window of the test, as the main window would be

// The simulator's one sensor, as its interface name shows it.
const std::wstring kSensor = L"VID_2F1B&PID_0106#5&2A7C3B1&0&3";

struct DeviceNotice {
    WPARAM event;
    DWORD deviceType;
    GUID classGuid;
    std::wstring name;
    DWORD thread;
    HWND window;
    std::size_t eventsBefore; // framework events that had arrived before this notice
};
std::vector<DeviceNotice> g_notices;

LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DEVICECHANGE && lParam) {
        const auto* header = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(lParam);
        g_notices.push_back({wParam, header->dbcc_devicetype, header->dbcc_classguid, header->dbcc_name,
                             GetCurrentThreadId(), window, g_events.size()});
        return TRUE;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND OpenTestWindow() {
    return testwin::CreateTestWindow(L"NvSimTestWindow", TestWindowProc, L"sim test");
}

// The window of the test takes the focus, as a program's window does when the user works in it:
// the simulator gives samples only to the process whose window is in the foreground.
bool TakeFocus(HWND window) {
    return testwin::TakeForeground(window, Pump);
}

class SimulatorTest : public testwin::SimPoolTest {
protected:
    void SetUp() override {
        SimPoolTest::SetUp();
        ASSERT_TRUE(SimOk(L"samples 4"));
        g_events.clear();
        g_notices.clear();
        window = OpenTestWindow();
        ASSERT_NE(window, nullptr);
        CWbfInfo::SetNotifyWindow(window);
        // The simulator learns registrations once it is in the process.
        ASSERT_EQ(WinBioLoadResult(), S_OK);
        notices = testwin::RegisterForUsbNotices(window);
        ASSERT_NE(notices, nullptr);
        ASSERT_TRUE(TakeFocus(window));
    }
    void TearDown() override {
        SimPoolTest::TearDown();
        WaitEvents(0, 100);
        if (notices)
            UnregisterDeviceNotification(notices);
        DestroyWindow(window);
    }
    // Every message of this thread is handled while a program runs: the simulator sends its device
    // notices to our windows and posts the events.
    testwin::PumpWhileWaiting pumping{Pump};
    HWND window = nullptr;
    HDEVNOTIFY notices = nullptr;
};

//--- Where the framework comes from

TEST_F(SimulatorTest, TheFrameworkIsTheOneInSystem32NotTheOneBesideUs) {
    ASSERT_EQ(WinBioLoadResult(), S_OK);
    wchar_t path[MAX_PATH] = L"";
    ASSERT_GT(WinBioModulePath(path, MAX_PATH), 0u);
    EXPECT_NE(Lower(path).find(L"\\windows\\system32\\winbio.dll"), std::wstring::npos) << path;
    // The build puts a winbio.dll right beside this test: it is not the one in use.
    const std::wstring beside = testwin::ProgramBeside(L"winbio.dll");
    ASSERT_NE(GetFileAttributesW(beside.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(Lower(path), Lower(beside));
}

TEST_F(SimulatorTest, ADllPlantedInTheProgramsFolderIsNotLoaded) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"nv-planted-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring peer = folder + L"\\sim_peer.exe";
    const std::wstring planted = folder + L"\\winbio.dll";
    ASSERT_TRUE(CopyFileW(testwin::ProgramBeside(L"sim_peer.exe").c_str(), peer.c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(testwin::ProgramBeside(L"decoy_winbio.dll").c_str(), planted.c_str(), FALSE));

    // Started from that folder, in that folder: both the program's and the current folder. Each
    // way of loading from System32 passes by the decoy; the trace says which way was taken.
    wchar_t system[MAX_PATH];
    ASSERT_GT(GetSystemDirectoryW(system, MAX_PATH), 0u);
    const std::wstring fullPath = std::wstring(system) + L"\\winbio.dll";
    const struct {
        const wchar_t* arguments;
        std::wstring way;
    } loaders[] = {
        {L"module", L"(LoadSystemTable) LoadLibraryExW(winbio.dll, LOAD_LIBRARY_SEARCH_SYSTEM32)"},
        // A Windows 7 without KB2533623: no AddDllDirectory, the search flags refused.
        {L"module without-search-flags", L"(LoadSystemTable) no AddDllDirectory: LoadLibraryExW(" + fullPath +
                                             L", LOAD_WITH_ALTERED_SEARCH_PATH)"},
    };
    for (const auto& loader : loaders) {
        SCOPED_TRACE(testtext::Narrow(loader.way));
        testwin::CapturedProcess started(peer, loader.arguments, folder);
        const RunResult run = started.Wait();
        EXPECT_EQ(run.code, 0u);
        EXPECT_EQ(run.out.rfind("0x00000000 1 ", 0), 0u) << run.out;
        const std::wstring out = Lower(std::wstring(run.out.begin(), run.out.end()));
        EXPECT_NE(out.find(L"\\windows\\system32\\winbio.dll\n"), std::string::npos) << run.out;
        EXPECT_NE(out.find(L"\n" + Lower(loader.way) + L"\n"), std::string::npos) << run.out;
        EXPECT_EQ(run.out.find("DEC0DE"), std::string::npos);
    }

    // The decoy is a working DLL: had it been loaded, the enumeration would have said so.
    HMODULE decoy = LoadLibraryExW(planted.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    ASSERT_NE(decoy, nullptr);
    auto enumerate = reinterpret_cast<PFN_WinBioEnumBiometricUnits>(
        reinterpret_cast<void*>(GetProcAddress(decoy, "WinBioEnumBiometricUnits")));
    ASSERT_NE(enumerate, nullptr);
    EXPECT_EQ(enumerate(WINBIO_TYPE_FINGERPRINT, nullptr, nullptr), static_cast<HRESULT>(0x8DEC0DE1));
    FreeLibrary(decoy);

    DeleteFileW(peer.c_str());
    DeleteFileW(planted.c_str());
    RemoveDirectoryW(folder.c_str());
}

TEST_F(SimulatorTest, WithoutWinbioDllEveryOperationFailsAndNothingCrashes) {
    // Wine's loader refuses a DLL that its per-program settings disable, as if System32 had none.
    // The setting names a copy of the peer under a name of its own, so nothing else is affected.
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring exeName = L"nv-nowinbio-" + std::to_wstring(GetCurrentProcessId()) + L".exe";
    const std::wstring copy = std::wstring(temp) + exeName;
    ASSERT_TRUE(CopyFileW(testwin::ProgramBeside(L"sim_peer.exe").c_str(), copy.c_str(), FALSE));
    const std::wstring keyPath = L"Software\\Wine\\AppDefaults\\" + exeName + L"\\DllOverrides";
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    const wchar_t disabled[] = L"";
    RegSetValueExW(key, L"winbio", 0, REG_SZ, reinterpret_cast<const BYTE*>(disabled), sizeof disabled);
    RegCloseKey(key);
    const RunResult run = RunCaptured(copy, L"all");
    RegDeleteKeyW(HKEY_CURRENT_USER, keyPath.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, (L"Software\\Wine\\AppDefaults\\" + exeName).c_str());
    DeleteFileW(copy.c_str());
    ASSERT_EQ(run.code, 0u) << run.out;
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < run.out.size();) {
        const std::size_t end = run.out.find('\n', start);
        lines.push_back(run.out.substr(start, end - start));
        start = end == std::string::npos ? run.out.size() : end + 1;
    }
    ASSERT_EQ(lines.size(), 10u) << run.out;
    const std::string loadError = lines[0];
    EXPECT_EQ(loadError.rfind("0x8007", 0), 0u) << "HRESULT_FROM_WIN32 of the load error: " << loadError;
    // EnumSensors, OpenSession, begin, commit, identify: the load error each time.
    for (int i : {1, 2, 3, 4, 5})
        EXPECT_EQ(lines[i], loadError) << i;
    EXPECT_EQ(lines[6], "0x00000000") << "cancel without a session";
    EXPECT_EQ(lines[7], "0x00000000") << "close without a session";
    EXPECT_EQ(lines[8], loadError);
    EXPECT_EQ(lines[9], loadError);
}

//--- Enrolment

TEST_F(SimulatorTest, AWholeEnrolmentFromTouchToTheList) {
    CWbfInfo wbf;
    EXPECT_EQ(wbf.m_Vid, 0x2F1B);
    EXPECT_EQ(wbf.m_Pid, 0x0106);
    EXPECT_EQ(wbf.m_UnitId, 1u);
    ASSERT_EQ(wbf.OpenSession(), S_OK);
    ASSERT_EQ(wbf.EnrollFingerPrint_WithCallback(0xF5), S_OK);
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(SimOk(L"touch --wait 5000 finger-a"));
    EXPECT_EQ(WaitEvents(4), (std::vector<Event>{Enroll(0, 1), Enroll(0, 2), Enroll(0, 3), Enroll(1, 0)}));
    EXPECT_EQ(wbf.EnrollCommit(), S_OK);
    EXPECT_EQ(WaitEvents(1), std::vector<Event>{Enroll(2, 0)});
    EXPECT_EQ(wbf.CloseSession(), S_OK);
    DWORD committed = 0, size = sizeof committed;
    EXPECT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Services\\WbioSrvc\\Parameters",
                           L"EnrollmentCommitted", RRF_RT_REG_DWORD, nullptr, &committed, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(committed, 1u);

    FingerFlags flags = {};
    EXPECT_EQ(wbf.EnumFingerPrint(flags), S_OK);
    FingerFlags expected = {};
    expected[10] = 1;
    EXPECT_EQ(flags, expected);
    EXPECT_EQ(Pool(), me + " 0xF5 finger-a\n");
    EXPECT_EQ(OutstandingBlocks(), 0u) << "every block handed out was released";
}

TEST_F(SimulatorTest, BadAndForeignSamplesInTheMiddleAreNotCounted) {
    CWbfInfo wbf;
    ASSERT_EQ(wbf.OpenSession(), S_OK);
    ASSERT_EQ(wbf.EnrollFingerPrint_WithCallback(0xF6), S_OK);
    ASSERT_TRUE(SimOk(L"touch --wait 5000 finger-a"));
    ASSERT_TRUE(SimOk(L"bad --wait 5000 7"));
    ASSERT_TRUE(SimOk(L"touch --wait 5000 finger-b")); // another finger cannot be merged into this one
    ASSERT_TRUE(SimOk(L"touch --wait 5000 finger-a"));
    // Each refused sample is reported with its reject detail: the bad one's, and a merge failure
    // (10) for the other finger.
    EXPECT_EQ(WaitEvents(4), (std::vector<Event>{Enroll(0, 1), Enroll(4, 7), Enroll(4, 10), Enroll(0, 2)}));
    EXPECT_TRUE(WaitEvents(1, 300).empty());
    EXPECT_EQ(wbf.EnrollCommit(), WINBIO_E_INVALID_DEVICE_STATE) << "two samples short";
    WaitEvents(1, 200);
}

TEST_F(SimulatorTest, CancelEndsTheEnrolment) {
    CWbfInfo wbf;
    ASSERT_EQ(wbf.OpenSession(), S_OK);
    ASSERT_EQ(wbf.EnrollFingerPrint_WithCallback(0xF5), S_OK);
    ASSERT_TRUE(SimOk(L"touch --wait 5000 finger-a"));
    EXPECT_EQ(WaitEvents(1), std::vector<Event>{Enroll(0, 1)});
    EXPECT_EQ(wbf.CancelOperation(), S_OK);
    EXPECT_EQ(WaitEvents(1), std::vector<Event>{Enroll(3, Status(WINBIO_E_CANCELED))});
    EXPECT_EQ(Sim(L"touch finger-a").code, 1u)
        << "no capture is outstanding after the cancel: the touch is lost";
    EXPECT_TRUE(WaitEvents(1, 300).empty());
}

std::atomic<int> g_rawCalls{0};
std::atomic<HRESULT> g_rawStatus{S_OK};
std::atomic<DWORD> g_rawThread{0};
VOID CALLBACK RawIdentify(PVOID context, HRESULT status, WINBIO_UNIT_ID, WINBIO_IDENTITY*,
                          WINBIO_BIOMETRIC_SUBTYPE, WINBIO_REJECT_DETAIL) {
    ++g_rawCalls;
    g_rawStatus = status;
    g_rawThread = GetCurrentThreadId();
    EXPECT_EQ(context, &g_rawCalls);
}

TEST_F(SimulatorTest, CancelCompletesTheRequestOnceOnAThreadOfTheSimulator) {
    g_rawCalls = 0;
    WINBIO_SESSION_HANDLE session = 0;
    ASSERT_EQ(WinBio().OpenSession(WINBIO_TYPE_FINGERPRINT, WINBIO_POOL_SYSTEM, WINBIO_FLAG_DEFAULT, nullptr,
                                   0, nullptr, &session),
              S_OK);
    ASSERT_EQ(WinBio().IdentifyWithCallback(session, RawIdentify, &g_rawCalls), S_OK);
    EXPECT_EQ(WinBio().IdentifyWithCallback(session, RawIdentify, &g_rawCalls), WINBIO_E_DEVICE_BUSY);
    Sleep(150);
    EXPECT_EQ(g_rawCalls.load(), 0) << "nothing completes without a touch";
    ASSERT_EQ(WinBio().Cancel(session), S_OK);
    testwin::WaitUntil([] { return g_rawCalls.load() != 0; }, 1000);
    Sleep(150);
    EXPECT_EQ(g_rawCalls.load(), 1);
    EXPECT_EQ(g_rawStatus.load(), WINBIO_E_CANCELED);
    EXPECT_NE(g_rawThread.load(), GetCurrentThreadId());
    EXPECT_EQ(WinBio().CloseSession(session), S_OK);
}

//--- Identification and duplicates

TEST_F(SimulatorTest, IdentificationOfAKnownAnUnknownAndABadSample) {
    ASSERT_TRUE(SimOk(L"enroll S-1-5-21-7-7-7-1001 3 finger-x"));
    CWbfInfo wbf;
    ASSERT_EQ(wbf.OpenSession(), S_OK);
    ASSERT_EQ(wbf.IdentifyFingerPrint_WithCallback(), S_OK);
    ASSERT_TRUE(SimOk(L"touch --wait 5000 finger-x"));
    EXPECT_EQ(WaitEvents(1), std::vector<Event>{Identify(0, 0)}) << "matches any account's enrolment";
    ASSERT_EQ(wbf.IdentifyFingerPrint_WithCallback(), S_OK);
    ASSERT_TRUE(SimOk(L"touch --wait 5000 finger-q"));
    EXPECT_EQ(WaitEvents(1), std::vector<Event>{Identify(1, 0)});
    ASSERT_EQ(wbf.IdentifyFingerPrint_WithCallback(), S_OK);
    ASSERT_TRUE(SimOk(L"bad --wait 5000 5"));
    EXPECT_EQ(WaitEvents(1), std::vector<Event>{Identify(3, 5)});
}

// Enrols `finger` at `subFactor` through the wrapper and returns the commit's HRESULT.
HRESULT EnrolAndCommit(CWbfInfo& wbf, WINBIO_BIOMETRIC_SUBTYPE subFactor, const std::wstring& finger) {
    if (FAILED(wbf.OpenSession()) || FAILED(wbf.EnrollFingerPrint_WithCallback(subFactor)))
        return E_FAIL;
    for (int i = 0; i < 4; ++i)
        Sim(L"touch --wait 5000 " + finger);
    const auto events = WaitEvents(4);
    if (events.size() != 4 || events.back() != Enroll(1, 0))
        return E_UNEXPECTED;
    const HRESULT hr = wbf.EnrollCommit();
    WaitEvents(1);
    wbf.CloseSession();
    return hr;
}

TEST_F(SimulatorTest, CommitRefusesAFingerOfAnotherAccountAndATakenPosition) {
    ASSERT_TRUE(SimOk(L"enroll S-1-5-21-7-7-7-1001 1 finger-x"));
    CWbfInfo wbf;
    EXPECT_EQ(EnrolAndCommit(wbf, 0xF5, L"finger-x"), static_cast<HRESULT>(0x8009802B));
    ASSERT_TRUE(SimOk(L"enroll . 0xF5 finger-y"));
    EXPECT_EQ(EnrolAndCommit(wbf, 0xF5, L"finger-z"), static_cast<HRESULT>(0x8009801C));
    EXPECT_EQ(EnrolAndCommit(wbf, 0xF6, L"finger-z"), S_OK);
    EXPECT_EQ(EnrolAndCommit(wbf, 0xF6, L"finger-z"), S_OK) << "the same template again is no error";
    EXPECT_EQ(EnrolAndCommit(wbf, 0xF7, L"finger-z"), static_cast<HRESULT>(0x8009802B))
        << "at another position";
    EXPECT_EQ(Pool(),
              "S-1-5-21-7-7-7-1001 0x01 finger-x\n" + me + " 0xF5 finger-y\n" + me + " 0xF6 finger-z\n");
}

TEST_F(SimulatorTest, TheCommitPostsTheDuplicate) {
    ASSERT_TRUE(SimOk(L"enroll S-1-5-21-7-7-7-1001 1 finger-x"));
    CWbfInfo wbf;
    ASSERT_EQ(wbf.OpenSession(), S_OK);
    ASSERT_EQ(wbf.EnrollFingerPrint_WithCallback(0xF5), S_OK);
    for (int i = 0; i < 4; ++i)
        Sim(L"touch --wait 5000 finger-x");
    ASSERT_EQ(WaitEvents(4).size(), 4u);
    EXPECT_EQ(wbf.EnrollCommit(), static_cast<HRESULT>(0x8009802B));
    EXPECT_EQ(WaitEvents(1), std::vector<Event>{Enroll(3, Status(static_cast<HRESULT>(0x8009802B)))});
}

//--- One pool for every process, kept across runs

TEST_F(SimulatorTest, EnrolmentsAreSeenByASecondProcessAndAfterARestart) {
    CWbfInfo wbf;
    ASSERT_EQ(EnrolAndCommit(wbf, 0xF7, L"finger-a"), S_OK);
    const RunResult peer = RunCaptured(L"sim_peer.exe", L"count");
    EXPECT_EQ(peer.out, "0x00000000 1\n");
    // Deleting in this process is seen by the next one as well.
    EXPECT_EQ(wbf.DeleteAll(), S_OK);
    EXPECT_EQ(RunCaptured(L"sim_peer.exe", L"count").out, "0x80098003 0\n");
    EXPECT_EQ(wbf.DeleteAll(), WINBIO_E_UNKNOWN_ID);
    EXPECT_EQ(OutstandingBlocks(), 0u);
}

//--- Unplugging

TEST_F(SimulatorTest, RemoveTellsRegisteredWindowsAndFailsTheOutstandingRequestInEitherOrder) {
    // A window of ours that never registered, and one that registers for every interface class.
    HWND unregistered = OpenTestWindow();
    HWND everyClass = OpenTestWindow();
    HDEVNOTIFY all = testwin::RegisterForUsbNotices(everyClass, true);
    ASSERT_NE(all, nullptr);
    ASSERT_TRUE(TakeFocus(window));
    for (const wchar_t* order : {L"notice-first", L"completion-first"}) {
        const std::string what(order, order + wcslen(order));
        g_notices.clear();
        CWbfInfo wbf;
        CWbfInfo::SetNotifyWindow(window); // the last wrapper took it along when it went
        ASSERT_EQ(wbf.OpenSession(), S_OK);
        ASSERT_EQ(wbf.IdentifyFingerPrint_WithCallback(), S_OK);
        WaitEvents(1, 200); // the simulator's thread has seen the state as it is
        ASSERT_TRUE(SimOk(std::wstring(L"remove --order ") + order));
        PumpFor(2000);
        EXPECT_EQ(g_events, std::vector<Event>{Identify(2, Status(static_cast<HRESULT>(0x8007048F)))})
            << what;
        ASSERT_EQ(g_notices.size(), 2u) << what;
        for (const DeviceNotice& removal : g_notices) {
            EXPECT_TRUE(removal.window == window || removal.window == everyClass)
                << what << ": registered only";
            EXPECT_EQ(removal.event, WPARAM(DBT_DEVICEREMOVECOMPLETE));
            EXPECT_EQ(removal.deviceType, DWORD(DBT_DEVTYP_DEVICEINTERFACE));
            EXPECT_TRUE(IsEqualGUID(removal.classGuid, testwin::kUsbDeviceInterface));
            EXPECT_EQ(removal.name, testwin::UsbInterfaceName(kSensor));
            EXPECT_EQ(removal.thread, GetCurrentThreadId()) << "delivered to the window's own thread";
            EXPECT_EQ(removal.eventsBefore, what == "completion-first" ? 1u : 0u) << what;
        }
        g_events.clear();

        SIZE_T count = 5;
        WINBIO_UNIT_ID unit = 0;
        EXPECT_EQ(wbf.EnumSensors(&count, &unit), S_OK);
        EXPECT_EQ(count, 0u);
        EXPECT_EQ(wbf.m_Vid, 0);
        EXPECT_EQ(wbf.IdentifyFingerPrint_WithCallback(), static_cast<HRESULT>(0x8007048F));

        ASSERT_TRUE(SimOk(L"plug"));
        WaitEvents(1, 300);
        ASSERT_EQ(g_notices.size(), 4u) << what;
        EXPECT_EQ(g_notices[2].event, WPARAM(DBT_DEVICEARRIVAL));
        EXPECT_EQ(wbf.EnumSensors(&count, &unit), S_OK);
        EXPECT_EQ(count, 1u);
        EXPECT_EQ(wbf.m_Pid, 0x0106);
        wbf.CloseSession();
    }
    // Unregistered, a window hears nothing more.
    ASSERT_TRUE(UnregisterDeviceNotification(all));
    g_notices.clear();
    ASSERT_TRUE(SimOk(L"remove"));
    PumpFor(1000);
    ASSERT_EQ(g_notices.size(), 1u);
    EXPECT_EQ(g_notices[0].window, window);
    DestroyWindow(unregistered);
    DestroyWindow(everyClass);
}

// A touch reaches only the process whose window has the focus; an enrolment begun without it
// waits for the focus and a touch.
TEST_F(SimulatorTest, OnlyTheFocusedProcessGetsSamplesAndItsEnrolmentBeginsWithTheFocus) {
    CWbfInfo wbf;
    ASSERT_EQ(wbf.OpenSession(), S_OK);
    ASSERT_EQ(wbf.IdentifyFingerPrint_WithCallback(), S_OK);
    const std::wstring name = L"NvSimFocus-" + std::to_wstring(GetCurrentProcessId());
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, (name + L"-ready").c_str());
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, (name + L"-go").c_str());
    testwin::CapturedProcess peer(L"sim_peer.exe", L"focus " + name);
    ASSERT_TRUE(peer.Started());
    ASSERT_EQ(WaitForSingleObject(ready, 20000), WAIT_OBJECT_0);
    EXPECT_EQ(Sim(L"touch finger-a").code, 1u) << "the focused process waits for nothing: lost";
    EXPECT_TRUE(WaitEvents(1, 300).empty()) << "our identification got no sample";

    // Without the focus the enrolment does not begin.
    struct Begin {
        WINBIO_SESSION_HANDLE session = 0;
        std::atomic<HRESULT> result{E_PENDING};
    } begin;
    ASSERT_EQ(WinBio().OpenSession(WINBIO_TYPE_FINGERPRINT, WINBIO_POOL_SYSTEM, WINBIO_FLAG_DEFAULT, nullptr,
                                   0, nullptr, &begin.session),
              S_OK);
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](void* p) -> DWORD {
            auto* b = static_cast<Begin*>(p);
            b->result = WinBio().EnrollBegin(b->session, 0xF5, 1);
            return 0;
        },
        &begin, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, 500), static_cast<DWORD>(WAIT_TIMEOUT)) << "blocked without focus";
    SetEvent(go);
    EXPECT_EQ(peer.Wait(20000).code, 0u);
    ASSERT_TRUE(TakeFocus(window));
    EXPECT_EQ(WaitForSingleObject(thread, 300), static_cast<DWORD>(WAIT_TIMEOUT))
        << "focus alone is not enough";
    // Both requests wait now: the oldest, the identification, takes the first touch.
    ASSERT_TRUE(SimOk(L"touch --wait 5000 finger-q"));
    EXPECT_EQ(WaitEvents(1), std::vector<Event>{Identify(1, 0)});
    ASSERT_TRUE(SimOk(L"touch --wait 5000 finger-q"));
    EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(begin.result.load(), S_OK);
    CloseHandle(thread);
    WinBio().CloseSession(begin.session);
    CloseHandle(ready);
    CloseHandle(go);
}

TEST_F(SimulatorTest, RemoveReachesTheWindowsOfAnotherProcessToo) {
    const std::wstring eventName = L"NvSimPeerReady-" + std::to_wstring(GetCurrentProcessId());
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, eventName.c_str());
    ASSERT_NE(ready, nullptr);
    testwin::CapturedProcess watching(L"sim_peer.exe", L"watch " + eventName);
    ASSERT_TRUE(watching.Started());
    ASSERT_EQ(WaitForSingleObject(ready, 20000), WAIT_OBJECT_0);
    EXPECT_TRUE(SimOk(L"remove"));
    const RunResult peer = watching.Wait();
    CloseHandle(ready);
    EXPECT_EQ(peer.code, 0u) << peer.out;
    EXPECT_EQ(peer.out, std::to_string(DBT_DEVICEREMOVECOMPLETE) + " " +
                            testtext::Narrow(testwin::UsbInterfaceName(kSensor)) + "\n");
}

TEST_F(SimulatorTest, ADamagedStateFileStartsOverFromTheDefault) {
    ASSERT_TRUE(SimOk(L"enroll . 1 finger-a"));
    const wchar_t* path = L"C:\\ProgramData\\NorvikWinBioSim\\state.txt";
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, "\x01\x02garbage\tline\n", 15, &written, nullptr);
    CloseHandle(file);
    EXPECT_EQ(Pool(), "");
    CWbfInfo wbf;
    EXPECT_EQ(wbf.m_Pid, 0x0106) << "the default sensor again";
}

//--- Configuration, failures, bad input

TEST_F(SimulatorTest, ConfiguredUnitsAreWhatDiscoveryFinds) {
    ASSERT_TRUE(SimOk(L"units \"ROOT\\BIO\\0000|Virtual|Acme|V1|123|2.7\" USB\\VID_2F1B&PID_0042\\1"));
    CWbfInfo::SetNotifyWindow(nullptr);
    CWbfInfo wbf;
    EXPECT_EQ(wbf.m_UnitId, 2u);
    EXPECT_EQ(wbf.m_Pid, 0x42);
    WINBIO_UNIT_SCHEMA* units = nullptr;
    SIZE_T count = 0;
    ASSERT_EQ(WinBio().EnumBiometricUnits(WINBIO_TYPE_FINGERPRINT, &units, &count), S_OK);
    ASSERT_EQ(count, 2u);
    EXPECT_STREQ(units[0].DeviceInstanceId, L"ROOT\\BIO\\0000");
    EXPECT_STREQ(units[0].Manufacturer, L"Acme");
    EXPECT_STREQ(units[0].SerialNumber, L"123");
    EXPECT_EQ(units[0].FirmwareVersion.MajorVersion, 2u);
    EXPECT_EQ(units[0].FirmwareVersion.MinorVersion, 7u);
    EXPECT_EQ(units[1].PoolType, WINBIO_POOL_SYSTEM);
    EXPECT_EQ(units[1].BiometricFactor, WINBIO_TYPE_FINGERPRINT);
    EXPECT_EQ(WinBio().Free(units), S_OK);
    EXPECT_EQ(WinBio().Free(units), E_INVALIDARG) << "a block is released once";
    ASSERT_TRUE(SimOk(L"units"));
    ASSERT_EQ(WinBio().EnumBiometricUnits(WINBIO_TYPE_FINGERPRINT, &units, &count), S_OK);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(units, nullptr);
}

TEST_F(SimulatorTest, InjectedFailuresReachTheWrapper) {
    CWbfInfo wbf;
    ASSERT_TRUE(SimOk(L"fail WinBioEnumBiometricUnits 0x80070015"));
    SIZE_T count = 0;
    WINBIO_UNIT_ID unit = 1;
    EXPECT_EQ(wbf.EnumSensors(&count, &unit), static_cast<HRESULT>(0x80070015));
    EXPECT_EQ(wbf.EnumSensors(&count, &unit), S_OK) << "one call only";

    ASSERT_EQ(wbf.OpenSession(), S_OK);
    ASSERT_EQ(wbf.EnrollFingerPrint_WithCallback(0xF5), S_OK);
    ASSERT_TRUE(SimOk(L"fail EnrollCaptureWithCallback 0x80004005"));
    ASSERT_TRUE(SimOk(L"touch --wait 5000 finger-a"));
    EXPECT_EQ(WaitEvents(2), (std::vector<Event>{Enroll(0, 1), Enroll(3, Status(E_FAIL))}));
}

TEST_F(SimulatorTest, InjectedOutcomesCompleteTheRequests) {
    CWbfInfo wbf;
    ASSERT_EQ(wbf.OpenSession(), S_OK);
    ASSERT_TRUE(SimOk(L"fail IdentifyResult 0x80098010"));
    ASSERT_EQ(wbf.IdentifyFingerPrint_WithCallback(), S_OK);
    ASSERT_TRUE(SimOk(L"touch --wait 5000 finger-a"));
    EXPECT_EQ(WaitEvents(1), std::vector<Event>{Identify(2, Status(WINBIO_E_DEVICE_BUSY))});
    ASSERT_EQ(wbf.EnrollFingerPrint_WithCallback(0xF5), S_OK);
    ASSERT_TRUE(SimOk(L"fail CaptureResult 0x80098006"));
    ASSERT_TRUE(SimOk(L"touch --wait 5000 finger-a"));
    EXPECT_EQ(WaitEvents(1), std::vector<Event>{Enroll(3, Status(static_cast<HRESULT>(0x80098006)))});
}

TEST_F(SimulatorTest, BadHandlesAndArgumentsGetErrorsNotCrashes) {
    const WinBioFunctions& api = WinBio();
    WINBIO_UNIT_SCHEMA* units = nullptr;
    SIZE_T count = 0;
    EXPECT_EQ(api.EnumBiometricUnits(WINBIO_TYPE_FINGERPRINT, nullptr, &count), E_POINTER);
    EXPECT_EQ(api.EnumBiometricUnits(0x4, &units, &count), WINBIO_E_UNSUPPORTED_FACTOR);
    WINBIO_SESSION_HANDLE session = 0;
    EXPECT_EQ(api.OpenSession(WINBIO_TYPE_FINGERPRINT, WINBIO_POOL_SYSTEM, 0, nullptr, 0, nullptr, nullptr),
              E_POINTER);
    EXPECT_EQ(api.OpenSession(WINBIO_TYPE_FINGERPRINT, 7, 0, nullptr, 0, nullptr, &session), E_INVALIDARG);
    EXPECT_EQ(api.CloseSession(0x1234), E_HANDLE);
    EXPECT_EQ(api.Cancel(0), E_HANDLE);
    EXPECT_EQ(api.EnrollBegin(0x1234, 0xF5, 1), E_HANDLE);
    EXPECT_EQ(api.Free(nullptr), E_POINTER);
    int notOurs = 0;
    EXPECT_EQ(api.Free(&notOurs), E_INVALIDARG);

    ASSERT_EQ(api.OpenSession(WINBIO_TYPE_FINGERPRINT, WINBIO_POOL_SYSTEM, 0, nullptr, 0, nullptr, &session),
              S_OK);
    EXPECT_NE(session, 0u);
    EXPECT_EQ(api.EnrollBegin(session, 0xF5, 99), WINBIO_E_INVALID_UNIT);
    EXPECT_EQ(api.EnrollBegin(session, 0x00, 1), E_INVALIDARG) << "WINBIO_SUBTYPE_NO_INFORMATION";
    EXPECT_EQ(api.EnrollBegin(session, 0xFF, 1), E_INVALIDARG) << "WINBIO_SUBTYPE_ANY";
    EXPECT_EQ(api.EnrollBegin(session, 0xF5, 0), E_INVALIDARG) << "unit 0";
    EXPECT_EQ(api.EnrollBegin(session, 0x0B, 1), WINBIO_E_INVALID_SUBFACTOR);
    EXPECT_EQ(api.EnrollCaptureWithCallback(session, CWbfInfo::EnrollCaptureCallback, nullptr),
              WINBIO_E_INVALID_DEVICE_STATE);
    EXPECT_EQ(api.EnrollCaptureWithCallback(session, nullptr, nullptr), E_POINTER);
    EXPECT_EQ(api.EnrollCommit(session, nullptr, nullptr), WINBIO_E_INVALID_DEVICE_STATE);
    ASSERT_EQ(api.EnrollBegin(session, 0xF5, 1), S_OK);
    EXPECT_EQ(api.EnrollBegin(session, 0xF6, 1), WINBIO_E_ENROLLMENT_IN_PROGRESS);

    WINBIO_IDENTITY nobody = {};
    WINBIO_BIOMETRIC_SUBTYPE* subFactors = nullptr;
    EXPECT_EQ(api.EnumEnrollments(session, 1, &nobody, &subFactors, &count), E_INVALIDARG);
    nobody.Type = WINBIO_ID_TYPE_SID;
    nobody.Value.AccountSid.Size = 500;
    EXPECT_EQ(api.EnumEnrollments(session, 1, &nobody, &subFactors, &count), E_INVALIDARG);
    EXPECT_EQ(api.EnumEnrollments(session, 1, nullptr, &subFactors, &count), E_POINTER);
    EXPECT_EQ(api.DeleteTemplate(session, 1, &nobody, 0xF5), E_INVALIDARG);
    WINBIO_IDENTITY self;
    ASSERT_EQ(GetUserIdentity(&self), S_OK);
    EXPECT_EQ(api.EnumEnrollments(session, 1, &self, &subFactors, &count), WINBIO_E_UNKNOWN_ID);
    EXPECT_EQ(subFactors, nullptr);
    EXPECT_EQ(api.EnumEnrollments(session, 42, &self, &subFactors, &count), WINBIO_E_INVALID_UNIT);
    EXPECT_EQ(api.DeleteTemplate(session, 1, &self, 0xF5), WINBIO_E_UNKNOWN_ID);
    EXPECT_EQ(api.CloseSession(session), S_OK);
    EXPECT_EQ(api.CloseSession(session), E_HANDLE) << "a closed handle is gone";
    EXPECT_EQ(OutstandingBlocks(), 0u);
}

TEST_F(SimulatorTest, TheControlProgramRefusesBadInputAndDocumentsEveryCommand) {
    for (const wchar_t* bad :
         {L"", L"bogus", L"samples 0", L"samples x", L"touch", L"auto maybe", L"bad x",
          L"fail Free 0x80004005", L"fail EnrollCommit E_FAIL", L"fail EnrollCommit 0x1 0",
          L"enroll . 0x0B finger-a", L"units \"A|b|c|d|e|1\"", L"list extra"})
        EXPECT_EQ(Sim(bad).code, 2u) << bad;
    EXPECT_EQ(Sim(L"enroll nosuchaccount 1 finger-a").code, 1u);
    EXPECT_TRUE(SimOk(L"enroll . 1 finger-a"));
    EXPECT_EQ(Sim(L"enroll S-1-5-21-7-7-7-1001 2 finger-a").code, 1u) << "the finger is enrolled already";
    EXPECT_EQ(Sim(L"enroll . 1 finger-b").code, 1u) << "the position is taken";
    EXPECT_EQ(Pool(), me + " 0x01 finger-a\n");
    {
        // The same list into a pipe nobody reads any more: it never arrives, and the command fails.
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        HANDLE read = nullptr, write = nullptr;
        ASSERT_TRUE(CreatePipe(&read, &write, &inherit, 0));
        CloseHandle(read);
        HANDLE sim = testwin::StartProgram(L"winbio-sim.exe", L"list", write);
        CloseHandle(write);
        ASSERT_NE(sim, nullptr);
        EXPECT_EQ(testwin::WaitExit(sim, 30000), 1u);
    }
    EXPECT_TRUE(SimOk(L"remove"));
    EXPECT_TRUE(SimOk(L"remove")) << "removing twice is not an error";
    EXPECT_TRUE(SimOk(L"plug"));

    const RunResult help = Sim(L"--help");
    EXPECT_EQ(help.code, 0u);
    for (const char* command : {"reset", "units", "samples", "touch", "bad", "auto", "enroll", "list", "fail",
                                "remove", "plug", "state"})
        EXPECT_NE(help.out.find("\n  " + std::string(command)), std::string::npos) << command;
}

//--- The demo's helpers

TEST_F(SimulatorTest, AutoModeCompletesRequestsWithFingersOfItsOwn) {
    ASSERT_TRUE(SimOk(L"samples 3"));
    ASSERT_TRUE(SimOk(L"auto on"));
    CWbfInfo wbf;
    ASSERT_EQ(wbf.OpenSession(), S_OK);
    ASSERT_EQ(wbf.IdentifyFingerPrint_WithCallback(), S_OK);
    const DWORD start = GetTickCount();
    EXPECT_EQ(WaitEvents(1), std::vector<Event>{Identify(1, 0)}) << "a finger nobody has enrolled";
    const DWORD waited = GetTickCount() - start;
    EXPECT_GE(waited, 400u);
    EXPECT_LE(waited, 1500u);
    ASSERT_EQ(wbf.EnrollFingerPrint_WithCallback(0xF5), S_OK);
    EXPECT_EQ(WaitEvents(3), (std::vector<Event>{Enroll(0, 1), Enroll(0, 2), Enroll(1, 0)}));
    EXPECT_EQ(wbf.EnrollCommit(), S_OK);
    WaitEvents(1);
    wbf.CloseSession();
    const std::string pool = Pool();
    EXPECT_EQ(pool.rfind(me + " 0xF5 auto-finger-", 0), 0u) << pool;
}

TEST_F(SimulatorTest, ATouchIsTakenUpWithinATenthOfASecond) {
    CWbfInfo wbf;
    ASSERT_EQ(wbf.OpenSession(), S_OK);
    std::vector<DWORD> delays;
    for (int i = 0; i < 7; ++i) {
        ASSERT_EQ(wbf.IdentifyFingerPrint_WithCallback(), S_OK);
        WaitEvents(1, 100);
        ASSERT_TRUE(SimOk(L"touch --wait 5000 finger-q")); // returns once the state is written
        const DWORD written = GetTickCount();
        const auto events = WaitEvents(1, 2000);
        ASSERT_EQ(events.size(), 1u);
        delays.push_back(GetTickCount() - written);
    }
    std::sort(delays.begin(), delays.end());
    RecordProperty("median_ms", static_cast<int>(delays[delays.size() / 2]));
    RecordProperty("slowest_ms", static_cast<int>(delays.back()));
    std::printf("touch-to-event: median %lu ms, slowest %lu ms\n",
                static_cast<unsigned long>(delays[delays.size() / 2]),
                static_cast<unsigned long>(delays.back()));
    // The median, so that one descheduling on a busy machine does not decide it.
    EXPECT_LE(delays[delays.size() / 2], 100u);
}

} // namespace
