// The password hand-off record (pwcn.dat) that an outside program leaves for us: 272 bytes, every
// byte XORed with kHandOffMask on disk. Decoding unmasks a copy, validates it and extracts the
// user name and password. No platform calls.
#pragma once

#include <cstddef>
#include <cstdint>

namespace nvcred {

inline constexpr std::size_t kHandOffSize = 272;
// Shared with the writer (tools/pwcn); any value but zero would do, zero would leave it readable.
inline constexpr unsigned char kHandOffMask = 0xA7;
static_assert(kHandOffMask != 0);

inline constexpr std::size_t kHandOffSizeFieldOffset = 0;
inline constexpr std::size_t kHandOffUserLengthOffset = 8;
inline constexpr std::size_t kHandOffPasswordLengthOffset = 12;
inline constexpr std::size_t kHandOffUserOffset = 16;
inline constexpr std::size_t kHandOffPasswordOffset = 144;
inline constexpr std::size_t kHandOffTextFieldSize = 128;
// Lengths are byte counts: at most 32 bytes, so at most 16 UTF-16 units of each text.
inline constexpr std::uint32_t kHandOffMaxTextBytes = 32;
inline constexpr std::size_t kHandOffTextUnits = 32;

static_assert(kHandOffUserOffset + kHandOffTextFieldSize == kHandOffPasswordOffset);
static_assert(kHandOffPasswordOffset + kHandOffTextFieldSize == kHandOffSize);

enum class HandOffStatus {
    Ok,
    Short,           // fewer than 272 bytes
    WrongSize,       // the size field is not 272
    UserNameTooLong, // user-name length above 32 bytes
    PasswordTooLong, // password length above 32 bytes
};

// The extracted texts, zero-terminated; wiped when the object goes.
struct HandOffCredentials {
    char16_t userName[kHandOffTextUnits + 1] = {};
    char16_t password[kHandOffTextUnits + 1] = {};

    HandOffCredentials() = default;
    ~HandOffCredentials();
    HandOffCredentials(const HandOffCredentials&) = delete;
    HandOffCredentials& operator=(const HandOffCredentials&) = delete;
};

// Decodes the masked bytes as read from the file (length of them given). On anything but Ok the
// output texts are empty.
HandOffStatus DecodeHandOff(const unsigned char* masked, std::size_t length, HandOffCredentials& out);

const char* HandOffStatusText(HandOffStatus status);

} // namespace nvcred
