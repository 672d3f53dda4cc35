// The stored credential upkeep: the hand-off file and the check of every stored account.
#include "credentials/StoredCredentials.h"

#include "base/SecureWipe.h"
#include "base/Trace.h"
#include "base/Win32Handle.h"
#include "credentials/HandOffRecord.h"
#include "database/TemplateImage.h"

#include <algorithm>
#include <array>
#include <vector>
#include <cwchar>
#include <memory>

namespace {

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

    bool operator==(const HandOffBytes& other) const {
        return length == other.length && std::equal(bytes, bytes + length, other.bytes);
    }
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

// Whether the database file is there: Yes, No (not found), or Unknown (it could not be asked,
// a delete-pending file say), which must not be taken for "no database".
enum class Presence { Yes, No, Unknown };

Presence DatabasePresence(const CTemplateDatabase& database) {
    const nvwin::FileHandle file =
        OpenWithoutLinks(database.Files(), database.DatabasePath().c_str(), FILE_READ_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING, 0);
    if (file)
        return Presence::Yes;
    return IsNotFound(GetLastError()) ? Presence::No : Presence::Unknown;
}

// The hand-off opened for the pass that applies it: shared only with readers while we hold it
// (under the lock, never across a logon), with the rights to delete it, read-only or not.
nvwin::FileHandle OpenHandOff(const CTemplateDatabase& database) {
    return OpenWithoutLinks(database.Files(), database.HandOffPath().c_str(),
                            GENERIC_READ | DELETE | FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN);
}

// The records a hand-off may be meant for, in the order they are tried: those named exactly as
// given, then those named so in other letters (as Windows compares account names), each group in
// record order. Two accounts may share a name in different domains.
std::vector<int> CandidateRecords(const unsigned char* image, const wchar_t* userName) {
    std::vector<int> exact, other;
    for (int r = 0; r < nvdb::kRecordCount; ++r) {
        const unsigned char* record = nvdb::Record(image, r);
        if (nvdb::InUseFlag(record) == 0)
            continue;
        wchar_t stored[nvdb::kTextUnits + 1];
        ReadField(nvdb::UserNameField(record), stored);
        if (std::wcscmp(stored, userName) == 0)
            exact.push_back(r);
        else if (SameAccountName(stored, userName))
            other.push_back(r);
        nvbase::SecureWipe(stored, sizeof stored);
    }
    exact.insert(exact.end(), other.begin(), other.end());
    return exact;
}

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

bool CStoredCredentials::GoesOn(const char* pass) const {
    if (m_limit == nullptr || !m_limit->Over())
        return true;
    nvtrace::Trace("(%hs) %hs; left for the next start", pass,
                   m_limit->StopRequested() ? "stopped" : "out of time");
    return false;
}

int CStoredCredentials::Save(const unsigned char* image) {
    const CWorkLimit::WriteScope write(m_limit);
    return write && m_database.SaveDatabase(image) ? 1 : 0;
}

bool CStoredCredentials::Delete(HANDLE handOff) {
    const CWorkLimit::WriteScope write(m_limit);
    if (write && DeleteThroughHandle(m_database.Files(), handOff))
        return true;
    nvtrace::Trace("(ApplyPasswordFile) the hand-off was not deleted, error %u",
                   static_cast<unsigned>(GetLastError()));
    return false;
}

int CStoredCredentials::WritePassword(int index, const wchar_t* password, const wchar_t* expectedUser,
                                      const wchar_t* expectedDomain) {
    nvdb::ImageBuffer image;
    if (!m_database.LoadDatabase(image.data()))
        return 0;
    if (expectedUser != nullptr) {
        const unsigned char* record = nvdb::Record(image.data(), index);
        const StoredCredential now(record);
        if (nvdb::InUseFlag(record) == 0 || std::wcscmp(now.userName, expectedUser) != 0 ||
            std::wcscmp(now.domain, expectedDomain) != 0) {
            nvtrace::Trace("(%d)(ApplyPasswordFile) the record changed meanwhile", index);
            return 0;
        }
    }
    if (!nvdb::SetPassword(image.data(), index, CFieldText(password).Get()))
        return 0;
    return Save(image.data());
}

namespace {

// What a logon's answer says about the password it was given. Windows checks these conditions
// only once the password has been accepted; everything else (a locked-out, disabled or expired
// account, an unreachable domain) is answered without looking at it, or says nothing either way.
enum class Verdict { Accepted, Refused, Unknown };

Verdict PasswordVerdict(bool loggedOn, DWORD error) {
    if (loggedOn)
        return Verdict::Accepted;
    switch (error) {
    case ERROR_LOGON_FAILURE:
        return Verdict::Refused;
    case ERROR_ACCOUNT_RESTRICTION:
    case ERROR_INVALID_LOGON_HOURS:
    case ERROR_INVALID_WORKSTATION:
    case ERROR_PASSWORD_EXPIRED:
    case ERROR_PASSWORD_MUST_CHANGE:
    case ERROR_LOGON_TYPE_NOT_GRANTED:
        return Verdict::Accepted;
    default:
        return Verdict::Unknown;
    }
}

} // namespace

int CStoredCredentials::ApplyPasswordFile() {
    const auto apply = [this]() -> int {
        // Read under the lock and closed again before any logon, so that a writer delivering a
        // newer hand-off meanwhile is not refused; it is opened again to be applied or deleted,
        // and only if it still holds the bytes read now.
        HandOffBytes read;
        HandOff handOff;
        std::vector<std::pair<int, std::unique_ptr<StoredCredential>>> candidates;
        {
            const CDatabaseLock lock(m_database, m_limit);
            if (!lock)
                return 0;
            const nvwin::FileHandle folder = m_database.HoldFolder();
            if (!folder)
                return IsNotFound(GetLastError()) ? 1 : 0;
            const nvwin::FileHandle file = OpenHandOff(m_database);
            if (!file)
                return IsNotFound(GetLastError()) ? 1 : 0;
            // A read error says nothing about the content: the file stays for the next start.
            if (!ReadHandOff(file.Get(), read))
                return 0;
            switch (DatabasePresence(m_database)) {
            case Presence::No:
                if (GoesOn("ApplyPasswordFile"))
                    Delete(file.Get());
                return 0;
            case Presence::Unknown:
                return 0;
            case Presence::Yes:
                break;
            }
            if (!handOff.Decode(read)) {
                if (GoesOn("ApplyPasswordFile"))
                    Delete(file.Get());
                return 0;
            }
            nvdb::ImageBuffer image;
            if (!m_database.LoadDatabase(image.data()))
                return 0;
            for (const int r : CandidateRecords(image.data(), handOff.userName))
                candidates.emplace_back(r, std::make_unique<StoredCredential>(nvdb::Record(image.data(), r)));
            if (candidates.empty()) {
                if (GoesOn("ApplyPasswordFile"))
                    Delete(file.Get());
                return 0;
            }
        }
        // Whoever can write into the folder can write a hand-off: it must name a password that
        // Windows takes for the account, or it would cost the account its record at the check.
        const StoredCredential* accepted = nullptr;
        int acceptedIndex = -1;
        bool undecided = false;
        for (const auto& [index, account] : candidates) {
            if (!GoesOn("ApplyPasswordFile"))
                return 0;
            DWORD error = ERROR_SUCCESS;
            const bool loggedOn =
                TryLogon(m_logon, account->userName, account->domain, handOff.password, &error);
            const Verdict verdict = PasswordVerdict(loggedOn, error);
            if (!loggedOn)
                nvtrace::Trace("(%d)(ApplyPasswordFile) Fail = %x", index, static_cast<unsigned>(error));
            if (verdict == Verdict::Accepted) {
                accepted = account.get();
                acceptedIndex = index;
                break;
            }
            undecided = undecided || verdict == Verdict::Unknown;
        }

        const CDatabaseLock lock(m_database, m_limit);
        if (!lock)
            return 0;
        const nvwin::FileHandle folder = m_database.HoldFolder();
        if (!folder)
            return 0;
        const nvwin::FileHandle file = OpenHandOff(m_database);
        HandOffBytes now;
        if (!file || !ReadHandOff(file.Get(), now))
            return 0;
        if (!(now == read)) {
            nvtrace::Trace("(ApplyPasswordFile) the hand-off changed meanwhile; left for the next start");
            return 0;
        }
        if (accepted == nullptr) {
            // Refused by every account of that name: done with. Unanswered by one of them: it may
            // still be right, and is tried again at the next start.
            if (!undecided && GoesOn("ApplyPasswordFile"))
                Delete(file.Get());
            return 0;
        }
        if (!WritePassword(acceptedIndex, handOff.password, accepted->userName, accepted->domain))
            return 0;
        Delete(file.Get());
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
        const CDatabaseLock lock(m_database, m_limit);
        if (!lock)
            return 0;
        nvdb::ImageBuffer image;
        if (!m_database.LoadDatabase(image.data()))
            return 0;
        const std::vector<int> candidates = CandidateRecords(image.data(), userName);
        return candidates.empty() ? 0 : WritePassword(candidates.front(), password, nullptr, nullptr);
    } catch (...) {
        return 0;
    }
}

int CStoredCredentials::CheckAccount(int wiped[10]) {
    if (wiped == nullptr)
        return 0;
    for (int r = 0; r < nvdb::kRecordCount; ++r)
        wiped[r] = 0;
    const auto check = [this, wiped]() -> int {
        nvdb::ImageBuffer image;
        std::array<std::unique_ptr<StoredCredential>, nvdb::kRecordCount> tried;
        {
            const CDatabaseLock lock(m_database, m_limit);
            if (!lock || !m_database.LoadDatabase(image.data()))
                return 0;
            // The new password of an account whose hand-off waits is not stored yet: its old one
            // is expected to fail, and trying it only adds to the account's bad-password count.
            PendingHandOff pending;
            ReadPending(m_database.Files(), m_database.HandOffPath(), pending);
            for (int r = 0; r < nvdb::kRecordCount; ++r) {
                const unsigned char* record = nvdb::Record(image.data(), r);
                if (nvdb::InUseFlag(record) == 0)
                    continue;
                auto credential = std::make_unique<StoredCredential>(record);
                if (pending.Protects(credential->userName))
                    nvtrace::Trace("(%d)(CheckAccount) hand-off pending, kept", r);
                else
                    tried[r] = std::move(credential);
            }
        }
        bool anyRejected = false;
        std::array<bool, nvdb::kRecordCount> rejected = {};
        for (int r = 0; r < nvdb::kRecordCount; ++r) {
            if (!tried[r])
                continue;
            if (!GoesOn("CheckAccount"))
                return 0;
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

        const CDatabaseLock lock(m_database, m_limit);
        if (!lock || !m_database.LoadDatabase(image.data()))
            return 0;
        PendingHandOff pending;
        ReadPending(m_database.Files(), m_database.HandOffPath(), pending);
        std::array<bool, nvdb::kRecordCount> cleared = {};
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
            // A hand-off that came while we logged on: the old password is expected to fail.
            if (pending.Protects(tried[r]->userName)) {
                nvtrace::Trace("(%d)(CheckAccount) hand-off pending, kept", r);
                continue;
            }
            m_database.ClearAccount(image.data(), r);
            cleared[r] = anyCleared = true;
        }
        if (!anyCleared)
            return 1;
        if (!Save(image.data()))
            return 0;
        // Only what the file now says: a record whose clearing was not saved is still there.
        for (int r = 0; r < nvdb::kRecordCount; ++r)
            wiped[r] = cleared[r] ? 1 : 0;
        return 1;
    };
    try {
        return check();
    } catch (...) {
        return 0;
    }
}
