// The dimming overlay over a parent window: where it lies, how it is made, and the keyboard
// rule. What it looks like composited is OverlayCompositedTest.cpp.
#include "tests/support/OwnerWindow.h"
#include "tests/support/UiTestSupport.h"
#include "ui/DlgBlackWnd.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using nvtest::OwnerWindow;

// The overlay with a record of the commands that reach it.
class ObservedOverlay : public CDlgBlackWnd {
public:
    std::vector<WORD> commands;

protected:
    bool OnCommand(WORD id, WORD code, HWND control) override {
        commands.push_back(id);
        return CDlgBlackWnd::OnCommand(id, code, control);
    }
};

TEST(Overlay, CoversTheParentsClientAreaExactly) {
    OwnerWindow parent;
    parent.Open(150, 120);
    SetActiveWindow(parent.GetSafeHwnd());
    ObservedOverlay overlay;
    EXPECT_EQ(overlay.m_nWidth, 716);
    EXPECT_EQ(overlay.m_nHeight, 520);
    ASSERT_TRUE(overlay.Cover(parent.GetSafeHwnd()));
    nvtest::PumpFor(80);
    EXPECT_TRUE(IsWindowVisible(overlay.GetSafeHwnd()));
    EXPECT_EQ(GetActiveWindow(), parent.GetSafeHwnd()) << "the covered window stays the active one";
    EXPECT_NE(GetWindowLongPtrW(overlay.GetSafeHwnd(), GWL_EXSTYLE) & WS_EX_NOACTIVATE, 0);
    // A click on the dimmed window is eaten and does not activate it; the button message that may
    // follow brings the dialog forward as well, so the answer itself is what shows this.
    EXPECT_EQ(SendMessageW(overlay.GetSafeHwnd(), WM_MOUSEACTIVATE,
                           reinterpret_cast<WPARAM>(parent.GetSafeHwnd()),
                           MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN)),
              MA_NOACTIVATEANDEAT);
    EXPECT_EQ(GetActiveWindow(), parent.GetSafeHwnd());

    RECT client = {};
    GetClientRect(parent.GetSafeHwnd(), &client);
    MapWindowPoints(parent.GetSafeHwnd(), HWND_DESKTOP, reinterpret_cast<POINT*>(&client), 2);
    RECT covered = {};
    GetWindowRect(overlay.GetSafeHwnd(), &covered);
    EXPECT_EQ(covered.left, client.left);
    EXPECT_EQ(covered.top, client.top);
    EXPECT_EQ(covered.right, client.right);
    EXPECT_EQ(covered.bottom, client.bottom);
    RECT own = {};
    GetClientRect(overlay.GetSafeHwnd(), &own);
    EXPECT_EQ(own.right, 716);
    EXPECT_EQ(own.bottom, 520);

    wchar_t text[64] = {};
    GetWindowTextW(overlay.GetSafeHwnd(), text, 64);
    EXPECT_STREQ(text, L"Norvik Fingerprint Black");
    EXPECT_EQ(GetWindow(overlay.GetSafeHwnd(), GW_OWNER), parent.GetSafeHwnd());
    EXPECT_NE(GetWindowLongPtrW(overlay.GetSafeHwnd(), GWL_EXSTYLE) & WS_EX_LAYERED, 0);
    BYTE alpha = 0;
    DWORD flags = 0;
    COLORREF key = 1;
    ASSERT_TRUE(GetLayeredWindowAttributes(overlay.GetSafeHwnd(), &key, &alpha, &flags));
    EXPECT_EQ(alpha, 128);
    EXPECT_EQ(flags, static_cast<DWORD>(LWA_ALPHA));
    // The window itself paints black; the half comes from the alpha.
    EXPECT_EQ(nvtest::ClientPixel(overlay.GetSafeHwnd(), 358, 260), 0x000000u);
}

TEST(Overlay, EnterAndEscapeDoNotReachTheDialogManager) {
    OwnerWindow parent;
    parent.Open(150, 120);
    ObservedOverlay overlay;
    ASSERT_TRUE(overlay.Create(parent.GetSafeHwnd()));
    overlay.ShowWindow(SW_SHOW);
    nvtest::PumpFor(50);
    PostMessageW(overlay.GetSafeHwnd(), WM_KEYDOWN, VK_RETURN, 1);
    PostMessageW(overlay.GetSafeHwnd(), WM_KEYDOWN, VK_ESCAPE, 1);
    nvtest::PumpFor(100);
    EXPECT_TRUE(overlay.commands.empty()) << "IDOK/IDCANCEL reached the overlay";
    EXPECT_TRUE(IsWindowVisible(overlay.GetSafeHwnd()));
}

} // namespace
