// Process-wide window messages between the biometric wrapper, its callbacks and the dialogs.
#pragma once

#include <cstdint>

// Fixed numbers (in the WM_USER range) that every window of the program agrees on.
constexpr unsigned int WM_WBF_TRACE = 0x7FC;      // CWbfInfo -> notification window (sent), wParam = kind
constexpr unsigned int WM_ENROLL_EVENT = 0x7FD;   // enrolment callbacks and commit -> enrolment dialog
constexpr unsigned int WM_IDENTIFY_EVENT = 0x7FE; // identification callback -> enrolment dialog
constexpr unsigned int WM_FINGER_EXISTS = 0x801;  // enrolment dialog -> itself
constexpr unsigned int WM_ENROLL_RESTART = 0x802; // enrolment dialog -> itself
// WM_LABEL_CLICKED (0x806) belongs to the label and is declared in ui/FontStatic.h: a second
// definition here broke every file that includes both, as a dialog with labels and a wrapper does.

// wParam of WM_WBF_TRACE.
constexpr unsigned int WBF_TRACE_OUTCOME = 0; // outcome lines of a single template deletion
constexpr unsigned int WBF_TRACE_LINE = 1;    // ordinary lines
constexpr unsigned int WBF_TRACE_MARKER = 2;  // the empty line that starts OpenSession

// wParam of WM_ENROLL_EVENT and WM_IDENTIFY_EVENT: the event below in the low half, and in the
// high half the tag of the session whose request it reports (CWbfInfo::m_nSessionTag). The
// framework may complete a cancelled request long after the session has gone, and the dialog it
// would reach by then runs another session; the tag tells the two apart.
constexpr std::uint64_t MakeEventParam(unsigned int event, std::uint32_t tag) {
    return (std::uint64_t{tag} << 32) | event;
}
constexpr unsigned int EventCode(std::uint64_t wParam) {
    return static_cast<unsigned int>(wParam & 0xFFFFFFFFu);
}
constexpr std::uint32_t EventTag(std::uint64_t wParam) {
    return static_cast<std::uint32_t>(wParam >> 32);
}

// Events of WM_ENROLL_EVENT.
constexpr unsigned int ENROLL_EVENT_MORE_DATA = 0; // lParam = number of the accepted sample
constexpr unsigned int ENROLL_EVENT_CAPTURED = 1;  // enough samples: commit next
constexpr unsigned int ENROLL_EVENT_COMMITTED = 2;
constexpr unsigned int ENROLL_EVENT_FAILED = 3;      // lParam = HRESULT, sign-extended
constexpr unsigned int ENROLL_EVENT_BAD_CAPTURE = 4; // a refused sample; lParam = reject detail

// Events of WM_IDENTIFY_EVENT.
constexpr unsigned int IDENTIFY_EVENT_MATCH = 0;
constexpr unsigned int IDENTIFY_EVENT_UNKNOWN = 1;
constexpr unsigned int IDENTIFY_EVENT_FAILED = 2;      // lParam = status, sign-extended
constexpr unsigned int IDENTIFY_EVENT_BAD_CAPTURE = 3; // lParam = reject detail
