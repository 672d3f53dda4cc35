// The main window: construction, layout, display state, painting and the four commands.
#include "app/DlgMain.h"

#include "app/MainWindowRules.h"
#include "base/Trace.h"
#include "config/OsVersionProbe.h"
#include "resources/ResourceIds.h"
#include "resources/StringIds.h"
#include "ui/DlgBlackWnd.h"
#include "ui/ResourceText.h"
#include "ui/Theme.h"
#include "ui/WinApp.h"

#include <algorithm>
#include <cstdlib>
#include <string>

namespace {

constexpr wchar_t kProgramName[] = L"Norvik Fingerprint";
using nvtheme::kFace;
using nvtheme::kTextSize;
using nvtheme::Role;
constexpr int kSmallTextSize = 16;

constexpr int kCommandWidth = 420;
constexpr int kCommandHeight = 45;

// The window's own rules place the panels under the dialogs' common title band.
static_assert(mainwnd::kHeaderHeight == nvtheme::kBandHeight &&
              mainwnd::kAccentHeight == nvtheme::kAccentHeight);

// A rectangle of the window's rules, at the display's scale.
RECT ToRect(const mainwnd::Rect& r) {
    return nvtheme::ScaleRect(RECT{r.left, r.top, r.right, r.bottom});
}

} // namespace

CDlgMain::CDlgMain(LogonFunction logon, HWND parent)
    : CDialogEx(IDD_MAIN, parent), m_logon(logon), m_nOSClass(GetOSSupportClass()),
      m_hIcon(LoadIconW(nvui::ResourceInstance(), MAKEINTRESOURCEW(IDI_APPLICATION_ICON))) {}

// Members go in reverse order of construction; the window, if any, goes with the base.
CDlgMain::~CDlgMain() = default;

void CDlgMain::DoDataExchange() {
    m_btnMinimize.SubclassDlgItem(IDC_MAIN_MINIMIZE, m_hWnd);
    m_btnClose.SubclassDlgItem(IDC_MAIN_CLOSE, m_hWnd);
    m_stTitle.SubclassDlgItem(IDC_MAIN_TITLE, m_hWnd);
    m_stEnrollCaption.SubclassDlgItem(IDC_MAIN_ENROLL_CAPTION, m_hWnd);
    m_stAdminCaption.SubclassDlgItem(IDC_MAIN_ADMIN_CAPTION, m_hWnd);
    m_stCount.SubclassDlgItem(IDC_MAIN_COUNT, m_hWnd);
    m_stCountText.SubclassDlgItem(IDC_MAIN_COUNT_TEXT, m_hWnd);
    m_stEnrollHint.SubclassDlgItem(IDC_MAIN_ENROLL_HINT, m_hWnd);
    m_stHelloText.SubclassDlgItem(IDC_MAIN_HELLO_TEXT, m_hWnd);
    m_stHelloName.SubclassDlgItem(IDC_MAIN_HELLO_NAME, m_hWnd);
    m_stHelloLink.SubclassDlgItem(IDC_MAIN_HELLO_LINK, m_hWnd);
    m_stPbaText.SubclassDlgItem(IDC_MAIN_PBA_TEXT, m_hWnd);
    m_stImport.SubclassDlgItem(IDC_MAIN_IMPORT, m_hWnd);
    m_stSettings.SubclassDlgItem(IDC_MAIN_SETTINGS, m_hWnd);
    m_stBattery.SubclassDlgItem(IDC_MAIN_BATTERY, m_hWnd);
    m_stPlugAc.SubclassDlgItem(IDC_MAIN_PLUG_AC, m_hWnd);
    m_stUpToDate.SubclassDlgItem(IDC_MAIN_UP_TO_DATE, m_hWnd);
    m_stClearHint.SubclassDlgItem(IDC_MAIN_CLEAR_HINT, m_hWnd);
    m_stEnroll.SubclassDlgItem(IDC_MAIN_ENROLL, m_hWnd);
    m_stClear.SubclassDlgItem(IDC_MAIN_CLEAR, m_hWnd);
    m_picEnroll.SubclassDlgItem(IDC_MAIN_ENROLL_PICTURE, m_hWnd);
    m_picAdmin.SubclassDlgItem(IDC_MAIN_ADMIN_PICTURE, m_hWnd);
    m_picSide.SubclassDlgItem(IDC_MAIN_SIDE_PICTURE, m_hWnd);
}

//--- Layout and display state

void CDlgMain::HideControl(int id) {
    if (HWND control = GetDlgItem(id))
        ::ShowWindow(control, SW_HIDE);
}

// Lengths are the rules' pixels at 96 dpi, taken to the display's scale; what is measured from a
// text is already at that scale.
void CDlgMain::LayoutMainWindow() {
    using nvtheme::Px;
    using nvtheme::ScaleBox;
    SetWindowTextW(m_hWnd, kProgramName);
    SetClientSize(Px(mainwnd::kClientWidth), Px(mainwnd::kClientHeight));

    SetBackgroundColor(nvtheme::Colour(Role::Background), true);
    const COLORREF panel = nvtheme::Colour(Role::Panel), text = nvtheme::Colour(Role::Text);
    nvtheme::SetTitleLabel(m_stTitle, kProgramName, mainwnd::kClientWidth, 2);
    nvtheme::PlaceCloseButton(m_btnClose, mainwnd::kClientWidth);
    nvtheme::PlaceMinimizeButton(m_btnMinimize, mainwnd::kClientWidth);

    m_picSide.SetBitmaps(IDB_SIDE_PANEL, 0);
    m_picSide.MoveWindow(ScaleBox(0, 60, 266, 460));

    HideControl(IDC_MAIN_ENROLL_PICTURE);
    HideControl(IDC_MAIN_ADMIN_PICTURE);
    HideControl(IDC_MAIN_ENROLL_CAPTION);

    if (m_nOSClass == kOsClassSupported) {
        m_rcEnrollPanel = ToRect(mainwnd::kEnrollPanel);
        m_rcClearPanel = ToRect(mainwnd::kClearPanel);

        m_stCount.SetLabel(L"--/10", kFace, kTextSize, nvtheme::Colour(Role::Count), panel, 0);
        // The counts are drawn into this box later and never re-measured, so it is made wide
        // enough for the widest of them: "10/10" is wider than the dashes.
        const SIZE count = m_stCount.GetTextExtent();
        const LONG countWidth = std::max(count.cx, m_stCount.MeasureText(L"10/10").cx);
        const mainwnd::Rect& enroll = mainwnd::kEnrollPanel;
        m_stCount.MoveWindow(Px(enroll.left + 18), Px(enroll.top + 20), countWidth + Px(5), count.cy);
        const RECT countRect = m_stCount.GetRectInParent();

        m_stCountText.SetLabel(nvui::LoadResourceString(IDS_DATA_IMPORTED).c_str(), kFace, kTextSize, text,
                               panel, 0);
        const SIZE countText = m_stCountText.GetTextExtent();
        m_stCountText.MoveWindow(countRect.right + Px(2), countRect.top, countText.cx, countText.cy);

        m_stEnrollHint.SetLabel(nvui::LoadResourceString(IDS_ENROLL_HINT).c_str(), kFace, kTextSize, text,
                                panel, 0);
        // Two lines, or as many as a longer text needs (a translation, a larger scale) within
        // the panel.
        const int hintWidth = m_rcEnrollPanel.right - countRect.left - Px(2);
        const int hintNeeds = m_stEnrollHint.MeasureText(m_stEnrollHint.GetLabelText().c_str(), hintWidth).cy;
        m_stEnrollHint.MoveWindow(
            countRect.left, countRect.bottom, hintWidth,
            std::max<int>(2 * m_stEnrollHint.GetTextExtent().cy,
                          std::min<int>(hintNeeds, m_rcEnrollPanel.bottom - countRect.bottom)));

        nvtheme::SetCommandLabel(m_stEnroll, nvui::LoadResourceString(IDS_ENROLL).c_str());
        m_stEnroll.MoveWindow(ScaleBox(enroll.left, enroll.bottom + 14, kCommandWidth, kCommandHeight));

        m_stClearHint.SetLabel(nvui::LoadResourceString(IDS_CLEAR_HINT).c_str(), kFace, kTextSize, text,
                               panel, 0);
        // One line as wide as the text; a text wider than the panel breaks into lines within it.
        const mainwnd::Rect& clear = mainwnd::kClearPanel;
        SIZE clearHint = m_stClearHint.GetTextExtent();
        const int clearWidth = m_rcClearPanel.right - Px(clear.left + 18) - Px(2);
        if (clearHint.cx > clearWidth)
            clearHint = {clearWidth,
                         m_stClearHint.MeasureText(m_stClearHint.GetLabelText().c_str(), clearWidth).cy};
        m_stClearHint.MoveWindow(Px(clear.left + 18), Px(clear.top + 20), clearHint.cx, clearHint.cy);

        nvtheme::SetCommandLabel(m_stClear, nvui::LoadResourceString(IDS_CLEAR).c_str());
        m_stClear.MoveWindow(ScaleBox(clear.left, clear.bottom + 14, kCommandWidth, kCommandHeight));

        HideControl(IDC_MAIN_HELLO_TEXT);
        HideControl(IDC_MAIN_HELLO_NAME);
        HideControl(IDC_MAIN_BULLET);
        HideControl(IDC_MAIN_HELLO_LINK);
        HideControl(IDC_MAIN_IMPORT);

        // Set up although never shown: the battery rule they describe is not checked.
        const RECT hint = m_stEnrollHint.GetRectInParent();
        m_stBattery.SetLabel(nvui::LoadResourceString(IDS_BATTERY_NEEDED).c_str(), kFace, kSmallTextSize,
                             text, panel, LS_RIGHT);
        const SIZE battery = m_stBattery.GetTextExtent();
        m_stBattery.MoveWindow(hint.left, hint.bottom, battery.cx, battery.cy);
        const RECT batteryRect = m_stBattery.GetRectInParent();
        m_stPlugAc.SetLabel(nvui::LoadResourceString(IDS_PLUG_IN_AC).c_str(), kFace, kSmallTextSize, text,
                            panel, LS_RIGHT);
        const SIZE plug = m_stPlugAc.GetTextExtent();
        m_stPlugAc.MoveWindow(batteryRect.left, batteryRect.bottom, plug.cx, plug.cy);

        HideControl(IDC_MAIN_ADMIN_CAPTION);
        HideControl(IDC_MAIN_PBA_TEXT);
        HideControl(IDC_MAIN_SETTINGS);

        UpdateCommandLabels();
    }

    HideControl(IDC_MAIN_BATTERY);
    HideControl(IDC_MAIN_PLUG_AC);
    HideControl(IDC_MAIN_UP_TO_DATE);
    SetUpCommandAccess();
}

void CDlgMain::RefreshFingerCount() {
    FingerFlags flags = {};
    m_WbfInfo.EnumFingerPrint(flags);
    const int count = mainwnd::CountEnrolledFingers(flags);
    const std::u16string text = mainwnd::FingerCountText(count);
    m_stCount.SetLabelText(reinterpret_cast<const wchar_t*>(text.c_str()));
    if (HWND label = m_stCount.GetSafeHwnd())
        InvalidateRect(label, nullptr, TRUE);
    m_nFingerCount = count;
}

void CDlgMain::SetUIEnabled(bool enabled) {
    m_bBusy = enabled ? FALSE : TRUE;
    nvui::RecheckCommands(m_hWnd);
}

void CDlgMain::UpdateCommandLabels() {
    const auto redraw = [](CFontStatic& label) {
        if (HWND hwnd = label.GetSafeHwnd())
            RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    };
    nvtheme::ApplyCommandLook(m_stClear, mainwnd::IsClearActive(m_nFingerCount));
    redraw(m_stClear);
    nvtheme::ApplyCommandLook(m_stEnroll, mainwnd::IsEnrollActive(m_nFingerCount));
    redraw(m_stEnroll);
    nvui::RecheckCommands(m_hWnd);
}

void CDlgMain::OnPaint(HDC dc) {
    nvtheme::PaintTitleBand(dc, mainwnd::kClientWidth);
    nvtheme::FillSolid(dc, m_rcEnrollPanel, nvtheme::Colour(Role::Panel));
    nvtheme::FillSolid(dc, m_rcClearPanel, nvtheme::Colour(Role::Panel));
}

void CDlgMain::OnLookChanged() {
    // The layout sets the count's placeholder; the count shown stays.
    const std::wstring count = m_stCount.GetLabelText();
    LayoutMainWindow();
    m_stCount.SetLabelText(count.c_str());
    UpdateCommandLabels();
    CDialogEx::OnLookChanged();
}

//--- Commands

void CDlgMain::OnEnrollTextClicked() {
    if (IsHeld())
        return;
    SetUIEnabled(false);
    CDlgBlackWnd overlay;
    overlay.Cover(m_hWnd);

    const INT_PTR result = m_dlgEnroll.DoModal();
    if (result == ENROLL_RESULT_FAILED) {
        // The enrolment failed in a way the dialog has already told the user about; the program
        // ends here, the normal way out of the process but without unwinding this frame.
        std::exit(0);
    }
    RefreshFingerCount();
    UpdateCommandLabels();
    SetUIEnabled(true);
}

void CDlgMain::OnClearTextClicked() {
    if (IsHeld())
        return;
    SetUIEnabled(false);
    const HRESULT hr = m_WbfInfo.DeleteAll();
    if (hr != S_OK)
        nvtrace::Trace("(OnClearTextClicked) Wbf DeleteAll Fail hr = 0x%x\r\n", static_cast<unsigned>(hr));
    RefreshFingerCount();
    UpdateCommandLabels();
    SetUIEnabled(true);
}

void CDlgMain::OnMinimize() {
    if (!IsHeld())
        PostMessageW(m_hWnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
}

void CDlgMain::OnCloseButton() {
    if (IsHeld())
        return;
    m_hDevNotify.Reset(); // before the dialog ends, while its window is still there
    EndDialog(IDCANCEL);
}

bool CDlgMain::PreTranslateMessage(MSG* msg) {
    // Enter and Escape go to the control they are meant for, never to the dialog manager: no
    // default button, no cancel, the window stays.
    return FilterEnterEscape(msg);
}

bool CDlgMain::OnCommand(WORD id, WORD code, HWND control) {
    if (code == STN_CLICKED && id == IDC_MAIN_MINIMIZE) {
        OnMinimize();
        return true;
    }
    if (code == STN_CLICKED && id == IDC_MAIN_CLOSE) {
        OnCloseButton();
        return true;
    }
    // IDCANCEL from the system close (Alt+F4, the system menu) ends the dialog even while busy.
    return CDialogEx::OnCommand(id, code, control);
}

bool CDlgMain::OnCustomMessage(UINT message, WPARAM wParam, LPARAM, LRESULT* result) {
    if (message == WM_COMMANDS_HELD) {
        *result = IsHeld() ? 1 : 0;
        return true;
    }
    if (OnStartupMessage(message)) {
        *result = 0;
        return true;
    }
    if (message != WM_LABEL_CLICKED)
        return false;
    if (wParam == IDC_MAIN_ENROLL)
        OnEnrollTextClicked();
    else if (wParam == IDC_MAIN_CLEAR)
        OnClearTextClicked();
    *result = 1;
    return true;
}

bool CDlgMain::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    switch (message) {
    case WM_DEVICECHANGE:
        *result = OnDeviceChange(wParam, lParam);
        return true;
    case WM_QUERYDRAGICON:
        *result = reinterpret_cast<LRESULT>(m_hIcon);
        return true;
    case WM_SETCURSOR:
        // While the start-up work runs the window answers, but its commands wait: say so the
        // way Windows programs do, over the window and every control in it.
        if (!m_bStartingUp || LOWORD(lParam) != HTCLIENT)
            return false;
        SetCursor(LoadCursorW(nullptr, IDC_APPSTARTING));
        *result = TRUE;
        return true;
    default:
        return false;
    }
}
