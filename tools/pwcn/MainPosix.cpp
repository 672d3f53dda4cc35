// pwcn's entry on POSIX systems: arguments are UTF-8 already.
#include "tools/pwcn/Pwcn.h"

#include <iostream>

int main(int argc, char** argv) {
    return pwcn::Run(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
