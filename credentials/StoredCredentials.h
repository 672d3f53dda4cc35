// The stored credential upkeep of the template database: applying a password that an outside
// program left in the hand-off file, and clearing every stored account whose password Windows no
// longer accepts. It works on a CTemplateDatabase, through its lock, its files and its image
// edits. None of the operations throws; each holds the lock only while it reads or writes, never
// across a logon: a slow logon server must not keep the other sessions' programs out.
#pragma once

#include "credentials/Logon.h"
#include "database/TemplateDatabase.h"

class CStoredCredentials {
public:
    // logon: how the stored credentials (and a hand-off's password) are tried.
    explicit CStoredCredentials(CTemplateDatabase& database, LogonFunction logon = &LogonUserW)
        : m_database(database), m_logon(logon) {}

    // The hand-off file is deleted once its password is saved, or when it is malformed, names no
    // stored account or its password does not log on; any other failure leaves it for next time.
    int ApplyPasswordFile();
    // The record of that user name (letter case aside, an exact match first) gets the password.
    int UpdatePassword(const wchar_t* userName, const wchar_t* password);
    // Clears a record whose password is refused, unless a hand-off for it is pending or the record
    // changed while its logon ran. wiped[r] is 1 for each record cleared.
    int CheckAccount(int wiped[10]);

private:
    // Record index of the hand-off's user name in the image, or -1.
    static int FindHandOffAccount(const unsigned char* image, const wchar_t* userName);
    // Under the lock: the record of userName gets password and the image is saved, provided the
    // record still carries expectedUser and expectedDomain where they are given.
    int WritePassword(const wchar_t* userName, const wchar_t* password, const wchar_t* expectedUser,
                      const wchar_t* expectedDomain);

    CTemplateDatabase& m_database;
    LogonFunction m_logon;
};
