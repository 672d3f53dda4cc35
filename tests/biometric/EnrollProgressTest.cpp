// The enrolment dialog's picture table, the state of each accepted sample, and the choice of
// the next Windows Hello position.
#include "biometric/EnrollProgress.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(EnrollProgressBitmap, EveryStateOfTheTableAndNothingOutsideIt) {
    // Written out from the table of pictures: outline, empty print, then the print filling up
    // with a step back every third sample.
    const int expected[20] = {288, 289, 290, 291, 292, 291, 292, 293, 292, 293,
                              294, 293, 294, 295, 294, 295, 296, 295, 296, 297};
    for (int state = -1; state <= 18; ++state)
        EXPECT_EQ(EnrollProgressBitmap(state), expected[state + 1]) << state;
    for (int state : {-1000, -3, -2, 19, 20, 289, 0x7FFFFFFF})
        EXPECT_EQ(EnrollProgressBitmap(state), 0) << state;
}

TEST(EnrollProgressStep, HowManyOfTheEightStepsEachPictureShows) {
    EXPECT_EQ(kEnrollProgressSteps, 8);
    for (int step = 0; step <= 8; ++step)
        EXPECT_EQ(EnrollProgressStep(289 + step), step) << 289 + step;
    for (int bitmap : {0, 288, 298, 260})
        EXPECT_EQ(EnrollProgressStep(bitmap), -1) << bitmap;
    // The third sample shows the third step.
    EXPECT_EQ(EnrollProgressStep(EnrollProgressBitmap(EnrollSampleState(3))), 3);
}

// The picture as the dialog shows it for the first n accepted samples.
std::vector<int> PicturesForSamples(long long first, long long last) {
    std::vector<int> pictures;
    for (long long n = first; n <= last; ++n)
        pictures.push_back(EnrollProgressBitmap(EnrollSampleState(n)));
    return pictures;
}

TEST(EnrollSampleState, SevenSamplesAndTheSwingBeyondSeventeen) {
    EXPECT_EQ(PicturesForSamples(1, 7), (std::vector<int>{290, 291, 292, 291, 292, 293, 292}));
    EXPECT_EQ(PicturesForSamples(17, 22), (std::vector<int>{296, 295, 296, 295, 296, 295}));
    // Never the complete picture, however long the framework keeps asking.
    for (long long n = 1; n <= 1000; ++n)
        EXPECT_NE(EnrollProgressBitmap(EnrollSampleState(n)), 297) << n;
    EXPECT_EQ(EnrollSampleState(1LL << 40), 16);
    EXPECT_EQ(EnrollSampleState((1LL << 40) + 1), 17);
}

FingerFlags Flags(std::initializer_list<std::uint32_t> set) {
    FingerFlags flags = {};
    for (std::uint32_t index : set)
        flags[index] = 1;
    return flags;
}

TEST(NextWindowsHelloSubFactor, FirstFreePositionNotTheCount) {
    EXPECT_EQ(NextWindowsHelloSubFactor(Flags({}), 0), 0xF5);
    EXPECT_EQ(NextWindowsHelloSubFactor(Flags({10}), 0), 0xF6);
    // Positions 1 and 3 taken: the gap is filled, not position 3 asked for again.
    EXPECT_EQ(NextWindowsHelloSubFactor(Flags({10, 12}), 0), 0xF6);
    EXPECT_EQ(NextWindowsHelloSubFactor(Flags({11, 12, 13}), 0), 0xF5);
    EXPECT_EQ(NextWindowsHelloSubFactor(Flags({10, 11, 12, 13, 14, 15, 16, 17, 18}), 0), 0xFE);
    EXPECT_EQ(NextWindowsHelloSubFactor(Flags({10, 11, 12, 13, 14, 15, 16, 18, 19}), 0), 0xFC);
}

TEST(NextWindowsHelloSubFactor, NamedFingersDoNotTakeAPosition) {
    EXPECT_EQ(NextWindowsHelloSubFactor(Flags({0, 1, 2, 3, 4, 5, 6, 7, 8, 9}), 0), 0xF5);
    EXPECT_EQ(NextWindowsHelloSubFactor(Flags({0, 9, 10}), 0), 0xF6);
}

TEST(NextWindowsHelloSubFactor, AllTenTakenKeepsThePreviousChoice) {
    const FingerFlags full = Flags({10, 11, 12, 13, 14, 15, 16, 17, 18, 19});
    EXPECT_EQ(NextWindowsHelloSubFactor(full, 0xF8), 0xF8);
    EXPECT_EQ(NextWindowsHelloSubFactor(full, 0), 0);
    EXPECT_FALSE(HasFreeWindowsHelloPosition(full));
    EXPECT_TRUE(HasFreeWindowsHelloPosition(Flags({10, 12, 13, 14, 15, 16, 17, 18, 19})));
}

TEST(NextWindowsHelloSubFactor, AnyNonZeroFlagCountsAsTaken) {
    FingerFlags flags = {};
    flags[10] = -1;
    flags[11] = 2;
    EXPECT_EQ(NextWindowsHelloSubFactor(flags, 0), 0xF7);
}

TEST(WindowsHelloPosition, OneToTen) {
    EXPECT_EQ(WindowsHelloPosition(0xF5), 1);
    EXPECT_EQ(WindowsHelloPosition(0xF6), 2);
    EXPECT_EQ(WindowsHelloPosition(0xFE), 10);
}

} // namespace
