// The enrolment dialog in a process of its own (enroll_host.exe), operated from outside the way a
// person and the system would: guidriver finds it, reads its controls, presses keys, clicks with
// real mouse input and broadcasts the suspend notice; winbio-sim plays the sensor.
#include <windows.h>

#include "tests/support/AccessibleProbe.h"
#include "tests/support/WinProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

using testwin::RunResult;

// A program of the build, started with its output going to a file of its own.
class Process : public testwin::CapturedProcess {
public:
    Process(const std::wstring& exe, const std::wstring& arguments)
        : CapturedProcess(testwin::ProgramBeside(exe.c_str()), arguments) {}
};

RunResult Run(const std::wstring& exe, const std::wstring& arguments) {
    Process process(exe, arguments);
    return process.Wait();
}
RunResult Sim(const std::wstring& arguments) {
    return Run(L"winbio-sim.exe", arguments);
}
RunResult Driver(const std::wstring& arguments) {
    return Run(L"guidriver.exe", arguments);
}

// The enrolment dialog is the one window with the Cancel label's id.
const std::wstring kDialog = L"--has-control 1230";

// The text guidriver lists for a control, or "?" when it is not listed.
std::string ControlText(const std::string& listing, int id) {
    const std::string key = "id=" + std::to_string(id) + " ";
    const std::size_t line = listing.find(key);
    if (line == std::string::npos)
        return "?";
    const std::size_t start = listing.find("text=\"", line);
    const std::size_t end = listing.find("\"\n", start);
    if (start == std::string::npos || end == std::string::npos)
        return "?";
    return listing.substr(start + 6, end - start - 6);
}

class EnrollHostTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(Sim(L"reset").code, 0u); }
    void TearDown() override { Sim(L"reset"); }

    // Starts the host and waits until its dialog identifies.
    void Start() {
        ASSERT_TRUE(host.Started());
        ASSERT_EQ(Driver(L"wait " + kDialog).code, 0u);
        // The identification starts right after the layout; give it the simulator's poll.
        Sleep(300);
        const RunResult list = Driver(L"list " + kDialog);
        ASSERT_EQ(list.code, 0u);
        EXPECT_EQ(ControlText(list.out, 1226), "Touch the Fingerprint Sensor");
        EXPECT_EQ(ControlText(list.out, 1227),
                  "Repeatedly lift and place your finger on the sensor until setup is complete.");
        EXPECT_EQ(ControlText(list.out, 1230), "Cancel");
    }

    Process host{L"enroll_host.exe", L""};
};

TEST_F(EnrollHostTest, ASuspendBroadcastCancelsAndEndsWithTwo) {
    Start();
    ASSERT_EQ(Sim(L"fail WinBioCancel 1").code, 0u);
    // WM_POWERBROADCAST (0x218) with PBT_APMSUSPEND, to every top-level window.
    ASSERT_EQ(Driver(L"broadcast --message 0x218 --wparam 4").code, 0u);
    const RunResult end = host.Wait();
    EXPECT_EQ(end.code, 2u);
    EXPECT_EQ(end.out, "result 2\n");
    EXPECT_EQ(Sim(L"state").out.find("fail\tWinBioCancel"), std::string::npos);
}

TEST_F(EnrollHostTest, KeysDoNothingThenATouchEnrolsAndTheCancelLabelEndsWithTwo) {
    Start();
    EXPECT_EQ(Driver(L"key " + kDialog + L" escape").code, 0u);
    EXPECT_EQ(Driver(L"key " + kDialog + L" enter").code, 0u);
    Sleep(300);
    EXPECT_TRUE(host.Running());
    {
        // Another program's window in front: the dialog keeps waiting, a touch does not reach it.
        HWND front = CreateWindowExW(0, L"STATIC", L"in front", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200,
                                     100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(front, nullptr);
        SetForegroundWindow(front);
        for (int i = 0; i < 100 && GetForegroundWindow() != front; ++i)
            Sleep(10);
        ASSERT_EQ(GetForegroundWindow(), front);
        EXPECT_EQ(Sim(L"touch finger-h").code, 1u) << "the focused program waits for no touch: lost";
        EXPECT_EQ(ControlText(Driver(L"list " + kDialog).out, 1226), "Touch the Fingerprint Sensor");
        DestroyWindow(front);
        ASSERT_EQ(Driver(L"activate " + kDialog).code, 0u);
    }
    ASSERT_EQ(Sim(L"touch --wait 5000 finger-h").code, 0u);
    bool enrolling = false;
    for (int attempt = 0; attempt < 50 && !enrolling; ++attempt) {
        enrolling = ControlText(Driver(L"list " + kDialog).out, 1226) == "Enroll Fingerprint Data";
        if (!enrolling)
            Sleep(100);
    }
    EXPECT_TRUE(enrolling);
    EXPECT_EQ(ControlText(Driver(L"list " + kDialog).out, 1227), "Great, touch sensor again.");
    ASSERT_EQ(Driver(L"click " + kDialog + L" --id 1230").code, 0u);
    const RunResult end = host.Wait();
    EXPECT_EQ(end.code, 2u);
    EXPECT_EQ(end.out, "result 2\n");
    EXPECT_EQ(Sim(L"list").out, "");
}

// The keyboard alone, from another process with real key presses: the focus starts on Cancel, Tab
// goes to the close picture and back (Shift+Tab too); Enter presses neither, since Enter never
// ends this dialog; Space presses the one with the focus. A reader sees where the focus is.
TEST_F(EnrollHostTest, TabWalksCancelAndCloseEnterLeavesBothAndSpacePressesEach) {
    testwin::ComApartment com;
    const RunResult found = Driver(L"wait " + kDialog);
    ASSERT_EQ(found.code, 0u);
    HWND dialog = reinterpret_cast<HWND>(static_cast<INT_PTR>(std::stoll(found.out, nullptr, 16)));
    const auto focusedOn = [&](int id) {
        for (int attempt = 0; attempt < 30; ++attempt) {
            if (testwin::ReadAccessible(dialog, id).state & STATE_SYSTEM_FOCUSED)
                return true;
            Sleep(100);
        }
        return false;
    };
    const auto key = [&](const wchar_t* name) {
        EXPECT_EQ(Driver(L"key " + kDialog + L" " + name + L" --sendinput").code, 0u) << name;
    };
    Start();
    EXPECT_TRUE(focusedOn(1230)) << "Cancel first";
    key(L"tab");
    EXPECT_TRUE(focusedOn(1229)) << "then the close picture";
    key(L"tab");
    EXPECT_TRUE(focusedOn(1230)) << "and round again";
    key(L"shift+tab");
    EXPECT_TRUE(focusedOn(1229));
    Driver(L"screenshot " + kDialog + L" " + std::wstring(NV_ARTIFACT_DIR) + L"/enroll-focus-on-close.png");
    key(L"enter");
    key(L"shift+tab");
    EXPECT_TRUE(focusedOn(1230));
    key(L"enter");
    Sleep(500);
    EXPECT_TRUE(host.Running()) << "Enter ended the dialog";
    key(L"space");
    const RunResult end = host.Wait();
    EXPECT_EQ(end.out, "result 2\n") << "Space on Cancel";

    // The close picture, in a run of its own.
    Process second{L"enroll_host.exe", L""};
    ASSERT_EQ(Driver(L"wait " + kDialog).code, 0u);
    Sleep(300);
    key(L"tab");
    key(L"space");
    EXPECT_EQ(second.Wait().out, "result 2\n") << "Space on the close picture";
}

TEST_F(EnrollHostTest, TheCloseButtonEndsWithTwo) {
    Start();
    ASSERT_EQ(Driver(L"click " + kDialog + L" --id 1229").code, 0u);
    const RunResult end = host.Wait();
    EXPECT_EQ(end.code, 2u);
    EXPECT_EQ(end.out, "result 2\n");
}

} // namespace
