// The simulated winbio.dll: the eleven framework functions on the shared state of SimStore.
// Asynchronous requests are completed by a thread of this DLL that polls the state, takes the
// queued samples and calls the callbacks; the same thread relays sensor removal and arrival to
// the process's top-level windows as WM_DEVICECHANGE.
#include "biometric/WinBio.h"
#include "sim/SimStore.h"

#include <dbt.h>
#include <sddl.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace {

// GUID_DEVINTERFACE_USB_DEVICE
constexpr GUID kUsbDeviceInterface = {
    0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};
constexpr DWORD kPollMilliseconds = 40;
constexpr DWORD kAutoDelayMilliseconds = 500;
constexpr UINT kBroadcastTimeoutMilliseconds = 5000;

struct Request {
    enum Kind { None, Capture, Identify } kind = None;
    PWINBIO_ENROLL_CAPTURE_CALLBACK capture = nullptr;
    PWINBIO_IDENTIFY_CALLBACK identify = nullptr;
    PVOID context = nullptr;
    DWORD since = 0;
    ULONGLONG order = 0;
    bool canceled = false;
};

struct Session {
    bool enrolling = false;
    bool captured = false; // enough good samples: ready to commit
    WINBIO_UNIT_ID unit = 0;
    WINBIO_BIOMETRIC_SUBTYPE subFactor = 0;
    std::uint32_t goodSamples = 0;
    std::string finger;
    Request pending;
};

struct Completion {
    Request request;
    HRESULT status = S_OK;
    WINBIO_UNIT_ID unit = 0;
    WINBIO_IDENTITY identity = {};
    bool hasIdentity = false;
    WINBIO_BIOMETRIC_SUBTYPE subFactor = 0;
    WINBIO_REJECT_DETAIL reject = 0;
};

// Lock order: the state's named mutex (Transact) first, then g_lock.
std::mutex g_lock;
std::map<WINBIO_SESSION_HANDLE, Session> g_sessions;
std::vector<Request> g_orphans; // requests of closed sessions, to be completed as canceled
WINBIO_SESSION_HANDLE g_nextSession = 0;
ULONGLONG g_nextOrder = 0;
std::set<void*> g_blocks; // what WinBioFree may release
HANDLE g_wake = nullptr;
std::atomic<bool> g_stopping{false};

void Wake() {
    if (g_wake)
        SetEvent(g_wake);
}

HRESULT Injected(sim::State& state, const char* function, bool& changed) {
    if (const auto result = sim::TakeFailure(state, function)) {
        changed = true;
        return *result;
    }
    return S_OK;
}

bool HasUnit(const sim::State& state, WINBIO_UNIT_ID unit) {
    return !state.removed && std::any_of(state.units.begin(), state.units.end(),
                                         [unit](const sim::Unit& u) { return u.id == unit; });
}

// The identity's SID text, or empty for anything but a well-formed SID identity.
std::string IdentityText(const WINBIO_IDENTITY* identity) {
    if (!identity || identity->Type != WINBIO_ID_TYPE_SID || identity->Value.AccountSid.Size < 8 ||
        identity->Value.AccountSid.Size > WINBIO_SID_DATA_SIZE)
        return {};
    return sim::SidText(identity->Value.AccountSid.Data);
}

bool FillIdentity(const std::string& sidText, WINBIO_IDENTITY& identity) {
    std::memset(&identity, 0, sizeof identity);
    PSID sid = nullptr;
    if (!ConvertStringSidToSidW(sim::Widen(sidText).c_str(), &sid))
        return false;
    const DWORD length = GetLengthSid(sid);
    const bool fits = length <= WINBIO_SID_DATA_SIZE;
    if (fits) {
        identity.Type = WINBIO_ID_TYPE_SID;
        identity.Value.AccountSid.Size = length;
        CopySid(static_cast<DWORD>(WINBIO_SID_DATA_SIZE), identity.Value.AccountSid.Data, sid);
    }
    LocalFree(sid);
    return fits;
}

void* Allocate(std::size_t bytes) {
    void* block = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes);
    if (block) {
        std::lock_guard<std::mutex> guard(g_lock);
        g_blocks.insert(block);
    }
    return block;
}

void CopyText(WCHAR (&field)[WINBIO_MAX_STRING_LEN], const std::string& utf8) {
    const std::wstring text = sim::Widen(utf8);
    const std::size_t n = std::min(text.size(), WINBIO_MAX_STRING_LEN - 1);
    std::copy_n(text.begin(), n, field);
    field[n] = L'\0';
}

//--- Device notifications

BOOL CALLBACK CollectOwnWindows(HWND window, LPARAM param) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId())
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
    return TRUE;
}

void Broadcast(bool removal, const std::string& interfaceName) {
    const std::wstring name = sim::Widen(interfaceName);
    // Kept for the life of the process: a receiver that timed out may still read it later.
    static std::vector<std::vector<BYTE>> keep;
    std::vector<BYTE> buffer(sizeof(DEV_BROADCAST_DEVICEINTERFACE_W) + name.size() * sizeof(wchar_t));
    auto* header = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(buffer.data());
    header->dbcc_size = static_cast<DWORD>(buffer.size());
    header->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    header->dbcc_classguid = kUsbDeviceInterface;
    std::copy(name.begin(), name.end(), header->dbcc_name);
    header->dbcc_name[name.size()] = L'\0';
    keep.push_back(std::move(buffer));
    const LPARAM data = reinterpret_cast<LPARAM>(keep.back().data());

    std::vector<HWND> windows;
    EnumWindows(CollectOwnWindows, reinterpret_cast<LPARAM>(&windows));
    for (HWND window : windows) {
        DWORD_PTR result = 0;
        SendMessageTimeoutW(window, WM_DEVICECHANGE, removal ? DBT_DEVICEREMOVECOMPLETE : DBT_DEVICEARRIVAL,
                            data, SMTO_NORMAL, kBroadcastTimeoutMilliseconds, &result);
    }
}

//--- Completing requests

void Complete(const Completion& c) {
    if (c.request.kind == Request::Capture && c.request.capture)
        c.request.capture(c.request.context, c.status, c.reject);
    else if (c.request.kind == Request::Identify && c.request.identify) {
        WINBIO_IDENTITY identity = c.identity;
        c.request.identify(c.request.context, c.status, c.unit, c.hasIdentity ? &identity : nullptr,
                           c.subFactor, c.reject);
    }
}

std::uint32_t g_seenEvents = 0;

// One pass: decides what completes now (under the locks), then calls back without them.
void Poll() {
    std::vector<Completion> done;
    std::vector<std::pair<bool, std::string>> notices;
    const DWORD now = GetTickCount();
    sim::Transact([&](sim::State& state) {
        bool changed = false;
        if (state.deviceEvents != g_seenEvents) {
            g_seenEvents = state.deviceEvents;
            const std::string device = state.units.empty() ? std::string(sim::kDefaultDeviceInstanceId)
                                                           : state.units.front().deviceInstanceId;
            notices.emplace_back(state.removed, sim::DeviceInterfaceName(device));
        }
        std::lock_guard<std::mutex> guard(g_lock);
        for (const Request& orphan : g_orphans)
            done.push_back({orphan, WINBIO_E_CANCELED});
        g_orphans.clear();

        std::vector<std::pair<ULONGLONG, Session*>> waiting;
        for (auto& [handle, session] : g_sessions) {
            if (session.pending.kind == Request::None)
                continue;
            if (session.pending.canceled || state.removed) {
                Completion c{session.pending,
                             session.pending.canceled ? WINBIO_E_CANCELED : winbio::kDeviceNotConnected};
                session.pending = {};
                done.push_back(c);
                continue;
            }
            waiting.emplace_back(session.pending.order, &session);
        }
        std::sort(waiting.begin(), waiting.end());
        for (auto& [order, session] : waiting) {
            sim::Sample sample;
            if (!state.samples.empty()) {
                sample = state.samples.front();
                state.samples.pop_front();
                changed = true;
            } else if (state.autoMode && now - session->pending.since >= kAutoDelayMilliseconds) {
                sample.good = true;
                if (session->pending.kind == Request::Capture && !session->finger.empty())
                    sample.finger = session->finger;
                else
                    sample.finger = "auto-finger-" + std::to_string(++state.autoFingers);
                changed = true;
            } else {
                continue;
            }
            Completion c{session->pending};
            session->pending = {};
            const WINBIO_UNIT_ID firstUnit = state.units.empty() ? 0 : state.units.front().id;
            c.unit = session->enrolling ? session->unit : firstUnit;
            const char* outcome = c.request.kind == Request::Capture ? "CaptureResult" : "IdentifyResult";
            if (const auto injected = sim::TakeFailure(state, outcome)) {
                c.status = *injected; // the touch is used up, the enrolment does not advance
            } else if (!sample.good) {
                c.status = WINBIO_E_BAD_CAPTURE;
                c.reject = sample.rejectDetail;
            } else if (c.request.kind == Request::Capture) {
                if (session->finger.empty())
                    session->finger = sample.finger;
                if (sample.finger != session->finger) {
                    // A different finger in the middle of an enrolment cannot be merged.
                    c.status = WINBIO_E_BAD_CAPTURE;
                    c.reject = winbio::kRejectMergeFailure;
                } else if (++session->goodSamples >= state.samplesPerEnrollment) {
                    session->captured = true;
                    c.status = S_OK;
                } else {
                    c.status = WINBIO_I_MORE_DATA;
                }
            } else if (const auto match = sim::Identify(state, sample.finger)) {
                c.status = S_OK;
                c.subFactor = match->subFactor;
                c.hasIdentity = FillIdentity(match->identity, c.identity);
            } else {
                c.status = WINBIO_E_UNKNOWN_ID;
            }
            done.push_back(c);
        }
        return changed;
    });
    for (const auto& [removal, name] : notices)
        Broadcast(removal, name);
    for (const Completion& c : done)
        Complete(c);
}

DWORD WINAPI Worker(LPVOID) {
    // The thread runs our code until the process ends, so the DLL must never be unloaded.
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&Worker), &self);
    sim::State initial;
    if (sim::Load(initial))
        g_seenEvents = initial.deviceEvents; // only changes from now on are announced
    while (!g_stopping) {
        WaitForSingleObject(g_wake, kPollMilliseconds);
        Poll();
    }
    return 0;
}

// Runs the body on the session under both locks; E_HANDLE for an unknown handle.
template <typename Body> HRESULT WithSession(const char* function, WINBIO_SESSION_HANDLE handle, Body body) {
    HRESULT result = E_FAIL;
    const bool ok = sim::Transact([&](sim::State& state) {
        bool changed = false;
        result = Injected(state, function, changed);
        if (FAILED(result))
            return changed;
        std::lock_guard<std::mutex> guard(g_lock);
        const auto it = g_sessions.find(handle);
        if (it == g_sessions.end()) {
            result = E_HANDLE;
            return changed;
        }
        result = body(state, it->second, changed);
        return changed;
    });
    return ok ? result : E_FAIL;
}

} // namespace

extern "C" {

HRESULT WINAPI WinBioEnumBiometricUnits(WINBIO_BIOMETRIC_TYPE Factor, WINBIO_UNIT_SCHEMA** UnitSchemaArray,
                                        SIZE_T* UnitCount) {
    if (!UnitSchemaArray || !UnitCount)
        return E_POINTER;
    *UnitSchemaArray = nullptr;
    *UnitCount = 0;
    if (Factor != WINBIO_TYPE_FINGERPRINT)
        return WINBIO_E_UNSUPPORTED_FACTOR;
    HRESULT result = S_OK;
    std::vector<sim::Unit> units;
    if (!sim::Transact([&](sim::State& state) {
            bool changed = false;
            result = Injected(state, "EnumBiometricUnits", changed);
            if (SUCCEEDED(result) && !state.removed)
                units = state.units;
            return changed;
        }))
        return E_FAIL;
    if (FAILED(result) || units.empty())
        return result;
    auto* array = static_cast<WINBIO_UNIT_SCHEMA*>(Allocate(units.size() * sizeof(WINBIO_UNIT_SCHEMA)));
    if (!array)
        return E_OUTOFMEMORY;
    for (std::size_t i = 0; i < units.size(); ++i) {
        WINBIO_UNIT_SCHEMA& out = array[i];
        out.UnitId = units[i].id;
        out.PoolType = WINBIO_POOL_SYSTEM;
        out.BiometricFactor = WINBIO_TYPE_FINGERPRINT;
        out.SensorSubType = WINBIO_FP_SENSOR_SUBTYPE_TOUCH;
        out.Capabilities = WINBIO_CAPABILITY_SENSOR | WINBIO_CAPABILITY_MATCHING |
                           WINBIO_CAPABILITY_DATABASE | WINBIO_CAPABILITY_PROCESSING;
        CopyText(out.DeviceInstanceId, units[i].deviceInstanceId);
        CopyText(out.Description, units[i].description);
        CopyText(out.Manufacturer, units[i].manufacturer);
        CopyText(out.Model, units[i].model);
        CopyText(out.SerialNumber, units[i].serial);
        out.FirmwareVersion.MajorVersion = units[i].firmwareMajor;
        out.FirmwareVersion.MinorVersion = units[i].firmwareMinor;
    }
    *UnitSchemaArray = array;
    *UnitCount = units.size();
    return S_OK;
}

HRESULT WINAPI WinBioOpenSession(WINBIO_BIOMETRIC_TYPE Factor, WINBIO_POOL_TYPE PoolType,
                                 WINBIO_SESSION_FLAGS Flags, WINBIO_UNIT_ID* UnitArray, SIZE_T UnitCount,
                                 GUID* /*DatabaseId*/, WINBIO_SESSION_HANDLE* SessionHandle) {
    if (!SessionHandle)
        return E_POINTER;
    *SessionHandle = 0;
    if (Factor != WINBIO_TYPE_FINGERPRINT)
        return WINBIO_E_UNSUPPORTED_FACTOR;
    // Only the system pool is simulated; it takes no unit list.
    if (PoolType != WINBIO_POOL_SYSTEM || Flags != WINBIO_FLAG_DEFAULT ||
        (UnitArray == nullptr) != (UnitCount == 0))
        return E_INVALIDARG;
    HRESULT result = S_OK;
    if (!sim::Transact([&](sim::State& state) {
            bool changed = false;
            result = Injected(state, "OpenSession", changed);
            if (SUCCEEDED(result)) {
                std::lock_guard<std::mutex> guard(g_lock);
                // Handles differ between processes too, which makes mix-ups visible in traces.
                const WINBIO_SESSION_HANDLE handle =
                    ((GetCurrentProcessId() & 0x7FFF) << 16) | (++g_nextSession & 0xFFFF);
                g_sessions[handle] = Session{};
                *SessionHandle = handle;
            }
            return changed;
        }))
        return E_FAIL;
    return result;
}

HRESULT WINAPI WinBioCloseSession(WINBIO_SESSION_HANDLE SessionHandle) {
    const HRESULT result =
        WithSession("CloseSession", SessionHandle, [&](sim::State&, Session& session, bool&) {
            if (session.pending.kind != Request::None)
                g_orphans.push_back(session.pending);
            g_sessions.erase(SessionHandle);
            return S_OK;
        });
    Wake();
    return result;
}

HRESULT WINAPI WinBioCancel(WINBIO_SESSION_HANDLE SessionHandle) {
    const HRESULT result = WithSession("Cancel", SessionHandle, [](sim::State&, Session& session, bool&) {
        if (session.pending.kind != Request::None)
            session.pending.canceled = true;
        return S_OK;
    });
    Wake();
    return result;
}

HRESULT WINAPI WinBioEnrollBegin(WINBIO_SESSION_HANDLE SessionHandle, WINBIO_BIOMETRIC_SUBTYPE SubFactor,
                                 WINBIO_UNIT_ID UnitId) {
    return WithSession("EnrollBegin", SessionHandle, [&](sim::State& state, Session& session, bool&) {
        if (!sim::IsValidSubFactor(SubFactor))
            return WINBIO_E_INVALID_SUBFACTOR;
        if (state.removed)
            return static_cast<HRESULT>(winbio::kDeviceNotConnected);
        if (!HasUnit(state, UnitId))
            return WINBIO_E_INVALID_UNIT;
        if (session.enrolling)
            return WINBIO_E_ENROLLMENT_IN_PROGRESS;
        if (session.pending.kind != Request::None)
            return WINBIO_E_DEVICE_BUSY;
        session = Session{};
        session.enrolling = true;
        session.unit = UnitId;
        session.subFactor = SubFactor;
        return S_OK;
    });
}

HRESULT WINAPI WinBioEnrollCaptureWithCallback(WINBIO_SESSION_HANDLE SessionHandle,
                                               PWINBIO_ENROLL_CAPTURE_CALLBACK EnrollCallback,
                                               PVOID EnrollCallbackContext) {
    if (!EnrollCallback)
        return E_POINTER;
    return WithSession("EnrollCaptureWithCallback", SessionHandle,
                       [&](sim::State& state, Session& session, bool&) {
                           if (state.removed)
                               return static_cast<HRESULT>(winbio::kDeviceNotConnected);
                           if (!session.enrolling || session.captured)
                               return WINBIO_E_INVALID_DEVICE_STATE;
                           if (session.pending.kind != Request::None)
                               return WINBIO_E_DEVICE_BUSY;
                           session.pending.kind = Request::Capture;
                           session.pending.capture = EnrollCallback;
                           session.pending.context = EnrollCallbackContext;
                           session.pending.since = GetTickCount();
                           session.pending.order = ++g_nextOrder;
                           return S_OK;
                       });
}

HRESULT WINAPI WinBioEnrollCommit(WINBIO_SESSION_HANDLE SessionHandle, WINBIO_IDENTITY* Identity,
                                  BOOLEAN* IsNewTemplate) {
    const std::string owner = sim::CurrentUserSid();
    return WithSession("EnrollCommit", SessionHandle,
                       [&](sim::State& state, Session& session, bool& changed) {
                           if (!session.enrolling || !session.captured)
                               return WINBIO_E_INVALID_DEVICE_STATE;
                           if (owner.empty())
                               return E_ACCESSDENIED;
                           // Whatever the outcome, the enrolment is over.
                           const std::string finger = session.finger;
                           const WINBIO_BIOMETRIC_SUBTYPE subFactor = session.subFactor;
                           session.enrolling = false;
                           session.captured = false;
                           session.goodSamples = 0;
                           session.finger.clear();
                           const HRESULT result = sim::Commit(state, owner, subFactor, finger);
                           if (FAILED(result))
                               return result;
                           changed = true;
                           if (Identity)
                               FillIdentity(owner, *Identity);
                           if (IsNewTemplate)
                               *IsNewTemplate = TRUE;
                           return S_OK;
                       });
}

HRESULT WINAPI WinBioIdentifyWithCallback(WINBIO_SESSION_HANDLE SessionHandle,
                                          PWINBIO_IDENTIFY_CALLBACK IdentifyCallback,
                                          PVOID IdentifyCallbackContext) {
    if (!IdentifyCallback)
        return E_POINTER;
    return WithSession("IdentifyWithCallback", SessionHandle,
                       [&](sim::State& state, Session& session, bool&) {
                           if (state.removed)
                               return static_cast<HRESULT>(winbio::kDeviceNotConnected);
                           if (session.pending.kind != Request::None)
                               return WINBIO_E_DEVICE_BUSY;
                           session.pending.kind = Request::Identify;
                           session.pending.identify = IdentifyCallback;
                           session.pending.context = IdentifyCallbackContext;
                           session.pending.since = GetTickCount();
                           session.pending.order = ++g_nextOrder;
                           return S_OK;
                       });
}

HRESULT WINAPI WinBioEnumEnrollments(WINBIO_SESSION_HANDLE SessionHandle, WINBIO_UNIT_ID UnitId,
                                     WINBIO_IDENTITY* Identity, WINBIO_BIOMETRIC_SUBTYPE** SubFactorArray,
                                     SIZE_T* SubFactorCount) {
    if (!Identity || !SubFactorArray || !SubFactorCount)
        return E_POINTER;
    *SubFactorArray = nullptr;
    *SubFactorCount = 0;
    const std::string identity = IdentityText(Identity);
    std::vector<std::uint8_t> found;
    const HRESULT result =
        WithSession("EnumEnrollments", SessionHandle, [&](sim::State& state, Session&, bool&) {
            if (!HasUnit(state, UnitId))
                return WINBIO_E_INVALID_UNIT;
            if (identity.empty())
                return E_INVALIDARG;
            found = sim::Enrollments(state, identity);
            return found.empty() ? WINBIO_E_UNKNOWN_ID : S_OK;
        });
    if (FAILED(result))
        return result;
    auto* array = static_cast<WINBIO_BIOMETRIC_SUBTYPE*>(Allocate(found.size()));
    if (!array)
        return E_OUTOFMEMORY;
    std::copy(found.begin(), found.end(), array);
    *SubFactorArray = array;
    *SubFactorCount = found.size();
    return S_OK;
}

HRESULT WINAPI WinBioDeleteTemplate(WINBIO_SESSION_HANDLE SessionHandle, WINBIO_UNIT_ID UnitId,
                                    WINBIO_IDENTITY* Identity, WINBIO_BIOMETRIC_SUBTYPE SubFactor) {
    if (!Identity)
        return E_POINTER;
    const std::string identity = IdentityText(Identity);
    return WithSession("DeleteTemplate", SessionHandle, [&](sim::State& state, Session&, bool& changed) {
        if (!HasUnit(state, UnitId))
            return WINBIO_E_INVALID_UNIT;
        if (identity.empty())
            return E_INVALIDARG;
        if (!sim::IsValidSubFactor(SubFactor))
            return WINBIO_E_INVALID_SUBFACTOR;
        const HRESULT result = sim::Delete(state, identity, SubFactor);
        changed = SUCCEEDED(result);
        return result;
    });
}

HRESULT WINAPI WinBioFree(PVOID Address) {
    if (!Address)
        return E_POINTER;
    {
        std::lock_guard<std::mutex> guard(g_lock);
        if (g_blocks.erase(Address) == 0)
            return E_INVALIDARG; // not ours: refusing beats corrupting the heap
    }
    HeapFree(GetProcessHeap(), 0, Address);
    return S_OK;
}

// How many blocks this process has been handed and not yet released (for leak checks).
SIZE_T WINAPI NvSimOutstandingBlocks() {
    std::lock_guard<std::mutex> guard(g_lock);
    return g_blocks.size();
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        // Starts running once the loader is done with us; it pins the DLL first thing.
        if (HANDLE thread = CreateThread(nullptr, 0, Worker, nullptr, 0, nullptr))
            CloseHandle(thread);
    } else if (reason == DLL_PROCESS_DETACH) {
        g_stopping = true;
    }
    return TRUE;
}

} // extern "C"
