// The application object and the process entry: which object runs, what its InitInstance
// result becomes, that nothing thrown escapes, and where resources come from.
#include "ui/WinApp.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

class TestApp : public CWinApp {
public:
    enum class Outcome { Succeed, Fail, Throw };
    explicit TestApp(Outcome outcome) : m_outcome(outcome) {}
    int runs = 0;
    HINSTANCE instanceSeen = nullptr;
    HINSTANCE resourcesSeen = nullptr;

    BOOL InitInstance() override {
        ++runs;
        instanceSeen = m_hInstance;
        resourcesSeen = nvui::ResourceInstance();
        CWinApp::InitInstance();
        if (m_outcome == Outcome::Throw)
            throw std::runtime_error("start-up failed");
        return m_outcome == Outcome::Succeed;
    }

private:
    Outcome m_outcome;
};

TEST(WinApp, WithoutAnApplicationObjectNothingRuns) {
    ASSERT_EQ(CWinApp::GetApp(), nullptr);
    EXPECT_EQ(nvui::RunApplication(GetModuleHandleW(nullptr)), 2);
    EXPECT_EQ(nvui::ResourceInstance(), GetModuleHandleW(nullptr));
}

TEST(WinApp, RunsInitInstanceOnceWithTheInstanceAndMapsItsResult) {
    HINSTANCE self = GetModuleHandleW(nullptr);
    {
        TestApp app(TestApp::Outcome::Fail);
        EXPECT_EQ(CWinApp::GetApp(), &app);
        EXPECT_EQ(nvui::RunApplication(self), 0) << "FALSE from InitInstance";
        EXPECT_EQ(app.runs, 1);
        EXPECT_EQ(app.instanceSeen, self);
        EXPECT_EQ(app.resourcesSeen, self);
    }
    EXPECT_EQ(CWinApp::GetApp(), nullptr) << "a destroyed object is no longer the application";
    TestApp succeeding(TestApp::Outcome::Succeed);
    EXPECT_EQ(nvui::RunApplication(self), 1);
}

TEST(WinApp, AnExceptionFromInitInstanceEndsTheRunWithCodeThree) {
    TestApp app(TestApp::Outcome::Throw);
    EXPECT_EQ(nvui::RunApplication(GetModuleHandleW(nullptr)), 3);
    EXPECT_EQ(app.runs, 1);
}

TEST(WinApp, RegistersForRestartOnlyWhenAsked) {
    TestApp plain(TestApp::Outcome::Succeed);
    nvui::RunApplication(GetModuleHandleW(nullptr));
    EXPECT_FALSE(plain.m_bRestartRegistered);
    TestApp restarting(TestApp::Outcome::Succeed);
    restarting.m_dwRestartManagerSupportFlags = nvui::kRestartManagerSupportRestart;
    nvui::RunApplication(GetModuleHandleW(nullptr));
    EXPECT_TRUE(restarting.m_bRestartRegistered);
}

} // namespace
