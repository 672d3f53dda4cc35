// The owner-drawn label: painting into an off-screen bitmap, hover tracking and click rules.
#include "ui/FontStatic.h"

#include "base/Win32Handle.h"
#include "ui/DisplayScale.h"

#include <algorithm>
#include <cwchar>

void CFontStatic::SetLabel(const wchar_t* text, const wchar_t* faceName, int size, COLORREF textColour,
                           COLORREF backColour, std::uint32_t flags) {
    m_strText = text ? text : L"";
    m_strFaceName = faceName ? faceName : L"";
    m_nSize = size;
    m_clrText = textColour;
    m_clrBack = backColour;
    SyncWindowText();
    SetStyle(flags);
    Invalidate(true);
}

void CFontStatic::SetLabelFont(const wchar_t* faceName, int size, COLORREF textColour, std::uint32_t flags) {
    m_strFaceName = faceName ? faceName : L"";
    m_nSize = size;
    m_clrText = textColour;
    SetStyle(flags);
    Invalidate(true);
}

void CFontStatic::SetLabelText(const wchar_t* text) {
    const bool changed = m_strText != (text ? text : L"");
    m_strText = text ? text : L"";
    SyncWindowText();
    Invalidate(true);
    if (changed)
        NotifyNameChange();
}

void CFontStatic::SetTextColor(COLORREF colour) {
    m_clrText = colour;
    Invalidate(true);
}

void CFontStatic::SetBackColor(COLORREF colour) {
    m_clrBack = colour;
    Invalidate(true);
}

void CFontStatic::SetHoverColors(COLORREF text, COLORREF fill, COLORREF border) {
    m_bHoverColors = true;
    m_clrHoverText = text;
    m_clrHoverFill = fill;
    m_clrHoverBorder = border;
}

void CFontStatic::ClearHoverColors() {
    m_bHoverColors = false;
    m_clrHoverText = m_clrHoverFill = m_clrHoverBorder = 0;
    m_bHover = false;
}

void CFontStatic::SetPressedColors(COLORREF text, COLORREF fill, COLORREF border) {
    m_bPressedColors = true;
    m_clrPressedText = text;
    m_clrPressedFill = fill;
    m_clrPressedBorder = border;
}

void CFontStatic::ClearPressedColors() {
    m_bPressedColors = false;
    m_clrPressedText = m_clrPressedFill = m_clrPressedBorder = 0;
    m_bHover = false;
}

void CFontStatic::SetFrameColor(COLORREF colour, bool shown) {
    m_bFrame = shown;
    m_clrFrame = colour;
    Invalidate(true);
}

void CFontStatic::SetStyle(std::uint32_t flags) {
    ApplyLabelStyle(m_style, flags);
    PaintNow();
}

void CFontStatic::PreSubclassWindow() {
    const LONG_PTR style = GetWindowLongPtrW(m_hWnd, GWL_STYLE);
    SetWindowLongPtrW(m_hWnd, GWL_STYLE, style | SS_NOTIFY);
}

void CFontStatic::Invalidate(bool erase) {
    if (m_hWnd)
        InvalidateRect(m_hWnd, nullptr, erase ? TRUE : FALSE);
}

void CFontStatic::SyncWindowText() {
    if (m_hWnd)
        DefWindowProcW(m_hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(m_strText.c_str()));
}

void CFontStatic::PaintNow() {
    if (m_hWnd == nullptr)
        return;
    const nvwin::WindowDC dc(m_hWnd);
    if (dc)
        Paint(dc.Get());
}

HFONT CFontStatic::CreateLabelFont() const {
    return CreateFontW(nvtheme::Px(m_nSize), 0, 0, 0, m_style.bold ? 900 : 400, m_style.italic,
                       m_style.underline, m_style.strikeOut, DEFAULT_CHARSET, OUT_CHARACTER_PRECIS,
                       CLIP_CHARACTER_PRECIS, m_style.antiAlias ? ANTIALIASED_QUALITY : DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, m_strFaceName.c_str());
}

SIZE CFontStatic::MeasureText(const wchar_t* text, int wrapWidth) const {
    SIZE size = {0, 0};
    if (text == nullptr)
        return size;
    const nvwin::WindowDC dc(m_hWnd);
    if (!dc)
        return size;
    const nvwin::GdiObject<HFONT> font(CreateLabelFont());
    const nvwin::SelectGuard selectFont(dc.Get(), font.Get());
    const int length = static_cast<int>(wcslen(text));
    if (wrapWidth > 0) {
        RECT rc = {0, 0, wrapWidth, 0};
        DrawTextW(dc.Get(), text, length, &rc, DT_CALCRECT | DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX);
        size = {rc.right - rc.left, rc.bottom - rc.top};
    } else {
        GetTextExtentPoint32W(dc.Get(), text, length, &size);
    }
    return size;
}

void CFontStatic::Paint(HDC target) {
    RECT client = {};
    GetClientRect(m_hWnd, &client);
    const int width = client.right > 0 ? client.right : 1;
    const int height = client.bottom > 0 ? client.bottom : 1;

    const nvwin::MemoryDC memory(CreateCompatibleDC(target));
    const nvwin::GdiObject<HBITMAP> bitmap(CreateCompatibleBitmap(target, width, height));
    if (!memory || !bitmap)
        return;
    const nvwin::SelectGuard selectBitmap(memory.Get(), bitmap.Get());
    SetBkMode(memory.Get(), TRANSPARENT);

    COLORREF textColour = m_clrText, fill = m_clrBack, border = 0;
    if (m_bPressedColors && m_bPressed) {
        textColour = m_clrPressedText;
        fill = m_clrPressedFill;
        border = m_clrPressedBorder;
    } else if (m_bHoverColors && m_bHover) {
        textColour = m_clrHoverText;
        fill = m_clrHoverFill;
        border = m_clrHoverBorder;
    }
    bool drawBorder = border != 0;
    if (!drawBorder && m_bFrame) {
        border = m_clrFrame;
        drawBorder = true;
    }
    {
        const nvwin::GdiObject<HBRUSH> brush(CreateSolidBrush(fill));
        FillRect(memory.Get(), &client, brush.Get());
        if (drawBorder) {
            const nvwin::GdiObject<HPEN> pen(CreatePen(PS_SOLID, nvtheme::Px(3), border));
            const nvwin::SelectGuard selectPen(memory.Get(), pen.Get());
            const nvwin::SelectGuard selectBrush(memory.Get(), brush.Get());
            Rectangle(memory.Get(), client.left, client.top, client.right, client.bottom);
        }
    }

    const nvwin::GdiObject<HFONT> font(CreateLabelFont());
    if (font) {
        const nvwin::SelectGuard selectFont(memory.Get(), font.Get());
        ::SetTextColor(memory.Get(), textColour);
        const int length = static_cast<int>(m_strText.size());
        SIZE extent = {0, 0};
        if (GetTextExtentPoint32W(memory.Get(), m_strText.c_str(), length, &extent))
            m_sizeText = extent;
        RECT rc = client;
        if (m_style.vcenter) {
            RECT measure = client;
            DrawTextW(memory.Get(), m_strText.c_str(), length, &measure,
                      DT_CALCRECT | DT_WORDBREAK | DT_CENTER | DT_EDITCONTROL);
            const int textHeight = measure.bottom - measure.top;
            if (client.bottom - client.top > textHeight)
                rc.top += (client.bottom - client.top - textHeight) / 2;
        }
        const UINT align = m_style.center ? DT_CENTER : (m_style.right ? DT_RIGHT : DT_LEFT);
        // A word wider than the label (a script written without spaces) is broken inside, as an
        // edit control breaks it, instead of running past the edge.
        DrawTextW(memory.Get(), m_strText.c_str(), length, &rc,
                  align | DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX);
    }
    if (ShowsFocusCue()) {
        const RECT cue = FocusCueRect(client);
        DrawFocusRect(memory.Get(), &cue);
    }
    BitBlt(target, 0, 0, client.right, client.bottom, memory.Get(), 0, 0, SRCCOPY);
}

RECT CFontStatic::FocusCueRect(const RECT& client) const {
    RECT cue = client;
    if (m_style.center) {
        InflateRect(&cue, -nvtheme::Px(4), -nvtheme::Px(4));
        return cue;
    }
    const LONG width = std::min<LONG>(m_sizeText.cx + nvtheme::Px(2), client.right);
    if (m_style.right)
        cue.left = client.right - width;
    else
        cue.right = width;
    return cue;
}

void CFontStatic::Press() {
    // The same report as a click, and as inert when the label takes no clicks.
    if (m_nClickable && m_hWnd != nullptr)
        SendMessageW(GetParent(m_hWnd), WM_LABEL_CLICKED, static_cast<WPARAM>(::GetDlgCtrlID(m_hWnd)), 0);
}

LRESULT CFontStatic::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (LRESULT handled = 0; HandleAccessMessage(message, wParam, lParam, &handled))
        return handled;
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(m_hWnd, &ps);
        if (dc != nullptr) {
            Paint(dc);
            EndPaint(m_hWnd, &ps);
        }
        return 0;
    }
    case WM_ERASEBKGND:
        return TRUE; // the paint covers every pixel
    case WM_SETTEXT: {
        // Keep the text for readers without letting the static draw it in its own font.
        const LRESULT result = DefWindowProcW(m_hWnd, message, wParam, lParam);
        Invalidate(true);
        return result;
    }
    case WM_MOUSEMOVE:
        if (m_bHoverColors && !m_bHover) {
            m_bHover = true;
            TRACKMOUSEEVENT track = {sizeof track, TME_HOVER | TME_LEAVE, m_hWnd, 1};
            TrackMouseEvent(&track);
            Invalidate(true);
        }
        return Default(message, wParam, lParam);
    case WM_MOUSEHOVER:
        return 0;
    case WM_MOUSELEAVE:
        if (m_bPressed) {
            m_bPressed = false;
            if (m_bPressedColors)
                Invalidate(true);
        }
        if (m_bHoverColors) {
            m_bHover = false;
            Invalidate(true);
        }
        return 0;
    case WM_LBUTTONDOWN:
        if (!m_bPressed) {
            m_bPressed = true;
            if (m_bPressedColors)
                Invalidate(true);
        }
        return Default(message, wParam, lParam);
    case WM_LBUTTONUP: {
        HWND self = m_hWnd;
        if (m_nClickable && m_bPressed)
            SendMessageW(GetParent(self), WM_LABEL_CLICKED, static_cast<WPARAM>(::GetDlgCtrlID(self)), 0);
        // The parent may have destroyed us while handling the click.
        if (m_hWnd == nullptr)
            return 0;
        if (m_bPressed) {
            m_bPressed = false;
            if (m_bPressedColors)
                Invalidate(true);
        }
        return Default(message, wParam, lParam);
    }
    default:
        return Default(message, wParam, lParam);
    }
}
