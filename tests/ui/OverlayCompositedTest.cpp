// The overlay as the user sees it: with xcompmgr compositing the display (with-compositor.sh
// starts it), the parent shows through darkened by half, and is whole again once it is gone.
#include "tests/support/OwnerWindow.h"
#include "tests/support/UiTestSupport.h"
#include "ui/DlgBlackWnd.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// White on the left, red on the right: the blend shows in every channel.
class WhiteAndRedParent : public nvtest::OwnerWindow {
protected:
    void OnPaint(HDC dc) override {
        RECT right = {358, 0, 716, 520};
        HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
        FillRect(dc, &right, red);
        DeleteObject(red);
    }
};

TEST(OverlayComposited, ShowsTheParentDarkenedByHalf) {
    ASSERT_NE(std::getenv("NV_COMPOSITOR"), nullptr) << "run through tests/ui/with-compositor.sh";
    WhiteAndRedParent parent;
    parent.Open(150, 120);
    POINT probe = {100, 260}, redProbe = {600, 260};
    ClientToScreen(parent.GetSafeHwnd(), &probe);
    ClientToScreen(parent.GetSafeHwnd(), &redProbe);
    EXPECT_EQ(nvtest::ScreenPixel(redProbe.x, redProbe.y), 0x0000FFu);
    EXPECT_EQ(nvtest::ScreenPixel(probe.x, probe.y), 0xFFFFFFu) << "the parent before the overlay";
    CDlgBlackWnd overlay;
    ASSERT_TRUE(overlay.Create(parent.GetSafeHwnd()));
    overlay.ShowWindow(SW_SHOW);
    nvtest::PumpFor(400);
    const COLORREF dimmed = nvtest::ScreenPixel(probe.x, probe.y);
    EXPECT_NEAR(GetRValue(dimmed), 127, 2);
    EXPECT_NEAR(GetGValue(dimmed), 127, 2);
    EXPECT_NEAR(GetBValue(dimmed), 127, 2);
    const COLORREF dimmedRed = nvtest::ScreenPixel(redProbe.x, redProbe.y);
    EXPECT_NEAR(GetRValue(dimmedRed), 127, 2);
    EXPECT_EQ(GetGValue(dimmedRed), 0);
    EXPECT_EQ(GetBValue(dimmedRed), 0);
    RECT area = {};
    GetWindowRect(parent.GetSafeHwnd(), &area);
    InflateRect(&area, 20, 20);
    EXPECT_FALSE(nvtest::SaveScreenPng(area, L"overlay-composited").empty());
    overlay.DestroyWindow();
    nvtest::PumpFor(300);
    EXPECT_EQ(nvtest::ScreenPixel(probe.x, probe.y), 0xFFFFFFu) << "the parent after the overlay";
}

} // namespace
