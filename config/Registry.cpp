// Registry readers.
#include "config/Registry.h"

#include "base/Trace.h"

const wchar_t kProductKeyPath[] = L"SOFTWARE\\NORVIK\\Printkeep";
const wchar_t kWinNtVersionPath[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion";

namespace {

constexpr DWORD kStringBufferBytes = 1024;

// Closes an opened key when the reader returns, whichever way.
class OpenedKey {
public:
    OpenedKey(HKEY root, const wchar_t* subKey) { OpenReg(&m_hKey, root, subKey, kRegReadAccess); }
    ~OpenedKey() {
        if (m_hKey != nullptr)
            RegCloseKey(m_hKey);
    }
    OpenedKey(const OpenedKey&) = delete;
    OpenedKey& operator=(const OpenedKey&) = delete;
    HKEY get() const { return m_hKey; }

private:
    HKEY m_hKey = nullptr;
};

} // namespace

bool OpenReg(HKEY* key, HKEY root, const wchar_t* subKey, REGSAM access) {
    *key = nullptr;
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root, subKey, 0, access, &opened) != ERROR_SUCCESS)
        return false;
    *key = opened;
    return true;
}

std::int32_t ReadRegDword(HKEY key, const wchar_t* name) {
    DWORD value = 0;
    DWORD size = sizeof value;
    DWORD type = REG_NONE;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS)
        return -1;
    if (type != REG_DWORD || size != sizeof value)
        return -1;
    return static_cast<std::int32_t>(value);
}

std::wstring ReadRegString(HKEY key, const wchar_t* name) {
    wchar_t buffer[kStringBufferBytes / sizeof(wchar_t)] = {};
    DWORD size = kStringBufferBytes;
    DWORD type = REG_NONE;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS)
        return {};
    if (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ)
        return {};
    // The stored data need not end in a terminator: never read past what the query filled.
    const std::size_t units = (size < kStringBufferBytes ? size : kStringBufferBytes) / sizeof(wchar_t);
    std::size_t length = 0;
    while (length < units && buffer[length] != L'\0')
        ++length;
    return std::wstring(buffer, length);
}

bool GetShowWelcome(std::int32_t& value) {
    value = 1;
    OpenedKey key(HKEY_CURRENT_USER, kProductKeyPath);
    if (key.get() == nullptr) {
        nvtrace::Trace("(GetShowWelcome) OpenReg Fail \n");
        return false;
    }
    value = ReadRegDword(key.get(), L"ShowWelcome");
    return true;
}

bool GetWinNtVersion(std::wstring& text) {
    OpenedKey key(HKEY_LOCAL_MACHINE, kWinNtVersionPath);
    if (key.get() == nullptr) {
        nvtrace::Trace("(GetWinNtVersion) OpenReg Fail \n");
        return false;
    }
    text = ReadRegString(key.get(), L"CurrentVersion");
    return true;
}
