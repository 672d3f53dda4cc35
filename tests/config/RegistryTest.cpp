// The registry readers against Wine's real registry. Each test writes what it needs under keys
// of its own or the product key, and removes them again.
#include "config/Registry.h"

#include "base/Trace.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const wchar_t kScratchPath[] = L"Software\\NorvikTest\\RegistryReaders";

class ScratchKey {
public:
    ScratchKey(HKEY root, const wchar_t* path) : m_root(root), m_path(path) {
        RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, m_key.Put(),
                        nullptr);
    }
    ~ScratchKey() {
        m_key.Reset();
        RegDeleteKeyExW(m_root, m_path.c_str(), KEY_WOW64_64KEY, 0);
    }
    void Set(const wchar_t* name, DWORD type, const void* data, DWORD size) {
        ASSERT_EQ(RegSetValueExW(m_key.Get(), name, 0, type, static_cast<const BYTE*>(data), size),
                  ERROR_SUCCESS);
    }
    const RegKey& get() const { return m_key; }

private:
    HKEY m_root;
    std::wstring m_path;
    RegKey m_key;
};

std::vector<std::u16string> g_lines;
void Collect(const char16_t* line) {
    g_lines.emplace_back(line);
}

TEST(OpenReg, OpensExistingKeysOnlyAndNullsTheHandleOnFailure) {
    RegKey key;
    ASSERT_TRUE(OpenReg(key, HKEY_LOCAL_MACHINE, kWinNtVersionPath, kRegReadAccess)); // held before
    EXPECT_FALSE(OpenReg(key, HKEY_CURRENT_USER, L"Software\\NorvikTest\\DoesNotExist", kRegReadAccess));
    EXPECT_EQ(key.Get(), nullptr);
    HKEY probe = nullptr;
    EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\NorvikTest\\DoesNotExist", 0, KEY_READ, &probe),
              ERROR_SUCCESS)
        << "a failed open must not have created the key";

    ASSERT_TRUE(OpenReg(key, HKEY_LOCAL_MACHINE, kWinNtVersionPath, kRegReadAccess));
    EXPECT_NE(key.Get(), nullptr);
}

TEST(ReadRegDword, OnlyAFourByteDword) {
    ScratchKey scratch(HKEY_CURRENT_USER, kScratchPath);
    const DWORD zero = 0, one = 1, big = 0xFFFFFFFE;
    const unsigned long long qword = 0;
    scratch.Set(L"zero", REG_DWORD, &zero, 4);
    scratch.Set(L"one", REG_DWORD, &one, 4);
    scratch.Set(L"big", REG_DWORD, &big, 4);
    scratch.Set(L"qword", REG_QWORD, &qword, 8);
    scratch.Set(L"text", REG_SZ, L"0", 4);
    scratch.Set(L"binary", REG_BINARY, &zero, 4);
    scratch.Set(L"short", REG_DWORD, &zero, 2);
    EXPECT_EQ(ReadRegDword(scratch.get(), L"zero"), 0);
    EXPECT_EQ(ReadRegDword(scratch.get(), L"one"), 1);
    EXPECT_EQ(ReadRegDword(scratch.get(), L"big"), -2);
    EXPECT_EQ(ReadRegDword(scratch.get(), L"qword"), -1) << "an 8-byte value does not fit";
    EXPECT_EQ(ReadRegDword(scratch.get(), L"text"), -1) << "REG_SZ \"0\" is not 0";
    EXPECT_EQ(ReadRegDword(scratch.get(), L"binary"), -1);
    EXPECT_EQ(ReadRegDword(scratch.get(), L"short"), -1);
    EXPECT_EQ(ReadRegDword(scratch.get(), L"missing"), -1);
}

TEST(ReadRegString, StringTypesAndEverythingElse) {
    ScratchKey scratch(HKEY_CURRENT_USER, kScratchPath);
    const DWORD dword = 0x00330036; // "6.3"-looking bytes as a DWORD
    scratch.Set(L"sz", REG_SZ, L"6.3", 8);
    scratch.Set(L"expand", REG_EXPAND_SZ, L"%SystemRoot%\\x", 30);
    scratch.Set(L"multi", REG_MULTI_SZ, L"first\0second\0", 28);
    scratch.Set(L"none", REG_NONE, L"6.3", 8);
    scratch.Set(L"dword", REG_DWORD, &dword, 4);
    scratch.Set(L"empty", REG_SZ, L"", 0);
    scratch.Set(L"unterminated", REG_SZ, L"6.3", 6);
    scratch.Set(L"odd", REG_SZ, L"6.3", 5);
    EXPECT_EQ(ReadRegString(scratch.get(), L"sz"), L"6.3");
    EXPECT_EQ(ReadRegString(scratch.get(), L"expand"), L"%SystemRoot%\\x") << "not expanded";
    EXPECT_EQ(ReadRegString(scratch.get(), L"multi"), L"first");
    EXPECT_EQ(ReadRegString(scratch.get(), L"none"), L"");
    EXPECT_EQ(ReadRegString(scratch.get(), L"dword"), L"");
    EXPECT_EQ(ReadRegString(scratch.get(), L"empty"), L"");
    EXPECT_EQ(ReadRegString(scratch.get(), L"unterminated"), L"6.3");
    EXPECT_EQ(ReadRegString(scratch.get(), L"odd"), L"6.");
    EXPECT_EQ(ReadRegString(scratch.get(), L"missing"), L"");
}

TEST(ReadRegString, LongValuesAreReadSafely) {
    ScratchKey scratch(HKEY_CURRENT_USER, kScratchPath);
    // Room for a terminator behind unterminated data: the text is all of it.
    const std::wstring almost(511, L'x');
    scratch.Set(L"almost", REG_SZ, almost.data(), 1022);
    EXPECT_EQ(ReadRegString(scratch.get(), L"almost"), almost);
    // Exactly 1024 bytes without a terminator: Windows hands them over as they are, Wine refuses
    // for want of room for a terminator. Either way nothing behind the buffer is read.
    const std::wstring full(512, L'x');
    scratch.Set(L"full", REG_SZ, full.data(), 1024);
    const std::wstring read = ReadRegString(scratch.get(), L"full");
    EXPECT_TRUE(read == full || read.empty()) << read.size();
    // One unit more than the buffer holds: the query fails, so the text is empty.
    const std::wstring longer(513, L'y');
    scratch.Set(L"longer", REG_SZ, longer.c_str(), 1026);
    EXPECT_EQ(ReadRegString(scratch.get(), L"longer"), L"");
    const std::wstring huge(5000, L'z');
    scratch.Set(L"huge", REG_SZ, huge.c_str(), static_cast<DWORD>((huge.size() + 1) * 2));
    EXPECT_EQ(ReadRegString(scratch.get(), L"huge"), L"");
}

class ShowWelcome : public testing::Test {
protected:
    void SetUp() override {
        RegDeleteKeyExW(HKEY_CURRENT_USER, kProductKeyPath, KEY_WOW64_64KEY, 0);
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kProductKeyPath, KEY_WOW64_64KEY, 0);
        g_lines.clear();
        nvtrace::SetSink(Collect);
    }
    void TearDown() override {
        nvtrace::SetSink(nullptr);
        RegDeleteKeyExW(HKEY_CURRENT_USER, kProductKeyPath, KEY_WOW64_64KEY, 0);
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kProductKeyPath, KEY_WOW64_64KEY, 0);
    }
    static std::int32_t Read(bool expectOpened) {
        std::int32_t value = 77;
        EXPECT_EQ(GetShowWelcome(value), expectOpened);
        return value;
    }
};

TEST_F(ShowWelcome, KeyMissingLeavesOneAndTraces) {
    EXPECT_EQ(Read(false), 1);
    ASSERT_EQ(g_lines.size(), 1u);
    EXPECT_EQ(g_lines[0], u"(GetShowWelcome) OpenReg Fail \n");
}

TEST_F(ShowWelcome, ValueUnderTheMachineKeyOnlyHasNoEffect) {
    ScratchKey machine(HKEY_LOCAL_MACHINE, kProductKeyPath);
    const DWORD zero = 0;
    machine.Set(L"ShowWelcome", REG_DWORD, &zero, 4);
    EXPECT_EQ(Read(false), 1);
}

TEST_F(ShowWelcome, ValuesOfTheUserKey) {
    ScratchKey user(HKEY_CURRENT_USER, kProductKeyPath);
    EXPECT_EQ(Read(true), -1) << "key without the value";
    const DWORD zero = 0, one = 1;
    user.Set(L"ShowWelcome", REG_DWORD, &zero, 4);
    EXPECT_EQ(Read(true), 0);
    user.Set(L"ShowWelcome", REG_DWORD, &one, 4);
    EXPECT_EQ(Read(true), 1);
    user.Set(L"ShowWelcome", REG_SZ, L"0", 4);
    EXPECT_EQ(Read(true), -1);
    const unsigned long long qword = 0;
    user.Set(L"ShowWelcome", REG_QWORD, &qword, 8);
    EXPECT_EQ(Read(true), -1);
    EXPECT_TRUE(g_lines.empty());
}

TEST(GetWinNtVersion, ReadsTheSystemsVersionText) {
    std::wstring text = L"untouched";
    ASSERT_TRUE(GetWinNtVersion(text));
    // Wine writes a dotted version ("6.1", "6.3", "10.0", ...) for the Windows it pretends to be.
    ASSERT_GE(text.size(), 3u);
    EXPECT_NE(text.find(L'.'), std::wstring::npos) << std::string(text.begin(), text.end());
}

} // namespace
