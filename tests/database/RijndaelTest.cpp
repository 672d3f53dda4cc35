// CRijndael against published known answers, plus its buffer mode and its error contract; each
// once per path (portable tables, AES instructions on 128-, 256- and 512-bit registers) that this
// processor runs. And the choice of path from what a processor reports.
#include "database/Rijndael.h"
#include "database/RijndaelPath.h"
#include "tests/support/Hex.h"
#include "tests/support/RijndaelPathSupport.h"

#include <gtest/gtest.h>

#include <immintrin.h>
#if defined(_MSC_VER)
#include <intrin.h>
#else
#include <cpuid.h>
#endif

#include <algorithm>
#include <cctype>
#include <functional>
#include <random>
#include <stdexcept>
#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

using nvdb::RijndaelPath;
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

class RijndaelKnownAnswer : public testing::TestWithParam<std::tuple<KnownAnswer, RijndaelPath>> {};

TEST_P(RijndaelKnownAnswer, BlockAndBufferBothWays) {
    const KnownAnswer& v = std::get<0>(GetParam());
    FORCE_RIJNDAEL_PATH_OR_SKIP(std::get<1>(GetParam()));
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

INSTANTIATE_TEST_SUITE_P(Published, RijndaelKnownAnswer,
                         testing::Combine(testing::ValuesIn(kVectors), cipherpath::kEveryPath),
                         [](const testing::TestParamInfo<RijndaelKnownAnswer::ParamType>& param_info) {
                             std::string name;
                             for (const char* c = std::get<0>(param_info.param).source; *c; ++c)
                                 name.push_back(std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_');
                             return name + "_" + cipherpath::TestName(std::get<1>(param_info.param));
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

class RijndaelBuffer : public testing::TestWithParam<RijndaelPath> {};

TEST_P(RijndaelBuffer, EqualBlocksGiveEqualCiphertextWherever) {
    FORCE_RIJNDAEL_PATH_OR_SKIP(GetParam());
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

TEST_P(RijndaelBuffer, InPlaceEqualsOutOfPlaceForEveryBlockLength) {
    FORCE_RIJNDAEL_PATH_OR_SKIP(GetParam());
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

TEST_P(RijndaelBuffer, LengthMustBeAWholeNumberOfBlocks) {
    FORCE_RIJNDAEL_PATH_OR_SKIP(GetParam());
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

// Every path against the portable one, which the known answers and libmcrypt pin down: every
// block count up to two of the widest group (the paths take four, eight and sixteen blocks at
// once) and the whole database image, buffers at odd addresses, in place and from one buffer to
// another.
TEST_P(RijndaelBuffer, SameBytesAsThePortablePathAtAnyLengthAndAddress) {
    std::mt19937 random(20260114);
    std::vector<unsigned char> key(32);
    for (auto& b : key)
        b = static_cast<unsigned char>(random());
    std::vector<std::size_t> lengths;
    for (std::size_t blocks = 1; blocks <= 33; ++blocks)
        lengths.push_back(32 * blocks);
    lengths.push_back(9'014'528);

    for (std::size_t length : lengths) {
        std::vector<unsigned char> plain(length);
        for (auto& b : plain)
            b = static_cast<unsigned char>(random());
        std::vector<unsigned char> expectEnc(length), expectDec(length);
        {
            const cipherpath::ForcedPath portable(RijndaelPath::Portable);
            CRijndael reference;
            reference.SetKey(key.data(), 32, 32);
            reference.EncipherBuffer(plain.data(), expectEnc.data(), length);
            reference.DecipherBuffer(plain.data(), expectDec.data(), length);
        }
        FORCE_RIJNDAEL_PATH_OR_SKIP(GetParam());
        CRijndael r;
        r.SetKey(key.data(), 32, 32);
        const std::size_t inAt = length % 7 + 1, outAt = length % 5 + 3;
        std::vector<unsigned char> in(length + 8), out(length + 8, 0xEE);
        std::copy(plain.begin(), plain.end(), in.begin() + inAt);

        r.EncipherBuffer(in.data() + inAt, out.data() + outAt, length);
        ASSERT_TRUE(std::equal(expectEnc.begin(), expectEnc.end(), out.begin() + outAt)) << length;
        EXPECT_EQ(out[outAt - 1], 0xEE) << length;
        EXPECT_EQ(out[outAt + length], 0xEE) << length;
        r.DecipherBuffer(in.data() + inAt, out.data() + outAt, length);
        ASSERT_TRUE(std::equal(expectDec.begin(), expectDec.end(), out.begin() + outAt)) << length;

        r.EncipherBuffer(in.data() + inAt, in.data() + inAt, length);
        ASSERT_TRUE(std::equal(expectEnc.begin(), expectEnc.end(), in.begin() + inAt)) << length;
        r.DecipherBuffer(in.data() + inAt, in.data() + inAt, length);
        ASSERT_TRUE(std::equal(plain.begin(), plain.end(), in.begin() + inAt)) << length;
    }
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

class RijndaelKey : public testing::TestWithParam<RijndaelPath> {};

TEST_P(RijndaelKey, SetKeyAgainReplacesKeyAndBlockLength) {
    FORCE_RIJNDAEL_PATH_OR_SKIP(GetParam());
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

INSTANTIATE_TEST_SUITE_P(EveryPath, RijndaelBuffer, cipherpath::kEveryPath, cipherpath::ParamName);
INSTANTIATE_TEST_SUITE_P(EveryPath, RijndaelKey, cipherpath::kEveryPath, cipherpath::ParamName);

} // namespace

namespace {

// The stack below a caller, once a cipher call has returned: a frame that is never written, read
// through a volatile pointer, holds whatever the calls before left there. The vector registers,
// read back with XSAVE, hold whatever the instruction paths left in them.
#if defined(__GNUC__)
#define NV_NOINLINE __attribute__((noinline))
#define NV_XSAVE_FUNCTION __attribute__((noinline, target("xsave")))
#else
#define NV_NOINLINE __declspec(noinline)
#define NV_XSAVE_FUNCTION __declspec(noinline)
#endif

// A group of sixteen blocks, as the widest path takes them, and a lone one.
constexpr std::size_t kScrubbedBlocks = 17;

NV_NOINLINE void EncipherBlocks(const unsigned char* key, const unsigned char* in, unsigned char* out) {
    CRijndael cipher;
    cipher.SetKey(key, 32, 32);
    cipher.EncipherBuffer(in, out, 32 * kScrubbedBlocks);
}

bool Holds(const unsigned char* area, std::size_t size, const std::vector<std::uint32_t>& words) {
    for (std::size_t at = 0; at + 4 <= size; ++at) {
        const std::uint32_t value =
            static_cast<std::uint32_t>(area[at]) | static_cast<std::uint32_t>(area[at + 1]) << 8 |
            static_cast<std::uint32_t>(area[at + 2]) << 16 | static_cast<std::uint32_t>(area[at + 3]) << 24;
        if (std::find(words.begin(), words.end(), value) != words.end())
            return true;
    }
    return false;
}

NV_NOINLINE bool LeftOnTheStack(const std::vector<std::uint32_t>& words) {
    unsigned char frame[16384];
    const volatile unsigned char* area = frame;
    std::vector<unsigned char> copy(sizeof frame);
    for (std::size_t at = 0; at < sizeof frame; ++at)
        copy[at] = area[at];
    return Holds(copy.data(), copy.size(), words);
}

// XSAVE of the 128-, 256- and 512-bit registers and the mask registers, as far as the system
// saves them; returns the bytes written, or 0 where the system has no XSAVE. Components still in
// their initial state may be left unwritten, so the area must be zero beforehand.
alignas(64) unsigned char g_registerImage[16384];

// CPUID with sub-leaf 0 (eax, ebx, ecx, edx): MSVC's __cpuidex, or __cpuid_count, which both
// GCC's and clang's <cpuid.h> have (clang's has no __cpuidex).
void Cpuid(unsigned int (&registers)[4], unsigned int leaf) {
#if defined(_MSC_VER)
    int values[4] = {};
    __cpuidex(values, static_cast<int>(leaf), 0);
    for (int i = 0; i < 4; ++i)
        registers[i] = static_cast<unsigned int>(values[i]);
#else
    __cpuid_count(leaf, 0, registers[0], registers[1], registers[2], registers[3]);
#endif
}

NV_XSAVE_FUNCTION std::size_t SaveVectorRegisters() {
    unsigned int registers[4] = {};
    Cpuid(registers, 1);
    if ((registers[2] & (1u << 27)) == 0)
        return 0;
    Cpuid(registers, 0xD);
    const auto size = static_cast<std::size_t>(registers[1]);
    if (size > sizeof g_registerImage)
        return 0;
    _xsave64(g_registerImage, _xgetbv(0) & 0xE6);
    return size;
}

class RijndaelScrub : public testing::TestWithParam<RijndaelPath> {
protected:
    // The first round key is the key itself, as big-endian column words; the state after it is
    // the plaintext's words XORed with them. The portable path holds words as numbers, the
    // instructions hold the bytes in their order: both ways round.
    void SetUp() override {
        for (int i = 0; i < 32; ++i) {
            key[i] = static_cast<unsigned char>(0x5A ^ (i * 29 + 7));
            plain[i] = static_cast<unsigned char>(0xC3 ^ (i * 53 + 11));
        }
        for (std::size_t i = 32; i < sizeof plain; ++i)
            plain[i] = plain[i % 32];
        for (int j = 0; j < 8; ++j) {
            const auto word = [&](const unsigned char* p) {
                return static_cast<std::uint32_t>(p[4 * j]) << 24 |
                       static_cast<std::uint32_t>(p[4 * j + 1]) << 16 |
                       static_cast<std::uint32_t>(p[4 * j + 2]) << 8 | p[4 * j + 3];
            };
            const auto reversed = [](std::uint32_t w) {
                return (w >> 24) | ((w >> 8) & 0xFF00) | ((w << 8) & 0xFF0000) | (w << 24);
            };
            for (std::uint32_t secret : {word(key), word(key) ^ word(plain)}) {
                secrets.push_back(secret);
                secrets.push_back(reversed(secret));
            }
        }
    }

    unsigned char key[32], plain[32 * kScrubbedBlocks], out[32 * kScrubbedBlocks];
    std::vector<std::uint32_t> secrets;
};

TEST_P(RijndaelScrub, LeavesNeitherKeyScheduleNorRoundStateOnTheStack) {
    FORCE_RIJNDAEL_PATH_OR_SKIP(GetParam());
    EncipherBlocks(key, plain, out);
    EXPECT_FALSE(LeftOnTheStack(secrets));
}

TEST_P(RijndaelScrub, LeavesNeitherRoundKeysNorRoundStateInTheVectorRegisters) {
    FORCE_RIJNDAEL_PATH_OR_SKIP(GetParam());
    std::fill(std::begin(g_registerImage), std::end(g_registerImage), static_cast<unsigned char>(0));
    EncipherBlocks(key, plain, out);
    const std::size_t saved = SaveVectorRegisters();
    if (saved == 0)
        GTEST_SKIP() << "no XSAVE here";
    EXPECT_FALSE(Holds(g_registerImage, saved, secrets));
}

INSTANTIATE_TEST_SUITE_P(EveryPath, RijndaelScrub, cipherpath::kEveryPath, cipherpath::ParamName);

} // namespace

namespace {

// What processors report, with the bits as Intel's manual numbers them. CPUID leaf 1 ECX: 9 SSSE3,
// 19 SSE4.1, 25 AES-NI, 27 OSXSAVE, 28 AVX. Leaf 7 EBX: 5 AVX2, 16 AVX512F, 30 AVX512BW,
// 31 AVX512VL; leaf 7 ECX: 1 AVX512_VBMI, 9 VAES. XCR0: 1 and 2 the 128- and 256-bit state, 5 to 7
// the AVX-512 state.
constexpr std::uint32_t kSse41Ssse3 = (1u << 9) | (1u << 19);
constexpr std::uint32_t kAesNi = kSse41Ssse3 | (1u << 25);
constexpr std::uint32_t kOsXsave = 1u << 27;
constexpr std::uint32_t kAvx = kAesNi | kOsXsave | (1u << 28);
constexpr std::uint32_t kAvx2 = 1u << 5;
constexpr std::uint32_t kAvx512 = kAvx2 | (1u << 16) | (1u << 30) | (1u << 31);
constexpr std::uint32_t kVaes = 1u << 9;
constexpr std::uint32_t kVaesVbmi = kVaes | (1u << 1);
constexpr std::uint64_t kYmmSaved = 0x7;
constexpr std::uint64_t kZmmSaved = 0xE7;

struct PathChoice {
    const char* processor;
    nvdb::ProcessorReport report; // highest leaf, leaf 1 ECX, leaf 7 EBX, leaf 7 ECX, XCR0
    RijndaelPath fastest;
};

const PathChoice kPathChoices[] = {
    {"nothing reported", {}, RijndaelPath::Portable},
    {"SSE4.1 without AES-NI", {11, kSse41Ssse3, 0, 0, 0}, RijndaelPath::Portable},
    {"AES-NI without SSE4.1", {11, (1u << 9) | (1u << 25), 0, 0, 0}, RijndaelPath::Portable},
    {"AES-NI above the highest leaf", {0, kAesNi, 0, 0, 0}, RijndaelPath::Portable},
    {"AES-NI, no AVX", {11, kAesNi, 0, 0, 0}, RijndaelPath::AesNi},
    {"AVX2 without VAES", {13, kAvx, kAvx2, 0, kYmmSaved}, RijndaelPath::AesNi},
    {"VAES on AVX2", {16, kAvx, kAvx2, kVaes, kYmmSaved}, RijndaelPath::Vaes256},
    {"VAES, system saves no 256-bit state", {16, kAvx, kAvx2, kVaes, 0x3}, RijndaelPath::AesNi},
    {"VAES, XSAVE off in the system", {16, kAvx & ~kOsXsave, kAvx2, kVaes, kYmmSaved}, RijndaelPath::AesNi},
    {"VAES and AVX2 without AVX", {16, kAesNi | kOsXsave, kAvx2, kVaes, kYmmSaved}, RijndaelPath::AesNi},
    {"leaf 7 above the highest leaf", {6, kAvx, kAvx512, kVaesVbmi, kZmmSaved}, RijndaelPath::AesNi},
    {"AVX-512 with VBMI and VAES", {16, kAvx, kAvx512, kVaesVbmi, kZmmSaved}, RijndaelPath::Vaes512},
    {"AVX-512 and VAES without VBMI", {16, kAvx, kAvx512, kVaes, kZmmSaved}, RijndaelPath::Vaes256},
    {"AVX-512 without VL", {16, kAvx, kAvx512 & ~(1u << 31), kVaesVbmi, kZmmSaved}, RijndaelPath::Vaes256},
    {"AVX-512, system saves 256-bit state only",
     {16, kAvx, kAvx512, kVaesVbmi, kYmmSaved},
     RijndaelPath::Vaes256},
    {"AVX-512, system saves no zmm16-31", {16, kAvx, kAvx512, kVaesVbmi, 0x67}, RijndaelPath::Vaes256},
};

// Each path needs what the one before it needs and more, so a processor runs exactly the paths up
// to its fastest.
TEST(RijndaelPathChoice, FastestPathThatTheProcessorAndItsSystemRun) {
    for (const PathChoice& row : kPathChoices) {
        SCOPED_TRACE(row.processor);
        EXPECT_EQ(nvdb::PathName(nvdb::FastestPath(row.report)), std::string(nvdb::PathName(row.fastest)));
        for (RijndaelPath path : nvdb::kRijndaelPaths)
            EXPECT_EQ(nvdb::PathRuns(path, row.report), path <= row.fastest) << nvdb::PathName(path);
    }
}

TEST(RijndaelPathChoice, ThisProcessorStartsOnItsFastestPathAndRefusesWhatItLacks) {
    const nvdb::ProcessorReport report = nvdb::ReadProcessorReport();
    const RijndaelPath fastest = nvdb::FastestPath(report);
    EXPECT_EQ(nvdb::ActivePath(), fastest);
    for (RijndaelPath path : nvdb::kRijndaelPaths) {
        const cipherpath::ForcedPath forced(path);
        EXPECT_EQ(forced.Forced(), nvdb::PathRuns(path, report)) << nvdb::PathName(path);
        EXPECT_EQ(nvdb::ActivePath(), forced.Forced() ? path : fastest) << nvdb::PathName(path);
    }
    EXPECT_EQ(nvdb::ActivePath(), fastest);
}

} // namespace
