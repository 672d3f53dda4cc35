// The password check's message in real windows: with a logon that answers 1327 (no password and
// blank ones refused) the box "Set up Windows Password" comes up over a dimmed window, and the
// check fails once it is closed; any other answer shows nothing.
#include "credentials/DlgWinPW.h"
#include "credentials/NoPasswordMessage.h"
#include "resources/ResourceIds.h"
#include "tests/support/ProgramSession.h"
#include "tests/support/OwnerWindow.h"
#include "tests/support/UiTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

DWORD g_logonError = ERROR_ACCOUNT_RESTRICTION;
std::atomic<int> g_logons{0};

BOOL WINAPI FakeLogon(LPCWSTR, LPCWSTR, LPCWSTR password, DWORD, DWORD, PHANDLE token) {
    ++g_logons;
    EXPECT_NE(password, nullptr);
    *token = nullptr;
    SetLastError(g_logonError);
    return FALSE;
}

struct Seen {
    HWND box = nullptr;
    std::wstring text, title;
    HWND overlay = nullptr;
    HWND overlayOwner = nullptr;
    HWND boxOwner = nullptr;
    bool hostEnabled = true;
    RECT overlayRect = {};
    bool clicked = false;
};

// A visible window of this process with the box's icon, or with that title.
HWND FindOwn(const wchar_t* title, int control) {
    return testwin::FindWindowOf(testwin::VisibleWindows(GetCurrentProcessId()), control, title);
}

TEST(NoPasswordMessage, ShowsTheSetUpBoxOverTheDimmedWindowAndFails) {
    // Standing in for the main window.
    nvtest::OwnerWindow host;
    ASSERT_NE(host.Open(200, 150, false), nullptr);
    g_logonError = ERROR_ACCOUNT_RESTRICTION;
    g_logons = 0;
    Seen seen;
    std::thread driver([&] {
        apptest::WaitUntil([&] { return (seen.box = FindOwn(nullptr, IDC_MSGBOX_ICON)) != nullptr; }, 15000);
        if (!seen.box)
            return;
        Sleep(300);
        seen.text = apptest::BoxText(seen.box);
        seen.title = apptest::BoxTitle(seen.box);
        seen.boxOwner = GetWindow(seen.box, GW_OWNER);
        seen.hostEnabled = IsWindowEnabled(host.GetSafeHwnd()) != FALSE;
        seen.overlay = FindOwn(L"Norvik Fingerprint Black", 0);
        if (seen.overlay) {
            seen.overlayOwner = GetWindow(seen.overlay, GW_OWNER);
            GetWindowRect(seen.overlay, &seen.overlayRect);
        }
        RECT all = {0, 0, 1280, 1024};
        nvtest::SaveScreenPng(all, L"no-password-message");
        seen.clicked = apptest::ClickBoxOk(seen.box);
    });
    CDlgWinPW check(&FakeLogon, NoPasswordMessageOver(host.GetSafeHwnd()));
    wcscpy(check.m_szUserName, L"nopassword");
    const int result = check.CheckPasswordSet();
    driver.join();

    EXPECT_EQ(result, 0);
    EXPECT_EQ(g_logons.load(), 1);
    ASSERT_NE(seen.box, nullptr) << "no box was shown";
    EXPECT_EQ(seen.title, L"Set up Windows Password");
    EXPECT_EQ(seen.text, L"Please set up Windows account password in Sign-in options.");
    ASSERT_NE(seen.overlay, nullptr) << "the window behind is not dimmed";
    EXPECT_EQ(seen.overlayOwner, host.GetSafeHwnd());
    EXPECT_EQ(seen.boxOwner, host.GetSafeHwnd())
        << "the box belongs to the window behind, not to the overlay";
    EXPECT_FALSE(seen.hostEnabled);
    RECT client = {};
    GetClientRect(host.GetSafeHwnd(), &client);
    MapWindowPoints(host.GetSafeHwnd(), HWND_DESKTOP, reinterpret_cast<POINT*>(&client), 2);
    EXPECT_EQ(seen.overlayRect.left, client.left);
    EXPECT_EQ(seen.overlayRect.top, client.top);
    EXPECT_TRUE(seen.clicked);
    // Both are gone once the check has returned.
    EXPECT_EQ(FindOwn(L"Norvik Fingerprint Black", 0), nullptr);
    EXPECT_EQ(FindOwn(nullptr, IDC_MSGBOX_ICON), nullptr);
}

} // namespace
