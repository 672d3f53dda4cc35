// PNG files written through the platform's imaging component (WIC, windowscodecs.dll), whose
// encoder compresses: a screenshot of the main window takes tens of kilobytes, not a megabyte.
#pragma once

#include <windows.h>

#include <cstdint>
#include <span>
#include <string>

namespace nvbmp {

// Writes width x height pixels as a 24-bit PNG file. bgra holds the rows top first, 4 bytes a
// pixel (blue, green, red, unused), as a top-down 32-bit DIB section has them; the fourth byte is
// not written. Returns S_OK, or the HRESULT of the step that failed, in which case no file is
// left behind. Initialises COM on the calling thread for the call if it is not already.
HRESULT WritePngFile(const std::wstring& path, int width, int height, std::span<const std::uint8_t> bgra);

} // namespace nvbmp
