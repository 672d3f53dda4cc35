// The shared look of the dialogs: the palette and its high-contrast counterpart, painting the
// band, and styling the title and the commands.
#include "ui/Theme.h"

#include "base/Win32Handle.h"
#include "resources/ResourceIds.h"
#include "ui/LabelStyle.h"
#include "ui/PictureSource.h"

#include <algorithm>

namespace nvtheme {

namespace {

bool SystemHighContrast() {
    HIGHCONTRASTW setting = {};
    setting.cbSize = sizeof setting;
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof setting, &setting, 0) != FALSE &&
           (setting.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

HighContrastQuery g_query = &SystemHighContrast;

// -1 until the first read.
int g_highContrast = -1;

nvbmp::Rgba ToRgba(COLORREF colour) {
    return {GetRValue(colour), GetGValue(colour), GetBValue(colour), 255};
}

} // namespace

bool HighContrast() {
    if (g_highContrast < 0)
        g_highContrast = g_query() ? 1 : 0;
    return g_highContrast != 0;
}

bool RefreshHighContrast() {
    const int before = g_highContrast;
    g_highContrast = g_query() ? 1 : 0;
    // The system colours may have changed under the same setting: drawings in them go either way.
    if (g_highContrast != 0 || before != g_highContrast)
        nvui::ForgetDrawnPictures();
    return before != g_highContrast;
}

void SetHighContrastQuery(HighContrastQuery query) {
    g_query = query != nullptr ? query : &SystemHighContrast;
    g_highContrast = -1;
    nvui::ForgetDrawnPictures();
}

COLORREF Colour(Role role) {
    if (HighContrast()) {
        switch (role) {
        case Role::Background:
        case Role::Panel:
            return GetSysColor(COLOR_WINDOW);
        case Role::TitleBand:
            return GetSysColor(COLOR_HIGHLIGHT);
        case Role::TitleText:
            return GetSysColor(COLOR_HIGHLIGHTTEXT);
        case Role::Link:
            return GetSysColor(COLOR_HOTLIGHT);
        case Role::Text:
        case Role::AccentLine:
        case Role::Count:
        default:
            return GetSysColor(COLOR_WINDOWTEXT);
        }
    }
    switch (role) {
    case Role::Background:
        return kBackground;
    case Role::Panel:
        return kPanel;
    case Role::TitleBand:
        return kTitleBand;
    case Role::TitleText:
        return kTitleText;
    case Role::AccentLine:
        return kAccent;
    case Role::Link:
        return kLink;
    case Role::Count:
        return kCount;
    case Role::Text:
    default:
        return kText;
    }
}

nvbmp::PicturePalette PictureColours() {
    if (!HighContrast())
        return nvbmp::kNormalPalette;
    // The pictures on the band take its colours; the rest are drawn in highlight and its text on
    // the window colour, and the side picture, which only decorates, is left out.
    const nvbmp::Rgba window = ToRgba(GetSysColor(COLOR_WINDOW));
    const nvbmp::Rgba highlight = ToRgba(GetSysColor(COLOR_HIGHLIGHT));
    const nvbmp::Rgba highlightText = ToRgba(GetSysColor(COLOR_HIGHLIGHTTEXT));
    return {highlight,     window,    highlight, highlightText, highlightText,
            highlightText, highlight, highlight, highlight,     false};
}

void FillSolid(HDC dc, const RECT& rc, COLORREF colour) {
    if (IsRectEmpty(&rc))
        return;
    if (const nvwin::GdiObject<HBRUSH> brush(CreateSolidBrush(colour)); brush)
        FillRect(dc, &rc, brush.Get());
}

void PaintTitleBand(HDC dc, int width) {
    FillSolid(dc, TitleBandRect(width), Colour(Role::TitleBand));
    FillSolid(dc, AccentLineRect(width), Colour(Role::AccentLine));
}

namespace {
// The title bar's pictures: 18 pixels square, 20 from the top, one every 38 from the right edge.
constexpr int kTitleButtonSize = 18;
constexpr int kTitleButtonStep = 38;
constexpr int kTitleButtonTop = 20;
// The title starts at (30, 16) and ends at least 8 before the first picture.
constexpr int kTitleLeft = 30;
constexpr int kTitleTop = 16;
constexpr int kTitleGap = 8;
} // namespace

void SetTitleLabel(CFontStatic& title, const wchar_t* text, int width, int pictures) {
    const COLORREF ink = Colour(Role::TitleText), band = Colour(Role::TitleBand);
    title.SetLabel(text, kTitleFace, kTitleSize, ink, band, 0);
    // The room ends a gap before the first picture, measured at the display's scale: text widths
    // do not scale exactly with the font.
    const int room = Px(width - pictures * kTitleButtonStep - kTitleGap) - Px(kTitleLeft);
    int size = kTitleSize;
    while (size > kTitleMinSize && title.GetTextExtent().cx > room) {
        --size;
        title.SetLabelFont(kTitleFace, size, ink, 0);
    }
    // As wide as the text in the scaled font, which need not be the scaled width of the text.
    const RECT at = ScaleBox(kTitleLeft, kTitleTop + (kTitleSize - size) / 2, 0, size);
    title.MoveWindow(at.left, at.top, std::min<int>(title.GetTextExtent().cx, room), at.bottom - at.top);
}

void PlaceCloseButton(CHoverPicBtn& close, int width) {
    close.SetBitmaps(IDB_CLOSE, IDB_CLOSE_HOVER);
    close.MoveWindow(ScaleBox(width - kTitleButtonStep, kTitleButtonTop, kTitleButtonSize, kTitleButtonSize));
}

void PlaceMinimizeButton(CHoverPicBtn& minimize, int width) {
    minimize.SetBitmaps(IDB_MINIMIZE, IDB_MINIMIZE_HOVER);
    minimize.MoveWindow(
        ScaleBox(width - 2 * kTitleButtonStep, kTitleButtonTop, kTitleButtonSize, kTitleButtonSize));
}

void SetCommandLabel(CFontStatic& label, const wchar_t* text) {
    label.SetLabel(text, kFace, kTextSize, kActiveCommand.text, kActiveCommand.back, LS_CENTER | LS_VCENTER);
    ApplyCommandLook(label, true);
}

void ApplyCommandLook(CFontStatic& label, bool active) {
    if (HighContrast()) {
        // Button face and text, framed so that the command stands out of the window around it;
        // highlight under the pointer; grey text when it takes no clicks.
        const COLORREF face = GetSysColor(COLOR_BTNFACE), text = GetSysColor(COLOR_BTNTEXT);
        label.SetBackColor(face);
        label.SetFrameColor(text, true);
        label.SetTextColor(active ? text : GetSysColor(COLOR_GRAYTEXT));
        if (active) {
            const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT),
                           highlightText = GetSysColor(COLOR_HIGHLIGHTTEXT);
            label.SetHoverColors(highlightText, highlight, 0);
            label.SetPressedColors(highlightText, highlight, 0);
            label.EnableClick();
        } else {
            label.ClearHoverColors();
            label.ClearPressedColors();
            label.DisableClick();
        }
        return;
    }
    label.SetFrameColor(0, false);
    if (active) {
        const CommandLook& look = kActiveCommand;
        label.SetBackColor(look.back);
        label.SetTextColor(look.text);
        label.SetHoverColors(look.hoverText, look.hoverFill, look.hoverBorder);
        label.SetPressedColors(look.pressedText, look.pressedFill, look.pressedBorder);
        label.EnableClick();
    } else {
        label.SetBackColor(kInactiveCommandBack);
        label.SetTextColor(kInactiveCommandText);
        label.ClearHoverColors();
        label.ClearPressedColors();
        label.DisableClick();
    }
}

} // namespace nvtheme
