// CAccessibleStatic: what the owner-drawn statics share for people who use the keyboard or a
// screen reader. Every one answers WM_GETOBJECT with a role, a name and a state; one made a
// command (a button or a link) also takes the focus in the tab order its dialog gives it,
// presses with Space (and Enter, unless told not to), shows a focus cue while its dialog's UI
// state shows keyboard cues, and reports itself unavailable while it would ignore a click.
#pragma once

#include "ui/AccessibleObject.h"
#include "ui/Static.h"

#include <initializer_list>
#include <string>

// Sent by a command to its parent (wParam = the control id): nonzero while the parent ignores
// its commands (busy, or held by another program). A parent that does not answer holds nothing.
inline constexpr UINT WM_COMMANDS_HELD = 0x807;

class CAccessibleStatic : public CStatic, private nvui::AccessibleSource {
public:
    enum class Role { Text, Graphic, Progress, Button, Link, Alert };

    void SetAccessibleRole(Role role) { m_role = role; }
    // A name from the string table, loaded when a reader asks: for pictures, which have no text.
    void SetAccessibleNameId(UINT stringId) { m_nNameId = stringId; }
    // A name that changes with what the control stands for (the enrolment picture's stage); it
    // wins over the name id and the visible text. A change is announced.
    void SetAccessibleName(const std::wstring& name);
    // The command that Enter presses in its dialog reports itself as the default one.
    void SetDefaultCommand(bool isDefault) { m_bDefault = isDefault; }
    // What the control shows, as a reader should hear it ("38%"); a change is announced.
    void SetAccessibleValue(const std::wstring& value);
    const std::wstring& GetAccessibleValue() const { return m_strValue; }
    // Space always presses a command; Enter only where it may (never where it would end a dialog
    // that Enter must not end).
    void SetEnterPresses(bool presses) { m_bEnterPresses = presses; }
    bool IsCommand() const { return m_role == Role::Button || m_role == Role::Link; }
    // Whether the command's parent holds it back now.
    bool IsHeldByParent() const;
    // Whether a click would do something now: the control takes clicks, its parent does not hold
    // it and no modal run has its window disabled. Every way in (a click, a key, a reader's
    // default action) asks this when it acts, not only when it was asked for.
    bool TakesCommandsNow() const;
    // Asks again whether the command is available and tells readers when the answer changed
    // (EVENT_OBJECT_STATECHANGE). The first call only notes it.
    void RecheckAvailability();

protected:
    CAccessibleStatic();
    ~CAccessibleStatic() override;

    // The derived window procedure calls this first; true when the message was handled here.
    bool HandleAccessMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    // Whether the focus cue belongs on the control now: it has the focus and its dialog's UI
    // state does not hide focus cues.
    bool ShowsFocusCue() const;
    // A label's text changed: readers that follow it hear the new one.
    void NotifyNameChange() const;

    // The text the control shows, which is its name unless a name id is set.
    virtual std::wstring VisibleText() const { return {}; }
    // Whether a click would be taken now by the control itself (a label can refuse clicks).
    virtual bool IsPressable() const { return true; }
    // What a click does.
    virtual void Press() = 0;

private:
    long AccessibleRole() const override;
    std::wstring AccessibleName() const override;
    long AccessibleState() const override;
    std::wstring AccessibleDefaultAction() const override;
    bool RequestDefaultAction() override;
    std::wstring AccessibleValue() const override { return m_strValue; }

    bool IsPressKey(WPARAM key) const;

    Role m_role = Role::Text;
    UINT m_nNameId = 0;
    std::wstring m_strName;
    bool m_bDefault = false;
    // What readers were last told about availability; unknown before the first check.
    enum class Availability { Unknown, Available, Unavailable } m_availability = Availability::Unknown;
    std::wstring m_strValue;
    bool m_bEnterPresses = true;
    nvui::AccessibleHost m_access;
};

namespace nvui {

// Shows or hides the focus cues of a dialog's controls (its UI state's UISF_HIDEFOCUS).
void SetFocusCuesShown(HWND dialog, bool shown);
// The user's setting that keyboard cues are always shown (SPI_GETKEYBOARDCUES).
bool FocusCuesAlwaysShown();

// Makes the controls their dialog's tab stops in this order. The dialog manager goes through
// the controls in z-order, which the templates fix otherwise, so the controls are restacked.
void ArrangeTabOrder(std::initializer_list<const CStatic*> controls);

// Has every command among the dialog's controls check whether its availability changed (the
// dialog was disabled or enabled, its parent's holds or the commands' own states changed).
void RecheckCommands(HWND dialog);

} // namespace nvui
