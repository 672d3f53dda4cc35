// The USB vendor and product ids in a biometric unit's device instance id
// ("USB\VID_2F1B&PID_1234\..."), read as sensor discovery reads them.
#pragma once

#include <cstdint>
#include <string_view>

struct UsbIds {
    bool parsed = false; // both ids were present and well-formed (either may still read as 0)
    std::uint16_t vid = 0;
    std::uint16_t pid = 0;
};

// Finds the first "VID_" and the first "PID_" (case-sensitive) and reads the up to four
// characters after each as hexadecimal; only 0-9 and upper-case A-F count as digits. When either
// is missing or malformed, parsed is false and both ids are 0.
UsbIds ParseUsbIds(std::u16string_view deviceInstanceId);
