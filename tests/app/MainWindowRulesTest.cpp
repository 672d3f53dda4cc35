// The main window's portable rules: the count text, which commands are active, its geometry,
// and how a device-interface broadcast (built here byte by byte) is read and matched.
#include "app/MainWindowRules.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using mainwnd::BroadcastInterfaceName;
using mainwnd::InterfaceNameNamesSensor;
using mainwnd::IsSensorBroadcast;

TEST(FingerCount, TextHasTwoColumnsBeforeTheSlash) {
    EXPECT_EQ(mainwnd::FingerCountText(0), u" 0/10");
    EXPECT_EQ(mainwnd::FingerCountText(1), u" 1/10");
    EXPECT_EQ(mainwnd::FingerCountText(9), u" 9/10");
    EXPECT_EQ(mainwnd::FingerCountText(10), u"10/10");
    EXPECT_EQ(mainwnd::FingerCountText(12), u"12/10");
    EXPECT_EQ(mainwnd::FingerCountText(20), u"20/10");
}

TEST(FingerCount, EveryNonZeroFlagIsAFinger) {
    FingerFlags flags = {};
    EXPECT_EQ(mainwnd::CountEnrolledFingers(flags), 0);
    flags[0] = 1;
    flags[19] = 1; // the last Windows Hello slot counts like any other
    flags[7] = -1;
    flags[12] = 2;
    EXPECT_EQ(mainwnd::CountEnrolledFingers(flags), 4);
    flags.fill(1);
    EXPECT_EQ(mainwnd::CountEnrolledFingers(flags), 20);
}

TEST(FingerCount, EnrollBelowTenClearAboveNone) {
    EXPECT_TRUE(mainwnd::IsEnrollActive(0));
    EXPECT_TRUE(mainwnd::IsEnrollActive(9));
    EXPECT_FALSE(mainwnd::IsEnrollActive(10));
    EXPECT_FALSE(mainwnd::IsEnrollActive(12));
    EXPECT_FALSE(mainwnd::IsClearActive(0));
    EXPECT_TRUE(mainwnd::IsClearActive(1));
    EXPECT_TRUE(mainwnd::IsClearActive(12));
}

TEST(MainGeometry, PanelsSitUnderTheHeaderWithTheRightMargin) {
    EXPECT_EQ(mainwnd::kAccentRect.top, mainwnd::kHeaderRect.bottom);
    EXPECT_EQ(mainwnd::kAccentRect.bottom - mainwnd::kAccentRect.top, 4);
    EXPECT_EQ(mainwnd::kEnrollPanel.left, 266) << "right of the 266-pixel side picture";
    EXPECT_EQ(mainwnd::kClientWidth - mainwnd::kEnrollPanel.right, 30);
    EXPECT_EQ(mainwnd::kClearPanel.left, mainwnd::kEnrollPanel.left);
    // The Clear label (45 high, 14 below its panel) ends inside the 520-pixel client area.
    EXPECT_LE(mainwnd::kClearPanel.bottom + 14 + 45, mainwnd::kClientHeight);
}

// A device-interface record: size, type, reserved, class GUID, then the name's UTF-16LE units
// (and a terminator when asked), each field written out in little-endian bytes.
std::vector<unsigned char> Record(std::uint32_t type, const std::u16string& name, bool terminate = true,
                                  std::uint32_t sizeOverride = 0) {
    std::vector<unsigned char> bytes;
    auto put32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<unsigned char>(v >> (8 * i)));
    };
    const std::size_t units = name.size() + (terminate ? 1 : 0);
    const std::uint32_t size = sizeOverride ? sizeOverride : static_cast<std::uint32_t>(28 + 2 * units);
    put32(size);
    put32(type);
    put32(0);
    // GUID_DEVINTERFACE_USB_DEVICE as it lies in memory.
    for (unsigned char b :
         {0x10, 0xBF, 0xDC, 0xA5, 0x30, 0x65, 0xD2, 0x11, 0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED})
        bytes.push_back(b);
    for (char16_t c : name) {
        bytes.push_back(static_cast<unsigned char>(c & 0xFF));
        bytes.push_back(static_cast<unsigned char>(c >> 8));
    }
    if (terminate) {
        bytes.push_back(0);
        bytes.push_back(0);
    }
    return bytes;
}

const std::u16string kSensorPath =
    u"\\\\?\\USB#VID_2F1B&PID_0106#5&1a2b3c&0&4#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";

TEST(DeviceBroadcast, NameIsReadFromByte28UpToItsTerminator) {
    const std::vector<unsigned char> r = Record(5, kSensorPath);
    EXPECT_EQ(BroadcastInterfaceName(r.data()), kSensorPath);
    // Units after the terminator (inside the record) are not part of the name.
    std::vector<unsigned char> padded = Record(5, u"\\\\?\\AB", true, 28 + 2 * 10);
    for (char16_t c : std::u16string(u"XYZ")) {
        padded.push_back(static_cast<unsigned char>(c));
        padded.push_back(0);
    }
    padded.resize(28 + 2 * 10, 0x41);
    EXPECT_EQ(BroadcastInterfaceName(padded.data()), u"\\\\?\\AB");
}

TEST(DeviceBroadcast, AnUnterminatedNameEndsWithTheRecordsOwnSize) {
    // Exactly as large as the record says, without a terminator: under AddressSanitizer any read
    // past the end is caught.
    const std::vector<unsigned char> exact = Record(5, kSensorPath, false);
    ASSERT_EQ(exact.size(), 28 + 2 * kSensorPath.size());
    EXPECT_EQ(BroadcastInterfaceName(exact.data()), kSensorPath);
    // A record claiming fewer bytes than the buffer holds: the rest is not the sender's name.
    std::vector<unsigned char> shorter = Record(5, kSensorPath, true, 28 + 2 * 8);
    EXPECT_EQ(BroadcastInterfaceName(shorter.data()), kSensorPath.substr(0, 8));
    // An odd size leaves half a unit, which is not read.
    std::vector<unsigned char> odd = Record(5, kSensorPath, true, 28 + 2 * 8 + 1);
    EXPECT_EQ(BroadcastInterfaceName(odd.data()), kSensorPath.substr(0, 8));
}

TEST(DeviceBroadcast, OtherTypesAndShortRecordsHaveNoName) {
    EXPECT_EQ(BroadcastInterfaceName(Record(2, kSensorPath).data()), u"") << "a volume broadcast";
    EXPECT_EQ(BroadcastInterfaceName(Record(3, kSensorPath).data()), u"") << "a port broadcast";
    // Only the 12-byte header is valid: the type is read, nothing after it.
    std::vector<unsigned char> header = Record(5, u"", false, 12);
    header.resize(12);
    EXPECT_EQ(BroadcastInterfaceName(header.data()), u"");
    std::vector<unsigned char> tooSmall = Record(5, u"", false, 8);
    tooSmall.resize(8);
    EXPECT_EQ(BroadcastInterfaceName(tooSmall.data()), u"") << "not even a whole header";
    EXPECT_EQ(BroadcastInterfaceName(Record(5, u"", true).data()), u"");
    EXPECT_EQ(BroadcastInterfaceName(nullptr), u"");
}

TEST(DeviceBroadcast, TheSensorsIdsAreFoundPastThePrefixInAnyCase) {
    EXPECT_TRUE(InterfaceNameNamesSensor(kSensorPath, 0x2F1B, 0x0106));
    EXPECT_TRUE(InterfaceNameNamesSensor(u"\\\\?\\usb#vid_2f1b&pid_0106#x", 0x2F1B, 0x0106));
    EXPECT_TRUE(InterfaceNameNamesSensor(u"\\\\?\\Usb#Pid_0106&Vid_2f1B", 0x2F1B, 0x0106)) << "either order";
    EXPECT_TRUE(InterfaceNameNamesSensor(u"\\\\?\\USB#VID_0ABC&PID_000F", 0x0ABC, 0x000F)) << "four digits";
    EXPECT_FALSE(InterfaceNameNamesSensor(u"\\\\?\\USB#VID_ABC&PID_F", 0x0ABC, 0x000F));
}

TEST(DeviceBroadcast, AnotherDeviceOrAnUnknownSensorIsNotTheSensor) {
    EXPECT_FALSE(InterfaceNameNamesSensor(u"\\\\?\\USB#VID_046D&PID_C52B#6&2f", 0x2F1B, 0x0106));
    EXPECT_FALSE(InterfaceNameNamesSensor(u"\\\\?\\USB#VID_2F1B&PID_0107#x", 0x2F1B, 0x0106))
        << "other model";
    EXPECT_FALSE(InterfaceNameNamesSensor(u"\\\\?\\USB#VID_046D&PID_0106#x", 0x2F1B, 0x0106))
        << "other maker";
    EXPECT_FALSE(InterfaceNameNamesSensor(kSensorPath, 0, 0x0106)) << "no sensor was found";
    EXPECT_FALSE(InterfaceNameNamesSensor(kSensorPath, 0x2F1B, 0));
    EXPECT_FALSE(InterfaceNameNamesSensor(u"\\\\?\\", 0x2F1B, 0x0106));
    // The first four characters are the path's prefix and never searched.
    EXPECT_FALSE(InterfaceNameNamesSensor(u"VID_2F1B&PID_0106", 0x2F1B, 0x0106));
    EXPECT_TRUE(InterfaceNameNamesSensor(u"....VID_2F1B&PID_0106", 0x2F1B, 0x0106));
}

TEST(DeviceBroadcast, WholeRecordsAsTheWindowReceivesThem) {
    EXPECT_TRUE(IsSensorBroadcast(Record(5, kSensorPath).data(), 0x2F1B, 0x0106));
    EXPECT_FALSE(IsSensorBroadcast(Record(2, kSensorPath).data(), 0x2F1B, 0x0106));
    // The ids lie past the record's own end: not part of this broadcast.
    std::vector<unsigned char> cut = Record(5, kSensorPath, true, 28 + 2 * 12);
    EXPECT_FALSE(IsSensorBroadcast(cut.data(), 0x2F1B, 0x0106));
}

} // namespace
