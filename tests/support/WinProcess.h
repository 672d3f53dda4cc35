// Starting a program of the build from a Windows test and waiting for its end. The test
// programs all sit in one folder, so a peer is found beside the test that starts it.
#pragma once

#include <windows.h>

#include <string>

namespace testwin {

// The folder of this program, with its closing backslash.
inline std::wstring OwnFolder() {
    wchar_t self[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring path(self, n);
    return path.substr(0, path.find_last_of(L'\\') + 1);
}

inline std::wstring ProgramBeside(const wchar_t* name) {
    return OwnFolder() + name;
}

// Starts the program with the arguments; the process handle, or null (GetLastError says why).
inline HANDLE StartProgram(const std::wstring& program, const std::wstring& arguments) {
    // CreateProcessW may write into its command line, so it gets a copy of its own.
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info))
        return nullptr;
    CloseHandle(info.hThread);
    return info.hProcess;
}

// Waits for the process to end and closes its handle; its exit code, or 0xFFFFFFFF when it
// did not end in time.
inline DWORD WaitExit(HANDLE process, DWORD millis) {
    DWORD code = 0xFFFFFFFF;
    if (WaitForSingleObject(process, millis) == WAIT_OBJECT_0)
        GetExitCodeProcess(process, &code);
    CloseHandle(process);
    return code;
}

} // namespace testwin
