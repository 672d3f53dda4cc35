// The main window's rules that need no Win32: its fixed geometry, the finger-count text, which
// command labels are active for a count, and how a device-interface broadcast names the sensor.
#pragma once

#include "biometric/FingerIds.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace mainwnd {

struct Rect {
    int left, top, right, bottom;
};

inline constexpr int kClientWidth = 716;
inline constexpr int kClientHeight = 520;
inline constexpr int kRightMargin = 30;
inline constexpr int kHeaderHeight = 56;
inline constexpr int kAccentHeight = 4;

inline constexpr Rect kHeaderRect = {0, 0, kClientWidth, kHeaderHeight};
inline constexpr Rect kAccentRect = {0, kHeaderHeight, kClientWidth, kHeaderHeight + kAccentHeight};
// The two white panels on the right; the command labels sit 14 pixels under each.
inline constexpr Rect kEnrollPanel = {266, 76, kClientWidth - kRightMargin, 76 + 156};
inline constexpr Rect kClearPanel = {266, kEnrollPanel.bottom + 75, kClientWidth - kRightMargin,
                                     kEnrollPanel.bottom + 75 + 134};
static_assert(kEnrollPanel.right == 686 && kEnrollPanel.bottom == 232);
static_assert(kClearPanel.top == 307 && kClearPanel.bottom == 441);

// The USB vendor id of the maker's sensors.
inline constexpr std::uint16_t kSensorVendorId = 0x2F1B;

// "%2d/10": a space before a single digit, and counts above ten as they are ("12/10").
std::u16string FingerCountText(int count);
// The enrolled fingers among the flags: every non-zero entry counts.
int CountEnrolledFingers(const FingerFlags& flags);
// Enroll takes clicks below ten fingers, Clear above none.
inline bool IsEnrollActive(int count) {
    return count < 10;
}
inline bool IsClearActive(int count) {
    return count > 0;
}

// What the device-notification record looks like: DEV_BROADCAST_HDR (size, device type,
// reserved), then for a device interface the class GUID and the name from byte 28.
inline constexpr std::uint32_t kDeviceTypeInterface = 5; // DBT_DEVTYP_DEVICEINTERFACE
inline constexpr std::size_t kBroadcastHeaderSize = 12;
inline constexpr std::size_t kBroadcastNameOffset = 28;

// The interface name of a device-interface broadcast: UTF-16 units from byte 28 up to the first
// zero, never past the record's own size (its first field). Empty when the record is of another
// device type or too short to hold a name.
std::u16string BroadcastInterfaceName(const unsigned char* record);

// Does a device path name the sensor: longer than four characters, and past its four-character
// prefix ("\\?\"), upper-cased, containing "VID_%04X" and "PID_%04X" of the ids. Never for a
// zero id (no sensor known).
bool InterfaceNameNamesSensor(std::u16string_view name, std::uint16_t vid, std::uint16_t pid);

// Both of the above: is this broadcast about the sensor.
bool IsSensorBroadcast(const unsigned char* record, std::uint16_t vid, std::uint16_t pid);

} // namespace mainwnd
