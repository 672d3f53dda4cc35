// Asks a window, as Windows does before it calls a window "Not Responding", whether its thread
// reads its messages: WM_NULL with SendMessageTimeout every 100 ms from a thread of the test,
// counting the asks and those left unanswered while the window is on the screen.
#pragma once

#include <windows.h>

#include <atomic>
#include <thread>

namespace testwin {

class AnswerProbe {
public:
    // window: asked from now until the probe goes, or until the window is gone.
    explicit AnswerProbe(HWND window, UINT timeoutMs = 250) : m_window(window), m_timeoutMs(timeoutMs) {
        m_thread = std::thread([this] { Run(); });
    }
    ~AnswerProbe() { Stop(); }
    AnswerProbe(const AnswerProbe&) = delete;
    AnswerProbe& operator=(const AnswerProbe&) = delete;

    void Stop() {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    int Asked() const { return m_asked; }
    int Unanswered() const { return m_unanswered; }
    // Whether Windows took the window for hung at any ask.
    bool SeenHung() const { return m_seenHung; }

private:
    void Run() {
        while (!m_stop && IsWindow(m_window)) {
            DWORD_PTR answer = 0;
            ++m_asked;
            // A window that its program has hidden on the way out counts no more.
            if (!SendMessageTimeoutW(m_window, WM_NULL, 0, 0, SMTO_NORMAL, m_timeoutMs, &answer) &&
                IsWindowVisible(m_window))
                ++m_unanswered;
            m_seenHung = m_seenHung || IsHungAppWindow(m_window);
            Sleep(100);
        }
    }

    HWND m_window;
    UINT m_timeoutMs;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_asked{0};
    std::atomic<int> m_unanswered{0};
    std::atomic<bool> m_seenHung{false};
    std::thread m_thread;
};

} // namespace testwin
