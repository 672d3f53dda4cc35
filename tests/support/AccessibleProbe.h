// A screen reader's view of a window's controls: what oleacc's AccessibleObjectFromWindow gives
// for a control (role, name, state, default action, value), and its default action. Meant for
// windows of another process, as a reader sees them; the calling thread must be in a COM
// apartment (ComApartment).
#pragma once

#include "ui/AccessibleObject.h"

#include <oleacc.h>
#include <windows.h>

#include <string>

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

} // namespace testwin
