// A plain white window of the main window's size, for the dialogs under test to belong to and the
// overlay to lie over: only its background shows, so the pixels around and under them are known.
#pragma once

#include "resources/ResourceIds.h"
#include "tests/support/UiTestSupport.h"
#include "ui/DialogEx.h"

namespace nvtest {

class OwnerWindow : public CDialogEx {
public:
    // The overlay's template: the same frame as the main window's, and no controls in the way.
    OwnerWindow() : CDialogEx(IDD_BLACKWND) {}

    // Shows it at (x, y) of the screen, above other windows (topmost, or at the top of the
    // ordinary ones), as the active window in the foreground.
    HWND Open(int x, int y, bool topmost = true) {
        Create(nullptr);
        SetWindowPos(m_hWnd, topmost ? HWND_TOPMOST : HWND_TOP, x, y, 0, 0, SWP_NOSIZE);
        SetClientSize(716, 520);
        SetBackgroundColor(0xFFFFFF);
        ShowWindow(SW_SHOW);
        SetForegroundWindow(m_hWnd);
        SetActiveWindow(m_hWnd);
        PumpFor(80);
        return m_hWnd;
    }
};

} // namespace nvtest
