// The password check's message in real windows: with a logon that answers 1327 (no password and
// blank ones refused) the box "Set up Windows Password" comes up over a dimmed window, and the
// check fails once it is closed; any other answer shows nothing.
#include "credentials/DlgWinPW.h"
#include "credentials/NoPasswordMessage.h"
#include "tests/support/ProgramSession.h"
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

// A plain top-level window standing in for the main window.
class HostWindow {
public:
    HostWindow() {
        m_hwnd = CreateWindowExW(0, L"STATIC", L"Password Host", WS_POPUP | WS_VISIBLE, 200, 150, 716, 520,
                                 nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    ~HostWindow() { DestroyWindow(m_hwnd); }
    HWND Get() const { return m_hwnd; }

private:
    HWND m_hwnd = nullptr;
};

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

HWND FindOwn(const wchar_t* title, int control) {
    struct Search {
        const wchar_t* title;
        int control;
        HWND found;
    } s = {title, control, nullptr};
    EnumWindows(
        [](HWND hwnd, LPARAM p) -> BOOL {
            auto* search = reinterpret_cast<Search*>(p);
            DWORD pid = 0;
            GetWindowThreadProcessId(hwnd, &pid);
            if (pid != GetCurrentProcessId() || !IsWindowVisible(hwnd))
                return TRUE;
            wchar_t text[128] = {};
            GetWindowTextW(hwnd, text, 128);
            if ((search->title && std::wstring(text) == search->title) ||
                (search->control && GetDlgItem(hwnd, search->control))) {
                search->found = hwnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&s));
    return s.found;
}

TEST(NoPasswordMessage, ShowsTheSetUpBoxOverTheDimmedWindowAndFails) {
    HostWindow host;
    ASSERT_NE(host.Get(), nullptr);
    g_logonError = ERROR_ACCOUNT_RESTRICTION;
    g_logons = 0;
    Seen seen;
    std::thread driver([&] {
        apptest::WaitFor([&] { return (seen.box = FindOwn(nullptr, 1169)) != nullptr; }, 15000);
        if (!seen.box)
            return;
        Sleep(300);
        seen.text = apptest::ControlText(seen.box, 1170);
        seen.title = apptest::ControlText(seen.box, 1223);
        seen.boxOwner = GetWindow(seen.box, GW_OWNER);
        seen.hostEnabled = IsWindowEnabled(host.Get()) != FALSE;
        seen.overlay = FindOwn(L"Norvik Fingerprint Black", 0);
        if (seen.overlay) {
            seen.overlayOwner = GetWindow(seen.overlay, GW_OWNER);
            GetWindowRect(seen.overlay, &seen.overlayRect);
        }
        RECT all = {0, 0, 1280, 1024};
        nvtest::SaveScreenPng(all, L"no-password-message");
        seen.clicked = apptest::ClickBoxOk(seen.box);
    });
    CDlgWinPW check(&FakeLogon, NoPasswordMessageOver(host.Get()));
    wcscpy(check.m_szUserName, L"nopassword");
    const int result = check.CheckPasswordSet();
    driver.join();

    EXPECT_EQ(result, 0);
    EXPECT_EQ(g_logons.load(), 1);
    ASSERT_NE(seen.box, nullptr) << "no box was shown";
    EXPECT_EQ(seen.title, L"Set up Windows Password");
    EXPECT_EQ(seen.text, L"Please set up Windows account password in Sign-in options.");
    ASSERT_NE(seen.overlay, nullptr) << "the window behind is not dimmed";
    EXPECT_EQ(seen.overlayOwner, host.Get());
    EXPECT_EQ(seen.boxOwner, host.Get()) << "the box belongs to the window behind, not to the overlay";
    EXPECT_FALSE(seen.hostEnabled);
    RECT client = {};
    GetClientRect(host.Get(), &client);
    MapWindowPoints(host.Get(), HWND_DESKTOP, reinterpret_cast<POINT*>(&client), 2);
    EXPECT_EQ(seen.overlayRect.left, client.left);
    EXPECT_EQ(seen.overlayRect.top, client.top);
    EXPECT_TRUE(seen.clicked);
    // Both are gone once the check has returned.
    EXPECT_EQ(FindOwn(L"Norvik Fingerprint Black", 0), nullptr);
    EXPECT_EQ(FindOwn(nullptr, 1169), nullptr);
}

} // namespace
