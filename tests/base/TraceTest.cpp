// The trace formatter: printf's own conversions, UTF-16 text arguments, the sink.
#include "base/Trace.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::u16string> g_lines;
void Collect(const char16_t* line) {
    g_lines.emplace_back(line);
}

TEST(TraceFormat, NumbersFollowPrintf) {
    EXPECT_EQ(nvtrace::Format("hr = 0x%x", 0x8009802Bu), u"hr = 0x8009802b");
    EXPECT_EQ(nvtrace::Format("0x%08x|%X|%5d|%-4d|%+d|%u", 0x2Fu, 0xabcU, 42, 7, 3, 4000000000u),
              u"0x0000002f|ABC|   42|7   |+3|4000000000");
    EXPECT_EQ(nvtrace::Format("%d %i", -5, -2147483647 - 1), u"-5 -2147483648");
    EXPECT_EQ(nvtrace::Format("%lld %llx %zu", -1LL, 0x1234567890ULL, std::size_t{99}), u"-1 1234567890 99");
    EXPECT_EQ(nvtrace::Format("[%02d/%02d %02d:%02d:%02d'%03d]", 1, 2, 3, 4, 5, 6), u"[01/02 03:04:05'006]");
    EXPECT_EQ(nvtrace::Format("%hd %hhu", 65537, 257), u"1 1");
}

// Found by the trace fuzz target: the digits went through a 64-byte buffer, so a field of 64
// characters or more came out cut at 63.
TEST(TraceFormat, WideNumberFieldsAreNotCut) {
    const std::u16string wide = nvtrace::Format("(%  086d)(CheckAccount) Pass", 7);
    EXPECT_EQ(wide, u"( " + std::u16string(84, u'0') + u"7)(CheckAccount) Pass");
    EXPECT_EQ(nvtrace::Format("%-70x|", 0xABu), u"ab" + std::u16string(68, u' ') + u"|");
    EXPECT_EQ(nvtrace::Format("%.100u", 5u), std::u16string(99, u'0') + u"5");
}

TEST(TraceFormat, TextsAreUtf16AndKeepEveryUnit) {
    EXPECT_EQ(nvtrace::Format("Device instance ID: %s", u"USB\\VID_2F1B&PID_1234"),
              u"Device instance ID: USB\\VID_2F1B&PID_1234");
    EXPECT_EQ(nvtrace::Format("%ls|%.3s|%6s|%-6s|", u"L\u00f6schen \u4e2d", u"abcdef", u"ab", u"cd"),
              u"L\u00f6schen \u4e2d|abc|    ab|cd    |");
    EXPECT_EQ(nvtrace::Format("%hs and %c", "narrow", u'\u00e9'), u"narrow and \u00e9");
    EXPECT_EQ(nvtrace::Format("%s", static_cast<const char16_t*>(nullptr)), u"(null)");
}

TEST(TraceFormat, PercentAndMalformedConversionsAreCopied) {
    EXPECT_EQ(nvtrace::Format("100%% done"), u"100% done");
    EXPECT_EQ(nvtrace::Format("odd %q here"), u"odd %q here");
    EXPECT_EQ(nvtrace::Format("cut %"), u"cut %");
    EXPECT_EQ(nvtrace::Format("line\r\n"), u"line\r\n");
    EXPECT_EQ(nvtrace::Format(nullptr), u"");
}

TEST(TraceSink, LinesGoToTheInstalledSinkAndAreDroppedWithout) {
    g_lines.clear();
    nvtrace::Trace("dropped %d", 1);
    const nvtrace::Sink previous = nvtrace::SetSink(Collect);
    EXPECT_EQ(previous, nullptr) << "the default is to drop";
    nvtrace::Trace("(%d)(CheckAccount) Fail = %x", 3, 1326u);
    EXPECT_EQ(nvtrace::SetSink(nullptr), &Collect);
    nvtrace::Trace("dropped again");
    ASSERT_EQ(g_lines.size(), 1u);
    EXPECT_EQ(g_lines[0], u"(3)(CheckAccount) Fail = 52e");
}

} // namespace
