// A second program of the prefix for the simulator's tests: reports, on standard output, what
// the program's own biometric wrapper sees from where it was started.
//   sim_peer module [without-search-flags]
//                     -> "<hr of EnumSensors> <unit count> <path of the winbio.dll in use>", then the
//                        trace lines of the load; without-search-flags loads as a Windows 7 without
//                        the loader update would (no AddDllDirectory, LOAD_LIBRARY_SEARCH_* refused)
//   sim_peer count    -> "<hr of EnumFingerPrint> <number of enrolled fingers>"
//   sim_peer all      -> the load result, then the HRESULT of every operation, one a line
//   sim_peer watch EVENT -> opens a top-level window registered for USB device-interface notices,
//                        sets the named event, and prints "<wParam> <interface name>" of the
//                        first WM_DEVICECHANGE it receives
//   sim_peer focus EVENT -> opens a top-level window, takes the focus with it, sets EVENT-ready
//                        and keeps it until EVENT-go (at most 20 s)
//   sim_peer enrol EVENT -> begins an enrolment (with the focus, so that the begin does not wait
//                        for a touch), gives the focus up, sets EVENT-ready and keeps the
//                        enrolment open until EVENT-go (at most 20 s); prints the begin's HRESULT
#include "base/Trace.h"
#include "biometric/WbfInfo.h"
#include "biometric/WinBioTable.h"
#include "tests/support/TestWindows.h"
#include "tests/support/UsbNotice.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::wstring g_notice;

//--- A loader without the update KB2533623

FARPROC WINAPI GetProcAddressWithoutAddDllDirectory(HMODULE module, LPCSTR name) {
    if (std::strcmp(name, "AddDllDirectory") == 0) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return GetProcAddress(module, name);
}

HMODULE WINAPI LoadLibraryExWithoutSearchFlags(LPCWSTR name, HANDLE file, DWORD flags) {
    constexpr DWORD kSearchFlags = LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_APPLICATION_DIR |
                                   LOAD_LIBRARY_SEARCH_USER_DIRS | LOAD_LIBRARY_SEARCH_SYSTEM32 |
                                   LOAD_LIBRARY_SEARCH_DEFAULT_DIRS;
    if (flags & kSearchFlags) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return LoadLibraryExW(name, file, flags);
}

const LibraryLoader kLoaderWithoutSearchFlags = {GetProcAddressWithoutAddDllDirectory,
                                                 LoadLibraryExWithoutSearchFlags};

std::vector<std::u16string> g_traces;
void KeepTrace(const char16_t* line) {
    g_traces.emplace_back(line);
}

LRESULT CALLBACK WatchProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DEVICECHANGE && lParam && g_notice.empty()) {
        const auto* header = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(lParam);
        g_notice = std::to_wstring(wParam) + L" " + header->dbcc_name;
        return TRUE;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND OpenWindow() {
    return testwin::CreateTestWindow(L"NvSimPeerWatch", WatchProc, L"peer", WS_OVERLAPPEDWINDOW, 50, 50);
}

// With `enrolment`, an enrolment is begun with the focus and held open without it.
int Focus(const std::wstring& eventName, CWbfInfo* enrolment = nullptr) {
    HWND window = OpenWindow();
    HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, (eventName + L"-ready").c_str());
    HANDLE go = OpenEventW(SYNCHRONIZE, FALSE, (eventName + L"-go").c_str());
    if (!window || !ready || !go)
        return 3;
    if (!testwin::TakeForeground(window, testwin::DispatchPending))
        return 4;
    if (enrolment != nullptr) {
        HRESULT hr = enrolment->OpenSession();
        if (hr == S_OK)
            hr = WinBio().EnrollBegin(enrolment->m_SessionHandle, 0xF5, enrolment->m_UnitId);
        std::printf("0x%08lX\n", static_cast<unsigned long>(hr));
        std::fflush(stdout);
        if (FAILED(hr))
            return 5;
        DestroyWindow(window);
        window = nullptr;
    }
    SetEvent(ready);
    testwin::DispatchUntil([go] { return WaitForSingleObject(go, 0) == WAIT_OBJECT_0; }, 20000);
    if (window != nullptr)
        DestroyWindow(window);
    return 0;
}

int Watch(const wchar_t* eventName) {
    // The simulator has to be in the process to learn the registration.
    WinBioLoadResult();
    HWND window = OpenWindow();
    HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, eventName);
    if (!window || !ready)
        return 3;
    if (!testwin::RegisterForUsbNotices(window))
        return 5;
    Sleep(200); // the simulator's thread takes its first look at the state
    SetEvent(ready);
    CloseHandle(ready);
    testwin::DispatchUntil([] { return !g_notice.empty(); }, 10000);
    std::printf("%ls\n", g_notice.c_str());
    DestroyWindow(window);
    return g_notice.empty() ? 4 : 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2)
        return 2;
    const std::wstring command = argv[1];
    // Both before the wrapper below loads the table, which happens once per process.
    if (command == L"module") {
        nvtrace::SetSink(KeepTrace);
        if (argc == 3 && std::wstring(argv[2]) != L"without-search-flags")
            return 2;
        if (argc == 3)
            SetWinBioLoader(&kLoaderWithoutSearchFlags);
    }
    CWbfInfo wbf;
    if (command == L"watch" && argc == 3)
        return Watch(argv[2]);
    if (command == L"focus" && argc == 3)
        return Focus(argv[2]);
    if (command == L"enrol" && argc == 3)
        return Focus(argv[2], &wbf);
    if (command == L"module") {
        SIZE_T count = 0;
        WINBIO_UNIT_ID unit = 0;
        const HRESULT hr = wbf.EnumSensors(&count, &unit);
        wchar_t path[MAX_PATH] = L"";
        WinBioModulePath(path, MAX_PATH);
        std::printf("0x%08lX %llu %ls\n", static_cast<unsigned long>(hr),
                    static_cast<unsigned long long>(count), path);
        for (const std::u16string& line : g_traces)
            std::printf("%ls\n", reinterpret_cast<const wchar_t*>(line.c_str()));
        return 0;
    }
    if (command == L"count") {
        FingerFlags flags = {};
        const HRESULT hr = wbf.EnumFingerPrint(flags);
        int enrolled = 0;
        for (int flag : flags)
            enrolled += flag;
        std::printf("0x%08lX %d\n", static_cast<unsigned long>(hr), enrolled);
        return 0;
    }
    if (command == L"all") {
        FingerFlags flags = {};
        SIZE_T count = 0;
        WINBIO_UNIT_ID unit = 0;
        const HRESULT results[] = {WinBioLoadResult(),         wbf.EnumSensors(&count, &unit),
                                   wbf.OpenSession(),          wbf.EnrollFingerPrint_WithCallback(0xF5),
                                   wbf.EnrollCommit(),         wbf.IdentifyFingerPrint_WithCallback(),
                                   wbf.CancelOperation(),      wbf.CloseSession(),
                                   wbf.EnumFingerPrint(flags), wbf.DeleteAll()};
        for (HRESULT hr : results)
            std::printf("0x%08lX\n", static_cast<unsigned long>(hr));
        return 0;
    }
    return 2;
}
