// CHoverPicBtn: a static control that shows one bitmap resource normally and another while the
// mouse is over it. Clicks reach the parent as the static's own STN_CLICKED notification (the
// template gives the control SS_NOTIFY). As a command, a key press sends the same notification
// (see AccessibleStatic.h); otherwise a reader meets it as a graphic.
#pragma once

#include "ui/AccessibleStatic.h"

class CHoverPicBtn : public CAccessibleStatic {
public:
    CHoverPicBtn() { SetAccessibleRole(Role::Graphic); }

    // A hover id of 0 shows the normal bitmap under the mouse too. Ids are bitmap resources of
    // the program; 0 (or an id that does not exist) draws nothing.
    void SetBitmaps(int normalId, int hoverId);

    int GetNormalBitmap() const { return m_nNormalId; }
    int GetHoverBitmap() const { return m_nHoverId; }
    bool IsHovered() const { return m_bHover; }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void Press() override;

private:
    void Paint(HDC dc);

    bool m_bHover = false;
    int m_nNormalId = 0;
    int m_nHoverId = 0;
};
