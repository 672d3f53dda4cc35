// The picture button: hover tracking, and a picture loaded on every paint and fitted to the control.
#include "ui/HoverPicBtn.h"

#include "base/Win32Handle.h"
#include "ui/PictureSource.h"
#include "ui/Theme.h"

void CHoverPicBtn::SetBitmaps(int normalId, int hoverId) {
    m_nNormalId = normalId;
    m_nHoverId = hoverId != 0 ? hoverId : normalId;
}

void CHoverPicBtn::Paint(HDC dc) {
    RECT rc = {};
    GetWindowRect(m_hWnd, &rc);
    MapWindowPoints(HWND_DESKTOP, m_hWnd, reinterpret_cast<POINT*>(&rc), 2);
    const int id = m_bHover ? m_nHoverId : m_nNormalId;
    if (id == 0)
        return;
    const nvwin::GdiObject<HBITMAP> bitmap = nvui::LoadPicture(id);
    if (!bitmap) {
        // A picture the look leaves out: the control shows the dialog's ground instead.
        nvtheme::FillSolid(dc, rc, nvtheme::Colour(nvtheme::Role::Background));
        return;
    }
    BITMAP info = {};
    GetObjectW(bitmap.Get(), sizeof info, &info);
    const nvwin::MemoryDC memory(CreateCompatibleDC(dc));
    if (!memory)
        return;
    const nvwin::SelectGuard select(memory.Get(), bitmap.Get());
    // Pictures come at the control's size; where rounding leaves a pixel between them, the
    // stretch is a smooth one.
    const bool exact = info.bmWidth == rc.right - rc.left && info.bmHeight == rc.bottom - rc.top;
    SetStretchBltMode(dc, exact ? COLORONCOLOR : HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchBlt(dc, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, memory.Get(), 0, 0, info.bmWidth,
               info.bmHeight, SRCCOPY);
    if (ShowsFocusCue())
        DrawFocusRect(dc, &rc);
}

void CHoverPicBtn::Press() {
    if (m_hWnd != nullptr)
        SendMessageW(GetParent(m_hWnd), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(m_hWnd), STN_CLICKED),
                     reinterpret_cast<LPARAM>(m_hWnd));
}

LRESULT CHoverPicBtn::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (LRESULT handled = 0; HandleAccessMessage(message, wParam, lParam, &handled))
        return handled;
    switch (message) {
    case WM_MOUSEMOVE:
        if (!m_bHover) {
            m_bHover = true;
            TRACKMOUSEEVENT track = {sizeof track, TME_HOVER | TME_LEAVE, m_hWnd, 1};
            TrackMouseEvent(&track);
            InvalidateRect(m_hWnd, nullptr, TRUE);
        }
        return Default(message, wParam, lParam);
    case WM_MOUSEHOVER:
        return 0;
    case WM_MOUSELEAVE:
        m_bHover = false;
        InvalidateRect(m_hWnd, nullptr, TRUE);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(m_hWnd, &ps);
        if (dc != nullptr) {
            Paint(dc);
            EndPaint(m_hWnd, &ps);
        }
        return 0;
    }
    default:
        return Default(message, wParam, lParam);
    }
}
