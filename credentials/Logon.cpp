// The logon that both password checks make.
#include "credentials/Logon.h"

#include "base/Win32Handle.h"

bool TryLogon(LogonFunction logon, const wchar_t* userName, const wchar_t* domain, const wchar_t* password,
              DWORD* error) {
    nvwin::Handle token; // only the answer counts; the token goes unused
    SetLastError(ERROR_SUCCESS);
    if (logon(userName, domain, password, LOGON32_LOGON_INTERACTIVE, LOGON32_PROVIDER_DEFAULT, token.Put())) {
        *error = ERROR_SUCCESS;
        return true;
    }
    *error = GetLastError();
    return false;
}
