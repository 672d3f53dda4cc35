// Decoding of the password hand-off record.
#include "credentials/HandOffRecord.h"

#include "base/SecureWipe.h"

namespace nvcred {

namespace {

std::uint32_t U32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// Byte-wise copy into UTF-16 units: an odd count leaves the last unit's high byte zero.
void ExtractText(const unsigned char* bytes, std::uint32_t count, char16_t (&out)[kHandOffTextUnits + 1]) {
    for (std::uint32_t i = 0; i < count; ++i) {
        const auto shift = (i % 2) * 8;
        out[i / 2] = static_cast<char16_t>(out[i / 2] | bytes[i] << shift);
    }
}

// The unmasked copy holds the plaintext password; it never outlives the decode.
struct PlainRecord {
    unsigned char bytes[kHandOffSize] = {};
    ~PlainRecord() { nvbase::SecureWipe(bytes, sizeof bytes); }
};

} // namespace

HandOffCredentials::~HandOffCredentials() {
    nvbase::SecureWipe(userName, sizeof userName);
    nvbase::SecureWipe(password, sizeof password);
}

HandOffStatus DecodeHandOff(const unsigned char* masked, std::size_t length, HandOffCredentials& out) {
    nvbase::SecureWipe(out.userName, sizeof out.userName);
    nvbase::SecureWipe(out.password, sizeof out.password);
    if (masked == nullptr || length < kHandOffSize)
        return HandOffStatus::Short;

    PlainRecord plain;
    for (std::size_t i = 0; i < kHandOffSize; ++i)
        plain.bytes[i] = static_cast<unsigned char>(masked[i] ^ kHandOffMask);

    if (U32(plain.bytes + kHandOffSizeFieldOffset) != kHandOffSize)
        return HandOffStatus::WrongSize;
    const std::uint32_t userBytes = U32(plain.bytes + kHandOffUserLengthOffset);
    const std::uint32_t passwordBytes = U32(plain.bytes + kHandOffPasswordLengthOffset);
    if (userBytes > kHandOffMaxTextBytes)
        return HandOffStatus::UserNameTooLong;
    if (passwordBytes > kHandOffMaxTextBytes)
        return HandOffStatus::PasswordTooLong;

    ExtractText(plain.bytes + kHandOffUserOffset, userBytes, out.userName);
    ExtractText(plain.bytes + kHandOffPasswordOffset, passwordBytes, out.password);
    return HandOffStatus::Ok;
}

const char* HandOffStatusText(HandOffStatus status) {
    switch (status) {
    case HandOffStatus::Ok:
        return "ok";
    case HandOffStatus::Short:
        return "shorter than 272 bytes";
    case HandOffStatus::WrongSize:
        return "size field is not 272";
    case HandOffStatus::UserNameTooLong:
        return "user-name length above 32 bytes";
    case HandOffStatus::PasswordTooLong:
        return "password length above 32 bytes";
    }
    return "unknown";
}

} // namespace nvcred
