// Reading VID/PID out of device instance ids, including the malformed forms discovery must refuse.
#include "biometric/DeviceInstanceId.h"

#include <gtest/gtest.h>

namespace {

TEST(ParseUsbIds, ReadsBothIdsAsUpperCaseHex) {
    const UsbIds ids = ParseUsbIds(u"USB\\VID_2F1B&PID_1234\\5&1A2B3C4D&0&2");
    EXPECT_TRUE(ids.parsed);
    EXPECT_EQ(ids.vid, 0x2F1B);
    EXPECT_EQ(ids.pid, 0x1234);
    const UsbIds max = ParseUsbIds(u"USB\\VID_FFFF&PID_ABCD");
    EXPECT_EQ(max.vid, 0xFFFF);
    EXPECT_EQ(max.pid, 0xABCD);
}

TEST(ParseUsbIds, RefusesLowerCaseDigitsAndMissingKeys) {
    for (const char16_t* text :
         {u"USB\\VID_2f1b&PID_1234", u"USB\\VID_2F1B&PID_12g4", u"USB\\VID_2F1B", u"ROOT\\BIOMETRIC\\0000",
          u"", u"USB\\vid_2F1B&pid_1234", u"USB\\VID_2F 1&PID_1234"}) {
        const UsbIds ids = ParseUsbIds(text);
        EXPECT_FALSE(ids.parsed);
        EXPECT_EQ(ids.vid, 0);
        EXPECT_EQ(ids.pid, 0);
    }
}

TEST(ParseUsbIds, ZeroIdsStillParse) {
    const UsbIds ids = ParseUsbIds(u"USB\\VID_0000&PID_0042");
    EXPECT_TRUE(ids.parsed);
    EXPECT_EQ(ids.vid, 0);
    EXPECT_EQ(ids.pid, 0x42);
}

TEST(ParseUsbIds, FirstOccurrenceAndSearchFromTheStartForThePid) {
    // PID_ before VID_ is still found, and the first of two VIDs wins.
    const UsbIds ids = ParseUsbIds(u"PID_0007\\VID_0101\\VID_0202");
    EXPECT_TRUE(ids.parsed);
    EXPECT_EQ(ids.vid, 0x0101);
    EXPECT_EQ(ids.pid, 0x0007);
}

TEST(ParseUsbIds, FewerThanFourDigitsAtTheEnd) {
    const UsbIds ids = ParseUsbIds(u"USB\\VID_2F1B&PID_12");
    EXPECT_TRUE(ids.parsed);
    EXPECT_EQ(ids.pid, 0x12);
    // Only four characters count: the fifth is not part of the number.
    EXPECT_EQ(ParseUsbIds(u"USB\\VID_2F1B5&PID_1234").vid, 0x2F1B);
}

} // namespace
