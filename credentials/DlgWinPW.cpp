// The account password check.
#include "credentials/DlgWinPW.h"

#include <utility>

CDlgWinPW::CDlgWinPW(LogonFunction logon, TellUserAction tellNoPassword)
    : m_logon(logon), m_tellNoPassword(std::move(tellNoPassword)) {}

int CDlgWinPW::CheckPasswordSet() {
    DWORD error = ERROR_SUCCESS;
    // An empty text, not a null pointer: a null password is not the same question.
    if (TryLogon(m_logon, m_szUserName, nullptr, L"", &error))
        return 1;
    // Anything else (1326 above all, which an account with a password gives) lets us go on.
    if (error != ERROR_ACCOUNT_RESTRICTION)
        return 1;
    if (m_tellNoPassword)
        m_tellNoPassword();
    return 0;
}
