// PNG encoding with stored (uncompressed) deflate blocks.
#include "tools/bitmaps/PngFile.h"

#include <algorithm>
#include <array>
#include <stdexcept>

namespace nvbmp {

namespace {

void PutBE32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void PutChunk(std::vector<std::uint8_t>& out, const char type[4], const std::vector<std::uint8_t>& data) {
    PutBE32(out, static_cast<std::uint32_t>(data.size()));
    std::vector<std::uint8_t> typed(type, type + 4);
    typed.insert(typed.end(), data.begin(), data.end());
    out.insert(out.end(), typed.begin(), typed.end());
    PutBE32(out, Crc32(typed));
}

} // namespace

std::uint32_t Crc32(std::span<const std::uint8_t> bytes, std::uint32_t crc) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (std::uint8_t b : bytes)
        crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

std::uint32_t Adler32(std::span<const std::uint8_t> bytes) {
    std::uint32_t a = 1, b = 0;
    for (std::uint8_t byte : bytes) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

std::vector<std::uint8_t> EncodePng(int width, int height, std::span<const std::uint8_t> rgb) {
    if (width <= 0 || height <= 0 || rgb.size() != static_cast<std::size_t>(width) * height * 3)
        throw std::invalid_argument("EncodePng: size");
    // Each row starts with filter type 0 (none).
    std::vector<std::uint8_t> raw;
    raw.reserve(static_cast<std::size_t>(height) * (1 + width * 3));
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);
        const auto row =
            rgb.subspan(static_cast<std::size_t>(y) * width * 3, static_cast<std::size_t>(width) * 3);
        raw.insert(raw.end(), row.begin(), row.end());
    }
    std::vector<std::uint8_t> z = {0x78, 0x01};
    constexpr std::size_t kBlock = 65535;
    for (std::size_t pos = 0; pos < raw.size() || pos == 0; pos += kBlock) {
        const std::size_t n = std::min(kBlock, raw.size() - pos);
        z.push_back(pos + n >= raw.size() ? 1 : 0); // BFINAL on the last stored block
        z.push_back(static_cast<std::uint8_t>(n));
        z.push_back(static_cast<std::uint8_t>(n >> 8));
        z.push_back(static_cast<std::uint8_t>(~n));
        z.push_back(static_cast<std::uint8_t>(~n >> 8));
        z.insert(z.end(), raw.begin() + static_cast<std::ptrdiff_t>(pos),
                 raw.begin() + static_cast<std::ptrdiff_t>(pos + n));
        if (pos + n >= raw.size())
            break;
    }
    PutBE32(z, Adler32(raw));

    std::vector<std::uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> header;
    PutBE32(header, static_cast<std::uint32_t>(width));
    PutBE32(header, static_cast<std::uint32_t>(height));
    header.insert(header.end(), {8, 2, 0, 0, 0}); // 8 bits, truecolour, deflate, filter 0, no interlace
    PutChunk(out, "IHDR", header);
    PutChunk(out, "IDAT", z);
    PutChunk(out, "IEND", {});
    return out;
}

} // namespace nvbmp
