// The choice of CRijndael's path from the processor's report: feature bits of CPUID leaves 1 and
// 7, and XCR0 for the register state the operating system saves across a thread switch (a
// processor with AVX-512 under a system that does not save the 512-bit registers must not use
// them). Bit numbers as Intel's Software Developer's Manual lists them.
#include "database/RijndaelPath.h"

#include <atomic>

namespace nvdb {

namespace {

constexpr std::uint32_t Bit(int n) {
    return std::uint32_t{1} << n;
}

// CPUID leaf 1, ECX
constexpr std::uint32_t kSsse3 = Bit(9);
constexpr std::uint32_t kSse41 = Bit(19);
constexpr std::uint32_t kAesNi = Bit(25);
constexpr std::uint32_t kOsXsave = Bit(27);
constexpr std::uint32_t kAvx = Bit(28);
// CPUID leaf 7, EBX
constexpr std::uint32_t kAvx2 = Bit(5);
constexpr std::uint32_t kAvx512F = Bit(16);
constexpr std::uint32_t kAvx512Bw = Bit(30);
constexpr std::uint32_t kAvx512Vl = Bit(31);
// CPUID leaf 7, ECX
constexpr std::uint32_t kAvx512Vbmi = Bit(1);
constexpr std::uint32_t kVaes = Bit(9);
// XCR0: the 128-bit registers, their upper halves to 256 bits, and the AVX-512 state (the mask
// registers, the upper halves of zmm0-15 and zmm16-31).
constexpr std::uint64_t kXmmState = 1u << 1;
constexpr std::uint64_t kYmmState = 1u << 2;
constexpr std::uint64_t kZmmState = (1u << 5) | (1u << 6) | (1u << 7);

bool Has(std::uint32_t word, std::uint32_t bits) {
    return (word & bits) == bits;
}

// Leaf 7 counts only where the processor has it; above its highest leaf CPUID answers with
// another leaf's words.
std::uint32_t Leaf7Ebx(const ProcessorReport& report) {
    return report.maxLeaf >= 7 ? report.leaf7Ebx : 0;
}

std::uint32_t Leaf7Ecx(const ProcessorReport& report) {
    return report.maxLeaf >= 7 ? report.leaf7Ecx : 0;
}

// XCR0 means something only once the system has turned XSAVE on.
bool SystemSaves(const ProcessorReport& report, std::uint64_t state) {
    return Has(report.leaf1Ecx, kOsXsave) && (report.xcr0 & state) == state;
}

bool RunsAesNi(const ProcessorReport& report) {
    return report.maxLeaf >= 1 && Has(report.leaf1Ecx, kSsse3 | kSse41 | kAesNi);
}

bool RunsVaes256(const ProcessorReport& report) {
    return RunsAesNi(report) && Has(report.leaf1Ecx, kAvx) && Has(Leaf7Ebx(report), kAvx2) &&
           Has(Leaf7Ecx(report), kVaes) && SystemSaves(report, kXmmState | kYmmState);
}

bool RunsVaes512(const ProcessorReport& report) {
    return RunsVaes256(report) && Has(Leaf7Ebx(report), kAvx512F | kAvx512Bw | kAvx512Vl) &&
           Has(Leaf7Ecx(report), kAvx512Vbmi) && SystemSaves(report, kXmmState | kYmmState | kZmmState);
}

const ProcessorReport& ThisProcessor() {
    static const ProcessorReport report = ReadProcessorReport();
    return report;
}

std::atomic<RijndaelPath>& Active() {
    static std::atomic<RijndaelPath> active{FastestPath(ThisProcessor())};
    return active;
}

} // namespace

bool PathRuns(RijndaelPath path, const ProcessorReport& report) {
    switch (path) {
    case RijndaelPath::Portable:
        return true;
    case RijndaelPath::AesNi:
        return RunsAesNi(report);
    case RijndaelPath::Vaes256:
        return RunsVaes256(report);
    case RijndaelPath::Vaes512:
        return RunsVaes512(report);
    }
    return false;
}

RijndaelPath FastestPath(const ProcessorReport& report) {
    RijndaelPath fastest = RijndaelPath::Portable;
    for (RijndaelPath path : kRijndaelPaths)
        if (PathRuns(path, report))
            fastest = path;
    return fastest;
}

const char* PathName(RijndaelPath path) {
    switch (path) {
    case RijndaelPath::Portable:
        return "portable";
    case RijndaelPath::AesNi:
        return "aes-ni";
    case RijndaelPath::Vaes256:
        return "vaes-avx2";
    case RijndaelPath::Vaes512:
        return "vaes-avx512";
    }
    return "unknown";
}

RijndaelPath ActivePath() {
    return Active().load(std::memory_order_relaxed);
}

bool ForcePath(RijndaelPath path) {
    if (!PathRuns(path, ThisProcessor()))
        return false;
    Active().store(path, std::memory_order_relaxed);
    return true;
}

} // namespace nvdb
