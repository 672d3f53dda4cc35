// Rijndael with a 32-byte block (14 rounds) on the processor's AES instructions, for CRijndael's
// buffer and block operations, and the clearing of the vector registers after any cipher call.
// Internal to the cipher: the caller picks a path the processor runs (RijndaelPath.h), clears the
// registers afterwards and scrubs the stack.
#pragma once

#include "database/RijndaelPath.h"

#include <cstdint>

namespace nvdb {

// CRijndael's round keys as it holds them: one row of eight big-endian column words per round,
// rounds 0..14; for decryption those of the equivalent inverse cipher, in the order they are used.
using RoundKeyTable = std::uint32_t[15][8];

// Enciphers or deciphers `blocks` consecutive 32-byte blocks from `in` to `out` (the same buffer,
// or buffers that do not overlap; any alignment). Any copy of the round keys it makes in memory
// is wiped before it returns.
void RunAesRounds(RijndaelPath path, bool decrypt, const RoundKeyTable& roundKeys, const unsigned char* in,
                  unsigned char* out, std::uint64_t blocks);

// Zeroes the vector registers a cipher call on `path` may have left round keys or state in (for
// the portable path, the 128-bit ones its compiled code may use): all of them, but for the low
// halves of those the calling convention has a function preserve (xmm6-15 on 64-bit Windows),
// which by then hold the caller's own values again.
void ClearVectorRegisters(RijndaelPath path);

} // namespace nvdb
