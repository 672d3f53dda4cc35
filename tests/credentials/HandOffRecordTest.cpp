// Decoding of the hand-off record, against records the test lays out byte by byte and masks
// with the writer's byte, 0xA7.
#include "credentials/HandOffRecord.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr unsigned char kMask = 0xA7;

struct Fields {
    std::uint32_t size = 272;
    std::uint32_t userLength;
    std::uint32_t passwordLength;
    std::vector<unsigned char> user;     // up to 128 bytes, as stored
    std::vector<unsigned char> password; // up to 128 bytes, as stored
};

std::vector<unsigned char> Bytes(const std::u16string& text) {
    std::vector<unsigned char> out;
    for (char16_t c : text) {
        out.push_back(c & 0xFF);
        out.push_back(c >> 8);
    }
    return out;
}

std::vector<unsigned char> Masked(const Fields& f, std::size_t fileSize = 272) {
    std::vector<unsigned char> plain(272, 0);
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            plain[at + i] = (v >> (8 * i)) & 0xFF;
    };
    put32(0, f.size);
    put32(4, 0x12345678); // not read
    put32(8, f.userLength);
    put32(12, f.passwordLength);
    for (std::size_t i = 0; i < f.user.size() && i < 128; ++i)
        plain[16 + i] = f.user[i];
    for (std::size_t i = 0; i < f.password.size() && i < 128; ++i)
        plain[144 + i] = f.password[i];
    plain.resize(fileSize, 0);
    for (auto& b : plain)
        b ^= kMask;
    return plain;
}

nvcred::HandOffStatus Decode(const std::vector<unsigned char>& bytes, nvcred::HandOffCredentials& out) {
    return nvcred::DecodeHandOff(bytes.data(), bytes.size(), out);
}

TEST(HandOffRecord, MaskIsTheWritersByte) {
    EXPECT_EQ(nvcred::kHandOffMask, kMask);
    EXPECT_EQ(nvcred::kHandOffSize, 272u);
}

// Decodes the record of these fields and checks the outcome and both texts.
void ExpectDecoded(const Fields& f, nvcred::HandOffStatus status, const std::u16string& user,
                   const std::u16string& password) {
    nvcred::HandOffCredentials out;
    EXPECT_EQ(Decode(Masked(f), out), status);
    EXPECT_EQ(std::u16string(out.userName), user);
    EXPECT_EQ(std::u16string(out.password), password);
}

TEST(HandOffRecord, DecodesNameAndPassword) {
    ExpectDecoded({272, 10, 12, Bytes(u"alice"), Bytes(u"secret")}, nvcred::HandOffStatus::Ok, u"alice",
                  u"secret");
}

TEST(HandOffRecord, OnlyTheCountedBytesAreTaken) {
    // The fields hold more than their lengths say; the rest is ignored.
    ExpectDecoded({272, 6, 4, Bytes(u"bobbyXYZ"), Bytes(u"pwEXTRA")}, nvcred::HandOffStatus::Ok, u"bob",
                  u"pw");
}

TEST(HandOffRecord, LengthTable) {
    const std::u16string text40 = u"0123456789abcdefghijklmnopqrstuvwxyzABCD";
    struct Row {
        std::uint32_t userLength, passwordLength;
        nvcred::HandOffStatus status;
        std::u16string user, password;
    };
    const Row rows[] = {
        {2, 0, nvcred::HandOffStatus::Ok, u"0", u""},
        {31, 31, nvcred::HandOffStatus::Ok, u"0123456789abcdef", u"0123456789abcdef"},
        {32, 32, nvcred::HandOffStatus::Ok, u"0123456789abcdef", u"0123456789abcdef"},
        {33, 2, nvcred::HandOffStatus::UserNameTooLong, u"", u""},
        {2, 33, nvcred::HandOffStatus::PasswordTooLong, u"", u""},
        {0xFFFFFFFF, 2, nvcred::HandOffStatus::UserNameTooLong, u"", u""},
        {2, 0x80000000, nvcred::HandOffStatus::PasswordTooLong, u"", u""},
        {0, 4, nvcred::HandOffStatus::Ok, u"", u"01"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.userLength) + "/" + std::to_string(row.passwordLength));
        ExpectDecoded({272, row.userLength, row.passwordLength, Bytes(text40), Bytes(text40)}, row.status,
                      row.user, row.password);
    }
}

TEST(HandOffRecord, AnOddLengthLeavesTheLastUnitsHighByteZero) {
    nvcred::HandOffCredentials out;
    // "A" then U+4E2D: 3 bytes take 'A' and the low byte 0x2D of U+4E2D.
    const Fields f{272, 3, 5, Bytes(u"A\u4e2d"), Bytes(u"xy\u0142")};
    ASSERT_EQ(Decode(Masked(f), out), nvcred::HandOffStatus::Ok);
    EXPECT_EQ(out.userName[0], u'A');
    EXPECT_EQ(out.userName[1], char16_t{0x2D});
    EXPECT_EQ(out.userName[2], 0);
    EXPECT_EQ(out.password[2], char16_t{0x42});
    EXPECT_EQ(out.password[3], 0);
}

TEST(HandOffRecord, SizeFieldMustBe272) {
    for (std::uint32_t size : {0u, 271u, 273u, 0x110u + 0x10000u, 0xFFFFFFFFu}) {
        nvcred::HandOffCredentials out;
        const Fields f{size, 2, 2, Bytes(u"a"), Bytes(u"b")};
        EXPECT_EQ(Decode(Masked(f), out), nvcred::HandOffStatus::WrongSize) << size;
        EXPECT_EQ(out.userName[0], 0);
    }
}

TEST(HandOffRecord, ShortInputIsRejectedLongerInputUsesTheFirst272Bytes) {
    const Fields f{272, 2, 2, Bytes(u"a"), Bytes(u"b")};
    nvcred::HandOffCredentials out;
    EXPECT_EQ(Decode(Masked(f, 271), out), nvcred::HandOffStatus::Short);
    EXPECT_EQ(Decode(Masked(f, 0), out), nvcred::HandOffStatus::Short);
    EXPECT_EQ(nvcred::DecodeHandOff(nullptr, 272, out), nvcred::HandOffStatus::Short);
    auto longer = Masked(f, 300);
    ASSERT_EQ(Decode(longer, out), nvcred::HandOffStatus::Ok);
    EXPECT_EQ(std::u16string(out.userName), u"a");
}

TEST(HandOffRecord, UnmaskedBytesAreNotAccepted) {
    // The plain record as it would be without the mask: its size field reads 272 ^ 0xA7A7A7A7.
    auto bytes = Masked(Fields{272, 2, 2, Bytes(u"a"), Bytes(u"b")});
    for (auto& b : bytes)
        b ^= kMask;
    nvcred::HandOffCredentials out;
    EXPECT_EQ(Decode(bytes, out), nvcred::HandOffStatus::WrongSize);
}

TEST(HandOffRecord, AFailedDecodeClearsEarlierTexts) {
    nvcred::HandOffCredentials out;
    ASSERT_EQ(Decode(Masked(Fields{272, 2, 2, Bytes(u"a"), Bytes(u"b")}), out), nvcred::HandOffStatus::Ok);
    EXPECT_EQ(Decode(Masked(Fields{272, 40, 2, Bytes(u"a"), Bytes(u"b")}), out),
              nvcred::HandOffStatus::UserNameTooLong);
    EXPECT_EQ(out.userName[0], 0);
    EXPECT_EQ(out.password[0], 0);
}

} // namespace
