// The .bmp / .ico encoders.
#include "tools/bitmaps/BmpFile.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace nvbmp {

namespace {

void Put16(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

// BITMAPINFOHEADER: 40 bytes, BI_RGB, no palette.
void PutInfoHeader(std::vector<std::uint8_t>& out, int width, int height, int bitsPerPixel,
                   std::uint32_t imageSize) {
    Put32(out, 40);
    Put32(out, static_cast<std::uint32_t>(width));
    Put32(out, static_cast<std::uint32_t>(height));
    Put16(out, 1);
    Put16(out, static_cast<std::uint32_t>(bitsPerPixel));
    Put32(out, 0); // BI_RGB
    Put32(out, imageSize);
    Put32(out, 2835); // 72 dpi
    Put32(out, 2835);
    Put32(out, 0);
    Put32(out, 0);
}

std::uint32_t RowBytes(int width, int bitsPerPixel) {
    return static_cast<std::uint32_t>((width * bitsPerPixel + 31) / 32 * 4);
}

void PutPixels(std::vector<std::uint8_t>& out, const Canvas& canvas, int bitsPerPixel) {
    const std::uint32_t row = RowBytes(canvas.Width(), bitsPerPixel);
    for (int y = canvas.Height() - 1; y >= 0; --y) {
        std::uint32_t written = 0;
        for (int x = 0; x < canvas.Width(); ++x) {
            const Rgba p = canvas.At(x, y);
            out.push_back(p.b);
            out.push_back(p.g);
            out.push_back(p.r);
            written += 3;
            if (bitsPerPixel == 32) {
                out.push_back(p.a);
                ++written;
            }
        }
        for (; written < row; ++written)
            out.push_back(0);
    }
}

} // namespace

std::vector<std::uint8_t> EncodeBmp(const Canvas& canvas, int bitsPerPixel) {
    if (bitsPerPixel != 24 && bitsPerPixel != 32)
        throw std::invalid_argument("bitsPerPixel");
    const std::uint32_t imageSize =
        RowBytes(canvas.Width(), bitsPerPixel) * static_cast<std::uint32_t>(canvas.Height());
    std::vector<std::uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    Put32(out, 14 + 40 + imageSize);
    Put32(out, 0);
    Put32(out, 14 + 40);
    PutInfoHeader(out, canvas.Width(), canvas.Height(), bitsPerPixel, imageSize);
    PutPixels(out, canvas, bitsPerPixel);
    return out;
}

std::vector<std::uint8_t> EncodeIco(std::span<const Canvas> images) {
    std::vector<std::vector<std::uint8_t>> bodies;
    for (const Canvas& image : images) {
        std::vector<std::uint8_t> body;
        const std::uint32_t maskRow = RowBytes(image.Width(), 1);
        const std::uint32_t size = RowBytes(image.Width(), 32) * static_cast<std::uint32_t>(image.Height()) +
                                   maskRow * static_cast<std::uint32_t>(image.Height());
        // An icon image's header counts the colour rows and the mask rows together.
        PutInfoHeader(body, image.Width(), image.Height() * 2, 32, size);
        PutPixels(body, image, 32);
        for (int y = image.Height() - 1; y >= 0; --y) {
            std::vector<std::uint8_t> row(maskRow, 0);
            for (int x = 0; x < image.Width(); ++x)
                if (image.At(x, y).a == 0)
                    row[static_cast<std::size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
            body.insert(body.end(), row.begin(), row.end());
        }
        bodies.push_back(std::move(body));
    }
    std::vector<std::uint8_t> out;
    Put16(out, 0);
    Put16(out, 1);
    Put16(out, static_cast<std::uint32_t>(images.size()));
    std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        out.push_back(static_cast<std::uint8_t>(images[i].Width() >= 256 ? 0 : images[i].Width()));
        out.push_back(static_cast<std::uint8_t>(images[i].Height() >= 256 ? 0 : images[i].Height()));
        out.push_back(0); // no palette
        out.push_back(0);
        Put16(out, 1);  // planes
        Put16(out, 32); // bits per pixel
        Put32(out, static_cast<std::uint32_t>(bodies[i].size()));
        Put32(out, offset);
        offset += static_cast<std::uint32_t>(bodies[i].size());
    }
    for (const auto& body : bodies)
        out.insert(out.end(), body.begin(), body.end());
    return out;
}

} // namespace nvbmp
