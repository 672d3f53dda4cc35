// The message box run for real: ShowMessage blocks this thread in the box's modal loop while a
// second thread looks at the box (geometry, texts, pixels), saves a screenshot and answers it
// with real mouse input or keys, as a person would.
#include "resources/ResourceIds.h"
#include "tests/support/OwnerWindow.h"
#include "tests/support/TestWindows.h"
#include "tests/support/Tools.h"
#include "tests/support/Wait.h"
#include "tests/support/UiTestSupport.h"
#include "ui/DlgBlackWnd.h"
#include "ui/DlgMessageBox.h"
#include "ui/Theme.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace {

using testwin::WindowText;

// What the box looked like while it was open.
struct Observed {
    HWND box = nullptr;
    RECT client = {};
    LONG_PTR exStyle = 0;
    std::wstring title;
    RECT titleRect = {}, iconRect = {}, textRect = {}, okRect = {}, linkRect = {}, closeRect = {};
    bool linkVisible = false, secondButtonVisible = true;
    std::wstring linkText, okText;
    COLORREF band = 0, accent = 0, background = 0, okFill = 0, iconProbe = 0;
    HWND owner = nullptr;
    bool ownerEnabled = true;
    SIZE titleTextSize = {};
    // The message text measured here, broken into lines of the label's width.
    int textNeeds = 0;
    // Pixels of the link in its colour, and whether one row of them runs under the whole text.
    int linkInk = 0;
    bool linkUnderlined = false;
    std::wstring screenshot;
};

// The text's size in a font made as the labels make theirs: on one line, or broken at word
// boundaries into lines of `wrapWidth`.
SIZE Measure(HWND window, const std::wstring& text, const wchar_t* face, int size, int wrapWidth = 0) {
    HFONT font = CreateFontW(size, 0, 0, 0, 400, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_CHARACTER_PRECIS,
                             CLIP_CHARACTER_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face);
    HDC dc = GetDC(window);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE extent = {};
    if (wrapWidth > 0) {
        RECT rc = {0, 0, wrapWidth, 0};
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rc,
                  DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
        extent = {rc.right, rc.bottom};
    } else {
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    }
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    DeleteObject(font);
    return extent;
}

// The link as drawn: its colour, and an underline as wide as its text.
void ReadLink(HWND link, Observed& seen) {
    constexpr COLORREF kLinkColour = 0xC2B82B;
    const int textWidth = Measure(link, seen.linkText, L"Segoe UI", 20).cx;
    RECT client = {};
    GetClientRect(link, &client);
    HDC dc = GetDC(link);
    for (int y = 0; y < client.bottom; ++y) {
        bool unbroken = textWidth > 10;
        for (int x = 0; x < client.right; ++x) {
            const bool ink = GetPixel(dc, x, y) == kLinkColour;
            seen.linkInk += ink ? 1 : 0;
            if (x > 0 && x < textWidth - 1 && !ink)
                unbroken = false;
        }
        seen.linkUnderlined = seen.linkUnderlined || unbroken;
    }
    ReleaseDC(link, dc);
}

// Runs ShowMessage here and `answer` on a second thread once the box is up; returns the result.
INT_PTR RunBox(const wchar_t* text, std::uint32_t style, const wchar_t* title, Observed& seen,
               const std::function<void(HWND box)>& answer, const std::wstring& screenshotName = L"") {
    const DWORD self = GetCurrentThreadId();
    std::atomic<bool> stop{false};
    std::thread driver([&] {
        HWND box = nullptr;
        testwin::WaitUntil([&] { return stop || (box = testwin::ThreadWindowWith(IDC_MSGBOX_ICON, self)); },
                           5000);
        if (!box)
            return;
        Sleep(250); // let it paint
        seen.box = box;
        GetClientRect(box, &seen.client);
        seen.exStyle = GetWindowLongPtrW(box, GWL_EXSTYLE);
        seen.owner = GetWindow(box, GW_OWNER);
        seen.ownerEnabled = seen.owner && IsWindowEnabled(seen.owner);
        HWND titleLabel = GetDlgItem(box, IDC_MSGBOX_TITLE);
        seen.title = WindowText(titleLabel);
        seen.titleRect = nvtest::RectInParent(titleLabel);
        seen.titleTextSize = Measure(titleLabel, seen.title, L"Segoe UI Semibold", 24);
        seen.iconRect = nvtest::RectInParent(GetDlgItem(box, IDC_MSGBOX_ICON));
        seen.textRect = nvtest::RectInParent(GetDlgItem(box, IDC_MSGBOX_TEXT));
        seen.textNeeds = Measure(box, text, L"Segoe UI", 20, 350).cy;
        seen.okRect = nvtest::RectInParent(GetDlgItem(box, IDC_MSGBOX_BUTTON1));
        seen.okText = WindowText(GetDlgItem(box, IDC_MSGBOX_BUTTON1));
        seen.closeRect = nvtest::RectInParent(GetDlgItem(box, IDC_MSGBOX_CLOSE));
        HWND link = GetDlgItem(box, IDC_MSGBOX_ANOTHER);
        seen.linkVisible = IsWindowVisible(link) != FALSE;
        seen.linkRect = nvtest::RectInParent(link);
        seen.linkText = WindowText(link);
        if (seen.linkVisible)
            ReadLink(link, seen);
        seen.secondButtonVisible = IsWindowVisible(GetDlgItem(box, IDC_MSGBOX_BUTTON2)) != FALSE;
        seen.band = nvtest::ClientPixel(box, 470, 50);
        seen.accent = nvtest::ClientPixel(box, 240, 57);
        seen.background = nvtest::ClientPixel(box, 15, 180);
        seen.okFill = nvtest::ClientPixel(GetDlgItem(box, IDC_MSGBOX_BUTTON1), 5, 5);
        seen.iconProbe = nvtest::ClientPixel(GetDlgItem(box, IDC_MSGBOX_ICON), 21, 8);
        if (!screenshotName.empty())
            seen.screenshot = nvtest::SaveWindowPng(box, screenshotName);
        answer(box);
    });
    CDlgMessageBox dlg;
    const INT_PTR result = dlg.ShowMessage(text, style, title);
    stop = true;
    driver.join();
    return result;
}

// The "OK" label's fill and edge under the pointer, then pressed, read back from the screen;
// the release then answers the box.
struct OkLook {
    COLORREF hoverFill = 0, hoverEdge = 0, pressedFill = 0, pressedEdge = 0;
};
void HoverPressAndRelease(HWND box, OkLook& look) {
    HWND ok = GetDlgItem(box, IDC_MSGBOX_BUTTON1);
    // From the driver thread: the box's thread pumps on its own.
    nvtest::MouseMoveOnto(ok);
    Sleep(240);
    look.hoverFill = nvtest::ClientPixel(ok, 5, 5);
    look.hoverEdge = nvtest::ClientPixel(ok, 0, 20);
    nvtest::MouseLeftDown();
    Sleep(190);
    look.pressedFill = nvtest::ClientPixel(ok, 5, 5);
    look.pressedEdge = nvtest::ClientPixel(ok, 0, 20);
    nvtest::MouseLeftUp();
}

// A key typed as a person types it (SendInput), with Shift held around it on request; the box is
// the foreground window, so it gets the key.
void TypeKey(WORD key, bool shift = false) {
    INPUT input[4] = {};
    UINT count = 0;
    const auto add = [&](WORD vk, DWORD flags) {
        input[count].type = INPUT_KEYBOARD;
        input[count].ki.wVk = vk;
        input[count].ki.dwFlags = flags;
        ++count;
    };
    if (shift)
        add(VK_SHIFT, 0);
    add(key, 0);
    add(key, KEYEVENTF_KEYUP);
    if (shift)
        add(VK_SHIFT, KEYEVENTF_KEYUP);
    SendInput(count, input, sizeof(INPUT));
    Sleep(150);
}

void ExpectRect(const RECT& rc, int x, int y, int w, int h) {
    EXPECT_EQ(rc.left, x);
    EXPECT_EQ(rc.top, y);
    EXPECT_EQ(rc.right - rc.left, w);
    EXPECT_EQ(rc.bottom - rc.top, h);
}

class MessageBoxTest : public ::testing::Test {
protected:
    void SetUp() override { nvtest::MouseMoveTo(3, 3); }
};

TEST_F(MessageBoxTest, StyleZeroShowsTheInformationIconAndOnlyTheOkButton) {
    Observed seen;
    OkLook ok;
    const INT_PTR result = RunBox(
        L"Please set up Windows account password in Sign-in options.", 0, L"", seen,
        [&ok](HWND box) { HoverPressAndRelease(box, ok); }, L"msgbox-style-00");
    ASSERT_NE(seen.box, nullptr) << "no box appeared";
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(ok.hoverFill, 0x928A20u) << "hover fill";
    EXPECT_EQ(ok.hoverEdge, 0x999999u) << "hover border";
    EXPECT_EQ(ok.pressedFill, 0xC2B82Bu) << "pressed fill";
    EXPECT_EQ(ok.pressedEdge, 0xC2B82Bu) << "no border while pressed";
    EXPECT_EQ(seen.client.right, 480);
    EXPECT_EQ(seen.client.bottom, 270);
    EXPECT_NE(seen.exStyle & WS_EX_TOOLWINDOW, 0);
    EXPECT_EQ(seen.title, L"Norvik Fingerprint") << "the default title";
    ExpectRect(seen.iconRect, 30, 98, 42, 42);
    EXPECT_EQ(seen.iconProbe, RGB(30, 62, 128)) << "the dark blue circle of bitmap 276";
    ExpectRect(seen.textRect, 100, 90, 350, 60);
    ExpectRect(seen.okRect, 30, 205, 420, 45);
    EXPECT_EQ(seen.okText, L"OK");
    EXPECT_EQ(seen.okFill, 0xB3977Fu);
    ExpectRect(seen.closeRect, 442, 20, 18, 18);
    EXPECT_FALSE(seen.linkVisible);
    EXPECT_FALSE(seen.secondButtonVisible);
    EXPECT_EQ(seen.band, 0x2E2827u);
    EXPECT_EQ(seen.accent, 0xC2B82Bu);
    EXPECT_EQ(seen.background, 0xF0F0F0u);
    EXPECT_FALSE(seen.screenshot.empty());
}

TEST_F(MessageBoxTest, TheTitleLabelIsExactlyAsWideAsItsTextAndOnOneLine) {
    Observed seen;
    const wchar_t title[] = L"Unable to detect fingerprint device";
    RunBox(
        L"Unable to detect fingerprint device. Please press \"OK\" to exit Norvik Fingerprint.", 0x04, title,
        seen, [](HWND box) { nvtest::PostKey(box, VK_RETURN); }, L"msgbox-style-04");
    ASSERT_NE(seen.box, nullptr);
    EXPECT_EQ(seen.title, title);
    EXPECT_EQ(seen.titleRect.left, 30);
    EXPECT_EQ(seen.titleRect.top, 16);
    EXPECT_EQ(seen.titleRect.bottom - seen.titleRect.top, 24);
    EXPECT_EQ(seen.titleRect.right - seen.titleRect.left, seen.titleTextSize.cx);
    EXPECT_GT(seen.titleTextSize.cx, 250);
    EXPECT_EQ(seen.iconProbe, RGB(215, 45, 45)) << "the red circle of bitmap 217";

    // A title too long for the band at 24 pixels (Greek) is set smaller on the same line, and
    // ends before the close picture with a gap.
    Observed greek;
    const wchar_t longTitle[] =
        L"\u0394\u03B5\u03BD \u03B5\u03BD\u03C4\u03BF\u03C0\u03AF\u03C3\u03C4\u03B7\u03BA\u03B5 "
        L"\u03C3\u03C5\u03C3\u03BA\u03B5\u03C5\u03AE "
        L"\u03B4\u03B1\u03BA\u03C4\u03C5\u03BB\u03B9\u03BA\u03CE\u03BD "
        L"\u03B1\u03C0\u03BF\u03C4\u03C5\u03C0\u03C9\u03BC\u03AC\u03C4\u03C9\u03BD";
    RunBox(
        L"Text", 0x04, longTitle, greek, [](HWND box) { nvtest::PostKey(box, VK_RETURN); },
        L"msgbox-long-title");
    ASSERT_NE(greek.box, nullptr);
    EXPECT_EQ(greek.title, longTitle);
    const int size = greek.titleRect.bottom - greek.titleRect.top;
    EXPECT_LT(size, 24);
    EXPECT_GE(size, 14);
    EXPECT_EQ(greek.titleRect.top, 16 + (24 - size) / 2) << "on the line of a title of 24";
    EXPECT_LE(greek.titleRect.right, greek.closeRect.left - 8);
    EXPECT_EQ(greek.titleRect.right - greek.titleRect.left,
              Measure(nullptr, longTitle, L"Segoe UI Semibold", size).cx)
        << "the whole title, in the smaller font";
}

TEST_F(MessageBoxTest, AnotherFingerShowsTheLinkUnderATwoLineTextAndReturnsEleven) {
    Observed seen;
    const INT_PTR result = RunBox(
        L"This fingerprint has already been enroll on this system.", 0x81, L"Fingerprint already exist", seen,
        [](HWND box) { nvtest::ClickControl(box, IDC_MSGBOX_ANOTHER); }, L"msgbox-style-81");
    ASSERT_NE(seen.box, nullptr);
    EXPECT_EQ(result, MSGBOX_RESULT_ANOTHER);
    ExpectRect(seen.textRect, 100, 90, 350, 40);
    EXPECT_TRUE(seen.linkVisible);
    ExpectRect(seen.linkRect, 100, 135, 350, 20);
    EXPECT_EQ(seen.linkText, L"Scan another finger");
    EXPECT_GT(seen.linkInk, 100) << "the link's colour";
    EXPECT_TRUE(seen.linkUnderlined);
    EXPECT_EQ(seen.iconProbe, RGB(30, 62, 128));
}

TEST_F(MessageBoxTest, SuccessWithTheLinkAndTheCloseButtonCancels) {
    Observed seen;
    const INT_PTR result = RunBox(
        L"Please click \"OK\" to enroll the scanned fingerprints and complete the enrollment process.", 0x88,
        L"Scanned Fingerprints: 3", seen, [](HWND box) { nvtest::ClickControl(box, IDC_MSGBOX_CLOSE); },
        L"msgbox-style-88");
    ASSERT_NE(seen.box, nullptr);
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_TRUE(seen.linkVisible);
    EXPECT_EQ(seen.iconProbe, RGB(43, 184, 194)) << "the teal circle of bitmap 275";
    // The sentence takes three lines; with the link below it, none of them is cut off.
    EXPECT_GT(seen.textNeeds, 40);
    EXPECT_GE(seen.textRect.bottom - seen.textRect.top, seen.textNeeds);
    EXPECT_GE(seen.linkRect.top, seen.textRect.bottom);
    EXPECT_LE(seen.linkRect.bottom, seen.okRect.top) << "above the OK button, inside the box";
    EXPECT_TRUE(seen.linkUnderlined);
}

TEST_F(MessageBoxTest, EnterGivesOkAndEscapeGivesCancel) {
    Observed first, second;
    EXPECT_EQ(RunBox(
                  L"Enter", 0x02, L"Question", first, [](HWND box) { nvtest::PostKey(box, VK_RETURN); },
                  L"msgbox-style-02"),
              IDOK);
    EXPECT_EQ(first.iconProbe, RGB(240, 140, 30)) << "the orange circle of bitmap 216";
    EXPECT_EQ(RunBox(
                  L"Escape", 0x08, L"", second, [](HWND box) { nvtest::PostKey(box, VK_ESCAPE); },
                  L"msgbox-style-08"),
              IDCANCEL);
    EXPECT_EQ(second.iconProbe, RGB(43, 184, 194));
}

TEST_F(MessageBoxTest, SeveralIconBitsShowTheLastOfTheOrder) {
    Observed seen;
    RunBox(
        L"Error and information", 0x05, L"", seen, [](HWND box) { nvtest::PostKey(box, VK_ESCAPE); },
        L"msgbox-style-05");
    EXPECT_EQ(seen.iconProbe, RGB(30, 62, 128)) << "information comes after error";
    Observed info;
    RunBox(
        L"Information", 0x01, L"", info, [](HWND box) { nvtest::PostKey(box, VK_ESCAPE); },
        L"msgbox-style-01");
    EXPECT_EQ(info.iconProbe, RGB(30, 62, 128));
}

// The keyboard alone: the focus starts on OK and Tab goes on to the link and the close button and
// round again (Shift+Tab back); Space or Enter presses the one that has it, Escape cancels.
TEST_F(MessageBoxTest, TabReachesEveryAnswerAndSpaceOrEnterPressesIt) {
    const struct {
        int tabs; // negative: Shift+Tab
        WORD key;
        INT_PTR expected;
    } rows[] = {
        {0, VK_RETURN, IDOK},
        {0, VK_SPACE, IDOK},
        {1, VK_SPACE, MSGBOX_RESULT_ANOTHER},
        {1, VK_RETURN, MSGBOX_RESULT_ANOTHER},
        {2, VK_SPACE, IDCANCEL},
        {2, VK_RETURN, IDCANCEL},
        {3, VK_SPACE, IDOK},
        {-1, VK_RETURN, IDCANCEL},
        {1, VK_ESCAPE, IDCANCEL},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE("tabs " + std::to_string(row.tabs) + ", key " + std::to_string(row.key));
        Observed seen;
        const INT_PTR result = RunBox(L"This fingerprint has already been enroll on this system.", 0x81,
                                      L"Fingerprint already exist", seen, [&](HWND box) {
                                          for (int i = 0; i < (row.tabs < 0 ? -row.tabs : row.tabs); ++i)
                                              TypeKey(VK_TAB, row.tabs < 0);
                                          if (row.tabs == 1 && row.key == VK_SPACE)
                                              nvtest::SaveWindowPng(box, L"msgbox-focus-on-link");
                                          TypeKey(row.key);
                                      });
        ASSERT_NE(seen.box, nullptr);
        EXPECT_EQ(result, row.expected);
    }
}

// As the program has it: the overlay over the active window, then the box.
TEST_F(MessageBoxTest, OverTheOverlayTheActiveWindowOwnsTheBoxIsDisabledAndCannotTakeTheActivation) {
    // An active window that the box takes as its owner.
    nvtest::OwnerWindow owner;
    owner.Open(100, 60, false);
    CDlgBlackWnd overlay;
    ASSERT_TRUE(overlay.Cover(owner.GetSafeHwnd()));
    nvtest::PumpFor(50);
    ASSERT_EQ(GetActiveWindow(), owner.GetSafeHwnd()) << "the overlay took the activation";
    const HWND ownerHwnd = owner.GetSafeHwnd(), overlayHwnd = overlay.GetSafeHwnd();
    Observed seen;
    RECT boxRect = {};
    HWND foreground = nullptr, foregroundAfter = nullptr;
    bool stacked = false, stackedAfter = false, activated = false;
    EXPECT_EQ(RunBox(L"Owned", 0, L"", seen,
                     [&](HWND box) {
                         GetWindowRect(box, &boxRect);
                         foreground = GetForegroundWindow();
                         stacked =
                             nvtest::IsAbove(box, overlayHwnd) && nvtest::IsAbove(overlayHwnd, ownerHwnd);
                         // The owner brought forward by another program, as by the taskbar or Alt+Tab.
                         activated = testwin::DriverOk(L"activate --hwnd " + testwin::HandleText(ownerHwnd));
                         testwin::WaitUntil([box] { return GetForegroundWindow() == box; }, 3000);
                         foregroundAfter = GetForegroundWindow();
                         stackedAfter =
                             nvtest::IsAbove(box, overlayHwnd) && nvtest::IsAbove(overlayHwnd, ownerHwnd);
                         nvtest::ClickControl(box, IDC_MSGBOX_BUTTON1);
                     }),
              IDOK)
        << "the box's OK is still reachable";
    EXPECT_EQ(seen.owner, ownerHwnd);
    EXPECT_FALSE(seen.ownerEnabled);
    EXPECT_EQ(foreground, seen.box);
    EXPECT_TRUE(stacked) << "the box above the overlay above its owner";
    EXPECT_TRUE(activated);
    EXPECT_EQ(foregroundAfter, seen.box) << "the activation went back to the box";
    EXPECT_TRUE(stackedAfter);
    EXPECT_TRUE(IsWindowEnabled(ownerHwnd));
    RECT ownerRect = {};
    GetWindowRect(ownerHwnd, &ownerRect);
    EXPECT_NEAR((boxRect.left + boxRect.right) / 2.0, (ownerRect.left + ownerRect.right) / 2.0, 1.0);
    EXPECT_NEAR((boxRect.top + boxRect.bottom) / 2.0, (ownerRect.top + ownerRect.bottom) / 2.0, 1.0);
}

// --- High contrast. Wine reports it off whatever is set, so the test answers the theme's query
// itself; the system colours are set to ones that no role has in the normal look.

std::atomic<bool> g_highContrast{false};
bool TestHighContrast() {
    return g_highContrast;
}

struct Look {
    COLORREF band = 0, accent = 0, background = 0, textGround = 0, okFill = 0, okEdge = 0, closeMiddle = 0;
    int textInk = 0, titleInk = 0, linkInk = 0;
};

int CountColour(HWND control, COLORREF colour) {
    RECT client = {};
    GetClientRect(control, &client);
    int count = 0;
    for (int y = 0; y < client.bottom; ++y)
        for (int x = 0; x < client.right; ++x)
            count += nvtest::ClientPixel(control, x, y) == colour ? 1 : 0;
    return count;
}

Look ReadLook(HWND box, COLORREF text, COLORREF titleText, COLORREF link) {
    Look look;
    look.band = nvtest::ClientPixel(box, 470, 50);
    look.accent = nvtest::ClientPixel(box, 240, 57);
    look.background = nvtest::ClientPixel(box, 15, 180);
    look.textGround = nvtest::ClientPixel(GetDlgItem(box, IDC_MSGBOX_TEXT), 1, 1);
    look.okFill = nvtest::ClientPixel(GetDlgItem(box, IDC_MSGBOX_BUTTON1), 10, 10);
    look.okEdge = nvtest::ClientPixel(GetDlgItem(box, IDC_MSGBOX_BUTTON1), 0, 20);
    look.closeMiddle = nvtest::ClientPixel(GetDlgItem(box, IDC_MSGBOX_CLOSE), 9, 9);
    look.textInk = CountColour(GetDlgItem(box, IDC_MSGBOX_TEXT), text);
    look.titleInk = CountColour(GetDlgItem(box, IDC_MSGBOX_TITLE), titleText);
    look.linkInk = CountColour(GetDlgItem(box, IDC_MSGBOX_ANOTHER), link);
    return look;
}

TEST_F(MessageBoxTest, InHighContrastEveryRoleTakesItsSystemColourOnceTheSettingSaysSo) {
    const int elements[] = {COLOR_WINDOW,    COLOR_WINDOWTEXT,    COLOR_BTNFACE,  COLOR_BTNTEXT,
                            COLOR_HIGHLIGHT, COLOR_HIGHLIGHTTEXT, COLOR_HOTLIGHT, COLOR_GRAYTEXT};
    const COLORREF contrast[] = {0x000000, 0xFFFFFF, 0x202020, 0x00FFFF,
                                 0x800080, 0xFFFFFE, 0x00FF00, 0x808080};
    COLORREF saved[std::size(elements)] = {};
    for (std::size_t i = 0; i < std::size(elements); ++i)
        saved[i] = GetSysColor(elements[i]);
    ASSERT_TRUE(SetSysColors(static_cast<int>(std::size(elements)), elements, contrast));
    g_highContrast = false;
    nvtheme::SetHighContrastQuery(&TestHighContrast);

    Observed seen;
    Look normal, high;
    const INT_PTR result =
        RunBox(L"Please click \"OK\" to enroll the scanned fingerprints and complete the enrollment process.",
               0x88, L"Scanned Fingerprints: 3", seen, [&](HWND box) {
                   normal = ReadLook(box, 0xFFFFFF, 0xFFFFFE, 0x00FF00);
                   // The user turns high contrast on while the box is up.
                   g_highContrast = true;
                   SendMessageW(box, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
                   Sleep(300);
                   high = ReadLook(box, 0xFFFFFF, 0xFFFFFE, 0x00FF00);
                   nvtest::SaveWindowPng(box, L"msgbox-high-contrast");
                   nvtest::PostKey(box, VK_ESCAPE);
               });
    nvtheme::SetHighContrastQuery(nullptr);
    SetSysColors(static_cast<int>(std::size(elements)), elements, saved);
    ASSERT_NE(seen.box, nullptr);
    EXPECT_EQ(result, IDCANCEL);

    // Before: the program's own palette, whatever the system colours.
    EXPECT_EQ(normal.band, 0x2E2827u);
    EXPECT_EQ(normal.background, 0xF0F0F0u);
    EXPECT_EQ(normal.okFill, 0xB3977Fu);
    EXPECT_EQ(normal.linkInk, 0);
    // After: every role in its system colour.
    EXPECT_EQ(high.band, 0x800080u) << "the band: highlight";
    EXPECT_GT(high.titleInk, 10) << "the title: highlight text";
    EXPECT_EQ(high.accent, 0xFFFFFFu) << "the line under the band: window text";
    EXPECT_EQ(high.background, 0x000000u) << "the dialog: window";
    EXPECT_EQ(high.textGround, 0x000000u) << "behind the text: window";
    EXPECT_GT(high.textInk, 10) << "the text: window text";
    EXPECT_EQ(high.okFill, 0x202020u) << "the command: button face";
    EXPECT_EQ(high.okEdge, 0x00FFFFu) << "framed in button text";
    EXPECT_GT(high.linkInk, 10) << "the link: hot-light";
    EXPECT_EQ(high.closeMiddle, 0xFFFFFEu) << "the close picture, drawn in highlight text";
}

} // namespace
