// The application object and the process entry: the program defines one static CWinApp-derived
// object; its wWinMain hands over to RunApplication, which calls InitInstance once.
#pragma once

#include <windows.h>

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // The one application object of the process (the last one constructed), or null.
    static CWinApp* GetApp();

    // Does the program's work; the return value only decides the exit code (0 for FALSE).
    // The base registers the process with the restart manager when asked to (see below).
    virtual BOOL InitInstance();

    HINSTANCE m_hInstance = nullptr;
    // Bit 1: ask the system to restart the program after an update or a crash.
    DWORD m_dwRestartManagerSupportFlags = 0;
    // Set by the base InitInstance: whether the restart registration succeeded.
    bool m_bRestartRegistered = false;
};

namespace nvui {

inline constexpr DWORD kRestartManagerSupportRestart = 0x01;

// The module whose resources the dialogs, strings and bitmaps come from: the program itself.
HINSTANCE ResourceInstance();

// Runs the application object's InitInstance; returns the process exit code. Nothing thrown
// inside escapes: an exception ends the run with exit code 3.
int RunApplication(HINSTANCE instance);

} // namespace nvui
