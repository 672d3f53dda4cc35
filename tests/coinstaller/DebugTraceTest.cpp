// DebugTrace's two buffers: the message cut at 1,024 units, the finished line cut the same way, and
// nothing written past either; the lines as a debugger receives them.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdarg>
#include <string>

#include "coinstaller/DebugTrace.h"
#include "tests/support/CoInstallerTestSupport.h"

namespace coinsttest {
namespace {

std::wstring DigitRun(std::size_t units) {
    std::wstring text;
    for (std::size_t i = 0; i < units; ++i)
        text.push_back(static_cast<wchar_t>(L'0' + i % 10));
    return text;
}

// The message buffer with a guard behind it, as it would lie in a frame.
struct GuardedMessage {
    wchar_t message[coinst::kTraceBufferUnits];
    wchar_t guard[64];
};

std::wstring Format(GuardedMessage& out, const wchar_t* format, ...) {
    for (wchar_t& unit : out.message)
        unit = L'#';
    for (wchar_t& unit : out.guard)
        unit = static_cast<wchar_t>(0xA5A5);
    va_list args;
    va_start(args, format);
    FormatTraceMessage(out.message, format, args);
    va_end(args);
    return out.message;
}

bool GuardIntact(const GuardedMessage& out) {
    for (const wchar_t unit : out.guard)
        if (unit != static_cast<wchar_t>(0xA5A5))
            return false;
    return true;
}

TEST(FormatTraceMessage, UsesTheWideConventionsOfTheCrt) {
    GuardedMessage out;
    EXPECT_EQ(Format(out, L"<x> %s = %d, 0x%X", L"C:\\Program Files\\NorvikFP", -5, 0xE0000226u),
              L"<x> C:\\Program Files\\NorvikFP = -5, 0xE0000226");
    EXPECT_EQ(Format(out, L"no arguments"), L"no arguments");
}

TEST(FormatTraceMessage, KeepsWhatFitsAndNeverWritesPastTheBuffer) {
    GuardedMessage out;
    for (const std::size_t units :
         {std::size_t{1022}, std::size_t{1023}, std::size_t{1024}, std::size_t{5000}}) {
        SCOPED_TRACE(units);
        const std::wstring text = DigitRun(units);
        const std::wstring formatted = Format(out, L"%s", text.c_str());
        EXPECT_EQ(formatted, text.substr(0, 1023));
        EXPECT_EQ(out.message[coinst::kTraceBufferUnits - 1], L'\0');
        EXPECT_TRUE(GuardIntact(out));
    }
}

DebugRun TraceOfLength(std::size_t units) {
    const std::wstring command =
        L"\"" + testwin::ProgramBeside(L"coinst_caller.exe") + L"\" trace " + std::to_wstring(units);
    DebugRun run = RunUnderDebugger(command, 60000);
    EXPECT_TRUE(run.started && run.finished);
    EXPECT_EQ(run.exitCode, 0u);
    return run;
}

TEST(DebugTrace, ALineIsStampedAndEnded) {
    const DebugRun run = TraceOfLength(12);
    ASSERT_EQ(run.strings.size(), 1u);
    EXPECT_EQ(TraceMessages(run), std::vector<std::wstring>{L"012345678901"});
    EXPECT_EQ(run.strings[0].text.size(), 21u + 12u + 2u);
}

TEST(DebugTrace, AnOverlongLineIsCutAt1023Units) {
    // 21 units of prefix + message + "\r\n" must fit in 1,023 units beside the terminator.
    const struct {
        std::size_t message;
        std::wstring tail; // what the line holds after the prefix
    } cases[] = {
        {1000, DigitRun(1000) + L"\r\n"}, {1001, DigitRun(1001) + L"\r"}, {1002, DigitRun(1002)},
        {1023, DigitRun(1002)},           {4000, DigitRun(1002)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        const DebugRun run = TraceOfLength(c.message);
        ASSERT_EQ(run.strings.size(), 1u);
        const std::wstring& line = run.strings[0].text;
        SYSTEMTIME stamp = {};
        EXPECT_TRUE(ParsePrefix(line, run.before, stamp));
        EXPECT_EQ(line.size(), 21u + c.tail.size());
        EXPECT_TRUE(line.size() > 21 && line.substr(21) == c.tail);
    }
}

} // namespace
} // namespace coinsttest
