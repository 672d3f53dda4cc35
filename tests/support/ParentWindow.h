// A plain white window of the program's main size for the overlay to lie over: only its
// background shows, so the pixels under the overlay are known.
#pragma once

#include "resources/ResourceIds.h"
#include "tests/support/UiTestSupport.h"
#include "ui/DialogEx.h"

namespace nvtest {

class ParentWindow : public CDialogEx {
public:
    ParentWindow() : CDialogEx(IDD_MAIN) {}
    void Open(int x, int y) {
        Create(nullptr);
        SetWindowPos(m_hWnd, HWND_TOPMOST, x, y, 0, 0, SWP_NOSIZE);
        SetClientSize(716, 520);
        SetBackgroundColor(0xFFFFFF);
        // Only the white background: the template's controls would get in the way of the pixels.
        for (HWND child = GetWindow(m_hWnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            ::ShowWindow(child, SW_HIDE);
        ShowWindow(SW_SHOW);
        PumpFor(80);
    }
};

} // namespace nvtest
