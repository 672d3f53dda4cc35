// The simulated winbio.dll: the eleven framework functions on the shared state of SimStore.
// Asynchronous requests are published in the state while they wait; a touch reaches only such a
// request of the process whose window has the focus. A thread of this DLL polls the state, takes
// the samples sent to this process's requests and calls the callbacks; the same thread relays
// sensor removal and arrival as WM_DEVICECHANGE to the windows that registered for the USB
// device interface class, which it learns by standing in for user32's two registration functions.
#include "base/Win32Handle.h"
#include "biometric/WinBio.h"
#include "sim/SimStore.h"

#include <dbt.h>
#include <psapi.h>
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
// With the completion first, the program gets this long to act on the failed request before the
// device notice arrives, as it would when the two paths of the service race that way.
constexpr DWORD kCompletionHeadStartMilliseconds = 700;

struct Request {
    enum Kind { None, Capture, Identify } kind = None;
    PWINBIO_ENROLL_CAPTURE_CALLBACK capture = nullptr;
    PWINBIO_IDENTIFY_CALLBACK identify = nullptr;
    PVOID context = nullptr;
    DWORD since = 0;
    ULONGLONG order = 0;
    bool canceled = false;
    DWORD canceledAt = 0; // when WinBioCancel or the session's close came
};

// Whether a cancelled request may complete now: the state can hold its completion back. The
// clock is read here, under the state's lock, as the cancel that set canceledAt was: read
// before it, the difference would wrap round and let the completion through at once.
bool CancelDue(const Request& request, const sim::State& state) {
    return GetTickCount() - request.canceledAt >= state.cancelDelayMs;
}

const char* KindName(Request::Kind kind) {
    return kind == Request::Capture ? "capture" : "identify";
}

bool HasFocus() {
    return sim::ForegroundProcess() == GetCurrentProcessId();
}

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
    const nvwin::LocalMemory owned(sid);
    const DWORD length = GetLengthSid(sid);
    const bool fits = length <= WINBIO_SID_DATA_SIZE;
    if (fits) {
        identity.Type = WINBIO_ID_TYPE_SID;
        identity.Value.AccountSid.Size = length;
        CopySid(static_cast<DWORD>(WINBIO_SID_DATA_SIZE), identity.Value.AccountSid.Data, sid);
    }
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

// What RegisterDeviceNotificationW was asked for by a window of this process.
struct Registration {
    HDEVNOTIFY handle = nullptr;
    HWND window = nullptr;
    GUID interfaceClass = {};
    bool allClasses = false;
};
std::vector<Registration> g_registrations; // under g_lock

decltype(&RegisterDeviceNotificationW) g_realRegister = nullptr;
decltype(&UnregisterDeviceNotification) g_realUnregister = nullptr;

HDEVNOTIFY WINAPI RegisterDeviceNotificationHook(HANDLE recipient, LPVOID filter, DWORD flags) {
    const HDEVNOTIFY handle = g_realRegister(recipient, filter, flags);
    const auto* header = static_cast<const DEV_BROADCAST_HDR*>(filter);
    if (handle != nullptr && (flags & DEVICE_NOTIFY_SERVICE_HANDLE) == 0 && header != nullptr &&
        header->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE &&
        header->dbch_size >= sizeof(DEV_BROADCAST_DEVICEINTERFACE_W)) {
        const auto* device = static_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(filter);
        std::lock_guard<std::mutex> guard(g_lock);
        g_registrations.push_back({handle, static_cast<HWND>(recipient), device->dbcc_classguid,
                                   (flags & DEVICE_NOTIFY_ALL_INTERFACE_CLASSES) != 0});
    }
    return handle;
}

BOOL WINAPI UnregisterDeviceNotificationHook(HDEVNOTIFY handle) {
    {
        std::lock_guard<std::mutex> guard(g_lock);
        std::erase_if(g_registrations, [handle](const Registration& r) { return r.handle == handle; });
    }
    return g_realUnregister(handle);
}

// Points the import of one user32 function in every module of the process (but this one) at
// our stand-in, the way a program's own calls reach it.
void RedirectImport(HMODULE self, void* real, void* hook) {
    HMODULE modules[512];
    DWORD bytes = 0;
    if (!K32EnumProcessModules(GetCurrentProcess(), modules, sizeof modules, &bytes))
        return;
    const DWORD count = std::min<DWORD>(bytes / sizeof(HMODULE), 512);
    for (DWORD m = 0; m < count; ++m) {
        if (modules[m] == self)
            continue;
        auto* base = reinterpret_cast<BYTE*>(modules[m]);
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
        if (dos->e_magic != IMAGE_DOS_SIGNATURE)
            continue;
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
        const IMAGE_DATA_DIRECTORY& directory =
            nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        if (directory.VirtualAddress == 0)
            continue;
        for (auto* import = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
             import->Name != 0; ++import) {
            if (_stricmp(reinterpret_cast<const char*>(base + import->Name), "user32.dll") != 0)
                continue;
            for (auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->FirstThunk);
                 slot->u1.Function != 0; ++slot) {
                if (reinterpret_cast<void*>(slot->u1.Function) != real)
                    continue;
                DWORD protection = 0;
                if (VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, PAGE_READWRITE,
                                   &protection)) {
                    slot->u1.Function = reinterpret_cast<ULONG_PTR>(hook);
                    VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, protection, &protection);
                }
            }
        }
    }
}

void InstallRegistrationHooks(HMODULE self) {
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    if (!user32)
        return;
    g_realRegister = reinterpret_cast<decltype(g_realRegister)>(
        reinterpret_cast<void*>(GetProcAddress(user32, "RegisterDeviceNotificationW")));
    g_realUnregister = reinterpret_cast<decltype(g_realUnregister)>(
        reinterpret_cast<void*>(GetProcAddress(user32, "UnregisterDeviceNotification")));
    if (!g_realRegister || !g_realUnregister)
        return;
    RedirectImport(self, reinterpret_cast<void*>(g_realRegister),
                   reinterpret_cast<void*>(&RegisterDeviceNotificationHook));
    RedirectImport(self, reinterpret_cast<void*>(g_realUnregister),
                   reinterpret_cast<void*>(&UnregisterDeviceNotificationHook));
}

// The windows that asked for notices of the USB device interface class (or of every class).
std::vector<HWND> RegisteredWindows() {
    std::vector<HWND> windows;
    std::lock_guard<std::mutex> guard(g_lock);
    for (const Registration& r : g_registrations)
        if ((r.allClasses || IsEqualGUID(r.interfaceClass, kUsbDeviceInterface)) &&
            std::find(windows.begin(), windows.end(), r.window) == windows.end())
            windows.push_back(r.window);
    return windows;
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

    for (HWND window : RegisteredWindows()) {
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
    bool completionFirst = false;
    const DWORD now = GetTickCount();
    const DWORD self = GetCurrentProcessId();
    const bool focused = HasFocus();
    sim::Transact([&](sim::State& state) {
        bool changed = false;
        if (state.deviceEvents != g_seenEvents) {
            g_seenEvents = state.deviceEvents;
            const std::string device = state.units.empty() ? std::string(sim::kDefaultDeviceInstanceId)
                                                           : state.units.front().deviceInstanceId;
            notices.emplace_back(state.removed, sim::DeviceInterfaceName(device));
            completionFirst = state.removed && state.completionFirst;
        }
        std::lock_guard<std::mutex> guard(g_lock);
        std::erase_if(g_orphans, [&](const Request& orphan) {
            if (!CancelDue(orphan, state))
                return false;
            done.push_back({orphan, WINBIO_E_CANCELED});
            return true;
        });

        const auto finish = [&](Session& session, Completion c) {
            sim::Withdraw(state, self, session.pending.order);
            session.pending = {};
            done.push_back(c);
            changed = true;
        };
        std::vector<std::pair<ULONGLONG, Session*>> waiting;
        for (auto& [handle, session] : g_sessions) {
            if (session.pending.kind == Request::None)
                continue;
            if (session.pending.canceled && !state.removed && !CancelDue(session.pending, state))
                continue;
            if (session.pending.canceled || state.removed) {
                finish(session, {session.pending,
                                 session.pending.canceled ? WINBIO_E_CANCELED : winbio::kDeviceNotConnected});
                continue;
            }
            waiting.emplace_back(session.pending.order, &session);
        }
        std::sort(waiting.begin(), waiting.end());
        for (auto& [order, session] : waiting) {
            sim::Sample sample;
            if (const auto sent = sim::TakeSample(state, self, order)) {
                sample = *sent;
            } else if (state.autoMode && focused && now - session->pending.since >= kAutoDelayMilliseconds) {
                // The simulator's own touch, on the same terms as the user's: only with focus.
                sample.good = true;
                if (session->pending.kind == Request::Capture && !session->finger.empty())
                    sample.finger = session->finger;
                else
                    sample.finger = "auto-finger-" + std::to_string(++state.autoFingers);
            } else {
                continue;
            }
            Completion c{session->pending};
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
            finish(*session, c);
        }
        // A sample whose request has gone (cancelled, closed) goes with it.
        const auto before = state.samples.size();
        std::erase_if(state.samples, [&](const sim::Sample& sample) {
            if (sample.process != self)
                return false;
            return std::none_of(state.pending.begin(), state.pending.end(), [&](const sim::Pending& p) {
                return p.process == self && p.request == sample.request;
            });
        });
        changed = changed || state.samples.size() != before;
        return changed;
    });
    if (completionFirst) {
        for (const Completion& c : done)
            Complete(c);
        Sleep(kCompletionHeadStartMilliseconds);
        for (const auto& [removal, name] : notices)
            Broadcast(removal, name);
        return;
    }
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

// The service notes in its parameters that an enrolment has been committed on this machine.
void MarkEnrollmentCommitted() {
    nvwin::RegKeyHandle key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Services\\WbioSrvc\\Parameters", 0,
                        nullptr, 0, KEY_SET_VALUE, nullptr, key.Put(), nullptr) != ERROR_SUCCESS)
        return;
    const DWORD one = 1;
    RegSetValueExW(key.Get(), L"EnrollmentCommitted", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one),
                   sizeof one);
}

// A request that waits for a touch is announced in the state, where winbio-sim finds it.
void Publish(sim::State& state, const Request& request, bool& changed) {
    state.pending.push_back({GetCurrentProcessId(), request.order, KindName(request.kind)});
    changed = true;
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

HRESULT WINAPI WinBioOpenSession(
    WINBIO_BIOMETRIC_TYPE Factor, WINBIO_POOL_TYPE PoolType, WINBIO_SESSION_FLAGS Flags,
    WINBIO_UNIT_ID* UnitArray, // NOLINT(readability-non-const-parameter): the platform's signature
    SIZE_T UnitCount, GUID* /*DatabaseId*/, WINBIO_SESSION_HANDLE* SessionHandle) {
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
        WithSession("CloseSession", SessionHandle, [&](sim::State& state, Session& session, bool& changed) {
            if (session.pending.kind != Request::None) {
                Request orphan = session.pending;
                if (!orphan.canceled)
                    orphan.canceledAt = GetTickCount();
                g_orphans.push_back(orphan);
                sim::Withdraw(state, GetCurrentProcessId(), session.pending.order);
                changed = true;
            }
            if (session.enrolling) {
                sim::EndEnrollment(state, GetCurrentProcessId(), SessionHandle);
                changed = true;
            }
            g_sessions.erase(SessionHandle);
            return S_OK;
        });
    Wake();
    return result;
}

HRESULT WINAPI WinBioCancel(WINBIO_SESSION_HANDLE SessionHandle) {
    const HRESULT result =
        WithSession("Cancel", SessionHandle, [](sim::State& state, Session& session, bool& changed) {
            if (session.pending.kind != Request::None && !session.pending.canceled) {
                session.pending.canceled = true;
                session.pending.canceledAt = GetTickCount();
                // No touch reaches it any more, even while its completion is held back.
                sim::Withdraw(state, GetCurrentProcessId(), session.pending.order);
                changed = true;
            }
            return S_OK;
        });
    Wake();
    return result;
}

// Without window focus an enrolment of the system pool does not begin until the process has
// the focus and the user has touched the sensor: the call blocks (the touch is used up). The
// wait ends early, with the error the call would give, when the session goes or the sensor does.
HRESULT WaitForFocusAndTouch(WINBIO_SESSION_HANDLE handle) {
    const DWORD self = GetCurrentProcessId();
    ULONGLONG request = 0;
    {
        std::lock_guard<std::mutex> guard(g_lock);
        request = ++g_nextOrder;
    }
    bool published = false;
    for (;;) {
        HRESULT outcome = S_FALSE;
        const bool focused = HasFocus();
        sim::Transact([&](sim::State& state) {
            bool changed = false;
            {
                std::lock_guard<std::mutex> guard(g_lock);
                if (g_sessions.find(handle) == g_sessions.end())
                    outcome = E_HANDLE;
            }
            if (state.removed)
                outcome = winbio::kDeviceNotConnected;
            if (outcome == S_FALSE && !published) {
                state.pending.push_back({self, request, "begin"});
                published = changed = true;
            }
            if (outcome == S_FALSE && focused && sim::TakeSample(state, self, request))
                outcome = S_OK;
            if (outcome != S_FALSE && published) {
                sim::Withdraw(state, self, request);
                changed = true;
            }
            return changed;
        });
        if (outcome != S_FALSE)
            return outcome;
        Sleep(kPollMilliseconds / 2);
    }
}

HRESULT WINAPI WinBioEnrollBegin(WINBIO_SESSION_HANDLE SessionHandle, WINBIO_BIOMETRIC_SUBTYPE SubFactor,
                                 WINBIO_UNIT_ID UnitId) {
    if (UnitId == 0 || SubFactor == WINBIO_SUBTYPE_NO_INFORMATION || SubFactor == WINBIO_SUBTYPE_ANY)
        return E_INVALIDARG;
    if (!HasFocus()) {
        const HRESULT waited = WaitForFocusAndTouch(SessionHandle);
        if (FAILED(waited))
            return waited;
    }
    return WithSession("EnrollBegin", SessionHandle, [&](sim::State& state, Session& session, bool& changed) {
        if (!sim::IsValidSubFactor(SubFactor))
            return WINBIO_E_INVALID_SUBFACTOR;
        if (state.removed)
            return static_cast<HRESULT>(winbio::kDeviceNotConnected);
        if (!HasUnit(state, UnitId))
            return WINBIO_E_INVALID_UNIT;
        if (session.enrolling)
            return WINBIO_E_ENROLLMENT_IN_PROGRESS;
        // One enrolment at a time on the machine: another program's counts as much as our own.
        changed = sim::ForgetEndedProcesses(state);
        if (sim::EnrollmentOpenElsewhere(state, GetCurrentProcessId(), SessionHandle))
            return WINBIO_E_ENROLLMENT_IN_PROGRESS;
        if (session.pending.kind != Request::None)
            return WINBIO_E_DEVICE_BUSY;
        session = Session{};
        state.enrolling.push_back({GetCurrentProcessId(), SessionHandle});
        changed = true;
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
                       [&](sim::State& state, Session& session, bool& changed) {
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
                           Publish(state, session.pending, changed);
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
                           sim::EndEnrollment(state, GetCurrentProcessId(), SessionHandle);
                           changed = true;
                           const std::string finger = session.finger;
                           const WINBIO_BIOMETRIC_SUBTYPE subFactor = session.subFactor;
                           session.enrolling = false;
                           session.captured = false;
                           session.goodSamples = 0;
                           session.finger.clear();
                           bool isNew = false;
                           const HRESULT result = sim::Commit(state, owner, subFactor, finger, &isNew);
                           if (FAILED(result))
                               return result;
                           // The identity the template is filed under: the existing one's when
                           // this was the same template again, which is the same account here.
                           if (Identity)
                               FillIdentity(owner, *Identity);
                           if (IsNewTemplate)
                               *IsNewTemplate = isNew ? TRUE : FALSE;
                           MarkEnrollmentCommitted();
                           return S_OK;
                       });
}

HRESULT WINAPI WinBioIdentifyWithCallback(WINBIO_SESSION_HANDLE SessionHandle,
                                          PWINBIO_IDENTIFY_CALLBACK IdentifyCallback,
                                          PVOID IdentifyCallbackContext) {
    if (!IdentifyCallback)
        return E_POINTER;
    return WithSession("IdentifyWithCallback", SessionHandle,
                       [&](sim::State& state, Session& session, bool& changed) {
                           if (state.removed)
                               return static_cast<HRESULT>(winbio::kDeviceNotConnected);
                           if (session.pending.kind != Request::None)
                               return WINBIO_E_DEVICE_BUSY;
                           session.pending.kind = Request::Identify;
                           session.pending.identify = IdentifyCallback;
                           session.pending.context = IdentifyCallbackContext;
                           session.pending.since = GetTickCount();
                           session.pending.order = ++g_nextOrder;
                           Publish(state, session.pending, changed);
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

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        InstallRegistrationHooks(instance);
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
