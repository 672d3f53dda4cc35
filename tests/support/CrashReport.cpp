// Linked into every Windows test program: a crash ends the program at once, its exception and
// address on standard error, so that the test fails there and then instead of waiting for a
// debugger nobody will attach (Wine starts winedbg for an unhandled exception and waits for it).
#include <windows.h>

#include <cstdio>

namespace {

LONG WINAPI ReportCrash(EXCEPTION_POINTERS* pointers) {
    const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
    char line[160];
    const int length =
        std::snprintf(line, sizeof line, "crash: exception 0x%08lX at address %p in thread %lu\n",
                      static_cast<unsigned long>(record->ExceptionCode), record->ExceptionAddress,
                      static_cast<unsigned long>(GetCurrentThreadId()));
    DWORD written = 0;
    if (length > 0)
        WriteFile(GetStdHandle(STD_ERROR_HANDLE), line, static_cast<DWORD>(length), &written, nullptr);
    // The process ends with the exception's code, as without a debugger.
    return EXCEPTION_EXECUTE_HANDLER;
}

// Installed before main, so that a crash in a static constructor of a test is reported too.
// NOLINTNEXTLINE(cert-err58-cpp): the call throws nothing.
const LPTOP_LEVEL_EXCEPTION_FILTER g_previous = SetUnhandledExceptionFilter(ReportCrash);

} // namespace
