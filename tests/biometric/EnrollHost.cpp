// enroll_host.exe: shows the enrolment dialog modally, as the main window would, and reports
// the result on stdout ("result N") and as the exit code. For tests that drive the dialog from
// another process (guidriver, winbio-sim) and for looking at the dialog by hand.
#include "biometric/EnrollDialog.h"

#include <cstdio>

int wmain() {
    CDlgEnroll dialog;
    const INT_PTR result = dialog.DoModal();
    std::printf("result %d\n", static_cast<int>(result));
    std::fflush(stdout);
    return static_cast<int>(result);
}
