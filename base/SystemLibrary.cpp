// System32-only loading of system DLLs and the process-wide DLL search order.
#include "base/SystemLibrary.h"

#include "base/Trace.h"

#include <cwchar>

namespace nvwin {

const LibraryLoader kSystemLibraryLoader = {&GetProcAddress, &LoadLibraryExW};

namespace {

// The loader update KB2533623 brought AddDllDirectory and the LOAD_LIBRARY_SEARCH_* flags
// together; where kernel32 lacks the one, LoadLibraryExW refuses the other with
// ERROR_INVALID_PARAMETER.
bool LoaderKnowsSearchFlags(const LibraryLoader& loader) {
    HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    return kernel32 != nullptr && loader.getProcAddress(kernel32, "AddDllDirectory") != nullptr;
}

} // namespace

HMODULE LoadSystemLibrary(const wchar_t* name, const LibraryLoader& loader, const wchar_t* caller) {
    HMODULE module = nullptr;
    if (LoaderKnowsSearchFlags(loader)) {
        nvtrace::Trace("(%s) LoadLibraryExW(%s, LOAD_LIBRARY_SEARCH_SYSTEM32)", caller, name);
        module = loader.loadLibraryEx(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    } else {
        // A bare name would be looked for in the program's folder and the current folder before
        // System32, so the full path it is.
        wchar_t path[MAX_PATH];
        const UINT length = GetSystemDirectoryW(path, MAX_PATH);
        const std::size_t nameLength = std::wcslen(name);
        if (length == 0 || length + 1 + nameLength + 1 > MAX_PATH) {
            const DWORD error = length == 0 ? GetLastError() : static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE);
            nvtrace::Trace("(%s) GetSystemDirectoryW failed. error = %u", caller,
                           static_cast<unsigned>(error));
            SetLastError(error);
            return nullptr;
        }
        path[length] = L'\\';
        std::wmemcpy(path + length + 1, name, nameLength + 1);
        nvtrace::Trace("(%s) no AddDllDirectory: LoadLibraryExW(%s, LOAD_WITH_ALTERED_SEARCH_PATH)", caller,
                       path);
        // With a full path, the altered search order looks for the DLL's own imports in System32
        // first instead of in the program's folder.
        module = loader.loadLibraryEx(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    }
    if (!module) {
        const DWORD error = GetLastError();
        nvtrace::Trace("(%s) LoadLibraryExW failed. error = %u", caller, static_cast<unsigned>(error));
        SetLastError(error);
    }
    return module;
}

bool RestrictDllSearchToSystem32() {
    // kernel32 is mapped into every process before its first instruction runs, so asking for it
    // loads nothing.
    HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    if (kernel32 == nullptr)
        return false;
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    // FARPROC to the exact function type: the one conversion a DLL export needs.
    const auto setDefaultDllDirectories = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
        reinterpret_cast<void*>(GetProcAddress(kernel32, "SetDefaultDllDirectories")));
    if (setDefaultDllDirectories != nullptr && setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32))
        return true;
    // Windows 7 without KB2533623: the program's folder stays in the search, but the current
    // folder, which a document opened from a share can make anything, goes.
    return SetDllDirectoryW(L"") != FALSE;
}

} // namespace nvwin
