// The pixel canvas the program's pictures are drawn on from shapes: by the generator of the
// committed bitmaps, and by the program itself where those do not fit (another display scale,
// high contrast). No Win32 here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace nvbmp {

struct Rgba {
    std::uint8_t r = 0, g = 0, b = 0, a = 255;
};

// A shape as a test of a point, with a box that holds every point inside (so that painting
// need not ask about the rest of the canvas).
struct Shape {
    std::function<bool(double x, double y)> inside;
    double left, top, right, bottom;
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
    void Paint(const Shape& shape, Rgba colour);
    void Paint(const std::function<bool(double x, double y)>& inside, Rgba colour);

private:
    std::size_t Index(int x, int y) const {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(m_nWidth) + static_cast<std::size_t>(x);
    }

    int m_nWidth;
    int m_nHeight;
    std::vector<Rgba> m_pixels;
};

} // namespace nvbmp
