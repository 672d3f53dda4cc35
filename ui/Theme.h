// The look the program's three dialogs share: one palette, the faces of their texts, the dark
// title band with its accent line, the two looks of a command drawn as a label, and the pictures.
// Lengths here are at 96 dpi; DisplayScale.h takes them to the display's scale. This is the one
// place that knows colours: in high contrast every role takes a system colour instead.
#pragma once

#include "base/Win32Handle.h"
#include "ui/DisplayScale.h"
#include "ui/FontStatic.h"
#include "ui/HoverPicBtn.h"
#include "ui/Pictures.h"

#include <windows.h>

namespace nvtheme {

// The normal palette. Colours are COLORREF values, 0x00BBGGRR.
inline constexpr COLORREF kBackground = 0xF0F0F0;
inline constexpr COLORREF kTitleBand = 0x2E2827;
inline constexpr COLORREF kAccent = 0xC2B82B;
inline constexpr COLORREF kPanel = 0xFFFFFF;
inline constexpr COLORREF kText = 0x000000;
inline constexpr COLORREF kTitleText = 0xFFFFFF;
inline constexpr COLORREF kLink = kAccent;
inline constexpr COLORREF kCount = 0x985000;

// What a colour is for. Colour() gives the palette's, or the system colour of the role while
// high contrast is on: window and window text for the background, panels and texts, highlight
// and its text for the band and its title, hot-light for the link.
enum class Role { Background, Panel, Text, TitleBand, TitleText, AccentLine, Link, Count };
COLORREF Colour(Role role);

// The colours the pictures are drawn in (see PictureSource.h).
nvbmp::PicturePalette PictureColours();

//--- High contrast

// Whether the high-contrast look is on, as last read: on the first call, then again by
// RefreshHighContrast, which the dialogs call when the system colours or settings change.
bool HighContrast();
// Reads the setting again; true when it changed.
bool RefreshHighContrast();
// Where the setting is read: SPI_GETHIGHCONTRAST unless replaced. Wine reports high contrast
// off whatever is set, so a test that must see the high-contrast look puts its own query here.
using HighContrastQuery = bool (*)();
void SetHighContrastQuery(HighContrastQuery query); // null: the system's again

inline constexpr wchar_t kFace[] = L"Segoe UI";
inline constexpr wchar_t kTitleFace[] = L"Segoe UI Semibold";
inline constexpr int kTextSize = 20;
inline constexpr int kTitleSize = 24;

// The band across the top of every dialog and the line under it, for a dialog `width` pixels
// wide at 96 dpi; the rectangles are at the display's scale.
inline constexpr int kBandHeight = 56;
inline constexpr int kAccentHeight = 4;
inline RECT TitleBandRect(int width) {
    return ScaleRect(RECT{0, 0, width, kBandHeight});
}
inline RECT AccentLineRect(int width) {
    return ScaleRect(RECT{0, kBandHeight, width, kBandHeight + kAccentHeight});
}

// A command drawn as a label: its face at rest, under the pointer and while pressed.
struct CommandLook {
    COLORREF back, text;
    COLORREF hoverText, hoverFill, hoverBorder;
    COLORREF pressedText, pressedFill, pressedBorder;
};
inline constexpr CommandLook kActiveCommand = {0xB3977F, 0xFFFFFF, 0xE7E3AA, 0x928A20,
                                               0x999999, 0xFFFFFF, 0xC2B82B, 0};
// An inactive command has no hover or pressed face and takes no clicks.
inline constexpr COLORREF kInactiveCommandBack = 0x3C3C3C;
inline constexpr COLORREF kInactiveCommandText = 0x717171;

// Fills rc with one colour; nothing when rc is empty or no brush can be had.
void FillSolid(HDC dc, const RECT& rc, COLORREF colour);
// The title band and the accent line of a dialog width pixels wide at 96 dpi.
void PaintTitleBand(HDC dc, int width);

// The title on the band of a dialog `width` pixels wide at 96 dpi, with `pictures` title bar
// pictures at its right: white, at (30, 16), as wide as its text and 24 high. A title longer
// than the band has room for before the pictures (a translation) is set smaller, down to 14, and
// centred on the same line.
inline constexpr int kTitleMinSize = 14;
void SetTitleLabel(CFontStatic& title, const wchar_t* text, int width, int pictures = 1);
// The close picture in the band's top right corner of a dialog width pixels wide at 96 dpi, and
// the minimise picture left of it.
void PlaceCloseButton(CHoverPicBtn& close, int width);
void PlaceMinimizeButton(CHoverPicBtn& minimize, int width);
// A command label, centred text, in the active look.
void SetCommandLabel(CFontStatic& label, const wchar_t* text);
// Switches a command label between the active look, which takes clicks, and the inactive one.
void ApplyCommandLook(CFontStatic& label, bool active);

} // namespace nvtheme
