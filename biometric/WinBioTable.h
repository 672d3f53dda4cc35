// The table of winbio.dll's functions through which the wrapper reaches the framework. Filled at
// first use from the winbio.dll of System32 only, so a DLL planted in the program's folder or the
// current folder is never loaded: with LOAD_LIBRARY_SEARCH_SYSTEM32 where the loader knows it, by
// the full path in the system directory where it does not (Windows 7 without KB2533623). When the
// DLL or a function is missing, that entry fails every call with HRESULT_FROM_WIN32 of the load
// error instead of crashing.
#pragma once

#include "base/SystemLibrary.h"
#include "base/Win32Handle.h"
#include "biometric/WinBio.h"

struct WinBioFunctions {
    PFN_WinBioEnumBiometricUnits EnumBiometricUnits;
    PFN_WinBioOpenSession OpenSession;
    PFN_WinBioCloseSession CloseSession;
    PFN_WinBioCancel Cancel;
    PFN_WinBioEnrollBegin EnrollBegin;
    PFN_WinBioEnrollCaptureWithCallback EnrollCaptureWithCallback;
    PFN_WinBioEnrollCommit EnrollCommit;
    PFN_WinBioIdentifyWithCallback IdentifyWithCallback;
    PFN_WinBioEnumEnrollments EnumEnrollments;
    PFN_WinBioDeleteTemplate DeleteTemplate;
    PFN_WinBioFree Free;
};

// The loader calls the System32 table is loaded with (base/SystemLibrary.h).
using LibraryLoader = nvwin::LibraryLoader;
using nvwin::kSystemLibraryLoader;

// Sets the calls the System32 table is loaded with (null: the system's own) and returns the ones
// set before. The table is loaded once per process, so only a call before its first use counts.
const LibraryLoader* SetWinBioLoader(const LibraryLoader* loader);

// The table in use: the one installed with InstallWinBioFunctions, else the one loaded from
// System32 (loaded once, on the first call; every entry is callable).
const WinBioFunctions& WinBio();

// Replaces the table (tests install fakes); null returns to the System32 one. Every entry of an
// installed table must be set. Returns the table installed before, or null.
const WinBioFunctions* InstallWinBioFunctions(const WinBioFunctions* table);

// The load result of the System32 table: S_OK when every function was found.
HRESULT WinBioLoadResult();

// The full path of the module the System32 table came from; empty when none was loaded.
std::size_t WinBioModulePath(wchar_t* buffer, std::size_t capacity);

// Memory the framework hands out (unit schemas, sub-factor lists), given back through the table's
// WinBioFree when its owner goes.
template <class T> struct WinBioMemoryTraits {
    using Value = T*;
    static Value Invalid() { return nullptr; }
    static bool Close(Value memory) { return SUCCEEDED(WinBio().Free(memory)); }
};

template <class T> using WinBioMemory = nvwin::UniqueResource<WinBioMemoryTraits<T>>;
