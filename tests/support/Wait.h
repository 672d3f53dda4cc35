// Waiting in Windows tests until something holds: polling with a pause, or with the thread's
// messages handled in between for a thread whose windows must keep answering.
#pragma once

#include <windows.h>

#include <functional>

namespace testwin {

// Asks `done` until it holds or `timeoutMs` have passed, running `between` (20 ms of sleep when
// empty) after each no; the last answer.
inline bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs,
                      const std::function<void()>& between = {}) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs)
            return done();
        if (between)
            between();
        else
            Sleep(20);
    }
    return true;
}

// Dispatches what is queued for this thread.
inline void DispatchPending() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
}

// WaitUntil with this thread's messages dispatched between the questions.
inline bool DispatchUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    return WaitUntil(done, timeoutMs, [] {
        DispatchPending();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    });
}

} // namespace testwin
