// CDlgBlackWnd: the dimming overlay (template 246), a half-transparent black window laid over a
// parent's client area while a box or the enrolment dialog is open above it. Cover (or create it
// modeless with the window to cover as parent); it places itself at that window's client origin.
// It never takes the activation: the covered window stays the active one, so the box or dialog
// opened next is owned by it and disables it. A click on it does what a click on that disabled
// window would: the box or dialog above comes forward.
#pragma once

#include "ui/DialogEx.h"

class CDlgBlackWnd : public CDialogEx {
public:
    CDlgBlackWnd();

    // Creates the overlay over `window` (restored first when minimised) and shows it without
    // activating it.
    bool Cover(HWND window);

    // The covered client area at 96 dpi; the overlay takes it to the display's scale.
    int m_nWidth;
    int m_nHeight;

protected:
    BOOL OnInitDialog() override;
    bool PreTranslateMessage(MSG* msg) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
};
