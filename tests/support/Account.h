// The account the test runs as, read from the process token and the system, independently of the
// product's own reading of it.
#pragma once

#include <windows.h>

#include <sddl.h>

#include <string>

namespace testwin {

// The token user's SID as text ("S-1-5-21-..."); empty when it cannot be read.
inline std::string AccountSid() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return {};
    alignas(void*) BYTE buffer[256] = {};
    DWORD needed = 0;
    LPSTR text = nullptr;
    std::string sid;
    if (GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &needed) &&
        ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text)) {
        sid = text;
        LocalFree(text);
    }
    CloseHandle(token);
    return sid;
}

// The signed-in user's name as the program sees it.
inline std::wstring UserName() {
    wchar_t name[256] = {};
    DWORD size = 256;
    GetUserNameW(name, &size);
    return name;
}

} // namespace testwin
