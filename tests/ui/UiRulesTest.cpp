// The label style rules and the message box's icon choice, without windows.
#include "resources/ResourceIds.h"
#include "ui/LabelStyle.h"
#include "ui/MessageBoxStyle.h"

#include <gtest/gtest.h>

namespace {

TEST(LabelStyle, StartsLeftAlignedWithPlainFont) {
    const LabelStyle s;
    EXPECT_TRUE(s.left);
    EXPECT_FALSE(s.center || s.right || s.bold || s.italic || s.underline || s.strikeOut || s.antiAlias ||
                 s.vcenter);
}

TEST(LabelStyle, FontBitsAndVerticalCentringStayOnceGiven) {
    LabelStyle s;
    ApplyLabelStyle(s, LS_BOLD | LS_VCENTER | LS_CENTER);
    ApplyLabelStyle(s, LS_ITALIC);
    ApplyLabelStyle(s, 0);
    EXPECT_TRUE(s.bold);
    EXPECT_TRUE(s.italic);
    EXPECT_TRUE(s.vcenter);
    EXPECT_FALSE(s.underline);
    // ...while the alignment goes back to left with every call that names none.
    EXPECT_TRUE(s.left);
    EXPECT_FALSE(s.center);
    ApplyLabelStyle(s, LS_UNDERLINE | LS_STRIKEOUT | LS_ANTIALIAS);
    EXPECT_TRUE(s.underline && s.strikeOut && s.antiAlias && s.bold);
}

TEST(LabelStyle, CentreWinsOverRightAndRightOverLeft) {
    LabelStyle s;
    ApplyLabelStyle(s, LS_CENTER | LS_RIGHT | LS_LEFT);
    EXPECT_TRUE(s.center);
    EXPECT_FALSE(s.right || s.left);
    ApplyLabelStyle(s, LS_RIGHT | LS_LEFT);
    EXPECT_TRUE(s.right);
    EXPECT_FALSE(s.center || s.left);
    ApplyLabelStyle(s, LS_LEFT);
    EXPECT_TRUE(s.left);
    EXPECT_FALSE(s.center || s.right);
}

TEST(MessageBoxStyle, NoIconBitMeansInformation) {
    EXPECT_EQ(NormalizeMessageBoxStyle(0), MSGBOX_ICON_INFO);
    EXPECT_EQ(NormalizeMessageBoxStyle(MSGBOX_ANOTHER_FINGER), MSGBOX_ANOTHER_FINGER | MSGBOX_ICON_INFO);
    EXPECT_EQ(NormalizeMessageBoxStyle(MSGBOX_ICON_ERROR), MSGBOX_ICON_ERROR);
    EXPECT_EQ(MessageBoxIconBitmap(0), 276);
    EXPECT_EQ(MessageBoxIconBitmap(0x80), 276);
}

TEST(MessageBoxStyle, EachIconBitHasItsBitmap) {
    EXPECT_EQ(MessageBoxIconBitmap(0x01), 276);
    EXPECT_EQ(MessageBoxIconBitmap(0x02), 216);
    EXPECT_EQ(MessageBoxIconBitmap(0x04), 217);
    EXPECT_EQ(MessageBoxIconBitmap(0x08), 275);
    EXPECT_EQ(MessageBoxIconBitmap(0x88), 275);
    EXPECT_EQ(MessageBoxIconBitmap(0x81), 276);
}

TEST(MessageBoxStyle, OfSeveralIconBitsTheLastInQuestionErrorInfoSuccessOrderWins) {
    EXPECT_EQ(MessageBoxIconBitmap(0x02 | 0x04), 217);
    EXPECT_EQ(MessageBoxIconBitmap(0x01 | 0x04), 276); // information comes after error
    EXPECT_EQ(MessageBoxIconBitmap(0x01 | 0x02), 276);
    EXPECT_EQ(MessageBoxIconBitmap(0x08 | 0x01), 275);
    EXPECT_EQ(MessageBoxIconBitmap(0x0F), 275);
    EXPECT_EQ(MessageBoxIconBitmap(0x06), 217);
}

} // namespace
