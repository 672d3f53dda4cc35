// The registry values the program reads: the product's per-user "ShowWelcome" switch and the
// system's "CurrentVersion". Nothing is ever written or created; every key is closed before its
// reader returns.
#pragma once

#include "base/Win32Handle.h"

#include <windows.h>

#include <cstdint>
#include <string>

// KEY_READ | KEY_WOW64_64KEY: the 64-bit view, whatever the build.
constexpr REGSAM kRegReadAccess = KEY_READ | KEY_WOW64_64KEY;
static_assert(kRegReadAccess == 0x20119);

extern const wchar_t kProductKeyPath[];   // under HKEY_CURRENT_USER
extern const wchar_t kWinNtVersionPath[]; // under HKEY_LOCAL_MACHINE

// An open registry key, closed when it goes (or on Reset). A key whose open failed is invalid:
// Get() is null, and every read through it fails as for a missing value (-1, empty text).
using RegKey = nvwin::RegKeyHandle;

// Opens root\subKey into key, closing whatever key held: true when the key opened; otherwise false
// and key is invalid.
bool OpenReg(RegKey& key, HKEY root, const wchar_t* subKey, REGSAM access);

// The value if the query succeeds and it is a REG_DWORD of 4 bytes; -1 otherwise.
std::int32_t ReadRegDword(const RegKey& key, const wchar_t* name);

// Text of a REG_SZ, REG_EXPAND_SZ (not expanded) or REG_MULTI_SZ (its first string) of at most
// 1024 bytes, up to its first terminator or the end of the data; empty for anything else.
std::wstring ReadRegString(const RegKey& key, const wchar_t* name);

// value = 1; true when the product key opened, and value then holds ReadRegDword("ShowWelcome").
bool GetShowWelcome(std::int32_t& value);

// True when the system's version key opened, and text then holds ReadRegString("CurrentVersion");
// otherwise text is left as it was.
bool GetWinNtVersion(std::wstring& text);
