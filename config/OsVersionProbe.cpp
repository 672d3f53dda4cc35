// The version probe's Win32 half. It relies on the program's manifest carrying no supportedOS
// list: without one GetVersionExW answers 6.2 on Windows 8.1 and later, and the refinement through
// ntdll and the registry tells those systems apart. Adding such a list would change the answers.
#include "config/OsVersionProbe.h"

#include "base/Win32Handle.h"
#include "config/Registry.h"

#include <windows.h>

namespace {

static_assert(sizeof(OSVERSIONINFOEXW) == 284, "the size GetVersionExW is told");

using RtlGetNtVersionNumbersFn = void(WINAPI*)(DWORD* major, DWORD* minor, DWORD* build);

} // namespace

OsVersionFacts GatherOsVersionFacts() {
    OsVersionFacts facts;
    OSVERSIONINFOEXW info = {};
    info.dwOSVersionInfoSize = sizeof info;
    // GetVersionExW is deprecated for exactly the behaviour the probe depends on.
#if defined(_MSC_VER)
#pragma warning(suppress : 4996)
#endif
    facts.versionExSucceeded = GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info)) != FALSE;
    if (facts.versionExSucceeded) {
        facts.major = info.dwMajorVersion;
        facts.minor = info.dwMinorVersion;
    }

    if (const nvwin::Module ntdll(LoadLibraryW(L"ntdll.dll")); ntdll) {
        facts.ntdllLoaded = true;
        // The build number comes back with flag bits in its high nibble; only the major is used.
        const auto rtlVersion = reinterpret_cast<RtlGetNtVersionNumbersFn>(
            reinterpret_cast<void*>(GetProcAddress(ntdll.Get(), "RtlGetNtVersionNumbers")));
        if (rtlVersion != nullptr) {
            DWORD major = 0, minor = 0, build = 0;
            rtlVersion(&major, &minor, &build);
            facts.rtlVersionPresent = true;
            facts.rtlMajor = major;
        }
    }

    std::wstring currentVersion;
    if (GetWinNtVersion(currentVersion))
        facts.currentVersion.assign(currentVersion.begin(), currentVersion.end());
    return facts;
}

std::int32_t GetOSVersionLevel() {
    return ClassifyOsVersionLevel(GatherOsVersionFacts());
}

std::int32_t GetOSSupportClass() {
    return OsSupportClassOfLevel(GetOSVersionLevel());
}
