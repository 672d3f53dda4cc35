// device_notice: sends a window of another process the WM_DEVICECHANGE of a device interface's
// removal, as the system does when a USB device goes away.
//   device_notice HWND INTERFACE-NAME [EVENT]   (EVENT defaults to 0x8004, remove complete)
#include "tests/support/UsbNotice.h"

#include <cwchar>
#include <string>
#include <vector>

int wmain(int argc, wchar_t** argv) {
    if (argc < 3)
        return 2;
    HWND target = reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::wcstoull(argv[1], nullptr, 0)));
    const std::wstring name = argv[2];
    const WPARAM event =
        argc > 3 ? static_cast<WPARAM>(std::wcstoul(argv[3], nullptr, 0)) : DBT_DEVICEREMOVECOMPLETE;
    std::vector<BYTE> buffer(sizeof(DEV_BROADCAST_DEVICEINTERFACE_W) + name.size() * sizeof(wchar_t));
    auto* record = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(buffer.data());
    record->dbcc_size = static_cast<DWORD>(buffer.size());
    record->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    record->dbcc_classguid = testwin::kUsbDeviceInterface;
    std::wmemcpy(record->dbcc_name, name.c_str(), name.size() + 1);
    DWORD_PTR result = 0;
    // Posting cannot carry the record across processes; a send can.
    if (!SendMessageTimeoutW(target, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(record), SMTO_NORMAL,
                             5000, &result))
        return 1;
    return 0;
}
