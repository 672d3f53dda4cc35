// The fixture of the tests that use the simulator's one pool of the prefix: the simulator reset
// before and after (one sensor of vendor 0x2F1B, the default samples, an empty pool), and the
// pool and state read back as winbio-sim lists them. These tests run one at a time.
#pragma once

#include "tests/support/Account.h"
#include "tests/support/Tools.h"

#include <gtest/gtest.h>

#include <string>

namespace testwin {

// An account of another user of the machine, as far as the pool is concerned.
inline constexpr wchar_t kOtherAccount[] = L"S-1-5-21-7-7-7-1001";

class SimPoolTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SimOk(L"reset"));
        me = AccountSid();
        ASSERT_FALSE(me.empty());
    }
    void TearDown() override {
        // NV_SIM_TEST_KEEP_POOL=1 leaves the pool as the test left it, to look at with winbio-sim list.
        if (GetEnvironmentVariableW(L"NV_SIM_TEST_KEEP_POOL", nullptr, 0) == 0)
            Sim(L"reset");
    }

    // "SID SUBFACTOR FINGER" a line, in the order of enrolment.
    static std::string Pool() { return Sim(L"list").out; }
    static std::string State() { return Sim(L"state").out; }

    // The signed-in account's SID, as the pool lists it.
    std::string me;
};

} // namespace testwin
