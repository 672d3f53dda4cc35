// The simulated service's state: its text form against text written out by hand, and the pool's
// rules (duplicates, enumeration, deletion, injected failures).
#include "sim/SimState.h"

#include "biometric/WinBioErrors.h"

#include <gtest/gtest.h>

namespace {

TEST(SimStateText, DefaultStateAsWritten) {
    const std::string expected =
        "winbio-sim 2\n"
        "samples\t8\n"
        "auto\t0\n"
        "removed\t0\n"
        "events\t0\n"
        "autofingers\t0\n"
        "removal\tnotice-first\n"
        "unit\t1\tUSB\\VID_2F1B&PID_0106\\5&2A7C3B1&0&3\tNorvik Fingerprint Sensor\tNorvik\t"
        "NV-FP1\tSIM-0001\t1\t0\n";
    EXPECT_EQ(sim::Serialize(sim::DefaultState()), expected);
}

TEST(SimStateText, EveryKindOfLineReadsBack) {
    const std::string text = "winbio-sim 2\r\n"
                             "samples\t3\n"
                             "auto\t1\n"
                             "removed\t1\n"
                             "events\t7\n"
                             "autofingers\t12\n"
                             "removal\tcompletion-first\n"
                             "unit\t4\tUSB\\VID_1234&PID_0001\tD\tM\tX\tS\t2\t5\n"
                             "enrol\tS-1-5-21-1-2-3-1001\t245\tfinger-a\n"
                             "pending\t300\t9\tcapture\n"
                             "sample\tgood\t300\t9\tfinger-b\n"
                             "sample\tbad\t301\t4\t7\n"
                             "fail\tEnrollCommit\t-2147467259\t-1\n"
                             "canceldelay\t1500\n"
                             "enrolling\t300\t655361\n";
    sim::State s;
    ASSERT_TRUE(sim::Parse(text, s));
    EXPECT_EQ(s.samplesPerEnrollment, 3u);
    EXPECT_TRUE(s.autoMode);
    EXPECT_TRUE(s.removed);
    EXPECT_EQ(s.deviceEvents, 7u);
    EXPECT_EQ(s.autoFingers, 12u);
    EXPECT_TRUE(s.completionFirst);
    ASSERT_EQ(s.units.size(), 1u);
    EXPECT_EQ(s.units[0].id, 4u);
    EXPECT_EQ(s.units[0].deviceInstanceId, "USB\\VID_1234&PID_0001");
    EXPECT_EQ(s.units[0].model, "X");
    EXPECT_EQ(s.units[0].firmwareMinor, 5u);
    ASSERT_EQ(s.pool.size(), 1u);
    EXPECT_EQ(s.pool[0], (sim::Enrollment{"S-1-5-21-1-2-3-1001", 0xF5, "finger-a"}));
    ASSERT_EQ(s.pending.size(), 1u);
    EXPECT_EQ(s.pending[0], (sim::Pending{300, 9, "capture"}));
    ASSERT_EQ(s.samples.size(), 2u);
    EXPECT_EQ(s.samples[0], (sim::Sample{true, "finger-b", 0, 300, 9}));
    EXPECT_EQ(s.samples[1], (sim::Sample{false, "", 7, 301, 4}));
    ASSERT_EQ(s.failures.size(), 1u);
    EXPECT_EQ(s.failures[0].result, static_cast<std::int32_t>(0x80004005));
    EXPECT_EQ(s.failures[0].count, -1);
    EXPECT_EQ(s.cancelDelayMs, 1500u);
    EXPECT_EQ(s.enrolling, (std::vector<sim::OpenEnrollment>{{300, 655361}}));
    EXPECT_FALSE(sim::EnrollmentOpenElsewhere(s, 300, 655361)) << "its own enrolment";
    EXPECT_TRUE(sim::EnrollmentOpenElsewhere(s, 300, 655362)) << "another session of the process";
    EXPECT_TRUE(sim::EnrollmentOpenElsewhere(s, 301, 655361)) << "another process";
    sim::ForgetProcess(s, 300);
    EXPECT_TRUE(s.enrolling.empty()) << "an ended process's enrolment lapses";
    // And the same state written out reads back the same.
    sim::State again;
    ASSERT_TRUE(sim::Parse(sim::Serialize(s), again));
    EXPECT_EQ(sim::Serialize(again), sim::Serialize(s));
}

TEST(SimStateText, ForeignOrDamagedTextLeavesTheStateAlone) {
    sim::State s = sim::DefaultState();
    s.samplesPerEnrollment = 5;
    for (const char* text :
         {"", "winbio-sim 1\n", "winbio-sim 3\n", "winbio-sim 2\nsamples\tx\n",
          "winbio-sim 2\nunit\t1\tonly\n", "winbio-sim 2\nenrol\tS-1\t300\tf\n", "winbio-sim 2\nmystery\t1\n",
          "winbio-sim 2\nsample\tgood\tfinger-b\n", "winbio-sim 2\npending\t1\t2\n",
          "winbio-sim 2\nremoval\tsometime\n",
          // Found by the state fuzz target: a zero count failed every call.
          "winbio-sim 2\nfail\tEnrollCommit\t5\t0\n", "winbio-sim 2\nfail\tEnrollCommit\t5\t-0\n"})
        EXPECT_FALSE(sim::Parse(text, s)) << text;
    EXPECT_EQ(s.samplesPerEnrollment, 5u);
}

TEST(SimStateText, TabsAndNewlinesInValuesCannotBreakTheFormat) {
    sim::State s = sim::DefaultState();
    s.units[0].description = "two\tfields\nand a line";
    sim::State back;
    ASSERT_TRUE(sim::Parse(sim::Serialize(s), back));
    EXPECT_EQ(back.units[0].description, "two fields and a line");
}

TEST(SimPool, CommitRefusesAKnownFingerBeforeATakenSubFactor) {
    sim::State s;
    bool isNew = false;
    EXPECT_EQ(sim::Commit(s, "S-A", 0xF5, "finger-a", &isNew), winbio::kOk);
    EXPECT_TRUE(isNew);
    // Same finger for another identity: the template is a duplicate, whoever owns it.
    EXPECT_EQ(sim::Commit(s, "S-B", 0xF6, "finger-a"), static_cast<std::int32_t>(0x8009802B));
    // Same finger at another position of the same identity: a duplicate too.
    EXPECT_EQ(sim::Commit(s, "S-A", 0xF6, "finger-a"), static_cast<std::int32_t>(0x8009802B));
    // The very template again, same identity and position: no error, nothing new.
    EXPECT_EQ(sim::Commit(s, "S-A", 0xF5, "finger-a", &isNew), winbio::kOk);
    EXPECT_FALSE(isNew);
    // A new finger at a position the identity has.
    EXPECT_EQ(sim::Commit(s, "S-A", 0xF5, "finger-b"), static_cast<std::int32_t>(0x8009801C));
    // The same position of another identity is free.
    EXPECT_EQ(sim::Commit(s, "S-B", 0xF5, "finger-b"), winbio::kOk);
    EXPECT_EQ(sim::Commit(s, "S-B", 0x00, "finger-c"), winbio::kInvalidSubFactor);
    EXPECT_EQ(sim::Commit(s, "S-B", 0xFF, "finger-c"), winbio::kInvalidSubFactor);
    EXPECT_EQ(s.pool.size(), 2u);
}

TEST(SimPool, IdentifyEnumerateDelete) {
    sim::State s;
    sim::Commit(s, "S-A", 0xF7, "a1");
    sim::Commit(s, "S-B", 0x01, "b1");
    sim::Commit(s, "S-A", 0x02, "a2");
    const auto match = sim::Identify(s, "b1");
    ASSERT_TRUE(match);
    EXPECT_EQ(match->identity, "S-B");
    EXPECT_EQ(match->subFactor, 0x01);
    EXPECT_FALSE(sim::Identify(s, "nobody"));
    EXPECT_EQ(sim::Enrollments(s, "S-A"), (std::vector<std::uint8_t>{0xF7, 0x02}));
    EXPECT_TRUE(sim::Enrollments(s, "S-C").empty());
    EXPECT_EQ(sim::Delete(s, "S-A", 0x02), winbio::kOk);
    EXPECT_EQ(sim::Delete(s, "S-A", 0x02), winbio::kUnknownId);
    EXPECT_EQ(sim::Delete(s, "S-A", 0x01), winbio::kUnknownId) << "another identity's position";
    EXPECT_EQ(sim::Enrollments(s, "S-A"), (std::vector<std::uint8_t>{0xF7}));
}

TEST(SimPool, SubFactorRange) {
    int valid = 0;
    for (std::uint32_t v = 0; v < 0x200; ++v)
        valid += sim::IsValidSubFactor(v) ? 1 : 0;
    EXPECT_EQ(valid, 20);
    EXPECT_TRUE(sim::IsValidSubFactor(1) && sim::IsValidSubFactor(10) && sim::IsValidSubFactor(0xF5) &&
                sim::IsValidSubFactor(0xFE));
}

// A touch goes to the oldest request of the focused process that has none on its way, and goes
// with its request.
TEST(SimTouch, ReachesOnlyAWaitingRequestOfTheProcess) {
    sim::State s;
    EXPECT_FALSE(sim::Deliver(s, 7, {true, "f", 0})) << "nothing waits: lost";
    s.pending = {{8, 1, "identify"}, {7, 3, "capture"}, {7, 5, "begin"}};
    EXPECT_FALSE(sim::Deliver(s, 9, {true, "f", 0})) << "another process's requests are out of reach";
    EXPECT_TRUE(sim::Deliver(s, 7, {true, "f1", 0}));
    EXPECT_TRUE(sim::Deliver(s, 7, {false, "", 4}));
    EXPECT_FALSE(sim::Deliver(s, 7, {true, "f3", 0})) << "both requests have theirs";
    ASSERT_EQ(s.samples.size(), 2u);
    EXPECT_EQ(s.samples[0], (sim::Sample{true, "f1", 0, 7, 3}));
    EXPECT_EQ(s.samples[1], (sim::Sample{false, "", 4, 7, 5}));
    EXPECT_FALSE(sim::TakeSample(s, 7, 4));
    EXPECT_EQ(sim::TakeSample(s, 7, 3), (sim::Sample{true, "f1", 0, 7, 3}));
    sim::Withdraw(s, 7, 5);
    EXPECT_TRUE(s.samples.empty()) << "a withdrawn request's sample goes with it";
    EXPECT_EQ(s.pending.size(), 2u);
    sim::ForgetProcess(s, 7);
    EXPECT_EQ(s.pending, (std::vector<sim::Pending>{{8, 1, "identify"}}));
}

TEST(SimFailures, CountedAndPermanentInjections) {
    sim::State s;
    s.failures.push_back({"WinBioEnrollCommit", -5, 2});
    s.failures.push_back({"opensession", -6, -1});
    EXPECT_FALSE(sim::TakeFailure(s, "EnrollBegin"));
    EXPECT_EQ(sim::TakeFailure(s, "EnrollCommit"), -5);
    EXPECT_EQ(sim::TakeFailure(s, "WINBIOENROLLCOMMIT"), -5);
    EXPECT_FALSE(sim::TakeFailure(s, "EnrollCommit")) << "used up after two";
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(sim::TakeFailure(s, "WinBioOpenSession"), -6);
    EXPECT_EQ(s.failures.size(), 1u);
}

TEST(SimNames, InterfaceNameAndHresults) {
    EXPECT_EQ(sim::DeviceInterfaceName("USB\\VID_2F1B&PID_1234\\5&1A2B3C4D&0&2"),
              "\\\\?\\USB#VID_2F1B&PID_1234#5&1A2B3C4D&0&2#{a5dcbf10-6530-11d2-901f-00c04fb951ed}");
    EXPECT_EQ(sim::ParseHresult("0x8009802B"), static_cast<std::int32_t>(0x8009802B));
    EXPECT_EQ(sim::ParseHresult("0x0"), 0);
    EXPECT_EQ(sim::ParseHresult("-2147467259"), static_cast<std::int32_t>(0x80004005));
    EXPECT_EQ(sim::ParseHresult("2147500037"), static_cast<std::int32_t>(0x80004005));
    EXPECT_FALSE(sim::ParseHresult("0x1FFFFFFFF"));
    EXPECT_FALSE(sim::ParseHresult("E_FAIL"));
    EXPECT_FALSE(sim::ParseHresult(""));
    EXPECT_EQ(sim::CanonicalFunctionName("WinBioEnrollCommit"), sim::CanonicalFunctionName("enrollcommit"));
}

} // namespace
