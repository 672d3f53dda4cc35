// The shared look of the dialogs: painting the band and styling the title and the commands.
#include "ui/Theme.h"

#include "base/Win32Handle.h"
#include "resources/ResourceIds.h"
#include "ui/LabelStyle.h"

namespace nvtheme {

void FillSolid(HDC dc, const RECT& rc, COLORREF colour) {
    if (IsRectEmpty(&rc))
        return;
    if (const nvwin::GdiObject<HBRUSH> brush(CreateSolidBrush(colour)); brush)
        FillRect(dc, &rc, brush.Get());
}

void PaintTitleBand(HDC dc, int width) {
    FillSolid(dc, TitleBandRect(width), kTitleBand);
    FillSolid(dc, AccentLineRect(width), kAccent);
}

void SetTitleLabel(CFontStatic& title, const wchar_t* text) {
    title.SetLabel(text, kTitleFace, kTitleSize, kTitleText, kTitleBand, 0);
    title.MoveWindow(30, 16, title.GetTextExtent().cx, kTitleSize);
}

void PlaceCloseButton(CHoverPicBtn& close, int width) {
    close.SetBitmaps(IDB_CLOSE, IDB_CLOSE_HOVER);
    close.MoveWindow(width - 38, 20, 18, 18);
}

void SetCommandLabel(CFontStatic& label, const wchar_t* text) {
    label.SetLabel(text, kFace, kTextSize, kActiveCommand.text, kActiveCommand.back, LS_CENTER | LS_VCENTER);
    ApplyCommandLook(label, true);
}

void ApplyCommandLook(CFontStatic& label, bool active) {
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
