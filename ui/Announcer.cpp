// Announcements for screen readers, by live region or by alert.
#include "ui/Announcer.h"

#include <oleacc.h>

namespace {

// EVENT_OBJECT_LIVEREGIONCHANGED (Windows 8 on), which older SDK headers lack.
constexpr DWORD kEventLiveRegionChanged = 0x8019;
// LiveSetting_Property_GUID and its value Polite (UIAutomationCore), spelled out for the same
// reason; a polite region waits for the reader to finish what it is saying.
constexpr GUID kLiveSettingProperty = {
    0xc12bcd8e, 0x2a8e, 0x4950, {0x8a, 0xe7, 0x36, 0x25, 0x11, 0x1d, 0x58, 0xeb}};
constexpr LONG kLivePolite = 1;
// CLSID_AccPropServices and IID_IAccPropServices.
constexpr CLSID kAccPropServices = {
    0xb5f8350b, 0x0548, 0x48b1, {0xa6, 0xee, 0x88, 0xbd, 0x00, 0xb4, 0xa5, 0xe7}};
constexpr IID kIID_IAccPropServices = {
    0x6e26e776, 0x04f0, 0x495d, {0x80, 0xe4, 0x33, 0x30, 0x35, 0x2e, 0x31, 0x69}};

} // namespace

bool CAnnouncer::Create(HWND parent, int id, Way way) {
    m_way = way;
    // Of no size, so it takes no pixel and no click; shown, since readers pass over what is not.
    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_NOTIFY, 0, 0, 0, 0, parent,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    if (window == nullptr || !SubclassDlgItem(id, parent)) {
        if (window != nullptr)
            ::DestroyWindow(window);
        return false;
    }
    if (m_way == Way::LiveRegion)
        MakeLiveRegion();
    return true;
}

// The live setting is a property the accessibility runtime adds to the window's object (dynamic
// annotation); without it the region counts as off, and readers may not speak it.
void CAnnouncer::MakeLiveRegion() {
    nvui::JoinApartment();
    IAccPropServices* services = nullptr;
    if (FAILED(CoCreateInstance(kAccPropServices, nullptr, CLSCTX_INPROC_SERVER, kIID_IAccPropServices,
                                reinterpret_cast<void**>(&services))) ||
        services == nullptr)
        return;
    VARIANT polite;
    VariantInit(&polite);
    polite.vt = VT_I4;
    polite.lVal = kLivePolite;
    static_cast<void>(services->SetHwndProp(m_hWnd, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                            kLiveSettingProperty, polite));
    services->Release();
}

void CAnnouncer::Announce(const std::wstring& text) {
    if (m_hWnd == nullptr || text.empty())
        return;
    m_strText = text;
    SetWindowTextW(m_hWnd, m_strText.c_str());
    NotifyWinEvent(m_way == Way::LiveRegion ? kEventLiveRegionChanged : EVENT_SYSTEM_ALERT, m_hWnd,
                   OBJID_CLIENT, CHILDID_SELF);
}
