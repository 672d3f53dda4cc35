// The enrolment dialog in a process of its own (enroll_host.exe), operated from outside the way a
// person and the system would: guidriver finds it, reads its controls, presses keys, clicks with
// real mouse input and broadcasts the suspend notice; winbio-sim plays the sensor.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

std::wstring BinDir() {
    wchar_t self[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring path(self, n);
    return path.substr(0, path.find_last_of(L'\\') + 1);
}

struct RunResult {
    DWORD code = 0xFFFFFFFF;
    std::string out;
};

// A started program whose output goes to a file of its own.
class Process {
public:
    Process(const std::wstring& exe, const std::wstring& arguments) {
        static int runs = 0;
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        m_outPath = std::wstring(temp) + L"nv-enroll-host-test-" + std::to_wstring(GetCurrentProcessId()) +
                    L"-" + std::to_wstring(++runs) + L".out";
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        HANDLE out = CreateFileW(m_outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                                 0, nullptr);
        if (out == INVALID_HANDLE_VALUE)
            return;
        std::wstring commandLine = L"\"" + BinDir() + exe + L"\" " + arguments;
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = out;
        startup.hStdError = out;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        PROCESS_INFORMATION info = {};
        if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                           &info)) {
            CloseHandle(info.hThread);
            m_process = info.hProcess;
        }
        CloseHandle(out);
    }
    ~Process() {
        if (m_process != nullptr) {
            if (WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT)
                TerminateProcess(m_process, 99);
            CloseHandle(m_process);
        }
        DeleteFileW(m_outPath.c_str());
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool Started() const { return m_process != nullptr; }
    bool Running() const { return m_process != nullptr && WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT; }
    // Waits for the end; the exit code, or 0xFFFFFFFF when it did not end in time.
    RunResult Wait(DWORD ms = 30000) {
        RunResult result;
        if (m_process == nullptr || WaitForSingleObject(m_process, ms) != WAIT_OBJECT_0)
            return result;
        GetExitCodeProcess(m_process, &result.code);
        HANDLE in = CreateFileW(m_outPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
        if (in != INVALID_HANDLE_VALUE) {
            char buffer[4096];
            DWORD read = 0;
            while (ReadFile(in, buffer, sizeof buffer, &read, nullptr) && read > 0)
                result.out.append(buffer, read);
            CloseHandle(in);
        }
        result.out.erase(std::remove(result.out.begin(), result.out.end(), '\r'), result.out.end());
        return result;
    }

private:
    std::wstring m_outPath;
    HANDLE m_process = nullptr;
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
    ASSERT_EQ(Sim(L"touch finger-h").code, 0u);
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

TEST_F(EnrollHostTest, TheCloseButtonEndsWithTwo) {
    Start();
    ASSERT_EQ(Driver(L"click " + kDialog + L" --id 1229").code, 0u);
    const RunResult end = host.Wait();
    EXPECT_EQ(end.code, 2u);
    EXPECT_EQ(end.out, "result 2\n");
}

} // namespace
