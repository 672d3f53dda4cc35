// The stored credential upkeep under Wine: hand-off files and databases laid out byte by byte in
// a folder of the test's own, and a logon function that answers as the test tells it.
#include "credentials/StoredCredentials.h"

#include "base/Trace.h"
#include "base/WorkLimit.h"
#include "database/TemplateImage.h"
#include "tests/support/DatabaseTestSupport.h"

#include <gtest/gtest.h>

#include <map>
#include <thread>
#include <string_view>
#include <string>
#include <vector>

namespace {

using namespace dbtest;

//--- The logon stand-in: an error per "user:password", else per "DOMAIN\\user", else per user name
// (0 logs on; anyone not named logs on), and a record of every call.
struct LogonCall {
    std::wstring user, domain, password;
    bool domainNull;
    DWORD type, provider;
};
std::map<std::wstring, DWORD> g_logonResults;
std::vector<LogonCall> g_logonCalls;
void (*g_duringLogon)() = nullptr;

BOOL WINAPI FakeLogon(LPCWSTR user, LPCWSTR domain, LPCWSTR password, DWORD type, DWORD provider,
                      PHANDLE token) {
    g_logonCalls.push_back({user, domain ? domain : L"", password, domain == nullptr, type, provider});
    if (g_duringLogon)
        g_duringLogon();
    auto found = g_logonResults.find(std::wstring(user) + L":" + password);
    if (found == g_logonResults.end() && domain != nullptr && domain[0] != L'\0')
        found = g_logonResults.find(std::wstring(domain) + L"\\" + user);
    if (found == g_logonResults.end())
        found = g_logonResults.find(user);
    const DWORD error = found == g_logonResults.end() ? 0 : found->second;
    if (error == 0) {
        // A real handle, so that closing it is checked too.
        *token = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        return TRUE;
    }
    SetLastError(error);
    return FALSE;
}

std::vector<std::u16string> g_trace;
void CollectTrace(const char16_t* line) {
    g_trace.emplace_back(line);
}

class Upkeep : public ::testing::Test {
protected:
    void SetUp() override {
        g_logonResults.clear();
        g_logonCalls.clear();
        g_duringLogon = nullptr;
        g_trace.clear();
        nvtrace::SetSink(CollectTrace);
    }
    void TearDown() override {
        nvtrace::SetSink(nullptr);
        g_duringLogon = nullptr;
    }
};

//--- Hand-off files, masked with the writer's byte.
std::vector<unsigned char> HandOff(const std::wstring& user, const std::wstring& password,
                                   std::uint32_t size = 272, std::uint32_t userBytes = 0xFFFFFFFF,
                                   std::uint32_t passwordBytes = 0xFFFFFFFF) {
    std::vector<unsigned char> plain(272, 0);
    Put32(plain, 0, size);
    Put32(plain, 8, userBytes == 0xFFFFFFFF ? static_cast<std::uint32_t>(2 * user.size()) : userBytes);
    Put32(plain, 12,
          passwordBytes == 0xFFFFFFFF ? static_cast<std::uint32_t>(2 * password.size()) : passwordBytes);
    PutText(plain, 16, user);
    PutText(plain, 144, password);
    for (auto& b : plain)
        b ^= 0xA7;
    return plain;
}

std::vector<unsigned char> Accounts() {
    auto image = PatternImage(21);
    for (int r = 0; r < 10; ++r)
        Put32(image, At(r, 4), 0);
    PutAccount(image, 1, L"alice", L"old-alice");
    PutAccount(image, 4, L"bob", L"old-bob", L"NORVIK");
    PutAccount(image, 6, L"carol", L"old-carol");
    return image;
}

//--- ApplyPasswordFile

TEST_F(Upkeep, ApplyPasswordFileWritesThePasswordIntoThatRecordOnly) {
    ScratchFolder folder(L"apply");
    auto image = Accounts();
    PutText(image, At(4, 80), std::wstring(32, L'x')); // longer than the new one: the rest is cleared
    ASSERT_TRUE(WriteRaw(folder.Database(), Encrypt(image)));
    // Named as Windows would take it, in other letters; the password is tried on the record's account.
    ASSERT_TRUE(WriteRaw(folder.HandOff(), HandOff(L"BOB", L"n3w-pass")));
    // Only a refused password stops it; any other answer says nothing about the password.
    g_logonResults = {{L"bob", ERROR_ACCOUNT_RESTRICTION}};
    CTemplateDatabase database(folder.Path().c_str());
    CStoredCredentials upkeep(database, FakeLogon);
    EXPECT_EQ(upkeep.ApplyPasswordFile(), 1);
    EXPECT_FALSE(Exists(folder.HandOff()));

    const auto after = Decrypt(ReadRaw(folder.Database()));
    ASSERT_EQ(after.size(), kImage);
    EXPECT_EQ(GetText(after, At(4, 80)), L"n3w-pass");
    EXPECT_EQ(Get32(after, At(4, 12)), 8u);
    for (std::size_t i = 0; i < kImage; ++i) {
        const bool edited = (i >= At(4, 12) && i < At(4, 16)) || (i >= At(4, 80) && i < At(4, 144));
        if (!edited) {
            ASSERT_EQ(after[i], image[i]) << i;
        }
    }
    ASSERT_EQ(g_logonCalls.size(), 1u);
    EXPECT_EQ(g_logonCalls[0].user, L"bob");
    EXPECT_EQ(g_logonCalls[0].domain, L"NORVIK");
    EXPECT_EQ(g_logonCalls[0].password, L"n3w-pass");
}

TEST_F(Upkeep, ApplyPasswordFileWithAnEmptyPasswordStoresLengthZero) {
    ScratchFolder folder(L"applyempty");
    ASSERT_TRUE(WriteRaw(folder.Database(), Encrypt(Accounts())));
    ASSERT_TRUE(WriteRaw(folder.HandOff(), HandOff(L"carol", L"")));
    CTemplateDatabase database(folder.Path().c_str());
    CStoredCredentials upkeep(database, FakeLogon);
    EXPECT_EQ(upkeep.ApplyPasswordFile(), 1);
    const auto after = Decrypt(ReadRaw(folder.Database()));
    EXPECT_EQ(GetText(after, At(6, 80)), L"");
    EXPECT_EQ(Get32(after, At(6, 12)), 0u);
}

TEST_F(Upkeep, ApplyPasswordFileWithNoHandOffFileDoesNothing) {
    ScratchFolder folder(L"applynone");
    ASSERT_TRUE(WriteRaw(folder.Database(), Encrypt(Accounts())));
    ASSERT_TRUE(AgeFile(folder.Database()));
    const FILETIME before = WriteTime(folder.Database());
    CTemplateDatabase database(folder.Path().c_str());
    CStoredCredentials upkeep(database, FakeLogon);
    EXPECT_EQ(upkeep.ApplyPasswordFile(), 1);
    const FILETIME after = WriteTime(folder.Database());
    EXPECT_EQ(CompareFileTime(&before, &after), 0);
    EXPECT_EQ(FilesIn(folder.Path()).size(), 1u);
}

// Every way the hand-off can be wrong or refused: the outcome, and whether the file is still there.
// One that is done with goes; one that could not be applied now stays for the next start.
TEST_F(Upkeep, ApplyPasswordFileFailureTable) {
    struct Row {
        const wchar_t* what;
        std::vector<unsigned char> handOff;
        bool database;
        bool handOffRemains;
        DWORD logon = 0; // what the logon answers for alice
    };
    auto shortFile = HandOff(L"alice", L"pw");
    shortFile.resize(271);
    const Row rows[] = {
        {L"nodb", HandOff(L"alice", L"pw"), false, false},
        {L"size271", HandOff(L"alice", L"pw", 271), true, false},
        {L"size0", HandOff(L"alice", L"pw", 0), true, false},
        {L"user33", HandOff(L"alice", L"pw", 272, 33), true, false},
        {L"pass33", HandOff(L"alice", L"pw", 272, 10, 33), true, false},
        {L"short", shortFile, true, false},
        {L"empty", {}, true, false},
        {L"refused", HandOff(L"alice", L"pw"), true, false, ERROR_LOGON_FAILURE},
        // Answers that say nothing about the password: it may still be right, and is tried again.
        {L"lockedout", HandOff(L"alice", L"pw"), true, true, ERROR_ACCOUNT_LOCKED_OUT},
        {L"disabled", HandOff(L"alice", L"pw"), true, true, ERROR_ACCOUNT_DISABLED},
        {L"nodomain", HandOff(L"alice", L"pw"), true, true, ERROR_NO_LOGON_SERVERS},
        {L"unknown", HandOff(L"dave", L"pw"), true, false},
        {L"nouser", HandOff(L"", L"pw"), true, false},
        {L"freerecord", HandOff(L"ghost", L"pw"), true, false},
    };
    for (const Row& row : rows) {
        ScratchFolder folder(std::wstring(L"fail-") + row.what);
        auto image = Accounts();
        PutField(image, At(8, 16), L"ghost"); // a free record with a name
        const auto original = Encrypt(image);
        if (row.database) {
            ASSERT_TRUE(WriteRaw(folder.Database(), original));
        }
        ASSERT_TRUE(WriteRaw(folder.HandOff(), row.handOff));
        g_logonResults = {{L"alice", row.logon}};
        CTemplateDatabase database(folder.Path().c_str());
        CStoredCredentials upkeep(database, FakeLogon);
        EXPECT_EQ(upkeep.ApplyPasswordFile(), 0) << row.what;
        EXPECT_EQ(Exists(folder.HandOff()), row.handOffRemains) << row.what;
        if (row.database) {
            EXPECT_TRUE(ReadRaw(folder.Database()) == original) << row.what;
        } else {
            EXPECT_FALSE(Exists(folder.Database())) << row.what << ": no database is made";
        }
    }
}

TEST_F(Upkeep, ApplyPasswordFileThatCannotBeOpenedOrDeletedStays) {
    ScratchFolder folder(L"applyheld");
    const auto original = Encrypt(Accounts());
    ASSERT_TRUE(WriteRaw(folder.Database(), original));
    ASSERT_TRUE(WriteRaw(folder.HandOff(), HandOff(L"alice", L"pw")));
    CTemplateDatabase database(folder.Path().c_str());
    CStoredCredentials upkeep(database, FakeLogon);

    // Held with no sharing at all: it cannot be opened.
    HANDLE exclusive =
        CreateFileW(folder.HandOff().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
    EXPECT_EQ(upkeep.ApplyPasswordFile(), 0);
    EXPECT_TRUE(Exists(folder.HandOff()));
    CloseHandle(exclusive);

    // Held by a reader that does not allow deletion: it cannot be opened so that it can be deleted
    // once applied, so nothing is applied and it stays for the next start.
    HANDLE reader = CreateFileW(folder.HandOff().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_EQ(upkeep.ApplyPasswordFile(), 0);
    EXPECT_TRUE(Exists(folder.HandOff()));
    CloseHandle(reader);
    EXPECT_TRUE(ReadRaw(folder.Database()) == original);

    // Once free, the same file is applied.
    EXPECT_EQ(upkeep.ApplyPasswordFile(), 1);
    EXPECT_FALSE(Exists(folder.HandOff()));
    EXPECT_EQ(GetText(Decrypt(ReadRaw(folder.Database())), At(1, 80)), L"pw");
}

// A database that cannot be written now: the hand-off waits for the next start, and the account
// whose old password Windows no longer takes is not cleared meanwhile.
TEST_F(Upkeep, AHandOffThatCannotBeSavedStaysAndKeepsItsAccount) {
    ScratchFolder folder(L"applyro");
    const auto original = Encrypt(Accounts());
    ASSERT_TRUE(WriteRaw(folder.Database(), original));
    ASSERT_TRUE(SetFileAttributesW(folder.Database().c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(WriteRaw(folder.HandOff(), HandOff(L"Alice", L"pw")));
    g_logonResults = {{L"alice:old-alice", ERROR_LOGON_FAILURE}, {L"bob", ERROR_LOGON_FAILURE}};
    CTemplateDatabase database(folder.Path().c_str());
    CStoredCredentials upkeep(database, FakeLogon);
    EXPECT_EQ(upkeep.ApplyPasswordFile(), 0);
    EXPECT_TRUE(Exists(folder.HandOff()));
    EXPECT_TRUE(ReadRaw(folder.Database()) == original);

    ASSERT_TRUE(SetFileAttributesW(folder.Database().c_str(), FILE_ATTRIBUTE_NORMAL));
    int wiped[10] = {};
    g_logonCalls.clear();
    EXPECT_EQ(upkeep.CheckAccount(wiped), 1);
    const int expected[10] = {0, 0, 0, 0, 1, 0, 0, 0, 0, 0};
    EXPECT_TRUE(std::equal(std::begin(wiped), std::end(wiped), std::begin(expected))) << "only bob goes";
    // Alice's old password is not even tried: it would only add to her bad-password count.
    EXPECT_TRUE(std::none_of(g_logonCalls.begin(), g_logonCalls.end(),
                             [](const LogonCall& call) { return call.user == L"alice"; }));
    EXPECT_EQ(GetText(Decrypt(ReadRaw(folder.Database())), At(1, 80)), L"old-alice");

    EXPECT_EQ(upkeep.ApplyPasswordFile(), 1);
    EXPECT_FALSE(Exists(folder.HandOff()));
    EXPECT_EQ(GetText(Decrypt(ReadRaw(folder.Database())), At(1, 80)), L"pw");
}

// A service of session 0 holds the machine's mutex: the pass waits for the bound, gives up, and
// the hand-off is there for the next start.
TEST_F(Upkeep, ApplyPasswordFileGivesUpAfterTheBoundAndKeepsTheHandOff) {
    ScratchFolder folder(L"applybound");
    const auto original = Encrypt(Accounts());
    ASSERT_TRUE(WriteRaw(folder.Database(), original));
    ASSERT_TRUE(WriteRaw(folder.HandOff(), HandOff(L"alice", L"pw")));
    const std::wstring event = L"NvCredBound-" + std::to_wstring(GetCurrentProcessId());
    HANDLE ready = MakeEvent(event + L"-ready");
    HANDLE peer = StartPeer(L"holdname \"Global\\Norvik Fingerprint Database\" " + event + L" 4000");
    ASSERT_NE(peer, nullptr);
    ASSERT_EQ(WaitForSingleObject(ready, 60000), WAIT_OBJECT_0);
    CTemplateDatabase database(folder.Path().c_str(), kSystemFileOperations, 1000);
    CStoredCredentials upkeep(database, FakeLogon);
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(upkeep.ApplyPasswordFile(), 0);
    EXPECT_GE(GetTickCount64() - start, 900u);
    EXPECT_TRUE(Exists(folder.HandOff()));
    EXPECT_TRUE(ReadRaw(folder.Database()) == original);
    EXPECT_EQ(WaitExit(peer), 0u);
    CloseHandle(ready);
    // With the usual bound: another test's peer may hold the mutex for a while.
    CTemplateDatabase nextStart(folder.Path().c_str());
    EXPECT_EQ(CStoredCredentials(nextStart, FakeLogon).ApplyPasswordFile(), 1);
    EXPECT_FALSE(Exists(folder.HandOff()));
}

TEST_F(Upkeep, ApplyPasswordFileReadsOnlyTheFirst272Bytes) {
    ScratchFolder folder(L"applylong");
    ASSERT_TRUE(WriteRaw(folder.Database(), Encrypt(Accounts())));
    auto handOff = HandOff(L"alice", L"long-file");
    handOff.resize(4096, 0x99);
    ASSERT_TRUE(WriteRaw(folder.HandOff(), handOff));
    CTemplateDatabase database(folder.Path().c_str());
    CStoredCredentials upkeep(database, FakeLogon);
    EXPECT_EQ(upkeep.ApplyPasswordFile(), 1);
    EXPECT_FALSE(Exists(folder.HandOff()));
    EXPECT_EQ(GetText(Decrypt(ReadRaw(folder.Database())), At(1, 80)), L"long-file");
}

// Two accounts share a name in different domains: the hand-off goes to the one whose logon takes
// its password, whichever comes first; the other keeps its own.
TEST_F(Upkeep, AHandOffGoesToTheAccountOfThatNameWhoseLogonTakesIt) {
    ScratchFolder folder(L"applytwo");
    auto image = Accounts();
    PutAccount(image, 0, L"alice", L"corp-alice", L"CORP");
    ASSERT_TRUE(WriteRaw(folder.Database(), Encrypt(image)));
    ASSERT_TRUE(WriteRaw(folder.HandOff(), HandOff(L"alice", L"n3w")));
    g_logonResults = {{L"CORP\\alice", ERROR_LOGON_FAILURE}};
    CTemplateDatabase database(folder.Path().c_str());
    CStoredCredentials upkeep(database, FakeLogon);
    EXPECT_EQ(upkeep.ApplyPasswordFile(), 1);
    EXPECT_FALSE(Exists(folder.HandOff()));
    const auto after = Decrypt(ReadRaw(folder.Database()));
    EXPECT_EQ(GetText(after, At(0, 80)), L"corp-alice");
    EXPECT_EQ(GetText(after, At(1, 80)), L"n3w");
    ASSERT_EQ(g_logonCalls.size(), 2u);
    EXPECT_EQ(g_logonCalls[0].domain, L"CORP");
    EXPECT_EQ(g_logonCalls[1].domain, L"");
}

// What a writer of the folder can do to the hand-off while we log on or before: deliver a newer
// one, leave it read-only, give it (or the database) a second name, or have the database deleted.
std::wstring g_newerHandOff;
void WriteNewerHandOff() {
    WriteRaw(g_newerHandOff, HandOff(L"alice", L"newer"));
}
// Windows answers every open of a delete-pending file with access denied; Wine opens it as any
// other (measured), so the table of file operations answers for it.
HANDLE WINAPI DeletePendingDatabase(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                    DWORD disposition, DWORD flags, HANDLE model) {
    if (std::wstring_view(path).ends_with(L"\\NVKDB.edb")) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    return CreateFileW(path, access, share, security, disposition, flags, model);
}
const FileOperations kDeletePendingFileOperations = {DeletePendingDatabase, GetFileInformationByHandle,
                                                     GetFileSecurityW, SetKernelObjectSecurity,
                                                     SetFileInformationByHandle};

TEST_F(Upkeep, TheHandOffAsAWriterOfTheFolderMayLeaveIt) {
    enum class Trick { Newer, ReadOnly, HardLinkedHandOff, HardLinkedDatabase, DatabaseDeletePending };
    struct Row {
        const char* what;
        Trick trick;
        int result;
        const wchar_t* password; // alice's afterwards
        bool handOffRemains;
    };
    const Row rows[] = {
        {"newer", Trick::Newer, 0, L"old-alice", true},
        {"readonly", Trick::ReadOnly, 1, L"pw", false},
        {"hardlinkhandoff", Trick::HardLinkedHandOff, 0, L"old-alice", true},
        {"hardlinkdatabase", Trick::HardLinkedDatabase, 0, L"old-alice", true},
        {"deletepending", Trick::DatabaseDeletePending, 0, L"old-alice", true},
    };
    for (const Row& row : rows) {
        ScratchFolder folder(L"trick-" + std::wstring(row.what, row.what + strlen(row.what)));
        const auto original = Encrypt(Accounts());
        ASSERT_TRUE(WriteRaw(folder.Database(), original));
        ASSERT_TRUE(WriteRaw(folder.HandOff(), HandOff(L"alice", L"pw")));
        const std::wstring second = folder.Path() + L"\\elsewhere";
        const FileOperations* files = &kSystemFileOperations;
        switch (row.trick) {
        case Trick::Newer:
            g_newerHandOff = folder.HandOff();
            g_duringLogon = WriteNewerHandOff;
            break;
        case Trick::ReadOnly:
            ASSERT_TRUE(SetFileAttributesW(folder.HandOff().c_str(), FILE_ATTRIBUTE_READONLY));
            break;
        case Trick::HardLinkedHandOff:
            ASSERT_TRUE(CreateHardLinkW(second.c_str(), folder.HandOff().c_str(), nullptr));
            break;
        case Trick::HardLinkedDatabase:
            ASSERT_TRUE(CreateHardLinkW(second.c_str(), folder.Database().c_str(), nullptr));
            break;
        case Trick::DatabaseDeletePending:
            // Deleted by a reader that still holds it: there, but not to be opened or asked about.
            files = &kDeletePendingFileOperations;
            break;
        }
        CTemplateDatabase database(folder.Path().c_str(), *files);
        CStoredCredentials upkeep(database, FakeLogon);
        EXPECT_EQ(upkeep.ApplyPasswordFile(), row.result) << row.what;
        g_duringLogon = nullptr;
        EXPECT_EQ(Exists(folder.HandOff()), row.handOffRemains) << row.what;
        if (row.password != nullptr) {
            EXPECT_EQ(GetText(Decrypt(ReadRaw(folder.Database())), At(1, 80)), row.password) << row.what;
        }
        if (row.trick == Trick::Newer) {
            // Left for the next start, which applies the newer one.
            EXPECT_TRUE(ReadRaw(folder.HandOff()) == HandOff(L"alice", L"newer"));
            EXPECT_EQ(upkeep.ApplyPasswordFile(), 1);
            EXPECT_EQ(GetText(Decrypt(ReadRaw(folder.Database())), At(1, 80)), L"newer");
        }
        SetFileAttributesW(folder.HandOff().c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(second.c_str());
    }
}

TEST_F(Upkeep, ApplyPasswordFileWaitsForAPeerThatHoldsTheMutex) {
    ScratchFolder folder(L"applywait");
    ASSERT_TRUE(WriteRaw(folder.Database(), Encrypt(Accounts())));
    ASSERT_TRUE(WriteRaw(folder.HandOff(), HandOff(L"alice", L"pw")));
    const std::wstring event = L"NvCredWait-" + std::to_wstring(GetCurrentProcessId());
    HANDLE ready = MakeEvent(event + L"-ready");
    // The peer holds the mutex for 1.5 s and then writes a database without any account.
    HANDLE peer = StartPeer(L"hold \"" + folder.Path() + L"\" " + event + L" 1500");
    ASSERT_NE(peer, nullptr);
    ASSERT_EQ(WaitForSingleObject(ready, 60000), WAIT_OBJECT_0);
    CTemplateDatabase database(folder.Path().c_str());
    CStoredCredentials upkeep(database, FakeLogon);
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(upkeep.ApplyPasswordFile(), 0) << "alice is gone from the peer's database";
    EXPECT_GE(GetTickCount64() - start, 1000u);
    EXPECT_FALSE(Exists(folder.HandOff()));
    EXPECT_EQ(WaitExit(peer), 0u);
    CloseHandle(ready);
    const auto after = Decrypt(ReadRaw(folder.Database()));
    EXPECT_TRUE(std::all_of(after.begin(), after.end(), [](unsigned char b) { return b == 0xC3; }));
}

// One limit for the whole upkeep of a start, every wait and logon together: a peer holding the
// machine's lock past it, or logons that use it up, leave everything for the next start, and a
// stop ends a wait at once.
void OneSecondLogon() {
    Sleep(1000);
}

TEST_F(Upkeep, OneLimitBoundsTheWholeUpkeepAndAStopEndsItAtOnce) {
    enum class Hold { PeerPastTheLimit, SlowLogons, StopWhileWaiting };
    struct Row {
        const char* what;
        Hold hold;
        ULONGLONG atLeastMs, atMostMs; // both passes together
    };
    const Row rows[] = {
        {"peer", Hold::PeerPastTheLimit, 1400, 2600},
        {"logons", Hold::SlowLogons, 1900, 3000},
        {"stop", Hold::StopWhileWaiting, 200, 1500},
    };
    for (const Row& row : rows) {
        ScratchFolder folder(L"limit-" + std::wstring(row.what, row.what + strlen(row.what)));
        const auto original = Encrypt(Accounts());
        ASSERT_TRUE(WriteRaw(folder.Database(), original));
        if (row.hold != Hold::SlowLogons) {
            ASSERT_TRUE(WriteRaw(folder.HandOff(), HandOff(L"alice", L"pw")));
        }
        g_logonCalls.clear();
        g_trace.clear();
        g_logonResults = {
            {L"alice", ERROR_LOGON_FAILURE}, {L"bob", ERROR_LOGON_FAILURE}, {L"carol", ERROR_LOGON_FAILURE}};
        const std::wstring event = L"NvLimit-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                   std::wstring(row.what, row.what + strlen(row.what));
        const nvwin::Handle ready(MakeEvent(event + L"-ready"));
        HANDLE peer = nullptr;
        if (row.hold != Hold::SlowLogons) {
            peer = StartPeer(L"holdname \"Global\\Norvik Fingerprint Database\" " + event + L" 4000");
            ASSERT_NE(peer, nullptr);
            ASSERT_EQ(WaitForSingleObject(ready.Get(), 60000), WAIT_OBJECT_0);
        }
        g_duringLogon = row.hold == Hold::SlowLogons ? OneSecondLogon : nullptr;
        CWorkLimit limit(row.hold == Hold::StopWhileWaiting ? 60000 : 1500);
        std::thread stopper;
        if (row.hold == Hold::StopWhileWaiting)
            stopper = std::thread([&limit] {
                Sleep(200);
                limit.RequestStop();
            });
        CTemplateDatabase database(folder.Path().c_str());
        CStoredCredentials upkeep(database, FakeLogon, &limit);
        const ULONGLONG start = GetTickCount64();
        EXPECT_EQ(upkeep.ApplyPasswordFile(), row.hold == Hold::SlowLogons ? 1 : 0) << row.what;
        int wiped[10] = {};
        EXPECT_EQ(upkeep.CheckAccount(wiped), 0) << row.what;
        const ULONGLONG spent = GetTickCount64() - start;
        if (stopper.joinable())
            stopper.join();
        g_duringLogon = nullptr;
        EXPECT_GE(spent, row.atLeastMs) << row.what;
        EXPECT_LE(spent, row.atMostMs) << row.what;
        EXPECT_TRUE(ReadRaw(folder.Database()) == original) << row.what << ": nothing written";
        EXPECT_EQ(std::count(std::begin(wiped), std::end(wiped), 1), 0) << row.what;
        if (row.hold == Hold::SlowLogons) {
            // The first logon at 0 s, the second at 1 s; at 2 s the time is up.
            EXPECT_EQ(g_logonCalls.size(), 2u);
            EXPECT_NE(std::find(g_trace.begin(), g_trace.end(),
                                u"(CheckAccount) out of time; left for the next start"),
                      g_trace.end());
        } else {
            EXPECT_TRUE(g_logonCalls.empty()) << row.what;
            EXPECT_TRUE(Exists(folder.HandOff())) << row.what << ": kept for the next start";
            EXPECT_EQ(WaitExit(peer), 0u);
        }
    }
}

//--- UpdatePassword

TEST_F(Upkeep, UpdatePasswordRefusals) {
    ScratchFolder folder(L"update");
    const auto original = Encrypt(Accounts());
    CTemplateDatabase database(folder.Path().c_str());
    CStoredCredentials upkeep(database, FakeLogon);
    EXPECT_EQ(upkeep.UpdatePassword(L"alice", L"pw"), 0) << "no database";
    EXPECT_FALSE(Exists(folder.Database()));
    ASSERT_TRUE(WriteRaw(folder.Database(), original));
    EXPECT_EQ(upkeep.UpdatePassword(L"", L"pw"), 0);
    EXPECT_EQ(upkeep.UpdatePassword(L"alice", std::wstring(33, L'p').c_str()), 0) << "does not fit";
    EXPECT_TRUE(ReadRaw(folder.Database()) == original);
    EXPECT_EQ(upkeep.UpdatePassword(L"alice", std::wstring(32, L'p').c_str()), 1);
    const auto after = Decrypt(ReadRaw(folder.Database()));
    EXPECT_EQ(GetText(after, At(1, 80)), std::wstring(32, L'p'));
    EXPECT_EQ(Get32(after, At(1, 12)), 32u);

    // Names compare as Windows compares them, an exact match first.
    auto image = Accounts();
    PutAccount(image, 3, L"Alice", L"old-Alice");
    ASSERT_TRUE(WriteRaw(folder.Database(), Encrypt(image)));
    EXPECT_EQ(upkeep.UpdatePassword(L"Alice", L"exact"), 1);
    EXPECT_EQ(upkeep.UpdatePassword(L"ALICE", L"first"), 1);
    const auto cased = Decrypt(ReadRaw(folder.Database()));
    EXPECT_EQ(GetText(cased, At(3, 80)), L"exact");
    EXPECT_EQ(GetText(cased, At(1, 80)), L"first");
}

//--- CheckAccount

TEST_F(Upkeep, CheckAccountClearsOnlyRecordsRejectedWith1326) {
    ScratchFolder folder(L"check");
    auto image = Accounts();
    PutAccount(image, 9, L"dave", L"old-dave");
    const auto original = Encrypt(image);
    ASSERT_TRUE(WriteRaw(folder.Database(), original));
    g_logonResults = {{L"alice", 0},
                      {L"bob", ERROR_LOGON_FAILURE},
                      {L"carol", ERROR_ACCOUNT_RESTRICTION},
                      {L"dave", ERROR_LOGON_FAILURE}};
    CTemplateDatabase database(folder.Path().c_str());
    CStoredCredentials upkeep(database, FakeLogon);
    int wiped[10];
    std::fill(std::begin(wiped), std::end(wiped), 7);
    EXPECT_EQ(upkeep.CheckAccount(wiped), 1);
    const int expected[10] = {0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    EXPECT_TRUE(std::equal(std::begin(wiped), std::end(wiped), std::begin(expected)));

    // Asked in record order with the stored texts; an empty domain as an empty text.
    ASSERT_EQ(g_logonCalls.size(), 4u);
    EXPECT_EQ(g_logonCalls[0].user, L"alice");
    EXPECT_EQ(g_logonCalls[0].password, L"old-alice");
    EXPECT_FALSE(g_logonCalls[0].domainNull);
    EXPECT_EQ(g_logonCalls[0].domain, L"");
    EXPECT_EQ(g_logonCalls[1].user, L"bob");
    EXPECT_EQ(g_logonCalls[1].domain, L"NORVIK");
    EXPECT_EQ(g_logonCalls[2].user, L"carol");
    EXPECT_EQ(g_logonCalls[3].user, L"dave");
    for (const auto& call : g_logonCalls) {
        EXPECT_EQ(call.type, 2u);
        EXPECT_EQ(call.provider, 0u);
    }

    const auto after = Decrypt(ReadRaw(folder.Database()));
    ASSERT_EQ(after.size(), kImage);
    for (std::size_t i = 0; i < kImage; ++i) {
        const bool cleared = (i >= At(4, 0) && i < At(5, 0)) || i >= At(9, 0);
        ASSERT_EQ(after[i], cleared ? 0 : image[i]) << i;
    }
    const std::vector<std::u16string> trace = {
        u"(1)(CheckAccount) Pass", u"(4)(CheckAccount) Fail = 52e", u"(6)(CheckAccount) Fail = 52f",
        u"(9)(CheckAccount) Fail = 52e", u"(WriteEncryptedFile) replaced"};
    EXPECT_EQ(g_trace, trace);
}

TEST_F(Upkeep, CheckAccountPassesFullFieldsWhole) {
    // Texts of exactly 32 units have no terminator in the image; the logon still gets all 32 and
    // nothing of the field behind.
    ScratchFolder folder(L"checkfull");
    auto image = Accounts();
    const std::wstring user(32, L'u'), password(32, L'p'), domain(32, L'd');
    PutAccount(image, 2, user, password, domain);
    Put32(image, At(2, 208), 0xFFFFFFFF); // right behind the domain
    ASSERT_TRUE(WriteRaw(folder.Database(), Encrypt(image)));
    g_logonResults = {{user, 0}, {L"alice", 0}, {L"bob", 0}, {L"carol", 0}};
    CTemplateDatabase database(folder.Path().c_str());
    CStoredCredentials upkeep(database, FakeLogon);
    int wiped[10] = {};
    EXPECT_EQ(upkeep.CheckAccount(wiped), 1);
    ASSERT_EQ(g_logonCalls.size(), 4u);
    EXPECT_EQ(g_logonCalls[1].user, user);
    EXPECT_EQ(g_logonCalls[1].password, password);
    EXPECT_EQ(g_logonCalls[1].domain, domain);
}

TEST_F(Upkeep, CheckAccountWithNothingRejectedDoesNotRewrite) {
    ScratchFolder folder(L"checkkeep");
    const auto original = Encrypt(Accounts());
    ASSERT_TRUE(WriteRaw(folder.Database(), original));
    ASSERT_TRUE(AgeFile(folder.Database()));
    const FILETIME before = WriteTime(folder.Database());
    g_logonResults = {{L"alice", 0}, {L"bob", ERROR_ACCOUNT_DISABLED}, {L"carol", ERROR_NO_LOGON_SERVERS}};
    CTemplateDatabase database(folder.Path().c_str());
    CStoredCredentials upkeep(database, FakeLogon);
    int wiped[10] = {};
    EXPECT_EQ(upkeep.CheckAccount(wiped), 1);
    EXPECT_EQ(std::count(std::begin(wiped), std::end(wiped), 1), 0);
    const FILETIME after = WriteTime(folder.Database());
    EXPECT_EQ(CompareFileTime(&before, &after), 0);
    EXPECT_TRUE(ReadRaw(folder.Database()) == original);
}

// While the logons run, the file is still the one that was read: the clears are written once,
// at the end.
std::wstring g_watchedFile;
std::vector<unsigned char> g_watchedBytes;
int g_changedDuringLogon = 0;
void CheckTheFileIsUntouched() {
    g_changedDuringLogon += ReadRaw(g_watchedFile) == g_watchedBytes ? 0 : 1;
}

TEST_F(Upkeep, CheckAccountWhenAllAreRejectedFreesEveryRecord) {
    ScratchFolder folder(L"checkall");
    auto image = Accounts();
    g_watchedFile = folder.Database();
    g_watchedBytes = Encrypt(image);
    g_changedDuringLogon = 0;
    ASSERT_TRUE(WriteRaw(folder.Database(), g_watchedBytes));
    g_logonResults = {
        {L"alice", ERROR_LOGON_FAILURE}, {L"bob", ERROR_LOGON_FAILURE}, {L"carol", ERROR_LOGON_FAILURE}};
    CTemplateDatabase database(folder.Path().c_str());
    CStoredCredentials upkeep(database, FakeLogon);
    g_duringLogon = CheckTheFileIsUntouched;
    int wiped[10] = {};
    EXPECT_EQ(upkeep.CheckAccount(wiped), 1);
    g_duringLogon = nullptr;
    EXPECT_EQ(g_logonCalls.size(), 3u);
    EXPECT_EQ(g_changedDuringLogon, 0);
    EXPECT_EQ(wiped[1] + wiped[4] + wiped[6], 3);
    EXPECT_EQ(std::count(std::begin(wiped), std::end(wiped), 1), 3);
    const auto after = Decrypt(ReadRaw(folder.Database()));
    for (int r : {1, 4, 6})
        EXPECT_TRUE(std::all_of(after.begin() + At(r, 0), after.begin() + At(r + 1, 0), [](unsigned char b) {
            return b == 0;
        })) << r;
    EXPECT_TRUE(std::equal(after.begin(), after.begin() + 128, image.begin())) << "header kept";
    EXPECT_TRUE(std::equal(after.begin() + At(2, 0), after.begin() + At(4, 0), image.begin() + At(2, 0)));
}

TEST_F(Upkeep, CheckAccountWithoutADatabaseTriesNoLogon) {
    ScratchFolder folder(L"checknodb");
    CTemplateDatabase database(folder.Path().c_str());
    CStoredCredentials upkeep(database, FakeLogon);
    int wiped[10] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    EXPECT_EQ(upkeep.CheckAccount(wiped), 0);
    EXPECT_EQ(std::count(std::begin(wiped), std::end(wiped), 0), 10);
    EXPECT_TRUE(g_logonCalls.empty());
    ASSERT_TRUE(WriteRaw(folder.Database(), std::vector<unsigned char>(kImage + 1, 0)));
    EXPECT_EQ(upkeep.CheckAccount(wiped), 0);
    EXPECT_TRUE(g_logonCalls.empty());
}

TEST_F(Upkeep, CheckAccountWhoseSaveFailsReportsIt) {
    ScratchFolder folder(L"checkro");
    const auto original = Encrypt(Accounts());
    ASSERT_TRUE(WriteRaw(folder.Database(), original));
    ASSERT_TRUE(SetFileAttributesW(folder.Database().c_str(), FILE_ATTRIBUTE_READONLY));
    g_logonResults = {{L"bob", ERROR_LOGON_FAILURE}};
    CTemplateDatabase database(folder.Path().c_str());
    CStoredCredentials upkeep(database, FakeLogon);
    int wiped[10] = {};
    EXPECT_EQ(upkeep.CheckAccount(wiped), 0);
    EXPECT_TRUE(ReadRaw(folder.Database()) == original);
    EXPECT_EQ(std::count(std::begin(wiped), std::end(wiped), 1), 0) << "nothing was cleared in the file";
}

TEST_F(Upkeep, CheckAccountWithTheRealLogonKeepsEveryRecordUnderWine) {
    // Wine's LogonUserW accepts anything: a pass that changes nothing, through the default seam.
    ScratchFolder folder(L"checkreal");
    const auto original = Encrypt(Accounts());
    ASSERT_TRUE(WriteRaw(folder.Database(), original));
    CTemplateDatabase database(folder.Path().c_str());
    CStoredCredentials upkeep(database);
    int wiped[10] = {};
    EXPECT_EQ(upkeep.CheckAccount(wiped), 1);
    EXPECT_EQ(std::count(std::begin(wiped), std::end(wiped), 1), 0);
    EXPECT_TRUE(ReadRaw(folder.Database()) == original);
}

// A peer that writes the database while our pass is between its read and its write must wait.
std::wstring g_goEvent;
void ReleasePeerAndGiveItTime() {
    HANDLE go = OpenEventW(EVENT_MODIFY_STATE, FALSE, g_goEvent.c_str());
    if (go) {
        SetEvent(go);
        CloseHandle(go);
    }
    Sleep(300); // the peer would write now if the mutex let it
}

// The logons run without the lock: a peer let go at the first one writes and ends before the
// pass goes on. Its write survives, and a record it changed is not cleared for a password it no
// longer holds.
HANDLE g_peer;
bool g_peerFinishedDuringLogon;
void ReleasePeerAndWaitForIt() {
    if (g_peer == nullptr)
        return;
    ReleasePeerAndGiveItTime();
    g_peerFinishedDuringLogon = WaitForSingleObject(g_peer, 20000) == WAIT_OBJECT_0;
    g_peer = nullptr;
}

TEST_F(Upkeep, CheckAccountLogsOnWithoutTheLockAndClearsOnlyWhatItTried) {
    struct Row {
        int peerChanges;
        bool bobCleared;
    };
    for (const Row row : {Row{6, true}, Row{4, false}}) {
        ScratchFolder folder(L"checkpeer" + std::to_wstring(row.peerChanges));
        ASSERT_TRUE(WriteRaw(folder.Database(), Encrypt(Accounts())));
        const std::wstring event =
            L"NvCredPeer-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(row.peerChanges);
        g_goEvent = event + L"-go";
        HANDLE go = MakeEvent(g_goEvent);
        HANDLE peer = StartPeer(L"modify \"" + folder.Path() + L"\" " + event + L" " +
                                std::to_wstring(row.peerChanges));
        ASSERT_NE(peer, nullptr);

        g_logonResults = {{L"alice", 0}, {L"bob", ERROR_LOGON_FAILURE}, {L"carol", 0}};
        g_peer = peer;
        g_peerFinishedDuringLogon = false;
        g_duringLogon = ReleasePeerAndWaitForIt;
        CTemplateDatabase database(folder.Path().c_str());
        CStoredCredentials upkeep(database, FakeLogon);
        int wiped[10] = {};
        EXPECT_EQ(upkeep.CheckAccount(wiped), 1);
        g_duringLogon = nullptr;
        EXPECT_TRUE(g_peerFinishedDuringLogon) << "the peer waited for our logons";
        EXPECT_EQ(WaitExit(peer), 0u);
        CloseHandle(go);

        const auto after = Decrypt(ReadRaw(folder.Database()));
        EXPECT_EQ(Get32(after, At(4, 4)), row.bobCleared ? 0u : 1u) << row.peerChanges;
        EXPECT_EQ(wiped[4], row.bobCleared ? 1 : 0) << row.peerChanges;
        if (row.bobCleared) {
            EXPECT_EQ(GetText(after, At(6, 80)), L"peer") << "the peer's write survives";
        } else {
            EXPECT_EQ(GetText(after, At(4, 80)), L"peer") << "the peer's write survives, bob with it";
        }
        EXPECT_EQ(GetText(after, At(1, 80)), L"old-alice");
    }
}

// The peer is let go when we open one file for reading: the hand-off file (inside the pass that
// consumes it) or the database (inside the update, between its read and its write).
std::wstring g_releaseOn;
bool g_released = false;
HANDLE WINAPI ReleasingCreateFile(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                  DWORD disposition, DWORD flags, HANDLE model) {
    if (!g_released && (access & GENERIC_READ) != 0 && std::wstring_view(path).ends_with(g_releaseOn)) {
        g_released = true;
        ReleasePeerAndGiveItTime();
    }
    return CreateFileW(path, access, share, security, disposition, flags, model);
}
const FileOperations kReleasingFileOperations = {ReleasingCreateFile, GetFileInformationByHandle,
                                                 GetFileSecurityW, SetKernelObjectSecurity,
                                                 SetFileInformationByHandle};

TEST_F(Upkeep, APeersWriteWhileWeHoldTheMutexWaitsAndSurvives) {
    struct Row {
        const wchar_t* what;
        const wchar_t* releaseOn;
    };
    for (const Row row : {Row{L"apply", L"\\pwcn.dat"}, Row{L"update", L"\\NVKDB.edb"}}) {
        const std::string what(row.what, row.what + wcslen(row.what));
        ScratchFolder folder(std::wstring(L"peer-") + row.what);
        ASSERT_TRUE(WriteRaw(folder.Database(), Encrypt(Accounts())));
        const bool handOff = g_releaseOn.assign(row.releaseOn) == L"\\pwcn.dat";
        if (handOff) {
            ASSERT_TRUE(WriteRaw(folder.HandOff(), HandOff(L"alice", L"n3w")));
        }
        const std::wstring event =
            L"NvCredBetween-" + std::to_wstring(GetCurrentProcessId()) + L"-" + row.what;
        g_goEvent = event + L"-go";
        HANDLE go = MakeEvent(g_goEvent);
        HANDLE peer = StartPeer(L"modify \"" + folder.Path() + L"\" " + event + L" 6");
        ASSERT_NE(peer, nullptr);
        g_released = false;
        CTemplateDatabase database(folder.Path().c_str(), kReleasingFileOperations);
        CStoredCredentials upkeep(database, FakeLogon);
        EXPECT_EQ(handOff ? upkeep.ApplyPasswordFile() : upkeep.UpdatePassword(L"alice", L"n3w"), 1) << what;
        EXPECT_TRUE(g_released) << what;
        // While we log on with the hand-off's password the lock is free, so the peer may see the
        // hand-off (7); it is gone only once its password is saved.
        const DWORD peerExit = WaitExit(peer);
        EXPECT_TRUE(peerExit == 0 || (handOff && peerExit == 7)) << what << ": peer exit " << peerExit;
        CloseHandle(go);

        const auto after = Decrypt(ReadRaw(folder.Database()));
        EXPECT_EQ(GetText(after, At(1, 80)), L"n3w") << what << ": ours";
        EXPECT_EQ(GetText(after, At(6, 80)), L"peer") << what << ": the peer's";
    }
}

// Any user may make the folder (or put a file into it) as a link elsewhere; we would then read,
// write and delete there with our rights. Wine has no such links, so the table of file operations
// says which name is one, as Windows would once the name is opened without following it.
std::wstring g_linkName;
std::map<HANDLE, std::wstring> g_openedNames;
HANDLE WINAPI RememberingCreateFile(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                    DWORD disposition, DWORD flags, HANDLE model) {
    HANDLE file = CreateFileW(path, access, share, security, disposition, flags, model);
    if (file != INVALID_HANDLE_VALUE && (flags & FILE_FLAG_OPEN_REPARSE_POINT) != 0)
        g_openedNames[file] = path;
    return file;
}
BOOL WINAPI LinkReportingInformation(HANDLE file, LPBY_HANDLE_FILE_INFORMATION information) {
    if (!GetFileInformationByHandle(file, information))
        return FALSE;
    const auto opened = g_openedNames.find(file);
    if (opened != g_openedNames.end() && opened->second == g_linkName)
        information->dwFileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    return TRUE;
}
const FileOperations kLinkFileOperations = {RememberingCreateFile, LinkReportingInformation, GetFileSecurityW,
                                            SetKernelObjectSecurity, SetFileInformationByHandle};

TEST_F(Upkeep, ALinkIsNeverFollowed) {
    struct Row {
        const wchar_t* what;
        std::wstring (*link)(const ScratchFolder&);
        bool databaseReadable;
    };
    const Row rows[] = {
        {L"folder", [](const ScratchFolder& folder) { return folder.Path(); }, false},
        {L"database", [](const ScratchFolder& folder) { return folder.Database(); }, false},
        {L"handoff", [](const ScratchFolder& folder) { return folder.HandOff(); }, true},
    };
    for (const Row& row : rows) {
        const std::string what(row.what, row.what + wcslen(row.what));
        ScratchFolder folder(std::wstring(L"link-") + row.what);
        const auto original = Encrypt(Accounts());
        ASSERT_TRUE(WriteRaw(folder.Database(), original));
        ASSERT_TRUE(WriteRaw(folder.HandOff(), HandOff(L"alice", L"pw")));
        g_linkName = row.link(folder);
        g_openedNames.clear();
        CTemplateDatabase database(folder.Path().c_str(), kLinkFileOperations);
        CStoredCredentials upkeep(database, FakeLogon);
        EXPECT_EQ(upkeep.ApplyPasswordFile(), 0) << what;
        EXPECT_TRUE(Exists(folder.HandOff())) << what << ": a link is not deleted";
        nvdb::ImageBuffer image;
        EXPECT_EQ(database.LoadDatabase(image.data()), row.databaseReadable ? 1 : 0) << what;
        EXPECT_EQ(database.SaveDatabase(image.data()), row.databaseReadable ? 1 : 0) << what;
        EXPECT_TRUE(ReadRaw(folder.Database()) == original) << what;
    }
}

// A reader of the vendor's keeps the database open, sharing reading and writing but not deletion:
// the file cannot be replaced, and the password is written into it in place.
TEST_F(Upkeep, AReaderHoldingTheDatabaseOpenDoesNotCostTheHandOff) {
    ScratchFolder folder(L"shared");
    ASSERT_TRUE(WriteRaw(folder.Database(), Encrypt(Accounts())));
    ASSERT_TRUE(WriteRaw(folder.HandOff(), HandOff(L"alice", L"n3w-pass")));
    const std::wstring event = L"NvCredShare-" + std::to_wstring(GetCurrentProcessId());
    HANDLE ready = MakeEvent(event + L"-ready");
    HANDLE go = MakeEvent(event + L"-go");
    HANDLE peer = StartPeer(L"share \"" + folder.Path() + L"\" " + event);
    ASSERT_NE(peer, nullptr);
    ASSERT_EQ(WaitForSingleObject(ready, 60000), WAIT_OBJECT_0);

    CTemplateDatabase database(folder.Path().c_str());
    CStoredCredentials upkeep(database, FakeLogon);
    EXPECT_EQ(upkeep.ApplyPasswordFile(), 1);
    EXPECT_FALSE(Exists(folder.HandOff()));
    EXPECT_EQ(GetText(Decrypt(ReadRaw(folder.Database())), At(1, 80)), L"n3w-pass");
    EXPECT_NE(std::find(g_trace.begin(), g_trace.end(), u"(WriteEncryptedFile) written in place"),
              g_trace.end());
    SetEvent(go);
    EXPECT_EQ(WaitExit(peer), 0u);
    CloseHandle(go);
    CloseHandle(ready);
    EXPECT_EQ(FilesIn(folder.Path()).size(), 1u) << "no unfinished file stays";
}

} // namespace
