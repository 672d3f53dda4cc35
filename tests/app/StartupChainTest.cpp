// The real program's start-up chain and system events under Wine: a missing or foreign sensor,
// an unsupported Windows version, "ShowWelcome" and the shared files, sensor removal while idle
// and during an enrolment, another device's removal, and the Enroll command end to end.
#include "tests/support/ProgramTestFixture.h"
#include "base/Win32Handle.h"
#include "tests/support/AnswerProbe.h"
#include "tests/support/Bystander.h"
#include "tests/support/UsbNotice.h"
#include "tests/support/UiTestSupport.h"
#include "ui/AccessibleStatic.h"

#include <cstring>
#include <set>

namespace apptest {
namespace {

constexpr wchar_t kNoDevice[] =
    L"Unable to detect fingerprint device. Please press \"OK\" to exit Norvik Fingerprint.";
constexpr wchar_t kNoDeviceTitle[] = L"Unable to detect fingerprint device";
constexpr wchar_t kUnsupported[] = L"Please check OS version, Only support Windows 7 / Windows 8.";
constexpr wchar_t kRemoved[] =
    L"Fingerprint device is remove. Please check device and restrat Norvik Fingerprint.";

constexpr wchar_t kSensor[] = L"USB\\VID_2F1B&PID_0106\\5&2A7C3B1&0&3";

// What a label reports when it is clicked, posted to the window as the label would.
bool PostLabelClick(HWND window, int id) {
    return DriverOk(L"post --hwnd " + HandleText(window) + L" --message 0x806 --wparam " +
                    std::to_wstring(id));
}

// The box (or dialog) `top` is owned by `owner`, which it disables, lies above the overlay and
// the overlay above the main window, and has the activation.
void ExpectModalOverDimmedMain(Program& program, HWND top, HWND owner) {
    HWND main = program.MainWindow(), overlay = program.Overlay();
    ASSERT_NE(main, nullptr);
    ASSERT_NE(overlay, nullptr) << "the main window is dimmed behind it";
    EXPECT_EQ(GetWindow(top, GW_OWNER), owner);
    EXPECT_FALSE(IsWindowEnabled(owner));
    EXPECT_FALSE(IsWindowEnabled(main)) << "the main window takes no input";
    EXPECT_EQ(GetWindow(overlay, GW_OWNER), main);
    EXPECT_TRUE(nvtest::IsAbove(top, overlay));
    EXPECT_TRUE(nvtest::IsAbove(overlay, main));
    EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == top; }, 3000)) << "it has the activation";
}

// The main window brought forward by another program, as by the taskbar or Alt+Tab: `top` gets
// the activation back and stays above it.
void BringMainForward(Program& program, HWND top) {
    HWND main = program.MainWindow();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(DriverOk(L"activate --hwnd " + HandleText(main)));
    EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == top; }, 3000))
        << "the activation stays with the main window";
    EXPECT_TRUE(nvtest::IsAbove(top, main));
}

// Waits for a box, checks its text and title, saves it, closes it with OK.
void ExpectBoxAndClose(Program& program, const std::wstring& text, const std::wstring& title,
                       const std::wstring& artefact, bool bringMainForward = false) {
    HWND box = program.WaitMessageBox();
    ASSERT_NE(box, nullptr) << "no box for: " << Narrow(text);
    EXPECT_EQ(BoxText(box), text);
    EXPECT_EQ(BoxTitle(box), title);
    ExpectModalOverDimmedMain(program, box, program.MainWindow());
    if (bringMainForward)
        BringMainForward(program, box);
    if (HWND main = program.MainWindow())
        Screenshot(main, artefact);
    ASSERT_TRUE(ClickBoxOk(box));
    ASSERT_TRUE(WaitUntil([&] { return program.MessageBox() != box; }, 10000));
}

using StartupChain = ProgramTest;

// With these units the program finds no sensor: it says so and ends once the box is closed.
void ExpectNoSensor(Program& program, const std::wstring& units, const std::wstring& artefact,
                    bool bringMainForward = false) {
    ASSERT_TRUE(SimOk(L"units" + units));
    ASSERT_TRUE(program.Start());
    ExpectBoxAndClose(program, kNoDevice, kNoDeviceTitle, artefact, bringMainForward);
    EXPECT_TRUE(program.WaitExit(10000).has_value()) << "the program should end after the box";
}

TEST_F(StartupChain, WithoutASensorTheProgramSaysSoAndEnds) {
    ExpectNoSensor(m_program, L"", L"main-window-no-sensor", true);
}

TEST_F(StartupChain, ASensorOfTheVendorWithProductIdZeroIsNoSensor) {
    ExpectNoSensor(m_program, L" USB\\VID_2F1B&PID_0000\\5&1a2b3c&0&1", L"main-window-product-zero");
}

TEST_F(StartupChain, ASensorOfAnotherVendorIsNoSensor) {
    ExpectNoSensor(m_program, L" USB\\VID_138A&PID_0106\\5&1a2b3c&0&1", L"main-window-other-vendor");
}

TEST_F(StartupChain, AnyProductOfTheVendorPasses) {
    ASSERT_TRUE(SimOk(L"units USB\\VID_2F1B&PID_ABCD\\7&99&0&2"));
    HWND main = StartReady();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(CountText(main), L" 0/10");
    EXPECT_TRUE(m_program.Running());
}

TEST_F(StartupChain, OnWindows10TheSensorCheckStillRunsThenTheVersionEndsIt) {
    WindowsVersionGuard version;
    ASSERT_TRUE(version.Switch(L"win10"));
    ASSERT_TRUE(SimOk(L"units"));
    ASSERT_TRUE(m_program.Start());
    ExpectBoxAndClose(m_program, kNoDevice, kNoDeviceTitle, L"main-window-win10-no-sensor");
    // Ending the dialog does not stop the chain: the version check follows.
    ExpectBoxAndClose(m_program, kUnsupported, L"Norvik Fingerprint", L"main-window-win10-unsupported");
    EXPECT_TRUE(m_program.WaitExit(10000).has_value());
}

TEST_F(StartupChain, OnWindows81TheWindowKeepsTheBareLayoutAndIgnoresCommandsUntilTheVersionMessage) {
    WindowsVersionGuard version;
    ASSERT_TRUE(version.Switch(L"win81"));
    ASSERT_TRUE(SimOk(L"enroll . 1 finger-1"));
    ASSERT_TRUE(m_program.Start());
    HWND main = m_program.WaitMainWindow();
    ASSERT_NE(main, nullptr);
    ASSERT_NE(m_program.WaitMessageBox(), nullptr);

    // Only the common part of the layout ran: what it hides is hidden, every other control of
    // the template stays where the template put it, set up or not.
    const std::set<int> hidden = {IDC_MAIN_ENROLL_CAPTION, IDC_MAIN_ENROLL_PICTURE, IDC_MAIN_ADMIN_PICTURE,
                                  IDC_MAIN_BATTERY,        IDC_MAIN_PLUG_AC,        IDC_MAIN_UP_TO_DATE};
    const std::vector<ControlInfo> controls = Controls(main);
    EXPECT_EQ(controls.size(), 24u);
    for (const ControlInfo& c : controls)
        EXPECT_EQ(c.visible, hidden.count(c.id) == 0) << "control " << c.id;

    // The box holds the chain in a loop of its own; the window is still busy from before the
    // chain, so what Clear's and Enroll's labels would report changes nothing.
    ASSERT_TRUE(PostLabelClick(main, IDC_MAIN_CLEAR));
    ASSERT_TRUE(PostLabelClick(main, IDC_MAIN_ENROLL));
    Sleep(1000);
    EXPECT_EQ(m_program.EnrollDialog(), nullptr) << "Enroll ran during the start-up chain";
    EXPECT_EQ(Pool().empty(), false) << "Clear ran during the start-up chain";

    ExpectBoxAndClose(m_program, kUnsupported, L"Norvik Fingerprint", L"main-window-win81-unsupported");
    EXPECT_TRUE(m_program.WaitExit(10000).has_value());
    EXPECT_EQ(m_program.MessageBox(), nullptr);
}

TEST_F(StartupChain, TheSensorCheckLooksAtTheIdsAndLeavesTheUnitInUseAsItWas) {
    // The chain is held at its first step (the credential upkeep waits for the database mutex)
    // while the units change: the sensor check then finds the sensor as unit 2, listed after a
    // device without USB ids. The count and Clear keep to unit 1, the one chosen when the program
    // was built, so once unit 2 has gone again Clear still finds its unit.
    ASSERT_TRUE(m_showWelcome.Set(0));
    SharedFilesGuard files;
    HANDLE mutex = CreateMutexW(nullptr, TRUE, L"Norvik Fingerprint Database");
    ASSERT_NE(mutex, nullptr);
    ASSERT_TRUE(SimOk(L"enroll . 1 finger-1"));
    ASSERT_TRUE(m_program.Start());
    const bool started = m_program.WaitMainWindow() != nullptr;
    const DWORD changed = Sim(L"units ACPI\\NVK0001\\0 " + std::wstring(kSensor)).code;
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    ASSERT_TRUE(started);
    ASSERT_EQ(changed, 0u);
    HWND main = m_program.WaitReady();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(CountText(main), L" 1/10");

    ASSERT_TRUE(SimOk(L"units " + std::wstring(kSensor)));
    ASSERT_TRUE(Click(main, IDC_MAIN_CLEAR));
    EXPECT_TRUE(WaitUntil([&] { return Pool().empty(); }, 10000)) << "Clear went to a unit that is not there";
    EXPECT_TRUE(WaitUntil([&] { return CountText(main) == L" 0/10"; }, 10000));
}

// The shared files seeded as the vendor's programs leave them: the signed-in user with an old
// password and one other account in the database, and a hand-off naming the user.
class SharedFiles : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        const std::wstring db = L"\"" + m_database + L"\"",
                           user = L" --user \"" + testwin::UserName() + L"\"";
        ASSERT_TRUE(RunOk(L"nvkdb.exe", L"create " + db + L" --force"));
        ASSERT_TRUE(RunOk(L"nvkdb.exe", L"account " + db + L" 0" + user + L" --password old-secret"));
        ASSERT_TRUE(RunOk(L"nvkdb.exe", L"account " + db + L" 1 --user someone-else --password theirs"));
        ASSERT_TRUE(RunOk(L"pwcn.exe", L"\"" + m_handOff + L"\"" + user + L" --password new-secret"));
        m_databaseBefore = testwin::ReadRaw(m_database);
        m_handOffBefore = testwin::ReadRaw(m_handOff);
        m_databaseTime = testwin::WriteTime(m_database);
        ASSERT_EQ(m_databaseBefore.size(), 9014528u);
        ASSERT_EQ(m_handOffBefore.size(), 272u);
    }

    std::string Dump() {
        return RunCaptured(L"nvkdb.exe", L"dump \"" + m_database + L"\" --show-passwords").out;
    }

    void ExpectUntouched() {
        EXPECT_TRUE(testwin::ReadRaw(m_database) == m_databaseBefore) << "the database changed";
        const FILETIME now = testwin::WriteTime(m_database);
        EXPECT_EQ(CompareFileTime(&now, &m_databaseTime), 0) << "the database was written";
        EXPECT_TRUE(testwin::ReadRaw(m_handOff) == m_handOffBefore) << "the hand-off file changed or went";
    }

    SharedFilesGuard m_files;
    const std::wstring m_database = testwin::SharedDatabasePath(), m_handOff = testwin::SharedHandOffPath();
    std::vector<unsigned char> m_databaseBefore, m_handOffBefore;
    FILETIME m_databaseTime = {};
};

TEST_F(SharedFiles, ShowWelcomeZeroAppliesTheHandOffAndDeletesIt) {
    ASSERT_TRUE(m_showWelcome.Set(0));
    HWND main = StartReady();
    ASSERT_NE(main, nullptr);
    EXPECT_FALSE(testwin::Exists(m_handOff)) << "the hand-off file is consumed";
    const std::string dump = Dump();
    EXPECT_NE(dump.find("new-secret"), std::string::npos) << dump;
    EXPECT_EQ(dump.find("old-secret"), std::string::npos) << dump;
    // Under Wine every stored logon succeeds: the other account stays as it was.
    EXPECT_NE(dump.find("someone-else"), std::string::npos) << dump;
    EXPECT_NE(dump.find("theirs"), std::string::npos) << dump;
}

TEST_F(SharedFiles, ShowWelcomeOneTouchesNeitherFile) {
    ASSERT_TRUE(m_showWelcome.Set(1));
    ASSERT_NE(StartReady(), nullptr);
    ExpectUntouched();
}

TEST_F(SharedFiles, NoShowWelcomeTouchesNeitherFileNorTakesTheMutex) {
    // The key is gone (fixture). Holding the database mutex would stall the upkeep: it must not
    // be asked for at all.
    HANDLE mutex = CreateMutexW(nullptr, TRUE, L"Norvik Fingerprint Database");
    ASSERT_NE(mutex, nullptr);
    ASSERT_NE(StartReady(), nullptr);
    ExpectUntouched();
    ReleaseMutex(mutex);
    CloseHandle(mutex);
}

TEST_F(SharedFiles, ShowWelcomeValueMissingUnderAnExistingKeyTouchesNeitherFile) {
    ASSERT_TRUE(m_showWelcome.Set(0));
    ASSERT_TRUE(m_showWelcome.RemoveValue());
    ASSERT_NE(StartReady(), nullptr);
    ExpectUntouched();
}

// Another session's program holds the machine's lock while we start with a hand-off pending: the
// window answers every ask with its commands held, and once the lock is free the hand-off is
// applied and the count shown. The sensor removed meanwhile: the box comes at once, and the
// program ends with both files as they were.
TEST_F(SharedFiles, AnotherSessionHoldingTheLockLeavesTheWindowAnsweringUntilTheHandOffIsApplied) {
    ASSERT_TRUE(m_showWelcome.Set(0));
    for (const bool removeSensor : {false, true}) {
        ASSERT_TRUE(testwin::WriteRaw(m_database, m_databaseBefore));
        ASSERT_TRUE(testwin::WriteRaw(m_handOff, m_handOffBefore));
        m_databaseTime = testwin::WriteTime(m_database);
        const std::wstring event =
            L"NvHeldLock-" + std::to_wstring(GetCurrentProcessId()) + (removeSensor ? L"-r" : L"-w");
        const nvwin::Handle ready(CreateEventW(nullptr, TRUE, FALSE, (event + L"-ready").c_str()));
        testwin::CapturedProcess peer(L"db_peer.exe", L"holdname \"Global\\Norvik Fingerprint Database\" " +
                                                          event + (removeSensor ? L" 25000" : L" 10000"));
        ASSERT_EQ(WaitForSingleObject(ready.Get(), 60000), WAIT_OBJECT_0);
        ASSERT_TRUE(m_program.Start());
        HWND main = m_program.WaitMainWindow();
        ASSERT_NE(main, nullptr);
        testwin::AnswerProbe probe(main);
        Sleep(3000);
        DWORD_PTR held = 0;
        EXPECT_NE(SendMessageTimeoutW(main, WM_COMMANDS_HELD, 0, 0, SMTO_NORMAL, 1000, &held), 0);
        EXPECT_EQ(held, 1u) << "the commands wait for the start-up work";
        EXPECT_EQ(CountText(main), L"--/10");
        EXPECT_TRUE(testwin::Exists(m_handOff)) << "nothing is applied without the lock";
        if (removeSensor) {
            ASSERT_TRUE(SimOk(L"remove"));
            ExpectBoxAndClose(m_program, kRemoved, L"Norvik Fingerprint", L"main-window-removed-in-upkeep");
            // Before the peer lets go of the lock (Wine takes its time hiding windows on the way out).
            EXPECT_TRUE(m_program.WaitExit(10000).has_value());
            EXPECT_TRUE(peer.Running()) << "the end waited for the lock";
            ExpectUntouched();
            m_program.Kill();
            continue;
        }
        ASSERT_TRUE(peer.WaitExit(30000).has_value());
        ASSERT_EQ(m_program.WaitReady(), main);
        probe.Stop();
        EXPECT_GE(probe.Asked(), 40);
        EXPECT_EQ(probe.Unanswered(), 0);
        EXPECT_FALSE(probe.SeenHung());
        EXPECT_EQ(CountText(main), L" 0/10");
        EXPECT_FALSE(testwin::Exists(m_handOff));
        EXPECT_NE(Dump().find("new-secret"), std::string::npos);
        m_program.Kill();
    }
}

// A logon server that takes 5 s an answer (main_host's logon): the window answers all the while,
// and closing it while a logon runs ends the program within moments, both files as they were.
TEST_F(SharedFiles, ASlowLogonLeavesTheWindowAnsweringAndClosingItEndsTheProgram) {
    ASSERT_TRUE(m_showWelcome.Set(0));
    for (const bool closeDuringLogon : {false, true}) {
        ASSERT_TRUE(testwin::WriteRaw(m_database, m_databaseBefore));
        ASSERT_TRUE(testwin::WriteRaw(m_handOff, m_handOffBefore));
        m_databaseTime = testwin::WriteTime(m_database);
        ASSERT_TRUE(m_program.Start(L"main_host.exe", L"5000"));
        HWND main = m_program.WaitMainWindow();
        ASSERT_NE(main, nullptr);
        testwin::AnswerProbe probe(main);
        if (closeDuringLogon) {
            Sleep(2000); // in the hand-off's logon
            const ULONGLONG closed = GetTickCount64();
            PostMessageW(main, WM_CLOSE, 0, 0);
            const testwin::RunResult run = m_program.Wait(20000);
            EXPECT_EQ(run.code, 0u);
            EXPECT_LT(GetTickCount64() - closed, 4000u) << "the program waited for the logon";
            EXPECT_EQ(run.out, "logons 1\n");
            ExpectUntouched();
        } else {
            // The hand-off's logon, the check's two and the password check's.
            ASSERT_EQ(m_program.WaitReady(40000), main);
            EXPECT_EQ(CountText(main), L" 0/10");
            PostMessageW(main, WM_CLOSE, 0, 0);
            EXPECT_EQ(m_program.Wait(20000).out, "logons 4\n");
            EXPECT_FALSE(testwin::Exists(m_handOff));
            EXPECT_NE(Dump().find("new-secret"), std::string::npos);
        }
        probe.Stop();
        EXPECT_GE(probe.Asked(), 15) << closeDuringLogon;
        EXPECT_EQ(probe.Unanswered(), 0) << closeDuringLogon;
        m_program.Kill();
    }
}

using SystemEvents = ProgramTest;

TEST_F(SystemEvents, SensorRemovalWhileIdleInTheBackgroundEndsTheProgram) {
    HWND main = StartReady();
    ASSERT_NE(main, nullptr);
    // Another program in front: the program has no active window when the notice comes.
    const testwin::FrontWindow other(L"Another program");
    ASSERT_TRUE(other.InFront());
    ASSERT_TRUE(SimOk(L"remove"));
    HWND box = m_program.WaitMessageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(BoxText(box), kRemoved);
    EXPECT_EQ(GetWindow(box, GW_OWNER), main);
    EXPECT_FALSE(IsWindowEnabled(main));
    EXPECT_TRUE(nvtest::IsAbove(box, main));
    Screenshot(main, L"main-window-sensor-removed");
    ASSERT_TRUE(ClickBoxOk(box));
    EXPECT_TRUE(m_program.WaitExit(10000).has_value());
}

TEST_F(SystemEvents, RemovalOfAnotherUsbDeviceDoesNothing) {
    HWND main = StartReady();
    ASSERT_NE(main, nullptr);
    const std::wstring handle = HandleText(main);
    const std::wstring other = testwin::UsbInterfaceName(L"VID_046D&PID_C52B#6&2f1b&0&2");
    EXPECT_EQ(RunCaptured(L"device_notice.exe", handle + L" \"" + other + L"\"").code, 0u);
    // The sensor's own name with another product id is another device too.
    const std::wstring sibling = testwin::UsbInterfaceName(L"VID_2F1B&PID_0107#6&2f1b&0&2");
    EXPECT_EQ(RunCaptured(L"device_notice.exe", handle + L" \"" + sibling + L"\"").code, 0u);
    // And the sensor's arrival is not its removal.
    const std::wstring sensor = testwin::UsbInterfaceName(L"VID_2F1B&PID_0106#5&1&0&1");
    EXPECT_EQ(RunCaptured(L"device_notice.exe", handle + L" \"" + sensor + L"\" 0x8000").code, 0u);
    Sleep(800);
    EXPECT_EQ(m_program.MessageBox(), nullptr);
    EXPECT_TRUE(m_program.Running());

    // The same way of telling, with the sensor's name, is acted on: the message above was heard.
    // Its sender is answered before the box comes, not once somebody has closed it.
    EXPECT_EQ(RunCaptured(L"device_notice.exe", handle + L" \"" + sensor + L"\"", 2000).code, 0u);
    ExpectBoxAndClose(m_program, kRemoved, L"Norvik Fingerprint", L"main-window-sensor-removed-notice");
    EXPECT_TRUE(m_program.WaitExit(10000).has_value());
}

// The service completes the waiting request with an error and sends the device notice by separate
// ways, in either order; in every stage of an enrolment, a box of the dialog up or not, the user
// ends up with the removal message over the main window, in front of the other program behind
// it, and the program ends once it is closed.
TEST_F(SystemEvents, SensorRemovalDuringAnEnrolmentEndsTheProgramWhicheverComesFirst) {
    enum class Stage { Identifying, Capturing, SuccessBox, ExistsBox };
    struct Row {
        const char* stage;
        Stage at;
        const wchar_t* order;
    };
    for (const Row row : {Row{"identifying", Stage::Identifying, L"notice-first"},
                          Row{"identifying", Stage::Identifying, L"completion-first"},
                          Row{"capturing", Stage::Capturing, L"notice-first"},
                          Row{"capturing", Stage::Capturing, L"completion-first"},
                          Row{"success-box", Stage::SuccessBox, L"notice-first"},
                          Row{"already-enrolled-box", Stage::ExistsBox, L"notice-first"}}) {
        const std::string what = std::string(row.stage) + " " + Narrow(row.order);
        ASSERT_TRUE(SimOk(L"reset"));
        testwin::Bystander other;
        ASSERT_NE(other.Window(), nullptr) << what;
        HWND main = StartReady();
        ASSERT_NE(main, nullptr) << what;
        ASSERT_TRUE(Click(main, IDC_MAIN_ENROLL));
        HWND enroll = m_program.WaitEnrollDialog();
        ASSERT_NE(enroll, nullptr) << what;
        const auto waitingFor = [](const char* request) {
            return WaitUntil([request] { return State().find(request) != std::string::npos; }, 5000);
        };
        switch (row.at) {
        case Stage::Identifying:
            ASSERT_TRUE(waitingFor("\tidentify")) << what;
            break;
        case Stage::Capturing:
            ASSERT_TRUE(SimOk(L"touch --wait 5000 finger-new")) << what;
            ASSERT_TRUE(waitingFor("\tcapture")) << what;
            break;
        case Stage::SuccessBox:
            ASSERT_TRUE(SimOk(L"samples 1"));
            ASSERT_TRUE(SimOk(L"touch --wait 5000 finger-new")) << what;
            ASSERT_TRUE(SimOk(L"touch --wait 5000 finger-new")) << what;
            ASSERT_NE(m_program.WaitMessageBox(), nullptr) << what;
            break;
        case Stage::ExistsBox:
            ASSERT_TRUE(SimOk(L"enroll S-1-5-21-7-7-7-1001 1 finger-other"));
            ASSERT_TRUE(SimOk(L"touch --wait 5000 finger-other")) << what;
            ASSERT_NE(m_program.WaitMessageBox(), nullptr) << what;
            break;
        }
        Screenshot(main, L"main-window-enrolling");
        ASSERT_TRUE(SimOk(std::wstring(L"remove --order ") + row.order)) << what;
        // A box of the failed request may come first; the removal message is the one that stays.
        HWND box = nullptr;
        ASSERT_TRUE(WaitUntil(
            [&] {
                for (HWND window : m_program.Windows())
                    if (BoxText(window) == kRemoved)
                        box = window;
                return box != nullptr;
            },
            10000))
            << what << ": no removal message";
        Sleep(150);
        EXPECT_EQ(m_program.EnrollDialog(), nullptr) << what << ": the enrolment dialog goes before the box";
        ExpectModalOverDimmedMain(m_program, box, main);
        EXPECT_FALSE(other.WasActivated()) << what << ": the activation went to another program";
        Screenshot(main, L"main-window-removed-while-" +
                             std::wstring(row.stage, row.stage + strlen(row.stage)) + L"-" + row.order);
        ASSERT_TRUE(ClickBoxOk(box)) << what;
        EXPECT_TRUE(m_program.WaitExit(10000).has_value()) << what << ": the program ends";
        m_program.Kill(); // gone already; ready for the next row's start
    }
}

TEST_F(SystemEvents, SensorRemovalWhileMinimisedShowsTheMessageOverTheRestoredWindow) {
    testwin::Bystander other;
    ASSERT_NE(other.Window(), nullptr);
    HWND main = StartReady();
    ASSERT_NE(main, nullptr);
    // Where the window is before it goes: the place it is restored to.
    RECT place = {};
    GetWindowRect(main, &place);
    ASSERT_TRUE(Click(main, IDC_MAIN_MINIMIZE));
    ASSERT_TRUE(WaitUntil([&] { return IsIconic(main) != FALSE; }, 5000));
    // Minimising hands the activation on, to the other program's window among others: the
    // system's doing, not ours.
    Sleep(300);
    other.Forget();
    const std::wstring sensor = testwin::UsbInterfaceName(L"VID_2F1B&PID_0106#5&1&0&1");
    RunCaptured(L"device_notice.exe", HandleText(main) + L" \"" + sensor + L"\"", 2000);
    HWND box = m_program.WaitMessageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(BoxText(box), kRemoved);
    EXPECT_FALSE(IsIconic(main)) << "the window the message is about is shown again";
    RECT now = {}, boxRect = {};
    GetWindowRect(main, &now);
    GetWindowRect(box, &boxRect);
    EXPECT_TRUE(EqualRect(&now, &place)) << now.left << "," << now.top;
    EXPECT_NEAR((boxRect.left + boxRect.right) / 2, (place.left + place.right) / 2, 1);
    EXPECT_NEAR((boxRect.top + boxRect.bottom) / 2, (place.top + place.bottom) / 2, 1);
    const RECT screen = {GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                         GetSystemMetrics(SM_XVIRTUALSCREEN) + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                         GetSystemMetrics(SM_YVIRTUALSCREEN) + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
    RECT visible = {};
    IntersectRect(&visible, &boxRect, &screen);
    EXPECT_TRUE(EqualRect(&visible, &boxRect))
        << "the box is on the screen: " << boxRect.left << "," << boxRect.top;
    HWND overlay = m_program.Overlay();
    ASSERT_NE(overlay, nullptr);
    RECT dimmed = {};
    GetWindowRect(overlay, &dimmed);
    EXPECT_TRUE(EqualRect(&dimmed, &place)) << "the overlay covers the restored client area";
    ExpectModalOverDimmedMain(m_program, box, main);
    EXPECT_FALSE(other.WasActivated());
    Screenshot(main, L"main-window-removed-while-minimised");
    ASSERT_TRUE(ClickBoxOk(box));
    EXPECT_TRUE(m_program.WaitExit(10000).has_value());
}

using EnrollCommand = ProgramTest;

// However the success box goes, the finger is counted and the main window has the activation
// back, not the other program behind it.
TEST_F(EnrollCommand, AnEnrolmentThenOkOrASuspendCountsTheNewFinger) {
    struct Row {
        const char* how;
        bool suspend; // a system suspend while the box is up, instead of its OK
    };
    for (const Row row : {Row{"OK", false}, Row{"suspend", true}}) {
        SCOPED_TRACE(row.how);
        ASSERT_TRUE(SimOk(L"reset"));
        testwin::Bystander other;
        ASSERT_NE(other.Window(), nullptr);
        HWND main = StartReady();
        ASSERT_NE(main, nullptr);
        ASSERT_TRUE(Click(main, IDC_MAIN_ENROLL));
        HWND enroll = m_program.WaitEnrollDialog();
        ASSERT_NE(enroll, nullptr);
        ExpectModalOverDimmedMain(m_program, enroll, main);
        if (!row.suspend) {
            // A click on the dimmed window, with the other program in front, brings the dialog
            // forward as a click on a disabled window does.
            ASSERT_TRUE(DriverOk(L"activate --hwnd " + HandleText(other.Window())));
            ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == other.Window(); }, 3000));
            Sleep(300); // it hears of its activation a moment later
            other.Forget();
            ASSERT_TRUE(Click(main, IDC_MAIN_SIDE_PICTURE));
            EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == enroll; }, 3000))
                << "the click on the dimmed window did nothing";
            EXPECT_EQ(m_program.EnrollDialog(), enroll) << "and it was swallowed";
        }
        ASSERT_TRUE(SimOk(L"auto on"));
        HWND box = m_program.WaitMessageBox(30000);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(BoxTitle(box), L"Scanned Fingerprints: 1");
        EXPECT_EQ(GetWindow(box, GW_OWNER), enroll);
        EXPECT_FALSE(IsWindowEnabled(enroll));
        EXPECT_FALSE(IsWindowEnabled(main));
        EXPECT_TRUE(nvtest::IsAbove(box, enroll));
        BringMainForward(m_program, box);
        if (row.suspend)
            ASSERT_TRUE(DriverOk(L"broadcast --message 0x218 --wparam 4"));
        else
            ASSERT_TRUE(ClickBoxOk(box));
        ASSERT_TRUE(WaitUntil([&] { return CountText(main) == L" 1/10"; }, 15000));
        ASSERT_TRUE(WaitUntil(
            [&] { return m_program.Overlay() == nullptr && m_program.EnrollDialog() == nullptr; }, 5000));
        EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == main; }, 3000))
            << "the main window has the activation back";
        EXPECT_FALSE(other.WasActivated()) << "the activation went to another program";
        MouseAway();
        // Painting follows the overlay's removal a moment later.
        EXPECT_TRUE(WaitUntil([&] { return Pixel(main, 270, 459) == 0xB3977Fu; }, 5000))
            << "Clear turns active: " << std::hex << Pixel(main, 270, 459);
        EXPECT_NE(Pool().find(" 0xF5 "), std::string::npos) << "the first Windows Hello position";
        Screenshot(main, L"main-window-after-enroll");

        // Enroll gave the window back: the next command runs.
        ASSERT_TRUE(Click(main, IDC_MAIN_CLEAR));
        EXPECT_TRUE(WaitUntil([&] { return CountText(main) == L" 0/10"; }, 10000))
            << "Clear after Enroll was ignored";
        m_program.Kill();
    }
}

TEST_F(EnrollCommand, AltF4OnTheMainWindowBroughtForwardEndsTheEnrolmentNotTheProgram) {
    HWND main = StartReady();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(Click(main, IDC_MAIN_ENROLL));
    HWND enroll = m_program.WaitEnrollDialog();
    ASSERT_NE(enroll, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == enroll; }, 3000));
    // As a person would: the main window picked from the taskbar, then Alt+F4.
    ASSERT_TRUE(Key(main, L"alt+f4 --sendinput"));
    EXPECT_TRUE(WaitUntil(
        [&] { return m_program.EnrollDialog() == nullptr && m_program.Overlay() == nullptr; }, 5000))
        << "the keys went elsewhere than to the enrolment dialog";
    EXPECT_FALSE(m_program.WaitExit(1500).has_value()) << "the main window took Alt+F4";
    EXPECT_TRUE(IsWindowEnabled(main));
    EXPECT_EQ(CountText(main), L" 0/10");
}

TEST_F(EnrollCommand, AFailedEnrolmentEndsTheProcess) {
    HWND main = StartReady();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(SimOk(L"fail EnrollCommit 0x80004005"));
    ASSERT_TRUE(SimOk(L"auto on"));
    ASSERT_TRUE(Click(main, IDC_MAIN_ENROLL));
    HWND box = m_program.WaitMessageBox(30000);
    ASSERT_NE(box, nullptr);
    Screenshot(main, L"main-window-enrol-failure");
    ASSERT_TRUE(ClickBoxOk(box));
    const std::optional<DWORD> code = m_program.WaitExit(10000);
    ASSERT_TRUE(code.has_value()) << "the process should end after the failure box";
    EXPECT_EQ(*code, 0u);
}

} // namespace
} // namespace apptest
