// The accessible object of a control: IAccessible over the platform's standard object of the
// window, with the answers that only the control can give.
#include "ui/AccessibleObject.h"

#include "ui/SystemDlls.h"

#include <oleacc.h>
#include <ole2.h>

#include <new>

namespace nvui {

namespace {

bool IsSelf(const VARIANT& child) {
    return (child.vt == VT_I4 && child.lVal == CHILDID_SELF) || child.vt == VT_EMPTY;
}

// A text for the reader: S_FALSE with no string when there is none.
HRESULT ReturnText(const std::wstring& text, BSTR* out) {
    *out = nullptr;
    if (text.empty())
        return S_FALSE;
    *out = SysAllocStringLen(text.c_str(), static_cast<UINT>(text.size()));
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

// Nothing may unwind into the COM runtime (a text that cannot be allocated, say).
template <typename Answer> HRESULT Guarded(Answer&& answer) noexcept {
    try {
        return answer();
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

} // namespace

// Marshalling the object needs COM on this thread. The thread stays in its apartment for good:
// readers may call the objects handed out for as long as the thread runs.
void JoinApartment() {
    static thread_local bool joined = false;
    if (joined)
        return;
    joined = true;
    // S_FALSE (joined already) and RPC_E_CHANGED_MODE (a multithreaded apartment, which marshals
    // as well) are fine too.
    static_cast<void>(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
}

class CAccessibleObject final : public IAccessible, public IOleWindow {
public:
    CAccessibleObject(HWND hwnd, AccessibleSource& source, IAccessible* standard)
        : m_hWnd(hwnd), m_pSource(&source), m_pStandard(standard) {}
    CAccessibleObject(const CAccessibleObject&) = delete;
    CAccessibleObject& operator=(const CAccessibleObject&) = delete;

    HWND Window() const { return m_hWnd; }

    void Disconnect() {
        m_pSource = nullptr;
        if (m_pStandard != nullptr) {
            m_pStandard->Release();
            m_pStandard = nullptr;
        }
    }

    //--- IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (object == nullptr)
            return E_POINTER;
        *object = nullptr;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
            IsEqualIID(riid, kIID_IAccessible))
            *object = static_cast<IAccessible*>(this);
        else if (IsEqualIID(riid, IID_IOleWindow))
            *object = static_cast<IOleWindow*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_nRefs)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG refs = InterlockedDecrement(&m_nRefs);
        if (refs == 0) {
            Disconnect();
            delete this;
        }
        return static_cast<ULONG>(refs);
    }

    //--- IDispatch: readers use the vtable; there is no type information to offer.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count == nullptr)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info != nullptr)
            *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return E_NOTIMPL;
    }

    //--- IOleWindow: how a reader gets from the object back to its window.
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* hwnd) override {
        if (hwnd == nullptr)
            return E_POINTER;
        *hwnd = m_pSource != nullptr ? m_hWnd : nullptr;
        return m_pSource != nullptr ? S_OK : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    //--- IAccessible: our own answers.
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        if (name == nullptr)
            return E_POINTER;
        *name = nullptr;
        if (m_pSource == nullptr)
            return CO_E_OBJNOTCONNECTED;
        if (!IsSelf(child))
            return E_INVALIDARG;
        return Guarded([&] { return ReturnText(m_pSource->AccessibleName(), name); });
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        if (value == nullptr)
            return E_POINTER;
        *value = nullptr;
        if (m_pSource == nullptr)
            return CO_E_OBJNOTCONNECTED;
        if (!IsSelf(child))
            return E_INVALIDARG;
        return Guarded([&] { return ReturnText(m_pSource->AccessibleValue(), value); });
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        if (role == nullptr)
            return E_POINTER;
        VariantInit(role);
        if (m_pSource == nullptr)
            return CO_E_OBJNOTCONNECTED;
        if (!IsSelf(child))
            return E_INVALIDARG;
        role->vt = VT_I4;
        role->lVal = m_pSource->AccessibleRole();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        if (state == nullptr)
            return E_POINTER;
        VariantInit(state);
        if (m_pSource == nullptr)
            return CO_E_OBJNOTCONNECTED;
        if (!IsSelf(child))
            return E_INVALIDARG;
        state->vt = VT_I4;
        state->lVal = m_pSource->AccessibleState();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        if (action == nullptr)
            return E_POINTER;
        *action = nullptr;
        if (m_pSource == nullptr)
            return CO_E_OBJNOTCONNECTED;
        if (!IsSelf(child))
            return E_INVALIDARG;
        return Guarded([&] { return ReturnText(m_pSource->AccessibleDefaultAction(), action); });
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        if (m_pSource == nullptr)
            return CO_E_OBJNOTCONNECTED;
        if (!IsSelf(child))
            return E_INVALIDARG;
        return m_pSource->RequestDefaultAction() ? S_OK : DISP_E_MEMBERNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
        if (focus == nullptr)
            return E_POINTER;
        VariantInit(focus);
        if (m_pSource == nullptr)
            return CO_E_OBJNOTCONNECTED;
        if (GetFocus() == m_hWnd) {
            focus->vt = VT_I4;
            focus->lVal = CHILDID_SELF;
        }
        return S_OK;
    }

    //--- IAccessible: what the platform's object of the window knows.
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        return Standard() ? m_pStandard->get_accParent(parent) : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
        return Standard() ? m_pStandard->get_accChildCount(count) : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override {
        return Standard() ? m_pStandard->get_accChild(child, object) : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override {
        return Standard() ? m_pStandard->get_accDescription(child, text) : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* text) override {
        return Standard() ? m_pStandard->get_accHelp(child, text) : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override {
        return Standard() ? m_pStandard->get_accHelpTopic(file, child, topic) : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* text) override {
        return Standard() ? m_pStandard->get_accKeyboardShortcut(child, text) : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
        return Standard() ? m_pStandard->get_accSelection(selection) : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override {
        return Standard() ? m_pStandard->accSelect(flags, child) : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                                          VARIANT child) override {
        return Standard() ? m_pStandard->accLocation(left, top, width, height, child) : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
        return Standard() ? m_pStandard->accNavigate(direction, start, end) : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* child) override {
        return Standard() ? m_pStandard->accHitTest(x, y, child) : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

private:
    ~CAccessibleObject() = default;
    bool Standard() const { return m_pStandard != nullptr; }

    LONG m_nRefs = 1;
    HWND m_hWnd;
    AccessibleSource* m_pSource;
    IAccessible* m_pStandard; // one reference, until disconnected
};

AccessibleHost::~AccessibleHost() {
    Disconnect();
}

bool AccessibleHost::Answer(HWND hwnd, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    // The object id travels as a 32-bit value, sign-extended or not.
    if (static_cast<LONG>(static_cast<DWORD>(lParam)) != OBJID_CLIENT)
        return false;
    JoinApartment();
    if (m_pObject != nullptr && m_pObject->Window() != hwnd)
        Disconnect(); // the control was attached to a new window since
    if (m_pObject == nullptr) {
        IAccessible* standard = nullptr;
        if (FAILED(CreateStandardAccessible(hwnd, OBJID_CLIENT, kIID_IAccessible,
                                            reinterpret_cast<void**>(&standard))) ||
            standard == nullptr)
            return false;
        m_pObject = new (std::nothrow) CAccessibleObject(hwnd, m_source, standard);
        if (m_pObject == nullptr) {
            standard->Release();
            return false;
        }
    }
    const LRESULT answer =
        ResultFromAccessible(kIID_IAccessible, wParam, static_cast<IAccessible*>(m_pObject));
    if (answer <= 0)
        return false;
    *result = answer;
    return true;
}

void AccessibleHost::Disconnect() {
    if (m_pObject == nullptr)
        return;
    CAccessibleObject* object = m_pObject;
    m_pObject = nullptr;
    object->Disconnect();
    // Readers' proxies let go of the object now rather than when they next call.
    CoDisconnectObject(static_cast<IAccessible*>(object), 0);
    object->Release();
}

} // namespace nvui
