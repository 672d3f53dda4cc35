// CFontStatic: a static control drawn as a label with its own font, colours and alignment,
// which can also act as a flat button: hover and pressed colours, and WM_LABEL_CLICKED sent to
// the parent (wParam = the control id) when a click ends on it. As a command it takes the
// keyboard focus and Space or Enter too (see AccessibleStatic.h).
#pragma once

#include "ui/AccessibleStatic.h"
#include "ui/LabelStyle.h"

#include <string>

inline constexpr UINT WM_LABEL_CLICKED = 0x806;

class CFontStatic : public CAccessibleStatic {
public:
    CFontStatic() = default;

    // Sizes are font heights in pixels at 96 dpi; the label draws them at the display's scale.
    void SetLabel(const wchar_t* text, const wchar_t* faceName, int size, COLORREF textColour,
                  COLORREF backColour, std::uint32_t flags);
    void SetLabelFont(const wchar_t* faceName, int size, COLORREF textColour, std::uint32_t flags);
    void SetLabelText(const wchar_t* text);
    void SetTextColor(COLORREF colour);
    void SetBackColor(COLORREF colour);
    // A border colour of 0 means no border.
    void SetHoverColors(COLORREF text, COLORREF fill, COLORREF border);
    void ClearHoverColors();
    void SetPressedColors(COLORREF text, COLORREF fill, COLORREF border);
    void ClearPressedColors();
    // A frame drawn in every state that has no border of its own (a border of 0 is none there, so
    // a black frame needs the flag).
    void SetFrameColor(COLORREF colour, bool shown);
    void EnableClick() { m_nClickable = 1; }
    void DisableClick() { m_nClickable = 0; }
    // Applies the flags (see LabelStyle.h) and paints at once, which records the text extent.
    void SetStyle(std::uint32_t flags);

    // The single-line size of the text in the label's font, as of the last paint.
    SIZE GetTextExtent() const { return m_sizeText; }
    // The size `text` takes in the label's font: on one line, or, with a wrap width, broken at
    // word boundaries (inside a word wider than the line) into lines no wider than that, as the
    // label draws it.
    SIZE MeasureText(const wchar_t* text, int wrapWidth = 0) const;
    const std::wstring& GetLabelText() const { return m_strText; }
    const LabelStyle& GetStyle() const { return m_style; }
    bool IsHovered() const { return m_bHover; }
    bool IsPressed() const { return m_bPressed; }

protected:
    void PreSubclassWindow() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    std::wstring VisibleText() const override { return m_strText; }
    bool IsPressable() const override { return m_nClickable != 0; }
    void Press() override;

private:
    HFONT CreateLabelFont() const;
    // Where the focus cue goes: inside a button's edge, around the text of a left or right
    // aligned label (a link).
    RECT FocusCueRect(const RECT& client) const;
    void Paint(HDC target);
    void PaintNow();
    void Invalidate(bool erase);
    // The window text follows the label's text, for screen readers and UI automation; the
    // static's own painting is kept out of it.
    void SyncWindowText();

    std::wstring m_strText;
    LabelStyle m_style;
    std::wstring m_strFaceName = L"Arial Unicode MS";
    COLORREF m_clrText = 0x000000;
    COLORREF m_clrBack = 0xFFFFFF;
    int m_nSize = 8;
    SIZE m_sizeText = {0, 0};
    bool m_bHover = false;
    bool m_bPressed = false;
    bool m_bHoverColors = false;
    COLORREF m_clrHoverText = 0, m_clrHoverFill = 0, m_clrHoverBorder = 0;
    bool m_bPressedColors = false;
    COLORREF m_clrPressedText = 0, m_clrPressedFill = 0, m_clrPressedBorder = 0;
    int m_nClickable = 0;
    bool m_bFrame = false;
    COLORREF m_clrFrame = 0;
};
