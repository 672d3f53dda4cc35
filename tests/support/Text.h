// Text conversions of the tests, in both builds: wide text narrowed for messages and comparisons,
// plain ASCII widened, wide text in lower case.
#pragma once

#include <cstdio>
#include <cwctype>
#include <string>
#include <string_view>

namespace testtext {

// Wide text for messages and for comparing with what programs print: printable ASCII as it is,
// every other unit as \uXXXX (so no two texts read the same).
template <typename Char> std::string NarrowOf(std::basic_string_view<Char> text) {
    std::string out;
    for (const Char c : text) {
        const auto unit = static_cast<unsigned long>(c);
        char escaped[16];
        std::snprintf(escaped, sizeof escaped, "\\u%04lX", unit);
        out += unit >= 0x20 && unit < 0x7F ? std::string(1, static_cast<char>(unit)) : std::string(escaped);
    }
    return out;
}
inline std::string Narrow(std::wstring_view text) {
    return NarrowOf(text);
}
inline std::string Narrow(std::u16string_view text) {
    return NarrowOf(text);
}

// Each byte of ASCII text as a wide unit.
inline std::wstring Widen(std::string_view ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

inline std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

} // namespace testtext
