// pwcn's entry on Windows: the UTF-16 command line, handed on as UTF-8.
#include "tools/pwcn/Pwcn.h"
#include "tools/nvkdb/TextCodec.h"

#include <iostream>

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(nvtools::Utf16ToUtf8(
            std::u16string(argv[i], argv[i] + std::char_traits<wchar_t>::length(argv[i]))));
    return pwcn::Run(args, std::cout, std::cerr);
}
