// nvkdb's entry on POSIX systems: arguments are UTF-8 already.
#include "tools/nvkdb/Nvkdb.h"

#include <iostream>

int main(int argc, char** argv) {
    return nvkdb::Run(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
