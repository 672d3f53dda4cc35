// Starting the vendor's service program and uninstaller.
#include "coinstaller/Installer.h"

#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cstddef>
#include <cwchar>

#include "coinstaller/DebugTrace.h"
#include "coinstaller/StartPath.h"

// The records handed to the system must be the x64 layouts it expects.
static_assert(sizeof(SHELLEXECUTEINFOW) == 112, "SHELLEXECUTEINFOW is 112 bytes on x64");
static_assert(offsetof(SHELLEXECUTEINFOW, lpFile) == 24 && offsetof(SHELLEXECUTEINFOW, lpDirectory) == 40 &&
                  offsetof(SHELLEXECUTEINFOW, nShow) == 48,
              "SHELLEXECUTEINFOW x64 layout");
static_assert(sizeof(STARTUPINFOW) == 104, "STARTUPINFOW is 104 bytes on x64");
static_assert(offsetof(STARTUPINFOW, dwFlags) == 60 && offsetof(STARTUPINFOW, wShowWindow) == 64,
              "STARTUPINFOW x64 layout");

namespace {

// Below the Program Files folder.
const wchar_t kServiceFolder[] = L"\\NorvikFP";
const wchar_t kServiceProgram[] = L"\\NorvikFP\\NVDService.exe";
const wchar_t kUninstallProgram[] = L"\\NorvikFP\\NVDUninst.exe";
const wchar_t kUninstallCommandLine[] = L"/s /DEL_UNINSTALL_REG";
static_assert(sizeof kUninstallCommandLine / sizeof(wchar_t) <= kPathBufferUnits);

const DWORD kUninstallWaitMs = 10000;

// Owns a kernel handle for the length of one call.
class OwnedHandle {
public:
    explicit OwnedHandle(HANDLE handle) : m_h(handle) {}
    ~OwnedHandle() {
        if (m_h != nullptr && m_h != INVALID_HANDLE_VALUE)
            CloseHandle(m_h);
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    HANDLE get() const { return m_h; }

private:
    HANDLE m_h;
};

// Closes a FindFirstFileW search.
class FindHandle {
public:
    explicit FindHandle(HANDLE handle) : m_h(handle) {}
    ~FindHandle() {
        if (m_h != INVALID_HANDLE_VALUE)
            FindClose(m_h);
    }
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    bool found() const { return m_h != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_h;
};

// Whatever the co-installer starts runs with the device installer's rights: only from a path that
// leaves nothing to the caller's current folder.
bool IsAbsolute(const wchar_t* path) {
    static_assert(sizeof(wchar_t) == sizeof(char16_t), "paths are UTF-16 on Windows");
    return coinst::IsAbsoluteStartPath(reinterpret_cast<const char16_t*>(path));
}

// Nor from a share: whoever controls the server (or, for a share without signing, the network
// between) would choose what runs with those rights. A UNC path, or a drive letter mapped to a
// share.
bool IsOnTheNetwork(const wchar_t* path) {
    if (PathIsNetworkPathW(path))
        return true;
    if (path[0] == L'\0' || path[1] != L':')
        return false;
    const wchar_t root[] = {path[0], L':', L'\\', L'\0'};
    return GetDriveTypeW(root) == DRIVE_REMOTE;
}

// Frees what the shell allocated for a known folder's path.
class ShellPath {
public:
    ShellPath() = default;
    ~ShellPath() { CoTaskMemFree(m_path); }
    ShellPath(const ShellPath&) = delete;
    ShellPath& operator=(const ShellPath&) = delete;
    PWSTR* put() { return &m_path; }
    const wchar_t* get() const { return m_path; }

private:
    PWSTR m_path = nullptr;
};

} // namespace

bool ProductPath(const wchar_t* tail, wchar_t (&path)[kPathBufferUnits]) {
    path[0] = L'\0';
    // The folder as the shell knows it (for this 64-bit DLL the 64-bit one), not %ProgramFiles%
    // of whoever called the device installer: an elevated tool started with a changed environment
    // would otherwise choose the program that runs with its rights. Not verified here: the
    // program's own lookup tells whether anything is there.
    ShellPath programFiles;
    if (FAILED(
            SHGetKnownFolderPath(FOLDERID_ProgramFiles, KF_FLAG_DONT_VERIFY, nullptr, programFiles.put())) ||
        programFiles.get() == nullptr)
        return false;
    const std::size_t folderLength = std::wcslen(programFiles.get());
    const std::size_t tailLength = std::wcslen(tail);
    if (folderLength + tailLength >= kPathBufferUnits)
        return false;
    std::wmemcpy(path, programFiles.get(), folderLength);
    std::wmemcpy(path + folderLength, tail, tailLength + 1);
    return true;
}

namespace Installer {

int Setup() {
    DebugTrace(L"##### Installer::Setup #####");
    return Run_NVDService();
}

int Run_NVDService() {
    DebugTrace(L"##### Installer::Run_NVDService #####");

    wchar_t folder[kPathBufferUnits] = {};
    wchar_t program[kPathBufferUnits] = {};
    if (!ProductPath(kServiceFolder, folder) || !ProductPath(kServiceProgram, program)) {
        DebugTrace(L"##### NVDService.exe path does not fit in %d units #####",
                   static_cast<int>(kPathBufferUnits));
        return 1;
    }

    if (!IsAbsolute(folder) || !IsAbsolute(program)) {
        DebugTrace(L"##### NVDService.exe path is not absolute: %s #####", program);
        return 1;
    }
    if (IsOnTheNetwork(program)) {
        DebugTrace(L"##### NVDService.exe path is on the network: %s #####", program);
        return 1;
    }

    WIN32_FIND_DATAW found = {};
    {
        const FindHandle search(FindFirstFileW(program, &found));
        if (!search.found()) {
            DebugTrace(L"##### NVDService.exe Not Find #####");
            return 1;
        }
        DebugTrace(L"##### NVDService.exe Find #####");
    }

    // The service runs on by itself: no process handle is asked for, and a failure to start it
    // changes nothing for the device installation. Nobody sees the desktop the device installer
    // runs on, so an error box there would only hold the installation up.
    SHELLEXECUTEINFOW execute = {};
    execute.cbSize = sizeof execute;
    execute.fMask = SEE_MASK_FLAG_NO_UI;
    execute.lpFile = program;
    execute.lpDirectory = folder;
    execute.nShow = SW_HIDE;
    static_cast<void>(ShellExecuteExW(&execute));
    return 1;
}

} // namespace Installer

int Execute_NVDUninst() {
    wchar_t program[kPathBufferUnits] = {};
    if (!ProductPath(kUninstallProgram, program)) {
        DebugTrace(L"<Execute_NVDUninst> tcharUnInstPath does not fit in %d units",
                   static_cast<int>(kPathBufferUnits));
        DebugTrace(L"<Execute_NVDUninst> UnInstall fail");
        return 1;
    }
    // CreateProcessW may write into its command line, so it gets a copy of its own.
    wchar_t commandLine[kPathBufferUnits] = {};
    static_cast<void>(lstrcpynW(commandLine, kUninstallCommandLine, static_cast<int>(kPathBufferUnits)));

    DebugTrace(L"<Execute_NVDUninst> tcharUnInstPath = %s", program);
    DebugTrace(L"<Execute_NVDUninst> szCmdLine = %s", commandLine);

    if (!IsAbsolute(program)) {
        DebugTrace(L"<Execute_NVDUninst> tcharUnInstPath is not absolute");
        DebugTrace(L"<Execute_NVDUninst> UnInstall fail");
        return 1;
    }
    if (IsOnTheNetwork(program)) {
        DebugTrace(L"<Execute_NVDUninst> tcharUnInstPath is on the network");
        DebugTrace(L"<Execute_NVDUninst> UnInstall fail");
        return 1;
    }
    // Not the caller's current folder: the process's own DLL search looks there, and a DLL planted
    // in a writable one would load into an uninstaller with the device installer's rights.
    wchar_t workingFolder[kPathBufferUnits] = {};
    const UINT folderLength = GetSystemDirectoryW(workingFolder, static_cast<UINT>(kPathBufferUnits));
    if (folderLength == 0 || folderLength >= kPathBufferUnits) {
        DebugTrace(L"<Execute_NVDUninst> GetSystemDirectoryW failed, error %u",
                   static_cast<unsigned>(folderLength == 0 ? GetLastError() : ERROR_INSUFFICIENT_BUFFER));
        DebugTrace(L"<Execute_NVDUninst> UnInstall fail");
        return 1;
    }

    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    const BOOL dwUnInstallResult = CreateProcessW(program, commandLine, nullptr, nullptr, FALSE, 0, nullptr,
                                                  workingFolder, &startup, &started);
    DebugTrace(L"<Execute_NVDUninst> dwUnInstallResult = %d", dwUnInstallResult ? 1 : 0);
    if (!dwUnInstallResult) {
        DebugTrace(L"<Execute_NVDUninst> UnInstall fail");
        return 1;
    }

    const OwnedHandle process(started.hProcess);
    const OwnedHandle thread(started.hThread);
    // An uninstaller that is still busy after the wait is left running; its exit code then reads
    // STILL_ACTIVE.
    WaitForSingleObject(process.get(), kUninstallWaitMs);
    DWORD exitCode = 0;
    GetExitCodeProcess(process.get(), &exitCode);
    DebugTrace(L"<Execute_NVDUninst> UnInstall success, exitCode: %d", static_cast<int>(exitCode));
    return 0;
}
