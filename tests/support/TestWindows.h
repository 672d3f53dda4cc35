// Windows as the Windows tests meet them: texts and places of controls, finding a window by a
// control of its template, a window of the test's own with a procedure of its own, and another
// program's window in front.
#pragma once

#include "tests/support/Wait.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace testwin {

inline std::wstring WindowText(HWND window) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

// The text of a control of the window; empty when there is no such control.
inline std::wstring ControlText(HWND window, int id) {
    HWND control = GetDlgItem(window, id);
    return control ? WindowText(control) : std::wstring();
}

// A window's rectangle in the client coordinates of `parent` (the control's own parent when null).
inline RECT RectInParent(HWND window, HWND parent = nullptr) {
    RECT rc = {};
    GetWindowRect(window, &rc);
    MapWindowPoints(HWND_DESKTOP, parent ? parent : GetParent(window), reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

// A control's rectangle in its window's client coordinates; empty when there is no such control.
inline RECT ControlRect(HWND window, int id) {
    HWND control = GetDlgItem(window, id);
    return control ? RectInParent(control, window) : RECT{};
}

inline SIZE ClientSize(HWND window) {
    RECT rc = {};
    GetClientRect(window, &rc);
    return {rc.right, rc.bottom};
}

// The visible top-level windows of a process (or of a thread of this one), in z-order.
inline std::vector<HWND> VisibleWindows(DWORD pid, DWORD thread = 0) {
    struct Search {
        DWORD pid, thread;
        std::vector<HWND> found;
    } search = {pid, thread, {}};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            const DWORD ownerThread = GetWindowThreadProcessId(window, &owner);
            if (owner == s->pid && (s->thread == 0 || ownerThread == s->thread) && IsWindowVisible(window))
                s->found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The first of those windows that has a control with this id (the template's signature), or
// whose text is `title`; null when none has.
inline HWND FindWindowOf(const std::vector<HWND>& windows, int controlId, const wchar_t* title = nullptr) {
    for (HWND window : windows)
        if ((controlId != 0 && GetDlgItem(window, controlId) != nullptr) ||
            (title && WindowText(window) == title))
            return window;
    return nullptr;
}

// Asks `find` until it finds a window or `timeoutMs` have passed; the window, or null.
inline HWND WaitForWindow(const std::function<HWND()>& find, DWORD timeoutMs) {
    HWND found = nullptr;
    WaitUntil([&] { return (found = find()) != nullptr; }, timeoutMs);
    return found;
}

// A visible top-level window of this thread with that control.
inline HWND ThreadWindowWith(int controlId, DWORD thread = GetCurrentThreadId()) {
    return FindWindowOf(VisibleWindows(GetCurrentProcessId(), thread), controlId);
}

// A top-level window of the test with a procedure of its own (its class registered on first use).
inline HWND CreateTestWindow(const wchar_t* className, WNDPROC procedure, const wchar_t* title = L"",
                             DWORD style = WS_OVERLAPPEDWINDOW, int width = 100, int height = 100) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = procedure;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = className;
    RegisterClassW(&wc);
    return CreateWindowExW(0, className, title, style, 0, 0, width, height, nullptr, nullptr, wc.hInstance,
                           nullptr);
}

// Brings the window to the foreground and waits until it is there (handling this thread's
// messages with `pump`, if given, meanwhile); whether it is.
inline bool TakeForeground(HWND window, const std::function<void()>& pump = {}) {
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    return WaitUntil([window] { return GetForegroundWindow() == window; }, 2000,
                     [&pump] {
                         if (pump)
                             pump();
                         Sleep(10);
                     });
}

// A plain window of the test in front of everything else, as another program's window the user
// has just clicked; gone with the object.
class FrontWindow {
public:
    explicit FrontWindow(const wchar_t* title)
        : m_window(CreateWindowExW(0, L"STATIC", title, WS_POPUP | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                                   nullptr, GetModuleHandleW(nullptr), nullptr)) {
        if (m_window != nullptr)
            TakeForeground(m_window);
    }
    ~FrontWindow() { DestroyWindow(m_window); }
    FrontWindow(const FrontWindow&) = delete;
    FrontWindow& operator=(const FrontWindow&) = delete;

    HWND Get() const { return m_window; }
    // Whether it was created and has the foreground.
    bool InFront() const { return m_window != nullptr && GetForegroundWindow() == m_window; }

private:
    HWND m_window;
};

} // namespace testwin
