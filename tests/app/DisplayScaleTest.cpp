// The real program at the display scale of its prefix (NV_TEST_DPI; at-dpi.sh sets the prefix's
// LogPixels to it): the main window, the overlay, the enrolment dialog and the message box, each
// window and each control its 96-dpi self times dpi/96 within a pixel, the texts in fonts of the
// scaled height, and nothing outside its window. Screenshots of each are artefacts.
#include "tests/support/ProgramTestFixture.h"

#include <cstdlib>
#include <string>

namespace apptest {
namespace {

constexpr COLORREF kHeader = 0x2E2827, kAccent = 0xC2B82B, kPanel = 0xFFFFFF, kBack = 0xF0F0F0;

int TestDpi() {
    const char* dpi = std::getenv("NV_TEST_DPI");
    return dpi != nullptr ? std::atoi(dpi) : 96;
}

int Scaled(int length) {
    return MulDiv(length, TestDpi(), 96);
}

// A control where the layout puts it at 96 dpi; -1 for a width or height its text decides.
struct At96 {
    int id, x, y, width, height;
};

void ExpectScaled(HWND window, const At96& at) {
    SCOPED_TRACE("control " + std::to_string(at.id));
    const RECT rc = ControlRect(window, at.id);
    if (at.x >= 0) {
        EXPECT_NEAR(rc.left, Scaled(at.x), 1);
    }
    if (at.y >= 0) {
        EXPECT_NEAR(rc.top, Scaled(at.y), 1);
    }
    if (at.width >= 0) {
        EXPECT_NEAR(rc.right - rc.left, Scaled(at.x + at.width) - Scaled(at.x), 1);
    }
    if (at.height >= 0) {
        EXPECT_NEAR(rc.bottom - rc.top, Scaled(at.height), 1);
    }
}

// The client size, scaled, and every shown control inside it.
void ExpectWindow(HWND window, int width, int height) {
    const SIZE client = ClientSize(window);
    EXPECT_NEAR(client.cx, Scaled(width), 1);
    EXPECT_NEAR(client.cy, Scaled(height), 1);
    for (const ControlInfo& c : Controls(window)) {
        if (!c.visible)
            continue;
        EXPECT_GE(c.rc.left, 0) << "control " << c.id;
        EXPECT_GE(c.rc.top, 0) << "control " << c.id;
        EXPECT_LE(c.rc.right, client.cx) << "control " << c.id;
        EXPECT_LE(c.rc.bottom, client.cy) << "control " << c.id;
    }
}

// The size of a text in a label's font of `size` pixels at 96 dpi taken to the test's scale.
SIZE TextExtent(const std::wstring& text, int size, const wchar_t* face = L"Segoe UI") {
    HFONT font =
        CreateFontW(Scaled(size), 0, 0, 0, 400, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_CHARACTER_PRECIS,
                    CLIP_CHARACTER_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face);
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE extent = {};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    DeleteObject(font);
    return extent;
}

// A label sized to its text: as wide and as tall as the text in the scaled font.
void ExpectSizedToText(HWND window, int id, int size, const wchar_t* face = L"Segoe UI") {
    const RECT rc = ControlRect(window, id);
    const SIZE text = TextExtent(ControlText(window, id), size, face);
    EXPECT_NEAR(rc.right - rc.left, text.cx, 1) << "control " << id;
    EXPECT_NEAR(rc.bottom - rc.top, text.cy, 1) << "control " << id;
}

using DisplayScale = ProgramTest;

TEST_F(DisplayScale, EveryWindowAndControlIsItsNinetySixDpiSelfTimesTheScale) {
    const int dpi = TestDpi();
    HDC screen = GetDC(nullptr);
    const int screenDpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    ASSERT_EQ(screenDpi, dpi) << "the prefix is not at the scale of this run";
    const std::wstring tag = L"scale-" + std::to_wstring(dpi) + L"-";

    HWND main = StartReady();
    ASSERT_NE(main, nullptr);
    MouseAway();
    ExpectWindow(main, 716, 520);
    for (const At96& at : std::initializer_list<At96>{{IDC_MAIN_TITLE, 30, 16, -1, 24},
                                                      {IDC_MAIN_CLOSE, 678, 20, 18, 18},
                                                      {IDC_MAIN_MINIMIZE, 640, 20, 18, 18},
                                                      {IDC_MAIN_SIDE_PICTURE, 0, 60, 266, 460},
                                                      {IDC_MAIN_COUNT, 284, 96, -1, -1},
                                                      {IDC_MAIN_ENROLL_HINT, 284, -1, 400, -1},
                                                      {IDC_MAIN_ENROLL, 266, 246, 420, 45},
                                                      {IDC_MAIN_CLEAR_HINT, 284, 327, -1, -1},
                                                      {IDC_MAIN_CLEAR, 266, 455, 420, 45}})
        ExpectScaled(main, at);
    // The count is as tall as its font, which is 20 pixels at 96 dpi taken to the scale.
    const RECT count = ControlRect(main, IDC_MAIN_COUNT);
    EXPECT_EQ(count.bottom - count.top, TextExtent(L"10/10", 20).cy);
    EXPECT_NEAR(count.bottom - count.top, Scaled(20), 1);
    ExpectSizedToText(main, IDC_MAIN_TITLE, 24, L"Segoe UI Semibold");
    ExpectSizedToText(main, IDC_MAIN_COUNT_TEXT, 20);
    ExpectSizedToText(main, IDC_MAIN_CLEAR_HINT, 20);
    // Band, line and panels meet as they do at 96 dpi: their edges are scaled, not their sizes.
    EXPECT_EQ(Pixel(main, Scaled(300), Scaled(56) - 1), kHeader);
    EXPECT_EQ(Pixel(main, Scaled(300), Scaled(56)), kAccent);
    EXPECT_EQ(Pixel(main, Scaled(300), Scaled(60) - 1), kAccent);
    EXPECT_EQ(Pixel(main, Scaled(300), Scaled(60)), kBack);
    EXPECT_EQ(Pixel(main, Scaled(266), Scaled(76)), kPanel);
    EXPECT_EQ(Pixel(main, Scaled(686) - 1, Scaled(232) - 1), kPanel);
    EXPECT_EQ(Pixel(main, Scaled(686), Scaled(200)), kBack);
    EXPECT_EQ(Pixel(main, Scaled(680), Scaled(232)), kBack);
    Screenshot(main, tag + L"main-window");

    ASSERT_TRUE(Click(main, IDC_MAIN_ENROLL));
    HWND dialog = m_program.WaitEnrollDialog(20000);
    ASSERT_NE(dialog, nullptr);
    MouseAway();
    Sleep(500);
    HWND overlay = m_program.Overlay();
    ASSERT_NE(overlay, nullptr);
    ExpectWindow(overlay, 716, 520);
    ExpectWindow(dialog, 480, 270);
    for (const At96& at : std::initializer_list<At96>{{IDC_ENROLL_TITLE, 30, 16, -1, 24},
                                                      {IDC_ENROLL_CLOSE, 442, 20, 18, 18},
                                                      {IDC_ENROLL_PICTURE, 2, 90, 96, 96},
                                                      {IDC_ENROLL_MESSAGE, 100, 90, 350, 80},
                                                      {IDC_ENROLL_CANCEL, 30, 205, 420, 45}})
        ExpectScaled(dialog, at);
    Screenshot(dialog, tag + L"enroll-dialog");

    for (int touch = 0; touch < 9; ++touch)
        ASSERT_TRUE(SimOk(L"touch --wait 10000 finger-s")) << touch;
    HWND box = m_program.WaitMessageBox(20000);
    ASSERT_NE(box, nullptr);
    Sleep(500);
    ExpectWindow(box, 480, 270);
    for (const At96& at : std::initializer_list<At96>{{IDC_MSGBOX_TITLE, 30, 16, -1, 24},
                                                      {IDC_MSGBOX_CLOSE, 442, 20, 18, 18},
                                                      {IDC_MSGBOX_ICON, 30, 98, 42, 42},
                                                      {IDC_MSGBOX_TEXT, 100, 90, 350, -1},
                                                      {IDC_MSGBOX_ANOTHER, 100, -1, 350, 20},
                                                      {IDC_MSGBOX_BUTTON1, 30, 205, 420, 45}})
        ExpectScaled(box, at);
    ExpectSizedToText(box, IDC_MSGBOX_TITLE, 24, L"Segoe UI Semibold");
    Screenshot(box, tag + L"success-box");
    ASSERT_TRUE(ClickBoxOk(box));
    EXPECT_TRUE(WaitUntil([&] { return CountText(main) == L" 1/10"; }, 10000));
}

} // namespace
} // namespace apptest
