// The fixture of every end-to-end test: a reset simulator (one sensor of vendor 0x2F1B, empty
// pool), no "ShowWelcome" (so the shared files are not touched), the pointer off the windows;
// afterwards the program is gone and the prefix as it was.
#pragma once

#include "tests/support/ProgramSession.h"
#include "tests/support/SimPool.h"

#include <gtest/gtest.h>

namespace apptest {

class ProgramTest : public testwin::SimPoolTest {
protected:
    void SetUp() override {
        SimPoolTest::SetUp();
        ASSERT_TRUE(m_showWelcome.RemoveKey());
        MouseAway();
    }
    void TearDown() override {
        m_program.Kill();
        m_second.Kill();
        SimPoolTest::TearDown();
    }

    // Starts the program and waits for the end of its start-up chain.
    HWND StartReady() {
        EXPECT_TRUE(m_program.Start());
        HWND main = m_program.WaitReady();
        EXPECT_NE(main, nullptr) << "the main window never became ready";
        return main;
    }

    ShowWelcomeGuard m_showWelcome;
    Program m_program;
    Program m_second;
};

} // namespace apptest
