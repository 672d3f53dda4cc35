// Loading of winbio.dll from System32 and the failing stand-ins for what it lacks.
#include "biometric/WinBioTable.h"

#include <atomic>
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

void LoadSystemTable() {
    g_module = nvwin::LoadSystemLibrary(L"winbio.dll", *g_loader.load(), L"LoadSystemTable");
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
