// CWbfInfo: discovery, sessions, the two callbacks and the template operations.
#include "biometric/WbfInfo.h"

#include "base/Trace.h"
#include "biometric/DeviceInstanceId.h"
#include "biometric/UserIdentity.h"
#include "biometric/WinBioTable.h"

#include <atomic>
#include <cstdint>
#include <cstdarg>
#include <string>

LONG CWbfInfo::TouchCount = 0;

namespace {

// Written on the GUI thread, read by the framework's threads; one word, no lock.
std::atomic<HWND> g_notifyWindow{nullptr};

// The last session tag given out. 2^32 sessions, one or more per touch of the sensor, are more
// than a process ever opens, so a tag is not given twice.
std::atomic<std::uint32_t> g_lastSessionTag{0};

std::uint32_t NewSessionTag() {
    std::uint32_t tag = ++g_lastSessionTag;
    if (tag == 0)
        tag = ++g_lastSessionTag;
    return tag;
}

// The framework hands the context back untouched; both halves fit in it on this platform.
static_assert(sizeof(PVOID) == 8 && sizeof(WPARAM) == 8, "the request context packs handle and tag");

PVOID RequestContext(WINBIO_SESSION_HANDLE session, std::uint32_t tag) {
    return reinterpret_cast<PVOID>((static_cast<std::uintptr_t>(session) << 32) | tag);
}
WINBIO_SESSION_HANDLE ContextSession(PVOID context) {
    return static_cast<WINBIO_SESSION_HANDLE>(reinterpret_cast<std::uintptr_t>(context) >> 32);
}
std::uint32_t ContextTag(PVOID context) {
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(context) & 0xFFFFFFFFu);
}

// Hands one line to the notification window, when there is one, and drops it. The text lives
// only for the synchronous send.
void SendTraceV(WPARAM kind, const char* format, va_list args) {
    const std::u16string line = nvtrace::FormatV(format, args);
    if (const HWND window = g_notifyWindow.load())
        SendMessageW(window, WM_WBF_TRACE, kind, reinterpret_cast<LPARAM>(line.c_str()));
}

void SendTrace(WPARAM kind, const char* format, ...) {
    va_list args;
    va_start(args, format);
    SendTraceV(kind, format, args);
    va_end(args);
}

void TraceLine(const char* format, ...) {
    va_list args;
    va_start(args, format);
    SendTraceV(WBF_TRACE_LINE, format, args);
    va_end(args);
}

// HRESULTs travel in lParam sign-extended, as the dialog compares them with negative constants.
LPARAM StatusParam(HRESULT hr) {
    return static_cast<LPARAM>(static_cast<LONG>(hr));
}

void PostEnrollEvent(unsigned int event, LPARAM value, std::uint32_t tag) {
    const HWND window = g_notifyWindow.load();
    if (!window)
        return;
    if (event != ENROLL_EVENT_MORE_DATA && event != ENROLL_EVENT_FAILED && event != ENROLL_EVENT_BAD_CAPTURE)
        value = 0;
    PostMessageW(window, WM_ENROLL_EVENT, MakeEventParam(event, tag), value);
}

void PostIdentifyEvent(unsigned int event, LPARAM value, std::uint32_t tag) {
    if (const HWND window = g_notifyWindow.load())
        PostMessageW(window, WM_IDENTIFY_EVENT, MakeEventParam(event, tag), value);
}

const wchar_t* Text(const WCHAR (&field)[WINBIO_MAX_STRING_LEN], wchar_t (&copy)[WINBIO_MAX_STRING_LEN]) {
    // The framework terminates its strings; a unit that does not must not run us off the end.
    for (std::size_t i = 0; i < WINBIO_MAX_STRING_LEN; ++i)
        copy[i] = field[i];
    copy[WINBIO_MAX_STRING_LEN - 1] = L'\0';
    return copy;
}

std::size_t TextLength(const WCHAR (&field)[WINBIO_MAX_STRING_LEN]) {
    std::size_t n = 0;
    while (n < WINBIO_MAX_STRING_LEN && field[n] != L'\0')
        ++n;
    return n;
}

constexpr const char* kSeparator = "===============================================";

} // namespace

//--- Construction and discovery

CWbfInfo::CWbfInfo() {
    TraceLine("(CWbfInfo) EnumSensors Start\r\n");
    SIZE_T count = 0;
    const HRESULT hr = EnumSensors(&count, &m_UnitId);
    if (FAILED(hr))
        TraceLine("(CWbfInfo) EnumSensors failed. hr = 0x%x\r\n", static_cast<unsigned>(hr));
    TraceLine("(CWbfInfo) EnumSensors End\r\n");
    if (count != 1)
        TraceLine("(CWbfInfo) SensorCnt != 1!\r\n");
}

CWbfInfo::~CWbfInfo() {
    CloseSession();
    g_notifyWindow.store(nullptr);
}

HRESULT CWbfInfo::EnumSensors(SIZE_T* pUnitCount, WINBIO_UNIT_ID* pUnitId) {
    WinBioMemory<WINBIO_UNIT_SCHEMA> units;
    SIZE_T count = 0;
    const HRESULT hr = WinBio().EnumBiometricUnits(WINBIO_TYPE_FINGERPRINT, units.Put(), &count);
    if (pUnitCount)
        *pUnitCount = count;
    if (FAILED(hr)) {
        TraceLine("(EnumSensors) WinBioEnumBiometricUnits failed. hr = 0x%x", static_cast<unsigned>(hr));
    } else {
        m_Vid = 0;
        m_Pid = 0;
        TraceLine("Sensors:");
        for (SIZE_T i = 0; units && i < count; ++i) {
            const WINBIO_UNIT_SCHEMA& unit = units.Get()[i];
            wchar_t copy[WINBIO_MAX_STRING_LEN];
            TraceLine(kSeparator);
            TraceLine("[%d] => Unit ID: %d", static_cast<int>(i), static_cast<int>(unit.UnitId));
            TraceLine("Device instance ID: %s", Text(unit.DeviceInstanceId, copy));
            TraceLine("Pool type: %d", static_cast<int>(unit.PoolType));
            TraceLine("Biometric factor: %d", static_cast<int>(unit.BiometricFactor));
            TraceLine("Sensor subtype: %d", static_cast<int>(unit.SensorSubType));
            TraceLine("Sensor capabilities: 0x%08x", static_cast<unsigned>(unit.Capabilities));
            TraceLine("Description: %s", Text(unit.Description, copy));
            TraceLine("Manufacturer: %s", Text(unit.Manufacturer, copy));
            TraceLine("Model: %s", Text(unit.Model, copy));
            TraceLine("Serial no: %s", Text(unit.SerialNumber, copy));
            TraceLine("Firmware version: [%d.%d]", static_cast<int>(unit.FirmwareVersion.MajorVersion),
                      static_cast<int>(unit.FirmwareVersion.MinorVersion));
            if (m_Vid != 0 && m_Pid != 0)
                continue; // a qualifying unit has been chosen; the rest are only traced
            const UsbIds ids = ParseUsbIds(std::u16string_view(
                reinterpret_cast<const char16_t*>(unit.DeviceInstanceId), TextLength(unit.DeviceInstanceId)));
            m_Vid = ids.vid;
            m_Pid = ids.pid;
            if (ids.parsed && pUnitId)
                *pUnitId = unit.UnitId;
        }
        TraceLine(kSeparator);
    }
    return hr;
}

HRESULT CWbfInfo::OpenSession() {
    SendTrace(WBF_TRACE_MARKER, "");
    if (m_SessionHandle != 0)
        return S_OK;
    // A new run, whether the framework lets it open or not: the failure of a refused open must not
    // carry the tag of the session before it, whose late completions are then taken for this run's.
    m_nSessionTag = NewSessionTag();
    const HRESULT hr = WinBio().OpenSession(WINBIO_TYPE_FINGERPRINT, WINBIO_POOL_SYSTEM, WINBIO_FLAG_DEFAULT,
                                            nullptr, 0, nullptr, &m_SessionHandle);
    if (FAILED(hr)) {
        m_SessionHandle = 0;
        TraceLine("(OpenSession) WinBioOpenSession failed. hr = 0x%x", static_cast<unsigned>(hr));
        return hr;
    }
    TraceLine("(OpenSession) WinBioOpenSession Success. m_SessionHandle = 0x%x",
              static_cast<unsigned>(m_SessionHandle));
    return S_OK;
}

HRESULT CWbfInfo::CloseSession() {
    if (m_SessionHandle == 0) {
        TraceLine("(CloseSession) m_SessionHandle == NULL");
        return S_OK;
    }
    const HRESULT hr = WinBio().CloseSession(m_SessionHandle);
    if (FAILED(hr))
        TraceLine("(CloseSession) WinBioCloseSession failed. hr = 0x%x", static_cast<unsigned>(hr));
    m_SessionHandle = 0;
    return hr;
}

HRESULT CWbfInfo::CancelOperation() {
    if (m_SessionHandle == 0)
        return S_OK;
    return WinBio().Cancel(m_SessionHandle);
}

void CWbfInfo::SetNotifyWindow(HWND hWnd) {
    if (hWnd)
        g_notifyWindow.store(hWnd);
}

HWND CWbfInfo::GetNotifyWindow() {
    return g_notifyWindow.load();
}

//--- Enrolment and identification

HRESULT CWbfInfo::EnrollFingerPrint_WithCallback(WINBIO_BIOMETRIC_SUBTYPE subFactor) {
    TouchCount = 1;
    HRESULT hr = WinBio().EnrollBegin(m_SessionHandle, subFactor, m_UnitId);
    if (FAILED(hr)) {
        nvtrace::Trace("(EnrollFingerPrint_WithCallback) WinBioEnrollBegin failed. hr = 0x%x\r\n",
                       static_cast<unsigned>(hr));
        return hr;
    }
    hr = WinBio().EnrollCaptureWithCallback(m_SessionHandle, EnrollCaptureCallback,
                                            RequestContext(m_SessionHandle, m_nSessionTag));
    if (FAILED(hr))
        nvtrace::Trace(
            "(EnrollFingerPrint_WithCallback) WinBioEnrollCaptureWithCallback failed.hr = 0x%x\r\n",
            static_cast<unsigned>(hr));
    return hr;
}

VOID CALLBACK CWbfInfo::EnrollCaptureCallback(PVOID EnrollCallbackContext, HRESULT OperationStatus,
                                              WINBIO_REJECT_DETAIL RejectDetail) {
    nvtrace::Trace("(EnrollCaptureCallback) Enter OperationStatus = 0x%x ====>\r\n",
                   static_cast<unsigned>(OperationStatus));
    const std::uint32_t tag = ContextTag(EnrollCallbackContext);
    // Requests the next sample; a refused request ends the enrolment with its HRESULT.
    const auto rearm = [EnrollCallbackContext, tag]() {
        const HRESULT hr = WinBio().EnrollCaptureWithCallback(ContextSession(EnrollCallbackContext),
                                                              EnrollCaptureCallback, EnrollCallbackContext);
        if (FAILED(hr))
            PostEnrollEvent(ENROLL_EVENT_FAILED, StatusParam(hr), tag);
    };
    if (OperationStatus == WINBIO_E_BAD_CAPTURE) {
        // The dialog tells the person what to do differently; the enrolment goes on.
        PostEnrollEvent(ENROLL_EVENT_BAD_CAPTURE, static_cast<LPARAM>(RejectDetail), tag);
        rearm();
    } else if (FAILED(OperationStatus)) {
        PostEnrollEvent(ENROLL_EVENT_FAILED, StatusParam(OperationStatus), tag);
    } else if (OperationStatus == WINBIO_I_MORE_DATA) {
        // The counter is updated before the next request, so callbacks of one enrolment never race.
        PostEnrollEvent(ENROLL_EVENT_MORE_DATA, static_cast<LPARAM>(TouchCount), tag);
        ++TouchCount;
        rearm();
    } else {
        PostEnrollEvent(ENROLL_EVENT_CAPTURED, 0, tag);
    }
    nvtrace::Trace("(EnrollCaptureCallback) Exit OperationStatus = 0x%x <====\r\n",
                   static_cast<unsigned>(OperationStatus));
}

HRESULT CWbfInfo::EnrollCommit() {
    WINBIO_IDENTITY identity = {};
    BOOLEAN isNewTemplate = 1;
    const HRESULT hr = WinBio().EnrollCommit(m_SessionHandle, &identity, &isNewTemplate);
    if (FAILED(hr)) {
        if (hr == WINBIO_E_DUPLICATE_TEMPLATE)
            nvtrace::Trace("(EnrollCommit) WinBioEnrollCommit Finger Exist\n");
        else
            nvtrace::Trace("(EnrollCommit) WinBioEnrollCommit failed. hr = 0x%x\n",
                           static_cast<unsigned>(hr));
        PostEnrollEvent(ENROLL_EVENT_FAILED, StatusParam(hr), m_nSessionTag);
    } else {
        PostEnrollEvent(ENROLL_EVENT_COMMITTED, 0, m_nSessionTag);
    }
    return hr;
}

HRESULT CWbfInfo::IdentifyFingerPrint_WithCallback() {
    return WinBio().IdentifyWithCallback(m_SessionHandle, IdentifyCallback,
                                         RequestContext(m_SessionHandle, m_nSessionTag));
}

VOID CALLBACK CWbfInfo::IdentifyCallback(PVOID IdentifyCallbackContext, HRESULT OperationStatus,
                                         WINBIO_UNIT_ID /*UnitId*/, WINBIO_IDENTITY* /*Identity*/,
                                         WINBIO_BIOMETRIC_SUBTYPE /*SubFactor*/,
                                         WINBIO_REJECT_DETAIL RejectDetail) {
    const std::uint32_t tag = ContextTag(IdentifyCallbackContext);
    if (SUCCEEDED(OperationStatus))
        PostIdentifyEvent(IDENTIFY_EVENT_MATCH, 0, tag);
    else if (OperationStatus == WINBIO_E_UNKNOWN_ID)
        PostIdentifyEvent(IDENTIFY_EVENT_UNKNOWN, 0, tag);
    else if (OperationStatus == WINBIO_E_BAD_CAPTURE)
        PostIdentifyEvent(IDENTIFY_EVENT_BAD_CAPTURE, static_cast<LPARAM>(RejectDetail), tag);
    else
        PostIdentifyEvent(IDENTIFY_EVENT_FAILED, StatusParam(OperationStatus), tag);
}

//--- Enumeration and deletion

HRESULT CWbfInfo::_EnumFingerPrint(FingerFlags& flags, WINBIO_IDENTITY identity) {
    OpenSession(); // without a session the enumeration fails and reports why
    WinBioMemory<WINBIO_BIOMETRIC_SUBTYPE> subFactors;
    SIZE_T count = 0;
    const HRESULT hr =
        WinBio().EnumEnrollments(m_SessionHandle, m_UnitId, &identity, subFactors.Put(), &count);
    if (FAILED(hr)) {
        if (hr == WINBIO_E_UNKNOWN_ID)
            flags.fill(0);
        TraceLine("WinBioEnumEnrollments failed. hr = 0x%x", static_cast<unsigned>(hr));
    } else {
        TraceLine("Enrollments for this user on Unit ID %d:", static_cast<int>(m_UnitId));
        flags.fill(0);
        for (SIZE_T i = 0; subFactors && i < count; ++i) {
            if (const auto index = Factor2FingerIndex(subFactors.Get()[i]))
                flags[*index] = 1;
            TraceLine("%s", Factor2StrFingerName(subFactors.Get()[i]));
        }
    }
    subFactors.Reset(); // given back while the session is still open
    CloseSession();
    return hr;
}

HRESULT CWbfInfo::EnumFingerPrint(FingerFlags& flags) {
    WINBIO_IDENTITY identity;
    const HRESULT hr = GetUserIdentity(&identity);
    if (FAILED(hr)) {
        TraceLine("User identity not found");
        return hr;
    }
    return _EnumFingerPrint(flags, identity);
}

HRESULT CWbfInfo::_DeleteFingerTemplate(WINBIO_IDENTITY identity, WINBIO_BIOMETRIC_SUBTYPE subFactor) {
    OpenSession();
    const HRESULT hr = WinBio().DeleteTemplate(m_SessionHandle, m_UnitId, &identity, subFactor);
    SendTrace(WBF_TRACE_OUTCOME, FAILED(hr) ? "WinBioDeleteTemplate failed" : "Delete Template Success !");
    CloseSession();
    return hr;
}

HRESULT CWbfInfo::_DeleteAll(WINBIO_IDENTITY identity) {
    FingerFlags flags = {};
    HRESULT hr = _EnumFingerPrint(flags, identity);
    if (FAILED(hr)) {
        TraceLine("(_DeleteAll) _EnumFingerPrint failed. hr = 0x%x\r\n", static_cast<unsigned>(hr));
        return hr;
    }
    for (std::uint32_t i = 0; i < kFingerIndexCount; ++i) {
        if (flags[i] != 1)
            continue;
        const WINBIO_BIOMETRIC_SUBTYPE subFactor = FingerIndex2Factor(i);
        hr = _DeleteFingerTemplate(identity, subFactor);
        if (FAILED(hr)) {
            TraceLine("(_DeleteAll) _DeleteFingerTemplate(0x%02x) failed. hr = 0x%x\r\n",
                      static_cast<unsigned>(subFactor), static_cast<unsigned>(hr));
            return hr;
        }
    }
    return S_OK;
}

HRESULT CWbfInfo::DeleteAll() {
    WINBIO_IDENTITY identity;
    const HRESULT hr = GetUserIdentity(&identity);
    if (FAILED(hr)) {
        TraceLine("User identity not found");
        return hr;
    }
    return _DeleteAll(identity);
}

WINBIO_BIOMETRIC_SUBTYPE CWbfInfo::FingerIndex2Factor(std::uint32_t _nFingerIndex) {
    return ::FingerIndex2Factor(_nFingerIndex);
}
