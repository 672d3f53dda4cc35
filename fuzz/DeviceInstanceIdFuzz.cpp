// Device instance ids as the framework reports them, any UTF-16 text: the parse must read exactly
// the four-character fields after the first "VID_" and "PID_", and nothing else.
#include "biometric/DeviceInstanceId.h"
#include "fuzz/FuzzCheck.h"

#include <optional>
#include <string>

namespace {

// The id after the key, read here on its own: at most four upper-case hex digits.
std::optional<std::uint16_t> Expected(const std::u16string& text, const std::u16string& key) {
    const std::size_t at = text.find(key);
    if (at == std::u16string::npos)
        return std::nullopt;
    std::uint16_t value = 0;
    for (std::size_t i = at + key.size(); i < text.size() && i < at + key.size() + 4; ++i) {
        const char16_t c = text[i];
        int digit;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        else
            return std::nullopt;
        value = static_cast<std::uint16_t>(value << 4 | digit);
    }
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::u16string text = nvfuzz::Text16(data, size);
    const UsbIds ids = ParseUsbIds(text);
    const auto vid = Expected(text, u"VID_");
    const auto pid = Expected(text, u"PID_");
    NV_FUZZ_CHECK(ids.parsed == (vid && pid));
    if (ids.parsed) {
        NV_FUZZ_CHECK(ids.vid == *vid);
        NV_FUZZ_CHECK(ids.pid == *pid);
    } else {
        NV_FUZZ_CHECK(ids.vid == 0 && ids.pid == 0);
    }
    return 0;
}
