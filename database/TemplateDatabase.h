// CTemplateDatabase: the shared encrypted template database file, serialised with the vendor's
// programs of every session through the mutexes "Global\Norvik Fingerprint Database" and
// "Norvik Fingerprint Database". The stored credential upkeep built on it is CStoredCredentials
// (credentials/StoredCredentials.h).
#pragma once

#include "base/Win32Handle.h"
#include "base/WorkLimit.h"
#include "database/EncryptedFile.h"
#include "database/FileOperations.h"

#include <windows.h>

#include <cstdint>
#include <string>

inline constexpr wchar_t kDatabaseFolder[] = L"c:\\ProgramData\\NorvikWbf";
inline constexpr wchar_t kDatabaseFileName[] = L"NVKDB.edb";
inline constexpr wchar_t kHandOffFileName[] = L"pwcn.dat";
// An unprefixed name is the session's own object: a service in session 0, or this program in
// another user's session, would not see it. So every access takes the machine's one first and
// then the session's, which peers that use the bare name take.
inline constexpr wchar_t kDatabaseMutexName[] = L"Norvik Fingerprint Database";
inline constexpr wchar_t kGlobalDatabaseMutexName[] = L"Global\\Norvik Fingerprint Database";
// How long an access waits for the peers to let go: a pass that cannot have the lock by then
// fails and leaves everything as it was, rather than freeze the window behind a peer that hangs.
inline constexpr DWORD kDatabaseLockTimeoutMs = 30'000;

class CTemplateDatabase {
public:
    // folder: where NVKDB.edb and pwcn.dat live. files: how both files are opened, and the
    // database replaced. lockTimeoutMs: how long LockDatabase waits.
    explicit CTemplateDatabase(const wchar_t* folder = kDatabaseFolder,
                               const FileOperations& files = kSystemFileOperations,
                               DWORD lockTimeoutMs = kDatabaseLockTimeoutMs);
    ~CTemplateDatabase();
    CTemplateDatabase(const CTemplateDatabase&) = delete;
    CTemplateDatabase& operator=(const CTemplateDatabase&) = delete;

    // Takes the machine's mutex, then the session's, waiting at most the time-out for both (and,
    // with a limit, no longer than it allows and not past its stop); an abandoned one is taken as
    // after a normal wait. 1 when held; 0 when the time ran out, a wait failed or a mutex cannot
    // be opened (its name taken by another kind of object, or its access rules keep us out), and
    // then nothing is held: a pass never works without the lock. Re-entrant for the owning
    // thread, which calls UnlockDatabase once for every 1.
    int LockDatabase(const CWorkLimit* limit = nullptr);
    void UnlockDatabase();

    // image: 9,014,528 bytes. Load zero-fills it first and leaves it zero on failure. Both take
    // the lock and fail without it; both refuse a folder or file that is a link.
    int LoadDatabase(unsigned char* image);
    int SaveDatabase(const unsigned char* image);
    // Always 1; *index is the first in-use record with exactly this user name, or -1.
    int FindAccount(const unsigned char* image, const wchar_t* name, int* index) const;

    // Zero-fills record index (0..9) of the image; 0 for an index outside that range.
    int ClearAccount(unsigned char* image, int index);

    const std::wstring& DatabasePath() const { return m_databasePath; }
    const std::wstring& HandOffPath() const { return m_handOffPath; }
    const FileOperations& Files() const { return *m_files; }
    // The folder held open without delete sharing, so that it cannot be swapped for a link while
    // we work in it; invalid (GetLastError says why) when it is missing or is a link.
    nvwin::FileHandle HoldFolder() const;

    // The session's mutex; the machine's is m_hGlobalMutex.
    nvwin::Handle m_hMutex;
    wchar_t m_szUserName[32] = {};

private:
    nvwin::Handle m_hGlobalMutex;
    DWORD m_lockTimeoutMs;
    std::wstring m_folder;
    std::wstring m_databasePath;
    std::wstring m_handOffPath;
    const FileOperations* m_files;
};

// A wide text as UTF-16 for the image code: at most 33 units are taken, one more than a field
// holds, so a text too long for a field stays too long. Wiped when it goes (it may be a password).
class CFieldText {
public:
    explicit CFieldText(const wchar_t* text);
    ~CFieldText();
    CFieldText(const CFieldText&) = delete;
    CFieldText& operator=(const CFieldText&) = delete;
    const char16_t* Get() const { return m_units; }

private:
    char16_t m_units[34] = {};
};

// Holds the database lock for a scope, if it could be had; test it before touching a file.
class CDatabaseLock {
public:
    explicit CDatabaseLock(CTemplateDatabase& database, const CWorkLimit* limit = nullptr)
        : m_database(database), m_held(m_database.LockDatabase(limit) != 0) {}
    ~CDatabaseLock() {
        if (m_held)
            m_database.UnlockDatabase();
    }
    CDatabaseLock(const CDatabaseLock&) = delete;
    CDatabaseLock& operator=(const CDatabaseLock&) = delete;
    explicit operator bool() const { return m_held; }

private:
    CTemplateDatabase& m_database;
    bool m_held;
};
