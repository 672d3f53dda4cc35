// main_host.exe: the program's main window, run as NorvikFingerprint.exe runs it, but with the
// logon of its start-up work answering as the arguments say, for tests of a slow logon server:
//   main_host LOGON_MS [ERROR]   every logon takes LOGON_MS and fails with ERROR (0: succeeds)
// Writes "logons N" (how many were asked) on stdout when the window has ended.
#include "app/AppMessages.h"
#include "app/DlgMain.h"

#include <atomic>
#include <cstdio>
#include <cwchar>
#include <memory>

// NOLINTBEGIN(cert-err58-cpp): as the program makes them
const UINT g_nRegMsgAdminStart = RegisterWindowMessageW(L"RegMsgAdminStart");
const UINT g_nRegMsgAdminStop = RegisterWindowMessageW(L"RegMsgAdminStop");
// NOLINTEND(cert-err58-cpp)

namespace {

DWORD g_logonMs = 0;
DWORD g_logonError = 0;
std::atomic<int> g_logons{0};

BOOL WINAPI SlowLogon(LPCWSTR, LPCWSTR, LPCWSTR, DWORD, DWORD, PHANDLE token) {
    ++g_logons;
    Sleep(g_logonMs);
    if (g_logonError != 0) {
        SetLastError(g_logonError);
        return FALSE;
    }
    *token = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    return TRUE;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2)
        return 2;
    g_logonMs = static_cast<DWORD>(std::wcstoul(argv[1], nullptr, 10));
    g_logonError = argc > 2 ? static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 0)) : 0;
    {
        const auto dialog = std::make_unique<CDlgMain>(SlowLogon);
        dialog->DoModal();
    }
    std::printf("logons %d\n", g_logons.load());
    std::fflush(stdout);
    return 0;
}
