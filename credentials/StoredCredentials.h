// The stored credential upkeep of the template database: applying a password that an outside
// program left in the hand-off file, and clearing every stored account whose password Windows no
// longer accepts. It works on a CTemplateDatabase, through its lock, its files and its image
// edits. None of the operations throws; each holds the lock only while it reads or writes, never
// across a logon: a slow logon server must not keep the other sessions' programs out.
#pragma once

#include "base/WorkLimit.h"
#include "credentials/Logon.h"
#include "database/TemplateDatabase.h"

class CStoredCredentials {
public:
    // logon: how the stored credentials (and a hand-off's password) are tried. limit, when
    // given, bounds every wait for the lock, and a pass that is stopped or out of time goes no
    // further: no logon and no write after that, everything left for the next start.
    explicit CStoredCredentials(CTemplateDatabase& database, LogonFunction logon = &LogonUserW,
                                const CWorkLimit* limit = nullptr)
        : m_database(database), m_logon(logon), m_limit(limit) {}

    // The hand-off's password goes into the first record of that user name (letter case aside,
    // exact matches first) whose logon accepts it. The file is deleted once the password is
    // saved, or when it is malformed, names no stored account or every such account refuses the
    // password (1326); anything else leaves it for the next start, as does a hand-off that was
    // replaced while we logged on.
    int ApplyPasswordFile();
    // The record of that user name (letter case aside, an exact match first) gets the password.
    int UpdatePassword(const wchar_t* userName, const wchar_t* password);
    // Clears a record whose password is refused, unless a hand-off for it is pending (then it is
    // not even tried) or the record changed while its logon ran. wiped[r] is 1 for each record
    // whose clearing was saved.
    int CheckAccount(int wiped[10]);

private:
    // Under the lock: record index gets password and the image is saved, provided the record
    // still holds expectedUser and expectedDomain where they are given.
    int WritePassword(int index, const wchar_t* password, const wchar_t* expectedUser,
                      const wchar_t* expectedDomain);
    // False, with a trace line naming the pass, once the limit says to stop.
    bool GoesOn(const char* pass) const;
    // The writes, each only while the limit allows, and waited for by a stop.
    int Save(const unsigned char* image);
    bool Delete(HANDLE handOff);

    CTemplateDatabase& m_database;
    LogonFunction m_logon;
    const CWorkLimit* m_limit;
};
