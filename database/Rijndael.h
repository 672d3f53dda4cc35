// CRijndael: the Rijndael block cipher for 16-, 24- and 32-byte keys and blocks, one block at a
// time or a whole buffer in electronic-codebook mode. Errors are thrown as std::runtime_error.
#pragma once

#include <cstddef>
#include <cstdint>

class CRijndael {
public:
    CRijndael() = default;
    // Wipes the key schedule.
    virtual ~CRijndael();
    // A copy would leave a second key schedule in memory that nobody wipes on purpose.
    CRijndael(const CRijndael&) = delete;
    CRijndael& operator=(const CRijndael&) = delete;

    // Throws "Empty key", "Incorrect key length" or "Incorrect block length" (checked in that
    // order); on a throw the object is left as it was.
    void SetKey(const unsigned char* key, int keyLength, int blockLength);

    // In and out are each one block long; they may be the same buffer. Every call leaves no round
    // state behind on the stack or in the vector registers.
    void EncipherBlock(const unsigned char* in, unsigned char* out);
    void DecipherBlock(const unsigned char* in, unsigned char* out);

    // length / block length independent blocks; in and out may be the same buffer. Throws
    // "Object not Initialized" before any key was set, then "Data not multiple of Block Size" for
    // a length that is 0 or not a whole number of blocks.
    void EncipherBuffer(const unsigned char* in, unsigned char* out, std::uint64_t length);
    void DecipherBuffer(const unsigned char* in, unsigned char* out, std::uint64_t length);

    static constexpr int kMaxRounds = 14;
    static constexpr int kMaxBlockWords = 8;

private:
    void CheckKeySet() const;
    void CheckBufferLength(std::uint64_t length) const;

    bool m_bKeySet = false;
    std::uint32_t m_encRoundKeys[kMaxRounds + 1][kMaxBlockWords] = {};
    std::uint32_t m_decRoundKeys[kMaxRounds + 1][kMaxBlockWords] = {};
    int m_nKeyLength = 0;
    int m_nBlockSize = 0;
    int m_nRounds = 0;
    std::uint32_t m_tk[kMaxBlockWords] = {}; // the key as words while it is expanded
};
