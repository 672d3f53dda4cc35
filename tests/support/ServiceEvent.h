// The messages CWbfInfo posts to its window as the tests record them: which message, and its
// two parameters, printed in hex when a comparison fails.
#pragma once

#include "biometric/WbfMessages.h"

#include <windows.h>

#include <ostream>

namespace nvbiotest {

struct Event {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool operator==(const Event&) const = default;
};
inline std::ostream& operator<<(std::ostream& out, const Event& e) {
    return out << "{" << std::hex << e.message << ", " << e.wParam << ", " << e.lParam << std::dec << "}";
}

inline Event Enroll(WPARAM w, LPARAM l) {
    return {WM_ENROLL_EVENT, w, l};
}
inline Event Identify(WPARAM w, LPARAM l) {
    return {WM_IDENTIFY_EVENT, w, l};
}

// An HRESULT as the event's LPARAM carries it, sign-extended.
inline LPARAM Status(HRESULT hr) {
    return static_cast<LPARAM>(static_cast<LONG>(hr));
}

} // namespace nvbiotest
