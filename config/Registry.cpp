// Registry readers.
#include "config/Registry.h"

#include "base/Trace.h"
#include "config/RegistryData.h"

static_assert(REG_SZ == kRegSz && REG_EXPAND_SZ == kRegExpandSz && REG_DWORD == kRegDword &&
              REG_MULTI_SZ == kRegMultiSz);
static_assert(sizeof(wchar_t) == sizeof(char16_t), "registry text is UTF-16 on Windows");

const wchar_t kProductKeyPath[] = L"SOFTWARE\\NORVIK\\Printkeep";
const wchar_t kWinNtVersionPath[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion";

bool OpenReg(RegKey& key, HKEY root, const wchar_t* subKey, REGSAM access) {
    HKEY opened = nullptr;
    const bool done = RegOpenKeyExW(root, subKey, 0, access, &opened) == ERROR_SUCCESS;
    key.Reset(done ? opened : nullptr);
    return done;
}

std::int32_t ReadRegDword(const RegKey& key, const wchar_t* name) {
    BYTE data[4] = {};
    DWORD size = sizeof data;
    DWORD type = REG_NONE;
    if (RegQueryValueExW(key.Get(), name, nullptr, &type, data, &size) != ERROR_SUCCESS)
        return -1;
    return RegDwordFromData(type, data, size);
}

std::wstring ReadRegString(const RegKey& key, const wchar_t* name) {
    BYTE data[kRegTextBytes] = {};
    DWORD size = sizeof data;
    DWORD type = REG_NONE;
    if (RegQueryValueExW(key.Get(), name, nullptr, &type, data, &size) != ERROR_SUCCESS)
        return {};
    const std::u16string text = RegTextFromData(type, data, size);
    return {text.begin(), text.end()};
}

bool GetShowWelcome(std::int32_t& value) {
    value = 1;
    RegKey key;
    if (!OpenReg(key, HKEY_CURRENT_USER, kProductKeyPath, kRegReadAccess)) {
        nvtrace::Trace("(GetShowWelcome) OpenReg Fail \n");
        return false;
    }
    value = ReadRegDword(key, L"ShowWelcome");
    return true;
}

bool GetWinNtVersion(std::wstring& text) {
    RegKey key;
    if (!OpenReg(key, HKEY_LOCAL_MACHINE, kWinNtVersionPath, kRegReadAccess)) {
        nvtrace::Trace("(GetWinNtVersion) OpenReg Fail \n");
        return false;
    }
    text = ReadRegString(key, L"CurrentVersion");
    return true;
}
