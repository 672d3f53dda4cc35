// CTemplateDatabase and the encrypted-file helpers under Wine, on real files in a folder of the
// test's own under C:\ProgramData\NorvikWbf, with files made and checked bypassing our code.
#include "database/TemplateDatabase.h"

#include "base/Trace.h"
#include "database/TemplateImage.h"
#include "tests/support/DatabaseTestSupport.h"
#include "tests/support/Text.h"

#include <gtest/gtest.h>
#include <psapi.h>
#include <sddl.h>

#include <algorithm>
#include <new>
#include <string_view>
#include <vector>

namespace {

using namespace dbtest;

bool AllZero(const std::vector<unsigned char>& bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](unsigned char b) { return b == 0; });
}

std::vector<std::wstring> Leftovers(const ScratchFolder& folder) {
    std::vector<std::wstring> others;
    for (const auto& name : FilesIn(folder.Path()))
        if (name != L"NVKDB.edb" && name != L"pwcn.dat")
            others.push_back(name);
    return others;
}

TEST(TemplateDatabase, ConstructorOpensTheNamedMutexAndRecordsTheUser) {
    ScratchFolder folder(L"ctor");
    CTemplateDatabase database(folder.Path().c_str());
    ASSERT_NE(database.m_hMutex.Get(), nullptr);
    for (const wchar_t* name : {L"Norvik Fingerprint Database", L"Global\\Norvik Fingerprint Database"}) {
        HANDLE seen = OpenMutexW(SYNCHRONIZE, FALSE, name);
        EXPECT_NE(seen, nullptr) << name;
        if (seen)
            CloseHandle(seen);
    }
    wchar_t expected[64] = {};
    DWORD capacity = 64;
    ASSERT_TRUE(GetUserNameW(expected, &capacity));
    EXPECT_STREQ(database.m_szUserName, expected);
    EXPECT_EQ(database.DatabasePath(), folder.Database());
    EXPECT_EQ(database.HandOffPath(), folder.HandOff());

    CTemplateDatabase defaults;
    EXPECT_EQ(defaults.DatabasePath(), L"c:\\ProgramData\\NorvikWbf\\NVKDB.edb");
}

TEST(TemplateDatabase, FindAccountTakesWideNamesWhole) {
    std::vector<unsigned char> image(kImage, 0);
    const std::wstring full(32, L'w');
    PutAccount(image, 5, full, L"");
    PutAccount(image, 6, L"Zo\u00eb", L"");
    CTemplateDatabase database(L"C:\\unused");
    int index = 99;
    EXPECT_EQ(database.FindAccount(image.data(), full.c_str(), &index), 1);
    EXPECT_EQ(index, 5);
    EXPECT_EQ(database.FindAccount(image.data(), (full + L"w").c_str(), &index), 1);
    EXPECT_EQ(index, -1);
    EXPECT_EQ(database.FindAccount(image.data(), L"Zo\u00eb", &index), 1);
    EXPECT_EQ(index, 6);
    EXPECT_EQ(database.FindAccount(image.data(), L"zo\u00eb", &index), 1);
    EXPECT_EQ(index, -1);
}

TEST(TemplateDatabaseLoad, NoFileGivesZeroImageAndCreatesNothing) {
    ScratchFolder folder(L"nofile");
    CTemplateDatabase database(folder.Path().c_str());
    std::vector<unsigned char> image(kImage, 0xCC);
    EXPECT_EQ(database.LoadDatabase(image.data()), 0);
    EXPECT_TRUE(AllZero(image));
    EXPECT_TRUE(FilesIn(folder.Path()).empty());
}

TEST(TemplateDatabaseLoad, ExactSizeDecryptsToTheImage) {
    ScratchFolder folder(L"exact");
    const auto plain = PatternImage(1);
    ASSERT_TRUE(WriteRaw(folder.Database(), Encrypt(plain)));
    CTemplateDatabase database(folder.Path().c_str());
    std::vector<unsigned char> image(kImage);
    ASSERT_EQ(database.LoadDatabase(image.data()), 1);
    EXPECT_TRUE(image == plain);
}

TEST(TemplateDatabaseLoad, MalformedSizesAreRejectedWithAZeroImage) {
    ScratchFolder folder(L"sizes");
    const auto cipher = Encrypt(PatternImage(2));
    struct Row {
        std::size_t size;
        const char* what;
    };
    for (const Row row :
         {Row{kImage + 1, "one byte more"}, Row{kImage - 32, "one block short"},
          Row{32 * 1000, "a short multiple of 32"}, Row{kImage - 1, "one byte short"}, Row{0, "empty"}}) {
        std::vector<unsigned char> bytes = cipher;
        bytes.resize(row.size, 0x5A);
        ASSERT_TRUE(WriteRaw(folder.Database(), bytes)) << row.what;
        CTemplateDatabase database(folder.Path().c_str());
        std::vector<unsigned char> image(kImage, 0xCC);
        EXPECT_EQ(database.LoadDatabase(image.data()), 0) << row.what;
        EXPECT_TRUE(AllZero(image)) << row.what;
        EXPECT_EQ(ReadRaw(folder.Database()).size(), row.size) << row.what << ": the file is left alone";
    }
}

TEST(TemplateDatabaseLoad, OneBlockMoreLoadsAndTheNextSaveDropsIt) {
    ScratchFolder folder(L"longer");
    const auto plain = PatternImage(3);
    auto bytes = Encrypt(plain);
    bytes.resize(kImage + 32, 0x77);
    ASSERT_TRUE(WriteRaw(folder.Database(), bytes));
    CTemplateDatabase database(folder.Path().c_str());
    std::vector<unsigned char> image(kImage);
    ASSERT_EQ(database.LoadDatabase(image.data()), 1);
    EXPECT_TRUE(image == plain);
    ASSERT_EQ(database.SaveDatabase(image.data()), 1);
    const auto written = ReadRaw(folder.Database());
    EXPECT_EQ(written.size(), kImage);
    EXPECT_TRUE(std::equal(written.begin(), written.end(), bytes.begin()));
}

SIZE_T PeakPrivateBytes() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PeakPagefileUsage;
}

TEST(TemplateDatabaseLoad, AHugeFileIsReadOnlyAsFarAsTheImage) {
    // 1 GiB, sparse: reading it whole, as a buffer of the file's length would, is what must not happen.
    ScratchFolder folder(L"huge");
    const auto plain = PatternImage(19);
    ASSERT_TRUE(WriteRaw(folder.Database(), Encrypt(plain)));
    HANDLE file =
        CreateFileW(folder.Database().c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LARGE_INTEGER end;
    end.QuadPart = 1LL << 30;
    EXPECT_TRUE(SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file));
    CloseHandle(file);
    CTemplateDatabase database(folder.Path().c_str());
    std::vector<unsigned char> image(kImage, 1);
    // The peak so far is about that of the pattern and its encrypted copy, which is what the
    // pattern and the image take now: a load's own allocations show in the peak's rise.
    const SIZE_T peakBefore = PeakPrivateBytes();
    ASSERT_EQ(database.LoadDatabase(image.data()), 1);
    const SIZE_T rise = PeakPrivateBytes() - peakBefore;
    EXPECT_LT(rise, kImage) << "a load took " << rise << " bytes besides the caller's image";
    EXPECT_TRUE(image == plain);
}

TEST(TemplateDatabaseSave, SweepsUnfinishedFilesOfKilledSavesOnly) {
    ScratchFolder folder(L"sweep");
    ASSERT_TRUE(WriteRaw(folder.File(L"NVKDB.edb.4242-7.tmp"), {1, 2, 3}));
    ASSERT_TRUE(WriteRaw(folder.File(L"other.tmp"), {4}));
    ASSERT_TRUE(WriteRaw(folder.File(L"NVKDB.edb.bak"), {5}));
    CTemplateDatabase database(folder.Path().c_str());
    const auto plain = PatternImage(20);
    ASSERT_EQ(database.SaveDatabase(plain.data()), 1);
    EXPECT_FALSE(Exists(folder.File(L"NVKDB.edb.4242-7.tmp")));
    EXPECT_TRUE(Exists(folder.File(L"other.tmp")));
    EXPECT_TRUE(Exists(folder.File(L"NVKDB.edb.bak")));
}

TEST(TemplateDatabaseSave, LoadThenSaveReproducesTheFileByteForByte) {
    ScratchFolder folder(L"roundtrip");
    const auto original = Encrypt(PatternImage(4));
    ASSERT_TRUE(WriteRaw(folder.Database(), original));
    CTemplateDatabase database(folder.Path().c_str());
    nvdb::ImageBuffer image;
    ASSERT_EQ(database.LoadDatabase(image.data()), 1);
    ASSERT_EQ(database.SaveDatabase(image.data()), 1);
    EXPECT_TRUE(ReadRaw(folder.Database()) == original);
    EXPECT_TRUE(Leftovers(folder).empty());
}

TEST(TemplateDatabaseSave, CreatesTheFileWhenThereIsNone) {
    ScratchFolder folder(L"create");
    const auto plain = PatternImage(5);
    CTemplateDatabase database(folder.Path().c_str());
    ASSERT_EQ(database.SaveDatabase(plain.data()), 1);
    const auto written = ReadRaw(folder.Database());
    ASSERT_EQ(written.size(), kImage);
    EXPECT_TRUE(Decrypt(written) == plain);
    EXPECT_TRUE(Leftovers(folder).empty());
}

TEST(TemplateDatabaseSave, ClearedRecordIsZeroAfterReloadAndTheOthersUnchanged) {
    ScratchFolder folder(L"clear");
    const auto plain = PatternImage(6);
    ASSERT_TRUE(WriteRaw(folder.Database(), Encrypt(plain)));
    CTemplateDatabase database(folder.Path().c_str());
    std::vector<unsigned char> image(kImage);
    ASSERT_EQ(database.LoadDatabase(image.data()), 1);
    EXPECT_EQ(database.ClearAccount(image.data(), 7), 1);
    EXPECT_EQ(database.ClearAccount(image.data(), 10), 0);
    EXPECT_EQ(database.ClearAccount(image.data(), -1), 0);
    ASSERT_EQ(database.SaveDatabase(image.data()), 1);
    std::vector<unsigned char> again(kImage);
    ASSERT_EQ(database.LoadDatabase(again.data()), 1);
    for (std::size_t i = 0; i < kImage; ++i) {
        const bool inRecord7 = i >= At(7, 0) && i < At(8, 0);
        ASSERT_EQ(again[i], inRecord7 ? 0 : plain[i]) << i;
    }
}

TEST(TemplateDatabaseSave, ReadOnlyFileIsLeftExactlyAsItWas) {
    ScratchFolder folder(L"readonly");
    const auto original = Encrypt(PatternImage(7));
    ASSERT_TRUE(WriteRaw(folder.Database(), original));
    ASSERT_TRUE(SetFileAttributesW(folder.Database().c_str(), FILE_ATTRIBUTE_READONLY));
    CTemplateDatabase database(folder.Path().c_str());
    const auto other = PatternImage(8);
    EXPECT_EQ(database.SaveDatabase(other.data()), 0);
    EXPECT_TRUE(ReadRaw(folder.Database()) == original);
    EXPECT_NE(GetFileAttributesW(folder.Database().c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_TRUE(Leftovers(folder).empty());
    // Reading a read-only file is fine.
    std::vector<unsigned char> image(kImage);
    EXPECT_EQ(database.LoadDatabase(image.data()), 1);
}

TEST(TemplateDatabaseSave, FileLockedByAnotherWriterIsLeftAlone) {
    ScratchFolder folder(L"locked");
    const auto original = Encrypt(PatternImage(9));
    ASSERT_TRUE(WriteRaw(folder.Database(), original));
    HANDLE writer = CreateFileW(folder.Database().c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    CTemplateDatabase database(folder.Path().c_str());
    const auto other = PatternImage(10);
    EXPECT_EQ(database.SaveDatabase(other.data()), 0);
    std::vector<unsigned char> image(kImage, 0xCC);
    EXPECT_EQ(database.LoadDatabase(image.data()), 0) << "someone is writing it";
    EXPECT_TRUE(AllZero(image));
    CloseHandle(writer);
    EXPECT_TRUE(ReadRaw(folder.Database()) == original);
    EXPECT_TRUE(Leftovers(folder).empty());
}

std::wstring DescriptorText(PSECURITY_DESCRIPTOR descriptor) {
    wchar_t* text = nullptr;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1,
                                                              DACL_SECURITY_INFORMATION, &text, nullptr))
        return L"(unconvertible)";
    std::wstring result = text;
    LocalFree(text);
    return result;
}

std::wstring DaclText(const std::wstring& path) {
    DWORD needed = 0;
    GetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &needed);
    std::vector<unsigned char> descriptor(needed ? needed : 1);
    if (!GetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, descriptor.data(), needed, &needed))
        return L"(unreadable)";
    return DescriptorText(descriptor.data());
}

//--- A save whose atomic way is refused, as tight rights or a reader without delete sharing refuse
// it on Windows (Wine enforces neither for us), through a table of file operations that also
// records how the new file was made and what went through its handle.
enum class Refuse {
    Nothing,
    NewFile,
    AccessRules,
    Rename,
    RenameThenInPlace,
    RenameNotARefusal,
    OutOfMemory,
    NameTaken
};
Refuse g_refuse;
DWORD g_refusal;
int g_databaseWriteOpens;
int g_temporaryCreates;
DWORD g_temporaryAccess;
std::wstring g_temporaryRules;
std::vector<FILE_INFO_BY_HANDLE_CLASS> g_handleCalls;

HANDLE WINAPI RefusingCreateFile(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                 DWORD disposition, DWORD flags, HANDLE model) {
    const bool temporary = std::wstring_view(path).ends_with(L".tmp");
    // The first write-open of the database is the check that nobody is writing it; the second is
    // the write in place.
    const bool inPlace = !temporary && (access & GENERIC_WRITE) != 0 && ++g_databaseWriteOpens == 2;
    if (temporary) {
        g_temporaryAccess = access;
        g_temporaryRules = security != nullptr && security->lpSecurityDescriptor != nullptr
                               ? DescriptorText(security->lpSecurityDescriptor)
                               : L"(the folder's)";
        // A name left behind by an earlier process with our id.
        if (g_refuse == Refuse::NameTaken && ++g_temporaryCreates == 1) {
            SetLastError(ERROR_FILE_EXISTS);
            return INVALID_HANDLE_VALUE;
        }
    }
    if ((temporary && g_refuse == Refuse::NewFile) || (inPlace && g_refuse == Refuse::RenameThenInPlace)) {
        SetLastError(g_refusal);
        return INVALID_HANDLE_VALUE;
    }
    return CreateFileW(path, access, share, security, disposition, flags, model);
}
BOOL WINAPI RefusingGetFileSecurity(LPCWSTR path, SECURITY_INFORMATION what, PSECURITY_DESCRIPTOR descriptor,
                                    DWORD length, LPDWORD needed) {
    if (g_refuse == Refuse::AccessRules) {
        SetLastError(g_refusal);
        return FALSE;
    }
    return GetFileSecurityW(path, what, descriptor, length, needed);
}
BOOL WINAPI RefusingSetFileInformation(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID information,
                                       DWORD length) {
    g_handleCalls.push_back(kind);
    if (kind == FileRenameInfo) {
        if (g_refuse == Refuse::OutOfMemory)
            throw std::bad_alloc(); // as an allocation that fails while the new file exists
        if (g_refuse == Refuse::Rename || g_refuse == Refuse::RenameThenInPlace ||
            g_refuse == Refuse::RenameNotARefusal) {
            SetLastError(g_refusal);
            return FALSE;
        }
    }
    return SetFileInformationByHandle(file, kind, information, length);
}
const FileOperations kRefusingFileOperations = {RefusingCreateFile, GetFileInformationByHandle,
                                                RefusingGetFileSecurity, SetKernelObjectSecurity,
                                                RefusingSetFileInformation};

void ResetFileOperations(Refuse refuse, DWORD refusal = 0) {
    g_refuse = refuse;
    g_refusal = refusal;
    g_databaseWriteOpens = 0;
    g_temporaryCreates = 0;
    g_temporaryAccess = 0;
    g_temporaryRules.clear();
    g_handleCalls.clear();
}

std::vector<std::u16string> g_saveTrace;
void CollectSaveTrace(const char16_t* line) {
    g_saveTrace.emplace_back(line);
}

// Whatever way the save takes or where it stops, the new file was opened so that it can be
// renamed or deleted through its handle, and it is gone afterwards.
TEST(TemplateDatabaseSave, ARefusedAtomicReplaceFallsBackToWritingInPlace) {
    constexpr auto kRename = FileRenameInfo, kDelete = FileDispositionInfo;
    // A deletion asks for FILE_DISPOSITION_INFO_EX first; Wine, like Windows before 10 1809,
    // refuses that class, and the plain one follows.
    constexpr auto kDeleteEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);
    struct Row {
        const wchar_t* what;
        Refuse refuse;
        DWORD error;
        const char16_t* outcome; // the save's last trace line; null: not saved
        std::vector<FILE_INFO_BY_HANDLE_CLASS> handleCalls;
    };
    const char16_t* inPlace = u"(WriteEncryptedFile) written in place";
    const Row rows[] = {
        {L"newfile", Refuse::NewFile, ERROR_ACCESS_DENIED, inPlace, {}},
        {L"rules", Refuse::AccessRules, ERROR_ACCESS_DENIED, inPlace, {}},
        {L"rename", Refuse::Rename, ERROR_SHARING_VIOLATION, inPlace, {kRename, kDeleteEx, kDelete}},
        // The old file's rules let us write it but not delete it.
        {L"nodelete", Refuse::Rename, ERROR_ACCESS_DENIED, inPlace, {kRename, kDeleteEx, kDelete}},
        {L"inplace", Refuse::RenameThenInPlace, ERROR_ACCESS_DENIED, nullptr, {kRename, kDeleteEx, kDelete}},
        {L"diskfull", Refuse::RenameNotARefusal, ERROR_DISK_FULL, nullptr, {kRename, kDeleteEx, kDelete}},
        {L"nomemory", Refuse::OutOfMemory, 0, nullptr, {kRename, kDeleteEx, kDelete}},
        {L"nametaken", Refuse::NameTaken, 0, u"(WriteEncryptedFile) replaced", {kRename}},
    };
    for (const Row& row : rows) {
        ScratchFolder folder(std::wstring(L"refuse-") + row.what);
        // One block longer than the image: a write in place cuts the tail.
        auto original = Encrypt(PatternImage(22));
        original.resize(kImage + 32, 0x77);
        ASSERT_TRUE(WriteRaw(folder.Database(), original));
        ResetFileOperations(row.refuse, row.error);
        g_saveTrace.clear();
        nvtrace::SetSink(CollectSaveTrace);
        CTemplateDatabase database(folder.Path().c_str(), kRefusingFileOperations);
        const auto plain = PatternImage(23);
        const int saved = database.SaveDatabase(plain.data());
        nvtrace::SetSink(nullptr);
        const std::string what(row.what, row.what + wcslen(row.what));
        EXPECT_EQ(saved, row.outcome != nullptr ? 1 : 0) << what;
        if (row.outcome != nullptr) {
            EXPECT_TRUE(ReadRaw(folder.Database()) == Encrypt(plain)) << what;
            ASSERT_FALSE(g_saveTrace.empty()) << what;
            EXPECT_EQ(g_saveTrace.back(), row.outcome) << what;
        } else {
            EXPECT_TRUE(ReadRaw(folder.Database()) == original) << what << ": the old file stays";
        }
        if (!row.handleCalls.empty()) {
            EXPECT_NE(g_temporaryAccess & DELETE, 0u) << what;
        }
        EXPECT_TRUE(g_handleCalls == row.handleCalls) << what;
        EXPECT_TRUE(Leftovers(folder).empty()) << what;
    }
}

TEST(TemplateDatabaseSave, KeepsTheOldFilesAttributes) {
    ScratchFolder folder(L"attributes");
    ASSERT_TRUE(WriteRaw(folder.Database(), Encrypt(PatternImage(11))));
    ASSERT_TRUE(SetFileAttributesW(folder.Database().c_str(), FILE_ATTRIBUTE_HIDDEN));
    CTemplateDatabase database(folder.Path().c_str());
    const auto other = PatternImage(12);
    ASSERT_EQ(database.SaveDatabase(other.data()), 1);
    EXPECT_TRUE(Decrypt(ReadRaw(folder.Database())) == other);
    EXPECT_NE(GetFileAttributesW(folder.Database().c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
}

TEST(TemplateDatabaseSave, KeepsTheOldFilesAccessRules) {
    ScratchFolder folder(L"dacl");
    ASSERT_TRUE(WriteRaw(folder.Database(), Encrypt(PatternImage(17))));
    PSECURITY_DESCRIPTOR wanted = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;FA;;;WD)(A;;FR;;;BU)",
                                                                     SDDL_REVISION_1, &wanted, nullptr));
    ASSERT_TRUE(SetFileSecurityW(folder.Database().c_str(), DACL_SECURITY_INFORMATION, wanted));
    LocalFree(wanted);
    const std::wstring before = DaclText(folder.Database());
    ASSERT_NE(before.find(L"WD"), std::wstring::npos) << testtext::Narrow(before);

    // The new file has them from its creation on (Wine keeps only what is set on the handle later,
    // so the create call itself is looked at).
    ResetFileOperations(Refuse::Nothing);
    CTemplateDatabase database(folder.Path().c_str(), kRefusingFileOperations);
    const auto other = PatternImage(18);
    ASSERT_EQ(database.SaveDatabase(other.data()), 1);
    EXPECT_TRUE(Decrypt(ReadRaw(folder.Database())) == other);
    EXPECT_EQ(DaclText(folder.Database()), before);
    EXPECT_EQ(g_temporaryRules, before);
}

TEST(TemplateDatabaseSave, MissingFolderFailsBothWays) {
    const std::wstring missing =
        L"C:\\ProgramData\\NorvikWbf\\no-such-folder-" + std::to_wstring(GetCurrentProcessId());
    CTemplateDatabase database(missing.c_str());
    const auto plain = PatternImage(13);
    EXPECT_EQ(database.SaveDatabase(plain.data()), 0);
    std::vector<unsigned char> image(kImage, 1);
    EXPECT_EQ(database.LoadDatabase(image.data()), 0);
    EXPECT_TRUE(AllZero(image));
    EXPECT_FALSE(Exists(missing));
}

TEST(EncryptedFile, SizeOffTheBlockIsPaddedWithZerosAndReadBack) {
    ScratchFolder folder(L"odd");
    std::vector<unsigned char> data(100);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<unsigned char>(i + 1);
    const std::wstring path = folder.File(L"small.bin");
    ASSERT_EQ(WriteEncryptedFile(data.data(), 100, path.c_str()), 1);
    const auto raw = ReadRaw(path);
    ASSERT_EQ(raw.size(), 128u);
    auto plain = Decrypt(raw);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), plain.begin()));
    EXPECT_TRUE(std::all_of(plain.begin() + 100, plain.end(), [](unsigned char b) { return b == 0; }));

    std::vector<unsigned char> back(100, 0xEE), guard(8, 0xEE);
    EXPECT_EQ(ReadEncryptedFile(path.c_str(), 100, back.data()), 1);
    EXPECT_TRUE(back == data);
    // Asking for more than the file holds is refused, not read past its end.
    std::vector<unsigned char> more(129, 0xEE);
    EXPECT_EQ(ReadEncryptedFile(path.c_str(), 129, more.data()), 0);
    EXPECT_TRUE(AllZero(more));
    EXPECT_EQ(WriteEncryptedFile(data.data(), 0, path.c_str()), 0);
    EXPECT_EQ(ReadRaw(path).size(), 128u);
}

// A peer holds the mutex for a while and writes meanwhile: our load waits for it and then sees
// what the peer wrote.
TEST(TemplateDatabaseMutex, LoadWaitsForAPeerThatHoldsIt) {
    ScratchFolder folder(L"wait");
    ASSERT_TRUE(WriteRaw(folder.Database(), Encrypt(PatternImage(14))));
    const std::wstring event = L"NvDbWait-" + std::to_wstring(GetCurrentProcessId());
    HANDLE ready = MakeEvent(event + L"-ready");
    HANDLE peer = StartPeer(L"hold \"" + folder.Path() + L"\" " + event + L" 1500");
    ASSERT_NE(peer, nullptr);
    ASSERT_EQ(WaitForSingleObject(ready, 60000), WAIT_OBJECT_0);

    CTemplateDatabase database(folder.Path().c_str());
    std::vector<unsigned char> image(kImage);
    const ULONGLONG start = GetTickCount64();
    ASSERT_EQ(database.LoadDatabase(image.data()), 1);
    const ULONGLONG waited = GetTickCount64() - start;
    EXPECT_GE(waited, 1000u);
    EXPECT_TRUE(std::all_of(image.begin(), image.end(), [](unsigned char b) { return b == 0xC3; }));
    EXPECT_EQ(WaitExit(peer), 0u);
    CloseHandle(ready);
}

TEST(TemplateDatabaseMutex, AnAbandonedMutexDoesNotStopUs) {
    ScratchFolder folder(L"abandon");
    const auto plain = PatternImage(15);
    ASSERT_TRUE(WriteRaw(folder.Database(), Encrypt(plain)));
    const std::wstring event = L"NvDbAbandon-" + std::to_wstring(GetCurrentProcessId());
    HANDLE ready = MakeEvent(event + L"-ready");
    HANDLE peer = StartPeer(L"abandon " + event);
    ASSERT_NE(peer, nullptr);
    ASSERT_EQ(WaitForSingleObject(ready, 60000), WAIT_OBJECT_0);
    EXPECT_EQ(WaitExit(peer), 0u);

    CTemplateDatabase database(folder.Path().c_str());
    std::vector<unsigned char> image(kImage);
    EXPECT_EQ(database.LoadDatabase(image.data()), 1);
    EXPECT_TRUE(image == plain);
    EXPECT_EQ(database.SaveDatabase(image.data()), 1);
    CloseHandle(ready);
}

TEST(TemplateDatabaseMutex, IsReentrantForItsOwner) {
    ScratchFolder folder(L"reentrant");
    const auto plain = PatternImage(16);
    CTemplateDatabase database(folder.Path().c_str());
    database.LockDatabase();
    database.LockDatabase();
    EXPECT_EQ(database.SaveDatabase(plain.data()), 1); // takes it a third time
    database.UnlockDatabase();
    // Still ours once: a second process may not have it yet.
    HANDLE other = CreateMutexW(nullptr, FALSE, L"Norvik Fingerprint Database");
    ASSERT_NE(other, nullptr);
    struct Attempt {
        HANDLE mutex;
        DWORD result;
    } attempt{other, WAIT_FAILED};
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](void* p) -> DWORD {
            auto* a = static_cast<Attempt*>(p);
            a->result = WaitForSingleObject(a->mutex, 200);
            if (a->result == WAIT_OBJECT_0)
                ReleaseMutex(a->mutex);
            return 0;
        },
        &attempt, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    WaitForSingleObject(thread, 5000);
    CloseHandle(thread);
    EXPECT_EQ(attempt.result, static_cast<DWORD>(WAIT_TIMEOUT));
    database.UnlockDatabase();
    CloseHandle(other);
}

// A service in session 0 takes the machine's mutex, a peer of this session may take the bare
// name: either keeps us out, and a wait that outlasts the bound fails rather than hangs.
TEST(TemplateDatabaseMutex, APeerHoldingEitherNameKeepsUsOutUntilTheBound) {
    for (const wchar_t* name : {L"Global\\Norvik Fingerprint Database", L"Norvik Fingerprint Database"}) {
        const std::string what(name, name + wcslen(name));
        ScratchFolder folder(L"bound");
        const auto original = Encrypt(PatternImage(24));
        ASSERT_TRUE(WriteRaw(folder.Database(), original));
        const std::wstring event = L"NvDbBound-" + std::to_wstring(GetCurrentProcessId());
        HANDLE ready = MakeEvent(event + L"-ready");
        HANDLE peer = StartPeer(L"holdname \"" + std::wstring(name) + L"\" " + event + L" 4000");
        ASSERT_NE(peer, nullptr);
        ASSERT_EQ(WaitForSingleObject(ready, 60000), WAIT_OBJECT_0) << what;

        CTemplateDatabase database(folder.Path().c_str(), kSystemFileOperations, 1000);
        std::vector<unsigned char> image(kImage, 0xEE);
        const ULONGLONG start = GetTickCount64();
        EXPECT_EQ(database.LoadDatabase(image.data()), 0) << what;
        const ULONGLONG waited = GetTickCount64() - start;
        EXPECT_GE(waited, 900u) << what;
        EXPECT_LT(waited, 3000u) << what;
        EXPECT_TRUE(AllZero(image)) << what;
        const auto plain = PatternImage(25);
        EXPECT_EQ(database.SaveDatabase(plain.data()), 0) << what;
        EXPECT_TRUE(ReadRaw(folder.Database()) == original) << what;
        EXPECT_EQ(WaitExit(peer), 0u) << what;
        CloseHandle(ready);
        // With the usual bound: another test's peer may hold the mutex for a while.
        CTemplateDatabase patient(folder.Path().c_str());
        EXPECT_EQ(patient.LoadDatabase(image.data()), 1) << what << ": free again";
    }
}

// A process killed while it saves in a loop: whenever it dies, the file is one whole image or
// the other, never a mix and never short.
TEST(TemplateDatabaseSave, AProcessKilledMidSaveLeavesTheOldOrTheNewFile) {
    ScratchFolder folder(L"kill");
    const auto a = Encrypt(std::vector<unsigned char>(kImage, 0xA1));
    const auto b = Encrypt(std::vector<unsigned char>(kImage, 0xB2));
    std::mt19937 random(99);
    int sawA = 0, sawB = 0;
    for (int round = 0; round < 10; ++round) {
        const std::wstring event =
            L"NvDbKill-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(round);
        HANDLE ready = MakeEvent(event + L"-ready");
        HANDLE peer = StartPeer(L"saveloop \"" + folder.Path() + L"\" " + event);
        ASSERT_NE(peer, nullptr);
        ASSERT_EQ(WaitForSingleObject(ready, 60000), WAIT_OBJECT_0);
        Sleep(50 + random() % 400);
        ASSERT_TRUE(TerminateProcess(peer, 77));
        EXPECT_EQ(WaitExit(peer), 77u) << "the peer stopped saving on its own";
        CloseHandle(ready);

        const auto file = ReadRaw(folder.Database());
        const bool isA = file == a, isB = file == b;
        std::wstring names;
        for (const auto& name : FilesIn(folder.Path()))
            names += name + L" ";
        ASSERT_TRUE(isA || isB) << "round " << round << ": torn file of " << file.size() << " bytes; exists "
                                << Exists(folder.Database()) << "; folder: " << testtext::Narrow(names);
        sawA += isA;
        sawB += isB;
    }
    // A killed save may leave its unfinished file; the next save of ours sweeps it away.
    CTemplateDatabase database(folder.Path().c_str());
    const std::vector<unsigned char> c(kImage, 0xC3);
    ASSERT_EQ(database.SaveDatabase(c.data()), 1);
    EXPECT_TRUE(Leftovers(folder).empty());
    RecordProperty("old_file_rounds", sawA);
    RecordProperty("new_file_rounds", sawB);
}

} // namespace
