// The one way this program asks Windows whether a credential logs on: a function with the shape
// of LogonUserW, so the caller can hand in another one (LogonUserW itself by default).
#pragma once

#include <windows.h>

using LogonFunction = BOOL(WINAPI*)(LPCWSTR userName, LPCWSTR domain, LPCWSTR password, DWORD logonType,
                                    DWORD logonProvider, PHANDLE token);

// An interactive logon with the default provider, as both password checks make it. The token
// is closed at once. True on success; otherwise *error is GetLastError of the failed call.
bool TryLogon(LogonFunction logon, const wchar_t* userName, const wchar_t* domain, const wchar_t* password,
              DWORD* error);
