// The first instruction of NorvikFingerprint.exe: the DLL search is confined to System32 before
// the C runtime starts, static initialisation runs or anything beyond the imports (Known DLLs
// only) is loaded; then the runtime's own start-up takes over, which calls wWinMain.
#include "base/SystemLibrary.h"

// The C runtime's start-up of a Unicode GUI program, the entry it would have had without ours:
// mingw-w64 keeps the narrow name for it in its Unicode runtime too.
#if defined(__MINGW32__)
extern "C" int WinMainCRTStartup();
#define NV_RUNTIME_STARTUP WinMainCRTStartup
#else
extern "C" int wWinMainCRTStartup();
#define NV_RUNTIME_STARTUP wWinMainCRTStartup
#endif

// Named as the linker's entry (app/CMakeLists.txt). Runs before the runtime is initialised: Win32
// calls only, no C runtime and nothing that needs a constructor.
extern "C" int NvProcessEntry() {
    // Whatever is loaded from here on (oleacc, comctl32 and the DLLs they import, winbio.dll) is
    // found in System32 only, never beside the program, where an unzipped copy may share the
    // folder with somebody else's files.
    static_cast<void>(nvwin::RestrictDllSearchToSystem32());
    return NV_RUNTIME_STARTUP();
}
