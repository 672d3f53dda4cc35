// A Windows tool's UTF-16 command line as the UTF-8 arguments its commands take, program name
// left out.
#pragma once

#include "tools/nvkdb/TextCodec.h"

#include <string>
#include <vector>

namespace nvtools {

inline std::vector<std::string> Utf8Arguments(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(
            Utf16ToUtf8(std::u16string(argv[i], argv[i] + std::char_traits<wchar_t>::length(argv[i]))));
    return args;
}

} // namespace nvtools
