// The enrolment dialog in a process of its own (enroll_host.exe), operated from outside the way a
// person and the system would: guidriver finds it, reads its controls, presses keys, clicks with
// real mouse input and broadcasts the suspend notice; winbio-sim plays the sensor.
#include "resources/ResourceIds.h"
#include "tests/support/AccessibleProbe.h"
#include "tests/support/SimPool.h"
#include "tests/support/TestWindows.h"
#include "tests/support/Wait.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

using testwin::Driver;
using testwin::DriverOk;
using testwin::RunResult;
using testwin::Sim;
using testwin::SimOk;

// The enrolment dialog is the one window with the Cancel label's id.
const std::wstring kDialog = testwin::HasControl(IDC_ENROLL_CANCEL);

// The text guidriver lists for a control of the dialog, or "?" when it is not listed.
std::string ListedText(int id) {
    const std::string listing = Driver(L"list " + kDialog).out;
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

class EnrollHostTest : public testwin::SimPoolTest {
protected:
    // Starts the host and waits until its dialog identifies.
    void Start() {
        ASSERT_TRUE(host.Started());
        ASSERT_TRUE(DriverOk(L"wait " + kDialog));
        // The identification starts right after the layout; give it the simulator's poll.
        Sleep(300);
        EXPECT_EQ(ListedText(IDC_ENROLL_TITLE), "Touch the Fingerprint Sensor");
        EXPECT_EQ(ListedText(IDC_ENROLL_MESSAGE),
                  "Repeatedly lift and place your finger on the sensor until setup is complete.");
        EXPECT_EQ(ListedText(IDC_ENROLL_CANCEL), "Cancel");
    }

    testwin::CapturedProcess host{L"enroll_host.exe", L""};
};

TEST_F(EnrollHostTest, ASuspendBroadcastCancelsAndEndsWithTwo) {
    Start();
    ASSERT_TRUE(SimOk(L"fail WinBioCancel 1"));
    // WM_POWERBROADCAST (0x218) with PBT_APMSUSPEND, to every top-level window.
    ASSERT_TRUE(DriverOk(L"broadcast --message 0x218 --wparam 4"));
    const RunResult end = host.Wait();
    EXPECT_EQ(end.code, 2u);
    EXPECT_EQ(end.out, "result 2\n");
    EXPECT_EQ(State().find("fail\tWinBioCancel"), std::string::npos);
}

TEST_F(EnrollHostTest, KeysDoNothingThenATouchEnrolsAndTheCancelLabelEndsWithTwo) {
    Start();
    EXPECT_TRUE(DriverOk(L"key " + kDialog + L" escape"));
    EXPECT_TRUE(DriverOk(L"key " + kDialog + L" enter"));
    Sleep(300);
    EXPECT_TRUE(host.Running());
    {
        // Another program's window in front: the dialog keeps waiting, a touch does not reach it.
        const testwin::FrontWindow front(L"in front");
        ASSERT_TRUE(front.InFront());
        EXPECT_EQ(Sim(L"touch finger-h").code, 1u) << "the focused program waits for no touch: lost";
        EXPECT_EQ(ListedText(IDC_ENROLL_TITLE), "Touch the Fingerprint Sensor");
    }
    ASSERT_TRUE(DriverOk(L"activate " + kDialog));
    ASSERT_TRUE(SimOk(L"touch --wait 5000 finger-h"));
    EXPECT_TRUE(
        testwin::WaitUntil([] { return ListedText(IDC_ENROLL_TITLE) == "Enroll Fingerprint Data"; }, 15000));
    EXPECT_EQ(ListedText(IDC_ENROLL_MESSAGE), "Great, touch sensor again.");
    ASSERT_TRUE(DriverOk(L"click " + kDialog + L" --id " + std::to_wstring(IDC_ENROLL_CANCEL)));
    const RunResult end = host.Wait();
    EXPECT_EQ(end.code, 2u);
    EXPECT_EQ(end.out, "result 2\n");
    EXPECT_EQ(Pool(), "");
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
        return testwin::WaitUntil(
            [&] { return (testwin::ReadAccessible(dialog, id).state & STATE_SYSTEM_FOCUSED) != 0; }, 5000);
    };
    const auto key = [&](const wchar_t* name) {
        EXPECT_TRUE(DriverOk(L"key " + kDialog + L" " + name + L" --sendinput")) << name;
    };
    Start();
    EXPECT_TRUE(focusedOn(IDC_ENROLL_CANCEL)) << "Cancel first";
    key(L"tab");
    EXPECT_TRUE(focusedOn(IDC_ENROLL_CLOSE)) << "then the close picture";
    key(L"tab");
    EXPECT_TRUE(focusedOn(IDC_ENROLL_CANCEL)) << "and round again";
    key(L"shift+tab");
    EXPECT_TRUE(focusedOn(IDC_ENROLL_CLOSE));
    Driver(L"screenshot " + kDialog + L" " + std::wstring(NV_ARTIFACT_DIR) + L"/enroll-focus-on-close.png");
    key(L"enter");
    key(L"shift+tab");
    EXPECT_TRUE(focusedOn(IDC_ENROLL_CANCEL));
    key(L"enter");
    Sleep(500);
    EXPECT_TRUE(host.Running()) << "Enter ended the dialog";
    key(L"space");
    const RunResult end = host.Wait();
    EXPECT_EQ(end.out, "result 2\n") << "Space on Cancel";

    // The close picture, in a run of its own.
    testwin::CapturedProcess second{L"enroll_host.exe", L""};
    ASSERT_TRUE(DriverOk(L"wait " + kDialog));
    Sleep(300);
    key(L"tab");
    key(L"space");
    EXPECT_EQ(second.Wait().out, "result 2\n") << "Space on the close picture";
}

TEST_F(EnrollHostTest, TheCloseButtonEndsWithTwo) {
    Start();
    ASSERT_TRUE(DriverOk(L"click " + kDialog + L" --id " + std::to_wstring(IDC_ENROLL_CLOSE)));
    const RunResult end = host.Wait();
    EXPECT_EQ(end.code, 2u);
    EXPECT_EQ(end.out, "result 2\n");
}

} // namespace
