// CTemplateDatabase: the mutex, the signed-in user's name, loading, saving and finding accounts.
#include "database/TemplateDatabase.h"

#include "base/SecureWipe.h"
#include "base/Trace.h"
#include "database/TemplateImage.h"

#include <sddl.h>

#include <algorithm>
#include <iterator>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 text is shared with the portable code");

CFieldText::CFieldText(const wchar_t* text) {
    for (std::size_t i = 0; i < 33 && text[i] != L'\0'; ++i)
        m_units[i] = static_cast<char16_t>(text[i]);
}

CFieldText::~CFieldText() {
    nvbase::SecureWipe(m_units, sizeof m_units);
}

namespace {

// Opens the mutex with the rights a wait and a release need and no more, so that one made by a
// service that grants users only those still opens; made here, it grants them to every
// signed-in user and to the system, so that the other sessions' programs can open it too.
HANDLE OpenDatabaseMutex(const wchar_t* name) {
    nvwin::LocalMemory descriptor;
    // 0x00100001: SYNCHRONIZE | MUTEX_MODIFY_STATE, for authenticated users and the system.
    ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;;0x00100001;;;AU)(A;;0x00100001;;;SY)",
                                                         SDDL_REVISION_1, descriptor.Put(), nullptr);
    SECURITY_ATTRIBUTES security = {sizeof security, descriptor.Get(), FALSE};
    return CreateMutexExW(descriptor ? &security : nullptr, name, 0, SYNCHRONIZE | MUTEX_MODIFY_STATE);
}

// True when the wait gave us the mutex; an abandoned one is ours as after a normal wait (the file
// is checked by its reader). A limit's stop ends the wait early, unheld.
bool Acquire(HANDLE mutex, DWORD timeoutMs, HANDLE stop) {
    const HANDLE handles[2] = {mutex, stop};
    const DWORD result = WaitForMultipleObjects(stop != nullptr ? 2 : 1, handles, FALSE, timeoutMs);
    return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED_0;
}

// Opens a mutex that could not be opened before; false, with a trace line, when it still cannot.
bool Reopen(nvwin::Handle& mutex, const wchar_t* name) {
    if (!mutex)
        mutex.Reset(OpenDatabaseMutex(name));
    if (mutex)
        return true;
    nvtrace::Trace("(LockDatabase) the mutex %ls cannot be opened, error %u", name,
                   static_cast<unsigned>(GetLastError()));
    return false;
}

// A save that was killed leaves its unfinished file behind. Only a save of ours makes such names,
// and saves run under the mutex, so whatever matches while we hold it is nobody's work.
void RemoveStaleTemporaries(const std::wstring& path) {
    const std::wstring folder = path.substr(0, path.find_last_of(L"\\/") + 1);
    WIN32_FIND_DATAW found;
    const nvwin::FindHandle find(FindFirstFileW((path + L".*.tmp").c_str(), &found));
    if (!find)
        return;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            DeleteFileW((folder + found.cFileName).c_str());
    } while (FindNextFileW(find.Get(), &found));
}

// Runs io with the database lock held and the folder pinned open; 0 when either cannot be had.
template <class Io> int InHeldFolder(CTemplateDatabase& database, Io io) {
    const CDatabaseLock lock(database);
    if (!lock)
        return 0;
    const nvwin::FileHandle folder = database.HoldFolder();
    if (!folder)
        return 0;
    return io();
}

} // namespace

CTemplateDatabase::CTemplateDatabase(const wchar_t* folder, const FileOperations& files, DWORD lockTimeoutMs)
    : m_lockTimeoutMs(lockTimeoutMs), m_folder(folder), m_databasePath(m_folder + L"\\" + kDatabaseFileName),
      m_handOffPath(m_folder + L"\\" + kHandOffFileName), m_files(&files) {
    m_hGlobalMutex.Reset(OpenDatabaseMutex(kGlobalDatabaseMutexName));
    m_hMutex.Reset(OpenDatabaseMutex(kDatabaseMutexName));
    DWORD capacity = 32;
    if (!GetUserNameW(m_szUserName, &capacity))
        std::fill(std::begin(m_szUserName), std::end(m_szUserName), L'\0');
}

// The session's mutex is closed first, the reverse of the order they are taken in.
CTemplateDatabase::~CTemplateDatabase() {
    m_hMutex.Reset();
    m_hGlobalMutex.Reset();
}

// Always the machine's mutex before the session's, in every process, so two passes never hold
// one each while waiting for the other.
int CTemplateDatabase::LockDatabase(const CWorkLimit* limit) {
    if (!Reopen(m_hGlobalMutex, kGlobalDatabaseMutexName) || !Reopen(m_hMutex, kDatabaseMutexName))
        return 0;
    if (limit != nullptr && limit->Over()) {
        nvtrace::Trace("(LockDatabase) stopped or out of time");
        return 0;
    }
    const ULONGLONG start = GetTickCount64();
    const HANDLE stop = limit != nullptr ? limit->StopEvent() : nullptr;
    // What is left of our own bound and of the limit's, whichever is less.
    const auto left = [&] {
        const ULONGLONG spent = GetTickCount64() - start;
        DWORD ms = spent >= m_lockTimeoutMs ? 0 : m_lockTimeoutMs - static_cast<DWORD>(spent);
        if (limit != nullptr)
            ms = std::min(ms, limit->RemainingMs());
        return ms;
    };
    if (!Acquire(m_hGlobalMutex.Get(), left(), stop)) {
        nvtrace::Trace("(LockDatabase) the machine's mutex was not had in time");
        return 0;
    }
    if (!Acquire(m_hMutex.Get(), left(), stop)) {
        ReleaseMutex(m_hGlobalMutex.Get());
        nvtrace::Trace("(LockDatabase) the session's mutex was not had in time");
        return 0;
    }
    return 1;
}

void CTemplateDatabase::UnlockDatabase() {
    ReleaseMutex(m_hMutex.Get());
    ReleaseMutex(m_hGlobalMutex.Get());
}

nvwin::FileHandle CTemplateDatabase::HoldFolder() const {
    // Reading the listing is enough to make our sharing count; without FILE_SHARE_DELETE nobody can
    // rename or remove the folder while we hold it, and with FILE_SHARE_WRITE files can still be
    // made and renamed in it.
    return OpenWithoutLinks(*m_files, m_folder.c_str(), FILE_LIST_DIRECTORY,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
}

int CTemplateDatabase::LoadDatabase(unsigned char* image) {
    if (image == nullptr)
        return 0;
    std::fill(image, image + nvdb::kImageSize, static_cast<unsigned char>(0));
    return InHeldFolder(
        *this, [&] { return ReadEncryptedFile(m_databasePath.c_str(), nvdb::kImageSize, image, *m_files); });
}

int CTemplateDatabase::SaveDatabase(const unsigned char* image) {
    if (image == nullptr)
        return 0;
    return InHeldFolder(*this, [&] {
        RemoveStaleTemporaries(m_databasePath);
        return WriteEncryptedFile(image, nvdb::kImageSize, m_databasePath.c_str(), *m_files);
    });
}

int CTemplateDatabase::FindAccount(const unsigned char* image, const wchar_t* name, int* index) const {
    *index = -1;
    if (image != nullptr && name != nullptr)
        *index = nvdb::FindAccount(image, CFieldText(name).Get());
    return 1;
}

int CTemplateDatabase::ClearAccount(unsigned char* image, int index) {
    if (image == nullptr || index < 0 || index >= nvdb::kRecordCount)
        return 0;
    nvdb::ClearAccount(image, index);
    return 1;
}
