// The version rules in their order, from what a platform may report.
#include "config/OsVersion.h"

#include <gtest/gtest.h>

namespace {

OsVersionFacts Reported(std::uint32_t major, std::uint32_t minor) {
    OsVersionFacts facts;
    facts.versionExSucceeded = true;
    facts.major = major;
    facts.minor = minor;
    facts.ntdllLoaded = true;
    return facts;
}

OsVersionFacts Reported62(bool rtlPresent, std::uint32_t rtlMajor, std::u16string currentVersion) {
    OsVersionFacts facts = Reported(6, 2);
    facts.rtlVersionPresent = rtlPresent;
    facts.rtlMajor = rtlMajor;
    facts.currentVersion = std::move(currentVersion);
    return facts;
}

TEST(OsVersionLevel, DirectlyReportedVersions) {
    struct Case {
        std::uint32_t major, minor;
        std::int32_t level;
    } cases[] = {
        {4, 0, 0},
        {5, 0, 0},
        {5, 1, 1},
        {5, 2, 1},
        {6, 0, 2},
        {6, 1, 3},
        {6, 3, 5},
        {6, 4, 5},
        {6, 9, 5},
        {10, 0, 6},
        {11, 0, 6},
        {12, 0, 6},
        {7, 0, 0},
        {9, 2, 0},
        // Rule order: "major >= 6, minor >= 3" comes before "major >= 10", so a 10.3 would be
        // level 5; unsupported either way.
        {10, 3, 5},
        {0, 0, 0},
    };
    for (const Case& c : cases) {
        const std::int32_t level = ClassifyOsVersionLevel(Reported(c.major, c.minor));
        EXPECT_EQ(level, c.level) << c.major << "." << c.minor;
    }
}

TEST(OsVersionLevel, FailedGetVersionExIsLevelZeroWhateverElseIsKnown) {
    OsVersionFacts facts = Reported62(true, 10, u"6.3");
    facts.versionExSucceeded = false;
    EXPECT_EQ(ClassifyOsVersionLevel(facts), 0);
}

TEST(OsVersionLevel, Reported62IsRefinedThroughNtdllThenTheRegistry) {
    EXPECT_EQ(ClassifyOsVersionLevel(Reported62(true, 10, u"6.3")), 6)
        << "ntdll's major 10 wins over the registry";
    EXPECT_EQ(ClassifyOsVersionLevel(Reported62(true, 10, u"")), 6);
    EXPECT_EQ(ClassifyOsVersionLevel(Reported62(true, 6, u"6.3")), 5);
    EXPECT_EQ(ClassifyOsVersionLevel(Reported62(false, 0, u"6.3")), 5) << "missing function: test skipped";
    EXPECT_EQ(ClassifyOsVersionLevel(Reported62(true, 6, u"6.2")), 4);
    EXPECT_EQ(ClassifyOsVersionLevel(Reported62(true, 11, u"6.2")), 4) << "only a major of exactly 10 counts";
    EXPECT_EQ(ClassifyOsVersionLevel(Reported62(true, 6, u"")), 4) << "unreadable CurrentVersion";
    EXPECT_EQ(ClassifyOsVersionLevel(Reported62(true, 6, u"6.3 ")), 4) << "whole string, exactly";
    EXPECT_EQ(ClassifyOsVersionLevel(Reported62(true, 6, u" 6.3")), 4);
    EXPECT_EQ(ClassifyOsVersionLevel(Reported62(true, 6, u"6.30")), 4);

    OsVersionFacts noNtdll = Reported62(true, 10, u"6.3");
    noNtdll.ntdllLoaded = false;
    EXPECT_EQ(ClassifyOsVersionLevel(noNtdll), 4) << "no ntdll: neither refinement";
}

TEST(OsSupportClass, BelowLevelFiveIsSupported) {
    for (std::int32_t level = 0; level <= 4; ++level)
        EXPECT_EQ(OsSupportClassOfLevel(level), 3) << level;
    EXPECT_EQ(OsSupportClassOfLevel(5), 6);
    EXPECT_EQ(OsSupportClassOfLevel(6), 6);
}

} // namespace
