// Subclassing of a template's static controls.
#include "ui/Static.h"

#include "ui/SystemDlls.h"

namespace {
constexpr UINT_PTR kSubclassId = 0x4E56; // one subclass of ours per control
}

CStatic::~CStatic() {
    UnsubclassWindow();
}

bool CStatic::SubclassDlgItem(int id, HWND parent) {
    if (m_hWnd != nullptr)
        return false;
    HWND control = ::GetDlgItem(parent, id);
    if (control == nullptr)
        return false;
    m_hWnd = control;
    PreSubclassWindow();
    if (!nvui::SetSubclass(control, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) {
        m_hWnd = nullptr;
        return false;
    }
    return true;
}

void CStatic::UnsubclassWindow() {
    if (m_hWnd != nullptr) {
        nvui::RemoveSubclass(m_hWnd, SubclassProc, kSubclassId);
        m_hWnd = nullptr;
    }
}

void CStatic::MoveWindow(int x, int y, int width, int height, bool repaint) {
    if (m_hWnd)
        ::MoveWindow(m_hWnd, x, y, width, height, repaint ? TRUE : FALSE);
}

void CStatic::ShowWindow(int command) {
    if (m_hWnd)
        ::ShowWindow(m_hWnd, command);
}

RECT CStatic::GetRectInParent() const {
    RECT rc = {};
    if (m_hWnd) {
        GetWindowRect(m_hWnd, &rc);
        MapWindowPoints(HWND_DESKTOP, GetParent(m_hWnd), reinterpret_cast<POINT*>(&rc), 2);
    }
    return rc;
}

LRESULT CStatic::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return Default(message, wParam, lParam);
}

LRESULT CStatic::Default(UINT message, WPARAM wParam, LPARAM lParam) {
    return nvui::DefaultSubclassProc(m_hWnd, message, wParam, lParam);
}

LRESULT CALLBACK CStatic::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                       DWORD_PTR data) {
    auto* self = reinterpret_cast<CStatic*>(data);
    if (message == WM_NCDESTROY) {
        // The control goes away before its object: detach so the object never touches it again.
        nvui::RemoveSubclass(hwnd, SubclassProc, kSubclassId);
        self->m_hWnd = nullptr;
        return nvui::DefaultSubclassProc(hwnd, message, wParam, lParam);
    }
    try {
        return self->WindowProc(message, wParam, lParam);
    } catch (...) {
        // Nothing may unwind through the system's window procedure.
        return nvui::DefaultSubclassProc(hwnd, message, wParam, lParam);
    }
}
