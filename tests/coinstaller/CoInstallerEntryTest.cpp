// CoInstallerEntry as the device installer calls it, in a process of its own under a debugger: the
// value returned, the trace lines written, and what was started from <Program Files>\NorvikFP.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/CoInstallerTestSupport.h"

namespace coinsttest {
namespace {

constexpr DWORD kPostProcessingRequired = 0xE0000226;

const wchar_t kEntryLine2[] = L"<CoInstallerEntry> InstallFunction = 0x2";
const wchar_t kEntryLine5[] = L"<CoInstallerEntry> InstallFunction = 0x5";

std::wstring Hex(DWORD value) {
    wchar_t text[16];
    swprintf(text, 16, L"0x%lX", static_cast<unsigned long>(value));
    return text;
}

// The job counts every process that ever ran in it; where Wine cannot say, the records decide.
void ExpectProcessesInJob(const DebugRun& run, DWORD count) {
    if (run.processesInJob != 0) {
        EXPECT_EQ(run.processesInJob, count);
    }
}

// Wine lets go of a process's working folder a little after the process has ended, and the
// service runs in the folder that is to be removed.
bool RemoveFolder(const std::wstring& folder) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (RemoveDirectoryW(folder.c_str()))
            return true;
        if (GetLastError() != ERROR_SHARING_VIOLATION)
            return false;
        Sleep(50);
    }
    return false;
}

bool SamePath(const std::string& a, const std::wstring& b) {
    return CompareStringOrdinal(testtext::Widen(a).c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// What an install after success traces, around the line that tells what became of the service.
std::vector<std::wstring> InstallLines(const wchar_t* service) {
    return {
        kEntryLine2,
        L"<CoInstallerEntry> ##### DIF_INSTALLDEVICE #####",
        L"<CoInstallerEntry> DIF_INSTALLDEVICE PostProcessing...",
        L"##### Installer::Setup #####",
        L"##### Installer::Run_NVDService #####",
        service,
        L"<CoInstallerEntry> ##### Setup Finish #####",
    };
}

// What a removal after success traces, around the lines of running the uninstaller.
std::vector<std::wstring> RemoveLines(const std::vector<std::wstring>& execute) {
    std::vector<std::wstring> lines = {
        kEntryLine5,
        L"<CoInstallerEntry> ##### DIF_REMOVE #####",
        L"<CoInstallerEntry> Context->PostProcessing = 1",
        L"<CoInstallerEntry> Context->InstallResult = 0",
        L"<CoInstallerEntry> DIF_REMOVE PostProcessing...",
    };
    lines.insert(lines.end(), execute.begin(), execute.end());
    lines.push_back(L"<CoInstallerEntry> ##### Execute_NVDUninst Finish #####");
    return lines;
}

// The same with the uninstaller's path taken and the run's outcome.
std::vector<std::wstring> RemoveLines(const std::wstring& program, const std::vector<std::wstring>& outcome) {
    std::vector<std::wstring> execute = {
        L"<Execute_NVDUninst> tcharUnInstPath = " + program,
        L"<Execute_NVDUninst> szCmdLine = /s /DEL_UNINSTALL_REG",
    };
    execute.insert(execute.end(), outcome.begin(), outcome.end());
    return RemoveLines(execute);
}

// How long the co-installer waited for the uninstaller: from the trace line of its start to the
// one with its exit code; -1 when the run did not trace those two lines.
long long UninstallerWait(const DebugRun& run) {
    EXPECT_EQ(run.strings.size(), 10u);
    SYSTEMTIME started = {}, ended = {};
    if (run.strings.size() != 10 || !ParsePrefix(run.strings[7].text, run.before, started) ||
        !ParsePrefix(run.strings[8].text, run.before, ended))
        return -1;
    return MillisecondsBetween(started, ended);
}

// This process, and so every caller it starts, works in another folder for a while.
class CurrentFolderFor {
public:
    explicit CurrentFolderFor(const std::wstring& folder) {
        wchar_t previous[MAX_PATH];
        const DWORD length = GetCurrentDirectoryW(MAX_PATH, previous);
        m_previous.assign(previous, length < MAX_PATH ? length : 0);
        m_changed = !m_previous.empty() && SetCurrentDirectoryW(folder.c_str());
    }
    ~CurrentFolderFor() {
        if (m_changed)
            SetCurrentDirectoryW(m_previous.c_str());
    }
    CurrentFolderFor(const CurrentFolderFor&) = delete;
    CurrentFolderFor& operator=(const CurrentFolderFor&) = delete;
    bool Changed() const { return m_changed; }

private:
    std::wstring m_previous;
    bool m_changed = false;
};

// The machine's Program Files folder as the shell's known folders give it: the value under
// HKLM\...\CurrentVersion that the shell takes it from, pointed elsewhere for a while and put back
// afterwards. Processes started meanwhile (the caller) see the new folder.
class ProgramFilesDirFor {
public:
    explicit ProgramFilesDirFor(const std::wstring& folder) {
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &m_key) !=
            ERROR_SUCCESS) {
            m_key = nullptr;
            return;
        }
        wchar_t previous[MAX_PATH] = {};
        DWORD size = sizeof previous - sizeof(wchar_t);
        if (RegQueryValueExW(m_key, kValue, nullptr, &m_type, reinterpret_cast<BYTE*>(previous), &size) !=
            ERROR_SUCCESS)
            return;
        m_previous = previous;
        m_changed = Set(REG_SZ, folder);
    }
    ~ProgramFilesDirFor() {
        if (m_changed)
            Set(m_type, m_previous);
        if (m_key != nullptr)
            RegCloseKey(m_key);
    }
    ProgramFilesDirFor(const ProgramFilesDirFor&) = delete;
    ProgramFilesDirFor& operator=(const ProgramFilesDirFor&) = delete;
    bool Changed() const { return m_changed; }

private:
    static constexpr wchar_t kKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion";
    static constexpr wchar_t kValue[] = L"ProgramFilesDir";

    bool Set(DWORD type, const std::wstring& folder) {
        return RegSetValueExW(m_key, kValue, 0, type, reinterpret_cast<const BYTE*>(folder.c_str()),
                              static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    }

    HKEY m_key = nullptr;
    DWORD m_type = REG_SZ;
    std::wstring m_previous;
    bool m_changed = false;
};

// Puts the stand-ins where the co-installer looks for them, points their records at a file of
// this test, and takes everything away again afterwards.
class CoInstallerEntryTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseProgramFiles(Expand(L"%ProgramFiles%"));
        m_record = Expand(L"%TEMP%") + L"\\nvd-standin-" + std::to_wstring(GetCurrentProcessId()) + L".txt";
        DeleteFileW(m_record.c_str());
        SetEnvironmentVariableW(L"NVD_STANDIN_RECORD", m_record.c_str());
        SetEnvironmentVariableW(L"NVD_STANDIN_EXIT", nullptr);
        SetEnvironmentVariableW(L"NVD_STANDIN_RUN_MS", nullptr);
        SetEnvironmentVariableW(L"NVD_CALLER_PROGRAMFILES", nullptr);
    }

    void TearDown() override {
        for (const Record& record : ReadRecords(m_record))
            WaitForRecordedProcess(record, 20000);
        for (const std::wstring& file : m_installed)
            EXPECT_TRUE(DeleteFileW(file.c_str())) << Narrow(file) << ", error " << GetLastError();
        for (auto folder = m_createdFolders.rbegin(); folder != m_createdFolders.rend(); ++folder)
            EXPECT_TRUE(RemoveFolder(*folder)) << Narrow(*folder) << ", error " << GetLastError();
        DeleteFileW(m_record.c_str());
    }

    // Where the stand-ins go: <programFiles>\NorvikFP, made (with any missing parents) if needed.
    void UseProgramFiles(const std::wstring& programFiles) {
        m_folder = programFiles + L"\\NorvikFP";
        for (std::size_t at = m_folder.find(L'\\', 3);; at = m_folder.find(L'\\', at + 1)) {
            const std::wstring part = m_folder.substr(0, at);
            if (CreateDirectoryW(part.c_str(), nullptr))
                m_createdFolders.push_back(part);
            if (at == std::wstring::npos)
                break;
        }
    }

    void Install(const wchar_t* name) {
        const std::wstring target = m_folder + L"\\" + name;
        ASSERT_TRUE(CopyFileW(testwin::ProgramBeside(name).c_str(), target.c_str(), FALSE))
            << "copy to " << Narrow(target) << " failed, error " << GetLastError();
        m_installed.push_back(target);
    }

    void InstallBoth() {
        Install(L"NVDService.exe");
        Install(L"NVDUninst.exe");
    }

    DebugRun Entry(DWORD function, BOOL postProcessing, DWORD installResult) {
        const std::wstring command = L"\"" + testwin::ProgramBeside(L"coinst_caller.exe") + L"\" entry " +
                                     Hex(function) + L" " + std::to_wstring(postProcessing) + L" " +
                                     Hex(installResult);
        DebugRun run = RunUnderDebugger(command, 60000);
        EXPECT_TRUE(run.started && run.finished) << "the caller did not run to its end";
        EXPECT_TRUE(run.exceptions.empty())
            << "exception 0x" << std::hex << (run.exceptions.empty() ? 0 : run.exceptions[0]);
        return run;
    }

    // The call returns `exitCode` and traces `lines`, and starts nothing.
    void ExpectOnlyTraced(DWORD function, BOOL postProcessing, DWORD installResult, DWORD exitCode,
                          const std::vector<std::wstring>& lines) {
        const DebugRun run = Entry(function, postProcessing, installResult);
        EXPECT_EQ(run.exitCode, exitCode);
        EXPECT_EQ(TraceMessages(run), lines);
        ExpectNothingStarted(run);
    }

    // Nothing ran beside the caller (when the job could count), and no stand-in wrote a record.
    void ExpectNothingStarted(const DebugRun& run) {
        ExpectProcessesInJob(run, 1);
        ExpectNoRecord();
    }

    void ExpectNoRecord() {
        EXPECT_TRUE(WaitForRecords(m_record, 1, 500).empty()) << "a stand-in was started";
    }

    std::wstring m_folder;
    std::wstring m_record;
    std::vector<std::wstring> m_installed;
    std::vector<std::wstring> m_createdFolders;
};

TEST_F(CoInstallerEntryTest, OtherRequestCodesAreTracedOnceAndStartNothing) {
    InstallBoth();
    for (const DWORD function : {0x1u, 0x3u, 0x4u, 0x6u, 0x1Au, 0x22u}) {
        for (const BOOL postProcessing : {FALSE, TRUE}) {
            SCOPED_TRACE(Narrow(Hex(function)) + (postProcessing ? " after" : " before"));
            const DebugRun run = Entry(function, postProcessing, 0);
            EXPECT_EQ(run.exitCode, 0u);
            EXPECT_EQ(TraceMessages(run),
                      std::vector<std::wstring>{L"<CoInstallerEntry> InstallFunction = " + Hex(function)});
            ExpectProcessesInJob(run, 1);
        }
    }
    ExpectNoRecord();
}

TEST_F(CoInstallerEntryTest, InstallBeforeTheActionAsksForPostProcessingOnly) {
    InstallBoth();
    ExpectOnlyTraced(2, FALSE, 0, kPostProcessingRequired,
                     {
                         kEntryLine2,
                         L"<CoInstallerEntry> ##### DIF_INSTALLDEVICE #####",
                         L"<CoInstallerEntry> DIF_INSTALLDEVICE - return need post processing.",
                     });
}

TEST_F(CoInstallerEntryTest, InstallAfterSuccessStartsTheServiceHiddenInItsFolder) {
    InstallBoth();
    // The service keeps running past the call: the co-installer must not wait for it.
    SetEnvironmentVariableW(L"NVD_STANDIN_RUN_MS", L"20000");
    const DebugRun run = Entry(2, TRUE, 0);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(TraceMessages(run), InstallLines(L"##### NVDService.exe Find #####"));
    EXPECT_LT(MillisecondsBetween(run.before, run.after), 15000) << "waited for the service";
    ExpectProcessesInJob(run, 2);

    const std::vector<Record> records = WaitForRecords(m_record, 1, 10000);
    ASSERT_EQ(records.size(), 1u);
    const Record& service = records[0];
    EXPECT_TRUE(SamePath(service.at("program"), m_folder + L"\\NVDService.exe")) << service.at("program");
    EXPECT_TRUE(SamePath(service.at("working_folder"), m_folder)) << service.at("working_folder");
    EXPECT_EQ(std::stoul(service.at("startup_flags"), nullptr, 16) & STARTF_USESHOWWINDOW,
              static_cast<unsigned long>(STARTF_USESHOWWINDOW));
    EXPECT_EQ(service.at("show_command"), std::to_string(SW_HIDE));
    EXPECT_FALSE(WaitForRecordedProcess(service, 0)) << "the service had ended already";
}

TEST_F(CoInstallerEntryTest, InstallAfterFailureReturnsThatCodeAndStartsNothing) {
    InstallBoth();
    for (const DWORD failure : {5ul, 0xE000020Bul, 0x80070002ul}) {
        SCOPED_TRACE(Narrow(Hex(failure)));
        ExpectOnlyTraced(2, TRUE, failure, failure,
                         {
                             kEntryLine2,
                             L"<CoInstallerEntry> ##### DIF_INSTALLDEVICE #####",
                             L"<CoInstallerEntry> DIF_INSTALLDEVICE PostProcessing on failure",
                         });
    }
}

TEST_F(CoInstallerEntryTest, InstallWithAServiceThatCannotRunStartsNothingAndSucceeds) {
    Install(L"NVDUninst.exe");
    const struct {
        const char* content; // of NVDService.exe; none: not there
        const wchar_t* traced;
    } services[] = {
        {nullptr, L"##### NVDService.exe Not Find #####"},
        // The system cannot start it; an error box about that would wait for a click nobody
        // gives (Wine shows one, too), and the caller would not return.
        {"not a program", L"##### NVDService.exe Find #####"},
    };
    for (const auto& service : services) {
        SCOPED_TRACE(Narrow(service.traced));
        if (service.content != nullptr) {
            const std::wstring path = m_folder + L"\\NVDService.exe";
            HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
            ASSERT_NE(file, INVALID_HANDLE_VALUE) << "error " << GetLastError();
            m_installed.push_back(path);
            DWORD written = 0;
            EXPECT_TRUE(WriteFile(file, service.content, static_cast<DWORD>(std::strlen(service.content)),
                                  &written, nullptr));
            CloseHandle(file);
        }
        ExpectOnlyTraced(2, TRUE, 0, 0u, InstallLines(service.traced));
    }
}

TEST_F(CoInstallerEntryTest, RemoveBeforeTheActionAsksForPostProcessingOnly) {
    InstallBoth();
    ExpectOnlyTraced(5, FALSE, 0, kPostProcessingRequired,
                     {
                         kEntryLine5,
                         L"<CoInstallerEntry> ##### DIF_REMOVE #####",
                         L"<CoInstallerEntry> Context->PostProcessing = 0",
                         L"<CoInstallerEntry> Context->InstallResult = 0",
                         L"<CoInstallerEntry> DIF_REMOVE - return need post processing.",
                     });
}

TEST_F(CoInstallerEntryTest, RemoveAfterFailureReturnsThatCodeAndStartsNothing) {
    InstallBoth();
    const struct {
        DWORD code;
        const wchar_t* traced; // printed as a signed decimal
    } failures[] = {{5, L"5"}, {0xE000020B, L"-536870389"}};
    for (const auto& failure : failures) {
        SCOPED_TRACE(Narrow(Hex(failure.code)));
        ExpectOnlyTraced(5, TRUE, failure.code, failure.code,
                         {
                             kEntryLine5,
                             L"<CoInstallerEntry> ##### DIF_REMOVE #####",
                             L"<CoInstallerEntry> Context->PostProcessing = 1",
                             L"<CoInstallerEntry> Context->InstallResult = " + std::wstring(failure.traced),
                             L"<CoInstallerEntry> DIF_REMOVE PostProcessing on failure",
                         });
    }
}

TEST_F(CoInstallerEntryTest, RemoveAfterSuccessRunsTheUninstallerAndWaitsForItsEnd) {
    InstallBoth();
    SetEnvironmentVariableW(L"NVD_STANDIN_RUN_MS", L"3000");
    SetEnvironmentVariableW(L"NVD_STANDIN_EXIT", L"7");
    const DebugRun run = Entry(5, TRUE, 0);
    EXPECT_EQ(run.exitCode, 0u);
    const std::wstring program = m_folder + L"\\NVDUninst.exe";
    EXPECT_EQ(TraceMessages(run),
              RemoveLines(program, {L"<Execute_NVDUninst> dwUnInstallResult = 1",
                                    L"<Execute_NVDUninst> UnInstall success, exitCode: 7"}));
    ExpectProcessesInJob(run, 2);

    // Between the start and the exit code lie the uninstaller's three seconds.
    const long long waited = UninstallerWait(run);
    EXPECT_GE(waited, 2900);
    EXPECT_LT(waited, 9000);

    const std::vector<Record> records = ReadRecords(m_record);
    ASSERT_EQ(records.size(), 1u);
    const Record& uninstaller = records[0];
    EXPECT_TRUE(SamePath(uninstaller.at("program"), program)) << uninstaller.at("program");
    EXPECT_EQ(uninstaller.at("command_line"), "/s /DEL_UNINSTALL_REG");
    EXPECT_EQ(uninstaller.at("startup_flags"), "0x0");
    // Not the caller's current folder, where a DLL could have been planted for it.
    EXPECT_TRUE(SamePath(uninstaller.at("working_folder"), testwin::SystemFolder()))
        << uninstaller.at("working_folder");
    EXPECT_TRUE(WaitForRecordedProcess(uninstaller, 0)) << "still running after the call";
}

TEST_F(CoInstallerEntryTest, RemoveSucceedsWhateverTheUninstallerExitsWith) {
    InstallBoth();
    const struct {
        const wchar_t* exitCode;
        const wchar_t* traced;
    } outcomes[] = {{L"0", L"0"}, {L"1", L"1"}, {L"4294967295", L"-1"}};
    const std::wstring program = m_folder + L"\\NVDUninst.exe";
    for (const auto& outcome : outcomes) {
        SCOPED_TRACE(Narrow(outcome.exitCode));
        SetEnvironmentVariableW(L"NVD_STANDIN_EXIT", outcome.exitCode);
        const DebugRun run = Entry(5, TRUE, 0);
        EXPECT_EQ(run.exitCode, 0u);
        EXPECT_EQ(TraceMessages(run),
                  RemoveLines(program, {L"<Execute_NVDUninst> dwUnInstallResult = 1",
                                        L"<Execute_NVDUninst> UnInstall success, exitCode: " +
                                            std::wstring(outcome.traced)}));
    }
    EXPECT_EQ(ReadRecords(m_record).size(), 3u);
}

TEST_F(CoInstallerEntryTest, RemoveStopsWaitingAfterTenSecondsAndLeavesTheUninstallerRunning) {
    InstallBoth();
    SetEnvironmentVariableW(L"NVD_STANDIN_RUN_MS", L"16000");
    const DebugRun run = Entry(5, TRUE, 0);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(TraceMessages(run), RemoveLines(m_folder + L"\\NVDUninst.exe",
                                              {L"<Execute_NVDUninst> dwUnInstallResult = 1",
                                               L"<Execute_NVDUninst> UnInstall success, exitCode: 259"}));
    const long long waited = UninstallerWait(run);
    EXPECT_GE(waited, 9950);
    EXPECT_LT(waited, 12000);

    const std::vector<Record> records = ReadRecords(m_record);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_FALSE(WaitForRecordedProcess(records[0], 0)) << "the uninstaller was stopped";
}

TEST_F(CoInstallerEntryTest, RemoveWithoutTheUninstallerSaysFailAndSucceeds) {
    Install(L"NVDService.exe");
    ExpectOnlyTraced(5, TRUE, 0, 0u,
                     RemoveLines(m_folder + L"\\NVDUninst.exe", {L"<Execute_NVDUninst> dwUnInstallResult = 0",
                                                                 L"<Execute_NVDUninst> UnInstall fail"}));
}

// The caller's %ProgramFiles% says nothing about where the product lives: an elevated tool started
// with it undefined (the path would then keep the variable and be taken from the current folder)
// or pointed at a folder of somebody else's still starts the programs of the real Program Files.
TEST_F(CoInstallerEntryTest, TheCallersProgramFilesIsIgnored) {
    const std::wstring real = m_folder;
    const std::wstring current = Expand(L"%TEMP%") + L"\\nvcwd" + std::to_wstring(GetCurrentProcessId());
    const std::wstring planted = Expand(L"%TEMP%") + L"\\nvpf" + std::to_wstring(GetCurrentProcessId());
    for (const std::wstring& elsewhere : {current + L"\\%ProgramFiles%", planted}) {
        UseProgramFiles(elsewhere);
        InstallBoth();
    }
    UseProgramFiles(real.substr(0, real.size() - std::wstring(L"\\NorvikFP").size()));
    ASSERT_EQ(m_folder, real);
    InstallBoth();
    const CurrentFolderFor caller(current);
    ASSERT_TRUE(caller.Changed());

    const struct {
        const wchar_t* programFiles; // the caller's; "-": undefined
        DWORD function;
        const wchar_t* program;
    } requests[] = {
        {L"-", 2, L"NVDService.exe"},
        {L"-", 5, L"NVDUninst.exe"},
        {planted.c_str(), 2, L"NVDService.exe"},
        {planted.c_str(), 5, L"NVDUninst.exe"},
    };
    std::size_t started = 0;
    for (const auto& request : requests) {
        SCOPED_TRACE(Narrow(request.programFiles) + " " + std::to_string(request.function));
        SetEnvironmentVariableW(L"NVD_CALLER_PROGRAMFILES", request.programFiles);
        const DebugRun run = Entry(request.function, TRUE, 0);
        EXPECT_EQ(run.exitCode, 0u);
        const std::vector<Record> records = WaitForRecords(m_record, ++started, 10000);
        ASSERT_EQ(records.size(), started);
        EXPECT_TRUE(SamePath(records.back().at("program"), real + L"\\" + request.program))
            << records.back().at("program");
        WaitForRecordedProcess(records.back(), 20000);
    }
}

// Whoever controls a share would choose what runs with the device installer's rights: a Program
// Files folder on the network starts nothing. The shell's folder itself is moved for this.
TEST_F(CoInstallerEntryTest, AProgramFilesOnTheNetworkStartsNothing) {
    const std::wstring share = L"\\\\nvserver\\share\\Program Files";
    const ProgramFilesDirFor moved(share);
    ASSERT_TRUE(moved.Changed());
    const struct {
        DWORD function;
        std::vector<std::wstring> lines;
    } requests[] = {
        {2, InstallLines((L"##### NVDService.exe path is on the network: " + share +
                          L"\\NorvikFP\\NVDService.exe #####")
                             .c_str())},
        {5, RemoveLines(share + L"\\NorvikFP\\NVDUninst.exe",
                        {L"<Execute_NVDUninst> tcharUnInstPath is on the network",
                         L"<Execute_NVDUninst> UnInstall fail"})},
    };
    for (const auto& request : requests) {
        SCOPED_TRACE(request.function);
        ExpectOnlyTraced(request.function, TRUE, 0, 0u, request.lines);
    }
}

// The machine's Program Files pointed at a folder of a chosen length, so that the program path has
// exactly the length a case needs; the stand-in really sits at that path.
class CoInstallerPathLengthTest : public CoInstallerEntryTest {
protected:
    void UseProgramPathOfLength(std::size_t units, const wchar_t* program) {
        const std::wstring tail = std::wstring(L"\\NorvikFP\\") + program;
        std::wstring root = Expand(L"%TEMP%") + L"\\nvlp" + std::to_wstring(GetCurrentProcessId()) + L"\\";
        ASSERT_LT(root.size() + tail.size(), units);
        const std::wstring programFiles = root + std::wstring(units - tail.size() - root.size(), L'p');
        ASSERT_EQ(programFiles.size() + tail.size(), units);
        m_moved.emplace(programFiles);
        ASSERT_TRUE(m_moved->Changed());
        UseProgramFiles(programFiles);
        Install(program);
    }

    std::optional<ProgramFilesDirFor> m_moved;
};

TEST_F(CoInstallerPathLengthTest, ServicePathOf255UnitsIsStarted) {
    UseProgramPathOfLength(255, L"NVDService.exe");
    const DebugRun run = Entry(2, TRUE, 0);
    EXPECT_EQ(run.exitCode, 0u);
    const std::vector<std::wstring> messages = TraceMessages(run);
    ASSERT_EQ(messages.size(), 7u);
    EXPECT_EQ(messages[5], L"##### NVDService.exe Find #####");
    const std::vector<Record> records = WaitForRecords(m_record, 1, 10000);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_TRUE(SamePath(records[0].at("program"), m_folder + L"\\NVDService.exe"))
        << records[0].at("program");
}

TEST_F(CoInstallerPathLengthTest, ServicePathOf256UnitsIsNotUsed) {
    UseProgramPathOfLength(256, L"NVDService.exe");
    ExpectOnlyTraced(2, TRUE, 0, 0u,
                     InstallLines(L"##### NVDService.exe path does not fit in 256 units #####"));
}

TEST_F(CoInstallerPathLengthTest, UninstallerPathOf255UnitsIsRun) {
    UseProgramPathOfLength(255, L"NVDUninst.exe");
    const DebugRun run = Entry(5, TRUE, 0);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(TraceMessages(run), RemoveLines(m_folder + L"\\NVDUninst.exe",
                                              {L"<Execute_NVDUninst> dwUnInstallResult = 1",
                                               L"<Execute_NVDUninst> UnInstall success, exitCode: 0"}));
    EXPECT_EQ(ReadRecords(m_record).size(), 1u);
}

TEST_F(CoInstallerPathLengthTest, UninstallerPathOf256UnitsIsNotUsed) {
    UseProgramPathOfLength(256, L"NVDUninst.exe");
    ExpectOnlyTraced(5, TRUE, 0, 0u,
                     RemoveLines(std::vector<std::wstring>{
                         L"<Execute_NVDUninst> tcharUnInstPath does not fit in 256 units",
                         L"<Execute_NVDUninst> UnInstall fail",
                     }));
}

} // namespace
} // namespace coinsttest
