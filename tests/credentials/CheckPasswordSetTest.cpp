// The account password check's three outcomes, through a logon stand-in, and with the real
// LogonUserW of Wine (which accepts any credential).
#include "credentials/DlgWinPW.h"

#include <gtest/gtest.h>

#include <string>

namespace {

DWORD g_error = 0; // 0: the logon succeeds
int g_calls = 0;
std::wstring g_user;
bool g_domainNull = false, g_passwordEmptyText = false;
DWORD g_type = 0, g_provider = 99;

BOOL WINAPI FakeLogon(LPCWSTR user, LPCWSTR domain, LPCWSTR password, DWORD type, DWORD provider,
                      PHANDLE token) {
    ++g_calls;
    g_user = user;
    g_domainNull = domain == nullptr;
    g_passwordEmptyText = password != nullptr && password[0] == L'\0';
    g_type = type;
    g_provider = provider;
    if (g_error == 0) {
        *token = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        return TRUE;
    }
    SetLastError(g_error);
    return FALSE;
}

struct Outcome {
    int result;
    int told;
};

Outcome Check(DWORD error) {
    g_error = error;
    g_calls = 0;
    int told = 0;
    CDlgWinPW check(FakeLogon, [&told] { ++told; });
    wcscpy_s(check.m_szUserName, L"erin");
    const int result = check.CheckPasswordSet();
    EXPECT_EQ(g_calls, 1);
    return {result, told};
}

TEST(CheckPasswordSet, AnEmptyPasswordThatLogsOnPasses) {
    const Outcome outcome = Check(0);
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(outcome.told, 0);
    EXPECT_EQ(g_user, L"erin");
    EXPECT_TRUE(g_domainNull);
    EXPECT_TRUE(g_passwordEmptyText) << "an empty text, not a null pointer";
    EXPECT_EQ(g_type, 2u);
    EXPECT_EQ(g_provider, 0u);
}

TEST(CheckPasswordSet, AWrongPasswordMeansThereIsOne) {
    const Outcome outcome = Check(ERROR_LOGON_FAILURE);
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(outcome.told, 0);
}

TEST(CheckPasswordSet, AccountRestrictionMeansNoPasswordAndTheUserIsTold) {
    const Outcome outcome = Check(ERROR_ACCOUNT_RESTRICTION);
    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ(outcome.told, 1);
}

TEST(CheckPasswordSet, AnyOtherFailureLetsTheProgramGoOn) {
    for (DWORD error :
         {static_cast<DWORD>(ERROR_ACCOUNT_DISABLED), static_cast<DWORD>(ERROR_PASSWORD_EXPIRED),
          static_cast<DWORD>(ERROR_NO_LOGON_SERVERS), static_cast<DWORD>(ERROR_ACCESS_DENIED)}) {
        const Outcome outcome = Check(error);
        EXPECT_EQ(outcome.result, 1) << error;
        EXPECT_EQ(outcome.told, 0) << error;
    }
}

TEST(CheckPasswordSet, WithoutATellActionTheResultIsStillZero) {
    g_error = ERROR_ACCOUNT_RESTRICTION;
    CDlgWinPW check(FakeLogon);
    EXPECT_EQ(check.CheckPasswordSet(), 0);
}

TEST(CheckPasswordSet, TheRealLogonOfWinePasses) {
    int told = 0;
    CDlgWinPW check(&LogonUserW, [&told] { ++told; });
    DWORD capacity = 32;
    GetUserNameW(check.m_szUserName, &capacity);
    EXPECT_EQ(check.CheckPasswordSet(), 1);
    EXPECT_EQ(told, 0);
}

} // namespace
