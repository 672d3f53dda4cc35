// The registry readers' decisions on returned data.
#include "config/RegistryData.h"

std::int32_t RegDwordFromData(std::uint32_t type, const unsigned char* data, std::size_t size) {
    if (type != kRegDword || size != 4)
        return -1;
    const std::uint32_t value =
        static_cast<std::uint32_t>(data[0]) | static_cast<std::uint32_t>(data[1]) << 8 |
        static_cast<std::uint32_t>(data[2]) << 16 | static_cast<std::uint32_t>(data[3]) << 24;
    return static_cast<std::int32_t>(value);
}

std::u16string RegTextFromData(std::uint32_t type, const unsigned char* data, std::size_t size) {
    if (type != kRegSz && type != kRegExpandSz && type != kRegMultiSz)
        return {};
    // Never past what the query filled, nor past the buffer it filled.
    const std::size_t units = (size < kRegTextBytes ? size : kRegTextBytes) / 2;
    std::u16string text;
    for (std::size_t i = 0; i < units; ++i) {
        const auto unit = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
        if (unit == u'\0')
            break;
        text.push_back(unit);
    }
    return text;
}
