// CDlgWinPW: whether the signed-in account has a Windows password. An account that logs on with
// an empty password only because policy refuses blank ones (error 1327) has none; then the user
// is told to set one up and the program may not go on.
#pragma once

#include "credentials/Logon.h"

#include <functional>

class CDlgWinPW {
public:
    // Shows the user why the program ends (the "Set up Windows Password" box over the dimmed
    // main window); the check goes on once it returns.
    using TellUserAction = std::function<void()>;

    explicit CDlgWinPW(LogonFunction logon = &LogonUserW, TellUserAction tellNoPassword = {});

    // 1: the program may continue; 0: the account has no password and the user has been told.
    int CheckPasswordSet();

    wchar_t m_szUserName[32] = {};

private:
    LogonFunction m_logon;
    TellUserAction m_tellNoPassword;
};
