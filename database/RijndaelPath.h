// Which code runs CRijndael's rounds for a 32-byte block under a 32-byte key: the portable tables,
// or the processor's AES instructions on 128-, 256- or 512-bit registers. The path is chosen once
// per process from what the processor and the operating system report; every path gives the same
// bytes, and every other block and key length stays on the portable tables.
#pragma once

#include <cstdint>

namespace nvdb {

enum class RijndaelPath {
    Portable, // the table-driven rounds, on any processor
    AesNi,    // AESENC/AESDEC on 128-bit registers (SSSE3, SSE4.1, AES-NI)
    Vaes256,  // VAESENC/VAESDEC on 256-bit registers, two blocks per pair of registers (AVX2, VAES)
    Vaes512,  // VAESENC/VAESDEC on 512-bit registers, two blocks per register (AVX-512 with VBMI, VAES)
};

// In the order of preference: each later path is faster where it runs.
inline constexpr RijndaelPath kRijndaelPaths[] = {RijndaelPath::Portable, RijndaelPath::AesNi,
                                                  RijndaelPath::Vaes256, RijndaelPath::Vaes512};

// The raw words the processor reports; the choice reads its feature bits from them, so it can be
// made (and tested) for any processor.
struct ProcessorReport {
    std::uint32_t maxLeaf = 0;  // CPUID leaf 0, EAX: the highest basic leaf
    std::uint32_t leaf1Ecx = 0; // CPUID leaf 1, ECX
    std::uint32_t leaf7Ebx = 0; // CPUID leaf 7 subleaf 0, EBX
    std::uint32_t leaf7Ecx = 0; // CPUID leaf 7 subleaf 0, ECX
    std::uint64_t xcr0 = 0;     // XGETBV 0: the register state the operating system saves
};

// What this processor reports (defined beside the instruction paths).
ProcessorReport ReadProcessorReport();

// Whether the processor and its operating system can run the path.
bool PathRuns(RijndaelPath path, const ProcessorReport& report);

// The fastest path that runs.
RijndaelPath FastestPath(const ProcessorReport& report);

// "portable", "aes-ni", "vaes-avx2", "vaes-avx512".
const char* PathName(RijndaelPath path);

// The path every CRijndael of this process uses for a 32-byte block and key: the fastest one,
// unless a test or a benchmark has forced another.
RijndaelPath ActivePath();

// For tests and benchmarks only, never called by the program: makes `path` the active one for the
// whole process. A path this processor cannot run is refused: false, and nothing changes.
bool ForcePath(RijndaelPath path);

} // namespace nvdb
