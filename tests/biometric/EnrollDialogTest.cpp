// The enrolment dialog in a real window under Wine, against the simulated biometric service of
// the prefix (winbio.dll in system32, driven by winbio-sim.exe). Each test runs the dialog
// modally and works through a script of steps from a thread timer inside the modal loop: wait
// for a state of the dialog or of a box, then touch the sensor, click with the mouse or press a
// key. The pool is one per prefix: these tests run alone and reset it before and after.
#include "biometric/EnrollDialog.h"

#include "biometric/EnrollProgress.h"
#include "biometric/WinBioTable.h"
#include "resources/ResourceIds.h"
#include "resources/StringIds.h"
#include "tests/support/SimPool.h"
#include "tests/support/TestWindows.h"
#include "tests/support/UiTestSupport.h"
#include "ui/ResourceText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

using testwin::kOtherAccount;
using testwin::Sim;
using testwin::SimOk;

//--- Sessions, counted on their way to the simulator

// The dialog opens and closes its sessions on its own thread, which is the test's.
WinBioFunctions g_framework = {};
WinBioFunctions g_counted = {};
std::set<WINBIO_SESSION_HANDLE> g_openSessions;

HRESULT WINAPI CountedOpenSession(WINBIO_BIOMETRIC_TYPE factor, WINBIO_POOL_TYPE pool,
                                  WINBIO_SESSION_FLAGS flags, WINBIO_UNIT_ID* units, SIZE_T unitCount,
                                  GUID* database, WINBIO_SESSION_HANDLE* session) {
    const HRESULT hr = g_framework.OpenSession(factor, pool, flags, units, unitCount, database, session);
    if (SUCCEEDED(hr) && session != nullptr && *session != 0)
        g_openSessions.insert(*session);
    return hr;
}

HRESULT WINAPI CountedCloseSession(WINBIO_SESSION_HANDLE session) {
    const HRESULT hr = g_framework.CloseSession(session);
    if (SUCCEEDED(hr))
        g_openSessions.erase(session);
    return hr;
}

//--- Windows of the dialog and its boxes

using testwin::WindowText;

// The message box the dialog shows: a visible window of ours with the box's icon control.
HWND FindBox() {
    return testwin::ThreadWindowWith(IDC_MSGBOX_ICON);
}

struct BoxContent {
    std::wstring caption, text;
    bool link = false;
};
BoxContent ReadBox(HWND box) {
    return {WindowText(GetDlgItem(box, IDC_MSGBOX_TITLE)), WindowText(GetDlgItem(box, IDC_MSGBOX_TEXT)),
            IsWindowVisible(GetDlgItem(box, IDC_MSGBOX_ANOTHER)) != FALSE};
}

// How many of the thread's windows are boxes on the screen now.
int BoxesOfThisThread() {
    int boxes = 0;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM count) {
            if (IsWindowVisible(window) && GetDlgItem(window, IDC_MSGBOX_ICON) != nullptr)
                ++*reinterpret_cast<int*>(count);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&boxes));
    return boxes;
}

using nvtest::ClickControl;

std::wstring Text(UINT id) {
    return nvui::LoadResourceString(id);
}

//--- The script that runs inside the modal loop

struct Step {
    std::string what;
    std::function<bool()> ready;
    std::function<void()> act;
};

class Script {
public:
    explicit Script(CDlgEnroll& dialog) : m_dialog(dialog) {}

    // Runs the dialog modally while the steps are worked through, one per timer tick once its
    // condition holds. A step that waits too long fails the test and cancels the dialog.
    INT_PTR Run(std::vector<Step> steps, DWORD stepTimeoutMs = 15000) {
        m_steps = std::move(steps);
        m_timeoutMs = stepTimeoutMs;
        m_next = 0;
        m_stepStart = GetTickCount();
        s_current = this;
        const UINT_PTR timer = SetTimer(nullptr, 0, 15, &Script::Tick);
        const INT_PTR result = m_dialog.DoModal();
        KillTimer(nullptr, timer);
        s_current = nullptr;
        EXPECT_EQ(m_next, m_steps.size())
            << "the dialog ended before: " << (m_next < m_steps.size() ? m_steps[m_next].what : "");
        return result;
    }

    // Every bitmap the progress picture showed, in order (repeats of the same bitmap merged).
    std::vector<int> pictures;

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        if (s_current != nullptr)
            s_current->OnTick();
    }

    void OnTick() {
        if (m_busy)
            return;
        m_busy = true;
        if (m_dialog.GetSafeHwnd() != nullptr) {
            const int picture = m_dialog.GetProgressBitmap();
            if (pictures.empty() || pictures.back() != picture)
                pictures.push_back(picture);
        }
        if (m_next < m_steps.size()) {
            Step& step = m_steps[m_next];
            if (step.ready ? step.ready() : m_dialog.GetSafeHwnd() != nullptr) {
                ++m_next;
                m_stepStart = GetTickCount();
                if (step.act)
                    step.act();
            } else if (GetTickCount() - m_stepStart > m_timeoutMs) {
                ADD_FAILURE() << "timed out waiting for: " << step.what;
                m_next = m_steps.size() + 1;
                Abandon();
            }
        } else if (m_next == m_steps.size() && GetTickCount() - m_stepStart > m_timeoutMs) {
            ADD_FAILURE() << "the dialog did not end after the last step";
            if (HWND box = FindBox())
                ADD_FAILURE() << "a box is open: " << testtext::Narrow(ReadBox(box).caption) << ": "
                              << testtext::Narrow(ReadBox(box).text);
            m_next = m_steps.size() + 1;
            Abandon();
        }
        m_busy = false;
    }

    void Abandon() {
        if (HWND box = FindBox())
            if (CDialogEx* dialog = CDialogEx::FromHandle(box))
                dialog->EndDialog(IDCANCEL);
        m_dialog.CancelEnroll();
    }

    static inline Script* s_current = nullptr;
    CDlgEnroll& m_dialog;
    std::vector<Step> m_steps;
    std::size_t m_next = 0;
    DWORD m_stepStart = 0;
    DWORD m_timeoutMs = 15000;
    bool m_busy = false;
};

class EnrollDialogTest : public testwin::SimPoolTest {
protected:
    void SetUp() override {
        SimPoolTest::SetUp();
        g_framework = WinBio();
        g_counted = g_framework;
        g_counted.OpenSession = CountedOpenSession;
        g_counted.CloseSession = CountedCloseSession;
        g_openSessions.clear();
        InstallWinBioFunctions(&g_counted);
    }
    void TearDown() override {
        InstallWinBioFunctions(nullptr);
        SimPoolTest::TearDown();
    }

    HWND Dialog() const { return dialog.GetSafeHwnd(); }
    HWND Item(int id) const { return GetDlgItem(Dialog(), id); }
    bool Shows(UINT title, UINT message, int picture) const {
        return Dialog() != nullptr && IsWindowVisible(Dialog()) && FindBox() == nullptr &&
               dialog.GetTitleText() == Text(title) && WindowText(Item(IDC_ENROLL_TITLE)) == Text(title) &&
               WindowText(Item(IDC_ENROLL_MESSAGE)) == Text(message) && dialog.GetProgressBitmap() == picture;
    }
    bool Identifying() const { return Shows(IDS_TOUCH_SENSOR, IDS_LIFT_AND_PLACE, IDB_FINGER_OUTLINE); }
    bool EnrollingAt(int picture) const { return Shows(IDS_ENROLL_TITLE, IDS_TOUCH_AGAIN, picture); }

    // Steps.
    Step WaitIdentifying(std::function<void()> then) {
        return {"identifying", [this] { return Identifying(); }, std::move(then)};
    }
    Step Touch(const char* finger, std::function<bool()> when) {
        const std::wstring arguments = L"touch --wait 5000 " + testtext::Widen(finger);
        return {std::string("touch ") + finger, std::move(when),
                [arguments] { EXPECT_TRUE(SimOk(arguments)); }};
    }
    Step Box(std::function<void(HWND)> act) {
        return {"a box", [] { return FindBox() != nullptr; },
                [act] {
                    // The box waits for the user alone: nothing of the framework's is left open
                    // that could report into it.
                    EXPECT_TRUE(g_openSessions.empty()) << "a session is open under the box";
                    act(FindBox());
                }};
    }
    // Waits for the dialog enrolling at the empty print, then cancels it with its Cancel label.
    Step CancelWhenEnrolling(const char* what) {
        return {what, [this] { return EnrollingAt(IDB_PROGRESS_FIRST); },
                [this] { ClickControl(Dialog(), IDC_ENROLL_CANCEL); }};
    }
    Step ClickBoxOk() {
        return Box([](HWND box) { ClickControl(box, IDC_MSGBOX_BUTTON1); });
    }

    // Steps of one whole enrolment of `finger` with `moreData` accepted samples before the
    // last; the success box is then left to the following steps.
    std::vector<Step> WholeEnrollment(const char* finger, int moreData, const wchar_t* midwayShot = nullptr) {
        std::vector<Step> steps;
        steps.push_back(Touch(finger, [this] { return Identifying(); }));
        for (int sample = 1; sample <= moreData + 1; ++sample) {
            // The picture before this touch: the empty print, then the one of the previous sample.
            steps.push_back(Touch(finger, [this, sample] {
                return Dialog() != nullptr && dialog.GetTitleText() == Text(IDS_ENROLL_TITLE) &&
                       dialog.GetProgressBitmap() == EnrollPicture(sample - 1);
            }));
            if (midwayShot != nullptr && sample == moreData / 2 + 1)
                steps.back().act = [act = steps.back().act, this, midwayShot] {
                    nvtest::SaveWindowPng(Dialog(), midwayShot);
                    act();
                };
        }
        return steps;
    }
    // One whole enrolment of `finger` run to the box it ends with, which OK closes; what the box
    // showed, and the pictures of the run to `pictures`.
    BoxContent EnrolToTheBox(const char* finger, int moreData, std::vector<int>* pictures = nullptr) {
        Script script(dialog);
        std::vector<Step> steps = WholeEnrollment(finger, moreData);
        BoxContent box;
        steps.push_back(Box([&box](HWND window) {
            box = ReadBox(window);
            ClickControl(window, IDC_MSGBOX_BUTTON1);
        }));
        EXPECT_EQ(script.Run(std::move(steps)), ENROLL_RESULT_DONE);
        if (pictures != nullptr)
            *pictures = script.pictures;
        return box;
    }

    // Steps to the dialog waiting for a touch, identifying or (after a touch of `finger`) enrolling;
    // then `act`.
    std::vector<Step> WaitingForATouch(bool enrolling, const char* finger, std::function<void()> act) {
        std::vector<Step> steps;
        if (enrolling)
            steps.push_back(Touch(finger, [this] { return Identifying(); }));
        steps.push_back(
            {"waiting for a touch",
             [this, enrolling] { return enrolling ? EnrollingAt(IDB_PROGRESS_FIRST) : Identifying(); },
             std::move(act)});
        return steps;
    }

    // The picture after the n-th accepted sample (the empty print before the first).
    static int EnrollPicture(int sample) { return EnrollProgressBitmap(EnrollSampleState(sample)); }

    CDlgEnroll dialog;
};

std::wstring Caption(int position) {
    return Text(IDS_SCANNED_FINGERPRINTS) + L" " + std::to_wstring(position);
}

//--- A whole enrolment

TEST_F(EnrollDialogTest, SevenSamplesFillThePictureByTheTableAndTheFingerLandsAtPositionOne) {
    EXPECT_TRUE(SimOk(L"samples 8"));
    Script script(dialog);
    std::vector<Step> steps = {WaitIdentifying([this] {
        // Layout as drawn: client area, header band, accent line, the Cancel label.
        RECT client = {};
        GetClientRect(Dialog(), &client);
        EXPECT_EQ(client.right, 480);
        EXPECT_EQ(client.bottom, 270);
        EXPECT_EQ(nvtest::ClientPixel(Dialog(), 200, 5), 0x2E2827u);
        EXPECT_EQ(nvtest::ClientPixel(Dialog(), 200, 58), 0xC2B82Bu);
        EXPECT_EQ(nvtest::ClientPixel(Dialog(), 5, 260), 0xF0F0F0u);
        const RECT cancel = nvtest::RectInParent(Item(IDC_ENROLL_CANCEL));
        EXPECT_EQ(cancel.left, 30);
        EXPECT_EQ(cancel.top, 205);
        EXPECT_EQ(cancel.right - cancel.left, 420);
        EXPECT_EQ(cancel.bottom - cancel.top, 45);
        const RECT picture = nvtest::RectInParent(Item(IDC_ENROLL_PICTURE));
        EXPECT_EQ(picture.left, 2);
        EXPECT_EQ(picture.top, 90);
        EXPECT_EQ(picture.right - picture.left, 96);
        const RECT title = nvtest::RectInParent(Item(IDC_ENROLL_TITLE));
        EXPECT_EQ(title.left, 30);
        EXPECT_EQ(title.top, 16);
        EXPECT_EQ(title.bottom - title.top, 24);
        EXPECT_GT(title.right, title.left + 100) << "as wide as its text";
        EXPECT_LT(title.right, 442) << "as wide as its text, clear of the close button";
        const RECT message = nvtest::RectInParent(Item(IDC_ENROLL_MESSAGE));
        EXPECT_EQ(message.left, 100);
        EXPECT_EQ(message.top, 90);
        EXPECT_EQ(message.right - message.left, 350);
        EXPECT_EQ(message.bottom - message.top, 80) << "four lines";
        const RECT close = nvtest::RectInParent(Item(IDC_ENROLL_CLOSE));
        EXPECT_EQ(close.left, 442);
        EXPECT_EQ(close.top, 20);
        EXPECT_EQ(close.right - close.left, 18);
        EXPECT_EQ(close.bottom - close.top, 18);
        EXPECT_EQ(WindowText(Item(IDC_ENROLL_CANCEL)), Text(IDS_CANCEL));
        EXPECT_EQ(dialog.GetNextSubFactor(), 0xF5);
        nvtest::SaveWindowPng(Dialog(), L"enroll-identifying");
    })};
    for (Step& s : WholeEnrollment("finger-new", 7, L"enroll-enrolling"))
        steps.push_back(std::move(s));
    BoxContent success;
    HWND boxOwner = nullptr, dialogWindow = nullptr;
    bool dialogEnabled = true;
    steps.push_back(Box([&](HWND box) {
        success = ReadBox(box);
        boxOwner = GetWindow(box, GW_OWNER);
        dialogWindow = Dialog();
        dialogEnabled = IsWindowEnabled(Dialog()) != FALSE;
        nvtest::SaveWindowPng(box, L"enroll-success-box");
        ClickControl(box, IDC_MSGBOX_BUTTON1);
    }));
    EXPECT_EQ(script.Run(std::move(steps)), ENROLL_RESULT_DONE);

    EXPECT_EQ(script.pictures, (std::vector<int>{288, 289, 290, 291, 292, 291, 292, 293, 292, 297}));
    EXPECT_EQ(success.caption, L"Scanned Fingerprints: 1");
    EXPECT_EQ(success.text, Text(IDS_CLICK_OK_TO_ENROLL));
    EXPECT_TRUE(success.link);
    EXPECT_EQ(boxOwner, dialogWindow) << "the box belongs to the dialog";
    EXPECT_FALSE(dialogEnabled);
    EXPECT_EQ(Pool(), me + " 0xF5 finger-new\n");
}

TEST_F(EnrollDialogTest, SamplesEighteenToTwentySwingBetweenTwoPicturesAndTheLinkStartsOver) {
    // The simulator's own finger answers every request after half a second: 21 samples in all.
    EXPECT_TRUE(SimOk(L"samples 21"));
    EXPECT_TRUE(SimOk(L"auto on"));
    Script script(dialog);
    std::vector<int> afterRestart;
    std::vector<Step> steps = {
        WaitIdentifying({}),
        Box([](HWND box) {
            EXPECT_EQ(ReadBox(box).caption, L"Scanned Fingerprints: 1");
            Sim(L"auto off");
            ClickControl(box, IDC_MSGBOX_ANOTHER);
        }),
        {"identifying again", [this] { return Identifying(); },
         [this] {
             EXPECT_EQ(dialog.GetNextSubFactor(), 0xF6);
             ClickControl(Dialog(), IDC_ENROLL_CANCEL);
         }},
    };
    EXPECT_EQ(script.Run(std::move(steps), 30000), ENROLL_RESULT_CANCELLED);

    std::vector<int> expected = {288, 289};
    for (int sample = 1; sample <= 20; ++sample)
        expected.push_back(EnrollPicture(sample));
    expected.insert(expected.end(), {297, 288});
    EXPECT_EQ(script.pictures, expected);
    const std::vector<int> last(script.pictures.end() - 5, script.pictures.end() - 2);
    EXPECT_EQ(last, (std::vector<int>{295, 296, 295}));
    const std::string pool = Pool();
    EXPECT_EQ(pool.rfind(me + " 0xF5 auto-finger-", 0), 0u) << pool;
    EXPECT_EQ(std::count(pool.begin(), pool.end(), '\n'), 1);
}

//--- Positions

TEST_F(EnrollDialogTest, WithPositionsOneAndThreeTakenTheFingerGoesToPositionTwo) {
    EXPECT_TRUE(SimOk(L"enroll . 0xF5 finger-one"));
    EXPECT_TRUE(SimOk(L"enroll . 0xF7 finger-three"));
    EXPECT_TRUE(SimOk(L"samples 2"));
    const BoxContent success = EnrolToTheBox("finger-two", 1);
    EXPECT_EQ(dialog.GetNextSubFactor(), 0xF6);
    EXPECT_EQ(success.caption, Caption(2));
    EXPECT_TRUE(success.link);
    EXPECT_EQ(Pool(), me + " 0xF5 finger-one\n" + me + " 0xF7 finger-three\n" + me + " 0xF6 finger-two\n");
}

TEST_F(EnrollDialogTest, TheLastFreePositionShowsTheSuccessBoxWithoutTheLink) {
    // Positions are filled from the first free one, so after a partial clear the last one left
    // can be any of them.
    for (const int hole : {10, 2}) {
        SCOPED_TRACE("position " + std::to_string(hole) + " free");
        ASSERT_TRUE(SimOk(L"reset"));
        std::string expectedPool;
        for (int position = 1; position <= 10; ++position) {
            if (position == hole)
                continue;
            wchar_t arguments[64];
            swprintf(arguments, 64, L"enroll . 0x%X finger-%d", 0xF4 + position, position);
            EXPECT_TRUE(SimOk(arguments));
            char line[32];
            snprintf(line, sizeof line, " 0x%X finger-%d\n", 0xF4 + position, position);
            expectedPool += me + line;
        }
        EXPECT_TRUE(SimOk(L"samples 1"));
        const BoxContent success = EnrolToTheBox("finger-new", 0);
        EXPECT_EQ(success.caption, Caption(hole));
        EXPECT_FALSE(success.link) << "no position is left for another finger";
        char last[32];
        snprintf(last, sizeof last, " 0x%X finger-new\n", 0xF4 + hole);
        EXPECT_EQ(Pool(), expectedPool + me + last);
    }
}

//--- Fingers enrolled already

TEST_F(EnrollDialogTest, AFingerOfAnotherAccountIsRefusedItsLinkIdentifiesAgainAndOkEndsWithOne) {
    EXPECT_TRUE(SimOk(std::wstring(L"enroll ") + kOtherAccount + L" 0xF5 finger-other"));
    const std::string poolBefore = Pool();
    Script script(dialog);
    std::vector<BoxContent> boxes;
    std::vector<Step> steps = {
        Touch("finger-other", [this] { return Identifying(); }),
        Box([this, &boxes](HWND box) {
            boxes.push_back(ReadBox(box));
            nvtest::SaveWindowPng(box, L"enroll-already-enrolled-box");
            // Under the box the dialog still identifies: nothing was reset yet.
            EXPECT_EQ(dialog.GetTitleText(), Text(IDS_TOUCH_SENSOR));
            ClickControl(box, IDC_MSGBOX_ANOTHER);
        }),
        Touch("finger-other", [this] { return Identifying(); }),
        Box([&boxes](HWND box) {
            boxes.push_back(ReadBox(box));
            ClickControl(box, IDC_MSGBOX_BUTTON1);
        }),
    };
    EXPECT_EQ(script.Run(std::move(steps)), ENROLL_RESULT_DONE);
    ASSERT_EQ(boxes.size(), 2u);
    for (const BoxContent& box : boxes) {
        EXPECT_EQ(box.caption, Text(IDS_FINGER_EXISTS_TITLE));
        EXPECT_EQ(box.text, Text(IDS_FINGER_EXISTS_TEXT));
        EXPECT_TRUE(box.link);
    }
    EXPECT_EQ(Pool(), poolBefore);
}

TEST_F(EnrollDialogTest, ADuplicateFoundAtCommitShowsTheAlreadyEnrolledBoxNotAFailure) {
    EXPECT_TRUE(SimOk(std::wstring(L"enroll ") + kOtherAccount + L" 0xF5 finger-other"));
    // The identification misses the finger, so only the commit finds it.
    EXPECT_TRUE(SimOk(L"fail IdentifyResult 0x80098003"));
    EXPECT_TRUE(SimOk(L"samples 2"));
    const std::string poolBefore = Pool();
    std::vector<int> pictures;
    const BoxContent box = EnrolToTheBox("finger-other", 1, &pictures);
    EXPECT_EQ(pictures, (std::vector<int>{288, 289, 290, 297}));
    EXPECT_EQ(box.caption, Text(IDS_FINGER_EXISTS_TITLE));
    EXPECT_EQ(box.text, Text(IDS_FINGER_EXISTS_TEXT));
    EXPECT_EQ(Pool(), poolBefore);
}

//--- Failures

struct FailureCase {
    const wchar_t* injection;
    int enrolTouches; // touches after the identification; -1: none; kNoTouch: not even one to identify
    const wchar_t* text;
    bool anotherProgramEnrols = false; // a program of the machine holds an enrolment open meanwhile
};
constexpr int kNoTouch = -2;

// Another program with an enrolment open from its start until its end.
class OtherEnrolment {
public:
    OtherEnrolment()
        : m_ready(CreateEventW(nullptr, TRUE, FALSE, L"nv-enrol-peer-ready")),
          m_go(CreateEventW(nullptr, TRUE, FALSE, L"nv-enrol-peer-go")),
          m_peer(testwin::ProgramBeside(L"sim_peer.exe"), L"enrol nv-enrol-peer") {}
    ~OtherEnrolment() {
        SetEvent(m_go);
        m_peer.Wait();
        CloseHandle(m_ready);
        CloseHandle(m_go);
    }
    OtherEnrolment(const OtherEnrolment&) = delete;
    OtherEnrolment& operator=(const OtherEnrolment&) = delete;
    bool Ready() { return WaitForSingleObject(m_ready, 20000) == WAIT_OBJECT_0; }

private:
    HANDLE m_ready, m_go;
    testwin::CapturedProcess m_peer;
};

TEST_F(EnrollDialogTest, FailuresShowTheFailureBoxWithTheCodeAndEndWithThree) {
    const FailureCase cases[] = {
        {L"fail IdentifyResult 0x80098010", -1, L"Identify failed. Error code = 0x80098010"},
        {L"fail CaptureResult 0x8007048F", 0, L"Enroll failed. Error code = 0x8007048f"},
        {L"fail EnrollCommit 0x80004005", 1, L"Enroll failed. Error code = 0x80004005"},
        // The identity has that position already: an error like any other, not a finger found twice.
        {L"fail EnrollCommit 0x8009801C", 1, L"Enroll failed. Error code = 0x8009801c"},
        // Starts the framework refuses fail their stage: the user is told, not left waiting.
        // The first open is the enumeration's, the second the identification's.
        {L"fail OpenSession 0x80004005 2", kNoTouch, L"Identify failed. Error code = 0x80004005"},
        {L"fail IdentifyWithCallback 0x80070005", kNoTouch, L"Identify failed. Error code = 0x80070005"},
        {L"fail EnrollBegin 0x80070005", -1, L"Enroll failed. Error code = 0x80070005"},
        {L"fail EnrollBegin 0x80070021", -1, L"Enroll failed. Error code = 0x80070021"},
        {L"fail EnrollCaptureWithCallback 0x80098010", -1, L"Enroll failed. Error code = 0x80098010"},
        {nullptr, -1, L"Enroll failed. Error code = 0x80098007", true},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(testtext::Narrow(c.text));
        ASSERT_TRUE(SimOk(L"reset"));
        EXPECT_TRUE(SimOk(L"samples 2"));
        if (c.injection != nullptr) {
            EXPECT_TRUE(SimOk(c.injection));
        }
        std::unique_ptr<OtherEnrolment> other;
        if (c.anotherProgramEnrols) {
            other = std::make_unique<OtherEnrolment>();
            ASSERT_TRUE(other->Ready());
        }
        Script script(dialog);
        std::vector<Step> steps;
        if (c.enrolTouches != kNoTouch) {
            steps.push_back(Touch("finger-x", [this] { return Identifying(); }));
            // The other program had the focus for its begin; the sensor's samples follow the focus.
            steps.back().act = [this, act = steps.back().act] {
                SetForegroundWindow(Dialog());
                act();
            };
        }
        for (int touch = 0; touch <= c.enrolTouches; ++touch)
            steps.push_back(Touch("finger-x", [this, touch] { return EnrollingAt(EnrollPicture(touch)); }));
        BoxContent box;
        steps.push_back(Box([&box](HWND window) {
            box = ReadBox(window);
            ClickControl(window, IDC_MSGBOX_BUTTON1);
        }));
        EXPECT_EQ(script.Run(std::move(steps)), ENROLL_RESULT_FAILED);
        EXPECT_EQ(box.caption, L"Failure");
        EXPECT_EQ(box.text, c.text);
        EXPECT_FALSE(box.link);
        EXPECT_EQ(Pool(), "");
        EXPECT_EQ(State().find("fail\t"), std::string::npos) << "the step was not refused";
    }
}

//--- Cancel

// One way of cancelling, used while the dialog waits for a touch (identifying, or enrolling).
struct CancelCase {
    const char* how;
    bool enrolling;
    std::function<void(CDlgEnroll&)> cancel;
};

TEST_F(EnrollDialogTest, EveryCancelEndsWithTwoAndCancelsTheFrameworkOperation) {
    const CancelCase cases[] = {
        {"Cancel label", false, [](CDlgEnroll& d) { ClickControl(d.GetSafeHwnd(), IDC_ENROLL_CANCEL); }},
        {"close button", false, [](CDlgEnroll& d) { ClickControl(d.GetSafeHwnd(), IDC_ENROLL_CLOSE); }},
        {"suspend", false,
         [](CDlgEnroll& d) { SendMessageW(d.GetSafeHwnd(), WM_POWERBROADCAST, PBT_APMSUSPEND, 0); }},
        {"owner", false, [](CDlgEnroll& d) { d.CancelEnroll(); }},
        {"Cancel label while enrolling", true,
         [](CDlgEnroll& d) { ClickControl(d.GetSafeHwnd(), IDC_ENROLL_CANCEL); }},
        {"suspend while enrolling", true,
         [](CDlgEnroll& d) { SendMessageW(d.GetSafeHwnd(), WM_POWERBROADCAST, PBT_APMSUSPEND, 0); }},
    };
    for (const CancelCase& c : cases) {
        SCOPED_TRACE(c.how);
        ASSERT_TRUE(SimOk(L"reset"));
        // A success code injected into WinBioCancel changes nothing but is used up by the call.
        EXPECT_TRUE(SimOk(L"fail WinBioCancel 1"));
        Script script(dialog);
        EXPECT_EQ(script.Run(WaitingForATouch(c.enrolling, "finger-c", [this, &c] { c.cancel(dialog); })),
                  ENROLL_RESULT_CANCELLED);
        const std::string state = State();
        EXPECT_EQ(state.find("fail\tCancel"), std::string::npos) << state;
        EXPECT_EQ(state.find("fail\tWinBioCancel"), std::string::npos) << state;
        // Nothing of ours waits for a touch any more: the next one is lost.
        EXPECT_EQ(Sim(L"touch finger-late").code, 1u);
        EXPECT_EQ(Pool(), "");
    }
}

// The framework completes a cancelled request when it gets round to it, with no bound: here only
// after the next run has started, which must go on as if nothing came.
TEST_F(EnrollDialogTest, ALateCompletionOfACancelledRequestDoesNotReachTheNextRun) {
    struct Row {
        const char* stage;
        bool enrolling;
        bool refusedStart = false; // the next run's start is refused
    };
    for (const Row row :
         {Row{"identifying", false}, Row{"enrolling", true}, Row{"refused start", false, true}}) {
        SCOPED_TRACE(row.stage);
        ASSERT_TRUE(SimOk(L"reset"));
        EXPECT_TRUE(SimOk(L"cancel-delay 3000"));
        Script first(dialog);
        ASSERT_EQ(first.Run(WaitingForATouch(row.enrolling, "finger-a",
                                             [this] { ClickControl(Dialog(), IDC_ENROLL_CANCEL); })),
                  ENROLL_RESULT_CANCELLED);
        if (row.refusedStart) {
            // The next run's start is refused, and its failure box is up when the late completion
            // comes: that completion belongs to the run before, and opens no second box.
            ASSERT_TRUE(SimOk(L"fail OpenSession 0x80004005 2"));
            Script refused(dialog);
            const DWORD started = GetTickCount();
            HWND failure = nullptr;
            std::vector<Step> steps = {
                {"the failure box", [] { return FindBox() != nullptr; }, [&failure] { failure = FindBox(); }},
                {"the box alone past the late completion",
                 [started] { return GetTickCount() - started > 5000; },
                 [&failure] {
                     EXPECT_EQ(BoxesOfThisThread(), 1);
                     EXPECT_EQ(ReadBox(failure).text, L"Identify failed. Error code = 0x80004005");
                     ClickControl(failure, IDC_MSGBOX_BUTTON1);
                 }},
            };
            EXPECT_EQ(refused.Run(std::move(steps)), ENROLL_RESULT_FAILED);
            continue;
        }

        // The cancelled request completes 3 s after the cancel, well into the next run (a
        // completion before that run has its window would find no window to go to).
        Script second(dialog);
        const DWORD started = GetTickCount();
        std::vector<Step> again = {
            {"identifying past the late completion",
             [this, started] { return GetTickCount() - started > 6000 && Identifying(); }, [] {}},
            Touch("finger-b", [this] { return Identifying(); }),
            CancelWhenEnrolling("enrolling"),
        };
        EXPECT_EQ(second.Run(std::move(again)), ENROLL_RESULT_CANCELLED);
    }
}

//--- Refused samples

// A refused sample says what to do differently, in the first touch's check and in the enrolment;
// the hint goes with the next accepted sample, and a new run starts without one.
TEST_F(EnrollDialogTest, ARefusedSampleShowsTheHintOfItsRejectDetailUntilTheNextGoodOne) {
    struct Row {
        unsigned detail;
        UINT hint;
    };
    const Row rows[] = {{1, IDS_HINT_LOWER},        {2, IDS_HINT_HIGHER},   {3, IDS_HINT_RIGHT},
                        {4, IDS_HINT_LEFT},         {5, IDS_HINT_LONGER},   {6, IDS_HINT_SOONER},
                        {7, IDS_HINT_FLAT},         {8, IDS_HINT_STRAIGHT}, {9, IDS_HINT_COVER},
                        {10, IDS_HINT_SAME_FINGER}, {0x42, IDS_HINT_AGAIN}};
    const auto hintShown = [this]() -> std::wstring {
        HWND hint = Item(IDC_ENROLL_HINT);
        return hint != nullptr && IsWindowVisible(hint) ? WindowText(hint) : std::wstring();
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.detail);
        const std::wstring bad = L"bad --wait 5000 " + std::to_wstring(row.detail);
        const std::wstring expected = Text(row.hint);
        Script script(dialog);
        std::vector<Step> steps = {
            {"identifying, no hint", [&] { return Identifying() && hintShown().empty(); },
             [&] { EXPECT_TRUE(SimOk(bad)); }},
            Touch("finger-h", [&] { return Identifying() && hintShown() == expected; }),
            {"enrolling, the hint gone",
             [&] { return EnrollingAt(IDB_PROGRESS_FIRST) && hintShown().empty(); },
             [&] { EXPECT_TRUE(SimOk(bad)); }},
            Touch("finger-h", [&] { return EnrollingAt(IDB_PROGRESS_FIRST) && hintShown() == expected; }),
            {"the hint gone with the next good sample",
             [&] { return EnrollingAt(EnrollPicture(1)) && hintShown().empty(); },
             [this] { ClickControl(Dialog(), IDC_ENROLL_CANCEL); }},
        };
        EXPECT_EQ(script.Run(std::move(steps)), ENROLL_RESULT_CANCELLED);
    }
}

//--- Keys, bad samples

TEST_F(EnrollDialogTest, EnterAndEscapeDoNotCloseTheDialog) {
    Script script(dialog);
    const auto press = [this](WPARAM key) {
        HWND focus = GetFocus();
        nvtest::PostKey(focus != nullptr && GetAncestor(focus, GA_ROOT) == Dialog() ? focus : Dialog(), key);
        nvtest::PumpFor(300);
    };
    std::vector<Step> steps = {
        WaitIdentifying([press] {
            press(VK_RETURN);
            press(VK_ESCAPE);
        }),
        // Still there, and the identification still runs: a touch moves it on.
        Touch("finger-k", [this] { return Identifying(); }),
        {"enrolling", [this] { return EnrollingAt(IDB_PROGRESS_FIRST); },
         [press] {
             press(VK_ESCAPE);
             press(VK_RETURN);
         }},
        CancelWhenEnrolling("still enrolling"),
    };
    EXPECT_EQ(script.Run(std::move(steps)), ENROLL_RESULT_CANCELLED);
}

TEST_F(EnrollDialogTest, ABadSampleWhileIdentifyingIdentifiesAgain) {
    EXPECT_TRUE(SimOk(L"samples 2"));
    Script script(dialog);
    std::vector<Step> steps = {
        {"identifying", [this] { return Identifying(); }, [] { EXPECT_TRUE(SimOk(L"bad --wait 5000 5")); }},
        {"the bad sample taken", [] { return State().find("sample\tbad") == std::string::npos; }, [] {}},
        {"identifying after the bad sample",
         [this] {
             nvtest::PumpFor(300);
             return Identifying();
         },
         [] { EXPECT_TRUE(SimOk(L"touch --wait 5000 finger-b")); }},
        CancelWhenEnrolling("enrolling"),
    };
    EXPECT_EQ(script.Run(std::move(steps)), ENROLL_RESULT_CANCELLED);
}

TEST_F(EnrollDialogTest, EachRunStartsOverWithTheInitialTextsAndAFreshPosition) {
    EXPECT_TRUE(SimOk(L"samples 1"));
    Script first(dialog);
    std::vector<Step> steps = WholeEnrollment("finger-1", 0);
    steps.push_back(ClickBoxOk());
    ASSERT_EQ(first.Run(std::move(steps)), ENROLL_RESULT_DONE);
    EXPECT_EQ(dialog.GetNextSubFactor(), 0xF5);

    Script second(dialog);
    std::vector<Step> again = {
        {"identifying", [this] { return Identifying(); },
         [this] {
             EXPECT_EQ(dialog.GetNextSubFactor(), 0xF6);
             dialog.CancelEnroll();
         }},
    };
    EXPECT_EQ(second.Run(std::move(again)), ENROLL_RESULT_CANCELLED);
    EXPECT_EQ(second.pictures.front(), IDB_FINGER_OUTLINE);
}

} // namespace
