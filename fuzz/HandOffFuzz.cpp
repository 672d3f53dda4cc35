// The password hand-off record as an outside program may leave it: any bytes, any length. The
// decode must agree with the record's layout read independently here, and leave nothing behind
// on a refusal.
#include "credentials/HandOffRecord.h"
#include "fuzz/FuzzCheck.h"

#include <cstring>

namespace {

std::uint32_t PlainU32(const std::uint8_t* masked) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | static_cast<std::uint8_t>(masked[i] ^ nvcred::kHandOffMask);
    return value;
}

bool AllZero(const char16_t* text, std::size_t units) {
    for (std::size_t i = 0; i < units; ++i)
        if (text[i] != 0)
            return false;
    return true;
}

// The text field as the record holds it: byteCount bytes, UTF-16LE, the odd last byte low.
void CheckText(const std::uint8_t* masked, std::uint32_t byteCount, const char16_t* text) {
    for (std::size_t unit = 0; unit <= nvcred::kHandOffTextUnits; ++unit) {
        std::uint16_t expected = 0;
        for (std::size_t k = 0; k < 2; ++k) {
            const std::size_t byte = 2 * unit + k;
            if (byte < byteCount)
                expected = static_cast<std::uint16_t>(
                    expected | static_cast<std::uint8_t>(masked[byte] ^ nvcred::kHandOffMask) << (8 * k));
        }
        NV_FUZZ_CHECK(text[unit] == expected);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    nvcred::HandOffCredentials out;
    // Leftovers of an earlier decode must not survive a refusal.
    for (auto& unit : out.userName)
        unit = u'x';
    for (auto& unit : out.password)
        unit = u'y';
    const nvcred::HandOffStatus status = nvcred::DecodeHandOff(data, size, out);
    NV_FUZZ_CHECK(std::strcmp(nvcred::HandOffStatusText(status), "unknown") != 0);

    nvcred::HandOffStatus expected = nvcred::HandOffStatus::Ok;
    std::uint32_t userBytes = 0;
    std::uint32_t passwordBytes = 0;
    if (size < nvcred::kHandOffSize) {
        expected = nvcred::HandOffStatus::Short;
    } else {
        userBytes = PlainU32(data + nvcred::kHandOffUserLengthOffset);
        passwordBytes = PlainU32(data + nvcred::kHandOffPasswordLengthOffset);
        if (PlainU32(data + nvcred::kHandOffSizeFieldOffset) != nvcred::kHandOffSize)
            expected = nvcred::HandOffStatus::WrongSize;
        else if (userBytes > nvcred::kHandOffMaxTextBytes)
            expected = nvcred::HandOffStatus::UserNameTooLong;
        else if (passwordBytes > nvcred::kHandOffMaxTextBytes)
            expected = nvcred::HandOffStatus::PasswordTooLong;
    }
    NV_FUZZ_CHECK(status == expected);

    if (status != nvcred::HandOffStatus::Ok) {
        NV_FUZZ_CHECK(AllZero(out.userName, nvcred::kHandOffTextUnits + 1));
        NV_FUZZ_CHECK(AllZero(out.password, nvcred::kHandOffTextUnits + 1));
        return 0;
    }
    // At most 32 bytes each: 16 units and a terminator at the latest at unit 16.
    CheckText(data + nvcred::kHandOffUserOffset, userBytes, out.userName);
    CheckText(data + nvcred::kHandOffPasswordOffset, passwordBytes, out.password);
    NV_FUZZ_CHECK(AllZero(out.userName + 16, nvcred::kHandOffTextUnits + 1 - 16));
    NV_FUZZ_CHECK(AllZero(out.password + 16, nvcred::kHandOffTextUnits + 1 - 16));
    return 0;
}
