// The tools' command lines for their fuzz targets: the input is the arguments, separated by zero
// bytes, and the files the tools touch are kept in a folder of the run's own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace nvfuzz {

inline std::vector<std::string> SplitArguments(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> args;
    std::string current;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            args.push_back(current);
            current.clear();
        } else {
            current.push_back(static_cast<char>(data[i]));
        }
    }
    if (size > 0)
        args.push_back(current);
    return args;
}

// A folder made for this process under the system's temporary folder; its path ends with '/'.
std::string RunFolder();

} // namespace nvfuzz
