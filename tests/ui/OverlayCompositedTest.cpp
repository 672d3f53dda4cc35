// The overlay as the user sees it: with xcompmgr compositing the display (with-compositor.sh
// starts it), the parent shows through darkened by half, and is whole again once it is gone.
#include "resources/ResourceIds.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/DlgBlackWnd.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

class ParentWindow : public CDialogEx {
public:
    ParentWindow() : CDialogEx(IDD_MAIN) {}
    void Open(int x, int y) {
        Create(nullptr);
        SetWindowPos(m_hWnd, HWND_TOPMOST, x, y, 0, 0, SWP_NOSIZE);
        SetClientSize(716, 520);
        SetBackgroundColor(0xFFFFFF);
        // Only the white background: the template's controls would get in the way of the pixels.
        for (HWND child = GetWindow(m_hWnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            ::ShowWindow(child, SW_HIDE);
        ShowWindow(SW_SHOW);
        nvtest::PumpFor(80);
    }

protected:
    // White on the left, red on the right: the blend shows in every channel.
    void OnPaint(HDC dc) override {
        RECT right = {358, 0, 716, 520};
        HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
        FillRect(dc, &right, red);
        DeleteObject(red);
    }
};

TEST(OverlayComposited, ShowsTheParentDarkenedByHalf) {
    ASSERT_NE(std::getenv("NV_COMPOSITOR"), nullptr) << "run through tests/ui/with-compositor.sh";
    ParentWindow parent;
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
