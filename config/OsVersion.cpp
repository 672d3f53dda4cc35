// The version rules, first match wins. Every doubt falls towards a supported system.
#include "config/OsVersion.h"

namespace {

// A program without a supportedOS list in its manifest is told 6.2 on Windows 8.1 and on every
// later system, so a reported 6.2 is looked at twice more.
std::int32_t RefineReported62(const OsVersionFacts& facts) {
    if (!facts.ntdllLoaded)
        return 4;
    if (facts.rtlVersionPresent && facts.rtlMajor == 10)
        return 6;
    if (facts.currentVersion == u"6.3")
        return 5;
    return 4;
}

} // namespace

std::int32_t ClassifyOsVersionLevel(const OsVersionFacts& facts) {
    if (!facts.versionExSucceeded)
        return 0;
    const std::uint32_t major = facts.major, minor = facts.minor;
    if (major == 5 && minor >= 1)
        return 1;
    if (major == 6 && minor == 0)
        return 2;
    if (major == 6 && minor == 1)
        return 3;
    if (major == 6 && minor == 2)
        return RefineReported62(facts);
    if (major >= 6 && minor >= 3)
        return 5;
    if (major >= 10)
        return 6;
    return 0;
}

std::int32_t OsSupportClassOfLevel(std::int32_t level) {
    return level < 5 ? kOsClassSupported : kOsClassUnsupported;
}
