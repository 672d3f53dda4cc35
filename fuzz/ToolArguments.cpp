// The fuzz targets' private folder for the tools' files.
#include "fuzz/ToolArguments.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace nvfuzz {

namespace {

std::string MakeFolder() {
    std::error_code error;
    std::filesystem::path base = std::filesystem::temp_directory_path(error);
    if (error)
        base = "/tmp";
    const std::filesystem::path path = base / ("nv-fuzz-" + std::to_string(::getpid()));
    std::filesystem::create_directories(path, error);
    if (error)
        std::abort();
    return path.string() + "/";
}

void RemoveFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(RunFolder()), ignored);
}

} // namespace

std::string RunFolder() {
    static const std::string folder = MakeFolder();
    // Registered once the path exists, so the removal runs before the path's own destructor. The
    // folder goes when the process ends normally; a finding leaves it for a look.
    static const bool removal = std::atexit(RemoveFolder) == 0;
    (void)removal;
    return folder;
}

} // namespace nvfuzz
