// The object a screen reader gets for one of our controls (WM_GETOBJECT for OBJID_CLIENT). What
// the platform's standard object of a window already answers (place, parent, navigation, hit
// tests) is asked of that object; role, name, state, default action, value and focus come from
// the control, which knows what its pixels mean.
#pragma once

#include <windows.h>

#include <string>

namespace nvui {

// IID_IAccessible, spelled out: the import library may resolve the name to a thunk instead.
inline constexpr IID kIID_IAccessible = {
    0x618736E0, 0x3C3D, 0x11CF, {0x81, 0x0C, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

// What a control tells assistive technology about itself. Asked on the control's own thread
// only: the objects live in that thread's single-threaded apartment.
class AccessibleSource {
public:
    virtual long AccessibleRole() const = 0;
    virtual std::wstring AccessibleName() const = 0;
    // STATE_SYSTEM_* bits.
    virtual long AccessibleState() const = 0;
    // Empty when the control has no default action.
    virtual std::wstring AccessibleDefaultAction() const = 0;
    // Has the default action done from the control's own message loop, not inside the reader's
    // call (Enroll runs a modal dialog, which would hold the reader until it closes). False when
    // there is none.
    virtual bool RequestDefaultAction() = 0;
    // Empty when the control has no value.
    virtual std::wstring AccessibleValue() const = 0;

protected:
    AccessibleSource() = default;
    ~AccessibleSource() = default;
    AccessibleSource(const AccessibleSource&) = default;
    AccessibleSource& operator=(const AccessibleSource&) = default;
};

class CAccessibleObject;

// Puts the calling thread into a single-threaded COM apartment, once; it stays there.
void JoinApartment();

// Hands out the one object of a control's window and cuts it off from the control when the
// window goes: a reader may keep its reference far longer than the window lives.
class AccessibleHost {
public:
    explicit AccessibleHost(AccessibleSource& source) : m_source(source) {}
    ~AccessibleHost();
    AccessibleHost(const AccessibleHost&) = delete;
    AccessibleHost& operator=(const AccessibleHost&) = delete;

    // WM_GETOBJECT: true with *result set when the request is for the client object; otherwise
    // the window procedure hands the message on and the platform answers.
    bool Answer(HWND hwnd, WPARAM wParam, LPARAM lParam, LRESULT* result);
    // The window goes: the object answers nothing more.
    void Disconnect();

private:
    AccessibleSource& m_source;
    CAccessibleObject* m_pObject = nullptr; // holds one reference while connected
};

} // namespace nvui
