// The biometric identity (SID form) of the account that runs the process.
#pragma once

#include "biometric/WinBio.h"

// Fills all 76 bytes of identity: Type WINBIO_ID_TYPE_SID, the token user's SID and zeros behind
// it. On failure returns HRESULT_FROM_WIN32 of the failing call's error and leaves the identity
// all zero (Type WINBIO_ID_TYPE_NULL).
HRESULT GetUserIdentity(WINBIO_IDENTITY* identity);

// How the process token is opened; replaceable so that the failure path can be exercised (the
// same signature as OpenProcessToken, which is the default). Returns the one replaced.
using ProcessTokenOpener = BOOL(WINAPI*)(HANDLE process, DWORD access, PHANDLE token);
ProcessTokenOpener SetProcessTokenOpener(ProcessTokenOpener opener);
