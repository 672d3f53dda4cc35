// A screen reader's view of a window's controls: what oleacc's AccessibleObjectFromWindow gives
// for a control (role, name, state, default action, value), and its default action. Meant for
// windows of another process, as a reader sees them; the calling thread must be in a COM
// apartment (ComApartment).
#pragma once

#include "ui/AccessibleObject.h"

#include <oleacc.h>
#include <windows.h>

#include "tests/support/Wait.h"

#include <functional>
#include <string>
#include <vector>

namespace testwin {

class ComApartment {
public:
    ComApartment() : m_hr(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComApartment() {
        if (SUCCEEDED(m_hr))
            CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    HRESULT m_hr;
};

struct AccessibleFacts {
    bool found = false;
    long role = 0;
    long state = 0;
    std::wstring name, action, value;
};

class AccessibleControl {
public:
    explicit AccessibleControl(HWND control) {
        if (control != nullptr)
            AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT), nvui::kIID_IAccessible,
                                       reinterpret_cast<void**>(&m_object));
    }
    ~AccessibleControl() {
        if (m_object != nullptr)
            m_object->Release();
    }
    AccessibleControl(const AccessibleControl&) = delete;
    AccessibleControl& operator=(const AccessibleControl&) = delete;

    AccessibleFacts Read() const {
        AccessibleFacts facts;
        if (m_object == nullptr)
            return facts;
        facts.found = true;
        VARIANT self = {};
        self.vt = VT_I4;
        self.lVal = CHILDID_SELF;
        VARIANT out = {};
        if (SUCCEEDED(m_object->get_accRole(self, &out)) && out.vt == VT_I4)
            facts.role = out.lVal;
        VariantClear(&out);
        if (SUCCEEDED(m_object->get_accState(self, &out)) && out.vt == VT_I4)
            facts.state = out.lVal;
        VariantClear(&out);
        facts.name = Text(&IAccessible::get_accName, self);
        facts.action = Text(&IAccessible::get_accDefaultAction, self);
        facts.value = Text(&IAccessible::get_accValue, self);
        return facts;
    }

    HRESULT DoDefaultAction() const {
        VARIANT self = {};
        self.vt = VT_I4;
        self.lVal = CHILDID_SELF;
        return m_object != nullptr ? m_object->accDoDefaultAction(self) : E_FAIL;
    }

private:
    std::wstring Text(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*), VARIANT self) const {
        BSTR text = nullptr;
        std::wstring result;
        if (SUCCEEDED((m_object->*get)(self, &text)) && text != nullptr)
            result.assign(text, SysStringLen(text));
        SysFreeString(text);
        return result;
    }

    IAccessible* m_object = nullptr;
};

inline AccessibleFacts ReadAccessible(HWND window, int id) {
    return AccessibleControl(GetDlgItem(window, id)).Read();
}

// The accessibility events of a process as a screen reader's hook (out of context) gets them,
// each with the control it came from and the object's name and value read right then, when the
// reader would speak them. One watch at a time; the events arrive through this thread's messages.
struct SeenEvent {
    DWORD event = 0;
    HWND hwnd = nullptr;
    int id = 0;
    std::wstring name, value;
};

class WinEventWatch {
public:
    WinEventWatch(DWORD pid, DWORD firstEvent, DWORD lastEvent)
        : m_hook(SetWinEventHook(firstEvent, lastEvent, nullptr, Seen, pid, 0, WINEVENT_OUTOFCONTEXT)) {
        s_seen.clear();
    }
    ~WinEventWatch() {
        if (m_hook != nullptr)
            UnhookWinEvent(m_hook);
    }
    WinEventWatch(const WinEventWatch&) = delete;
    WinEventWatch& operator=(const WinEventWatch&) = delete;

    // Pumps this thread's messages until done says so about what was seen.
    bool WaitFor(const std::function<bool(const std::vector<SeenEvent>&)>& done, DWORD timeoutMs) const {
        return DispatchUntil([&done] { return done(s_seen); }, timeoutMs);
    }
    // What was seen of one event from one control (any control: id 0).
    static std::vector<SeenEvent> Of(DWORD event, int id = 0) {
        std::vector<SeenEvent> found;
        for (const SeenEvent& seen : s_seen)
            if (seen.event == event && (id == 0 || seen.id == id))
                found.push_back(seen);
        return found;
    }

private:
    static void CALLBACK Seen(HWINEVENTHOOK, DWORD event, HWND hwnd, LONG object, LONG child, DWORD, DWORD) {
        if (object != OBJID_CLIENT || child != CHILDID_SELF)
            return;
        SeenEvent seen{event, hwnd, GetDlgCtrlID(hwnd), {}, {}};
        IAccessible* accessible = nullptr;
        VARIANT self = {};
        if (SUCCEEDED(AccessibleObjectFromEvent(hwnd, static_cast<DWORD>(object), static_cast<DWORD>(child),
                                                &accessible, &self)) &&
            accessible != nullptr) {
            BSTR text = nullptr;
            if (SUCCEEDED(accessible->get_accName(self, &text)) && text != nullptr)
                seen.name.assign(text, SysStringLen(text));
            SysFreeString(text);
            text = nullptr;
            if (SUCCEEDED(accessible->get_accValue(self, &text)) && text != nullptr)
                seen.value.assign(text, SysStringLen(text));
            SysFreeString(text);
            accessible->Release();
        }
        VariantClear(&self);
        s_seen.push_back(std::move(seen));
    }
    static inline std::vector<SeenEvent> s_seen;
    HWINEVENTHOOK m_hook;
};

} // namespace testwin
