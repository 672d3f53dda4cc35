// Registry readers.
#include "config/Registry.h"

#include "base/Trace.h"
#include "config/RegistryData.h"

static_assert(REG_SZ == kRegSz && REG_EXPAND_SZ == kRegExpandSz && REG_DWORD == kRegDword &&
              REG_MULTI_SZ == kRegMultiSz);
static_assert(sizeof(wchar_t) == sizeof(char16_t), "registry text is UTF-16 on Windows");

const wchar_t kProductKeyPath[] = L"SOFTWARE\\NORVIK\\Printkeep";
const wchar_t kWinNtVersionPath[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion";

namespace {

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
    BYTE data[4] = {};
    DWORD size = sizeof data;
    DWORD type = REG_NONE;
    if (RegQueryValueExW(key, name, nullptr, &type, data, &size) != ERROR_SUCCESS)
        return -1;
    return RegDwordFromData(type, data, size);
}

std::wstring ReadRegString(HKEY key, const wchar_t* name) {
    BYTE data[kRegTextBytes] = {};
    DWORD size = sizeof data;
    DWORD type = REG_NONE;
    if (RegQueryValueExW(key, name, nullptr, &type, data, &size) != ERROR_SUCCESS)
        return {};
    const std::u16string text = RegTextFromData(type, data, size);
    return {text.begin(), text.end()};
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
