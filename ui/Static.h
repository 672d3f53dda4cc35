// CStatic: a C++ object attached to a dialog template's static control by subclassing it, so a
// derived class sees the control's messages first and passes on what it does not handle.
#pragma once

#include <windows.h>

class CStatic {
public:
    CStatic() = default;
    virtual ~CStatic();
    CStatic(const CStatic&) = delete;
    CStatic& operator=(const CStatic&) = delete;

    // Attaches to the control with this id in parent; PreSubclassWindow runs first. False when
    // there is no such control or this object is attached already.
    bool SubclassDlgItem(int id, HWND parent);
    // Detaches (the control keeps working as a plain static).
    void UnsubclassWindow();

    HWND GetSafeHwnd() const { return m_hWnd; }
    int GetDlgCtrlID() const { return m_hWnd ? ::GetDlgCtrlID(m_hWnd) : 0; }
    void MoveWindow(int x, int y, int width, int height, bool repaint = true);
    // The same by the rectangle's edges in the parent's client coordinates.
    void MoveWindow(const RECT& rc, bool repaint = true) {
        MoveWindow(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, repaint);
    }
    void ShowWindow(int command);
    // The window rectangle in the parent's client coordinates.
    RECT GetRectInParent() const;

protected:
    virtual void PreSubclassWindow() {}
    // Every message of the attached control; the default hands it on with Default.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);

    HWND m_hWnd = nullptr;

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR data);
};
