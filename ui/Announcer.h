// CAnnouncer: says a short text to screen readers while the keyboard focus stays where it is (on
// the enrolment's Cancel, say), where a reader speaks a label's new text only when it has the
// focus. It is a child window of no size whose accessible object is an alert named with the text.
// Where the system has live regions (Windows 8 on) it is a polite live region and each text raises
// EVENT_OBJECT_LIVEREGIONCHANGED; on Windows 7 it raises EVENT_SYSTEM_ALERT instead. Raising both
// would have a reader that follows both say everything twice.
#pragma once

#include "ui/AccessibleStatic.h"

#include <string>

class CAnnouncer : public CAccessibleStatic {
public:
    enum class Way { LiveRegion, Alert };

    CAnnouncer() { SetAccessibleRole(Role::Alert); }

    // Makes the window, with this id, in parent. False when it could not be made (then Announce
    // says nothing).
    bool Create(HWND parent, int id, Way way);
    void Announce(const std::wstring& text);
    // The last text announced.
    const std::wstring& Text() const { return m_strText; }

protected:
    std::wstring VisibleText() const override { return m_strText; }
    void Press() override {}

private:
    void MakeLiveRegion();

    Way m_way = Way::Alert;
    std::wstring m_strText;
};
