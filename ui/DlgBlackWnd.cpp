// The dimming overlay.
#include "ui/DlgBlackWnd.h"

#include "resources/ResourceIds.h"
#include "ui/DisplayScale.h"

CDlgBlackWnd::CDlgBlackWnd() : CDialogEx(IDD_BLACKWND), m_nWidth(716), m_nHeight(520) {}

BOOL CDlgBlackWnd::OnInitDialog() {
    CDialogEx::OnInitDialog();
    // No activation by a click either: the window underneath must stay the active one.
    SetWindowLongPtrW(m_hWnd, GWL_EXSTYLE,
                      GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE) | WS_EX_LAYERED | WS_EX_NOACTIVATE);
    SetLayeredWindowAttributes(m_hWnd, 0, 128, LWA_ALPHA);
    SetWindowTextW(m_hWnd, L"Norvik Fingerprint Black");
    SetClientSize(nvtheme::Px(m_nWidth), nvtheme::Px(m_nHeight));
    SetBackgroundColor(0x000000, true);
    // With no control to take it, the dialog manager's default focus would go to the window
    // itself, and activate it while it is still hidden.
    return FALSE;
}

bool CDlgBlackWnd::Cover(HWND window) {
    // Placed at the window's client origin: over a minimised window that is off every screen.
    RestoreIfMinimised(window);
    if (!Create(IDD_BLACKWND, window))
        return false;
    // Shown active, the overlay would become the owner of the next box, and the only window that
    // box disables.
    ShowWindow(SW_SHOWNOACTIVATE);
    return true;
}

bool CDlgBlackWnd::PreTranslateMessage(MSG* msg) {
    return FilterEnterEscape(msg);
}

bool CDlgBlackWnd::OnMessage(UINT message, WPARAM, LPARAM, LRESULT* result) {
    switch (message) {
    case WM_MOUSEACTIVATE:
        // The click is eaten here, so no button message follows.
        BringModalForward();
        *result = MA_NOACTIVATEANDEAT;
        return true;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        // Where the system asks no WM_MOUSEACTIVATE of a window that never activates.
        BringModalForward();
        *result = 0;
        return true;
    default:
        return false;
    }
}
