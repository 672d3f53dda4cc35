// Loading of winbio.dll from System32 and the failing stand-ins for what it lacks.
#include "biometric/WinBioTable.h"

#include "base/Trace.h"

#include <atomic>
#include <cwchar>
#include <iterator>
#include <mutex>

namespace {

// Every stand-in answers with this, set once before the table is published.
HRESULT g_loadResult = S_OK;
HMODULE g_module = nullptr;

HRESULT WINAPI MissingEnumBiometricUnits(WINBIO_BIOMETRIC_TYPE, WINBIO_UNIT_SCHEMA**, SIZE_T*) {
    return g_loadResult;
}
HRESULT WINAPI MissingOpenSession(WINBIO_BIOMETRIC_TYPE, WINBIO_POOL_TYPE, WINBIO_SESSION_FLAGS,
                                  WINBIO_UNIT_ID*, SIZE_T, GUID*, WINBIO_SESSION_HANDLE*) {
    return g_loadResult;
}
HRESULT WINAPI MissingCloseSession(WINBIO_SESSION_HANDLE) {
    return g_loadResult;
}
HRESULT WINAPI MissingCancel(WINBIO_SESSION_HANDLE) {
    return g_loadResult;
}
HRESULT WINAPI MissingEnrollBegin(WINBIO_SESSION_HANDLE, WINBIO_BIOMETRIC_SUBTYPE, WINBIO_UNIT_ID) {
    return g_loadResult;
}
HRESULT WINAPI MissingEnrollCaptureWithCallback(WINBIO_SESSION_HANDLE, PWINBIO_ENROLL_CAPTURE_CALLBACK,
                                                PVOID) {
    return g_loadResult;
}
HRESULT WINAPI MissingEnrollCommit(WINBIO_SESSION_HANDLE, WINBIO_IDENTITY*, BOOLEAN*) {
    return g_loadResult;
}
HRESULT WINAPI MissingIdentifyWithCallback(WINBIO_SESSION_HANDLE, PWINBIO_IDENTIFY_CALLBACK, PVOID) {
    return g_loadResult;
}
HRESULT WINAPI MissingEnumEnrollments(WINBIO_SESSION_HANDLE, WINBIO_UNIT_ID, WINBIO_IDENTITY*,
                                      WINBIO_BIOMETRIC_SUBTYPE**, SIZE_T*) {
    return g_loadResult;
}
HRESULT WINAPI MissingDeleteTemplate(WINBIO_SESSION_HANDLE, WINBIO_UNIT_ID, WINBIO_IDENTITY*,
                                     WINBIO_BIOMETRIC_SUBTYPE) {
    return g_loadResult;
}
HRESULT WINAPI MissingFree(PVOID) {
    return g_loadResult;
}

WinBioFunctions g_system = {
    MissingEnumBiometricUnits,
    MissingOpenSession,
    MissingCloseSession,
    MissingCancel,
    MissingEnrollBegin,
    MissingEnrollCaptureWithCallback,
    MissingEnrollCommit,
    MissingIdentifyWithCallback,
    MissingEnumEnrollments,
    MissingDeleteTemplate,
    MissingFree,
};
std::once_flag g_loadOnce;
std::atomic<const WinBioFunctions*> g_installed{nullptr};
std::atomic<const LibraryLoader*> g_loader{&kSystemLibraryLoader};

// Takes one export, or keeps the stand-in and remembers why.
template <typename Pointer> void Resolve(Pointer& slot, const char* name) {
    if (!g_module)
        return;
    if (FARPROC address = GetProcAddress(g_module, name)) {
        // FARPROC to the exact function type: the one conversion a DLL import needs.
        slot = reinterpret_cast<Pointer>(reinterpret_cast<void*>(address));
        return;
    }
    if (SUCCEEDED(g_loadResult))
        g_loadResult = HRESULT_FROM_WIN32(GetLastError());
}

// The loader update KB2533623 brought AddDllDirectory and the LOAD_LIBRARY_SEARCH_* flags
// together; where kernel32 lacks the one, LoadLibraryExW refuses the other with
// ERROR_INVALID_PARAMETER.
bool LoaderKnowsSearchFlags(const LibraryLoader& loader) {
    HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    return kernel32 != nullptr && loader.getProcAddress(kernel32, "AddDllDirectory") != nullptr;
}

// Null on failure, with the reason in GetLastError.
HMODULE LoadFromSystem32(const LibraryLoader& loader) {
    HMODULE module = nullptr;
    if (LoaderKnowsSearchFlags(loader)) {
        nvtrace::Trace("(LoadSystemTable) LoadLibraryExW(winbio.dll, LOAD_LIBRARY_SEARCH_SYSTEM32)");
        module = loader.loadLibraryEx(L"winbio.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    } else {
        // A bare name would be looked for in the program's folder and the current folder before
        // System32, so the full path it is.
        constexpr wchar_t kName[] = L"\\winbio.dll";
        wchar_t path[MAX_PATH];
        const UINT length = GetSystemDirectoryW(path, MAX_PATH);
        if (length == 0 || length + std::size(kName) > MAX_PATH) {
            const DWORD error = length == 0 ? GetLastError() : static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE);
            nvtrace::Trace("(LoadSystemTable) GetSystemDirectoryW failed. error = %u",
                           static_cast<unsigned>(error));
            SetLastError(error);
            return nullptr;
        }
        std::wmemcpy(path + length, kName, std::size(kName));
        nvtrace::Trace(
            "(LoadSystemTable) no AddDllDirectory: LoadLibraryExW(%s, LOAD_WITH_ALTERED_SEARCH_PATH)", path);
        // With a full path, the altered search order looks for winbio.dll's own imports in
        // System32 first instead of in the program's folder.
        module = loader.loadLibraryEx(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    }
    if (!module) {
        const DWORD error = GetLastError();
        nvtrace::Trace("(LoadSystemTable) LoadLibraryExW failed. error = %u", static_cast<unsigned>(error));
        SetLastError(error);
    }
    return module;
}

void LoadSystemTable() {
    g_module = LoadFromSystem32(*g_loader.load());
    if (!g_module) {
        const DWORD error = GetLastError();
        g_loadResult = error ? HRESULT_FROM_WIN32(error) : E_FAIL;
        return;
    }
    Resolve(g_system.EnumBiometricUnits, "WinBioEnumBiometricUnits");
    Resolve(g_system.OpenSession, "WinBioOpenSession");
    Resolve(g_system.CloseSession, "WinBioCloseSession");
    Resolve(g_system.Cancel, "WinBioCancel");
    Resolve(g_system.EnrollBegin, "WinBioEnrollBegin");
    Resolve(g_system.EnrollCaptureWithCallback, "WinBioEnrollCaptureWithCallback");
    Resolve(g_system.EnrollCommit, "WinBioEnrollCommit");
    Resolve(g_system.IdentifyWithCallback, "WinBioIdentifyWithCallback");
    Resolve(g_system.EnumEnrollments, "WinBioEnumEnrollments");
    Resolve(g_system.DeleteTemplate, "WinBioDeleteTemplate");
    Resolve(g_system.Free, "WinBioFree");
}

const WinBioFunctions& SystemTable() {
    std::call_once(g_loadOnce, LoadSystemTable);
    return g_system;
}

} // namespace

const LibraryLoader kSystemLibraryLoader = {&GetProcAddress, &LoadLibraryExW};

const LibraryLoader* SetWinBioLoader(const LibraryLoader* loader) {
    return g_loader.exchange(loader ? loader : &kSystemLibraryLoader);
}

const WinBioFunctions& WinBio() {
    if (const WinBioFunctions* installed = g_installed.load())
        return *installed;
    return SystemTable();
}

const WinBioFunctions* InstallWinBioFunctions(const WinBioFunctions* table) {
    return g_installed.exchange(table);
}

HRESULT WinBioLoadResult() {
    SystemTable();
    return g_loadResult;
}

std::size_t WinBioModulePath(wchar_t* buffer, std::size_t capacity) {
    SystemTable();
    if (!g_module || capacity == 0)
        return 0;
    const DWORD n = GetModuleFileNameW(g_module, buffer, static_cast<DWORD>(capacity));
    return n < capacity ? n : 0;
}
