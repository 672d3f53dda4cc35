// The real NorvikFingerprint.exe under Wine with the simulated sensor: the main window's layout,
// colours and count texts, the commands and their busy rule, the keyboard, the administrator
// program's messages and the single-instance rule. Screenshots of each state are artefacts.
#include "tests/support/ProgramTestFixture.h"
#include "tests/support/AccessibleProbe.h"

#include <algorithm>
#include <map>
#include <set>

namespace apptest {
namespace {

constexpr COLORREF kHeader = 0x2E2827, kAccent = 0xC2B82B, kPanel = 0xFFFFFF, kBack = 0xF0F0F0;
constexpr COLORREF kActive = 0xB3977F, kInactive = 0x3C3C3C;

void ExpectRect(HWND main, int id, int x, int y, int w, int h) {
    const RECT rc = ControlRect(main, id);
    EXPECT_EQ(rc.left, x) << "control " << id;
    EXPECT_EQ(rc.top, y) << "control " << id;
    if (w >= 0) {
        EXPECT_EQ(rc.right - rc.left, w) << "control " << id;
    }
    if (h >= 0) {
        EXPECT_EQ(rc.bottom - rc.top, h) << "control " << id;
    }
}

// A point inside a command label that its text never covers.
COLORREF EnrollFill(HWND main) {
    return Pixel(main, 270, 250);
}
COLORREF ClearFill(HWND main) {
    return Pixel(main, 270, 459);
}

// The count and the fill of both commands (inactive ones are dark).
void ExpectCountAndFills(HWND main, const wchar_t* count, COLORREF enroll, COLORREF clear) {
    EXPECT_EQ(CountText(main), count);
    EXPECT_EQ(EnrollFill(main), enroll);
    EXPECT_EQ(ClearFill(main), clear);
}

// The width of a text in the count label's font, measured here.
LONG CountTextWidth(const wchar_t* text) {
    HFONT font =
        CreateFontW(20, 0, 0, 0, 400, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_CHARACTER_PRECIS,
                    CLIP_CHARACTER_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Segoe UI");
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE size = {};
    GetTextExtentPoint32W(dc, text, static_cast<int>(wcslen(text)), &size);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    DeleteObject(font);
    return size.cx;
}

// Enrolments of the signed-in account at these sub-factors, as a commit would add them.
void EnrollInPool(const std::vector<std::wstring>& subFactors) {
    int finger = 0;
    for (const std::wstring& s : subFactors)
        ASSERT_TRUE(SimOk(L"enroll . " + s + L" finger-" + std::to_wstring(++finger))) << Narrow(s);
}

// What a reader in another process hears of one control.
struct ReaderRow {
    int id;
    long role;
    const wchar_t* name;
    const wchar_t* action;
    bool unavailable;
};

void ExpectReaderSees(HWND window, const std::vector<ReaderRow>& rows) {
    for (const ReaderRow& row : rows) {
        SCOPED_TRACE("control " + std::to_string(row.id));
        const testwin::AccessibleFacts facts = testwin::ReadAccessible(window, row.id);
        ASSERT_TRUE(facts.found);
        EXPECT_EQ(facts.role, row.role);
        EXPECT_EQ(Narrow(facts.name), Narrow(row.name));
        EXPECT_EQ(Narrow(facts.action), Narrow(row.action));
        EXPECT_EQ((facts.state & STATE_SYSTEM_UNAVAILABLE) != 0, row.unavailable);
        const bool command = row.role == ROLE_SYSTEM_PUSHBUTTON || row.role == ROLE_SYSTEM_LINK;
        EXPECT_EQ((facts.state & STATE_SYSTEM_FOCUSABLE) != 0, command);
    }
}

// The control among these that a reader finds focused, once one is (0: none in time).
int FocusedCommand(HWND window, std::initializer_list<int> ids) {
    int focused = 0;
    WaitUntil(
        [&] {
            for (int id : ids)
                if (testwin::ReadAccessible(window, id).state & STATE_SYSTEM_FOCUSED)
                    return (focused = id) != 0;
            return false;
        },
        3000);
    return focused;
}

// Name changes the program announces, seen out of context as a reader sees them.
using MainWindow = ProgramTest;

TEST_F(MainWindow, ShowsExactlyTheControlsOfASupportedSystemWhereTheLayoutPutsThem) {
    HWND main = StartReady();
    ASSERT_NE(main, nullptr);
    MouseAway();
    const SIZE client = ClientSize(main);
    EXPECT_EQ(client.cx, 716);
    EXPECT_EQ(client.cy, 520);
    wchar_t title[64] = {};
    GetWindowTextW(main, title, 64);
    EXPECT_STREQ(title, L"Norvik Fingerprint");

    const std::set<int> shown = {
        IDC_MAIN_TITLE,      IDC_MAIN_MINIMIZE,    IDC_MAIN_CLOSE,  IDC_MAIN_SIDE_PICTURE, IDC_MAIN_COUNT,
        IDC_MAIN_COUNT_TEXT, IDC_MAIN_ENROLL_HINT, IDC_MAIN_ENROLL, IDC_MAIN_CLEAR_HINT,   IDC_MAIN_CLEAR};
    const std::set<int> hidden = {IDC_MAIN_ENROLL_CAPTION, IDC_MAIN_ADMIN_CAPTION, IDC_MAIN_ENROLL_PICTURE,
                                  IDC_MAIN_ADMIN_PICTURE,  IDC_MAIN_HELLO_TEXT,    IDC_MAIN_HELLO_NAME,
                                  IDC_MAIN_HELLO_LINK,     IDC_MAIN_PBA_TEXT,      IDC_MAIN_IMPORT,
                                  IDC_MAIN_SETTINGS,       IDC_MAIN_BATTERY,       IDC_MAIN_PLUG_AC,
                                  IDC_MAIN_BULLET,         IDC_MAIN_UP_TO_DATE};
    std::set<int> seen;
    for (const ControlInfo& c : Controls(main)) {
        seen.insert(c.id);
        if (shown.count(c.id))
            EXPECT_TRUE(c.visible) << "control " << c.id << " should be shown";
        else
            EXPECT_FALSE(c.visible) << "control " << c.id << " should be hidden";
    }
    for (int id : shown)
        EXPECT_TRUE(seen.count(id)) << id;
    for (int id : hidden)
        EXPECT_TRUE(seen.count(id)) << id;

    ExpectRect(main, IDC_MAIN_TITLE, 30, 16, -1, 24);
    ExpectRect(main, IDC_MAIN_CLOSE, 678, 20, 18, 18);
    ExpectRect(main, IDC_MAIN_MINIMIZE, 640, 20, 18, 18);
    ExpectRect(main, IDC_MAIN_SIDE_PICTURE, 0, 60, 266, 460);
    ExpectRect(main, IDC_MAIN_COUNT, 284, 96, -1, -1);
    const RECT count = ControlRect(main, IDC_MAIN_COUNT);
    ExpectRect(main, IDC_MAIN_COUNT_TEXT, count.right + 2, count.top, -1, count.bottom - count.top);
    ExpectRect(main, IDC_MAIN_ENROLL_HINT, 284, count.bottom, 686 - 284 - 2, -1);
    const RECT hint = ControlRect(main, IDC_MAIN_ENROLL_HINT);
    EXPECT_EQ(hint.bottom - hint.top, 2 * (count.bottom - count.top)) << "two lines of the same font";
    ExpectRect(main, IDC_MAIN_ENROLL, 266, 246, 420, 45);
    ExpectRect(main, IDC_MAIN_CLEAR_HINT, 284, 327, -1, -1);
    ExpectRect(main, IDC_MAIN_CLEAR, 266, 455, 420, 45);
    // The title's width is its text's: it ends well before the minimise button.
    EXPECT_LT(ControlRect(main, IDC_MAIN_TITLE).right, 640);

    EXPECT_EQ(ControlText(main, IDC_MAIN_TITLE), L"Norvik Fingerprint");
    EXPECT_EQ(ControlText(main, IDC_MAIN_COUNT_TEXT), L"fingerprint data have been import.");
    EXPECT_EQ(ControlText(main, IDC_MAIN_ENROLL_HINT), L"Enroll new fingerprint data with this account.");
    EXPECT_EQ(ControlText(main, IDC_MAIN_ENROLL), L"Enroll");
    EXPECT_EQ(ControlText(main, IDC_MAIN_CLEAR_HINT), L"Clear this account's fingerprint data.");
    EXPECT_EQ(ControlText(main, IDC_MAIN_CLEAR), L"Clear");
    EXPECT_EQ(ControlText(main, IDC_MAIN_PLUG_AC), L"Please plug in the AC adapter.")
        << "set up, though hidden";
    EXPECT_EQ(ControlText(main, IDC_MAIN_BATTERY).substr(0, 8), std::wstring(L"At\u00a0least"))
        << "no-break spaces";
    Screenshot(main, L"main-window-empty");
}

TEST_F(MainWindow, PaintsTheHeaderTheAccentLineAndThePanels) {
    HWND main = StartReady();
    ASSERT_NE(main, nullptr);
    MouseAway();
    EXPECT_EQ(Pixel(main, 300, 0), kHeader);
    EXPECT_EQ(Pixel(main, 700, 55), kHeader) << "last row of the header";
    EXPECT_EQ(Pixel(main, 300, 56), kAccent);
    EXPECT_EQ(Pixel(main, 715, 59), kAccent) << "the line runs the whole width";
    EXPECT_EQ(Pixel(main, 300, 60), kBack) << "the line is four rows";
    EXPECT_EQ(Pixel(main, 300, 70), kBack);
    // The panels: 266..685 wide, rows 76..231 and 307..440.
    EXPECT_EQ(Pixel(main, 266, 76), kPanel);
    EXPECT_EQ(Pixel(main, 685, 231), kPanel);
    EXPECT_EQ(Pixel(main, 686, 200), kBack) << "30-pixel right margin";
    EXPECT_EQ(Pixel(main, 680, 232), kBack);
    EXPECT_EQ(Pixel(main, 680, 240), kBack) << "between the panel and Enroll";
    EXPECT_EQ(Pixel(main, 680, 306), kBack);
    EXPECT_EQ(Pixel(main, 266, 307), kPanel);
    EXPECT_EQ(Pixel(main, 685, 440), kPanel);
    EXPECT_EQ(Pixel(main, 680, 441), kBack);
    EXPECT_EQ(Pixel(main, 700, 510), kBack);
    // Count 0: Enroll active, Clear inactive.
    ExpectCountAndFills(main, L" 0/10", kActive, kInactive);
}

TEST_F(MainWindow, BeforeTheStartUpChainTheCountIsDashesAndTheWindowIsBusy) {
    // With "ShowWelcome" 0 the chain begins with the credential upkeep, which waits for the
    // database mutex held here: the window stays in its state from before the checks.
    ASSERT_TRUE(m_showWelcome.Set(0));
    SharedFilesGuard files;
    HANDLE mutex = CreateMutexW(nullptr, TRUE, L"Norvik Fingerprint Database");
    ASSERT_NE(mutex, nullptr);
    EnrollInPool({L"1"});
    ASSERT_TRUE(m_program.Start());
    HWND main = m_program.WaitMainWindow();
    ASSERT_NE(main, nullptr);
    Sleep(1500); // well past the 500 ms of the start-up timer
    MouseAway();
    // Styled for count 0 during the layout.
    ExpectCountAndFills(main, L"--/10", kActive, kInactive);
    Screenshot(main, L"main-window-before-start-up");
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    ASSERT_NE(m_program.WaitReady(), nullptr);
    EXPECT_EQ(CountText(main), L" 1/10");
}

TEST_F(MainWindow, CountsTheAccountsEnrolmentsOnly) {
    EnrollInPool({L"1"});
    ASSERT_TRUE(SimOk(L"enroll S-1-5-21-7-7-7-1001 2 finger-other"));
    HWND main = StartReady();
    ASSERT_NE(main, nullptr);
    MouseAway();
    ExpectCountAndFills(main, L" 1/10", kActive, kActive);
    Screenshot(main, L"main-window-one-finger");
}

TEST_F(MainWindow, TwelveEnrolmentsShowAsTwelveOfTenWithEnrollInactive) {
    EnrollInPool({L"1", L"2", L"3", L"4", L"5", L"6", L"7", L"8", L"9", L"10", L"0xF5", L"0xF6"});
    HWND main = StartReady();
    ASSERT_NE(main, nullptr);
    MouseAway();
    ExpectCountAndFills(main, L"12/10", kInactive, kActive);
    // The box is sized once, in the layout; the next text sits where it was.
    const RECT count = ControlRect(main, IDC_MAIN_COUNT);
    EXPECT_EQ(ControlRect(main, IDC_MAIN_COUNT_TEXT).left, count.right + 2);
    Screenshot(main, L"main-window-twelve-fingers");
}

TEST_F(MainWindow, WithTenFingersEnrollIgnoresClicks) {
    EnrollInPool({L"1", L"2", L"3", L"4", L"5", L"0xF5", L"0xF6", L"0xF7", L"0xF8", L"0xF9"});
    HWND main = StartReady();
    ASSERT_NE(main, nullptr);
    MouseAway();
    EXPECT_EQ(CountText(main), L"10/10");
    EXPECT_GE(ControlRect(main, IDC_MAIN_COUNT).right - ControlRect(main, IDC_MAIN_COUNT).left,
              CountTextWidth(L"10/10"))
        << "the count is cut off";
    EXPECT_EQ(EnrollFill(main), kInactive);
    ASSERT_TRUE(Click(main, IDC_MAIN_ENROLL));
    Sleep(1500);
    EXPECT_EQ(m_program.EnrollDialog(), nullptr) << "an inactive Enroll reports no click";
    EXPECT_EQ(m_program.Overlay(), nullptr);
    EXPECT_TRUE(m_program.Running());
    Screenshot(main, L"main-window-ten-fingers");
}

TEST_F(MainWindow, ClearRemovesTheAccountsEnrolmentsAndKeepsOthers) {
    EnrollInPool({L"1", L"0xF5", L"0xF6"});
    ASSERT_TRUE(SimOk(L"enroll S-1-5-21-7-7-7-1001 3 finger-other"));
    HWND main = StartReady();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(CountText(main), L" 3/10");
    ASSERT_TRUE(Click(main, IDC_MAIN_CLEAR));
    ASSERT_TRUE(WaitUntil([&] { return CountText(main) == L" 0/10"; }, 10000));
    EXPECT_EQ(Pool(), "S-1-5-21-7-7-7-1001 0x03 finger-other\n") << "only the other account's finger stays";
    MouseAway();
    EXPECT_TRUE(WaitUntil([&] { return ClearFill(main) == kInactive; }, 5000));
    EXPECT_EQ(EnrollFill(main), kActive);
    Screenshot(main, L"main-window-after-clear");
    EXPECT_EQ(m_program.Overlay(), nullptr) << "Clear shows no overlay";

    // Clear gave the window back: the next command runs.
    ASSERT_TRUE(Click(main, IDC_MAIN_ENROLL));
    EXPECT_NE(m_program.WaitEnrollDialog(10000), nullptr) << "Enroll after Clear was ignored";
}

TEST_F(MainWindow, AFailedClearTellsNothingAndShowsTheCountAsItIsNow) {
    EnrollInPool({L"1", L"2"});
    HWND main = StartReady();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(CountText(main), L" 2/10");
    // A third finger the window has not counted yet, and a deletion the service refuses: the
    // count afterwards must come from the service, not from what was shown or hoped for.
    ASSERT_TRUE(SimOk(L"enroll . 3 finger-3"));
    ASSERT_TRUE(SimOk(L"fail DeleteTemplate 0x80098010"));
    ASSERT_TRUE(Click(main, IDC_MAIN_CLEAR));
    EXPECT_TRUE(WaitUntil([&] { return CountText(main) == L" 3/10"; }, 10000)) << Narrow(CountText(main));
    Sleep(800);
    EXPECT_EQ(m_program.MessageBox(), nullptr) << "a failed Clear is not reported to the user";
    EXPECT_EQ(m_program.Overlay(), nullptr);
    const std::string pool = Pool();
    EXPECT_EQ(std::count(pool.begin(), pool.end(), '\n'), 3) << pool;
    Screenshot(main, L"main-window-after-failed-clear");

    // The failure gave the window back too; the refusal was a one-off.
    ASSERT_TRUE(Click(main, IDC_MAIN_CLEAR));
    EXPECT_TRUE(WaitUntil([&] { return CountText(main) == L" 0/10"; }, 10000));
    EXPECT_EQ(Pool(), "");
}

TEST_F(MainWindow, EnterAndEscapeLeaveTheWindowOpen) {
    HWND main = StartReady();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(Key(main, L"enter"));
    ASSERT_TRUE(Key(main, L"escape"));
    ASSERT_TRUE(Key(main, L"enter --sendinput"));
    ASSERT_TRUE(Key(main, L"escape --sendinput"));
    EXPECT_FALSE(m_program.WaitExit(1500).has_value()) << "a key ended the main window";
    EXPECT_EQ(m_program.MainWindow(), main);
}

// The accessible objects of every dialog, read through oleacc from this process, as a screen
// reader reads them; Enroll's default action opens the enrolment dialog.
TEST_F(MainWindow, AReaderInAnotherProcessMeetsEveryCommandWithItsRoleNameStateAndAction) {
    testwin::ComApartment com;
    HWND main = StartReady();
    ASSERT_NE(main, nullptr);
    const long button = ROLE_SYSTEM_PUSHBUTTON, text = ROLE_SYSTEM_STATICTEXT;
    ExpectReaderSees(
        main, {{IDC_MAIN_ENROLL, button, L"Enroll", L"Press", false},
               {IDC_MAIN_CLEAR, button, L"Clear", L"Press", true}, // no finger to clear
               {IDC_MAIN_MINIMIZE, button, L"Minimize", L"Press", false},
               {IDC_MAIN_CLOSE, button, L"Close", L"Press", false},
               {IDC_MAIN_COUNT, text, L" 0/10", L"", false},
               {IDC_MAIN_ENROLL_HINT, text, L"Enroll new fingerprint data with this account.", L"", false},
               {IDC_MAIN_SIDE_PICTURE, ROLE_SYSTEM_GRAPHIC, L"", L"", false}});
    // Whenever a click would do nothing, the reader finds the command unavailable and its default
    // action does nothing either: held by the administrator program, busy under the enrolment
    // dialog, and behind the removal box below.
    const auto expectInert = [&](HWND window, const char* why) {
        EXPECT_NE(testwin::ReadAccessible(window, IDC_MAIN_ENROLL).state & STATE_SYSTEM_UNAVAILABLE, 0)
            << why;
        const size_t windows = m_program.Windows().size();
        EXPECT_EQ(testwin::AccessibleControl(GetDlgItem(window, IDC_MAIN_ENROLL)).DoDefaultAction(), S_OK);
        Sleep(1000);
        EXPECT_EQ(m_program.Windows().size(), windows) << why << ": Enroll's default action opened something";
    };
    EXPECT_EQ(SendRegistered(main, L"RegMsgAdminStart"), 1);
    for (int id : {IDC_MAIN_ENROLL, IDC_MAIN_MINIMIZE, IDC_MAIN_CLOSE})
        EXPECT_NE(testwin::ReadAccessible(main, id).state & STATE_SYSTEM_UNAVAILABLE, 0) << "held: " << id;
    expectInert(main, "held");
    EXPECT_EQ(SendRegistered(main, L"RegMsgAdminStop"), 1);
    EXPECT_EQ(testwin::ReadAccessible(main, IDC_MAIN_ENROLL).state & STATE_SYSTEM_UNAVAILABLE, 0);

    // The call returns at once; the dialog opens from the program's own loop.
    EXPECT_EQ(testwin::AccessibleControl(GetDlgItem(main, IDC_MAIN_ENROLL)).DoDefaultAction(), S_OK);
    HWND dialog = m_program.WaitEnrollDialog(10000);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(Narrow(testwin::WindowText(dialog)), "Touch the Fingerprint Sensor");
    ExpectReaderSees(
        dialog,
        {{IDC_ENROLL_CANCEL, button, L"Cancel", L"Press", false},
         {IDC_ENROLL_CLOSE, button, L"Close", L"Press", false},
         {IDC_ENROLL_TITLE, text, L"Touch the Fingerprint Sensor", L"", false},
         {IDC_ENROLL_MESSAGE, text,
          L"Repeatedly lift and place your finger on the sensor until setup is complete.", L"", false},
         {IDC_ENROLL_PICTURE, ROLE_SYSTEM_PROGRESSBAR, L"Touch the Fingerprint Sensor", L"", false}});
    EXPECT_EQ(Narrow(testwin::ReadAccessible(dialog, IDC_ENROLL_PICTURE).value), "0%");
    expectInert(main, "busy");

    // The new instruction is announced; the picture tells how far the print has filled.
    testwin::WinEventWatch watch(m_program.Pid(), EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_NAMECHANGE);
    ASSERT_TRUE(SimOk(L"touch --wait 10000 finger-r"));
    EXPECT_TRUE(watch.WaitFor(
        [](const auto&) {
            return !testwin::WinEventWatch::Of(EVENT_OBJECT_NAMECHANGE, IDC_ENROLL_MESSAGE).empty();
        },
        5000))
        << "no name change of the instruction";
    EXPECT_EQ(Narrow(testwin::ReadAccessible(dialog, IDC_ENROLL_MESSAGE).name), "Great, touch sensor again.");
    EXPECT_EQ(Narrow(testwin::WindowText(dialog)), "Enroll Fingerprint Data");
    for (int touch = 0; touch < 3; ++touch)
        ASSERT_TRUE(SimOk(L"touch --wait 10000 finger-r"));
    EXPECT_TRUE(
        WaitUntil([&] { return testwin::ReadAccessible(dialog, IDC_ENROLL_PICTURE).value == L"37%"; }, 5000))
        << Narrow(testwin::ReadAccessible(dialog, IDC_ENROLL_PICTURE).value);
    EXPECT_EQ(Narrow(testwin::ReadAccessible(dialog, IDC_ENROLL_PICTURE).name), "Enroll Fingerprint Data");
    for (int touch = 0; touch < 5; ++touch)
        ASSERT_TRUE(SimOk(L"touch --wait 10000 finger-r"));

    HWND box = m_program.WaitMessageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(Narrow(testwin::WindowText(box)), "Scanned Fingerprints: 1");
    ExpectReaderSees(box, {{IDC_MSGBOX_BUTTON1, button, L"OK", L"Press", false},
                           {IDC_MSGBOX_ANOTHER, ROLE_SYSTEM_LINK, L"Scan another finger", L"Jump", false},
                           {IDC_MSGBOX_CLOSE, button, L"Close", L"Press", false},
                           {IDC_MSGBOX_TITLE, text, L"Scanned Fingerprints: 1", L"", false}});
    EXPECT_NE(testwin::ReadAccessible(box, IDC_MSGBOX_BUTTON1).state & STATE_SYSTEM_DEFAULT, 0)
        << "Enter presses OK";
    EXPECT_EQ(testwin::ReadAccessible(box, IDC_MSGBOX_CLOSE).state & STATE_SYSTEM_DEFAULT, 0);
    EXPECT_NE(testwin::ReadAccessible(box, IDC_MSGBOX_ANOTHER).state & STATE_SYSTEM_LINKED, 0);
    EXPECT_EQ(testwin::AccessibleControl(GetDlgItem(box, IDC_MSGBOX_BUTTON1)).DoDefaultAction(), S_OK);
    EXPECT_TRUE(WaitUntil([&] { return CountText(main) == L" 1/10"; }, 10000));
    ExpectReaderSees(main, {{IDC_MAIN_CLEAR, button, L"Clear", L"Press", false},
                            {IDC_MAIN_COUNT, text, L" 1/10", L"", false}});

    ASSERT_TRUE(SimOk(L"remove"));
    HWND removal = m_program.WaitMessageBox();
    ASSERT_NE(removal, nullptr);
    EXPECT_NE(testwin::ReadAccessible(main, IDC_MAIN_CLEAR).state & STATE_SYSTEM_UNAVAILABLE, 0);
    expectInert(main, "behind the removal box");
    ASSERT_TRUE(ClickBoxOk(removal));
    EXPECT_TRUE(m_program.WaitExit(15000).has_value());
}

// EVENT_OBJECT_LIVEREGIONCHANGED, which older SDK headers lack.
constexpr DWORD kEventLiveRegionChanged = 0x8019;

// The announcements of one enrolment of eight samples, as the watch of the keyboard test heard
// them: the instruction once, then each accepted sample with its progress, all by one way (a
// live region or an alert, whichever the system has); and the picture's value never falls.
std::vector<testwin::SeenEvent> Announcements() {
    auto announced = testwin::WinEventWatch::Of(kEventLiveRegionChanged, IDC_ENROLL_ANNOUNCER);
    const auto alerts = testwin::WinEventWatch::Of(EVENT_SYSTEM_ALERT, IDC_ENROLL_ANNOUNCER);
    EXPECT_TRUE(announced.empty() || alerts.empty()) << "a reader would hear everything twice";
    announced.insert(announced.end(), alerts.begin(), alerts.end());
    return announced;
}

void ExpectEnrolmentHeard() {
    std::vector<std::string> names;
    for (const auto& seen : Announcements())
        names.push_back(Narrow(seen.name));
    const std::vector<std::string> expected = {
        "Great, touch sensor again.",     "Great, touch sensor again. 12%",
        "Great, touch sensor again. 25%", "Touch the sensor a little lower.",
        "Great, touch sensor again. 37%", "Great, touch sensor again. 50%",
        "Great, touch sensor again. 62%", "Great, touch sensor again. 75%",
        "Great, touch sensor again. 87%", "Great, touch sensor again. 100%"};
    EXPECT_EQ(names, expected);
    int last = -1;
    for (const auto& seen : testwin::WinEventWatch::Of(EVENT_OBJECT_VALUECHANGE, IDC_ENROLL_PICTURE)) {
        const int percent = std::stoi(seen.value);
        EXPECT_GE(percent, last) << "the progress fell back to " << percent;
        last = percent;
    }
    EXPECT_EQ(last, 100);
}

// The keyboard alone, with real key presses: Tab and Shift+Tab walk Enroll, Clear, minimise and
// close in that order; an inactive command and Enter on close do nothing; Space enrols a finger
// through the dialog (its Cancel showing the focus cue from the start) and its box, clears it,
// minimises and closes.
TEST_F(MainWindow, TheKeyboardAloneWalksEveryCommandEnrolsAFingerAndClearsIt) {
    testwin::ComApartment com;
    HWND main = StartReady();
    ASSERT_NE(main, nullptr);
    MouseAway();
    const auto commands = {IDC_MAIN_ENROLL, IDC_MAIN_CLEAR, IDC_MAIN_MINIMIZE, IDC_MAIN_CLOSE};
    const auto press = [&](HWND window, const wchar_t* key) {
        EXPECT_TRUE(Key(window, std::wstring(key) + L" --sendinput")) << Narrow(key);
        Sleep(150);
    };
    EXPECT_EQ(FocusedCommand(main, commands), IDC_MAIN_ENROLL) << "the first command has the focus";
    EXPECT_EQ(EnrollFill(main), kActive) << "no focus cue before a key";
    for (int next : {IDC_MAIN_CLEAR, IDC_MAIN_MINIMIZE, IDC_MAIN_CLOSE, IDC_MAIN_ENROLL}) {
        press(main, L"tab");
        EXPECT_EQ(FocusedCommand(main, commands), next);
    }
    Screenshot(main, L"main-window-focus-on-enroll");
    // The cue, a dotted frame four pixels inside Enroll's edge, once the keyboard is in use.
    int cue = 0;
    for (int x = 280; x < 300; ++x)
        cue += Pixel(main, x, 250) != kActive ? 1 : 0;
    EXPECT_GT(cue, 5) << "no focus cue";
    press(main, L"shift+tab");
    EXPECT_EQ(FocusedCommand(main, commands), IDC_MAIN_CLOSE);
    press(main, L"enter");
    EXPECT_FALSE(m_program.WaitExit(800).has_value()) << "Enter on close ended the window";
    press(main, L"shift+tab");
    press(main, L"shift+tab");
    EXPECT_EQ(FocusedCommand(main, commands), IDC_MAIN_CLEAR);
    press(main, L"space");
    Sleep(500);
    EXPECT_EQ(CountText(main), L" 0/10") << "an inactive Clear stays inert";
    EXPECT_TRUE(m_program.Running());

    press(main, L"shift+tab");
    EXPECT_EQ(FocusedCommand(main, commands), IDC_MAIN_ENROLL);
    // What a screen reader hears while the focus stays on Cancel: the instruction's change, and
    // one announcement per accepted sample with how far the print is, and for the refused sample in
    // between the hint of what to do.
    testwin::WinEventWatch heard(m_program.Pid(), EVENT_SYSTEM_ALERT, kEventLiveRegionChanged);
    press(main, L"space");
    HWND dialog = m_program.WaitEnrollDialog(10000);
    ASSERT_NE(dialog, nullptr) << "Space on Enroll";
    // The dialog opened by a key shows the cue on Cancel at once, as the platform's dialogs do
    // when the last input came from the keyboard: four pixels inside its edge.
    Sleep(400);
    int cancelCue = 0;
    for (int x = 44; x < 64; ++x)
        cancelCue += Pixel(dialog, x, 209) != kActive ? 1 : 0;
    EXPECT_GT(cancelCue, 5) << "no focus cue on Cancel";
    Screenshot(dialog, L"enroll-dialog-opened-by-space");
    // Each touch's announcement is heard (and read, as a reader reads it) before the next touch.
    std::size_t announcements = 0;
    for (int touch = 0; touch < 10; ++touch) {
        const bool bad = touch == 3;
        ASSERT_TRUE(SimOk(bad ? L"bad --wait 10000" : L"touch --wait 10000 finger-k")) << touch;
        // The refused one too: the hint of what to do differently.
        EXPECT_TRUE(heard.WaitFor([&](const auto&) { return Announcements().size() > announcements; }, 5000))
            << "nothing heard of touch " << touch << (bad ? " (refused)" : "");
        announcements = Announcements().size();
    }
    HWND box = m_program.WaitMessageBox();
    ExpectEnrolmentHeard();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(FocusedCommand(box, {IDC_MSGBOX_BUTTON1, IDC_MSGBOX_ANOTHER, IDC_MSGBOX_CLOSE}),
              IDC_MSGBOX_BUTTON1)
        << "OK first";
    press(box, L"enter");
    ASSERT_TRUE(WaitUntil([&] { return CountText(main) == L" 1/10"; }, 10000));

    EXPECT_EQ(FocusedCommand(main, commands), IDC_MAIN_ENROLL) << "the focus is back on Enroll";
    press(main, L"tab");
    const size_t clearChangesBefore =
        testwin::WinEventWatch::Of(EVENT_OBJECT_STATECHANGE, IDC_MAIN_CLEAR).size();
    press(main, L"space");
    EXPECT_TRUE(WaitUntil([&] { return CountText(main) == L" 0/10"; }, 10000)) << "Space on Clear";
    // The last finger gone, Clear is unavailable, and a reader hears of it.
    EXPECT_TRUE(heard.WaitFor(
        [&](const auto&) {
            return testwin::WinEventWatch::Of(EVENT_OBJECT_STATECHANGE, IDC_MAIN_CLEAR).size() >
                   clearChangesBefore;
        },
        3000));
    EXPECT_NE(testwin::ReadAccessible(main, IDC_MAIN_CLEAR).state & STATE_SYSTEM_UNAVAILABLE, 0);

    press(main, L"tab");
    press(main, L"space");
    EXPECT_TRUE(WaitUntil([&] { return IsIconic(main) != FALSE; }, 5000)) << "Space on minimise";
    ShowWindowAsync(main, SW_RESTORE);
    ASSERT_TRUE(WaitUntil([&] { return IsIconic(main) == FALSE; }, 5000));
    // Where the focus lands on restoring is the platform's affair: Tab on to close.
    for (int tabs = 0; tabs < 4 && FocusedCommand(main, commands) != IDC_MAIN_CLOSE; ++tabs)
        press(main, L"tab");
    EXPECT_EQ(FocusedCommand(main, commands), IDC_MAIN_CLOSE);
    press(main, L"space");
    EXPECT_TRUE(m_program.WaitExit(10000).has_value()) << "Space on close";
}

TEST_F(MainWindow, AdministratorMessagesHoldEveryCommandBack) {
    struct Row {
        const char* what;
        bool acrossAnEnrolment; // the start comes while the enrolment dialog is up, which then ends
    };
    for (const Row row : {Row{"idle", false}, Row{"across an enrolment", true}}) {
        SCOPED_TRACE(row.what);
        ASSERT_TRUE(SimOk(L"reset"));
        EnrollInPool({L"1"});
        HWND main = StartReady();
        ASSERT_NE(main, nullptr);
        if (row.acrossAnEnrolment) {
            ASSERT_TRUE(Click(main, IDC_MAIN_ENROLL));
            HWND enroll = m_program.WaitEnrollDialog();
            ASSERT_NE(enroll, nullptr);
            EXPECT_EQ(SendRegistered(main, L"RegMsgAdminStart"), 1);
            ASSERT_TRUE(Click(enroll, IDC_ENROLL_CANCEL)); // Cancel: our own work ends, the hold does not
            ASSERT_TRUE(WaitUntil([&] { return m_program.EnrollDialog() == nullptr; }, 10000));
            ASSERT_TRUE(WaitUntil([&] { return m_program.Overlay() == nullptr; }, 5000));
        } else {
            EXPECT_EQ(SendRegistered(main, L"RegMsgAdminStart"), 1);
        }
        ASSERT_TRUE(Click(main, IDC_MAIN_CLEAR));
        ASSERT_TRUE(Click(main, IDC_MAIN_ENROLL));
        ASSERT_TRUE(Click(main, IDC_MAIN_MINIMIZE));
        ASSERT_TRUE(Click(main, IDC_MAIN_CLOSE));
        Sleep(1500);
        EXPECT_TRUE(m_program.Running()) << "close while busy is ignored";
        EXPECT_EQ(m_program.EnrollDialog(), nullptr);
        EXPECT_FALSE(IsIconic(main));
        EXPECT_EQ(CountText(main), L" 1/10");
        EXPECT_EQ(Pool().empty(), false) << "Clear did nothing";

        // Broadcast, as the administrator program may send it; then the commands work again.
        ASSERT_TRUE(BroadcastRegistered(L"RegMsgAdminStop"));
        Sleep(300);
        ASSERT_TRUE(Click(main, IDC_MAIN_CLEAR));
        EXPECT_TRUE(WaitUntil([&] { return CountText(main) == L" 0/10"; }, 10000));
        m_program.Kill();
    }
}

TEST_F(MainWindow, MinimiseIconisesTheWindow) {
    HWND main = StartReady();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(Click(main, IDC_MAIN_MINIMIZE));
    EXPECT_TRUE(WaitUntil([&] { return IsIconic(main) != FALSE; }, 5000));
    EXPECT_TRUE(m_program.Running());
}

TEST_F(MainWindow, CloseButtonEndsTheProgram) {
    HWND main = StartReady();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(Click(main, IDC_MAIN_CLOSE));
    EXPECT_TRUE(m_program.WaitExit(10000).has_value());
}

TEST_F(MainWindow, SystemCloseEndsTheProgramEvenWhileBusy) {
    HWND main = StartReady();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(SendRegistered(main, L"RegMsgAdminStart"), 1);
    // What Alt+F4 and the system menu's Close become.
    ASSERT_TRUE(DriverOk(L"post --title \"Norvik Fingerprint\" --message 0x112 --wparam 0xF060"));
    EXPECT_TRUE(m_program.WaitExit(10000).has_value());
}

TEST_F(MainWindow, ASecondStartEndsAtOnceWithoutAWindow) {
    HWND main = StartReady();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(m_second.Start());
    bool sawWindow = false;
    WaitUntil(
        [&] {
            sawWindow = sawWindow || !m_second.Windows().empty();
            return !m_second.Running();
        },
        15000);
    const std::optional<DWORD> code = m_second.WaitExit(0);
    ASSERT_TRUE(code.has_value()) << "the second instance is still running";
    EXPECT_FALSE(sawWindow);
    EXPECT_TRUE(m_program.Running()) << "the first one is untouched";

    ASSERT_TRUE(Click(main, IDC_MAIN_CLOSE));
    ASSERT_TRUE(m_program.WaitExit(10000).has_value());
    // The mutex is free again: a new start runs.
    Program third;
    ASSERT_TRUE(third.Start());
    EXPECT_NE(third.WaitReady(), nullptr);
}

} // namespace
} // namespace apptest
