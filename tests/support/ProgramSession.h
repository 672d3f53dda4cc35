// What the end-to-end tests of NorvikFingerprint.exe share: starting the real program and the
// tools beside it (winbio-sim, guidriver, nvkdb, pwcn), finding its windows, reading controls
// and pixels as a person sees them, and guards that put the prefix's machine state back.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace apptest {

// The folder of the running test, where the build puts every program.
std::wstring BinDir();

struct ToolRun {
    DWORD exitCode = 0xFFFFFFFF;
    std::string out; // stdout and stderr together
};
// Runs a program of the build folder with these arguments and collects what it prints.
ToolRun RunTool(const std::wstring& exe, const std::wstring& arguments, DWORD timeoutMs = 30000);
// winbio-sim with these arguments; its exit code.
DWORD Sim(const std::wstring& arguments);
ToolRun Driver(const std::wstring& arguments);

// Pumps nothing (the windows belong to another process); polls every 20 ms.
bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs);

// One run of the program.
class Program {
public:
    Program() = default;
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool Start();
    DWORD Pid() const { return m_info.dwProcessId; }
    bool Running() const;
    // Waits for the end; the exit code, or nothing on time-out.
    std::optional<DWORD> WaitExit(DWORD timeoutMs);
    void Kill();

    // Visible top-level windows of the process.
    std::vector<HWND> Windows() const;
    // The main window (the one with the side picture 1232), the message box (1169 and 1171),
    // the enrolment dialog (its progress picture 1228), the overlay (by its title); null until
    // there.
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
    PROCESS_INFORMATION m_info = {};
};

struct ControlInfo {
    int id = 0;
    RECT rc = {}; // in the window's client coordinates
    bool visible = false;
    std::wstring text;
};
std::vector<ControlInfo> Controls(HWND window);
std::wstring ControlText(HWND window, int id);
RECT ControlRect(HWND window, int id);
bool ControlVisible(HWND window, int id);
SIZE ClientSize(HWND window);
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

// The message box's parts.
std::wstring BoxText(HWND box);
std::wstring BoxTitle(HWND box);
bool ClickBoxOk(HWND box);

// The signed-in user as the program sees it.
std::wstring UserName();

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

// The two shared files under C:\ProgramData\NorvikWbf.
class SharedFilesGuard {
public:
    SharedFilesGuard();
    ~SharedFilesGuard();
    SharedFilesGuard(const SharedFilesGuard&) = delete;
    SharedFilesGuard& operator=(const SharedFilesGuard&) = delete;

private:
    struct Saved {
        std::wstring path;
        bool existed = false;
        std::vector<char> bytes;
    };
    std::vector<Saved> m_saved;
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

// The database and hand-off file paths the program uses.
std::wstring DatabasePath();
std::wstring HandOffPath();
std::vector<char> ReadFileBytes(const std::wstring& path);
bool FileExists(const std::wstring& path);
FILETIME LastWriteTime(const std::wstring& path);

} // namespace apptest
