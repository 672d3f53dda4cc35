// bystander.exe: another program's window on the desktop, as a user has a browser open behind
// the tool. It lies behind every other window without taking the activation, and from the
// moment it says it is ready it sets NAME-activated whenever it is activated after all.
//   bystander NAME     (events NAME-ready, NAME-activated and NAME-quit, made by the caller)
#include "tests/support/Wait.h"

#include <string>

namespace {

HANDLE g_activated = nullptr;
bool g_armed = false;

LRESULT CALLBACK BystanderProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const bool activated = (message == WM_ACTIVATE && LOWORD(wParam) != WA_INACTIVE) ||
                           (message == WM_ACTIVATEAPP && wParam != FALSE);
    if (activated && g_armed)
        SetEvent(g_activated);
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2)
        return 2;
    const std::wstring name = argv[1];
    HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, (name + L"-ready").c_str());
    HANDLE quit = OpenEventW(SYNCHRONIZE, FALSE, (name + L"-quit").c_str());
    g_activated = OpenEventW(EVENT_MODIFY_STATE, FALSE, (name + L"-activated").c_str());
    if (!ready || !quit || !g_activated)
        return 3;
    WNDCLASSW wc = {};
    wc.lpfnWndProc = BystanderProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = L"NvBystander";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"Bystander", WS_OVERLAPPEDWINDOW, 40, 40, 640, 480,
                                  nullptr, nullptr, wc.hInstance, nullptr);
    if (!window)
        return 4;
    ShowWindow(window, SW_SHOWNOACTIVATE);
    SetWindowPos(window, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    // What happened while it appeared is not the program's doing.
    testwin::DispatchUntil([] { return false; }, 300);
    g_armed = true;
    SetEvent(ready);
    while (MsgWaitForMultipleObjects(1, &quit, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    DestroyWindow(window);
    return 0;
}
