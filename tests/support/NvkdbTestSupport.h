// What the nvkdb tests share: whole files read and written with the standard library, and the
// tool's commands run in-process with what they print collected.
#pragma once

#include "tools/nvkdb/Nvkdb.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace nvkdbtest {

inline void WriteFile(const std::filesystem::path& path, const std::vector<unsigned char>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}
inline std::vector<unsigned char> ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

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
