// What the nvkdb tests share: the tool's commands run in-process with what they print collected,
// and whole files read and written with the standard library.
#pragma once

#include "tests/support/Files.h"
#include "tools/nvkdb/Nvkdb.h"

#include <sstream>
#include <string>
#include <vector>

namespace nvkdbtest {

using testfile::ReadBytes;
using testfile::WriteBytes;

struct Result {
    int code;
    std::string out, err;
};
inline Result Nvkdb(std::vector<std::string> args) {
    std::ostringstream out, err;
    const int code = nvkdb::Run(args, out, err);
    return {code, out.str(), err.str()};
}

} // namespace nvkdbtest
