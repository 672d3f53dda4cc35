// Finger identifiers: the program's finger index (0..19), the biometric framework's sub-factor,
// the per-finger enrolment flags and the English finger names used in trace lines.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

// Indices 0..9 are the ten named positions (sub-factor index + 1); 10..19 the ten position-less
// Windows Hello slots (sub-factor 0xF5..0xFE).
constexpr std::uint32_t kFingerIndexCount = 20;
constexpr std::uint32_t kFirstWindowsHelloIndex = 10;
constexpr std::uint8_t kFirstNamedSubFactor = 0x01;       // right hand thumb
constexpr std::uint8_t kLastNamedSubFactor = 0x0A;        // left hand little finger
constexpr std::uint8_t kFirstUnspecifiedSubFactor = 0xF5; // Windows Hello position 1
constexpr std::uint8_t kLastUnspecifiedSubFactor = 0xFE;  // Windows Hello position 10
constexpr std::uint8_t kSubFactorAny = 0xFF;

// 1 where a template of that finger index is enrolled, 0 where none is.
using FingerFlags = std::array<std::int32_t, kFingerIndexCount>;
static_assert(sizeof(FingerFlags) == 80, "20 signed 32-bit flags");

// The sub-factor of a finger index; 0xFF for an index of 20 or more.
std::uint8_t FingerIndex2Factor(std::uint32_t fingerIndex);

// The finger index of a sub-factor, or none for a value outside 1..10 and 0xF5..0xFE.
std::optional<std::uint32_t> Factor2FingerIndex(std::uint8_t subFactor);

// The finger's English name; "UnDefine Finger" (with a trace line) for a sub-factor without one.
const char16_t* Factor2StrFingerName(std::uint8_t subFactor);
