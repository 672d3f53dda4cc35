// Whole files read and written with the standard library, and scratch paths for them, in both
// builds.
#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace testfile {

// The whole file; empty when there is none.
inline std::vector<unsigned char> ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::filesystem::path& path, const std::vector<unsigned char>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A path in the temporary folder for a file of this run of a test program: "<tag>-<run>-<name>".
inline std::filesystem::path ScratchPath(const std::string& tag, const std::string& name) {
    static const auto run = std::chrono::steady_clock::now().time_since_epoch().count();
    return std::filesystem::temp_directory_path() / (tag + "-" + std::to_string(run) + "-" + name);
}

} // namespace testfile
