// The DLL loaded into this very process, with no debugger attached, as the device installer loads it.
#include <windows.h>

#include <setupapi.h>

#include <gtest/gtest.h>

#include "tests/support/CoInstallerTestSupport.h"

namespace coinsttest {
namespace {

using CoInstallerProc = DWORD(CALLBACK*)(DI_FUNCTION, HDEVINFO, PSP_DEVINFO_DATA, PCOINSTALLER_CONTEXT_DATA);

TEST(CoInstallerDirectCall, AnswersWithoutADebuggerAndLeavesTheContextAlone) {
    HMODULE library = LoadLibraryW(testwin::ProgramBeside(L"NVDCoInstaller.dll").c_str());
    ASSERT_NE(library, nullptr) << "error " << GetLastError();
    const auto entry = reinterpret_cast<CoInstallerProc>(
        reinterpret_cast<void*>(GetProcAddress(library, "CoInstallerEntry")));
    ASSERT_NE(entry, nullptr);
    // Names a decorating compiler would have made must not be there instead.
    EXPECT_EQ(GetProcAddress(library, "CoInstallerEntry@16"), nullptr);
    EXPECT_EQ(GetProcAddress(library, "_CoInstallerEntry@16"), nullptr);

    const struct {
        DI_FUNCTION function;
        BOOL postProcessing;
        DWORD installResult;
        DWORD expected;
    } calls[] = {
        {DIF_SELECTDEVICE, FALSE, 0, NO_ERROR},
        {DIF_INSTALLDEVICE, FALSE, 0, ERROR_DI_POSTPROCESSING_REQUIRED},
        {DIF_INSTALLDEVICE, TRUE, 0x1F, 0x1F},
        {DIF_REMOVE, FALSE, 0, ERROR_DI_POSTPROCESSING_REQUIRED},
        {DIF_REMOVE, TRUE, 5, 5},
    };
    for (const auto& call : calls) {
        SCOPED_TRACE(call.function);
        void* const privateData = &library;
        COINSTALLER_CONTEXT_DATA context = {call.postProcessing, call.installResult, privateData};
        EXPECT_EQ(entry(call.function, nullptr, nullptr, &context), call.expected);
        EXPECT_EQ(context.PostProcessing, call.postProcessing);
        EXPECT_EQ(context.InstallResult, call.installResult);
        EXPECT_EQ(context.PrivateData, privateData);
    }
    FreeLibrary(library);
}

} // namespace
} // namespace coinsttest
