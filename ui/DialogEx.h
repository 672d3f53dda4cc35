// CDialogEx: a dialog made from a template of the program's resources, run modally by a
// message loop of its own or created modeless. One dialog procedure dispatches to small
// virtual handlers; nothing thrown by a handler leaves it.
//
// The modal loop disables the owner, and hands every message first to the pre-translate hook
// of the dialog the message is for, then to the dialog manager, then to the window. EndDialog
// only records the result: the loop ends once the handler that called it has returned, so a
// handler can finish its work (and an inner modal loop can run) after asking for the end.
// A dialog that is activated from outside while a modal run has it disabled hands the
// activation on to the dialog of the innermost run.
#pragma once

#include "base/Win32Handle.h"

#include <windows.h>

class CDialogEx {
public:
    // parent: the owner of the dialog window; null lets DoModal take the active window.
    explicit CDialogEx(UINT templateId, HWND parent = nullptr);
    virtual ~CDialogEx();
    CDialogEx(const CDialogEx&) = delete;
    CDialogEx& operator=(const CDialogEx&) = delete;

    // Creates, shows and runs the dialog until EndDialog; returns its result, or -1 when the
    // window could not be created. Without a parent, the owner is the active window of the
    // thread (when it has none: the dialog of the innermost modal run still on screen) and the
    // dialog is centred over it.
    virtual INT_PTR DoModal();
    // Creates the window modeless (not shown unless the template says WS_VISIBLE).
    bool Create(HWND parent);
    bool Create(UINT templateId, HWND parent);
    void DestroyWindow();

    // Ends a modal run with this result once the current message has been handled.
    void EndDialog(INT_PTR result);
    // Ends the run and takes the window off the screen now, the way the run's own end does: the
    // owner gets its input back and, if we had it, the activation, then the window is hidden.
    // For ending a run from outside it (a box of a dialog that is cancelled, say); hiding a
    // window whose owner is still disabled would hand the activation to another program.
    void Dismiss(INT_PTR result);

    HWND GetSafeHwnd() const { return m_hWnd; }
    HWND GetDlgItem(int id) const { return m_hWnd ? ::GetDlgItem(m_hWnd, id) : nullptr; }
    void ShowWindow(int command);
    bool IsModalRunning() const { return m_bInModalLoop; }

    // The colour the dialog (and its plain static controls) are painted with.
    void SetBackgroundColor(COLORREF colour, bool repaint = true);
    // Moves the window so that its centre is the centre of `over` (or of the work area).
    void CenterWindow(HWND over);
    // Keeps the top-left corner and gives the window a client area of this size.
    void SetClientSize(int width, int height);

    // The dialog object of a window created by this class, or null.
    static CDialogEx* FromHandle(HWND hwnd);
    // A window about to get a box or a dimming overlay over it: when it (or the window that owns
    // it) is minimised it is restored first, so that what goes over it is placed on the screen
    // over its restored place instead of off every screen over the minimised one.
    static void RestoreIfMinimised(HWND window);
    // What a click on a window that a modal run has disabled does: the dialog of the innermost
    // run comes forward (activated, flashed) with a beep. False when no run is on screen.
    static bool BringModalForward();
    // What the modal loop does with one message: the pre-translate hook of the dialog the
    // message is for, the dialog manager, then translation and dispatch. For tests and for
    // loops of other code that pump while our dialogs are open.
    static void RouteMessage(MSG& msg);
    // Whether the last key or button input that a loop of this thread routed came from the
    // keyboard: what decides whether a new dialog shows its focus cues at once.
    static bool LastInputFromKeyboard() { return s_bLastInputFromKeyboard; }
    // The keyboard rule of the dialogs that must not end on Enter or Escape: such a key-down is
    // handed straight to its window instead of the dialog manager. Returns whether it was.
    static bool FilterEnterEscape(MSG* msg);

protected:
    // WM_INITDIALOG. The default attaches the controls (DoDataExchange) and returns TRUE, which
    // lets the dialog manager set the focus.
    virtual BOOL OnInitDialog();
    // Attach the control objects to the template's controls here (SubclassDlgItem).
    virtual void DoDataExchange() {}
    // Sees a message before the dialog manager; true means handled (nothing else sees it).
    virtual bool PreTranslateMessage(MSG* msg);
    // WM_COMMAND; the default maps IDOK and IDCANCEL to OnOK and OnCancel.
    virtual bool OnCommand(WORD id, WORD code, HWND control);
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    // The system's colours or settings changed and the theme's look with them (high contrast on
    // or off, or other system colours under it): the dialog applies the look again. The default
    // repaints the window.
    virtual void OnLookChanged();
    // WM_PAINT, between BeginPaint and EndPaint.
    virtual void OnPaint(HDC) {}
    virtual void OnTimer(UINT_PTR) {}
    // Messages of the private ranges, WM_USER to 0xBFFF (WM_APP included, and the program's
    // fixed ids such as 0x806). Return true when handled, with *result set.
    virtual bool OnCustomMessage(UINT, WPARAM, LPARAM, LRESULT*) { return false; }
    // Messages registered with RegisterWindowMessage (0xC000 to 0xFFFF).
    virtual bool OnRegisteredMessage(UINT, WPARAM, LPARAM, LRESULT*) { return false; }
    // Any other message; true when handled, with *result set.
    virtual bool OnMessage(UINT, WPARAM, LPARAM, LRESULT*) { return false; }

    HWND m_hWnd = nullptr;
    HWND m_hParent = nullptr;
    UINT m_nTemplateId;

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    bool Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    HWND CreateFromTemplate(HWND parent);
    // The window of the innermost modal run of this thread that is still shown, or null.
    static HWND InnermostModalWindow();
    // WM_ACTIVATE of a window that the modal run above it has disabled: the activation goes on to
    // that run's dialog. Returns whether it did.
    bool PassActivationToModal();
    // The end of a modal run's hold on its owner: input back, activation back, window hidden.
    void ReleaseOwnerAndHide();

    // The modal runs of a thread, innermost first, linked through the dialogs that run them.
    static thread_local CDialogEx* s_pInnermostModal;
    static thread_local bool s_bLastInputFromKeyboard;
    CDialogEx* m_pOuterModal = nullptr;
    HWND m_hModalOwner = nullptr;  // the owner of the running modal dialog
    bool m_bOwnerDisabled = false; // and whether the run disabled it

    nvwin::GdiObject<HBRUSH> m_hBackgroundBrush;
    COLORREF m_clrBackground = 0;
    bool m_bInModalLoop = false;
    bool m_bEndRequested = false;
    INT_PTR m_nModalResult = -1;
};
