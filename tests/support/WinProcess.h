// Starting a program of the build from a Windows test and waiting for its end. The test
// programs all sit in one folder, so a peer is found beside the test that starts it.
#pragma once

#include <windows.h>

#include <algorithm>
#include <functional>
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
// With `output` (an inheritable handle), its standard output and error go there.
inline HANDLE StartProgram(const std::wstring& program, const std::wstring& arguments,
                           HANDLE output = nullptr) {
    // CreateProcessW may write into its command line, so it gets a copy of its own.
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    if (output != nullptr) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = startup.hStdError = output;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    }
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, output != nullptr, 0, nullptr, nullptr,
                        &startup, &info))
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

struct RunResult {
    DWORD code = 0xFFFFFFFF; // 0xFFFFFFFF: not started, or not ended in time
    std::string out;         // standard output and error together, line ends without CR
};

// A started program whose standard output and error go to a file of its own (a pipe could fill
// up while the test waits), read back once it has ended. A program still running when the object
// goes is terminated.
class CapturedProcess {
public:
    CapturedProcess(const std::wstring& program, const std::wstring& arguments,
                    const std::wstring& folder = L"", const wchar_t* environment = nullptr) {
        static LONG runs = 0; // a file per run: runs may nest
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        m_outPath = std::wstring(temp) + L"nv-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                    std::to_wstring(InterlockedIncrement(&runs)) + L".out";
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        HANDLE out = CreateFileW(m_outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                                 0, nullptr);
        if (out == INVALID_HANDLE_VALUE)
            return;
        std::wstring commandLine = L"\"" + program + L"\" " + arguments;
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = out;
        startup.hStdError = out;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        PROCESS_INFORMATION info = {};
        if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                           environment ? CREATE_UNICODE_ENVIRONMENT : 0, const_cast<wchar_t*>(environment),
                           folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
            CloseHandle(info.hThread);
            m_process = info.hProcess;
        }
        CloseHandle(out);
    }
    ~CapturedProcess() {
        if (m_process != nullptr) {
            if (WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT)
                TerminateProcess(m_process, 99);
            CloseHandle(m_process);
        }
        DeleteFileW(m_outPath.c_str());
    }
    CapturedProcess(const CapturedProcess&) = delete;
    CapturedProcess& operator=(const CapturedProcess&) = delete;

    bool Started() const { return m_process != nullptr; }
    bool Running() const { return m_process != nullptr && WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT; }

    // Waits for the end; with `pump`, the caller's own messages are handled meanwhile (a test
    // whose windows the program talks to must keep them answering).
    RunResult Wait(DWORD millis = 30000, const std::function<void()>& pump = {}) {
        RunResult result;
        if (m_process == nullptr)
            return result;
        bool ended;
        if (pump) {
            const DWORD deadline = GetTickCount() + millis;
            while (!(ended =
                         MsgWaitForMultipleObjects(1, &m_process, FALSE, 50, QS_ALLINPUT) == WAIT_OBJECT_0) &&
                   GetTickCount() < deadline)
                pump();
        } else {
            ended = WaitForSingleObject(m_process, millis) == WAIT_OBJECT_0;
        }
        if (ended)
            GetExitCodeProcess(m_process, &result.code);
        HANDLE in = CreateFileW(m_outPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
        if (in != INVALID_HANDLE_VALUE) {
            char buffer[4096];
            DWORD read = 0;
            while (ReadFile(in, buffer, sizeof buffer, &read, nullptr) && read > 0)
                result.out.append(buffer, read);
            CloseHandle(in);
        }
        result.out.erase(std::remove(result.out.begin(), result.out.end(), '\r'), result.out.end());
        return result;
    }

private:
    std::wstring m_outPath;
    HANDLE m_process = nullptr;
};

// Runs the program to its end and returns its exit code and output.
inline RunResult RunCaptured(const std::wstring& program, const std::wstring& arguments) {
    CapturedProcess process(program, arguments);
    return process.Wait();
}

} // namespace testwin
