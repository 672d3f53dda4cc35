// Loading of a system DLL from System32 only, so that a DLL of the same name planted in the
// program's folder or the current folder is never loaded. Win32 only.
#pragma once

#include <windows.h>

namespace nvwin {

// The loader calls a system DLL is loaded with: the system's own, or others that behave as a
// Windows 7 without the loader update KB2533623 does (kernel32 without AddDllDirectory, the
// LOAD_LIBRARY_SEARCH_* flags refused), so that the full-path way runs on a loader that has both.
struct LibraryLoader {
    decltype(&GetProcAddress) getProcAddress;
    decltype(&LoadLibraryExW) loadLibraryEx;
};

// GetProcAddress and LoadLibraryExW themselves.
extern const LibraryLoader kSystemLibraryLoader;

// Loads name (a bare file name such as L"winbio.dll") from System32: with
// LOAD_LIBRARY_SEARCH_SYSTEM32 where the loader knows it, else by its full path in the system
// directory. The trace names the way taken, after `caller`. Null on failure, with the reason in
// GetLastError.
HMODULE LoadSystemLibrary(const wchar_t* name, const LibraryLoader& loader, const wchar_t* caller);

// Where kernel32 has SetDefaultDllDirectories, makes System32 the only folder that the loader
// searches for the rest of the process (the program's folder and the current folder included);
// elsewhere it takes the current folder out of the search with SetDllDirectoryW(L""). Run first in
// the process: whatever is loaded before it was searched for the old way. False when neither call
// took effect.
bool RestrictDllSearchToSystem32();

} // namespace nvwin
