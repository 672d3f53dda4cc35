// The generator's encoders against files written out byte by byte here: .bmp in both depths and
// .ico with its AND mask.
#include "tools/bitmaps/BmpFile.h"

#include <gtest/gtest.h>

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

} // namespace
