// The dimming overlay.
#include "ui/DlgBlackWnd.h"

#include "resources/ResourceIds.h"

CDlgBlackWnd::CDlgBlackWnd() : CDialogEx(IDD_BLACKWND), m_nWidth(716), m_nHeight(520) {}

BOOL CDlgBlackWnd::OnInitDialog() {
    CDialogEx::OnInitDialog();
    SetWindowLongPtrW(m_hWnd, GWL_EXSTYLE, GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE) | WS_EX_LAYERED);
    SetLayeredWindowAttributes(m_hWnd, 0, 128, LWA_ALPHA);
    SetWindowTextW(m_hWnd, L"Norvik Fingerprint Black");
    SetClientSize(m_nWidth, m_nHeight);
    SetBackgroundColor(0x000000, true);
    return TRUE;
}

bool CDlgBlackWnd::PreTranslateMessage(MSG* msg) {
    return FilterEnterEscape(msg);
}
