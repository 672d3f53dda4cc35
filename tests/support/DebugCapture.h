// Runs a program as a debugger would and keeps what it writes with OutputDebugString.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace coinsttest {

struct DebugString {
    std::wstring text;
    bool unicode;       // the event said the string was UTF-16 (else ANSI, widened here)
    SYSTEMTIME arrived; // local time when the debugger received it
};

struct DebugRun {
    bool started = false;  // the process was created
    bool finished = false; // it ended within the time allowed
    DWORD exitCode = 0;
    std::vector<DebugString> strings;
    std::vector<DWORD> exceptions; // exception codes other than the loader's breakpoint
    // Processes that ever belonged to the run's job: the program itself and whatever it started.
    // 0 when the job could not be queried.
    DWORD processesInJob = 0;
    SYSTEMTIME before = {}; // local time just before the start and just after the end
    SYSTEMTIME after = {};
};

// Starts commandLine with DEBUG_ONLY_THIS_PROCESS inside a job of its own, collects its
// OUTPUT_DEBUG_STRING_EVENTs until it exits, and gives up after timeoutMs.
DebugRun RunUnderDebugger(const std::wstring& commandLine, DWORD timeoutMs);

// Milliseconds from a to b (negative when b is earlier).
long long MillisecondsBetween(const SYSTEMTIME& a, const SYSTEMTIME& b);

} // namespace coinsttest
