// Registry data as another program may have stored it: any type, any size, text without a
// terminator. Input: the type byte, then the data the query returned (its length is the size).
// The readers must take exactly the units before the first terminator, within the size and the
// query's buffer, and a DWORD only from four bytes of its own type.
#include "config/OsVersion.h"
#include "config/RegistryData.h"
#include "fuzz/FuzzCheck.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::uint32_t type = data[0];
    const unsigned char* value = data + 1;
    const std::size_t bytes = size - 1;

    const std::int32_t dword = RegDwordFromData(type, value, bytes);
    if (type == kRegDword && bytes == 4) {
        const std::uint32_t expected =
            value[0] | value[1] << 8 | value[2] << 16 | static_cast<std::uint32_t>(value[3]) << 24;
        NV_FUZZ_CHECK(static_cast<std::uint32_t>(dword) == expected);
    } else {
        NV_FUZZ_CHECK(dword == -1);
    }

    const std::u16string text = RegTextFromData(type, value, bytes);
    if (type != kRegSz && type != kRegExpandSz && type != kRegMultiSz) {
        NV_FUZZ_CHECK(text.empty());
        return 0;
    }
    const std::size_t units = std::min(bytes, kRegTextBytes) / 2;
    auto unit = [value](std::size_t i) {
        return static_cast<char16_t>(value[2 * i] | value[2 * i + 1] << 8);
    };
    NV_FUZZ_CHECK(text.size() <= units);
    for (std::size_t i = 0; i < text.size(); ++i)
        NV_FUZZ_CHECK(text[i] != u'\0' && text[i] == unit(i));
    NV_FUZZ_CHECK(text.size() == units || unit(text.size()) == u'\0');

    // The one text the program reads this way is "CurrentVersion", which only tells a reported
    // 6.2 apart: 8.1 for "6.3", Windows 8 for anything else.
    OsVersionFacts facts;
    facts.versionExSucceeded = true;
    facts.major = 6;
    facts.minor = 2;
    facts.ntdllLoaded = true;
    facts.currentVersion = text;
    NV_FUZZ_CHECK(ClassifyOsVersionLevel(facts) == (text == u"6.3" ? 5 : 4));
    return 0;
}
