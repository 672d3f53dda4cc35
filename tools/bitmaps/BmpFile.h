// Pixel canvas and the two file formats the generator writes: Windows bitmaps (BI_RGB, 24 or
// 32 bits per pixel, bottom-up rows) and icon files of 32-bit images with their AND masks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace nvbmp {

struct Rgba {
    std::uint8_t r = 0, g = 0, b = 0, a = 255;
};

class Canvas {
public:
    Canvas(int width, int height, Rgba fill);

    int Width() const { return m_nWidth; }
    int Height() const { return m_nHeight; }
    Rgba At(int x, int y) const { return m_pixels[Index(x, y)]; }
    void Set(int x, int y, Rgba colour) { m_pixels[Index(x, y)] = colour; }

    // Blends colour over every pixel in proportion to how much of it lies inside the shape
    // (4 x 4 samples per pixel), so curved edges come out smooth at these small sizes.
    void Paint(const std::function<bool(double x, double y)>& inside, Rgba colour);

private:
    std::size_t Index(int x, int y) const {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(m_nWidth) + static_cast<std::size_t>(x);
    }

    int m_nWidth;
    int m_nHeight;
    std::vector<Rgba> m_pixels;
};

// A complete .bmp file; bitsPerPixel is 24 or 32 (alpha kept as drawn).
std::vector<std::uint8_t> EncodeBmp(const Canvas& canvas, int bitsPerPixel);

// A complete .ico file holding the given canvases as 32-bit images, in the given order.
std::vector<std::uint8_t> EncodeIco(std::span<const Canvas> images);

} // namespace nvbmp
