// The account's identity from the process token.
#include "biometric/UserIdentity.h"

#include "base/Win32Handle.h"

#include <atomic>
#include <cstring>

namespace {

std::atomic<ProcessTokenOpener> g_openToken{&OpenProcessToken};

// TOKEN_USER followed by room for the largest SID.
constexpr DWORD kTokenUserBufferSize = 88;

HRESULT LastErrorResult() {
    return HRESULT_FROM_WIN32(GetLastError());
}

} // namespace

ProcessTokenOpener SetProcessTokenOpener(ProcessTokenOpener opener) {
    return g_openToken.exchange(opener ? opener : &OpenProcessToken);
}

HRESULT GetUserIdentity(WINBIO_IDENTITY* identity) {
    std::memset(identity, 0, sizeof *identity);
    identity->Type = WINBIO_ID_TYPE_NULL;

    nvwin::Handle token;
    if (!g_openToken.load()(GetCurrentProcess(), TOKEN_READ, token.Put()))
        return LastErrorResult();

    // Pointer-aligned, so the TOKEN_USER at its start is properly aligned.
    alignas(void*) BYTE buffer[kTokenUserBufferSize] = {};
    DWORD needed = 0;
    if (!GetTokenInformation(token.Get(), TokenUser, buffer, sizeof buffer, &needed))
        return LastErrorResult();
    PSID sid = reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid;
    if (!CopySid(static_cast<DWORD>(WINBIO_SID_DATA_SIZE), identity->Value.AccountSid.Data, sid)) {
        const HRESULT result = LastErrorResult();
        std::memset(identity, 0, sizeof *identity);
        return result;
    }
    identity->Value.AccountSid.Size = GetLengthSid(sid);
    identity->Type = WINBIO_ID_TYPE_SID;
    return S_OK;
}
