// CRijndael against published known answers, plus its buffer mode and its error contract.
#include "database/Rijndael.h"
#include "tests/support/Hex.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <stdexcept>
#include <cstdint>
#include <string>
#include <vector>

using testhex::Bytes;
using testhex::Hex;

namespace {

struct KnownAnswer {
    const char* source;
    const char* key;
    const char* plain;
    const char* cipher;
};

// FIPS-197 Appendix C (example vectors for AES-128/192/256) and Appendix B (the cipher example);
// for 24- and 32-byte blocks, Brian Gladman's Rijndael test vectors for every key length, which
// share the plaintext 3243f6a8... and the key 2b7e1516... of FIPS-197 Appendix B, extended.
const KnownAnswer kVectors[] = {
    {"FIPS-197 C.1", "000102030405060708090a0b0c0d0e0f", "00112233445566778899aabbccddeeff",
     "69c4e0d86a7b0430d8cdb78070b4c55a"},
    {"FIPS-197 C.2", "000102030405060708090a0b0c0d0e0f1011121314151617", "00112233445566778899aabbccddeeff",
     "dda97ca4864cdfe06eaf70a0ec0d7191"},
    {"FIPS-197 C.3", "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
     "00112233445566778899aabbccddeeff", "8ea2b7ca516745bfeafc49904b496089"},
    {"FIPS-197 B", "2b7e151628aed2a6abf7158809cf4f3c", "3243f6a8885a308d313198a2e0370734",
     "3925841d02dc09fbdc118597196a0b32"},
    {"Gladman Nb=6 Nk=4", "2b7e151628aed2a6abf7158809cf4f3c",
     "3243f6a8885a308d313198a2e03707344a4093822299f31d", "b24d275489e82bb8f7375e0d5fcdb1f481757c538b65148a"},
    {"Gladman Nb=6 Nk=6", "2b7e151628aed2a6abf7158809cf4f3c762e7160f38b4da5",
     "3243f6a8885a308d313198a2e03707344a4093822299f31d", "725ae43b5f3161de806a7c93e0bca93c967ec1ae1b71e1cf"},
    {"Gladman Nb=6 Nk=8", "2b7e151628aed2a6abf7158809cf4f3c762e7160f38b4da56a784d9045190cfe",
     "3243f6a8885a308d313198a2e03707344a4093822299f31d", "0ebacf199e3315c2e34b24fcc7c46ef4388aa475d66c194c"},
    {"Gladman Nb=8 Nk=4", "2b7e151628aed2a6abf7158809cf4f3c",
     "3243f6a8885a308d313198a2e03707344a4093822299f31d0082efa98ec4e6c8",
     "7d15479076b69a46ffb3b3beae97ad8313f622f67fedb487de9f06b9ed9c8f19"},
    {"Gladman Nb=8 Nk=6", "2b7e151628aed2a6abf7158809cf4f3c762e7160f38b4da5",
     "3243f6a8885a308d313198a2e03707344a4093822299f31d0082efa98ec4e6c8",
     "5d7101727bb25781bf6715b0e6955282b9610e23a43c2eb062699f0ebf5887b2"},
    {"Gladman Nb=8 Nk=8", "2b7e151628aed2a6abf7158809cf4f3c762e7160f38b4da56a784d9045190cfe",
     "3243f6a8885a308d313198a2e03707344a4093822299f31d0082efa98ec4e6c8",
     "a49406115dfb30a40418aafa4869b7c6a886ff31602a7dd19c889dc64f7e4e7a"},
};

void PrintTo(const KnownAnswer& v, std::ostream* os) {
    *os << v.source;
}

class RijndaelKnownAnswer : public testing::TestWithParam<KnownAnswer> {};

TEST_P(RijndaelKnownAnswer, BlockAndBufferBothWays) {
    const KnownAnswer& v = GetParam();
    const auto key = Bytes(v.key), plain = Bytes(v.plain), cipher = Bytes(v.cipher);
    CRijndael r;
    r.SetKey(key.data(), static_cast<int>(key.size()), static_cast<int>(plain.size()));

    std::vector<unsigned char> out(plain.size());
    r.EncipherBlock(plain.data(), out.data());
    EXPECT_EQ(Hex(out), v.cipher);
    r.DecipherBlock(cipher.data(), out.data());
    EXPECT_EQ(Hex(out), v.plain);

    r.EncipherBuffer(plain.data(), out.data(), plain.size());
    EXPECT_EQ(Hex(out), v.cipher);
    r.DecipherBuffer(cipher.data(), out.data(), cipher.size());
    EXPECT_EQ(Hex(out), v.plain);
}

INSTANTIATE_TEST_SUITE_P(Published, RijndaelKnownAnswer, testing::ValuesIn(kVectors),
                         [](const testing::TestParamInfo<KnownAnswer>& param_info) {
                             std::string name;
                             for (const char* c = param_info.param.source; *c; ++c)
                                 name.push_back(std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_');
                             return name;
                         });

const KnownAnswer& Nb8Nk8() {
    return kVectors[9];
}

std::string ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "(no error)";
}

TEST(RijndaelBuffer, EqualBlocksGiveEqualCiphertextWherever) {
    const auto key = Bytes(Nb8Nk8().key), plain = Bytes(Nb8Nk8().plain);
    // Three blocks: the vector, something else, the vector again.
    std::vector<unsigned char> buffer(plain);
    for (int i = 0; i < 32; ++i)
        buffer.push_back(static_cast<unsigned char>(i * 7));
    buffer.insert(buffer.end(), plain.begin(), plain.end());

    CRijndael r;
    r.SetKey(key.data(), 32, 32);
    std::vector<unsigned char> out(buffer.size());
    r.EncipherBuffer(buffer.data(), out.data(), out.size());
    EXPECT_EQ(Hex(out.data(), 32), Nb8Nk8().cipher);
    EXPECT_EQ(Hex(out.data() + 64, 32), Nb8Nk8().cipher);
    EXPECT_NE(Hex(out.data() + 32, 32), Nb8Nk8().cipher);
}

TEST(RijndaelBuffer, InPlaceEqualsOutOfPlaceForEveryBlockLength) {
    for (int blockLength : {16, 24, 32}) {
        for (int keyLength : {16, 24, 32}) {
            std::vector<unsigned char> key(static_cast<std::size_t>(keyLength));
            for (std::size_t i = 0; i < key.size(); ++i)
                key[i] = static_cast<unsigned char>(0xA5 ^ (i * 13));
            std::vector<unsigned char> data(static_cast<std::size_t>(blockLength) * 5);
            for (std::size_t i = 0; i < data.size(); ++i)
                data[i] = static_cast<unsigned char>(i * 31 + 7);

            CRijndael r;
            r.SetKey(key.data(), keyLength, blockLength);
            std::vector<unsigned char> separate(data.size());
            r.EncipherBuffer(data.data(), separate.data(), data.size());
            std::vector<unsigned char> inPlace(data);
            r.EncipherBuffer(inPlace.data(), inPlace.data(), inPlace.size());
            EXPECT_EQ(inPlace, separate) << keyLength << "/" << blockLength;

            r.DecipherBuffer(inPlace.data(), inPlace.data(), inPlace.size());
            EXPECT_EQ(inPlace, data) << keyLength << "/" << blockLength;

            std::vector<unsigned char> block(separate.begin(), separate.begin() + blockLength);
            r.DecipherBlock(block.data(), block.data());
            EXPECT_TRUE(std::equal(block.begin(), block.end(), data.begin()))
                << keyLength << "/" << blockLength;
        }
    }
}

TEST(RijndaelBuffer, LengthMustBeAWholeNumberOfBlocks) {
    const auto key = Bytes(Nb8Nk8().key);
    CRijndael r;
    r.SetKey(key.data(), 32, 32);
    std::vector<unsigned char> in(96, 0x11), out(96, 0xEE);
    EXPECT_EQ(ErrorOf([&] { r.EncipherBuffer(in.data(), out.data(), 0); }),
              "Data not multiple of Block Size");
    EXPECT_EQ(ErrorOf([&] { r.DecipherBuffer(in.data(), out.data(), 33); }),
              "Data not multiple of Block Size");
    EXPECT_EQ(ErrorOf([&] { r.EncipherBuffer(in.data(), out.data(), 16); }),
              "Data not multiple of Block Size");
    EXPECT_EQ(out, std::vector<unsigned char>(96, 0xEE)) << "nothing is written before the check";

    // 64 bytes are exactly two blocks: the third block of the output stays untouched.
    r.EncipherBuffer(in.data(), out.data(), 64);
    EXPECT_EQ(Hex(out.data(), 32), Hex(out.data() + 32, 32));
    EXPECT_EQ(std::vector<unsigned char>(out.begin() + 64, out.end()), std::vector<unsigned char>(32, 0xEE));
}

TEST(RijndaelErrors, EveryOperationNeedsAKey) {
    CRijndael r;
    unsigned char block[32] = {};
    EXPECT_EQ(ErrorOf([&] { r.EncipherBlock(block, block); }), "Object not Initialized");
    EXPECT_EQ(ErrorOf([&] { r.DecipherBlock(block, block); }), "Object not Initialized");
    // The key is checked before the length, even a length that is itself wrong.
    EXPECT_EQ(ErrorOf([&] { r.EncipherBuffer(block, block, 0); }), "Object not Initialized");
    EXPECT_EQ(ErrorOf([&] { r.DecipherBuffer(block, block, 32); }), "Object not Initialized");
}

TEST(RijndaelErrors, SetKeyChecksKeyThenKeyLengthThenBlockLength) {
    const unsigned char key[32] = {};
    CRijndael r;
    EXPECT_EQ(ErrorOf([&] { r.SetKey(nullptr, 20, 20); }), "Empty key");
    EXPECT_EQ(ErrorOf([&] { r.SetKey(key, 20, 20); }), "Incorrect key length");
    EXPECT_EQ(ErrorOf([&] { r.SetKey(key, 0, 32); }), "Incorrect key length");
    EXPECT_EQ(ErrorOf([&] { r.SetKey(key, 32, 20); }), "Incorrect block length");
    EXPECT_EQ(ErrorOf([&] { r.SetKey(key, 16, 64); }), "Incorrect block length");
    unsigned char block[32] = {};
    EXPECT_EQ(ErrorOf([&] { r.EncipherBlock(block, block); }), "Object not Initialized")
        << "a failed SetKey does not set a key";
}

TEST(RijndaelErrors, FailedSetKeyKeepsThePreviousKey) {
    const auto key = Bytes(Nb8Nk8().key), plain = Bytes(Nb8Nk8().plain);
    CRijndael r;
    r.SetKey(key.data(), 32, 32);
    EXPECT_THROW(r.SetKey(key.data(), 32, 8), std::runtime_error);
    EXPECT_THROW(r.SetKey(key.data(), 12, 32), std::runtime_error);
    unsigned char out[32];
    r.EncipherBlock(plain.data(), out);
    EXPECT_EQ(Hex(out, 32), Nb8Nk8().cipher);
}

TEST(RijndaelKey, SetKeyAgainReplacesKeyAndBlockLength) {
    const KnownAnswer& aes = kVectors[0];
    const auto key16 = Bytes(aes.key), plain16 = Bytes(aes.plain);
    const auto key32 = Bytes(Nb8Nk8().key), plain32 = Bytes(Nb8Nk8().plain);
    CRijndael r;
    r.SetKey(key32.data(), 32, 32);
    r.SetKey(key16.data(), 16, 16);
    unsigned char out[32] = {};
    r.EncipherBlock(plain16.data(), out);
    EXPECT_EQ(Hex(out, 16), aes.cipher);
    r.SetKey(key32.data(), 32, 32);
    r.EncipherBlock(plain32.data(), out);
    EXPECT_EQ(Hex(out, 32), Nb8Nk8().cipher);
}

} // namespace

namespace {

// The stack below a caller, once a cipher call has returned: a frame that is never written, read
// through a volatile pointer, holds whatever the calls before left there.
#if defined(__GNUC__)
#define NV_NOINLINE __attribute__((noinline))
#else
#define NV_NOINLINE
#endif

NV_NOINLINE void EncipherOneBlock(const unsigned char* key, const unsigned char* in, unsigned char* out) {
    CRijndael cipher;
    cipher.SetKey(key, 32, 32);
    cipher.EncipherBuffer(in, out, 32);
}

NV_NOINLINE bool LeftOnTheStack(const std::vector<std::uint32_t>& words) {
    unsigned char frame[16384];
    const volatile unsigned char* area = frame;
    for (std::size_t at = 0; at + 4 <= sizeof frame; ++at) {
        const std::uint32_t value =
            static_cast<std::uint32_t>(area[at]) | static_cast<std::uint32_t>(area[at + 1]) << 8 |
            static_cast<std::uint32_t>(area[at + 2]) << 16 | static_cast<std::uint32_t>(area[at + 3]) << 24;
        if (std::find(words.begin(), words.end(), value) != words.end())
            return true;
    }
    return false;
}

TEST(Rijndael, LeavesNeitherKeyScheduleNorRoundStateOnTheStack) {
    unsigned char key[32], plain[32], out[32];
    for (int i = 0; i < 32; ++i) {
        key[i] = static_cast<unsigned char>(0x5A ^ (i * 29 + 7));
        plain[i] = static_cast<unsigned char>(0xC3 ^ (i * 53 + 11));
    }
    // The first round key is the key itself, as big-endian column words; the state after it is
    // the plaintext's words XORed with them.
    std::vector<std::uint32_t> secrets;
    for (int j = 0; j < 8; ++j) {
        const auto word = [&](const unsigned char* p) {
            return static_cast<std::uint32_t>(p[4 * j]) << 24 |
                   static_cast<std::uint32_t>(p[4 * j + 1]) << 16 |
                   static_cast<std::uint32_t>(p[4 * j + 2]) << 8 | p[4 * j + 3];
        };
        secrets.push_back(word(key));
        secrets.push_back(word(key) ^ word(plain));
    }
    EncipherOneBlock(key, plain, out);
    EXPECT_FALSE(LeftOnTheStack(secrets));
}

} // namespace
