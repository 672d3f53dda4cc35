// Classification of the running Windows version into a level (0..6) and the support class the
// main window keeps: 3 for the systems the tool supports (up to Windows 8), 6 for later ones.
#pragma once

#include <cstdint>
#include <string>

// What the platform reported, gathered by the Win32 probe (OsVersionProbe.h).
struct OsVersionFacts {
    bool versionExSucceeded = false; // GetVersionExW returned true
    std::uint32_t major = 0;         // as GetVersionExW reported them
    std::uint32_t minor = 0;
    bool ntdllLoaded = false;
    bool rtlVersionPresent = false; // ntdll exports RtlGetNtVersionNumbers
    std::uint32_t rtlMajor = 0;     // its major number
    std::u16string currentVersion;  // the registry's "CurrentVersion"; empty when unreadable
};

constexpr std::int32_t kOsClassSupported = 3;
constexpr std::int32_t kOsClassUnsupported = 6;

// Level 0 (unknown or failed), 1 (5.1+), 2 (6.0), 3 (6.1), 4 (6.2), 5 (6.3), 6 (10 and later).
std::int32_t ClassifyOsVersionLevel(const OsVersionFacts& facts);

// 3 below level 5, else 6.
std::int32_t OsSupportClassOfLevel(std::int32_t level);
