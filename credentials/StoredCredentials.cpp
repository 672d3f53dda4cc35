// The stored credential upkeep: the hand-off file and the check of every stored account.
#include "credentials/StoredCredentials.h"

#include "base/SecureWipe.h"
#include "base/Trace.h"
#include "base/Win32Handle.h"
#include "credentials/HandOffRecord.h"
#include "database/TemplateImage.h"

#include <array>
#include <cwchar>
#include <memory>

namespace {

bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsNotFound(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// Account names as Windows compares them: ordinal, without regard to letter case.
bool SameAccountName(const wchar_t* a, const wchar_t* b) {
    return CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL;
}

// A text field of the image as a zero-terminated wide text.
void ReadField(const unsigned char* field, wchar_t (&out)[nvdb::kTextUnits + 1]) {
    char16_t text[nvdb::kTextUnits + 1];
    nvdb::ReadText(field, text);
    for (std::size_t i = 0; i <= nvdb::kTextUnits; ++i)
        out[i] = static_cast<wchar_t>(text[i]);
    nvbase::SecureWipe(text, sizeof text);
}

// A record's credential as zero-terminated wide texts for the logon; wiped afterwards.
struct StoredCredential {
    wchar_t userName[nvdb::kTextUnits + 1] = {};
    wchar_t domain[nvdb::kTextUnits + 1] = {};
    wchar_t password[nvdb::kTextUnits + 1] = {};

    explicit StoredCredential(const unsigned char* record) {
        ReadField(nvdb::UserNameField(record), userName);
        ReadField(nvdb::DomainField(record), domain);
        ReadField(nvdb::PasswordField(record), password);
    }
    ~StoredCredential() {
        nvbase::SecureWipe(userName, sizeof userName);
        nvbase::SecureWipe(domain, sizeof domain);
        nvbase::SecureWipe(password, sizeof password);
    }
    StoredCredential(const StoredCredential&) = delete;
    StoredCredential& operator=(const StoredCredential&) = delete;

    // Whether the record still holds this account and this password.
    bool StillIn(const unsigned char* record) const {
        const StoredCredential now(record);
        return nvdb::InUseFlag(record) != 0 && std::wcscmp(now.userName, userName) == 0 &&
               std::wcscmp(now.domain, domain) == 0 && std::wcscmp(now.password, password) == 0;
    }
};

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

// A decoded hand-off as wide texts; wiped when it goes.
struct HandOff {
    wchar_t userName[nvcred::kHandOffTextUnits + 1] = {};
    wchar_t password[nvcred::kHandOffTextUnits + 1] = {};

    HandOff() = default;
    ~HandOff() {
        nvbase::SecureWipe(userName, sizeof userName);
        nvbase::SecureWipe(password, sizeof password);
    }
    HandOff(const HandOff&) = delete;
    HandOff& operator=(const HandOff&) = delete;

    // False for a malformed record or one without a user name.
    bool Decode(const HandOffBytes& read) {
        nvcred::HandOffCredentials credentials;
        const nvcred::HandOffStatus status = nvcred::DecodeHandOff(read.bytes, read.length, credentials);
        if (status != nvcred::HandOffStatus::Ok) {
            nvtrace::Trace("(ApplyPasswordFile) malformed: %hs", nvcred::HandOffStatusText(status));
            return false;
        }
        for (std::size_t i = 0; i <= nvcred::kHandOffTextUnits; ++i) {
            userName[i] = static_cast<wchar_t>(credentials.userName[i]);
            password[i] = static_cast<wchar_t>(credentials.password[i]);
        }
        return userName[0] != L'\0';
    }
};

} // namespace

int CStoredCredentials::FindHandOffAccount(const unsigned char* image, const wchar_t* userName) {
    // An exact match first, so that of "john" and "John" the one named as given wins.
    if (const int exact = nvdb::FindAccount(image, CFieldText(userName).Get()); exact >= 0)
        return exact;
    for (int r = 0; r < nvdb::kRecordCount; ++r) {
        const unsigned char* record = nvdb::Record(image, r);
        wchar_t stored[nvdb::kTextUnits + 1];
        ReadField(nvdb::UserNameField(record), stored);
        if (nvdb::InUseFlag(record) != 0 && SameAccountName(stored, userName))
            return r;
    }
    return -1;
}

int CStoredCredentials::WritePassword(const wchar_t* userName, const wchar_t* password,
                                      const wchar_t* expectedUser, const wchar_t* expectedDomain) {
    nvdb::ImageBuffer image;
    if (!m_database.LoadDatabase(image.data()))
        return 0;
    const int index = FindHandOffAccount(image.data(), userName);
    if (index < 0)
        return 0;
    if (expectedUser != nullptr) {
        const StoredCredential now(nvdb::Record(image.data(), index));
        if (std::wcscmp(now.userName, expectedUser) != 0 || std::wcscmp(now.domain, expectedDomain) != 0) {
            nvtrace::Trace("(%d)(ApplyPasswordFile) the record changed meanwhile", index);
            return 0;
        }
    }
    if (!nvdb::SetPassword(image.data(), index, CFieldText(password).Get()))
        return 0;
    return m_database.SaveDatabase(image.data()) ? 1 : 0;
}

int CStoredCredentials::ApplyPasswordFile() {
    const auto apply = [this]() -> int {
        // Held open from the read to the end, sharing only reading: nobody replaces or deletes it
        // meanwhile, and it is deleted through this handle once it is done with.
        nvwin::FileHandle file;
        // Done with: gone once the handle closes, which is now.
        const auto discard = [this, &file]() {
            DeleteThroughHandle(m_database.Files(), file.Get());
            file.Reset();
            return 0;
        };
        HandOff handOff;
        std::unique_ptr<StoredCredential> account;
        {
            const CDatabaseLock lock(m_database);
            if (!lock)
                return 0;
            const nvwin::FileHandle folder = m_database.HoldFolder();
            if (!folder)
                return IsNotFound(GetLastError()) ? 1 : 0;
            file =
                OpenWithoutLinks(m_database.Files(), m_database.HandOffPath().c_str(), GENERIC_READ | DELETE,
                                 FILE_SHARE_READ, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN);
            if (!file)
                return IsNotFound(GetLastError()) ? 1 : 0;
            if (!FileExists(m_database.DatabasePath()))
                return discard();
            // A read error says nothing about the content: the file stays for the next start.
            HandOffBytes read;
            if (!ReadHandOff(file.Get(), read))
                return 0;
            if (!handOff.Decode(read))
                return discard();
            nvdb::ImageBuffer image;
            if (!m_database.LoadDatabase(image.data()))
                return 0;
            const int index = FindHandOffAccount(image.data(), handOff.userName);
            if (index < 0)
                return discard();
            account = std::make_unique<StoredCredential>(nvdb::Record(image.data(), index));
        }
        // Whoever can write into the folder can write a hand-off: it must name a password that
        // Windows takes for that account, or it would cost the account its record at the check.
        DWORD error = ERROR_SUCCESS;
        if (!TryLogon(m_logon, account->userName, account->domain, handOff.password, &error) &&
            error == ERROR_LOGON_FAILURE) {
            nvtrace::Trace("(ApplyPasswordFile) Fail = %x", static_cast<unsigned>(error));
            return discard();
        }
        const CDatabaseLock lock(m_database);
        if (!lock || !WritePassword(handOff.userName, handOff.password, account->userName, account->domain))
            return 0;
        // Gone when the handle closes, still under the lock.
        if (!DeleteThroughHandle(m_database.Files(), file.Get()))
            nvtrace::Trace("(ApplyPasswordFile) deleting the hand-off failed, error %u",
                           static_cast<unsigned>(GetLastError()));
        file.Reset();
        return 1;
    };
    try {
        return apply();
    } catch (...) {
        return 0; // an image that could not be allocated; the hand-off stays
    }
}

int CStoredCredentials::UpdatePassword(const wchar_t* userName, const wchar_t* password) {
    if (userName == nullptr || userName[0] == L'\0' || password == nullptr)
        return 0;
    try {
        // Held from the read to the write, so that nobody else's write falls in between and is lost.
        const CDatabaseLock lock(m_database);
        return lock ? WritePassword(userName, password, nullptr, nullptr) : 0;
    } catch (...) {
        return 0;
    }
}

namespace {

// What a pending hand-off says about the records: none is named, one user name is, or the file is
// there but cannot be read now and so might name any of them.
struct PendingHandOff {
    enum class Kind { None, Named, Unknown } kind = Kind::None;
    HandOff handOff;

    bool Protects(const wchar_t* userName) const {
        return kind == Kind::Unknown || (kind == Kind::Named && SameAccountName(handOff.userName, userName));
    }
};

void ReadPending(const FileOperations& files, const std::wstring& path, PendingHandOff& pending) {
    const nvwin::FileHandle file = OpenWithoutLinks(files, path.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                    OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN);
    if (!file) {
        pending.kind =
            IsNotFound(GetLastError()) ? PendingHandOff::Kind::None : PendingHandOff::Kind::Unknown;
        return;
    }
    HandOffBytes read;
    if (!ReadHandOff(file.Get(), read))
        pending.kind = PendingHandOff::Kind::Unknown;
    else
        // A malformed one names nobody; the next start discards it.
        pending.kind =
            pending.handOff.Decode(read) ? PendingHandOff::Kind::Named : PendingHandOff::Kind::None;
}

} // namespace

int CStoredCredentials::CheckAccount(int wiped[10]) {
    if (wiped == nullptr)
        return 0;
    for (int r = 0; r < nvdb::kRecordCount; ++r)
        wiped[r] = 0;
    const auto check = [this, wiped]() -> int {
        nvdb::ImageBuffer image;
        std::array<std::unique_ptr<StoredCredential>, nvdb::kRecordCount> tried;
        {
            const CDatabaseLock lock(m_database);
            if (!lock || !m_database.LoadDatabase(image.data()))
                return 0;
            for (int r = 0; r < nvdb::kRecordCount; ++r) {
                const unsigned char* record = nvdb::Record(image.data(), r);
                if (nvdb::InUseFlag(record) != 0)
                    tried[r] = std::make_unique<StoredCredential>(record);
            }
        }
        bool anyRejected = false;
        std::array<bool, nvdb::kRecordCount> rejected = {};
        for (int r = 0; r < nvdb::kRecordCount; ++r) {
            if (!tried[r])
                continue;
            DWORD error = ERROR_SUCCESS;
            if (TryLogon(m_logon, tried[r]->userName, tried[r]->domain, tried[r]->password, &error)) {
                nvtrace::Trace("(%d)(CheckAccount) Pass", r);
                continue;
            }
            // Only a rejected password clears the account; a locked, disabled or restricted
            // account, or a missing logon server, says nothing about the stored password.
            if (error == ERROR_LOGON_FAILURE) {
                rejected[r] = true;
                anyRejected = true;
            }
            nvtrace::Trace("(%d)(CheckAccount) Fail = %x", r, static_cast<unsigned>(error));
        }
        if (!anyRejected)
            return 1;

        const CDatabaseLock lock(m_database);
        if (!lock || !m_database.LoadDatabase(image.data()))
            return 0;
        PendingHandOff pending;
        ReadPending(m_database.Files(), m_database.HandOffPath(), pending);
        bool anyCleared = false;
        for (int r = 0; r < nvdb::kRecordCount; ++r) {
            if (!rejected[r])
                continue;
            // Another program may have changed the record while we logged on; what it holds now
            // was not tried.
            if (!tried[r]->StillIn(nvdb::Record(image.data(), r))) {
                nvtrace::Trace("(%d)(CheckAccount) changed meanwhile, kept", r);
                continue;
            }
            // The new password waits in the hand-off: the old one is expected to fail.
            if (pending.Protects(tried[r]->userName)) {
                nvtrace::Trace("(%d)(CheckAccount) hand-off pending, kept", r);
                continue;
            }
            m_database.ClearAccount(image.data(), r);
            wiped[r] = 1;
            anyCleared = true;
        }
        if (!anyCleared)
            return 1;
        return m_database.SaveDatabase(image.data()) ? 1 : 0;
    };
    try {
        return check();
    } catch (...) {
        return 0;
    }
}
