// pwcn's entry on Windows: the UTF-16 command line, handed on as UTF-8.
#include "tools/pwcn/Pwcn.h"
#include "tools/nvkdb/WideArguments.h"

#include <iostream>

int wmain(int argc, wchar_t** argv) {
    return pwcn::Run(nvtools::Utf8Arguments(argc, argv), std::cout, std::cerr);
}
