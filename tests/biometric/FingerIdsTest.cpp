// Finger index <-> sub-factor mappings over their whole ranges, and the finger names.
#include "biometric/FingerIds.h"

#include "base/Trace.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::u16string> g_lines;
void Collect(const char16_t* line) {
    g_lines.emplace_back(line);
}

TEST(FingerIndex2Factor, EveryIndexUpToTheFirstInvalidOnes) {
    // Expected values from the framework's constants: ANSI 381 positions 1..10 for the named
    // fingers, WINBIO_FINGER_UNSPECIFIED_POS_01..10 = 0xF5..0xFE for the Windows Hello slots.
    const std::uint8_t expected[20] = {1,    2,    3,    4,    5,    6,    7,    8,    9,    10,
                                       0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0xFA, 0xFB, 0xFC, 0xFD, 0xFE};
    for (std::uint32_t i = 0; i < 20; ++i)
        EXPECT_EQ(FingerIndex2Factor(i), expected[i]) << i;
    for (std::uint32_t i : {20u, 21u, 255u, 256u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu})
        EXPECT_EQ(FingerIndex2Factor(i), 0xFF) << i;
}

TEST(Factor2FingerIndex, WholeRangeAndRoundTrip) {
    int mapped = 0;
    for (int s = 0; s <= 255; ++s) {
        const auto index = Factor2FingerIndex(static_cast<std::uint8_t>(s));
        const bool named = s >= 1 && s <= 10;
        const bool hello = s >= 0xF5 && s <= 0xFE;
        ASSERT_EQ(index.has_value(), named || hello) << s;
        if (!index)
            continue;
        ++mapped;
        EXPECT_EQ(*index,
                  named ? static_cast<std::uint32_t>(s - 1) : static_cast<std::uint32_t>(s - 0xF5 + 10))
            << s;
        EXPECT_EQ(FingerIndex2Factor(*index), s) << s;
    }
    EXPECT_EQ(mapped, 20);
    for (std::uint32_t i = 0; i < 20; ++i)
        EXPECT_EQ(Factor2FingerIndex(FingerIndex2Factor(i)), i);
}

TEST(Factor2StrFingerName, NamesAndTheUndefinedTrace) {
    g_lines.clear();
    nvtrace::SetSink(Collect);
    EXPECT_EQ(std::u16string(Factor2StrFingerName(1)), u"Right Hand Thumb");
    EXPECT_EQ(std::u16string(Factor2StrFingerName(5)), u"Right Hand Little-Finger");
    EXPECT_EQ(std::u16string(Factor2StrFingerName(6)), u"Left Hand Thumb");
    EXPECT_EQ(std::u16string(Factor2StrFingerName(7)), u"Left Hand Index-Finger");
    EXPECT_EQ(std::u16string(Factor2StrFingerName(10)), u"Left Hand Little-Finger");
    EXPECT_EQ(std::u16string(Factor2StrFingerName(0xF5)), u"Windows Hello Finger 1");
    EXPECT_EQ(std::u16string(Factor2StrFingerName(0xFD)), u"Windows Hello Finger 9");
    EXPECT_EQ(std::u16string(Factor2StrFingerName(0xFE)), u"Windows Hello Finger 10");
    EXPECT_TRUE(g_lines.empty()) << "defined fingers trace nothing";

    EXPECT_EQ(std::u16string(Factor2StrFingerName(0)), u"UnDefine Finger");
    EXPECT_EQ(std::u16string(Factor2StrFingerName(0xFF)), u"UnDefine Finger");
    EXPECT_EQ(std::u16string(Factor2StrFingerName(11)), u"UnDefine Finger");
    nvtrace::SetSink(nullptr);
    ASSERT_EQ(g_lines.size(), 3u);
    EXPECT_EQ(g_lines[0], u"(ERROR)(Factor2StrFingerName) UnDefine Factor: 0");
    EXPECT_EQ(g_lines[1], u"(ERROR)(Factor2StrFingerName) UnDefine Factor: 255");
    EXPECT_EQ(g_lines[2], u"(ERROR)(Factor2StrFingerName) UnDefine Factor: 11");
}

} // namespace
