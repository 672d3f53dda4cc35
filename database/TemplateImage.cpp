// Field access and record edits on a decrypted template database image.
#include "database/TemplateImage.h"

#include "base/SecureWipe.h"

#include <cstring>

namespace nvdb {

std::uint32_t ReadU32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint64_t ReadU64(const unsigned char* p) {
    return static_cast<std::uint64_t>(ReadU32(p)) | static_cast<std::uint64_t>(ReadU32(p + 4)) << 32;
}

void WriteU32(unsigned char* p, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(value >> (8 * i));
}

void WriteU64(unsigned char* p, std::uint64_t value) {
    WriteU32(p, static_cast<std::uint32_t>(value));
    WriteU32(p + 4, static_cast<std::uint32_t>(value >> 32));
}

namespace {
char16_t UnitAt(const unsigned char* field, std::size_t i) {
    return static_cast<char16_t>(field[2 * i] | field[2 * i + 1] << 8);
}
} // namespace

std::size_t TextLength(const unsigned char* field) {
    std::size_t n = 0;
    while (n < kTextUnits && UnitAt(field, n) != 0)
        ++n;
    return n;
}

std::size_t ReadText(const unsigned char* field, char16_t (&out)[kTextUnits + 1]) {
    const std::size_t n = TextLength(field);
    for (std::size_t i = 0; i < n; ++i)
        out[i] = UnitAt(field, i);
    for (std::size_t i = n; i <= kTextUnits; ++i)
        out[i] = 0;
    return n;
}

bool TextEquals(const unsigned char* field, const char16_t* text) {
    const std::size_t n = TextLength(field);
    for (std::size_t i = 0; i < n; ++i)
        if (text[i] != UnitAt(field, i)) // also stops at the given text's terminator
            return false;
    return text[n] == 0;
}

void WriteText(unsigned char* field, const char16_t* text, std::size_t length) {
    std::memset(field, 0, kTextFieldSize);
    if (length > kTextUnits)
        length = kTextUnits;
    for (std::size_t i = 0; i < length; ++i) {
        field[2 * i] = static_cast<unsigned char>(text[i] & 0xFF);
        field[2 * i + 1] = static_cast<unsigned char>(text[i] >> 8);
    }
}

std::size_t BoundedLength(const char16_t* text, std::size_t limit) {
    std::size_t n = 0;
    while (n < limit && text[n] != 0)
        ++n;
    return n;
}

int FindAccount(const unsigned char* image, const char16_t* name) {
    for (int r = 0; r < kRecordCount; ++r) {
        const unsigned char* record = Record(image, r);
        if (InUseFlag(record) != 0 && TextEquals(UserNameField(record), name))
            return r;
    }
    return -1;
}

void ClearAccount(unsigned char* image, int record) {
    nvbase::SecureWipe(Record(image, record), kRecordSize);
}

bool SetPassword(unsigned char* image, int record, const char16_t* password) {
    const std::size_t length = BoundedLength(password, kTextUnits + 1);
    if (length > kTextUnits)
        return false;
    unsigned char* r = Record(image, record);
    WriteU32(r + kPasswordLengthOffset, static_cast<std::uint32_t>(length));
    WriteText(r + kPasswordOffset, password, length);
    return true;
}

ImageBuffer::ImageBuffer() : m_bytes(std::make_unique<unsigned char[]>(kImageSize)) {}

ImageBuffer::~ImageBuffer() {
    nvbase::SecureWipe(m_bytes.get(), kImageSize);
}

} // namespace nvdb
