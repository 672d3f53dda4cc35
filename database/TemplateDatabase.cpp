// CTemplateDatabase: the mutex, the signed-in user's name, loading, saving and finding accounts.
#include "database/TemplateDatabase.h"

#include "base/SecureWipe.h"
#include "database/TemplateImage.h"

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

CTemplateDatabase::CTemplateDatabase(const wchar_t* folder, LogonFunction logon, const FileOperations& files)
    : m_databasePath(std::wstring(folder) + L"\\" + kDatabaseFileName),
      m_handOffPath(std::wstring(folder) + L"\\" + kHandOffFileName), m_logon(logon), m_files(&files) {
    m_hMutex = CreateMutexW(nullptr, FALSE, kDatabaseMutexName);
    DWORD capacity = 32;
    if (!GetUserNameW(m_szUserName, &capacity))
        std::fill(std::begin(m_szUserName), std::end(m_szUserName), L'\0');
}

CTemplateDatabase::~CTemplateDatabase() {
    if (m_hMutex != nullptr) {
        CloseHandle(m_hMutex);
        m_hMutex = nullptr;
    }
}

void CTemplateDatabase::LockDatabase() {
    // An abandoned mutex is ours now as after a normal wait; the file is checked by its reader.
    if (m_hMutex != nullptr)
        WaitForSingleObject(m_hMutex, INFINITE);
}

void CTemplateDatabase::UnlockDatabase() {
    if (m_hMutex != nullptr)
        ReleaseMutex(m_hMutex);
}

int CTemplateDatabase::LoadDatabase(unsigned char* image) {
    if (image == nullptr)
        return 0;
    std::fill(image, image + nvdb::kImageSize, static_cast<unsigned char>(0));
    CDatabaseLock lock(*this);
    return ReadEncryptedFile(m_databasePath.c_str(), nvdb::kImageSize, image, *m_files);
}

namespace {

// A save that was killed leaves its unfinished file behind. Only a save of ours makes such names,
// and saves run under the mutex, so whatever matches while we hold it is nobody's work.
void RemoveStaleTemporaries(const std::wstring& path) {
    const std::wstring folder = path.substr(0, path.find_last_of(L"\\/") + 1);
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((path + L".*.tmp").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            DeleteFileW((folder + found.cFileName).c_str());
    } while (FindNextFileW(find, &found));
    FindClose(find);
}

} // namespace

int CTemplateDatabase::SaveDatabase(const unsigned char* image) {
    if (image == nullptr)
        return 0;
    CDatabaseLock lock(*this);
    RemoveStaleTemporaries(m_databasePath);
    return WriteEncryptedFile(image, nvdb::kImageSize, m_databasePath.c_str(), *m_files);
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
