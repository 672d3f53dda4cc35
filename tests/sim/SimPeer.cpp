// A second program of the prefix for the simulator's tests: reports, on standard output, what
// the program's own biometric wrapper sees from where it was started.
//   sim_peer module   -> "<hr of EnumSensors> <unit count> <path of the winbio.dll in use>"
//   sim_peer count    -> "<hr of EnumFingerPrint> <number of enrolled fingers>"
//   sim_peer all      -> the load result, then the HRESULT of every operation, one a line
//   sim_peer watch EVENT -> opens a top-level window, sets the named event, and prints
//                        "<wParam> <interface name>" of the first WM_DEVICECHANGE it receives
#include "biometric/WbfInfo.h"
#include "biometric/WinBioTable.h"

#include <dbt.h>

#include <cstdio>
#include <string>

namespace {

std::wstring g_notice;

LRESULT CALLBACK WatchProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DEVICECHANGE && lParam && g_notice.empty()) {
        const auto* header = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(lParam);
        g_notice = std::to_wstring(wParam) + L" " + header->dbcc_name;
        return TRUE;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

int Watch(const wchar_t* eventName) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = WatchProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"NvSimPeerWatch";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"peer", WS_OVERLAPPEDWINDOW, 0, 0, 50, 50, nullptr,
                                  nullptr, wc.hInstance, nullptr);
    HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, eventName);
    if (!window || !ready)
        return 3;
    Sleep(200); // the simulator's thread takes its first look at the state
    SetEvent(ready);
    CloseHandle(ready);
    const DWORD deadline = GetTickCount() + 10000;
    while (g_notice.empty() && GetTickCount() < deadline) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    std::printf("%ls\n", g_notice.c_str());
    DestroyWindow(window);
    return g_notice.empty() ? 4 : 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2)
        return 2;
    const std::wstring command = argv[1];
    CWbfInfo wbf;
    if (command == L"watch" && argc == 3)
        return Watch(argv[2]);
    if (command == L"module") {
        SIZE_T count = 0;
        WINBIO_UNIT_ID unit = 0;
        const HRESULT hr = wbf.EnumSensors(&count, &unit);
        wchar_t path[MAX_PATH] = L"";
        WinBioModulePath(path, MAX_PATH);
        std::printf("0x%08lX %llu %ls\n", static_cast<unsigned long>(hr),
                    static_cast<unsigned long long>(count), path);
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
