// What the end-to-end tests of NorvikFingerprint.exe share: starting the real program and the
// tools beside it (winbio-sim, guidriver, nvkdb, pwcn), finding its windows, reading controls
// and pixels as a person sees them, and guards that put the prefix's machine state back.
#pragma once

#include "resources/ResourceIds.h"
#include "tests/support/SharedFolder.h"
#include "tests/support/TestWindows.h"
#include "tests/support/Text.h"
#include "tests/support/Tools.h"
#include "tests/support/Wait.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace apptest {

using testtext::Narrow;
using testwin::ClientSize;
using testwin::ControlRect;
using testwin::ControlText;
using testwin::Driver;
using testwin::DriverOk;
using testwin::HandleText;
using testwin::RunCaptured;
using testwin::RunOk;
using testwin::SharedFilesGuard;
using testwin::Sim;
using testwin::SimOk;
using testwin::WaitUntil;

// One run of the program.
class Program {
public:
    Program() = default;
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // The program, or a host of its main window (main_host.exe) with its arguments.
    bool Start(const std::wstring& program = L"NorvikFingerprint.exe", const std::wstring& arguments = L"");
    DWORD Pid() const { return m_process ? m_process->Pid() : 0; }
    bool Running() const { return m_process && m_process->Running(); }
    // Waits for the end; the exit code and what it printed (0xFFFFFFFF on time-out).
    testwin::RunResult Wait(DWORD timeoutMs) {
        return m_process ? m_process->Wait(timeoutMs) : testwin::RunResult();
    }
    // Waits for the end; the exit code, or nothing on time-out.
    std::optional<DWORD> WaitExit(DWORD timeoutMs) {
        return m_process ? m_process->WaitExit(timeoutMs) : std::nullopt;
    }
    // Ends it if it still runs; Start may then start it again.
    void Kill() { m_process.reset(); }

    // Visible top-level windows of the process.
    std::vector<HWND> Windows() const;
    // The main window (the one with the side picture), the message box (its icon and OK), the
    // enrolment dialog (its progress picture), the overlay (by its title); null until there.
    HWND MainWindow() const;
    HWND MessageBox() const;
    HWND EnrollDialog() const;
    HWND Overlay() const;
    HWND WaitMainWindow(DWORD timeoutMs = 45000) const;
    HWND WaitMessageBox(DWORD timeoutMs = 45000) const;
    HWND WaitEnrollDialog(DWORD timeoutMs = 45000) const;
    // The main window once the start-up chain has run: the count shows a number and no box is up.
    HWND WaitReady(DWORD timeoutMs = 45000) const;

private:
    std::optional<testwin::CapturedProcess> m_process;
};

struct ControlInfo {
    int id = 0;
    RECT rc = {}; // in the window's client coordinates
    bool visible = false;
    std::wstring text;
};
std::vector<ControlInfo> Controls(HWND window);
// The colour on screen at a client point of the window (0x00BBGGRR).
COLORREF Pixel(HWND window, int x, int y);

// Real mouse input through guidriver: a click in the middle of a control.
bool Click(HWND window, int id);
// The pointer off every window, so no label shows its hover colours.
void MouseAway();
// guidriver's key command (posted through the program's loop): enter, escape, ...
bool Key(HWND window, const std::wstring& key);
// Sends a registered message by name from the guidriver process; its result, or -1.
long long SendRegistered(HWND window, const std::wstring& name);
bool BroadcastRegistered(const std::wstring& name);

// The screen area of the window saved as build/windows/artifacts/<name>.png.
std::wstring Screenshot(HWND window, const std::wstring& name);

// The main window's count of enrolled fingers (" 3/10").
std::wstring CountText(HWND main);

// The message box's parts.
std::wstring BoxText(HWND box);
std::wstring BoxTitle(HWND box);
bool ClickBoxOk(HWND box);

//--- Guards of machine state: each puts back what it found.

// HKCU\SOFTWARE\NORVIK\Printkeep "ShowWelcome".
class ShowWelcomeGuard {
public:
    ShowWelcomeGuard();
    ~ShowWelcomeGuard();
    ShowWelcomeGuard(const ShowWelcomeGuard&) = delete;
    ShowWelcomeGuard& operator=(const ShowWelcomeGuard&) = delete;
    bool Set(DWORD value);
    bool RemoveValue();
    bool RemoveKey();

private:
    bool m_keyExisted = false;
    bool m_valueExisted = false;
    DWORD m_type = 0;
    std::vector<BYTE> m_data;
};

// The Windows version Wine reports (winecfg -v), switched for the test and put back.
class WindowsVersionGuard {
public:
    WindowsVersionGuard() = default;
    ~WindowsVersionGuard();
    WindowsVersionGuard(const WindowsVersionGuard&) = delete;
    WindowsVersionGuard& operator=(const WindowsVersionGuard&) = delete;
    bool Switch(const std::wstring& version); // win7, win8, win81, win10

private:
    std::wstring m_original;
};

} // namespace apptest
