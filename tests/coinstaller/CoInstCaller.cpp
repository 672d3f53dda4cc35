// The process the co-installer tests run under their debugger: it calls NVDCoInstaller.dll the way
// the device installer does and ends with what the call returned.
//   coinst_caller entry FUNCTION POSTPROCESSING INSTALLRESULT   (numbers, 0x... for hex)
//   coinst_caller trace UNITS        one DebugTrace line whose message is UNITS units of "0123456789..."
// NVD_CALLER_PROGRAMFILES, when set, becomes this process's %ProgramFiles% before the call (Wine
// sets that variable afresh in every new process, so a parent cannot hand it down); "-" leaves
// %ProgramFiles% undefined.
// Exit codes of its own: 0xC0DE0001 bad arguments, 0xC0DE0002 the DLL did not load,
// 0xC0DE0003 no export by that name, 0xC0DE0004 the context was changed.
#include <windows.h>

#include <setupapi.h>

#include <cwchar>
#include <string>

#include "coinstaller/DebugTrace.h"
#include "tests/support/WinProcess.h"

namespace {

using CoInstallerProc = DWORD(CALLBACK*)(DI_FUNCTION, HDEVINFO, PSP_DEVINFO_DATA, PCOINSTALLER_CONTEXT_DATA);

constexpr DWORD kBadArguments = 0xC0DE0001;
constexpr DWORD kNoLibrary = 0xC0DE0002;
constexpr DWORD kNoExport = 0xC0DE0003;
constexpr DWORD kContextChanged = 0xC0DE0004;

DWORD CallEntry(DWORD function, BOOL postProcessing, DWORD installResult) {
    HMODULE library = LoadLibraryW(testwin::ProgramBeside(L"NVDCoInstaller.dll").c_str());
    if (library == nullptr)
        return kNoLibrary;
    const auto entry = reinterpret_cast<CoInstallerProc>(
        reinterpret_cast<void*>(GetProcAddress(library, "CoInstallerEntry")));
    if (entry == nullptr)
        return kNoExport;

    // The context sits alone in a read-only page: a write into it ends this process with an
    // access violation instead of passing unnoticed.
    void* page = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    auto* context = static_cast<COINSTALLER_CONTEXT_DATA*>(page);
    context->PostProcessing = postProcessing;
    context->InstallResult = installResult;
    context->PrivateData = reinterpret_cast<PVOID>(static_cast<ULONG_PTR>(0x5EC0DE5EC0DEull));
    DWORD previous = 0;
    VirtualProtect(page, 4096, PAGE_READONLY, &previous);

    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof device;
    const DWORD result = entry(function, INVALID_HANDLE_VALUE, &device, context);

    const bool unchanged =
        context->PostProcessing == postProcessing && context->InstallResult == installResult &&
        context->PrivateData == reinterpret_cast<PVOID>(static_cast<ULONG_PTR>(0x5EC0DE5EC0DEull)) &&
        device.cbSize == sizeof device;
    VirtualFree(page, 0, MEM_RELEASE);
    FreeLibrary(library);
    return unchanged ? result : kContextChanged;
}

void TraceOfLength(std::size_t units) {
    std::wstring message;
    for (std::size_t i = 0; i < units; ++i)
        message.push_back(static_cast<wchar_t>(L'0' + i % 10));
    DebugTrace(L"%s", message.c_str());
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    wchar_t programFiles[1024];
    const DWORD length = GetEnvironmentVariableW(L"NVD_CALLER_PROGRAMFILES", programFiles, 1024);
    if (length > 0 && length < 1024)
        SetEnvironmentVariableW(L"ProgramFiles",
                                std::wcscmp(programFiles, L"-") == 0 ? nullptr : programFiles);

    DWORD code = kBadArguments;
    if (argc == 5 && std::wcscmp(argv[1], L"entry") == 0) {
        code = CallEntry(std::wcstoul(argv[2], nullptr, 0), std::wcstoul(argv[3], nullptr, 0) != 0,
                         std::wcstoul(argv[4], nullptr, 0));
    } else if (argc == 3 && std::wcscmp(argv[1], L"trace") == 0) {
        TraceOfLength(std::wcstoul(argv[2], nullptr, 0));
        code = 0;
    }
    ExitProcess(code);
}
