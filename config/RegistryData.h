// What the registry readers make of the data a value query handed back. The type, the size and
// the bytes are whatever some other program stored: text need not end in a terminator, a "DWORD"
// need not have four bytes. Portable, so that it can be tested and fuzzed off Windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The value types these readers take (the numbers of the platform's REG_* constants).
constexpr std::uint32_t kRegSz = 1;
constexpr std::uint32_t kRegExpandSz = 2;
constexpr std::uint32_t kRegDword = 4;
constexpr std::uint32_t kRegMultiSz = 7;

// Text values are queried into a buffer of this many bytes; a longer one is not read at all.
constexpr std::size_t kRegTextBytes = 1024;

// The value of a REG_DWORD of exactly four bytes (little-endian), taken as signed; -1 for any
// other type or size.
std::int32_t RegDwordFromData(std::uint32_t type, const unsigned char* data, std::size_t size);

// The text of a REG_SZ, REG_EXPAND_SZ (not expanded) or REG_MULTI_SZ (its first string): the
// little-endian UTF-16 units of the first `size` bytes (at most kRegTextBytes; an odd last byte
// makes no unit), up to the first terminator. Empty for any other type.
std::u16string RegTextFromData(std::uint32_t type, const unsigned char* data, std::size_t size);
