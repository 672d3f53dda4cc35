// CDlgBlackWnd: the dimming overlay (template 246), a half-transparent black window laid over a
// parent's client area while a box or the enrolment dialog is open above it. Create it modeless
// with the window to cover as parent; it places itself at that window's client origin.
#pragma once

#include "ui/DialogEx.h"

class CDlgBlackWnd : public CDialogEx {
public:
    CDlgBlackWnd();

    int m_nWidth;
    int m_nHeight;

protected:
    BOOL OnInitDialog() override;
    bool PreTranslateMessage(MSG* msg) override;
};
