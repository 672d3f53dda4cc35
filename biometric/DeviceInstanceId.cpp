// Reading the vendor and product ids out of a device instance id.
#include "biometric/DeviceInstanceId.h"

#include <optional>

namespace {

std::optional<std::uint16_t> ReadId(std::u16string_view text, std::u16string_view key) {
    const std::size_t at = text.find(key);
    if (at == std::u16string_view::npos)
        return std::nullopt;
    const std::u16string_view digits = text.substr(at + key.size(), 4);
    std::uint32_t value = 0;
    for (const char16_t c : digits) {
        if (c >= u'0' && c <= u'9')
            value = value * 16 + static_cast<std::uint32_t>(c - u'0');
        else if (c >= u'A' && c <= u'F')
            value = value * 16 + static_cast<std::uint32_t>(c - u'A' + 10);
        else
            return std::nullopt; // lower-case hex is not accepted
    }
    return static_cast<std::uint16_t>(value);
}

} // namespace

UsbIds ParseUsbIds(std::u16string_view deviceInstanceId) {
    UsbIds ids;
    const auto vid = ReadId(deviceInstanceId, u"VID_");
    if (!vid)
        return ids;
    const auto pid = ReadId(deviceInstanceId, u"PID_");
    if (!pid)
        return ids;
    ids.parsed = true;
    ids.vid = *vid;
    ids.pid = *pid;
    return ids;
}
