// The two file formats the generator writes from a canvas: Windows bitmaps (BI_RGB, 24 or 32
// bits per pixel, bottom-up rows) and icon files of 32-bit images with their AND masks.
#pragma once

#include "ui/PictureCanvas.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace nvbmp {

// A complete .bmp file; bitsPerPixel is 24 or 32 (alpha kept as drawn).
std::vector<std::uint8_t> EncodeBmp(const Canvas& canvas, int bitsPerPixel);

// A complete .ico file holding the given canvases as 32-bit images, in the given order.
std::vector<std::uint8_t> EncodeIco(std::span<const Canvas> images);

} // namespace nvbmp
