// The template database's image laid out byte by byte as the vendor's format fixes it (a 128-byte
// header, record r at 128 + r * 901,440, finger slot f at 320 + f * 45,056 within it, little-endian
// numbers, UTF-16LE texts), independently of the product's own layout code; in both builds.
#pragma once

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace testimage {

constexpr std::size_t kImage = 9014528;
constexpr std::size_t kRecord0 = 128;
constexpr std::size_t kRecordBytes = 901440;
constexpr std::size_t kSlot0 = 320;
constexpr std::size_t kSlotBytes = 45056;
// The file's cipher key: 32 bytes (the terminator is not part of it).
inline const unsigned char kKey[] = "Quarto Sensor Vault Key Mk7 Rev9";

inline std::size_t At(int record, std::size_t offset) {
    return kRecord0 + record * kRecordBytes + offset;
}
inline std::size_t AtSlot(int record, int finger, std::size_t offset) {
    return At(record, kSlot0 + finger * kSlotBytes + offset);
}

inline void Put32(std::vector<unsigned char>& image, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        image[at + i] = static_cast<unsigned char>(v >> (8 * i));
}
inline std::uint32_t Get32(const std::vector<unsigned char>& image, std::size_t at) {
    return image[at] | image[at + 1] << 8 | image[at + 2] << 16 |
           static_cast<std::uint32_t>(image[at + 3]) << 24;
}

// UTF-16LE units, no terminator of their own (the zero fill around them ends the text).
template <typename Char>
void PutUnits(std::vector<unsigned char>& image, std::size_t at, std::basic_string_view<Char> text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto unit = static_cast<std::uint32_t>(text[i]);
        image[at + 2 * i] = static_cast<unsigned char>(unit & 0xFF);
        image[at + 2 * i + 1] = static_cast<unsigned char>(unit >> 8 & 0xFF);
    }
}
inline void PutText(std::vector<unsigned char>& image, std::size_t at, std::wstring_view text) {
    PutUnits(image, at, text);
}
inline void PutText(std::vector<unsigned char>& image, std::size_t at, std::u16string_view text) {
    PutUnits(image, at, text);
}

inline void PutAscii(std::vector<unsigned char>& image, std::size_t at, std::string_view text) {
    PutUnits(image, at, text);
}

// A 32-unit text field read up to its first zero unit.
inline std::wstring GetText(const std::vector<unsigned char>& image, std::size_t at) {
    std::wstring text;
    for (std::size_t i = 0; i < 32; ++i) {
        const wchar_t c = static_cast<wchar_t>(image[at + 2 * i] | image[at + 2 * i + 1] << 8);
        if (c == 0)
            break;
        text.push_back(c);
    }
    return text;
}

// A 32-unit text field: the text, zero-filled behind it.
inline void PutField(std::vector<unsigned char>& image, std::size_t at, const std::wstring& text) {
    std::fill(image.begin() + at, image.begin() + at + 64, static_cast<unsigned char>(0));
    PutText(image, at, text);
}

// An in-use account with its credential; the rest of the record is left as it is.
inline void PutAccount(std::vector<unsigned char>& image, int record, const std::wstring& user,
                       const std::wstring& password, const std::wstring& domain = L"") {
    for (std::size_t field : {16, 80, 144})
        PutField(image, At(record, field), L"");
    Put32(image, At(record, 4), 1);
    Put32(image, At(record, 12), static_cast<std::uint32_t>(password.size()));
    PutText(image, At(record, 16), user);
    PutText(image, At(record, 80), password);
    PutText(image, At(record, 144), domain);
}

// Every byte nonzero and different from the neighbours', so a lost or shifted byte shows.
inline std::vector<unsigned char> PatternImage(unsigned seed) {
    std::vector<unsigned char> image(kImage);
    std::mt19937 random(seed);
    for (auto& b : image)
        b = static_cast<unsigned char>(random() | 1);
    return image;
}

} // namespace testimage
