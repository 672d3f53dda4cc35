// Expanded paths of the programs the co-installer starts, any UTF-16 text: accepted only with a
// drive root ("C:\") or a UNC root ("\\server\share") and no '%' left anywhere before the end.
#include "coinstaller/StartPath.h"
#include "fuzz/FuzzCheck.h"

#include <string>

namespace {

bool IsLetter(char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

// The root read here on its own: the text split at its backslashes.
bool ExpectedRoot(const std::u16string& path) {
    if (path.size() >= 3 && IsLetter(path[0]) && path[1] == u':' && path[2] == u'\\')
        return true;
    if (path.rfind(u"\\\\", 0) != 0)
        return false;
    const std::size_t serverEnd = path.find(u'\\', 2);
    if (serverEnd == std::u16string::npos || serverEnd == 2)
        return false;
    const std::size_t shareEnd = path.find(u'\\', serverEnd + 1);
    const std::size_t shareLength =
        (shareEnd == std::u16string::npos ? path.size() : shareEnd) - serverEnd - 1;
    return shareLength > 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::u16string text = nvfuzz::Text16(data, size);
    // The parser reads up to the terminator, as a caller's buffer ends there.
    const std::u16string path = text.substr(0, text.find(u'\0'));
    const bool expected = ExpectedRoot(path) && path.find(u'%') == std::u16string::npos;
    NV_FUZZ_CHECK(coinst::IsAbsoluteStartPath(text.c_str()) == expected);
    return 0;
}
