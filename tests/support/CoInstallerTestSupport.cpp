// Helpers of the co-installer tests.
#include "tests/support/CoInstallerTestSupport.h"

#include "tests/support/Wait.h"
#include "tests/support/WinFiles.h"

#include <gtest/gtest.h>

namespace coinsttest {

std::wstring Expand(const wchar_t* text) {
    wchar_t out[1024];
    const DWORD length = ExpandEnvironmentStringsW(text, out, 1024);
    return length > 0 && length <= 1024 ? std::wstring(out) : std::wstring();
}

std::vector<Record> ReadRecords(const std::wstring& file) {
    std::vector<Record> records;
    const std::string text = testwin::ReadText(file);
    Record current;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        const std::string line = text.substr(start, end - start);
        if (line == "end") {
            records.push_back(current);
            current.clear();
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals != std::string::npos)
            current[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return records;
}

std::vector<Record> WaitForRecords(const std::wstring& file, std::size_t count, DWORD timeoutMs) {
    std::vector<Record> records;
    testwin::WaitUntil([&] { return (records = ReadRecords(file)).size() >= count; }, timeoutMs);
    return records;
}

bool WaitForRecordedProcess(const Record& record, DWORD waitMs) {
    const auto pid = record.find("pid");
    if (pid == record.end())
        return true;
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, std::stoul(pid->second));
    if (process == nullptr)
        return true; // already gone
    const bool ended = WaitForSingleObject(process, waitMs) == WAIT_OBJECT_0;
    if (!ended) {
        TerminateProcess(process, 1);
        WaitForSingleObject(process, 5000);
    }
    CloseHandle(process);
    return ended;
}

namespace {

bool Digits(const std::wstring& text, std::size_t at, std::size_t count, unsigned& value) {
    value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (i >= text.size() || text[i] < L'0' || text[i] > L'9')
            return false;
        value = value * 10 + static_cast<unsigned>(text[i] - L'0');
    }
    return true;
}

} // namespace

bool ParsePrefix(const std::wstring& line, const SYSTEMTIME& reference, SYSTEMTIME& stamp) {
    // [MM/DD hh:mm:ss'mmm]_
    // 0123456789012345678901
    if (line.size() < 21 || line[0] != L'[' || line[3] != L'/' || line[6] != L' ' || line[9] != L':' ||
        line[12] != L':' || line[15] != L'\'' || line[19] != L']' || line[20] != L' ')
        return false;
    unsigned month, day, hour, minute, second, millisecond;
    if (!Digits(line, 1, 2, month) || !Digits(line, 4, 2, day) || !Digits(line, 7, 2, hour) ||
        !Digits(line, 10, 2, minute) || !Digits(line, 13, 2, second) || !Digits(line, 16, 3, millisecond))
        return false;
    stamp = {};
    stamp.wYear = reference.wYear;
    stamp.wMonth = static_cast<WORD>(month);
    stamp.wDay = static_cast<WORD>(day);
    stamp.wHour = static_cast<WORD>(hour);
    stamp.wMinute = static_cast<WORD>(minute);
    stamp.wSecond = static_cast<WORD>(second);
    stamp.wMilliseconds = static_cast<WORD>(millisecond);
    FILETIME check = {};
    return SystemTimeToFileTime(&stamp, &check) != FALSE;
}

std::vector<std::wstring> TraceMessages(const DebugRun& run) {
    std::vector<std::wstring> messages;
    SYSTEMTIME previous = run.before;
    for (const DebugString& string : run.strings) {
        const std::wstring& line = string.text;
        SYSTEMTIME stamp = {};
        if (!ParsePrefix(line, run.before, stamp)) {
            ADD_FAILURE() << "no time-stamp prefix: " << Narrow(line);
            messages.push_back(line);
            continue;
        }
        EXPECT_GE(MillisecondsBetween(previous, stamp), 0)
            << "stamped before the line or run before it: " << Narrow(line);
        EXPECT_GE(MillisecondsBetween(stamp, string.arrived), 0)
            << "stamped after it arrived: " << Narrow(line);
        previous = stamp;
        const bool ended = line.size() >= 23 && line.compare(line.size() - 2, 2, L"\r\n") == 0;
        EXPECT_TRUE(ended) << "no line end: " << Narrow(line);
        messages.push_back(line.substr(21, line.size() - 21 - (ended ? 2 : 0)));
    }
    return messages;
}

} // namespace coinsttest
