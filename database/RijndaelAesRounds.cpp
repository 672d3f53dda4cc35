// Rijndael with a 32-byte block on AESENC and AESDEC. The block is two 128-bit halves of four
// columns each, and one instruction does a whole AES round on a half: ShiftRows within the half,
// SubBytes, MixColumns, the round key. Only the row shift differs from Rijndael's with eight
// columns (rows shifted by 0, 1, 3 and 4 columns across the whole block), so before each round the
// bytes are moved between and within the halves to where the instruction's own shift takes them to
// Rijndael's places. Decryption is the equivalent inverse cipher, whose round keys CRijndael already
// holds with InvMixColumns applied; AESDEC takes them as they are.
#include "database/RijndaelAesRounds.h"

#include "base/SecureWipe.h"

#include <immintrin.h>
#if defined(_MSC_VER)
#include <intrin.h>
#else
#include <cpuid.h>
#endif

#include <cstddef>
#include <utility>

// GCC and clang compile instructions beyond the baseline only in functions marked for them; MSVC
// takes any intrinsic anywhere.
#if defined(__GNUC__) || defined(__clang__)
#define NV_TARGET(isa) __attribute__((target(isa)))
#else
#define NV_TARGET(isa)
#endif

#define NV_ISA_AESNI "ssse3,sse4.1,aes"
#define NV_ISA_VAES256 "avx2,aes,vaes"
#define NV_ISA_VAES512 "avx2,aes,vaes,avx512f,avx512bw,avx512vl,avx512vbmi"

namespace nvdb {

namespace {

constexpr int kRounds = 14;
constexpr int kBlockSize = 32;
constexpr int kPair = 2 * kBlockSize; // the two blocks a 256-bit register holds
constexpr int kRowShift[4] = {0, 1, 3, 4};

//--- Where each byte goes before a round

constexpr int Modulo(int value, int n) {
    return (value % n + n) % n;
}

// The column of the whole block (0..7) whose byte in `row` has to be in column `column` of half
// `half` when the instruction starts. AESENC moves column k of a half to column k - row (mod 4), and
// that column of the half must end up with Rijndael's byte: column + shift of the whole block.
// AESDEC shifts the other way, and so does Rijndael's inverse.
constexpr int SourceColumn(bool inverse, int half, int column, int row) {
    const int target = inverse ? Modulo(column + row, 4) : Modulo(column - row, 4);
    return Modulo(4 * half + target + (inverse ? -kRowShift[row] : kRowShift[row]), 8);
}

// On 128- and 256-bit registers the halves are separate registers. Each row takes four
// consecutive columns of the block, which lie at four different places within the halves, so
// a blend can pick, place by place, the half each byte of the first half's input comes from, and a
// shuffle within the register puts the bytes in their columns. The second half's input needs
// exactly the bytes the first one leaves, at the same places: the same blend with the halves
// swapped, and the same shuffle.
struct HalfMove {
    alignas(16) unsigned char blend[16];   // 0x80: the byte comes from the other half
    alignas(16) unsigned char shuffle[16]; // where each byte of the blend goes
};

constexpr HalfMove MakeHalfMove(bool inverse) {
    HalfMove move{};
    for (int column = 0; column < 4; ++column) {
        for (int row = 0; row < 4; ++row) {
            const int source = SourceColumn(inverse, 0, column, row);
            const int at = 4 * (source % 4) + row;
            move.shuffle[4 * column + row] = static_cast<unsigned char>(at);
            move.blend[at] = source >= 4 ? 0x80 : 0x00;
        }
    }
    return move;
}

// On 512-bit registers a register holds two whole blocks, and one byte permutation across it
// does the move for both.
struct PairMove {
    alignas(64) unsigned char index[64];
};

constexpr PairMove MakePairMove(bool inverse) {
    PairMove move{};
    for (int block = 0; block < 2; ++block)
        for (int half = 0; half < 2; ++half)
            for (int column = 0; column < 4; ++column)
                for (int row = 0; row < 4; ++row)
                    move.index[32 * block + 16 * half + 4 * column + row] = static_cast<unsigned char>(
                        32 * block + 4 * SourceColumn(inverse, half, column, row) + row);
    return move;
}

constexpr HalfMove kHalfMove = MakeHalfMove(false);
constexpr HalfMove kInverseHalfMove = MakeHalfMove(true);
constexpr PairMove kPairMove = MakePairMove(false);
constexpr PairMove kInversePairMove = MakePairMove(true);

// The blend and shuffle are right only if every byte of the block is taken exactly once: the
// shuffle a permutation, and the second half's bytes the ones the first half leaves.
constexpr bool TakesEveryByteOnce(bool inverse) {
    const HalfMove move = MakeHalfMove(inverse);
    bool taken[16] = {};
    for (const auto from : move.shuffle) {
        if (from >= 16 || taken[from])
            return false;
        taken[from] = true;
    }
    for (int column = 0; column < 4; ++column) {
        for (int row = 0; row < 4; ++row) {
            const int first = SourceColumn(inverse, 0, column, row);
            const int second = SourceColumn(inverse, 1, column, row);
            if (second != Modulo(first + 4, 8))
                return false;
        }
    }
    return true;
}
static_assert(TakesEveryByteOnce(false) && TakesEveryByteOnce(true));

// CRijndael's key words are numbers with the first byte most significant; in memory, on this
// little-endian processor, each word's bytes are reversed.
alignas(16) constexpr unsigned char kWordBytesReversed[16] = {3,  2,  1, 0, 7,  6,  5,  4,
                                                              11, 10, 9, 8, 15, 14, 13, 12};

//--- 128-bit registers: AES-NI

NV_TARGET(NV_ISA_AESNI) inline __m128i LoadKeyHalf(const std::uint32_t* words) {
    return _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(words)),
                            _mm_load_si128(reinterpret_cast<const __m128i*>(kWordBytesReversed)));
}

NV_TARGET(NV_ISA_AESNI) inline __m128i Load128(const unsigned char* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

NV_TARGET(NV_ISA_AESNI) inline void Store128(unsigned char* p, __m128i value) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), value);
}

template <bool Decrypt> NV_TARGET(NV_ISA_AESNI) inline __m128i Round128(__m128i state, __m128i key) {
    if constexpr (Decrypt)
        return _mm_aesdec_si128(state, key);
    else
        return _mm_aesenc_si128(state, key);
}

template <bool Decrypt> NV_TARGET(NV_ISA_AESNI) inline __m128i LastRound128(__m128i state, __m128i key) {
    if constexpr (Decrypt)
        return _mm_aesdeclast_si128(state, key);
    else
        return _mm_aesenclast_si128(state, key);
}

NV_TARGET(NV_ISA_AESNI)
inline void MoveHalves128(__m128i& first, __m128i& second, __m128i blend, __m128i shuffle) {
    const __m128i forFirst = _mm_blendv_epi8(first, second, blend);
    const __m128i forSecond = _mm_blendv_epi8(second, first, blend);
    first = _mm_shuffle_epi8(forFirst, shuffle);
    second = _mm_shuffle_epi8(forSecond, shuffle);
}

// One block per pair of registers; the group's blocks go through each round together, so that
// the instruction's latency is hidden behind the other blocks.
template <bool Decrypt, std::size_t... I>
NV_TARGET(NV_ISA_AESNI)
void Group128(const __m128i (&keys)[kRounds + 1][2], __m128i blend, __m128i shuffle, const unsigned char* in,
              unsigned char* out, std::index_sequence<I...>) {
    __m128i first[sizeof...(I)], second[sizeof...(I)];
    ((first[I] = _mm_xor_si128(Load128(in + kBlockSize * I), keys[0][0])), ...);
    ((second[I] = _mm_xor_si128(Load128(in + kBlockSize * I + 16), keys[0][1])), ...);
    for (int round = 1; round < kRounds; ++round) {
        (MoveHalves128(first[I], second[I], blend, shuffle), ...);
        ((first[I] = Round128<Decrypt>(first[I], keys[round][0])), ...);
        ((second[I] = Round128<Decrypt>(second[I], keys[round][1])), ...);
    }
    (MoveHalves128(first[I], second[I], blend, shuffle), ...);
    (Store128(out + kBlockSize * I, LastRound128<Decrypt>(first[I], keys[kRounds][0])), ...);
    (Store128(out + kBlockSize * I + 16, LastRound128<Decrypt>(second[I], keys[kRounds][1])), ...);
}

constexpr std::uint64_t kGroup128 = 4;

template <bool Decrypt>
NV_TARGET(NV_ISA_AESNI)
void Run128(const RoundKeyTable& roundKeys, const unsigned char* in, unsigned char* out,
            std::uint64_t blocks) {
    __m128i keys[kRounds + 1][2];
    for (int round = 0; round <= kRounds; ++round) {
        keys[round][0] = LoadKeyHalf(roundKeys[round]);
        keys[round][1] = LoadKeyHalf(roundKeys[round] + 4);
    }
    const HalfMove& move = Decrypt ? kInverseHalfMove : kHalfMove;
    const __m128i blend = _mm_load_si128(reinterpret_cast<const __m128i*>(move.blend));
    const __m128i shuffle = _mm_load_si128(reinterpret_cast<const __m128i*>(move.shuffle));
    for (; blocks >= kGroup128; blocks -= kGroup128) {
        Group128<Decrypt>(keys, blend, shuffle, in, out, std::make_index_sequence<kGroup128>());
        in += kBlockSize * kGroup128;
        out += kBlockSize * kGroup128;
    }
    for (; blocks > 0; --blocks) {
        Group128<Decrypt>(keys, blend, shuffle, in, out, std::make_index_sequence<1>());
        in += kBlockSize;
        out += kBlockSize;
    }
    nvbase::SecureWipe(keys, sizeof keys);
}

//--- 256-bit registers: VAES with AVX2. Two blocks in two registers, the first halves of both
// blocks in one and the second halves in the other, so that the move stays within 128-bit lanes as
// the blend and shuffle instructions do.

NV_TARGET(NV_ISA_VAES256) inline __m256i Broadcast128(const unsigned char* table) {
    return _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(table)));
}

NV_TARGET(NV_ISA_VAES256) inline __m256i Load256(const unsigned char* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

NV_TARGET(NV_ISA_VAES256) inline void Store256(unsigned char* p, __m256i value) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), value);
}

template <bool Decrypt> NV_TARGET(NV_ISA_VAES256) inline __m256i Round256(__m256i state, __m256i key) {
    if constexpr (Decrypt)
        return _mm256_aesdec_epi128(state, key);
    else
        return _mm256_aesenc_epi128(state, key);
}

template <bool Decrypt> NV_TARGET(NV_ISA_VAES256) inline __m256i LastRound256(__m256i state, __m256i key) {
    if constexpr (Decrypt)
        return _mm256_aesdeclast_epi128(state, key);
    else
        return _mm256_aesenclast_epi128(state, key);
}

NV_TARGET(NV_ISA_VAES256)
inline void MoveHalves256(__m256i& first, __m256i& second, __m256i blend, __m256i shuffle) {
    const __m256i forFirst = _mm256_blendv_epi8(first, second, blend);
    const __m256i forSecond = _mm256_blendv_epi8(second, first, blend);
    first = _mm256_shuffle_epi8(forFirst, shuffle);
    second = _mm256_shuffle_epi8(forSecond, shuffle);
}

// Two blocks as they lie in memory, [first | second], become [first halves | second halves], and
// back: the same exchange of 128-bit lanes both ways.
NV_TARGET(NV_ISA_VAES256) inline void ExchangeLanes(__m256i& a, __m256i& b) {
    const __m256i lows = _mm256_permute2x128_si256(a, b, 0x20);
    const __m256i highs = _mm256_permute2x128_si256(a, b, 0x31);
    a = lows;
    b = highs;
}

template <bool Decrypt, std::size_t... I>
NV_TARGET(NV_ISA_VAES256)
void Group256(const __m256i (&keys)[kRounds + 1][2], __m256i blend, __m256i shuffle, const unsigned char* in,
              unsigned char* out, std::index_sequence<I...>) {
    __m256i first[sizeof...(I)], second[sizeof...(I)];
    ((first[I] = Load256(in + kPair * I)), ...);
    ((second[I] = Load256(in + kPair * I + kBlockSize)), ...);
    (ExchangeLanes(first[I], second[I]), ...);
    ((first[I] = _mm256_xor_si256(first[I], keys[0][0])), ...);
    ((second[I] = _mm256_xor_si256(second[I], keys[0][1])), ...);
    for (int round = 1; round < kRounds; ++round) {
        (MoveHalves256(first[I], second[I], blend, shuffle), ...);
        ((first[I] = Round256<Decrypt>(first[I], keys[round][0])), ...);
        ((second[I] = Round256<Decrypt>(second[I], keys[round][1])), ...);
    }
    (MoveHalves256(first[I], second[I], blend, shuffle), ...);
    ((first[I] = LastRound256<Decrypt>(first[I], keys[kRounds][0])), ...);
    ((second[I] = LastRound256<Decrypt>(second[I], keys[kRounds][1])), ...);
    (ExchangeLanes(first[I], second[I]), ...);
    (Store256(out + kPair * I, first[I]), ...);
    (Store256(out + kPair * I + kBlockSize, second[I]), ...);
}

constexpr std::uint64_t kGroup256 = 4; // pairs of blocks: eight blocks

template <bool Decrypt>
NV_TARGET(NV_ISA_VAES256)
void Run256(const RoundKeyTable& roundKeys, const unsigned char* in, unsigned char* out,
            std::uint64_t blocks) {
    __m256i keys[kRounds + 1][2];
    for (int round = 0; round <= kRounds; ++round) {
        keys[round][0] = _mm256_broadcastsi128_si256(LoadKeyHalf(roundKeys[round]));
        keys[round][1] = _mm256_broadcastsi128_si256(LoadKeyHalf(roundKeys[round] + 4));
    }
    const HalfMove& move = Decrypt ? kInverseHalfMove : kHalfMove;
    const __m256i blend = Broadcast128(move.blend);
    const __m256i shuffle = Broadcast128(move.shuffle);
    for (; blocks >= 2 * kGroup256; blocks -= 2 * kGroup256) {
        Group256<Decrypt>(keys, blend, shuffle, in, out, std::make_index_sequence<kGroup256>());
        in += kPair * kGroup256;
        out += kPair * kGroup256;
    }
    for (; blocks >= 2; blocks -= 2) {
        Group256<Decrypt>(keys, blend, shuffle, in, out, std::make_index_sequence<1>());
        in += kPair;
        out += kPair;
    }
    if (blocks == 1) {
        // A last lone block goes through as a pair with a copy of itself.
        unsigned char pair[kPair];
        for (int i = 0; i < kPair; ++i)
            pair[i] = in[i % kBlockSize];
        Group256<Decrypt>(keys, blend, shuffle, pair, pair, std::make_index_sequence<1>());
        for (int i = 0; i < kBlockSize; ++i)
            out[i] = pair[i];
        nvbase::SecureWipe(pair, sizeof pair);
    }
    nvbase::SecureWipe(keys, sizeof keys);
}

//--- 512-bit registers: VAES with AVX-512. Two whole blocks per register as they lie in memory; a
// byte permutation across the register (VPERMB) moves both blocks' bytes at once.

// The zero-masking forms with every lane selected: the plain ones start from an undefined register,
// which GCC 12 reports as an uninitialised read once they are inlined.
constexpr __mmask64 kAllBytes = ~__mmask64{0};
constexpr __mmask8 kAllQuadwords = 0xFF;

NV_TARGET(NV_ISA_VAES512) inline __m512i PermuteBytes(__m512i index, __m512i value) {
    return _mm512_maskz_permutexvar_epi8(kAllBytes, index, value);
}

NV_TARGET(NV_ISA_VAES512) inline __m512i Load512(const unsigned char* p) {
    return _mm512_loadu_si512(p);
}

NV_TARGET(NV_ISA_VAES512) inline void Store512(unsigned char* p, __m512i value) {
    _mm512_storeu_si512(p, value);
}

template <bool Decrypt> NV_TARGET(NV_ISA_VAES512) inline __m512i Round512(__m512i state, __m512i key) {
    if constexpr (Decrypt)
        return _mm512_aesdec_epi128(state, key);
    else
        return _mm512_aesenc_epi128(state, key);
}

template <bool Decrypt> NV_TARGET(NV_ISA_VAES512) inline __m512i LastRound512(__m512i state, __m512i key) {
    if constexpr (Decrypt)
        return _mm512_aesdeclast_epi128(state, key);
    else
        return _mm512_aesenclast_epi128(state, key);
}

template <bool Decrypt, std::size_t... I>
NV_TARGET(NV_ISA_VAES512)
void Group512(const __m512i (&keys)[kRounds + 1], __m512i move, const unsigned char* in, unsigned char* out,
              std::index_sequence<I...>) {
    __m512i state[sizeof...(I)];
    ((state[I] = _mm512_xor_si512(Load512(in + kPair * I), keys[0])), ...);
    for (int round = 1; round < kRounds; ++round)
        ((state[I] = Round512<Decrypt>(PermuteBytes(move, state[I]), keys[round])), ...);
    (Store512(out + kPair * I, LastRound512<Decrypt>(PermuteBytes(move, state[I]), keys[kRounds])), ...);
}

constexpr std::uint64_t kGroup512 = 8; // registers of two blocks each: sixteen blocks

template <bool Decrypt>
NV_TARGET(NV_ISA_VAES512)
void Run512(const RoundKeyTable& roundKeys, const unsigned char* in, unsigned char* out,
            std::uint64_t blocks) {
    __m512i keys[kRounds + 1];
    for (int round = 0; round <= kRounds; ++round) {
        const __m256i key =
            _mm256_set_m128i(LoadKeyHalf(roundKeys[round] + 4), LoadKeyHalf(roundKeys[round]));
        keys[round] = _mm512_maskz_broadcast_i64x4(kAllQuadwords, key);
    }
    const __m512i move = _mm512_load_si512((Decrypt ? kInversePairMove : kPairMove).index);
    for (; blocks >= 2 * kGroup512; blocks -= 2 * kGroup512) {
        Group512<Decrypt>(keys, move, in, out, std::make_index_sequence<kGroup512>());
        in += kPair * kGroup512;
        out += kPair * kGroup512;
    }
    for (; blocks >= 2; blocks -= 2) {
        Group512<Decrypt>(keys, move, in, out, std::make_index_sequence<1>());
        in += kPair;
        out += kPair;
    }
    if (blocks == 1) {
        unsigned char pair[kPair];
        for (int i = 0; i < kPair; ++i)
            pair[i] = in[i % kBlockSize];
        Group512<Decrypt>(keys, move, pair, pair, std::make_index_sequence<1>());
        for (int i = 0; i < kBlockSize; ++i)
            out[i] = pair[i];
        nvbase::SecureWipe(pair, sizeof pair);
    }
    nvbase::SecureWipe(keys, sizeof keys);
}

//--- The processor's report

NV_TARGET("xsave") std::uint64_t ReadXcr0() {
    return _xgetbv(0);
}

//--- Clearing the registers

// The FXSAVE image: MXCSR at 24, xmm0-15 from 160 on; the XSAVE header follows at 512.
constexpr int kXmmOffset = 160;
constexpr int kXsaveHeaderEnd = 576;
// Under the Windows x64 convention a function preserves xmm6-15, so those hold the caller's values
// again once the rounds have returned; elsewhere every vector register is the callee's to clobber.
#if defined(_WIN32)
constexpr int kScratchXmm = 6;
#else
constexpr int kScratchXmm = 16;
#endif
// XSAVE state components: the upper halves of ymm0-15; the mask registers, the upper halves of
// zmm0-15, and zmm16-31.
constexpr std::uint64_t kYmmUpper = 1u << 2;
constexpr std::uint64_t kAvx512State = (1u << 5) | (1u << 6) | (1u << 7);

// The only portable way to write registers the compiler allocates: have the processor reload
// them. FXRSTOR takes the saved xmm registers back with the scratch ones zeroed; XRSTOR, told
// that the wider components are in their initial state, zeroes them. Both keep MXCSR as it was.
// CPUID with sub-leaf 0: eax, ebx, ecx, edx. GCC's <cpuid.h> has __cpuidex like MSVC's <intrin.h>,
// clang's has only __cpuid_count, which GCC's has as well.
void Cpuid(std::uint32_t (&registers)[4], std::uint32_t leaf) {
#if defined(_MSC_VER)
    int values[4] = {};
    __cpuidex(values, static_cast<int>(leaf), 0);
    for (int i = 0; i < 4; ++i)
        registers[i] = static_cast<std::uint32_t>(values[i]);
#else
    unsigned int a = 0, b = 0, c = 0, d = 0;
    __cpuid_count(leaf, 0, a, b, c, d);
    registers[0] = a;
    registers[1] = b;
    registers[2] = c;
    registers[3] = d;
#endif
}

NV_TARGET("fxsr,xsave") void ClearRegisters(std::uint64_t widerState) {
    alignas(64) unsigned char area[kXsaveHeaderEnd] = {};
    _fxsave64(area);
    for (int i = kXmmOffset; i < kXmmOffset + 16 * kScratchXmm; ++i)
        area[i] = 0;
    _fxrstor64(area);
    if (widerState != 0)
        _xrstor64(area, widerState);
}

} // namespace

ProcessorReport ReadProcessorReport() {
    ProcessorReport report;
    std::uint32_t registers[4] = {};
    Cpuid(registers, 0);
    report.maxLeaf = static_cast<std::uint32_t>(registers[0]);
    if (report.maxLeaf >= 1) {
        Cpuid(registers, 1);
        report.leaf1Ecx = static_cast<std::uint32_t>(registers[2]);
    }
    if (report.maxLeaf >= 7) {
        Cpuid(registers, 7);
        report.leaf7Ebx = static_cast<std::uint32_t>(registers[1]);
        report.leaf7Ecx = static_cast<std::uint32_t>(registers[2]);
    }
    constexpr std::uint32_t kOsXsave = std::uint32_t{1} << 27;
    if ((report.leaf1Ecx & kOsXsave) != 0)
        report.xcr0 = ReadXcr0();
    return report;
}

void RunAesRounds(RijndaelPath path, bool decrypt, const RoundKeyTable& roundKeys, const unsigned char* in,
                  unsigned char* out, std::uint64_t blocks) {
    switch (path) {
    case RijndaelPath::AesNi:
        return decrypt ? Run128<true>(roundKeys, in, out, blocks) : Run128<false>(roundKeys, in, out, blocks);
    case RijndaelPath::Vaes256:
        return decrypt ? Run256<true>(roundKeys, in, out, blocks) : Run256<false>(roundKeys, in, out, blocks);
    case RijndaelPath::Vaes512:
        return decrypt ? Run512<true>(roundKeys, in, out, blocks) : Run512<false>(roundKeys, in, out, blocks);
    case RijndaelPath::Portable:
        break;
    }
}

void ClearVectorRegisters(RijndaelPath path) {
    switch (path) {
    case RijndaelPath::Portable:
    case RijndaelPath::AesNi:
        // Legacy SSE instructions leave the upper halves alone.
        return ClearRegisters(0);
    case RijndaelPath::Vaes256:
        return ClearRegisters(kYmmUpper);
    case RijndaelPath::Vaes512:
        return ClearRegisters(kYmmUpper | kAvx512State);
    }
}

} // namespace nvdb
