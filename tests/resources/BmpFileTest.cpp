// The generator's encoders against files written out byte by byte here: .bmp in both depths,
// .ico with its AND mask, and PNG with its checksums.
#include "tools/bitmaps/BmpFile.h"
#include "tools/bitmaps/PngFile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(BmpEncoding, TwentyFourBitRowsAreBottomUpBgrAndPaddedToFourBytes) {
    nvbmp::Canvas c(2, 2, {});
    c.Set(0, 0, {255, 0, 0});
    c.Set(1, 0, {0, 255, 0});
    c.Set(0, 1, {0, 0, 255});
    c.Set(1, 1, {255, 255, 255});
    const Bytes expected = {
        'B', 'M', 70,  0,   0,    0,    0, 0, 0,    0,    54, 0, 0, 0,                    // file header
        40,  0,   0,   0,   2,    0,    0, 0, 2,    0,    0,  0, 1, 0, 24, 0, 0, 0, 0, 0, // info header
        16,  0,   0,   0,   0x13, 0x0B, 0, 0, 0x13, 0x0B, 0,  0, 0, 0, 0,  0, 0, 0, 0, 0,
        255, 0,   0,   255, 255,  255,  0, 0, // bottom row: blue, white, padding
        0,   0,   255, 0,   255,  0,    0, 0, // top row: red, green, padding
    };
    EXPECT_EQ(nvbmp::EncodeBmp(c, 24), expected);
}

TEST(BmpEncoding, ThirtyTwoBitPixelsKeepTheirAlpha) {
    nvbmp::Canvas c(1, 1, {1, 2, 3, 0x80});
    const Bytes expected = {
        'B', 'M', 58,   0,    0, 0, 0, 0, 0,  0, 54, 0, 0, 0, 40, 0, 0, 0,    1,    0,
        0,   0,   1,    0,    0, 0, 1, 0, 32, 0, 0,  0, 0, 0, 4,  0, 0, 0,    0x13, 0x0B,
        0,   0,   0x13, 0x0B, 0, 0, 0, 0, 0,  0, 0,  0, 0, 0, 3,  2, 1, 0x80,
    };
    EXPECT_EQ(nvbmp::EncodeBmp(c, 32), expected);
    EXPECT_THROW(nvbmp::EncodeBmp(c, 8), std::invalid_argument);
}

TEST(IcoEncoding, DirectoryImageAndMaskOfATransparentPixel) {
    const nvbmp::Canvas images[] = {nvbmp::Canvas(1, 1, {9, 8, 7, 0})};
    const Bytes expected = {
        0, 0, 1, 0, 1, 0,                                             // icon directory, one image
        1, 1, 0, 0, 1, 0, 32, 0, 48, 0, 0, 0, 22, 0, 0, 0,            // entry: 1x1, 32 bits, 48 bytes at
                                                                      // 22
        40, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 1, 0, 32, 0, 0, 0, 0, 0, // height counts the
                                                                      // mask
        8, 0, 0, 0, 0x13, 0x0B, 0, 0, 0x13, 0x0B, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7, 8, 9, 0, // the pixel
        0x80, 0, 0, 0, // its mask bit: transparent
    };
    EXPECT_EQ(nvbmp::EncodeIco(images), expected);
}

TEST(Painting, CoverageBlendsEdgesAndFillsInsides) {
    nvbmp::Canvas c(4, 1, {0, 0, 0});
    // Covers pixel 1 fully and half of pixel 2.
    c.Paint([](double x, double) { return x >= 1.0 && x < 2.5; }, {200, 100, 40});
    EXPECT_EQ(c.At(0, 0).r, 0);
    EXPECT_EQ(c.At(1, 0).r, 200);
    EXPECT_EQ(c.At(1, 0).b, 40);
    EXPECT_EQ(c.At(2, 0).r, 100);
    EXPECT_EQ(c.At(2, 0).g, 50);
    EXPECT_EQ(c.At(3, 0).r, 0);
}

TEST(PngEncoding, ChecksumsMatchTheirPublishedCheckValues) {
    const std::string digits = "123456789";
    EXPECT_EQ(nvbmp::Crc32(Bytes(digits.begin(), digits.end())), 0xCBF43926u);
    const std::string word = "Wikipedia";
    EXPECT_EQ(nvbmp::Adler32(Bytes(word.begin(), word.end())), 0x11E60398u);
}

TEST(PngEncoding, OnePixelFileIsByteExact) {
    const Bytes rgb = {1, 2, 3};
    const Bytes png = nvbmp::EncodePng(1, 1, rgb);
    const Bytes head = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D',
                        'R',  0,   0,   0,   1,    0,    0,    0,    1, 8, 2, 0,  0,   0};
    ASSERT_GT(png.size(), head.size() + 4);
    EXPECT_EQ(Bytes(png.begin(), png.begin() + static_cast<std::ptrdiff_t>(head.size())), head);
    // IDAT: a zlib header, one final stored block of the filter byte and the pixel, Adler-32.
    const std::size_t idat = head.size() + 4;
    const Bytes data = {0,    0,    0,    15, 'I', 'D', 'A', 'T',  0x78, 0x01, 0x01, 0x04,
                        0x00, 0xFB, 0xFF, 0,  1,   2,   3,   0x00, 0x0E, 0x00, 0x07};
    EXPECT_EQ(Bytes(png.begin() + static_cast<std::ptrdiff_t>(idat),
                    png.begin() + static_cast<std::ptrdiff_t>(idat + data.size())),
              data);
    const Bytes end = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
    EXPECT_EQ(Bytes(png.end() - 12, png.end()), end);
    EXPECT_EQ(png.size(), head.size() + 4 + data.size() + 4 + end.size());
    EXPECT_THROW(nvbmp::EncodePng(2, 1, rgb), std::invalid_argument);
}

} // namespace
