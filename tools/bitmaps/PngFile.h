// A minimal PNG encoder (8-bit RGB, stored deflate blocks) for screenshots: no compression
// library needed, and any viewer reads the result.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace nvbmp {

// CRC-32 as PNG chunks use it (ISO 3309, reflected, polynomial 0xEDB88320).
std::uint32_t Crc32(std::span<const std::uint8_t> bytes, std::uint32_t crc = 0);
// Adler-32 as zlib streams end with it.
std::uint32_t Adler32(std::span<const std::uint8_t> bytes);

// rgb: height rows of width pixels, 3 bytes each (red, green, blue), top row first.
std::vector<std::uint8_t> EncodePng(int width, int height, std::span<const std::uint8_t> rgb);

} // namespace nvbmp
