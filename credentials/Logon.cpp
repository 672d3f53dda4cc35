// The logon that both password checks make.
#include "credentials/Logon.h"

bool TryLogon(LogonFunction logon, const wchar_t* userName, const wchar_t* domain, const wchar_t* password,
              DWORD* error) {
    HANDLE token = nullptr;
    SetLastError(ERROR_SUCCESS);
    if (logon(userName, domain, password, LOGON32_LOGON_INTERACTIVE, LOGON32_PROVIDER_DEFAULT, &token)) {
        if (token != nullptr)
            CloseHandle(token);
        *error = ERROR_SUCCESS;
        return true;
    }
    *error = GetLastError();
    return false;
}
