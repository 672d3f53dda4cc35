// The build's control programs as the Windows tests run them: winbio-sim (the simulated sensor
// and its pool) and guidriver (another process's mouse, keys and messages), with the arguments
// they take for a window.
#pragma once

#include "tests/support/Text.h"
#include "tests/support/WinProcess.h"

#include <gtest/gtest.h>

#include <string>

namespace testwin {

inline RunResult Sim(const std::wstring& arguments) {
    return RunCaptured(L"winbio-sim.exe", arguments);
}

inline RunResult Driver(const std::wstring& arguments) {
    return RunCaptured(L"guidriver.exe", arguments);
}

// For ASSERT_TRUE and EXPECT_TRUE: the program ran to its end with 0; otherwise the failure shows
// the command, its exit code and what it printed.
inline testing::AssertionResult RunOk(const std::wstring& program, const std::wstring& arguments) {
    const RunResult run = RunCaptured(program, arguments);
    if (run.code == 0)
        return testing::AssertionSuccess();
    return testing::AssertionFailure()
           << testtext::Narrow(program + L" " + arguments) << " ended with " << run.code << ": " << run.out;
}

inline testing::AssertionResult SimOk(const std::wstring& arguments) {
    return RunOk(L"winbio-sim.exe", arguments);
}

inline testing::AssertionResult DriverOk(const std::wstring& arguments) {
    return RunOk(L"guidriver.exe", arguments);
}

// A window as guidriver's --hwnd takes it.
inline std::wstring HandleText(HWND window) {
    wchar_t text[32];
    swprintf(text, 32, L"0x%llx", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)));
    return text;
}

// guidriver's choice of the window that has a control with this id.
inline std::wstring HasControl(int id) {
    return L"--has-control " + std::to_wstring(id);
}

} // namespace testwin
