// Reading VID/PID out of device instance ids, including the malformed forms discovery must refuse.
#include "biometric/DeviceInstanceId.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

// What ParseUsbIds reads from a text: whether both ids were there, the vendor and the product id.
using Read = std::tuple<bool, int, int>;
Read Parse(const char16_t* text) {
    const UsbIds ids = ParseUsbIds(text);
    return {ids.parsed, ids.vid, ids.pid};
}

TEST(ParseUsbIds, ReadsBothIdsAsUpperCaseHex) {
    EXPECT_EQ(Parse(u"USB\\VID_2F1B&PID_1234\\5&1A2B3C4D&0&2"), Read(true, 0x2F1B, 0x1234));
    EXPECT_EQ(Parse(u"USB\\VID_FFFF&PID_ABCD"), Read(true, 0xFFFF, 0xABCD));
}

TEST(ParseUsbIds, RefusesLowerCaseDigitsAndMissingKeys) {
    for (const char16_t* text :
         {u"USB\\VID_2f1b&PID_1234", u"USB\\VID_2F1B&PID_12g4", u"USB\\VID_2F1B", u"ROOT\\BIOMETRIC\\0000",
          u"", u"USB\\vid_2F1B&pid_1234", u"USB\\VID_2F 1&PID_1234"})
        EXPECT_EQ(Parse(text), Read(false, 0, 0));
}

TEST(ParseUsbIds, ZeroIdsStillParse) {
    EXPECT_EQ(Parse(u"USB\\VID_0000&PID_0042"), Read(true, 0, 0x42));
}

TEST(ParseUsbIds, FirstOccurrenceAndSearchFromTheStartForThePid) {
    // PID_ before VID_ is still found, and the first of two VIDs wins.
    EXPECT_EQ(Parse(u"PID_0007\\VID_0101\\VID_0202"), Read(true, 0x0101, 0x0007));
}

TEST(ParseUsbIds, FewerThanFourDigitsAtTheEnd) {
    EXPECT_EQ(Parse(u"USB\\VID_2F1B&PID_12"), Read(true, 0x2F1B, 0x12));
    // Only four characters count: the fifth is not part of the number.
    EXPECT_EQ(std::get<1>(Parse(u"USB\\VID_2F1B5&PID_1234")), 0x2F1B);
}

} // namespace
