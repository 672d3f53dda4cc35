// Two processes of the prefix see each other's named mutex and files under C:\ProgramData.
#include "tests/support/SharedFolder.h"
#include "tests/support/WinProcess.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring ScratchFile(const wchar_t* tag) {
    testwin::MakeSharedFolder();
    return testwin::kSharedFolder + L"\\harness-" + tag + L"-" + std::to_wstring(GetCurrentProcessId()) +
           L".txt";
}

// Starts the peer with the given arguments; returns its process handle (null on failure).
HANDLE StartPeer(const std::wstring& arguments) {
    return testwin::StartProgram(L"harness_peer.exe", arguments);
}

DWORD WaitExit(HANDLE process) {
    return testwin::WaitExit(process, 30000);
}

TEST(WineHarness, APeerSeesOurMutexAndFile) {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, L"Norvik Fingerprint");
    ASSERT_NE(mutex, nullptr);
    const std::wstring path = ScratchFile(L"ours");
    ASSERT_TRUE(testwin::WriteText(path, "from-the-test"));

    HANDLE peer = StartPeer(L"check \"" + path + L"\" from-the-test");
    ASSERT_NE(peer, nullptr) << "peer not started, error " << GetLastError();
    EXPECT_EQ(WaitExit(peer), 0u) << "10: no mutex, 11: wrong file contents";

    CloseHandle(mutex);
    DeleteFileW(path.c_str());

    // With the mutex gone, the same check fails: the peer really looks.
    peer = StartPeer(L"check \"" + path + L"\" from-the-test");
    ASSERT_NE(peer, nullptr);
    EXPECT_EQ(WaitExit(peer), 10u);
}

TEST(WineHarness, WeSeeAPeersMutexAndFile) {
    const std::wstring path = ScratchFile(L"peer");
    const std::wstring event = L"NvHarness-" + std::to_wstring(GetCurrentProcessId());
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, (event + L"-ready").c_str());
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, (event + L"-done").c_str());
    ASSERT_TRUE(ready && done);

    HANDLE peer = StartPeer(L"hold \"" + path + L"\" from-the-peer " + event);
    ASSERT_NE(peer, nullptr);
    ASSERT_EQ(WaitForSingleObject(ready, 30000), WAIT_OBJECT_0);

    // The single-instance test as the program makes it.
    HANDLE mutex = CreateMutexW(nullptr, FALSE, L"Norvik Fingerprint");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    ASSERT_NE(mutex, nullptr);
    CloseHandle(mutex);

    EXPECT_EQ(testwin::ReadText(path), "from-the-peer");

    SetEvent(done);
    EXPECT_EQ(WaitExit(peer), 0u);
    CloseHandle(ready);
    CloseHandle(done);
    DeleteFileW(path.c_str());
}

} // namespace
