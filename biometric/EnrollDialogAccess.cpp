// The enrolment dialog for the keyboard and for screen readers: Cancel and the close picture as
// buttons in that order (neither takes Enter, which never ends this dialog), the progress picture
// as a progress bar whose value is how far the print has filled, and the title as window text,
// so that the dialog is announced by what it shows.
#include "biometric/EnrollDialog.h"

#include "biometric/EnrollProgress.h"
#include "config/OsVersionProbe.h"
#include "resources/ResourceIds.h"
#include "resources/StringIds.h"

#include <algorithm>
#include <string>

namespace {

// Windows 8 is level 4: the first with live regions.
constexpr std::int32_t kLiveRegionLevel = 4;

} // namespace

void CDlgEnroll::SetUpCommandAccess() {
    m_stCancel.SetAccessibleRole(CAccessibleStatic::Role::Button);
    m_stCancel.SetEnterPresses(false);
    m_btnClose.SetAccessibleRole(CAccessibleStatic::Role::Button);
    m_btnClose.SetAccessibleNameId(IDS_CLOSE);
    m_btnClose.SetEnterPresses(false);
    m_picProgress.SetAccessibleRole(CAccessibleStatic::Role::Progress);
    nvui::ArrangeTabOrder({&m_stCancel, &m_btnClose});
    nvui::RecheckCommands(m_hWnd);
    SetWindowTextW(m_hWnd, m_strTitle.c_str());
    if (m_announcer.GetSafeHwnd() == nullptr)
        m_announcer.Create(m_hWnd, IDC_ENROLL_ANNOUNCER,
                           GetOSVersionLevel() >= kLiveRegionLevel ? CAnnouncer::Way::LiveRegion
                                                                   : CAnnouncer::Way::Alert);
    ShowProgressValue();
}

void CDlgEnroll::CountAcceptedSample(long count) {
    m_nAccepted = count == 0 ? 0 : std::max(m_nAccepted, count);
    m_bComplete = false;
}

void CDlgEnroll::ShowProgressValue() {
    // The print's last step waits for the framework's word that it has enough: a sensor may ask
    // for more samples than the picture has steps.
    const long steps =
        m_bComplete ? kEnrollProgressSteps : std::min<long>(m_nAccepted, kEnrollProgressSteps - 1);
    m_picProgress.SetAccessibleName(m_strTitle);
    m_picProgress.SetAccessibleValue(std::to_wstring(steps * 100 / kEnrollProgressSteps) + L"%");
}

void CDlgEnroll::AnnounceProgress() {
    m_announcer.Announce(m_strMessage + L" " + m_picProgress.GetAccessibleValue());
}
