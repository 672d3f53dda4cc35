// The enrolment dialog for the keyboard and for screen readers: Cancel and the close picture as
// buttons in that order (neither takes Enter, which never ends this dialog), the progress picture
// as a progress bar whose value is how far the print has filled, and the title as window text,
// so that the dialog is announced by what it shows.
#include "biometric/EnrollDialog.h"

#include "biometric/EnrollProgress.h"
#include "resources/StringIds.h"

#include <string>

void CDlgEnroll::SetUpCommandAccess() {
    m_stCancel.SetAccessibleRole(CAccessibleStatic::Role::Button);
    m_stCancel.SetEnterPresses(false);
    m_btnClose.SetAccessibleRole(CAccessibleStatic::Role::Button);
    m_btnClose.SetAccessibleNameId(IDS_CLOSE);
    m_btnClose.SetEnterPresses(false);
    m_picProgress.SetAccessibleRole(CAccessibleStatic::Role::Progress);
    nvui::ArrangeTabOrder({&m_stCancel, &m_btnClose});
    SetWindowTextW(m_hWnd, m_strTitle.c_str());
    ShowProgressValue();
}

void CDlgEnroll::ShowProgressValue() {
    const int step = EnrollProgressStep(m_picProgress.GetNormalBitmap());
    m_picProgress.SetAccessibleValue(
        step < 0 ? std::wstring() : std::to_wstring(step) + L" of " + std::to_wstring(kEnrollProgressSteps));
}
