// The dialog base in real windows: the modal loop (deferred end, owner disabled, nesting, the
// pre-translate hook before the dialog manager), dispatch of custom and registered messages,
// modeless creation, owner and centring, background colour and control subclassing.
#include "resources/ResourceIds.h"
#include "tests/support/OwnerWindow.h"
#include "tests/support/UiTestSupport.h"
#include "ui/DialogEx.h"
#include "ui/FontStatic.h"

#include <gtest/gtest.h>

#include <functional>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <string>
#include <vector>

namespace {

constexpr UINT kStep = WM_APP + 1;

// A dialog whose behaviour each test writes: what it does at start and on each message.
class ScriptedDialog : public CDialogEx {
public:
    explicit ScriptedDialog(HWND parent = nullptr, UINT templateId = IDD_ENROLL)
        : CDialogEx(templateId, parent) {}

    std::function<void(ScriptedDialog&)> onInit;
    std::function<bool(UINT, WPARAM, LPARAM, LRESULT*)> onCustom;
    std::function<bool(UINT, WPARAM, LPARAM, LRESULT*)> onRegistered;
    bool filterKeys = false;
    std::vector<std::string> log;

    HWND Hwnd() const { return m_hWnd; }
    void Post(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        PostMessageW(m_hWnd, message, wParam, lParam);
    }

protected:
    BOOL OnInitDialog() override {
        CDialogEx::OnInitDialog();
        if (onInit)
            onInit(*this);
        return TRUE;
    }
    bool PreTranslateMessage(MSG* msg) override {
        if (msg->message == WM_KEYDOWN)
            log.push_back("pretranslate key " + std::to_string(msg->wParam));
        return filterKeys && FilterEnterEscape(msg);
    }
    bool OnCustomMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override {
        return onCustom && onCustom(message, wParam, lParam, result);
    }
    bool OnRegisteredMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override {
        return onRegistered && onRegistered(message, wParam, lParam, result);
    }
    void OnOK() override {
        log.push_back("ok");
        CDialogEx::OnOK();
    }
    void OnCancel() override {
        log.push_back("cancel");
        CDialogEx::OnCancel();
    }
};

using nvtest::OwnerWindow;

TEST(ModalLoop, EndTakesEffectAfterTheHandlerReturns) {
    ScriptedDialog dlg;
    bool windowAliveAfterEnd = false;
    bool laterMessageSeen = false;
    dlg.onInit = [](ScriptedDialog& d) { d.Post(kStep); };
    dlg.onCustom = [&](UINT message, WPARAM, LPARAM, LRESULT*) {
        if (message == kStep) {
            dlg.EndDialog(5);
            // Still inside the handler: the window is there and the loop has not ended.
            windowAliveAfterEnd = IsWindow(dlg.Hwnd()) && dlg.IsModalRunning();
            dlg.Post(kStep + 1);
            return true;
        }
        if (message == kStep + 1)
            laterMessageSeen = true;
        return false;
    };
    EXPECT_EQ(dlg.DoModal(), 5);
    EXPECT_TRUE(windowAliveAfterEnd);
    EXPECT_FALSE(laterMessageSeen) << "the loop must stop right after the handler that ended it";
    EXPECT_EQ(dlg.GetSafeHwnd(), nullptr);
}

TEST(ModalLoop, AnEndAskedForBySentMessageEndsTheRunWithoutFurtherMessages) {
    // Another thread's SendMessage is handled inside the loop's wait; no message is retrieved for
    // it, so the end must wake the loop itself. The watchdog's WM_NULL only comes 5 s later.
    ScriptedDialog dialog;
    std::thread sender, watchdog;
    dialog.onInit = [&](ScriptedDialog& d) {
        const HWND hwnd = d.Hwnd();
        sender = std::thread([hwnd] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            SendMessageW(hwnd, kStep, 0, 0);
        });
        watchdog = std::thread([hwnd] {
            std::this_thread::sleep_for(std::chrono::seconds(5));
            PostMessageW(hwnd, WM_NULL, 0, 0);
        });
    };
    dialog.onCustom = [&](UINT message, WPARAM, LPARAM, LRESULT*) {
        if (message != kStep)
            return false;
        dialog.EndDialog(7);
        return true;
    };
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(dialog.DoModal(), 7);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    sender.join();
    watchdog.join();
    EXPECT_LT(elapsed, std::chrono::seconds(3));
}

TEST(ModalLoop, DisablesTheOwnerWhileRunningAndEnablesItAfter) {
    OwnerWindow owner;
    HWND ownerHwnd = owner.Open(60, 60);
    ScriptedDialog dlg(ownerHwnd);
    bool ownerEnabledDuring = true;
    HWND ownerSeen = nullptr;
    dlg.onInit = [](ScriptedDialog& d) { d.Post(kStep); };
    dlg.onCustom = [&](UINT message, WPARAM, LPARAM, LRESULT*) {
        if (message != kStep)
            return false;
        ownerEnabledDuring = IsWindowEnabled(ownerHwnd) != FALSE;
        ownerSeen = GetWindow(dlg.Hwnd(), GW_OWNER);
        dlg.EndDialog(IDOK);
        return true;
    };
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_FALSE(ownerEnabledDuring);
    EXPECT_EQ(ownerSeen, ownerHwnd);
    EXPECT_TRUE(IsWindowEnabled(ownerHwnd));
}

TEST(ModalLoop, NestsAndAnOuterEndWaitsForTheInnerRun) {
    ScriptedDialog outer;
    std::vector<std::string> order;
    outer.onInit = [](ScriptedDialog& d) { d.Post(kStep); };
    outer.onCustom = [&](UINT message, WPARAM, LPARAM, LRESULT*) {
        if (message != kStep)
            return false;
        outer.EndDialog(1); // asked for first, takes effect only after this handler
        ScriptedDialog inner(outer.Hwnd());
        inner.onInit = [](ScriptedDialog& d) { d.Post(kStep); };
        inner.onCustom = [&](UINT m, WPARAM, LPARAM, LRESULT*) {
            if (m != kStep)
                return false;
            order.push_back(outer.IsModalRunning() && IsWindow(outer.Hwnd()) ? "inner runs, outer alive"
                                                                             : "outer gone");
            inner.EndDialog(42);
            return true;
        };
        order.push_back("inner result " + std::to_string(inner.DoModal()));
        order.push_back(IsWindowEnabled(outer.Hwnd()) ? "outer enabled again" : "outer still disabled");
        return true;
    };
    EXPECT_EQ(outer.DoModal(), 1);
    EXPECT_EQ(order, (std::vector<std::string>{"inner runs, outer alive", "inner result 42",
                                               "outer enabled again"}));
}

TEST(ModalLoop, PreTranslateHookRunsBeforeTheDialogManager) {
    // Unfiltered: the dialog manager turns Escape into IDCANCEL and Enter into IDOK.
    for (const WPARAM key : {WPARAM(VK_ESCAPE), WPARAM(VK_RETURN)}) {
        ScriptedDialog plain;
        plain.onInit = [key](ScriptedDialog& d) { d.Post(WM_KEYDOWN, key, 1); };
        EXPECT_EQ(plain.DoModal(), key == VK_ESCAPE ? IDCANCEL : IDOK);
        ASSERT_EQ(plain.log.size(), 2u);
        EXPECT_EQ(plain.log[0], "pretranslate key " + std::to_string(key));
    }

    // Filtered: both keys reach the window itself and the dialog goes on.
    ScriptedDialog filtered;
    filtered.filterKeys = true;
    filtered.onInit = [](ScriptedDialog& d) {
        d.Post(WM_KEYDOWN, VK_RETURN, 1);
        d.Post(WM_KEYDOWN, VK_ESCAPE, 1);
        d.Post(kStep);
    };
    filtered.onCustom = [&](UINT message, WPARAM, LPARAM, LRESULT*) {
        if (message != kStep)
            return false;
        filtered.EndDialog(7);
        return true;
    };
    EXPECT_EQ(filtered.DoModal(), 7);
    EXPECT_EQ(filtered.log, (std::vector<std::string>{"pretranslate key 13", "pretranslate key 27"}));
}

TEST(Dispatch, CustomAndRegisteredMessagesReachTheirHandlersWithResults) {
    const UINT registered = RegisterWindowMessageW(L"NorvikTestRegisteredMessage");
    ASSERT_GE(registered, 0xC000u);
    ScriptedDialog dlg;
    std::vector<std::string> seen;
    LRESULT sentResult = 0;
    dlg.onInit = [&](ScriptedDialog& d) {
        d.Post(WM_LABEL_CLICKED, IDC_ENROLL_CANCEL, 0);
        d.Post(registered, 3, 4);
        d.Post(kStep);
    };
    dlg.onCustom = [&](UINT message, WPARAM wParam, LPARAM, LRESULT* result) {
        if (message == WM_LABEL_CLICKED) {
            seen.push_back("label " + std::to_string(wParam));
            return true;
        }
        if (message == kStep + 5) {
            *result = 0x1234;
            return true;
        }
        if (message == kStep) {
            // A sent message's result comes back through the dialog procedure's rules.
            sentResult = SendMessageW(dlg.Hwnd(), kStep + 5, 0, 0);
            dlg.EndDialog(IDOK);
            return true;
        }
        return false;
    };
    dlg.onRegistered = [&](UINT message, WPARAM wParam, LPARAM lParam, LRESULT*) {
        if (message == registered)
            seen.push_back("registered " + std::to_string(wParam) + "," + std::to_string(lParam));
        return true;
    };
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(seen,
              (std::vector<std::string>{"label " + std::to_string(IDC_ENROLL_CANCEL), "registered 3,4"}));
    EXPECT_EQ(sentResult, 0x1234);
}

TEST(Dispatch, AnExceptionInAHandlerDoesNotLeaveTheWindowProcedure) {
    ScriptedDialog dlg;
    dlg.onInit = [](ScriptedDialog& d) {
        d.Post(kStep);
        d.Post(kStep + 1);
    };
    dlg.onCustom = [&](UINT message, WPARAM, LPARAM, LRESULT*) -> bool {
        if (message == kStep)
            throw std::runtime_error("handler failure");
        if (message == kStep + 1) {
            dlg.EndDialog(9);
            return true;
        }
        return false;
    };
    EXPECT_EQ(dlg.DoModal(), 9);
}

TEST(Creation, AMissingTemplateGivesMinusOne) {
    ScriptedDialog dlg(nullptr, 999);
    EXPECT_EQ(dlg.DoModal(), -1);
    EXPECT_FALSE(dlg.Create(nullptr));
}

TEST(Creation, WithoutParentTheActiveWindowOwnsAndCentresTheDialog) {
    OwnerWindow owner;
    HWND ownerHwnd = owner.Open(120, 80);
    ASSERT_EQ(GetActiveWindow(), ownerHwnd);
    ScriptedDialog dlg;
    HWND ownerSeen = nullptr;
    RECT dialogRect = {};
    dlg.onInit = [](ScriptedDialog& d) {
        d.SetClientSize(480, 270);
        d.Post(kStep);
    };
    dlg.onCustom = [&](UINT message, WPARAM, LPARAM, LRESULT*) {
        if (message != kStep)
            return false;
        ownerSeen = GetWindow(dlg.Hwnd(), GW_OWNER);
        GetWindowRect(dlg.Hwnd(), &dialogRect);
        dlg.EndDialog(IDOK);
        return true;
    };
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(ownerSeen, ownerHwnd);
    RECT ownerRect = {};
    GetWindowRect(ownerHwnd, &ownerRect);
    EXPECT_EQ(dialogRect.right - dialogRect.left, 480);
    EXPECT_NEAR((dialogRect.left + dialogRect.right) / 2.0, (ownerRect.left + ownerRect.right) / 2.0, 1.0);
    EXPECT_NEAR((dialogRect.top + dialogRect.bottom) / 2.0, (ownerRect.top + ownerRect.bottom) / 2.0, 1.0);
}

TEST(Creation, ModelessDialogPaintsItsBackgroundColourAndKeepsItsPlace) {
    ScriptedDialog dlg;
    ASSERT_TRUE(dlg.Create(nullptr));
    EXPECT_FALSE(IsWindowVisible(dlg.Hwnd())) << "the templates carry no WS_VISIBLE";
    SetWindowPos(dlg.Hwnd(), HWND_TOPMOST, 40, 500, 0, 0, SWP_NOSIZE);
    dlg.SetClientSize(480, 270);
    dlg.SetBackgroundColor(0x123456);
    dlg.ShowWindow(SW_SHOW);
    nvtest::PumpFor(100);
    RECT client = {};
    GetClientRect(dlg.Hwnd(), &client);
    EXPECT_EQ(client.right, 480);
    EXPECT_EQ(client.bottom, 270);
    EXPECT_EQ(nvtest::ClientPixel(dlg.Hwnd(), 3, 3), 0x123456u);
    EXPECT_EQ(nvtest::ClientPixel(dlg.Hwnd(), 240, 260), 0x123456u);
    dlg.SetBackgroundColor(0x00FF00);
    nvtest::PumpFor(50);
    EXPECT_EQ(nvtest::ClientPixel(dlg.Hwnd(), 3, 3), 0x00FF00u);
    dlg.DestroyWindow();
    EXPECT_EQ(dlg.GetSafeHwnd(), nullptr);
}

TEST(Subclassing, AttachesByIdOnceAndLetsGoWhenTheControlIsDestroyed) {
    ScriptedDialog dlg;
    ASSERT_TRUE(dlg.Create(nullptr));
    CFontStatic label;
    CFontStatic other;
    EXPECT_FALSE(label.SubclassDlgItem(4711, dlg.Hwnd())) << "no such control";
    ASSERT_TRUE(label.SubclassDlgItem(IDC_ENROLL_MESSAGE, dlg.Hwnd()));
    EXPECT_EQ(label.GetSafeHwnd(), GetDlgItem(dlg.Hwnd(), IDC_ENROLL_MESSAGE));
    EXPECT_FALSE(label.SubclassDlgItem(IDC_ENROLL_TITLE, dlg.Hwnd())) << "attached already";
    EXPECT_NE(GetWindowLongPtrW(label.GetSafeHwnd(), GWL_STYLE) & SS_NOTIFY, 0) << "the hook adds SS_NOTIFY";
    ASSERT_TRUE(other.SubclassDlgItem(IDC_ENROLL_TITLE, dlg.Hwnd()));
    other.UnsubclassWindow();
    EXPECT_EQ(other.GetSafeHwnd(), nullptr);
    dlg.DestroyWindow();
    EXPECT_EQ(label.GetSafeHwnd(), nullptr);
}

} // namespace
