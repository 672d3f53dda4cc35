// The main window's commands for the keyboard and for screen readers: their roles, the names of
// the two pictures, and the tab order, which reads as the window does: Enroll, Clear, then the
// title bar's minimise and close.
#include "app/DlgMain.h"

#include "resources/StringIds.h"

void CDlgMain::SetUpCommandAccess() {
    m_stEnroll.SetAccessibleRole(CAccessibleStatic::Role::Button);
    m_stClear.SetAccessibleRole(CAccessibleStatic::Role::Button);
    for (CHoverPicBtn* picture : {&m_btnMinimize, &m_btnClose})
        picture->SetAccessibleRole(CAccessibleStatic::Role::Button);
    m_btnMinimize.SetAccessibleNameId(IDS_MINIMIZE);
    m_btnClose.SetAccessibleNameId(IDS_CLOSE);
    // Enter never ends the main window; Space on the close button does.
    m_btnClose.SetEnterPresses(false);
    nvui::ArrangeTabOrder({&m_stEnroll, &m_stClear, &m_btnMinimize, &m_btnClose});
    // What readers are told from here on is measured against this.
    nvui::RecheckCommands(m_hWnd);
}
