// Keyboard and screen-reader access of the owner-drawn statics.
#include "ui/AccessibleStatic.h"

#include "ui/ResourceText.h"

#include <oleacc.h>

namespace {

// Posted to a control by its accessible object: the default action, run by the control's own
// message loop once the reader's call has returned. Registered: a static's messages of its own
// must not clash with it. 0 when it could not be registered: then there is no default action
// (0 is WM_NULL, which anybody may send).
UINT DefaultActionMessage() {
    static const UINT message = RegisterWindowMessageW(L"NorvikAccessibleDefaultAction");
    return message;
}

// Sent to every control of a dialog when the commands' availability may have changed.
UINT RecheckMessage() {
    static const UINT message = RegisterWindowMessageW(L"NorvikAccessibleRecheck");
    return message;
}

// Set on a dialog while its focus cues are shown. The platform keeps this in the window's UI
// state, but not every system does (Wine keeps none), so the dialog keeps it too.
const wchar_t kFocusCuesProperty[] = L"NorvikFocusCues";

bool FocusCuesShown(HWND dialog) {
    return dialog != nullptr && GetPropW(dialog, kFocusCuesProperty) != nullptr;
}

// A key pressed at a command: its dialog shows the focus cue from now on, as the dialog manager
// does for the keys it handles itself.
void NoteKeyboardUse(HWND control) {
    HWND dialog = GetParent(control);
    if (dialog != nullptr && !FocusCuesShown(dialog))
        nvui::SetFocusCuesShown(dialog, true);
}

} // namespace

CAccessibleStatic::CAccessibleStatic() : m_access(*this) {}

// The object a reader may still hold is cut off before the members it reads go.
CAccessibleStatic::~CAccessibleStatic() {
    m_access.Disconnect();
}

void CAccessibleStatic::SetAccessibleValue(const std::wstring& value) {
    if (value == m_strValue)
        return;
    m_strValue = value;
    if (m_hWnd != nullptr)
        NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, m_hWnd, OBJID_CLIENT, CHILDID_SELF);
}

void CAccessibleStatic::NotifyNameChange() const {
    if (m_hWnd != nullptr)
        NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, m_hWnd, OBJID_CLIENT, CHILDID_SELF);
}

bool CAccessibleStatic::IsHeldByParent() const {
    HWND parent = m_hWnd != nullptr ? GetParent(m_hWnd) : nullptr;
    return parent != nullptr &&
           SendMessageW(parent, WM_COMMANDS_HELD, static_cast<WPARAM>(GetDlgCtrlID()), 0) != 0;
}

bool CAccessibleStatic::TakesCommandsNow() const {
    if (!IsCommand() || m_hWnd == nullptr || !IsPressable() || !IsWindowEnabled(m_hWnd))
        return false;
    // A box or a dialog over the window disables it: a click could not reach the command.
    HWND root = GetAncestor(m_hWnd, GA_ROOT);
    return (root == nullptr || IsWindowEnabled(root)) && !IsHeldByParent();
}

void CAccessibleStatic::RecheckAvailability() {
    if (!IsCommand() || m_hWnd == nullptr)
        return;
    const Availability now = TakesCommandsNow() ? Availability::Available : Availability::Unavailable;
    const bool changed = m_availability != Availability::Unknown && m_availability != now;
    m_availability = now;
    if (changed)
        NotifyWinEvent(EVENT_OBJECT_STATECHANGE, m_hWnd, OBJID_CLIENT, CHILDID_SELF);
}

void CAccessibleStatic::SetAccessibleName(const std::wstring& name) {
    if (name == m_strName)
        return;
    m_strName = name;
    NotifyNameChange();
}

bool CAccessibleStatic::ShowsFocusCue() const {
    if (!IsCommand() || m_hWnd == nullptr || GetFocus() != m_hWnd)
        return false;
    // Hidden from the dialog's start when the last input came from the mouse and keyboard cues
    // are not always on, shown from the first key; and never while the platform hides them.
    const auto state = static_cast<UINT>(SendMessageW(m_hWnd, WM_QUERYUISTATE, 0, 0));
    return FocusCuesShown(GetParent(m_hWnd)) && (state & UISF_HIDEFOCUS) == 0;
}

bool CAccessibleStatic::IsPressKey(WPARAM key) const {
    return key == VK_SPACE || (key == VK_RETURN && m_bEnterPresses);
}

bool CAccessibleStatic::HandleAccessMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (message == WM_GETOBJECT)
        return m_access.Answer(m_hWnd, wParam, lParam, result);
    if (message == WM_DESTROY) {
        m_access.Disconnect();
        if (HWND dialog = GetParent(m_hWnd))
            RemovePropW(dialog, kFocusCuesProperty);
        return false;
    }
    if (const UINT action = DefaultActionMessage(); action != 0 && message == action) {
        // Asked again now: the box that came up since the reader asked holds the command back.
        if (TakesCommandsNow())
            Press();
        *result = 0;
        return true;
    }
    if (const UINT recheck = RecheckMessage(); recheck != 0 && message == recheck) {
        RecheckAvailability();
        *result = 0;
        return true;
    }
    if (!IsCommand())
        return false;
    switch (message) {
    case WM_GETDLGCODE: {
        // The dialog manager would make Enter its default button's; a command that Enter presses
        // takes it for itself.
        *result = Default(message, wParam, lParam);
        const auto* msg = reinterpret_cast<const MSG*>(lParam);
        // The dialog manager asks before it acts on a key (Tab among them) at the focus.
        if (msg != nullptr && (msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN))
            NoteKeyboardUse(m_hWnd);
        if (msg != nullptr && msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN && IsPressKey(VK_RETURN))
            *result |= DLGC_WANTMESSAGE;
        return true;
    }
    case WM_KEYDOWN:
        NoteKeyboardUse(m_hWnd);
        if (!IsPressKey(wParam))
            return false;
        // A key held down repeats; it presses once.
        if ((lParam & (LPARAM(1) << 30)) == 0 && TakesCommandsNow())
            Press();
        *result = 0;
        return true;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        InvalidateRect(m_hWnd, nullptr, FALSE);
        return false;
    case WM_UPDATEUISTATE:
        *result = Default(message, wParam, lParam);
        // The dialog manager shows the cues for a key it handled itself (Alt, say).
        if (LOWORD(wParam) == UIS_CLEAR && (HIWORD(wParam) & UISF_HIDEFOCUS) != 0)
            NoteKeyboardUse(m_hWnd);
        InvalidateRect(m_hWnd, nullptr, FALSE);
        return true;
    default:
        return false;
    }
}

long CAccessibleStatic::AccessibleRole() const {
    switch (m_role) {
    case Role::Graphic:
        return ROLE_SYSTEM_GRAPHIC;
    case Role::Progress:
        return ROLE_SYSTEM_PROGRESSBAR;
    case Role::Alert:
        return ROLE_SYSTEM_ALERT;
    case Role::Button:
        return ROLE_SYSTEM_PUSHBUTTON;
    case Role::Link:
        return ROLE_SYSTEM_LINK;
    case Role::Text:
    default:
        return ROLE_SYSTEM_STATICTEXT;
    }
}

std::wstring CAccessibleStatic::AccessibleName() const {
    if (!m_strName.empty())
        return m_strName;
    return m_nNameId != 0 ? nvui::LoadResourceString(m_nNameId) : VisibleText();
}

long CAccessibleStatic::AccessibleState() const {
    long state = 0;
    if (m_hWnd == nullptr || !IsWindowVisible(m_hWnd))
        state |= STATE_SYSTEM_INVISIBLE;
    if (!IsCommand())
        return state | STATE_SYSTEM_READONLY;
    state |= STATE_SYSTEM_FOCUSABLE;
    if (m_hWnd != nullptr && GetFocus() == m_hWnd)
        state |= STATE_SYSTEM_FOCUSED;
    if (!TakesCommandsNow())
        state |= STATE_SYSTEM_UNAVAILABLE;
    if (m_bDefault)
        state |= STATE_SYSTEM_DEFAULT;
    if (m_role == Role::Link)
        state |= STATE_SYSTEM_LINKED;
    return state;
}

std::wstring CAccessibleStatic::AccessibleDefaultAction() const {
    if (m_role == Role::Button)
        return L"Press";
    if (m_role == Role::Link)
        return L"Jump";
    return {};
}

bool CAccessibleStatic::RequestDefaultAction() {
    const UINT action = DefaultActionMessage();
    if (!IsCommand() || m_hWnd == nullptr || action == 0)
        return false;
    return PostMessageW(m_hWnd, action, 0, 0) != FALSE;
}

namespace nvui {

void SetFocusCuesShown(HWND dialog, bool shown) {
    if (dialog == nullptr)
        return;
    if (shown)
        SetPropW(dialog, kFocusCuesProperty, reinterpret_cast<HANDLE>(1));
    else
        RemovePropW(dialog, kFocusCuesProperty);
    SendMessageW(dialog, WM_CHANGEUISTATE, MAKEWPARAM(shown ? UIS_CLEAR : UIS_SET, UISF_HIDEFOCUS), 0);
    // Not every system passes the change on to the controls; the cue is theirs to draw.
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

bool FocusCuesAlwaysShown() {
    BOOL always = FALSE;
    return SystemParametersInfoW(SPI_GETKEYBOARDCUES, 0, &always, 0) != FALSE && always != FALSE;
}

void ArrangeTabOrder(std::initializer_list<const CStatic*> controls) {
    HWND previous = nullptr;
    for (const CStatic* control : controls) {
        HWND hwnd = control->GetSafeHwnd();
        if (hwnd == nullptr)
            continue;
        SetWindowLongPtrW(hwnd, GWL_STYLE, GetWindowLongPtrW(hwnd, GWL_STYLE) | WS_TABSTOP);
        // The controls do not overlap, so the new stacking changes no pixel.
        if (previous != nullptr)
            SetWindowPos(hwnd, previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOREDRAW);
        previous = hwnd;
    }
}

void RecheckCommands(HWND dialog) {
    const UINT recheck = RecheckMessage();
    if (dialog == nullptr || recheck == 0)
        return;
    EnumChildWindows(
        dialog,
        [](HWND child, LPARAM message) {
            SendMessageW(child, static_cast<UINT>(message), 0, 0);
            return TRUE;
        },
        static_cast<LPARAM>(recheck));
}

} // namespace nvui
