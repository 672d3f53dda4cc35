// The message box: layout in pixels at 96 dpi, taken to the display's scale, painting of the band, and its
// three ways out.
#include "ui/DlgMessageBox.h"

#include "ui/PictureSource.h"
#include "resources/ResourceIds.h"
#include "resources/StringIds.h"
#include "ui/ResourceText.h"
#include "ui/Theme.h"
#include "ui/WinApp.h"

#include <algorithm>

namespace {
constexpr int kWidth = 480;
constexpr int kHeight = 270;
constexpr int kMargin = 30;
constexpr int kLine = 20;
constexpr int kTextWidth = kWidth - 100 - kMargin;
constexpr int kOkTop = 205;
} // namespace

CDlgMessageBox::CDlgMessageBox() : CDialogEx(IDD_MESSAGEBOX) {}

CDlgMessageBox::~CDlgMessageBox() {
    ReleaseIcon();
}

INT_PTR CDlgMessageBox::ShowMessage(const wchar_t* text, std::uint32_t style, const wchar_t* title) {
    SetStyle(0);
    SetText(text);
    SetStyle(style);
    SetTitle(L"Norvik Fingerprint");
    if (title != nullptr && *title != L'\0')
        SetTitle(title);
    return DoModal();
}

void CDlgMessageBox::DoDataExchange() {
    m_stText.SubclassDlgItem(IDC_MSGBOX_TEXT, m_hWnd);
    m_stButton1.SubclassDlgItem(IDC_MSGBOX_BUTTON1, m_hWnd);
    m_stButton2.SubclassDlgItem(IDC_MSGBOX_BUTTON2, m_hWnd);
    m_stTitle.SubclassDlgItem(IDC_MSGBOX_TITLE, m_hWnd);
    m_btnClose.SubclassDlgItem(IDC_MSGBOX_CLOSE, m_hWnd);
    m_stAnother.SubclassDlgItem(IDC_MSGBOX_ANOTHER, m_hWnd);
}

BOOL CDlgMessageBox::OnInitDialog() {
    CDialogEx::OnInitDialog();
    Layout();
    // No taskbar button for a box.
    SetWindowLongPtrW(m_hWnd, GWL_EXSTYLE, GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE) | WS_EX_TOOLWINDOW);
    return TRUE;
}

void CDlgMessageBox::Layout() {
    using nvtheme::Px;
    using nvtheme::ScaleBox;
    SetClientSize(Px(kWidth), Px(kHeight));
    SetBackgroundColor(nvtheme::Colour(nvtheme::Role::Background), true);
    nvtheme::SetTitleLabel(m_stTitle, m_strTitle.c_str(), kWidth);
    nvtheme::PlaceCloseButton(m_btnClose, kWidth);

    const std::uint32_t style = NormalizeMessageBoxStyle(m_nStyle);
    ReleaseIcon();
    m_hIconBitmap = nvui::LoadPicture(MessageBoxIconBitmap(style));
    HWND icon = GetDlgItem(IDC_MSGBOX_ICON);
    // The template's own picture is the static's to keep; ours stays valid until the box goes.
    SendMessageW(icon, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(m_hIconBitmap.Get()));
    const RECT iconRect = ScaleBox(kMargin, 98, 42, 42);
    ::MoveWindow(icon, iconRect.left, iconRect.top, iconRect.right - iconRect.left,
                 iconRect.bottom - iconRect.top, TRUE);

    m_stText.SetLabel(m_strText.c_str(), nvtheme::kFace, kLine, nvtheme::Colour(nvtheme::Role::Text),
                      nvtheme::Colour(nvtheme::Role::Background), 0);
    // The text gets the lines it needs: at least three (two above the link), and a longer one
    // (a translation, a larger scale) as many as there is room for above the OK button.
    const RECT textRect = ScaleBox(100, 90, kTextWidth, 3 * kLine);
    const int textWidth = textRect.right - textRect.left;
    const int textNeeds = m_stText.MeasureText(m_strText.c_str(), textWidth).cy;
    const int room = Px(kOkTop - 5) - textRect.top;
    if (style & MSGBOX_ANOTHER_FINGER) {
        const int linkRoom = Px(5) + Px(kLine);
        m_stText.MoveWindow(textRect.left, textRect.top, textWidth,
                            std::clamp(textNeeds, Px(2 * kLine), std::max(Px(2 * kLine), room - linkRoom)));
        const std::wstring another = nvui::LoadResourceString(IDS_SCAN_ANOTHER);
        m_stAnother.SetLabel(another.c_str(), nvtheme::kFace, kLine, nvtheme::Colour(nvtheme::Role::Link),
                             nvtheme::Colour(nvtheme::Role::Background), LS_UNDERLINE);
        m_stAnother.EnableClick();
        m_stAnother.MoveWindow(textRect.left, m_stText.GetRectInParent().bottom + Px(5), textWidth,
                               Px(kLine));
        m_stAnother.ShowWindow(SW_SHOW);
    } else {
        m_stText.MoveWindow(textRect.left, textRect.top, textWidth,
                            std::max<int>(textRect.bottom - textRect.top, std::min(textNeeds, room)));
    }

    const std::wstring ok = nvui::LoadResourceString(IDS_OK);
    nvtheme::SetCommandLabel(m_stButton1, ok.c_str());
    m_stButton1.MoveWindow(ScaleBox(kMargin, kOkTop, 420, 45));

    m_stButton2.ShowWindow(SW_HIDE);

    // For the keyboard and screen readers: the answers in reading order, the close picture
    // named, and the title as window text, by which the box is announced.
    m_stButton1.SetAccessibleRole(CAccessibleStatic::Role::Button);
    // Enter presses OK: readers say so.
    m_stButton1.SetDefaultCommand(true);
    m_stAnother.SetAccessibleRole(CAccessibleStatic::Role::Link);
    m_btnClose.SetAccessibleRole(CAccessibleStatic::Role::Button);
    m_btnClose.SetAccessibleNameId(IDS_CLOSE);
    nvui::ArrangeTabOrder({&m_stButton1, &m_stAnother, &m_btnClose});
    nvui::RecheckCommands(m_hWnd);
    SetWindowTextW(m_hWnd, m_strTitle.c_str());
}

void CDlgMessageBox::ReleaseIcon() {
    if (!m_hIconBitmap)
        return;
    if (HWND icon = GetDlgItem(IDC_MSGBOX_ICON)) {
        // A static of common controls 6 may hold a copy of a bitmap with alpha; it hands that
        // copy back here, and it is ours to delete.
        auto* held = reinterpret_cast<HBITMAP>(SendMessageW(icon, STM_SETIMAGE, IMAGE_BITMAP, 0));
        if (held != nullptr && held != m_hIconBitmap.Get())
            DeleteObject(held);
    }
    m_hIconBitmap.Reset();
}

void CDlgMessageBox::OnLookChanged() {
    Layout();
    CDialogEx::OnLookChanged();
}

void CDlgMessageBox::OnPaint(HDC dc) {
    nvtheme::PaintTitleBand(dc, kWidth);
}

bool CDlgMessageBox::OnCommand(WORD id, WORD code, HWND control) {
    if (id == IDC_MSGBOX_CLOSE) {
        if (code == STN_CLICKED)
            EndDialog(IDCANCEL);
        return true;
    }
    return CDialogEx::OnCommand(id, code, control);
}

bool CDlgMessageBox::OnCustomMessage(UINT message, WPARAM wParam, LPARAM, LRESULT* result) {
    if (message != WM_LABEL_CLICKED)
        return false;
    if (wParam == IDC_MSGBOX_BUTTON1)
        EndDialog(IDOK);
    else if (wParam == IDC_MSGBOX_ANOTHER)
        EndDialog(MSGBOX_RESULT_ANOTHER);
    *result = 0;
    return true;
}

bool CDlgMessageBox::OnMessage(UINT message, WPARAM, LPARAM, LRESULT*) {
    // The icon's static still exists here, so a copy it made of our bitmap can be taken back.
    if (message == WM_DESTROY)
        ReleaseIcon();
    return false;
}
