// Painting shapes on the canvas.
#include "ui/PictureCanvas.h"

#include <algorithm>
#include <cmath>

namespace nvbmp {

Canvas::Canvas(int width, int height, Rgba fill)
    : m_nWidth(width), m_nHeight(height), m_pixels(static_cast<std::size_t>(width * height), fill) {}

void Canvas::Paint(const std::function<bool(double x, double y)>& inside, Rgba colour) {
    Paint(Shape{inside, 0, 0, static_cast<double>(m_nWidth), static_cast<double>(m_nHeight)}, colour);
}

void Canvas::Paint(const Shape& shape, Rgba colour) {
    constexpr int kSamples = 4;
    // Pixels outside the box have no sample inside: leaving them out changes none.
    const int x0 = std::max(0, static_cast<int>(std::floor(shape.left)));
    const int y0 = std::max(0, static_cast<int>(std::floor(shape.top)));
    const int x1 = std::min(m_nWidth, static_cast<int>(std::ceil(shape.right)) + 1);
    const int y1 = std::min(m_nHeight, static_cast<int>(std::ceil(shape.bottom)) + 1);
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            int hits = 0;
            for (int sy = 0; sy < kSamples; ++sy)
                for (int sx = 0; sx < kSamples; ++sx)
                    hits += shape.inside(x + (sx + 0.5) / kSamples, y + (sy + 0.5) / kSamples) ? 1 : 0;
            if (hits == 0)
                continue;
            const double cover = hits / double(kSamples * kSamples) * (colour.a / 255.0);
            Rgba& p = m_pixels[Index(x, y)];
            auto mix = [cover](std::uint8_t under, std::uint8_t over) {
                return static_cast<std::uint8_t>(std::lround(under + (over - under) * cover));
            };
            p.r = mix(p.r, colour.r);
            p.g = mix(p.g, colour.g);
            p.b = mix(p.b, colour.b);
            p.a = std::max(p.a, static_cast<std::uint8_t>(std::lround(cover * 255)));
        }
    }
}

} // namespace nvbmp
