// The enrolment dialog: layout, the identification-then-enrolment sequence driven by the
// framework's posted events, its three boxes and every way to cancel.
#include "biometric/EnrollDialog.h"

#include "base/Trace.h"
#include "base/Win32Handle.h"
#include "biometric/EnrollProgress.h"
#include "resources/ResourceIds.h"
#include "resources/StringIds.h"
#include "ui/DlgMessageBox.h"
#include "ui/ResourceText.h"
#include "ui/Theme.h"

#include <algorithm>
#include <cwchar>
#include <iterator>
#include <string>

namespace {
constexpr int kWidth = 480;
constexpr int kHeight = 270;
constexpr int kMargin = 30;
constexpr int kLine = 20;
// The hint after a refused sample: two lines at most, smaller than the instruction.
constexpr int kHintLine = 14;
constexpr int kCancelTop = 205;
constexpr DWORD kSettleMs = 100;

} // namespace

CDlgEnroll::CDlgEnroll(HWND parent) : CDialogEx(IDD_ENROLL, parent) {}

CDlgEnroll::~CDlgEnroll() {
    // The wrapper's destructor closes a session still open; the window goes first so no event
    // can reach a half-destroyed dialog.
    DestroyWindow();
}

void CDlgEnroll::DoDataExchange() {
    m_stTitle.SubclassDlgItem(IDC_ENROLL_TITLE, m_hWnd);
    m_stMessage.SubclassDlgItem(IDC_ENROLL_MESSAGE, m_hWnd);
    m_picProgress.SubclassDlgItem(IDC_ENROLL_PICTURE, m_hWnd);
    m_btnClose.SubclassDlgItem(IDC_ENROLL_CLOSE, m_hWnd);
    m_stCancel.SubclassDlgItem(IDC_ENROLL_CANCEL, m_hWnd);
}

BOOL CDlgEnroll::OnInitDialog() {
    m_bEnding = false;
    CountAcceptedSample(0);
    CDialogEx::OnInitDialog();
    m_strTitle = nvui::LoadResourceString(IDS_TOUCH_SENSOR);
    m_strMessage = nvui::LoadResourceString(IDS_LIFT_AND_PLACE);
    m_picProgress.SetBitmaps(IDB_FINGER_OUTLINE, IDB_FINGER_OUTLINE);
    Layout();
    CWbfInfo::SetNotifyWindow(m_hWnd);
    UpdateNextSubFactor();
    StartIdentify();
    return TRUE;
}

void CDlgEnroll::Layout() {
    SetClientSize(nvtheme::Px(kWidth), nvtheme::Px(kHeight));
    SetBackgroundColor(nvtheme::Colour(nvtheme::Role::Background), true);

    nvtheme::SetTitleLabel(m_stTitle, m_strTitle.c_str(), kWidth);
    nvtheme::PlaceCloseButton(m_btnClose, kWidth);

    m_picProgress.MoveWindow(nvtheme::ScaleBox(2, 90, 96, 96));

    m_stMessage.SetLabel(m_strMessage.c_str(), nvtheme::kFace, kLine, nvtheme::Colour(nvtheme::Role::Text),
                         nvtheme::Colour(nvtheme::Role::Background), 0);
    PlaceMessage();

    const std::wstring cancel = nvui::LoadResourceString(IDS_CANCEL);
    nvtheme::SetCommandLabel(m_stCancel, cancel.c_str());
    m_stCancel.MoveWindow(nvtheme::ScaleBox(kMargin, kCancelTop, 420, 45));
    // A new look (high contrast turned on or off) while a hint shows.
    if (m_stHint.GetSafeHwnd() != nullptr) {
        const std::wstring hint = m_stHint.GetLabelText();
        PlaceHint(hint);
    }
    SetUpCommandAccess();
}

void CDlgEnroll::PlaceMessage() {
    // Four lines, or as many as a longer text needs (a translation, a larger scale) down to just
    // above Cancel.
    const RECT box = nvtheme::ScaleBox(100, 90, kWidth - 100 - kMargin, 4 * kLine);
    const int room = nvtheme::Px(kCancelTop - 5) - box.top;
    const int needs = m_stMessage.MeasureText(m_strMessage.c_str(), box.right - box.left).cy;
    m_stMessage.MoveWindow(box.left, box.top, box.right - box.left,
                           std::max<int>(box.bottom - box.top, std::min(needs, room)));
}

void CDlgEnroll::UpdateNextSubFactor() {
    m_flagsEnrolled = {};
    // A failed enumeration leaves the flags zero: the first position is then the choice.
    m_WbfInfo.EnumFingerPrint(m_flagsEnrolled);
    m_nNextSubFactor = NextWindowsHelloSubFactor(m_flagsEnrolled, m_nNextSubFactor);
}

void CDlgEnroll::SetProgressPicture(int state) {
    if (const int bitmap = EnrollProgressBitmap(state); bitmap != 0)
        m_picProgress.SetBitmaps(bitmap, bitmap);
    if (HWND picture = m_picProgress.GetSafeHwnd())
        RedrawWindow(picture, nullptr, nullptr, RDW_UPDATENOW | RDW_ERASE | RDW_INVALIDATE);
    ShowProgressValue();
}

void CDlgEnroll::SetTitleText(const std::wstring& text) {
    m_strTitle = text;
    m_stTitle.SetLabelText(m_strTitle.c_str());
    // Sized to the new text, which may be longer than the one before.
    nvtheme::SetTitleLabel(m_stTitle, m_strTitle.c_str(), kWidth);
    SetWindowTextW(m_hWnd, m_strTitle.c_str());
    ShowProgressValue();
}

// The focus stays on Cancel, so a reader would not speak the label's new text by itself.
void CDlgEnroll::SetMessageText(const std::wstring& text) {
    m_strMessage = text;
    m_stMessage.SetLabelText(m_strMessage.c_str());
    PlaceMessage();
    m_announcer.Announce(m_strMessage);
}

void CDlgEnroll::PostStartFailure(UINT message, unsigned int event, HRESULT hr) {
    PostMessageW(m_hWnd, message, MakeEventParam(event, m_WbfInfo.m_nSessionTag),
                 static_cast<LPARAM>(static_cast<LONG>(hr)));
}

void CDlgEnroll::StartIdentify() {
    HRESULT hr = m_WbfInfo.OpenSession();
    if (hr == S_OK)
        hr = m_WbfInfo.IdentifyFingerPrint_WithCallback();
    if (FAILED(hr))
        PostStartFailure(WM_IDENTIFY_EVENT, IDENTIFY_EVENT_FAILED, hr);
}

void CDlgEnroll::StartEnroll() {
    // Every position taken meanwhile (by another program): what the service would answer for
    // the one this run would take, without committing over it.
    HRESULT hr = WINBIO_E_DUPLICATE_ENROLLMENT;
    if (HasFreeWindowsHelloPosition(m_flagsEnrolled)) {
        hr = m_WbfInfo.OpenSession();
        if (hr == S_OK)
            hr = m_WbfInfo.EnrollFingerPrint_WithCallback(m_nNextSubFactor);
    }
    if (FAILED(hr))
        PostStartFailure(WM_ENROLL_EVENT, ENROLL_EVENT_FAILED, hr);
}

INT_PTR CDlgEnroll::ShowBox(const std::wstring& text, std::uint32_t style, const std::wstring& caption) {
    CDlgMessageBox box;
    m_pBox = &box;
    const INT_PTR result = box.ShowMessage(text.c_str(), style, caption.c_str());
    m_pBox = nullptr;
    return result;
}

void CDlgEnroll::ShowFailure(const wchar_t* format, LPARAM code) {
    // Both formats, with eight hexadecimal digits, fit in half of it.
    wchar_t text[64] = {};
    static_cast<void>(std::swprintf(text, std::size(text), format, static_cast<unsigned int>(code)));
    ShowBox(text, MSGBOX_ICON_ERROR, L"Failure");
    // Cancelled while the box was up (the sensor went away): the run ends as cancelled.
    if (m_bEnding)
        return;
    m_bEnding = true;
    EndDialog(ENROLL_RESULT_FAILED);
}

LRESULT CDlgEnroll::OnIdentifyMessage(WPARAM wParam, LPARAM lParam) {
    m_WbfInfo.CloseSession();
    switch (wParam) {
    case IDENTIFY_EVENT_MATCH:
        PostMessageW(m_hWnd, WM_FINGER_EXISTS, 0, 0);
        break;
    case IDENTIFY_EVENT_UNKNOWN:
        HideHint();
        CountAcceptedSample(0);
        SetTitleText(nvui::LoadResourceString(IDS_ENROLL_TITLE));
        SetMessageText(nvui::LoadResourceString(IDS_TOUCH_AGAIN));
        SetProgressPicture(kEnrollStateEmpty);
        StartEnroll();
        break;
    case IDENTIFY_EVENT_FAILED:
        if (lParam != 0)
            ShowFailure(L"Identify failed. Error code = 0x%x", lParam);
        break;
    case IDENTIFY_EVENT_BAD_CAPTURE:
        if (lParam != 0)
            nvtrace::Trace("(OnIdentifyMessage) Identify reject. Detail = 0x%x",
                           static_cast<unsigned int>(lParam));
        ShowHint(static_cast<unsigned long>(lParam));
        StartIdentify();
        break;
    default:
        break;
    }
    return 1;
}

LRESULT CDlgEnroll::OnEnrollMessage(WPARAM wParam, LPARAM lParam) {
    switch (wParam) {
    case ENROLL_EVENT_BAD_CAPTURE:
        ShowHint(static_cast<unsigned long>(lParam));
        break;
    case ENROLL_EVENT_MORE_DATA:
        HideHint();
        CountAcceptedSample(static_cast<long>(lParam));
        SetProgressPicture(EnrollSampleState(static_cast<long long>(lParam)));
        AnnounceProgress();
        break;
    case ENROLL_EVENT_CAPTURED:
        HideHint();
        m_bComplete = true;
        SetProgressPicture(kEnrollStateComplete);
        AnnounceProgress();
        // Lets the complete picture be seen before the commit blocks the thread.
        Sleep(kSettleMs);
        m_WbfInfo.EnrollCommit();
        break;
    case ENROLL_EVENT_COMMITTED: {
        m_WbfInfo.CloseSession();
        Sleep(kSettleMs);
        const int position = WindowsHelloPosition(m_nNextSubFactor);
        if (const auto index = Factor2FingerIndex(m_nNextSubFactor))
            m_flagsEnrolled[*index] = 1;
        // Another finger only while a position is left for it; the positions are filled from
        // the first free one, so the last one taken need not be position 10.
        const std::uint32_t style = HasFreeWindowsHelloPosition(m_flagsEnrolled)
                                        ? (MSGBOX_ICON_SUCCESS | MSGBOX_ANOTHER_FINGER)
                                        : MSGBOX_ICON_SUCCESS;
        // The text comes from the string table in the user's language, so it is not cut to a size.
        const std::wstring caption =
            nvui::LoadResourceString(IDS_SCANNED_FINGERPRINTS) + L" " + std::to_wstring(position);
        const INT_PTR answer = ShowBox(nvui::LoadResourceString(IDS_CLICK_OK_TO_ENROLL), style, caption);
        if (m_bEnding)
            break;
        if (answer == MSGBOX_RESULT_ANOTHER)
            PostMessageW(m_hWnd, WM_ENROLL_RESTART, 0, 0);
        else
            OnOK();
        break;
    }
    case ENROLL_EVENT_FAILED:
        m_WbfInfo.CloseSession();
        if (static_cast<HRESULT>(lParam) == WINBIO_E_DUPLICATE_TEMPLATE)
            PostMessageW(m_hWnd, WM_FINGER_EXISTS, 0, 0);
        else
            ShowFailure(L"Enroll failed. Error code = 0x%x", lParam);
        break;
    default:
        break;
    }
    return 1;
}

void CDlgEnroll::OnFingerExists() {
    const std::uint32_t style = HasFreeWindowsHelloPosition(m_flagsEnrolled)
                                    ? (MSGBOX_ICON_INFO | MSGBOX_ANOTHER_FINGER)
                                    : MSGBOX_ICON_INFO;
    const INT_PTR answer = ShowBox(nvui::LoadResourceString(IDS_FINGER_EXISTS_TEXT), style,
                                   nvui::LoadResourceString(IDS_FINGER_EXISTS_TITLE));
    if (m_bEnding)
        return;
    if (answer == MSGBOX_RESULT_ANOTHER)
        PostMessageW(m_hWnd, WM_ENROLL_RESTART, 0, 0);
    else
        OnOK();
}

void CDlgEnroll::OnEnrollRestart() {
    HideHint();
    CountAcceptedSample(0);
    SetTitleText(nvui::LoadResourceString(IDS_TOUCH_SENSOR));
    SetMessageText(nvui::LoadResourceString(IDS_LIFT_AND_PLACE));
    SetProgressPicture(kEnrollStateOutline);
    UpdateNextSubFactor();
    StartIdentify();
}

void CDlgEnroll::CancelEnroll() {
    m_WbfInfo.CancelOperation();
    m_WbfInfo.CloseSession();
    m_bEnding = true;
    // A box of the run (a failure reported just before the sensor went) goes with it, so that
    // what the owner shows next stands alone, over the main window.
    if (m_pBox != nullptr)
        m_pBox->Dismiss(IDCANCEL);
    // Gone at once, as the box: the owner (the main window) has its input and the activation
    // back before anything it shows next, and no other program's window takes them meanwhile.
    Dismiss(ENROLL_RESULT_CANCELLED);
}

void CDlgEnroll::OnOK() {
    m_bEnding = true;
    EndDialog(ENROLL_RESULT_DONE);
}

void CDlgEnroll::OnCancel() {
    // The system's close (Alt+F4, the system menu) must not leave a capture running.
    CancelEnroll();
}

bool CDlgEnroll::PreTranslateMessage(MSG* msg) {
    return FilterEnterEscape(msg);
}

bool CDlgEnroll::OnCommand(WORD id, WORD code, HWND control) {
    if (id == IDC_ENROLL_CLOSE) {
        if (code == STN_CLICKED)
            CancelEnroll();
        return true;
    }
    return CDialogEx::OnCommand(id, code, control);
}

void CDlgEnroll::OnLookChanged() {
    Layout();
    CDialogEx::OnLookChanged();
}

void CDlgEnroll::OnPaint(HDC dc) {
    nvtheme::PaintTitleBand(dc, kWidth);
}

bool CDlgEnroll::OnCustomMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    const bool sequenceEvent = message == WM_IDENTIFY_EVENT || message == WM_ENROLL_EVENT ||
                               message == WM_FINGER_EXISTS || message == WM_ENROLL_RESTART;
    if (sequenceEvent && m_bEnding) {
        *result = 1;
        return true;
    }
    // An event of another session (a cancelled request of an earlier run completing late) is
    // not this run's business.
    const bool frameworkEvent = message == WM_IDENTIFY_EVENT || message == WM_ENROLL_EVENT;
    if (frameworkEvent && EventTag(wParam) != m_WbfInfo.m_nSessionTag) {
        *result = 1;
        return true;
    }
    switch (message) {
    case WM_IDENTIFY_EVENT:
        *result = OnIdentifyMessage(EventCode(wParam), lParam);
        return true;
    case WM_ENROLL_EVENT:
        *result = OnEnrollMessage(EventCode(wParam), lParam);
        return true;
    case WM_FINGER_EXISTS:
        OnFingerExists();
        *result = 0;
        return true;
    case WM_ENROLL_RESTART:
        OnEnrollRestart();
        *result = 0;
        return true;
    case WM_LABEL_CLICKED:
        if (wParam == IDC_ENROLL_CANCEL)
            CancelEnroll();
        *result = 0;
        return true;
    default:
        return false;
    }
}

bool CDlgEnroll::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT*) {
    // Cancel before the system sleeps, then let the default handling answer the broadcast.
    if (message == WM_POWERBROADCAST && wParam == PBT_APMSUSPEND)
        CancelEnroll();
    return false;
}

void CDlgEnroll::ShowHint(unsigned long rejectDetail) {
    if (m_stHint.GetSafeHwnd() == nullptr) {
        // Made on first use; the rest of the dialog stays where it is.
        HWND hint =
            CreateWindowExW(0, L"STATIC", L"", WS_CHILD | SS_NOTIFY, 0, 0, 0, 0, m_hWnd,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_ENROLL_HINT)), nullptr, nullptr);
        if (hint == nullptr || !m_stHint.SubclassDlgItem(IDC_ENROLL_HINT, m_hWnd))
            return;
    }
    const std::wstring text = nvui::LoadResourceString(RefusedSampleHint(rejectDetail));
    PlaceHint(text);
    m_stHint.ShowWindow(SW_SHOW);
    m_announcer.Announce(text);
}

void CDlgEnroll::PlaceHint(const std::wstring& text) {
    m_stHint.SetLabel(text.c_str(), nvtheme::kFace, kHintLine, nvtheme::Colour(nvtheme::Role::Text),
                      nvtheme::Colour(nvtheme::Role::Background), 0);
    m_stHint.MoveWindow(
        nvtheme::ScaleBox(100, 90 + 4 * kLine + 2, kWidth - 100 - kMargin, 2 * kHintLine + 3));
}

void CDlgEnroll::HideHint() {
    if (m_stHint.GetSafeHwnd() != nullptr)
        m_stHint.ShowWindow(SW_HIDE);
}
