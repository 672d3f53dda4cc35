// The owner-drawn label and the picture button in a real dialog: text extent, alignment and
// vertical centring read from pixels, the colour sets and the grey border under a real mouse,
// the click rules, and the picture that swaps bitmaps under the mouse.
#include "resources/ResourceIds.h"
#include "tests/support/UiTestSupport.h"
#include "ui/DialogEx.h"
#include "ui/FontStatic.h"
#include "ui/HoverPicBtn.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// The enrolment template as a host: its statics get our controls, and the host records what
// they report.
class HostDialog : public CDialogEx {
public:
    HostDialog() : CDialogEx(IDD_ENROLL) {}

    CFontStatic title, message, cancel;
    CHoverPicBtn close, picture;
    std::vector<WPARAM> labelClicks;
    std::vector<WORD> pictureClicks;

    HWND Open() {
        if (!Create(nullptr))
            return nullptr;
        SetWindowPos(m_hWnd, HWND_TOPMOST, 200, 150, 0, 0, SWP_NOSIZE);
        SetClientSize(480, 270);
        SetBackgroundColor(0xF0F0F0);
        ShowWindow(SW_SHOW);
        nvtest::PumpFor(80);
        return m_hWnd;
    }

protected:
    void DoDataExchange() override {
        title.SubclassDlgItem(IDC_ENROLL_TITLE, m_hWnd);
        message.SubclassDlgItem(IDC_ENROLL_MESSAGE, m_hWnd);
        cancel.SubclassDlgItem(IDC_ENROLL_CANCEL, m_hWnd);
        close.SubclassDlgItem(IDC_ENROLL_CLOSE, m_hWnd);
        picture.SubclassDlgItem(IDC_ENROLL_PICTURE, m_hWnd);
    }
    bool OnCustomMessage(UINT msg, WPARAM wParam, LPARAM, LRESULT* result) override {
        if (msg != WM_LABEL_CLICKED)
            return false;
        labelClicks.push_back(wParam);
        *result = 0;
        return true;
    }
    bool OnCommand(WORD id, WORD code, HWND control) override {
        if (code == STN_CLICKED && (id == IDC_ENROLL_CLOSE || id == IDC_ENROLL_PICTURE)) {
            pictureClicks.push_back(id);
            return true;
        }
        return CDialogEx::OnCommand(id, code, control);
    }
};

class LabelTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(host.Open(), nullptr);
        // Park the mouse away from the dialog.
        nvtest::MouseMoveTo(5, 5);
    }
    void TearDown() override { nvtest::MouseMoveTo(5, 5); }

    // Repaints now and returns the box of pixels that differ from `background`.
    RECT InkBox(CFontStatic& label, COLORREF background) {
        RedrawWindow(label.GetSafeHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        nvtest::PumpFor(30);
        RECT client = {};
        GetClientRect(label.GetSafeHwnd(), &client);
        RECT box = {client.right, client.bottom, -1, -1};
        HDC dc = GetDC(label.GetSafeHwnd());
        for (int y = 0; y < client.bottom; ++y)
            for (int x = 0; x < client.right; ++x)
                if (GetPixel(dc, x, y) != background) {
                    box.left = std::min<LONG>(box.left, x);
                    box.top = std::min<LONG>(box.top, y);
                    box.right = std::max<LONG>(box.right, x + 1);
                    box.bottom = std::max<LONG>(box.bottom, y + 1);
                }
        ReleaseDC(label.GetSafeHwnd(), dc);
        return box;
    }

    int InkCount(CFontStatic& label, COLORREF background) {
        RECT client = {};
        GetClientRect(label.GetSafeHwnd(), &client);
        int n = 0;
        HDC dc = GetDC(label.GetSafeHwnd());
        for (int y = 0; y < client.bottom; ++y)
            for (int x = 0; x < client.right; ++x)
                n += GetPixel(dc, x, y) != background ? 1 : 0;
        ReleaseDC(label.GetSafeHwnd(), dc);
        return n;
    }

    COLORREF Pixel(CStatic& control, int x, int y) {
        nvtest::PumpFor(30);
        return nvtest::ClientPixel(control.GetSafeHwnd(), x, y);
    }

    // The button label as the dialogs configure it.
    void MakeButton(CFontStatic& label) {
        label.MoveWindow(30, 205, 420, 45);
        label.SetLabel(L"OK", L"Segoe UI", 20, 0xFFFFFF, 0xB3977F, LS_CENTER | LS_VCENTER);
        label.SetHoverColors(0xE7E3AA, 0x928A20, 0x999999);
        label.SetPressedColors(0xFFFFFF, 0xC2B82B, 0);
        label.EnableClick();
    }

    HostDialog host;
};

TEST_F(LabelTest, ReportsTheSingleLineTextExtentRightAfterSetLabel) {
    const wchar_t text[] = L"Scan another finger, and one more";
    host.message.SetLabel(text, L"Segoe UI", 20, 0x000000, 0xF0F0F0, 0);
    const SIZE extent = host.message.GetTextExtent();

    // Measured independently, with the same font made the same way.
    HFONT font =
        CreateFontW(20, 0, 0, 0, 400, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_CHARACTER_PRECIS,
                    CLIP_CHARACTER_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Segoe UI");
    HDC dc = GetDC(host.GetSafeHwnd());
    HGDIOBJ old = SelectObject(dc, font);
    SIZE expected = {};
    GetTextExtentPoint32W(dc, text, static_cast<int>(wcslen(text)), &expected);
    SelectObject(dc, old);
    ReleaseDC(host.GetSafeHwnd(), dc);
    DeleteObject(font);

    EXPECT_EQ(extent.cx, expected.cx);
    EXPECT_EQ(extent.cy, expected.cy);
    EXPECT_GT(extent.cx, 150) << "a single line, not the wrapped width of the small template control";

    // Bold and a larger size measure wider, at once.
    host.message.SetLabelFont(L"Segoe UI", 24, 0, LS_BOLD);
    EXPECT_GT(host.message.GetTextExtent().cx, extent.cx);
}

TEST_F(LabelTest, WindowTextFollowsTheLabelButAnUnsetLabelDrawsNothing) {
    wchar_t buffer[64] = {};
    GetWindowTextW(host.title.GetSafeHwnd(), buffer, 64);
    EXPECT_STREQ(buffer, L"Title") << "the template's text, not yet replaced";
    host.title.MoveWindow(20, 20, 200, 30);
    const RECT box = InkBox(host.title, 0xFFFFFF);
    EXPECT_EQ(box.right, -1) << "a label that was never set up is a white box without text";

    host.title.SetLabel(L"Enroll & more", L"Segoe UI", 20, 0, 0xFFFFFF, 0);
    GetWindowTextW(host.title.GetSafeHwnd(), buffer, 64);
    EXPECT_STREQ(buffer, L"Enroll & more");
    host.title.SetLabelText(L"Second");
    GetWindowTextW(host.title.GetSafeHwnd(), buffer, 64);
    EXPECT_STREQ(buffer, L"Second");
    EXPECT_GT(InkCount(host.title, 0xFFFFFF), 20);
}

TEST_F(LabelTest, AlignsLeftCentreAndRightAndCentresVertically) {
    CFontStatic& label = host.message;
    label.MoveWindow(20, 90, 300, 60);
    label.SetLabel(L"WWW", L"Segoe UI", 20, 0x000000, 0xFFFFFF, 0);
    const RECT left = InkBox(label, 0xFFFFFF);
    ASSERT_GE(left.right, 0) << "no text drawn";
    const int width = left.right - left.left;
    EXPECT_LE(left.left, 3);
    EXPECT_LE(left.top, 8) << "top-aligned without LS_VCENTER";

    label.SetStyle(LS_RIGHT);
    const RECT right = InkBox(label, 0xFFFFFF);
    EXPECT_GE(right.right, 297);
    EXPECT_EQ(right.right - right.left, width);

    label.SetStyle(LS_CENTER | LS_RIGHT); // centre wins
    const RECT centre = InkBox(label, 0xFFFFFF);
    EXPECT_NEAR((centre.left + centre.right) / 2.0, 150.0, 3.0);

    label.SetStyle(LS_VCENTER | LS_CENTER);
    const RECT middle = InkBox(label, 0xFFFFFF);
    EXPECT_NEAR((middle.top + middle.bottom) / 2.0, 30.0, 4.0);
    EXPECT_GT(middle.top, left.top + 10);

    // Vertical centring stays; the alignment falls back to left.
    label.SetStyle(0);
    const RECT after = InkBox(label, 0xFFFFFF);
    EXPECT_LE(after.left, 3);
    EXPECT_EQ(after.top, middle.top);
}

TEST_F(LabelTest, AnAmpersandIsDrawnLiterally) {
    CFontStatic& label = host.message;
    label.MoveWindow(20, 90, 300, 40);
    label.SetLabel(L"WW", L"Segoe UI", 20, 0x000000, 0xFFFFFF, 0);
    const RECT plain = InkBox(label, 0xFFFFFF);
    label.SetLabel(L"W&W", L"Segoe UI", 20, 0x000000, 0xFFFFFF, 0);
    const LONG extent = label.GetTextExtent().cx;
    const RECT withAmpersand = InkBox(label, 0xFFFFFF);
    // With prefix processing the "&" would vanish and underline the second W instead.
    EXPECT_GT(withAmpersand.right - withAmpersand.left, plain.right - plain.left + 4);
    EXPECT_NEAR(withAmpersand.right - withAmpersand.left, extent, 4.0);
}

TEST_F(LabelTest, BoldStaysAfterAStyleWithoutIt) {
    CFontStatic& label = host.message;
    label.MoveWindow(20, 90, 300, 40);
    label.SetLabel(L"Fingerprint", L"Segoe UI", 20, 0x000000, 0xFFFFFF, 0);
    RedrawWindow(label.GetSafeHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    const int regular = InkCount(label, 0xFFFFFF);
    label.SetStyle(LS_BOLD);
    InkBox(label, 0xFFFFFF);
    const int bold = InkCount(label, 0xFFFFFF);
    label.SetStyle(0);
    InkBox(label, 0xFFFFFF);
    EXPECT_GT(bold, regular + regular / 10) << "bold draws visibly more ink";
    EXPECT_EQ(InkCount(label, 0xFFFFFF), bold) << "SetStyle(0) does not take bold away";
}

TEST_F(LabelTest, NormalHoverAndPressedColoursWithTheGreyBorder) {
    CFontStatic& button = host.cancel;
    MakeButton(button);
    EXPECT_EQ(Pixel(button, 5, 5), 0xB3977Fu);
    EXPECT_EQ(Pixel(button, 0, 0), 0xB3977Fu);

    nvtest::MouseMoveToClient(button.GetSafeHwnd(), 200, 22);
    EXPECT_TRUE(button.IsHovered());
    EXPECT_EQ(Pixel(button, 5, 5), 0x928A20u) << "hover fill";
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(Pixel(button, i, 20), 0x999999u) << "left border column " << i;
        EXPECT_EQ(Pixel(button, 200, i), 0x999999u) << "top border row " << i;
        EXPECT_EQ(Pixel(button, 419 - i, 20), 0x999999u) << "right border column " << i;
        EXPECT_EQ(Pixel(button, 200, 44 - i), 0x999999u) << "bottom border row " << i;
    }
    EXPECT_EQ(Pixel(button, 3, 20), 0x928A20u) << "the border is no wider than the 3-pixel pen";

    nvtest::MouseLeftDown();
    EXPECT_TRUE(button.IsPressed());
    EXPECT_EQ(Pixel(button, 5, 5), 0xC2B82Bu) << "pressed fill";
    EXPECT_EQ(Pixel(button, 0, 20), 0xC2B82Bu) << "no border while pressed";
    nvtest::MouseLeftUp();
    EXPECT_EQ(Pixel(button, 5, 5), 0x928A20u);

    nvtest::MouseMoveTo(5, 5);
    EXPECT_FALSE(button.IsHovered());
    EXPECT_EQ(Pixel(button, 5, 5), 0xB3977Fu);
    EXPECT_EQ(Pixel(button, 0, 20), 0xB3977Fu);
}

TEST_F(LabelTest, APressAndReleaseInsideClicksOnceWithTheControlId) {
    MakeButton(host.cancel);
    nvtest::MouseMoveToClient(host.cancel.GetSafeHwnd(), 100, 20);
    nvtest::MouseLeftDown();
    EXPECT_TRUE(host.labelClicks.empty()) << "the press alone reports nothing";
    nvtest::MouseLeftUp();
    EXPECT_EQ(host.labelClicks, std::vector<WPARAM>{IDC_ENROLL_CANCEL});
}

TEST_F(LabelTest, APressThatLeavesAHoverLabelIsNoClick) {
    MakeButton(host.cancel);
    nvtest::MouseMoveToClient(host.cancel.GetSafeHwnd(), 100, 20);
    nvtest::MouseLeftDown();
    nvtest::MouseMoveToClient(host.GetSafeHwnd(), 240, 30);
    EXPECT_FALSE(host.cancel.IsPressed());
    nvtest::MouseLeftUp();
    // Coming back and releasing again without a press reports nothing either.
    nvtest::MouseMoveToClient(host.cancel.GetSafeHwnd(), 100, 20);
    nvtest::MouseLeftUp();
    EXPECT_TRUE(host.labelClicks.empty());
}

TEST_F(LabelTest, WithoutHoverColoursAPressReleasedOutsideStaysPending) {
    CFontStatic& label = host.message;
    label.MoveWindow(100, 90, 200, 40);
    label.SetLabel(L"Scan another finger", L"Segoe UI", 20, 0xC2B82B, 0xF0F0F0, LS_UNDERLINE);
    label.EnableClick();
    nvtest::MouseMoveToClient(label.GetSafeHwnd(), 50, 20);
    nvtest::MouseLeftDown();
    nvtest::MouseMoveToClient(host.GetSafeHwnd(), 400, 150);
    nvtest::MouseLeftUp();
    EXPECT_TRUE(host.labelClicks.empty());
    EXPECT_TRUE(label.IsPressed()) << "nothing told the label that the mouse left";

    // A button that goes down elsewhere and comes up over the label completes the click.
    nvtest::MouseLeftDown();
    nvtest::MouseMoveToClient(label.GetSafeHwnd(), 60, 20);
    nvtest::MouseLeftUp();
    EXPECT_EQ(host.labelClicks, std::vector<WPARAM>{IDC_ENROLL_MESSAGE});
}

TEST_F(LabelTest, ALabelThatIsNotClickableNeverReports) {
    MakeButton(host.cancel);
    host.cancel.DisableClick();
    for (int i = 0; i < 2; ++i) {
        nvtest::MouseMoveToClient(host.cancel.GetSafeHwnd(), 100 + i * 50, 20);
        nvtest::MouseLeftDown();
        nvtest::MouseLeftUp();
    }
    EXPECT_TRUE(host.labelClicks.empty());
    EXPECT_EQ(Pixel(host.cancel, 5, 5), 0x928A20u) << "it still shows its hover colours";
}

TEST_F(LabelTest, ClearedHoverColoursStopTheHoverLook) {
    MakeButton(host.cancel);
    host.cancel.ClearHoverColors();
    host.cancel.ClearPressedColors();
    nvtest::MouseMoveToClient(host.cancel.GetSafeHwnd(), 100, 20);
    EXPECT_FALSE(host.cancel.IsHovered());
    EXPECT_EQ(Pixel(host.cancel, 5, 5), 0xB3977Fu);
    nvtest::MouseLeftDown();
    EXPECT_EQ(Pixel(host.cancel, 5, 5), 0xB3977Fu);
    nvtest::MouseLeftUp();
    EXPECT_EQ(host.labelClicks.size(), 1u) << "still clickable";
}

TEST_F(LabelTest, ThePictureSwapsBitmapsUnderTheMouseAndReportsClicks) {
    CHoverPicBtn& close = host.close;
    close.SetBitmaps(IDB_CLOSE, IDB_CLOSE_HOVER);
    close.MoveWindow(442, 20, 18, 18);
    InvalidateRect(close.GetSafeHwnd(), nullptr, TRUE);
    // The middle of the cross: grey normally, white under the mouse; the corner is the dark ground.
    EXPECT_EQ(Pixel(close, 9, 9), RGB(150, 150, 150));
    EXPECT_EQ(Pixel(close, 0, 0), RGB(39, 40, 46));
    nvtest::MouseMoveToClient(close.GetSafeHwnd(), 12, 4);
    EXPECT_TRUE(close.IsHovered());
    EXPECT_EQ(Pixel(close, 9, 9), RGB(255, 255, 255));
    nvtest::MouseLeftDown();
    nvtest::MouseLeftUp();
    EXPECT_EQ(host.pictureClicks, std::vector<WORD>{IDC_ENROLL_CLOSE});
    nvtest::MouseMoveTo(5, 5);
    EXPECT_EQ(Pixel(close, 9, 9), RGB(150, 150, 150));
}

TEST_F(LabelTest, APictureWithoutHoverIdKeepsItsBitmapAndStretchesIt) {
    CHoverPicBtn& picture = host.picture;
    EXPECT_EQ(Pixel(picture, 5, 5), 0xF0F0F0u) << "no id set: the template's bitmap is not drawn";
    picture.SetBitmaps(IDB_SIDE_PANEL, 0);
    EXPECT_EQ(picture.GetHoverBitmap(), IDB_SIDE_PANEL);
    picture.MoveWindow(2, 60, 133, 230); // half the bitmap's size
    InvalidateRect(picture.GetSafeHwnd(), nullptr, TRUE);
    const COLORREF teal = RGB(43, 184, 194);
    // The teal circle of the side picture (centre 80,110 in the bitmap) lands at half scale.
    EXPECT_EQ(Pixel(picture, 40, 55), teal);
    const COLORREF corner = Pixel(picture, 2, 2);
    // The template's plain picture has no SS_NOTIFY, so the mouse passes through it to the
    // dialog; either way the picture stays the same.
    nvtest::MouseMoveToClient(picture.GetSafeHwnd(), 40, 55);
    EXPECT_EQ(Pixel(picture, 40, 55), teal);
    EXPECT_EQ(Pixel(picture, 2, 2), corner);

    picture.SetBitmaps(4711, 0); // no such bitmap: nothing drawn, nothing breaks
    InvalidateRect(picture.GetSafeHwnd(), nullptr, TRUE);
    nvtest::PumpFor(30);
}

} // namespace
