// The USB device interface class as the tests meet it: its GUID (GUID_DEVINTERFACE_USB_DEVICE),
// the interface names of its devices, and a window's registration for its notices.
#pragma once

#include <windows.h>

#include <dbt.h>

#include <string>

namespace testwin {

inline constexpr GUID kUsbDeviceInterface = {
    0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};

// "\\?\USB#<device>#{a5dcbf10-...}" for a device such as "VID_2F1B&PID_0106#5&1&0&1".
inline std::wstring UsbInterfaceName(const std::wstring& device) {
    return L"\\\\?\\USB#" + device + L"#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
}

// As the main window registers: notices of the USB class, or with `everyClass` of every class.
inline HDEVNOTIFY RegisterForUsbNotices(HWND window, bool everyClass = false) {
    DEV_BROADCAST_DEVICEINTERFACE_W filter = {};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = kUsbDeviceInterface;
    return RegisterDeviceNotificationW(window, &filter,
                                       DEVICE_NOTIFY_WINDOW_HANDLE |
                                           (everyClass ? DEVICE_NOTIFY_ALL_INTERFACE_CLASSES : 0));
}

} // namespace testwin
