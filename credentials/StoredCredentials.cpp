// The stored credential upkeep of CTemplateDatabase: applying a password left in the hand-off
// file, and clearing every stored account whose password Windows no longer accepts.
#include "database/TemplateDatabase.h"

#include "credentials/Logon.h"

#include "base/Trace.h"
#include "credentials/HandOffRecord.h"
#include "base/SecureWipe.h"
#include "database/TemplateImage.h"
#include "base/Win32Handle.h"

namespace {

bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The hand-off file as read, masked; it still holds a password.
struct HandOffBytes {
    unsigned char bytes[nvcred::kHandOffSize] = {};
    DWORD length = 0;
    ~HandOffBytes() { nvbase::SecureWipe(bytes, sizeof bytes); }
};

// Reads up to 272 bytes. False on a read error (as opposed to a short file).
bool ReadHandOff(HANDLE file, HandOffBytes& out) {
    while (out.length < sizeof out.bytes) {
        DWORD read = 0;
        if (!ReadFile(file, out.bytes + out.length, static_cast<DWORD>(sizeof out.bytes - out.length), &read,
                      nullptr))
            return false;
        if (read == 0)
            break;
        out.length += read;
    }
    return true;
}

// A record's credential as zero-terminated wide texts for the logon; wiped afterwards.
struct StoredCredential {
    wchar_t userName[nvdb::kTextUnits + 1] = {};
    wchar_t domain[nvdb::kTextUnits + 1] = {};
    wchar_t password[nvdb::kTextUnits + 1] = {};

    explicit StoredCredential(const unsigned char* record) {
        Copy(nvdb::UserNameField(record), userName);
        Copy(nvdb::DomainField(record), domain);
        Copy(nvdb::PasswordField(record), password);
    }
    ~StoredCredential() {
        nvbase::SecureWipe(userName, sizeof userName);
        nvbase::SecureWipe(domain, sizeof domain);
        nvbase::SecureWipe(password, sizeof password);
    }
    StoredCredential(const StoredCredential&) = delete;
    StoredCredential& operator=(const StoredCredential&) = delete;

private:
    static void Copy(const unsigned char* field, wchar_t (&out)[nvdb::kTextUnits + 1]) {
        char16_t text[nvdb::kTextUnits + 1];
        nvdb::ReadText(field, text);
        for (std::size_t i = 0; i <= nvdb::kTextUnits; ++i)
            out[i] = static_cast<wchar_t>(text[i]);
        nvbase::SecureWipe(text, sizeof text);
    }
};

} // namespace

int CTemplateDatabase::ApplyPasswordFile() {
    HandOffBytes handOff;
    {
        CDatabaseLock lock(*this);
        if (!FileExists(m_handOffPath))
            return 1;
        if (!FileExists(m_databasePath)) {
            DeleteFileW(m_handOffPath.c_str());
            return 0;
        }
        nvwin::FileHandle file(m_files->createFile(m_handOffPath.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                   nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                                                   nullptr));
        if (!file)
            return 0;
        // A read error says nothing about the content: the file stays for the next start.
        if (!ReadHandOff(file.Get(), handOff))
            return 0;
        file.Reset();
        if (!DeleteFileW(m_handOffPath.c_str()))
            return 0;
    }
    // Consumed from here on, whatever it holds.
    nvcred::HandOffCredentials credentials;
    if (nvcred::DecodeHandOff(handOff.bytes, handOff.length, credentials) != nvcred::HandOffStatus::Ok)
        return 0;
    wchar_t userName[nvcred::kHandOffTextUnits + 1] = {};
    wchar_t password[nvcred::kHandOffTextUnits + 1] = {};
    for (std::size_t i = 0; i <= nvcred::kHandOffTextUnits; ++i) {
        userName[i] = static_cast<wchar_t>(credentials.userName[i]);
        password[i] = static_cast<wchar_t>(credentials.password[i]);
    }
    const int result = UpdatePassword(userName, password);
    nvbase::SecureWipe(userName, sizeof userName);
    nvbase::SecureWipe(password, sizeof password);
    return result;
}

int CTemplateDatabase::UpdatePassword(const wchar_t* userName, const wchar_t* password) {
    if (userName == nullptr || userName[0] == L'\0' || password == nullptr)
        return 0;
    // Held from the read to the write, so that nobody else's write falls in between and is lost.
    CDatabaseLock lock(*this);
    nvdb::ImageBuffer image;
    if (!LoadDatabase(image.data()))
        return 0;
    int index = -1;
    FindAccount(image.data(), userName, &index);
    if (index < 0)
        return 0;
    if (!nvdb::SetPassword(image.data(), index, CFieldText(password).Get()))
        return 0;
    return SaveDatabase(image.data()) ? 1 : 0;
}

int CTemplateDatabase::CheckAccount(int wiped[10]) {
    if (wiped == nullptr)
        return 0;
    for (int r = 0; r < nvdb::kRecordCount; ++r)
        wiped[r] = 0;
    CDatabaseLock lock(*this);
    nvdb::ImageBuffer image;
    if (!LoadDatabase(image.data()))
        return 0;

    bool anyWiped = false;
    for (int r = 0; r < nvdb::kRecordCount; ++r) {
        const unsigned char* record = nvdb::Record(image.data(), r);
        if (nvdb::InUseFlag(record) == 0)
            continue;
        const StoredCredential credential(record);
        DWORD error = ERROR_SUCCESS;
        if (TryLogon(m_logon, credential.userName, credential.domain, credential.password, &error)) {
            nvtrace::Trace("(%d)(CheckAccount) Pass", r);
            continue;
        }
        // Only a rejected password clears the account; a locked, disabled or restricted account,
        // or a missing logon server, says nothing about the stored password.
        if (error == ERROR_LOGON_FAILURE) {
            wiped[r] = 1;
            anyWiped = true;
        }
        nvtrace::Trace("(%d)(CheckAccount) Fail = %x", r, static_cast<unsigned>(error));
    }
    if (!anyWiped)
        return 1;
    for (int r = 0; r < nvdb::kRecordCount; ++r)
        if (wiped[r] == 1)
            ClearAccount(image.data(), r);
    return SaveDatabase(image.data()) ? 1 : 0;
}
