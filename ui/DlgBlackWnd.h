// CDlgBlackWnd: the dimming overlay (template 246), a half-transparent black window laid over a
// parent's client area while a box or the enrolment dialog is open above it. Cover (or create it
// modeless with the window to cover as parent); it places itself at that window's client origin.
// It never takes the activation: the covered window stays the active one, so the box or dialog
// opened next is owned by it and disables it.
#pragma once

#include "ui/DialogEx.h"

class CDlgBlackWnd : public CDialogEx {
public:
    CDlgBlackWnd();

    // Creates the overlay over `window` and shows it without activating it.
    bool Cover(HWND window);

    int m_nWidth;
    int m_nHeight;

protected:
    BOOL OnInitDialog() override;
    bool PreTranslateMessage(MSG* msg) override;
};
