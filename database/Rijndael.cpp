// CRijndael: table-driven Rijndael. Rounds work on big-endian 32-bit column words through four
// precomputed tables per direction; decryption uses the equivalent inverse cipher, so both
// directions have the same shape. The block loops are instantiated per block length so that the
// row-shift offsets are constants and the state stays in registers. A 32-byte block under a
// 32-byte key, the database's cipher, runs on the processor's AES instructions where it has them
// (RijndaelAesRounds.cpp); these tables remain the reference for it and serve every other length.
#include "database/Rijndael.h"

#include "base/SecureWipe.h"
#include "database/RijndaelAesRounds.h"

#include <array>
#include <cstring>
#include <stdexcept>
#include <type_traits>
#include <utility>

namespace {

//--- Constant tables, computed at compile time from GF(2^8) arithmetic

constexpr std::uint8_t GfMul(std::uint8_t a, std::uint8_t b) {
    std::uint8_t product = 0;
    while (b != 0) {
        if (b & 1)
            product ^= a;
        a = static_cast<std::uint8_t>((a << 1) ^ ((a & 0x80) ? 0x1B : 0x00));
        b >>= 1;
    }
    return product;
}

// x^254, which is x^-1 in GF(2^8) and 0 for 0: eight squarings instead of a search over every
// candidate, which is what keeps the tables within every compiler's constant-evaluation budget
// (clang's stops a search of 256 x 256 products part-way).
constexpr std::uint8_t GfInverse(std::uint8_t x) {
    std::uint8_t result = 1;
    std::uint8_t power = x;
    for (int exponent = 254; exponent != 0; exponent >>= 1) {
        if (exponent & 1)
            result = GfMul(result, power);
        power = GfMul(power, power);
    }
    return result;
}

constexpr std::array<std::uint8_t, 256> MakeSBox() {
    std::array<std::uint8_t, 256> box{};
    for (int x = 0; x < 256; ++x) {
        // Multiplicative inverse (0 maps to 0), then the affine transformation of FIPS-197.
        const std::uint8_t inverse = GfInverse(static_cast<std::uint8_t>(x));
        std::uint8_t result = 0x63;
        for (int bit = 0; bit < 8; ++bit) {
            const int b = ((inverse >> bit) ^ (inverse >> ((bit + 4) % 8)) ^ (inverse >> ((bit + 5) % 8)) ^
                           (inverse >> ((bit + 6) % 8)) ^ (inverse >> ((bit + 7) % 8))) &
                          1;
            result ^= static_cast<std::uint8_t>(b << bit);
        }
        box[static_cast<std::size_t>(x)] = result;
    }
    return box;
}

constexpr std::array<std::uint8_t, 256> kSBox = MakeSBox();

constexpr std::array<std::uint8_t, 256> MakeInverse(const std::array<std::uint8_t, 256>& box) {
    std::array<std::uint8_t, 256> inverse{};
    for (int x = 0; x < 256; ++x)
        inverse[box[static_cast<std::size_t>(x)]] = static_cast<std::uint8_t>(x);
    return inverse;
}

constexpr std::array<std::uint8_t, 256> kInvSBox = MakeInverse(kSBox);

constexpr std::uint32_t Word(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3) {
    return (std::uint32_t{b0} << 24) | (std::uint32_t{b1} << 16) | (std::uint32_t{b2} << 8) | b3;
}

constexpr std::uint32_t RotateRight8(std::uint32_t w) {
    return (w >> 8) | (w << 24);
}

using WordTables = std::array<std::array<std::uint32_t, 256>, 4>;

// Table n holds, for input byte x in state row n, the column that SubBytes and MixColumns make of
// it: MixColumns' column n of the matrix times S(x).
constexpr WordTables MakeEncTables() {
    WordTables t{};
    for (int x = 0; x < 256; ++x) {
        const std::uint8_t s = kSBox[static_cast<std::size_t>(x)];
        t[0][static_cast<std::size_t>(x)] = Word(GfMul(s, 2), s, s, GfMul(s, 3));
        for (int n = 1; n < 4; ++n)
            t[n][static_cast<std::size_t>(x)] = RotateRight8(t[n - 1][static_cast<std::size_t>(x)]);
    }
    return t;
}

constexpr WordTables MakeDecTables() {
    WordTables t{};
    for (int x = 0; x < 256; ++x) {
        const std::uint8_t s = kInvSBox[static_cast<std::size_t>(x)];
        t[0][static_cast<std::size_t>(x)] = Word(GfMul(s, 14), GfMul(s, 9), GfMul(s, 13), GfMul(s, 11));
        for (int n = 1; n < 4; ++n)
            t[n][static_cast<std::size_t>(x)] = RotateRight8(t[n - 1][static_cast<std::size_t>(x)]);
    }
    return t;
}

constexpr WordTables kEnc = MakeEncTables();
constexpr WordTables kDec = MakeDecTables();

// Round constants: successive powers of x, enough for the shortest key (16 bytes) with the longest
// block (32 bytes): 120 words / 4 = 30 expansions.
constexpr std::array<std::uint8_t, 30> MakeRoundConstants() {
    std::array<std::uint8_t, 30> rc{};
    std::uint8_t value = 1;
    for (auto& c : rc) {
        c = value;
        value = GfMul(value, 2);
    }
    return rc;
}

constexpr std::array<std::uint8_t, 30> kRcon = MakeRoundConstants();

inline std::uint8_t Byte(std::uint32_t w, int n) {
    return static_cast<std::uint8_t>(w >> (24 - 8 * n));
}

inline std::uint32_t LoadWord(const unsigned char* p) {
    return Word(p[0], p[1], p[2], p[3]);
}

inline void StoreWord(unsigned char* p, std::uint32_t w) {
    p[0] = static_cast<unsigned char>(w >> 24);
    p[1] = static_cast<unsigned char>(w >> 16);
    p[2] = static_cast<unsigned char>(w >> 8);
    p[3] = static_cast<unsigned char>(w);
}

constexpr std::uint32_t SubWord(std::uint32_t w) {
    return Word(kSBox[w >> 24], kSBox[(w >> 16) & 0xFF], kSBox[(w >> 8) & 0xFF], kSBox[w & 0xFF]);
}

// InvMixColumns of one word, through the decryption tables: Td[n][S(x)] is the inverse-mix column
// of x alone.
inline std::uint32_t InvMixColumn(std::uint32_t w) {
    return kDec[0][kSBox[Byte(w, 0)]] ^ kDec[1][kSBox[Byte(w, 1)]] ^ kDec[2][kSBox[Byte(w, 2)]] ^
           kDec[3][kSBox[Byte(w, 3)]];
}

//--- Block transformations, per block length in words

template <int Nb> struct Shifts;
template <> struct Shifts<4> { static constexpr int c1 = 1, c2 = 2, c3 = 3; };
template <> struct Shifts<6> { static constexpr int c1 = 1, c2 = 2, c3 = 3; };
template <> struct Shifts<8> { static constexpr int c1 = 1, c2 = 3, c3 = 4; };

using RoundKeys = std::uint32_t[CRijndael::kMaxRounds + 1][CRijndael::kMaxBlockWords];

// Column j of a full round: row n comes from column j + cn of the state before it. Every index
// is a template constant, so the state stays in registers however the optimiser treats loops.
template <int Nb, int c1, int c2, int c3, std::size_t j>
inline std::uint32_t RoundColumn(const WordTables& table, const std::uint32_t* in, std::uint32_t key) {
    return table[0][in[j] >> 24] ^ table[1][(in[(j + c1) % Nb] >> 16) & 0xFF] ^
           table[2][(in[(j + c2) % Nb] >> 8) & 0xFF] ^ table[3][in[(j + c3) % Nb] & 0xFF] ^ key;
}

template <int Nb, int c1, int c2, int c3, std::size_t j>
inline std::uint32_t LastColumn(const std::array<std::uint8_t, 256>& box, const std::uint32_t* in,
                                std::uint32_t key) {
    return Word(box[in[j] >> 24], box[(in[(j + c1) % Nb] >> 16) & 0xFF], box[(in[(j + c2) % Nb] >> 8) & 0xFF],
                box[in[(j + c3) % Nb] & 0xFF]) ^
           key;
}

// Rounds 1..Nr-1 alternate between two states, so no copy is needed: Nr is always even, which
// leaves an odd number of full rounds, the first one alone and the rest in pairs.
template <int Nb, int c1, int c2, int c3, std::size_t... J>
void Transform(const WordTables& table, const std::array<std::uint8_t, 256>& box, const RoundKeys& rk,
               int rounds, const unsigned char* in, unsigned char* out, std::index_sequence<J...>) {
    std::uint32_t s[Nb], t[Nb];
    ((s[J] = LoadWord(in + 4 * J) ^ rk[0][J]), ...);
    ((t[J] = RoundColumn<Nb, c1, c2, c3, J>(table, s, rk[1][J])), ...);
    for (int r = 2; r < rounds; r += 2) {
        ((s[J] = RoundColumn<Nb, c1, c2, c3, J>(table, t, rk[r][J])), ...);
        ((t[J] = RoundColumn<Nb, c1, c2, c3, J>(table, s, rk[r + 1][J])), ...);
    }
    (StoreWord(out + 4 * J, LastColumn<Nb, c1, c2, c3, J>(box, t, rk[rounds][J])), ...);
}

template <int Nb>
void EncryptBlock(const RoundKeys& rk, int rounds, const unsigned char* in, unsigned char* out) {
    Transform<Nb, Shifts<Nb>::c1, Shifts<Nb>::c2, Shifts<Nb>::c3>(kEnc, kSBox, rk, rounds, in, out,
                                                                  std::make_index_sequence<Nb>());
}

// Decryption shifts rows right: row n of column j comes from column j - cn.
template <int Nb>
void DecryptBlock(const RoundKeys& rk, int rounds, const unsigned char* in, unsigned char* out) {
    Transform<Nb, Nb - Shifts<Nb>::c1, Nb - Shifts<Nb>::c2, Nb - Shifts<Nb>::c3>(
        kDec, kInvSBox, rk, rounds, in, out, std::make_index_sequence<Nb>());
}

template <void (*Block)(const RoundKeys&, int, const unsigned char*, unsigned char*)>
void RunBlocks(const RoundKeys& rk, int rounds, int blockSize, const unsigned char* in, unsigned char* out,
               std::uint64_t length) {
    const std::uint64_t blocks = length / static_cast<std::uint64_t>(blockSize);
    for (std::uint64_t i = 0; i < blocks; ++i) {
        Block(rk, rounds, in, out);
        in += blockSize;
        out += blockSize;
    }
}

constexpr nvdb::RijndaelPath kPortable = nvdb::RijndaelPath::Portable;

bool ValidLength(int length) {
    return length == 16 || length == 24 || length == 32;
}

// The block functions keep the state in registers where they can; what the compiler spills, and
// the registers saved across calls, land on the stack. So each cipher call runs its blocks in a
// frame of its own, called through a volatile pointer that keeps it from being inlined into the
// caller, and then overwrites the stack below the caller, where that frame was. Round keys and
// state also stay behind in vector registers, the AES instructions' and those the compiler uses
// for the tables' code, so those are cleared first.
void ScrubStackBelow() {
    unsigned char area[4096];
    nvbase::SecureWipe(area, sizeof area);
}

template <typename Work, typename... Args>
void RunScrubbed(nvdb::RijndaelPath path, Work* work, Args&&... args) {
    Work* volatile call = work;
    call(std::forward<Args>(args)...);
    void (*volatile clear)(nvdb::RijndaelPath) = nvdb::ClearVectorRegisters;
    clear(path);
    void (*volatile scrub)() = ScrubStackBelow;
    scrub();
}

static_assert(std::is_same_v<RoundKeys, nvdb::RoundKeyTable>);

nvdb::RijndaelPath PathFor(int keyLength, int blockSize) {
    return keyLength == 32 && blockSize == 32 ? nvdb::ActivePath() : kPortable;
}

// Runs 32-byte blocks on `path`, scrubbed; false, and nothing done, for the portable path.
bool RunOnPath(nvdb::RijndaelPath path, bool decrypt, const RoundKeys& rk, const unsigned char* in,
               unsigned char* out, std::uint64_t blocks) {
    if (path == kPortable)
        return false;
    RunScrubbed(path, &nvdb::RunAesRounds, path, decrypt, rk, in, out, blocks);
    return true;
}

} // namespace

CRijndael::~CRijndael() {
    nvbase::SecureWipe(m_encRoundKeys, sizeof m_encRoundKeys);
    nvbase::SecureWipe(m_decRoundKeys, sizeof m_decRoundKeys);
    nvbase::SecureWipe(m_tk, sizeof m_tk);
}

void CRijndael::SetKey(const unsigned char* key, int keyLength, int blockLength) {
    if (key == nullptr)
        throw std::runtime_error("Empty key");
    if (!ValidLength(keyLength))
        throw std::runtime_error("Incorrect key length");
    if (!ValidLength(blockLength))
        throw std::runtime_error("Incorrect block length");

    m_nKeyLength = keyLength;
    m_nBlockSize = blockLength;
    const int nk = keyLength / 4;
    const int nb = blockLength / 4;
    m_nRounds = (nk > nb ? nk : nb) + 6;
    for (int r = 0; r <= m_nRounds; ++r) {
        for (int j = 0; j < nb; ++j) {
            m_encRoundKeys[r][j] = 0;
            m_decRoundKeys[r][j] = 0;
        }
    }

    const unsigned char* word = key;
    for (int i = 0; i < nk; ++i, word += 4)
        m_tk[i] = LoadWord(word);

    // Expand word by word, keeping only the last nk words; each goes straight to its place in
    // both key sets (decryption rounds in reverse order).
    const int totalWords = (m_nRounds + 1) * nb;
    int rconIndex = 0;
    for (int k = 0; k < totalWords; ++k) {
        std::uint32_t w;
        if (k < nk) {
            w = m_tk[k];
        } else {
            std::uint32_t previous = m_tk[(k - 1) % nk];
            if (k % nk == 0)
                previous =
                    SubWord((previous << 8) | (previous >> 24)) ^ (std::uint32_t{kRcon[rconIndex++]} << 24);
            else if (nk == 8 && k % nk == 4)
                previous = SubWord(previous);
            w = m_tk[k % nk] ^ previous;
            m_tk[k % nk] = w;
        }
        m_encRoundKeys[k / nb][k % nb] = w;
        m_decRoundKeys[m_nRounds - k / nb][k % nb] = w;
    }

    for (int r = 1; r < m_nRounds; ++r)
        for (int j = 0; j < nb; ++j)
            m_decRoundKeys[r][j] = InvMixColumn(m_decRoundKeys[r][j]);

    nvbase::SecureWipe(m_tk, sizeof m_tk);
    m_bKeySet = true;
}

void CRijndael::CheckKeySet() const {
    if (!m_bKeySet)
        throw std::runtime_error("Object not Initialized");
}

void CRijndael::CheckBufferLength(std::uint64_t length) const {
    if (length == 0 || length % static_cast<std::uint64_t>(m_nBlockSize) != 0)
        throw std::runtime_error("Data not multiple of Block Size");
}

void CRijndael::EncipherBlock(const unsigned char* in, unsigned char* out) {
    CheckKeySet();
    switch (m_nBlockSize) {
    case 16:
        RunScrubbed(kPortable, &EncryptBlock<4>, m_encRoundKeys, m_nRounds, in, out);
        break;
    case 24:
        RunScrubbed(kPortable, &EncryptBlock<6>, m_encRoundKeys, m_nRounds, in, out);
        break;
    default:
        if (!RunOnPath(PathFor(m_nKeyLength, 32), false, m_encRoundKeys, in, out, 1))
            RunScrubbed(kPortable, &EncryptBlock<8>, m_encRoundKeys, m_nRounds, in, out);
        break;
    }
}

void CRijndael::DecipherBlock(const unsigned char* in, unsigned char* out) {
    CheckKeySet();
    switch (m_nBlockSize) {
    case 16:
        RunScrubbed(kPortable, &DecryptBlock<4>, m_decRoundKeys, m_nRounds, in, out);
        break;
    case 24:
        RunScrubbed(kPortable, &DecryptBlock<6>, m_decRoundKeys, m_nRounds, in, out);
        break;
    default:
        if (!RunOnPath(PathFor(m_nKeyLength, 32), true, m_decRoundKeys, in, out, 1))
            RunScrubbed(kPortable, &DecryptBlock<8>, m_decRoundKeys, m_nRounds, in, out);
        break;
    }
}

void CRijndael::EncipherBuffer(const unsigned char* in, unsigned char* out, std::uint64_t length) {
    CheckKeySet();
    CheckBufferLength(length);
    switch (m_nBlockSize) {
    case 16:
        RunScrubbed(kPortable, &RunBlocks<EncryptBlock<4>>, m_encRoundKeys, m_nRounds, 16, in, out, length);
        break;
    case 24:
        RunScrubbed(kPortable, &RunBlocks<EncryptBlock<6>>, m_encRoundKeys, m_nRounds, 24, in, out, length);
        break;
    default:
        if (!RunOnPath(PathFor(m_nKeyLength, 32), false, m_encRoundKeys, in, out, length / 32))
            RunScrubbed(kPortable, &RunBlocks<EncryptBlock<8>>, m_encRoundKeys, m_nRounds, 32, in, out,
                        length);
        break;
    }
}

void CRijndael::DecipherBuffer(const unsigned char* in, unsigned char* out, std::uint64_t length) {
    CheckKeySet();
    CheckBufferLength(length);
    switch (m_nBlockSize) {
    case 16:
        RunScrubbed(kPortable, &RunBlocks<DecryptBlock<4>>, m_decRoundKeys, m_nRounds, 16, in, out, length);
        break;
    case 24:
        RunScrubbed(kPortable, &RunBlocks<DecryptBlock<6>>, m_decRoundKeys, m_nRounds, 24, in, out, length);
        break;
    default:
        if (!RunOnPath(PathFor(m_nKeyLength, 32), true, m_decRoundKeys, in, out, length / 32))
            RunScrubbed(kPortable, &RunBlocks<DecryptBlock<8>>, m_decRoundKeys, m_nRounds, 32, in, out,
                        length);
        break;
    }
}
