// CDlgMessageBox: the program's one message box (template 214): a dark title band with the
// title, an icon, the text, a wide "OK" button drawn as a label, a close button and, on request,
// a "Scan another finger" link. Results: IDOK, IDCANCEL, MSGBOX_RESULT_ANOTHER, or -1 when the
// window cannot be created.
#pragma once

#include "base/Win32Handle.h"
#include "ui/DialogEx.h"
#include "ui/FontStatic.h"
#include "ui/HoverPicBtn.h"
#include "ui/MessageBoxStyle.h"

#include <string>

class CDlgMessageBox : public CDialogEx {
public:
    CDlgMessageBox();
    ~CDlgMessageBox() override;

    // Runs the box modally over the active window; an empty or null title shows the program's
    // name.
    INT_PTR ShowMessage(const wchar_t* text, std::uint32_t style, const wchar_t* title);

    void SetStyle(std::uint32_t style) { m_nStyle = style; }
    void SetText(const wchar_t* text) { m_strText = text ? text : L""; }
    void SetTitle(const wchar_t* title) { m_strTitle = title ? title : L""; }

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    void OnPaint(HDC dc) override;
    void OnLookChanged() override;
    bool OnCustomMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    void Layout();
    void ReleaseIcon();

    std::uint32_t m_nStyle = 0;
    std::wstring m_strTitle;
    std::wstring m_strText;
    nvwin::GdiObject<HBITMAP> m_hIconBitmap;

    CFontStatic m_stText;
    CFontStatic m_stButton1;
    CFontStatic m_stButton2;
    CFontStatic m_stTitle;
    CFontStatic m_stAnother;
    CHoverPicBtn m_btnClose;
};
