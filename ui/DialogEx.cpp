// The dialog base: creation from a template, the dispatch switch and the modal loop.
#include "ui/DialogEx.h"

#include "ui/AccessibleStatic.h"
#include "ui/Theme.h"
#include "ui/WinApp.h"

namespace {

// Which window belongs to which dialog object; a window property is unambiguous even for
// windows of other code that use DWLP_USER for their own ends.
const wchar_t kDialogProperty[] = L"NorvikDialogObject";

// Messages whose result a dialog procedure returns itself instead of through DWLP_MSGRESULT.
bool ReturnsResultDirectly(UINT message) {
    switch (message) {
    case WM_INITDIALOG:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
        return true;
    default:
        return false;
    }
}

} // namespace

thread_local CDialogEx* CDialogEx::s_pInnermostModal = nullptr;
thread_local bool CDialogEx::s_bLastInputFromKeyboard = false;

CDialogEx::CDialogEx(UINT templateId, HWND parent) : m_hParent(parent), m_nTemplateId(templateId) {}

CDialogEx::~CDialogEx() {
    DestroyWindow(); // before the brush goes, which the window may still be painting with
}

CDialogEx* CDialogEx::FromHandle(HWND hwnd) {
    return hwnd ? static_cast<CDialogEx*>(GetPropW(hwnd, kDialogProperty)) : nullptr;
}

HWND CDialogEx::CreateFromTemplate(HWND parent) {
    return CreateDialogParamW(nvui::ResourceInstance(), MAKEINTRESOURCEW(m_nTemplateId), parent, DialogProc,
                              reinterpret_cast<LPARAM>(this));
}

bool CDialogEx::Create(HWND parent) {
    if (m_hWnd != nullptr)
        return false;
    m_hParent = parent;
    return CreateFromTemplate(parent) != nullptr;
}

bool CDialogEx::Create(UINT templateId, HWND parent) {
    if (m_hWnd != nullptr)
        return false;
    m_nTemplateId = templateId;
    return Create(parent);
}

void CDialogEx::DestroyWindow() {
    if (m_hWnd != nullptr)
        ::DestroyWindow(m_hWnd);
    m_hWnd = nullptr;
}

void CDialogEx::ShowWindow(int command) {
    if (m_hWnd)
        ::ShowWindow(m_hWnd, command);
}

void CDialogEx::EndDialog(INT_PTR result) {
    m_nModalResult = result;
    m_bEndRequested = true;
    // The modal loop looks at the request after each message it retrieves. A handler running for
    // a sent message (a device broadcast, say) is not one of those, so the loop would sleep on
    // until something else arrived: wake it.
    if (m_hWnd != nullptr)
        PostMessageW(m_hWnd, WM_NULL, 0, 0);
}

INT_PTR CDialogEx::DoModal() {
    if (m_hWnd != nullptr)
        return -1;
    HWND owner = m_hParent;
    if (owner == nullptr)
        owner = GetActiveWindow();
    // In the background, or right after the active dialog was hidden, the thread has no active
    // window; the dialog that would have it is the one of the innermost run.
    if (owner == nullptr)
        owner = InnermostModalWindow();
    if (owner != nullptr)
        owner = GetAncestor(owner, GA_ROOT);
    RestoreIfMinimised(owner);

    m_bEndRequested = false;
    m_nModalResult = -1;
    if (CreateFromTemplate(owner) == nullptr || m_hWnd == nullptr)
        return -1;
    if (m_hParent == nullptr)
        CenterWindow(owner);

    // Like the system's dialog boxes: the owner takes no input while we run, and gets it back
    // (and the activation) before our window disappears.
    m_hModalOwner = owner;
    m_bOwnerDisabled = owner != nullptr && IsWindowEnabled(owner) && EnableWindow(owner, FALSE) == FALSE;
    if (!m_bEndRequested)
        ::ShowWindow(m_hWnd, SW_SHOW);

    m_bInModalLoop = true;
    m_pOuterModal = s_pInnermostModal;
    s_pInnermostModal = this;
    MSG msg;
    while (!m_bEndRequested && m_hWnd != nullptr) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            // WM_QUIT belongs to the outermost loop; leave it there.
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (got == -1)
            break;
        RouteMessage(msg);
    }
    s_pInnermostModal = m_pOuterModal;
    m_pOuterModal = nullptr;
    m_bInModalLoop = false;

    ReleaseOwnerAndHide();
    m_hModalOwner = nullptr;
    DestroyWindow();
    return m_bEndRequested ? m_nModalResult : -1;
}

void CDialogEx::ReleaseOwnerAndHide() {
    if (m_bOwnerDisabled) {
        EnableWindow(m_hModalOwner, TRUE);
        m_bOwnerDisabled = false;
    }
    if (m_hWnd == nullptr)
        return;
    if (m_hModalOwner != nullptr && GetActiveWindow() == m_hWnd)
        SetActiveWindow(m_hModalOwner);
    SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                 SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CDialogEx::Dismiss(INT_PTR result) {
    EndDialog(result);
    if (m_bInModalLoop)
        ReleaseOwnerAndHide();
}

void CDialogEx::RestoreIfMinimised(HWND window) {
    HWND top = window != nullptr ? GetAncestor(window, GA_ROOTOWNER) : nullptr;
    if (top != nullptr && IsIconic(top))
        ::ShowWindow(top, SW_RESTORE);
}

bool CDialogEx::BringModalForward() {
    HWND modal = InnermostModalWindow();
    if (modal == nullptr)
        return false;
    // The click is input to this program, which may therefore take the foreground.
    SetForegroundWindow(modal);
    SetActiveWindow(modal);
    FLASHWINFO flash = {};
    flash.cbSize = sizeof flash;
    flash.hwnd = modal;
    flash.dwFlags = FLASHW_ALL;
    flash.uCount = 2;
    FlashWindowEx(&flash);
    MessageBeep(MB_OK);
    return true;
}

HWND CDialogEx::InnermostModalWindow() {
    for (CDialogEx* run = s_pInnermostModal; run != nullptr; run = run->m_pOuterModal)
        if (run->m_hWnd != nullptr && IsWindowVisible(run->m_hWnd))
            return run->m_hWnd;
    return nullptr;
}

bool CDialogEx::PassActivationToModal() {
    if (IsWindowEnabled(m_hWnd))
        return false;
    HWND modal = InnermostModalWindow();
    if (modal == nullptr || modal == m_hWnd || !IsWindowEnabled(modal))
        return false;
    // An activation from outside the program (another program's SetForegroundWindow, say) can
    // land on a disabled window. Left there, the keys would go to a window that takes no input,
    // and the box that has to be answered would have lost the activation.
    SetActiveWindow(modal);
    return true;
}

void CDialogEx::RouteMessage(MSG& msg) {
    // Noted before the message is handled: a key that opens a dialog is the input that dialog
    // starts after.
    if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN)
        s_bLastInputFromKeyboard = true;
    else if ((msg.message >= WM_LBUTTONDOWN && msg.message <= WM_MBUTTONDBLCLK) ||
             (msg.message >= WM_NCLBUTTONDOWN && msg.message <= WM_NCMBUTTONDBLCLK))
        s_bLastInputFromKeyboard = false;
    CDialogEx* target = msg.hwnd ? FromHandle(GetAncestor(msg.hwnd, GA_ROOT)) : nullptr;
    if (target != nullptr) {
        bool handled = false;
        try {
            handled = target->PreTranslateMessage(&msg);
        } catch (...) {
            handled = false;
        }
        if (handled)
            return;
        if (target->m_hWnd != nullptr && IsDialogMessageW(target->m_hWnd, &msg))
            return;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

bool CDialogEx::FilterEnterEscape(MSG* msg) {
    if (msg->message == WM_KEYDOWN && (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE)) {
        TranslateMessage(msg);
        DispatchMessageW(msg);
        return true;
    }
    return false;
}

void CDialogEx::OnLookChanged() {
    if (m_hWnd != nullptr)
        RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

bool CDialogEx::PreTranslateMessage(MSG*) {
    return false;
}

BOOL CDialogEx::OnInitDialog() {
    DoDataExchange();
    return TRUE;
}

bool CDialogEx::OnCommand(WORD id, WORD, HWND) {
    if (id == IDOK) {
        OnOK();
        return true;
    }
    if (id == IDCANCEL) {
        OnCancel();
        return true;
    }
    return false;
}

void CDialogEx::SetBackgroundColor(COLORREF colour, bool repaint) {
    HBRUSH brush = CreateSolidBrush(colour);
    if (brush == nullptr)
        return;
    m_hBackgroundBrush.Reset(brush);
    m_clrBackground = colour;
    if (repaint && m_hWnd)
        RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void CDialogEx::CenterWindow(HWND over) {
    if (m_hWnd == nullptr)
        return;
    RECT area = {};
    if (over == nullptr || !GetWindowRect(over, &area))
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    RECT rc = {};
    GetWindowRect(m_hWnd, &rc);
    const int width = rc.right - rc.left, height = rc.bottom - rc.top;
    const int x = area.left + ((area.right - area.left) - width) / 2;
    const int y = area.top + ((area.bottom - area.top) - height) / 2;
    SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CDialogEx::SetClientSize(int width, int height) {
    if (m_hWnd == nullptr)
        return;
    RECT window = {};
    GetWindowRect(m_hWnd, &window);
    // Popups move in screen coordinates, which is what GetWindowRect gives.
    ::MoveWindow(m_hWnd, window.left, window.top, width, height, TRUE);
    RECT client = {};
    GetWindowRect(m_hWnd, &window);
    GetClientRect(m_hWnd, &client);
    const int extraWidth = (window.right - window.left) - client.right;
    const int extraHeight = (window.bottom - window.top) - client.bottom;
    ::MoveWindow(m_hWnd, window.left, window.top, width + extraWidth, height + extraHeight, TRUE);
}

bool CDialogEx::Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    switch (message) {
    case WM_INITDIALOG:
        *result = OnInitDialog();
        // The platform's UIS_INITIALIZE: cues shown when the last input came from the keyboard
        // or the user keeps them on, hidden after the mouse. Not every system's dialog manager
        // looks at the last input, so the dialog sets its state itself.
        nvui::SetFocusCuesShown(m_hWnd, nvui::FocusCuesAlwaysShown() || s_bLastInputFromKeyboard);
        return true;
    case WM_COMMAND:
        return OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(m_hWnd, &ps);
        if (dc != nullptr) {
            OnPaint(dc);
            EndPaint(m_hWnd, &ps);
        }
        return true;
    }
    case WM_TIMER:
        OnTimer(wParam);
        return true;
    case WM_ENABLE:
        // A box coming up over the window, or going: its commands are out of reach, or back.
        nvui::RecheckCommands(m_hWnd);
        return OnMessage(message, wParam, lParam, result);
    case WM_ACTIVATE:
        // Handled, so the dialog manager does not put the focus back into the disabled window.
        if (LOWORD(wParam) != WA_INACTIVE && PassActivationToModal()) {
            *result = 0;
            return true;
        }
        return OnMessage(message, wParam, lParam, result);
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE:
        // Read on every such notice: high contrast is switched by a setting, and its colours by
        // the system colours. In the normal look neither changes anything of ours.
        if (nvtheme::RefreshHighContrast() || nvtheme::HighContrast())
            OnLookChanged();
        return OnMessage(message, wParam, lParam, result);
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
        if (!m_hBackgroundBrush)
            return OnMessage(message, wParam, lParam, result);
        SetBkColor(reinterpret_cast<HDC>(wParam), m_clrBackground);
        *result = reinterpret_cast<LRESULT>(m_hBackgroundBrush.Get());
        return true;
    default:
        if (message >= WM_USER && message <= 0xBFFF)
            return OnCustomMessage(message, wParam, lParam, result);
        if (message >= 0xC000 && message <= 0xFFFF)
            return OnRegisteredMessage(message, wParam, lParam, result);
        return OnMessage(message, wParam, lParam, result);
    }
}

INT_PTR CALLBACK CDialogEx::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CDialogEx* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<CDialogEx*>(lParam);
        self->m_hWnd = hwnd;
        SetPropW(hwnd, kDialogProperty, self);
    } else {
        self = FromHandle(hwnd);
    }
    if (self == nullptr)
        return FALSE;

    LRESULT result = 0;
    bool handled = false;
    try {
        handled = self->Dispatch(message, wParam, lParam, &result);
    } catch (...) {
        // Nothing may unwind through the system's dialog manager; the message counts as not
        // handled and gets the default treatment.
        handled = false;
    }
    if (message == WM_NCDESTROY) {
        RemovePropW(hwnd, kDialogProperty);
        self->m_hWnd = nullptr;
        return FALSE;
    }
    if (!handled)
        return FALSE;
    if (ReturnsResultDirectly(message))
        return static_cast<INT_PTR>(result);
    SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
    return TRUE;
}
