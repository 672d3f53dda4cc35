// Another program's window behind ours for the tests where the foreground matters: Windows hands
// the activation to the next window down when ours give it away, and on a desktop that holds
// only our own windows such a fault never shows.
#pragma once

#include "tests/support/WinProcess.h"

#include <string>

namespace testwin {

class Bystander {
public:
    Bystander()
        : m_name(L"nv-bystander-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                 std::to_wstring(GetTickCount())),
          m_ready(CreateEventW(nullptr, TRUE, FALSE, (m_name + L"-ready").c_str())),
          m_activated(CreateEventW(nullptr, TRUE, FALSE, (m_name + L"-activated").c_str())),
          m_quit(CreateEventW(nullptr, TRUE, FALSE, (m_name + L"-quit").c_str())),
          m_process(ProgramBeside(L"bystander.exe"), m_name) {
        if (WaitForSingleObject(m_ready, 20000) == WAIT_OBJECT_0)
            m_window = FindWindowW(L"NvBystander", L"Bystander");
    }
    ~Bystander() {
        SetEvent(m_quit);
        m_process.Wait(10000);
        CloseHandle(m_ready);
        CloseHandle(m_activated);
        CloseHandle(m_quit);
    }
    Bystander(const Bystander&) = delete;
    Bystander& operator=(const Bystander&) = delete;

    // Its window, shown behind everything; null when it did not start.
    HWND Window() const { return m_window; }
    // Whether it has been activated since it was ready (or since Forget).
    bool WasActivated() const { return WaitForSingleObject(m_activated, 0) == WAIT_OBJECT_0; }
    // For a test that brings it forward on purpose.
    void Forget() { ResetEvent(m_activated); }

private:
    std::wstring m_name;
    HANDLE m_ready, m_activated, m_quit;
    HWND m_window = nullptr;
    CapturedProcess m_process;
};

} // namespace testwin
