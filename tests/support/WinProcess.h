// The one way Windows tests start programs: a program of the build (found beside the test, where
// the build puts them all) or any other by its path, its output kept in a file of its own, waited
// for with or without the test's messages handled meanwhile.
#pragma once

#include <windows.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <utility>

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

// The system folder (System32), without a closing backslash.
inline std::wstring SystemFolder() {
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(folder, length) : std::wstring();
}

// A bare name is a program of the build; anything with a folder in it is taken as it is.
inline std::wstring ProgramPath(const std::wstring& program) {
    return program.find_first_of(L"\\/") == std::wstring::npos ? OwnFolder() + program : program;
}

// Starts the program with the arguments; the process handle, or null (GetLastError says why).
// With `output` (an inheritable handle), its standard output and error go there. `folder` and
// `environment` (a block of wide strings), when given, are the program's own.
inline HANDLE StartProgram(const std::wstring& program, const std::wstring& arguments,
                           HANDLE output = nullptr, const std::wstring& folder = L"",
                           const wchar_t* environment = nullptr) {
    // CreateProcessW may write into its command line, so it gets a copy of its own.
    std::wstring commandLine = L"\"" + ProgramPath(program) + L"\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    if (output != nullptr) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = startup.hStdError = output;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    }
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, output != nullptr,
                        environment ? CREATE_UNICODE_ENVIRONMENT : 0, const_cast<wchar_t*>(environment),
                        folder.empty() ? nullptr : folder.c_str(), &startup, &info))
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

// While one lives, every wait for a program of this thread handles the thread's messages with
// `pump`: for a test whose windows the programs talk to (a sent message would otherwise wait for
// the program, and the program for the test).
class PumpWhileWaiting {
public:
    explicit PumpWhileWaiting(std::function<void()> pump) : m_pump(std::move(pump)), m_outer(Innermost()) {
        Innermost() = this;
    }
    ~PumpWhileWaiting() { Innermost() = m_outer; }
    PumpWhileWaiting(const PumpWhileWaiting&) = delete;
    PumpWhileWaiting& operator=(const PumpWhileWaiting&) = delete;

    // The pump of this thread's innermost one, or null.
    static const std::function<void()>* Current() {
        const PumpWhileWaiting* innermost = Innermost();
        return innermost != nullptr && innermost->m_pump ? &innermost->m_pump : nullptr;
    }

private:
    // A plain pointer: mingw-w64's emulated thread storage frees a thread's copy before a C++
    // destructor of it would run, so nothing thread_local may need one.
    static PumpWhileWaiting*& Innermost() {
        thread_local PumpWhileWaiting* innermost = nullptr;
        return innermost;
    }

    std::function<void()> m_pump;
    PumpWhileWaiting* m_outer;
};

struct RunResult {
    DWORD code = 0xFFFFFFFF; // 0xFFFFFFFF: not started, or not ended in time
    std::string out;         // standard output and error together, line ends without CR
};

// A started program whose standard output and error go to a file of its own (a pipe could fill
// up while the test waits, or be held open by a process the program started), read back once it
// has ended. A program still running when the object goes is ended.
class CapturedProcess {
public:
    CapturedProcess(const std::wstring& program, const std::wstring& arguments,
                    const std::wstring& folder = L"", const wchar_t* environment = nullptr) {
        static LONG runs = 0; // a file per run: runs may nest, and come from several threads
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        m_outPath = std::wstring(temp) + L"nv-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                    std::to_wstring(InterlockedIncrement(&runs)) + L".out";
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        HANDLE out = CreateFileW(m_outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                                 0, nullptr);
        if (out == INVALID_HANDLE_VALUE)
            return;
        m_process = StartProgram(program, arguments, out, folder, environment);
        CloseHandle(out);
    }
    ~CapturedProcess() {
        Kill();
        DeleteFileW(m_outPath.c_str());
    }
    CapturedProcess(const CapturedProcess&) = delete;
    CapturedProcess& operator=(const CapturedProcess&) = delete;

    bool Started() const { return m_process != nullptr; }
    bool Running() const { return m_process != nullptr && WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT; }
    DWORD Pid() const { return m_process != nullptr ? GetProcessId(m_process) : 0; }

    // Waits for the end, handling the thread's messages meanwhile when a PumpWhileWaiting says
    // so; the exit code, or nothing on time-out.
    std::optional<DWORD> WaitExit(DWORD millis) {
        if (m_process == nullptr)
            return std::nullopt;
        bool ended;
        if (const std::function<void()>* pump = PumpWhileWaiting::Current()) {
            const DWORD deadline = GetTickCount() + millis;
            while (!(ended =
                         MsgWaitForMultipleObjects(1, &m_process, FALSE, 50, QS_ALLINPUT) == WAIT_OBJECT_0) &&
                   GetTickCount() < deadline)
                (*pump)();
        } else {
            ended = WaitForSingleObject(m_process, millis) == WAIT_OBJECT_0;
        }
        DWORD code = 0;
        if (!ended || !GetExitCodeProcess(m_process, &code))
            return std::nullopt;
        return code;
    }

    // Waits for the end as WaitExit does; the exit code and everything the program printed.
    RunResult Wait(DWORD millis = 30000) {
        RunResult result;
        result.code = WaitExit(millis).value_or(0xFFFFFFFF);
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

    // Ends the program if it still runs, and waits until it has gone.
    void Kill() {
        if (m_process == nullptr)
            return;
        if (Running()) {
            TerminateProcess(m_process, 99);
            WaitForSingleObject(m_process, 10000);
        }
        CloseHandle(m_process);
        m_process = nullptr;
    }

private:
    std::wstring m_outPath;
    HANDLE m_process = nullptr;
};

// Runs the program to its end and returns its exit code and output.
inline RunResult RunCaptured(const std::wstring& program, const std::wstring& arguments,
                             DWORD millis = 30000) {
    CapturedProcess process(program, arguments);
    return process.Wait(millis);
}

} // namespace testwin
