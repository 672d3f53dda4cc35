// The time-stamped trace line, unit by unit, and its cut at the end of the buffer.
#include "coinstaller/TraceLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using coinst::kTraceBufferUnits;
using coinst::TraceTime;
using coinst::WrapTraceLine;

constexpr char16_t kUntouched = 0xA5A5;

// The line as written into a buffer of capacity units with a guard zone behind it.
struct Wrapped {
    std::u16string line;
    std::size_t returned;
    bool guardIntact;
};

Wrapped Wrap(const TraceTime& time, const std::u16string& message, std::size_t capacity) {
    std::vector<char16_t> buffer(capacity + 32, kUntouched);
    Wrapped out;
    out.returned = WrapTraceLine(time, message.c_str(), buffer.data(), capacity);
    out.guardIntact = true;
    for (std::size_t i = capacity; i < buffer.size(); ++i)
        out.guardIntact = out.guardIntact && buffer[i] == kUntouched;
    if (capacity > 0) {
        std::size_t length = 0;
        while (length < capacity && buffer[length] != u'\0')
            ++length;
        out.line.assign(buffer.data(), length);
    }
    return out;
}

std::u16string Digits(std::size_t units) {
    std::u16string text;
    for (std::size_t i = 0; i < units; ++i)
        text.push_back(static_cast<char16_t>(u'0' + i % 10));
    return text;
}

TEST(TraceLine, PrefixHoldsMonthDayAndTimeToTheMillisecond) {
    const Wrapped out =
        Wrap({12, 9, 8, 7, 6, 5}, u"<CoInstallerEntry> InstallFunction = 0x2", kTraceBufferUnits);
    EXPECT_EQ(out.line, u"[12/09 08:07:06'005] <CoInstallerEntry> InstallFunction = 0x2\r\n");
    EXPECT_EQ(out.returned, out.line.size());
    EXPECT_TRUE(out.guardIntact);
}

TEST(TraceLine, FieldsArePaddedWithZerosLikePrintf) {
    EXPECT_EQ(Wrap({1, 2, 0, 0, 0, 0}, u"", kTraceBufferUnits).line, u"[01/02 00:00:00'000] \r\n");
    EXPECT_EQ(Wrap({11, 30, 23, 59, 59, 999}, u"x", kTraceBufferUnits).line, u"[11/30 23:59:59'999] x\r\n");
    EXPECT_EQ(Wrap({10, 10, 10, 10, 10, 10}, u"x", kTraceBufferUnits).line, u"[10/10 10:10:10'010] x\r\n");
    // A field wider than its width is printed whole, as %02d does.
    EXPECT_EQ(Wrap({123, 4, 5, 6, 7, 1234}, u"x", kTraceBufferUnits).line, u"[123/04 05:06:07'1234] x\r\n");
}

TEST(TraceLine, AnOverlongLineIsCutAtTheBufferEnd) {
    const TraceTime time = {3, 4, 5, 6, 7, 8};
    const std::u16string prefix = u"[03/04 05:06:07'008] ";
    ASSERT_EQ(prefix.size(), 21u);
    const struct {
        std::size_t message;
        std::u16string tail;
    } cases[] = {
        {1000, Digits(1000) + u"\r\n"}, // exactly 1,023 units: everything fits
        {1001, Digits(1001) + u"\r"},   {1002, Digits(1002)}, {1023, Digits(1002)}, {3000, Digits(1002)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        const Wrapped out = Wrap(time, Digits(c.message), kTraceBufferUnits);
        EXPECT_EQ(out.line, prefix + c.tail);
        EXPECT_EQ(out.returned, out.line.size());
        EXPECT_LE(out.returned, kTraceBufferUnits - 1);
        EXPECT_TRUE(out.guardIntact);
    }
}

TEST(TraceLine, TinyBuffersStayTerminatedAndInBounds) {
    const TraceTime time = {3, 4, 5, 6, 7, 8};
    Wrapped out = Wrap(time, u"message", 5);
    EXPECT_EQ(out.line, u"[03/");
    EXPECT_EQ(out.returned, 4u);
    EXPECT_TRUE(out.guardIntact);

    out = Wrap(time, u"message", 1);
    EXPECT_EQ(out.line, u"");
    EXPECT_EQ(out.returned, 0u);
    EXPECT_TRUE(out.guardIntact);

    out = Wrap(time, u"message", 0); // nothing may be written at all
    EXPECT_EQ(out.returned, 0u);
    EXPECT_TRUE(out.guardIntact);
}

} // namespace
