// The texts a user with a German display language gets (CTest runs this under
// LC_ALL=de_DE.UTF-8): the German block where the language has it, and English for the block that
// only English and Chinese (Taiwan) carry.
#include "resources/StringIds.h"
#include "ui/ResourceText.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

TEST(GermanStrings, TheLoaderPicksGermanBlocksAndFallsBackPerBlock) {
    ASSERT_EQ(GetUserDefaultUILanguage(), 1031) << "not a German UI: is the de_DE.UTF-8 locale there?";
    EXPECT_EQ(nvui::LoadResourceString(IDS_CLEAR), L"L\u00F6schen");
    EXPECT_EQ(
        nvui::LoadResourceString(IDS_DEVICE_REMOVED),
        L"Das Fingerabdruckger\u00E4t wurde entfernt. Bitte \u00FCberpr\u00FCfen Sie das Ger\u00E4t und "
        L"starten Sie Norvik Fingerprint neu.")
        << "the block of ids 176 to 191 is German, so without a German text the box is blank";
    EXPECT_EQ(nvui::LoadResourceString(IDS_OS_UNSUPPORTED),
              L"Please check OS version, Only support Windows 7 / Windows 8.");
    for (const UINT id : {IDS_CANCEL, IDS_DATA_IMPORTED, IDS_ENROLL_HINT, IDS_CLEAR_HINT, IDS_TOUCH_SENSOR,
                          IDS_SCAN_ANOTHER, IDS_FINGER_EXISTS_TEXT})
        EXPECT_FALSE(nvui::LoadResourceString(id).empty()) << id;
    EXPECT_NE(nvui::LoadResourceString(IDS_CANCEL), L"Cancel");
    EXPECT_NE(nvui::LoadResourceString(IDS_SCAN_ANOTHER), L"Scan another finger");
}

} // namespace
