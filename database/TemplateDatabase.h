// CTemplateDatabase: the shared encrypted template database file, serialised with the vendor's
// programs through the machine-wide mutex "Norvik Fingerprint Database", and the encrypted-file
// helpers it is built on. The credential upkeep members live in credentials/StoredCredentials.cpp.
#pragma once

#include "database/FileOperations.h"

#include <windows.h>

#include <cstdint>
#include <string>

inline constexpr wchar_t kDatabaseFolder[] = L"c:\\ProgramData\\NorvikWbf";
inline constexpr wchar_t kDatabaseFileName[] = L"NVKDB.edb";
inline constexpr wchar_t kHandOffFileName[] = L"pwcn.dat";
inline constexpr wchar_t kDatabaseMutexName[] = L"Norvik Fingerprint Database";

// Reads the first size bytes' worth of whole cipher blocks of the file straight into output and
// decrypts them there. 0 when the file cannot be opened, is empty, is not a whole number of
// blocks, is shorter than size, or a read fails; output is then all zero.
int ReadEncryptedFile(const wchar_t* path, std::uint32_t size, unsigned char* output,
                      const FileOperations& files = kSystemFileOperations);

// Encrypts data into a new file beside path, flushes it, gives it the old file's DACL and
// attribute bits, and renames it over path in one step (with no old file, moves it into place).
// Where the folder or the old file refuses that (no right to create a file beside it, to set its
// access rules or to replace it, or a reader that holds it open without delete sharing), the data
// is written into the old file in place instead, whole, from its start, and flushed.
// A read-only file, or one that another process has open for writing, is not written at all.
// A size that is not a whole number of blocks is padded with zero bytes. 0 on failure: the old
// file then holds its old content where the write did not reach (all of it unless the in-place
// write broke off), and no temporary file is left.
int WriteEncryptedFile(const unsigned char* data, std::uint32_t size, const wchar_t* path,
                       const FileOperations& files = kSystemFileOperations);

// How the stored credentials are tried: a function with the shape of LogonUserW.
using LogonFunction = decltype(&LogonUserW);

class CTemplateDatabase {
public:
    // folder: where NVKDB.edb and pwcn.dat live. logon: how the stored credentials are tried.
    // files: how both files are opened, and the database replaced.
    explicit CTemplateDatabase(const wchar_t* folder = kDatabaseFolder, LogonFunction logon = &LogonUserW,
                               const FileOperations& files = kSystemFileOperations);
    ~CTemplateDatabase();
    CTemplateDatabase(const CTemplateDatabase&) = delete;
    CTemplateDatabase& operator=(const CTemplateDatabase&) = delete;

    // Infinite wait; re-entrant for the owning thread, which releases as often as it took it.
    void LockDatabase();
    void UnlockDatabase();

    // image: 9,014,528 bytes. Load zero-fills it first and leaves it zero on failure.
    int LoadDatabase(unsigned char* image);
    int SaveDatabase(const unsigned char* image);
    // Always 1; *index is the first in-use record with exactly this user name, or -1.
    int FindAccount(const unsigned char* image, const wchar_t* name, int* index) const;

    // The stored credential upkeep.
    int ApplyPasswordFile();
    int UpdatePassword(const wchar_t* userName, const wchar_t* password);
    int CheckAccount(int wiped[10]);
    // Zero-fills record index (0..9) of the image; 0 for an index outside that range.
    int ClearAccount(unsigned char* image, int index);

    const std::wstring& DatabasePath() const { return m_databasePath; }
    const std::wstring& HandOffPath() const { return m_handOffPath; }

    HANDLE m_hMutex = nullptr;
    wchar_t m_szUserName[32] = {};

private:
    std::wstring m_databasePath;
    std::wstring m_handOffPath;
    LogonFunction m_logon;
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

// Holds the database mutex for a scope.
class CDatabaseLock {
public:
    explicit CDatabaseLock(CTemplateDatabase& database) : m_database(database) { m_database.LockDatabase(); }
    ~CDatabaseLock() { m_database.UnlockDatabase(); }
    CDatabaseLock(const CDatabaseLock&) = delete;
    CDatabaseLock& operator=(const CDatabaseLock&) = delete;

private:
    CTemplateDatabase& m_database;
};
