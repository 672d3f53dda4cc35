// What the co-installer tests share: the stand-ins in <Program Files>\NorvikFP, their records, and
// running the caller under the debugger with the trace lines taken apart.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "tests/support/DebugCapture.h"
#include "tests/support/Text.h"
#include "tests/support/WinProcess.h"

namespace coinsttest {

using Record = std::map<std::string, std::string>;

using testtext::Narrow;

std::wstring Expand(const wchar_t* text);

// Reads the stand-ins' record file: one map per start, in the order they were started.
std::vector<Record> ReadRecords(const std::wstring& file);

// Waits until the file holds at least count complete records, at most timeoutMs.
std::vector<Record> WaitForRecords(const std::wstring& file, std::size_t count, DWORD timeoutMs);

// Waits for the recorded process to end; ends it when it outlives waitMs. True if it had ended.
bool WaitForRecordedProcess(const Record& record, DWORD waitMs);

// The trace lines of a run with their prefix checked and cut off: each line must read
// "[MM/DD hh:mm:ss'mmm] " + message + "\r\n", stamped within the run and never earlier than the
// line before. Failures are reported through gtest; the messages are returned either way.
std::vector<std::wstring> TraceMessages(const DebugRun& run);

// The local time a trace line's prefix shows, in the year of reference.
bool ParsePrefix(const std::wstring& line, const SYSTEMTIME& reference, SYSTEMTIME& stamp);

} // namespace coinsttest
