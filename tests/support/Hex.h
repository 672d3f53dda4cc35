// Hex text to bytes and back, for known-answer vectors in tests.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace testhex {

inline std::vector<unsigned char> Bytes(std::string_view hex) {
    auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    std::vector<unsigned char> out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<unsigned char>(nibble(hex[i]) * 16 + nibble(hex[i + 1])));
    return out;
}

inline std::string Hex(const unsigned char* data, std::size_t size) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < size; ++i) {
        out.push_back(digits[data[i] >> 4]);
        out.push_back(digits[data[i] & 15]);
    }
    return out;
}

inline std::string Hex(const std::vector<unsigned char>& data) {
    return Hex(data.data(), data.size());
}

} // namespace testhex
