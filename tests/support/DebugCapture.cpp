// A small debugger loop: the only way to see OutputDebugStringW's lines as a real debugger does.
#include "tests/support/DebugCapture.h"

namespace coinsttest {

namespace {

class Handle {
public:
    explicit Handle(HANDLE handle = nullptr) : m_h(handle) {}
    ~Handle() {
        if (m_h != nullptr && m_h != INVALID_HANDLE_VALUE)
            CloseHandle(m_h);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return m_h; }

private:
    HANDLE m_h;
};

// Reads a terminated string of unitSize-byte units from the debuggee, in small pieces so that the
// end of a mapping cannot fail the whole read.
std::vector<unsigned char> ReadTerminated(HANDLE process, const void* address, std::size_t unitSize) {
    std::vector<unsigned char> bytes;
    const auto* cursor = static_cast<const unsigned char*>(address);
    const std::size_t maxUnits = 65536;
    for (std::size_t units = 0; units < maxUnits; ++units) {
        unsigned char unit[2] = {};
        SIZE_T read = 0;
        if (!ReadProcessMemory(process, cursor, unit, unitSize, &read) || read != unitSize)
            break;
        if (unit[0] == 0 && (unitSize == 1 || unit[1] == 0))
            break;
        bytes.insert(bytes.end(), unit, unit + unitSize);
        cursor += unitSize;
    }
    return bytes;
}

DebugString ReadDebugString(HANDLE process, const OUTPUT_DEBUG_STRING_INFO& info) {
    DebugString out;
    out.unicode = info.fUnicode != 0;
    GetLocalTime(&out.arrived);
    const std::vector<unsigned char> bytes =
        ReadTerminated(process, info.lpDebugStringData, out.unicode ? 2 : 1);
    if (out.unicode) {
        for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
            out.text.push_back(static_cast<wchar_t>(bytes[i] | (bytes[i + 1] << 8)));
    } else if (!bytes.empty()) {
        const int size = MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<const char*>(bytes.data()),
                                             static_cast<int>(bytes.size()), nullptr, 0);
        out.text.resize(static_cast<std::size_t>(size));
        MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<const char*>(bytes.data()),
                            static_cast<int>(bytes.size()), out.text.data(), size);
    }
    return out;
}

} // namespace

long long MillisecondsBetween(const SYSTEMTIME& a, const SYSTEMTIME& b) {
    FILETIME fa = {}, fb = {};
    SystemTimeToFileTime(&a, &fa);
    SystemTimeToFileTime(&b, &fb);
    const auto ticks = [](const FILETIME& f) {
        return static_cast<long long>((static_cast<unsigned long long>(f.dwHighDateTime) << 32) |
                                      f.dwLowDateTime);
    };
    return (ticks(fb) - ticks(fa)) / 10000;
}

DebugRun RunUnderDebugger(const std::wstring& commandLine, DWORD timeoutMs) {
    DebugRun run;
    Handle job(CreateJobObjectW(nullptr, nullptr));
    std::wstring line = commandLine;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    GetLocalTime(&run.before);
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE,
                        DEBUG_ONLY_THIS_PROCESS | CREATE_SUSPENDED, nullptr, nullptr, &startup, &info))
        return run;
    run.started = true;
    Handle process(info.hProcess);
    Handle thread(info.hThread);
    if (job.get() != nullptr)
        AssignProcessToJobObject(job.get(), process.get());
    ResumeThread(thread.get());

    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    bool sawLoaderBreakpoint = false;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline)
            break;
        DEBUG_EVENT event = {};
        if (!WaitForDebugEvent(&event, static_cast<DWORD>(deadline - now)))
            break;
        DWORD continueStatus = DBG_CONTINUE;
        bool exited = false;
        switch (event.dwDebugEventCode) {
        case CREATE_PROCESS_DEBUG_EVENT:
            if (event.u.CreateProcessInfo.hFile != nullptr)
                CloseHandle(event.u.CreateProcessInfo.hFile);
            break;
        case LOAD_DLL_DEBUG_EVENT:
            if (event.u.LoadDll.hFile != nullptr)
                CloseHandle(event.u.LoadDll.hFile);
            break;
        case OUTPUT_DEBUG_STRING_EVENT:
            run.strings.push_back(ReadDebugString(process.get(), event.u.DebugString));
            break;
        case EXCEPTION_DEBUG_EVENT: {
            const DWORD code = event.u.Exception.ExceptionRecord.ExceptionCode;
            if (code == EXCEPTION_BREAKPOINT && !sawLoaderBreakpoint) {
                sawLoaderBreakpoint = true;
            } else {
                if (event.u.Exception.dwFirstChance)
                    run.exceptions.push_back(code);
                continueStatus = DBG_EXCEPTION_NOT_HANDLED;
            }
            break;
        }
        case EXIT_PROCESS_DEBUG_EVENT:
            run.exitCode = event.u.ExitProcess.dwExitCode;
            exited = true;
            break;
        default:
            break;
        }
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, continueStatus);
        if (exited) {
            run.finished = true;
            break;
        }
    }
    if (!run.finished) {
        TerminateProcess(process.get(), 0xDEAD);
        DebugActiveProcessStop(info.dwProcessId);
    }
    GetLocalTime(&run.after);

    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
    if (job.get() != nullptr && QueryInformationJobObject(job.get(), JobObjectBasicAccountingInformation,
                                                          &accounting, sizeof accounting, nullptr))
        run.processesInJob = accounting.TotalProcesses;
    return run;
}

} // namespace coinsttest
