// The version resources of the two deliverables and of the tools, read back from the built files
// with the platform's own reader (GetFileVersionInfoW, VerQueryValueW): the numbers and texts of
// the project's version, handed in by CMake, and the one language-neutral block that the
// translation entry names.
#include "tests/support/WinProcess.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <vector>

namespace {

struct Binary {
    const wchar_t* file;
    DWORD fileType;
    const wchar_t* description; // null: any text
};

const Binary kBinaries[] = {
    {L"NorvikFingerprint.exe", VFT_APP, L"Norvik Fingerprint"},
    {L"NVDCoInstaller.dll", VFT_DLL, L"Norvik Fingerprint device co-installer"},
    {L"guidriver.exe", VFT_APP, nullptr},
    {L"nvkdb.exe", VFT_APP, nullptr},
    {L"pwcn.exe", VFT_APP, nullptr},
    {L"winbio-sim.exe", VFT_APP, nullptr},
    {L"winbio.dll", VFT_DLL, nullptr},
    {L"NVDService.exe", VFT_APP, nullptr},
    {L"NVDUninst.exe", VFT_APP, nullptr},
    {L"make_bitmaps.exe", VFT_APP, nullptr},
};

std::wstring Text(const std::vector<BYTE>& info, const wchar_t* name) {
    void* value = nullptr;
    UINT length = 0;
    const std::wstring key = std::wstring(L"\\StringFileInfo\\000004b0\\") + name;
    if (!VerQueryValueW(info.data(), key.c_str(), &value, &length) || value == nullptr)
        return L"(missing)";
    return std::wstring(static_cast<const wchar_t*>(value),
                        wcsnlen(static_cast<const wchar_t*>(value), length));
}

TEST(VersionResource, EveryBinaryStatesTheProjectsVersionAndNames) {
    const DWORD versionHigh = (NV_PROJECT_VERSION_MAJOR << 16) | NV_PROJECT_VERSION_MINOR;
    const DWORD versionLow = NV_PROJECT_VERSION_PATCH << 16;
    for (const Binary& binary : kBinaries) {
        SCOPED_TRACE(testing::Message()
                     << "file " << std::string(binary.file, binary.file + wcslen(binary.file)));
        const std::wstring path = testwin::ProgramBeside(binary.file);
        DWORD ignored = 0;
        const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
        ASSERT_GT(size, 0u) << "no version resource";
        std::vector<BYTE> info(size);
        ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, info.data()));

        void* value = nullptr;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", &value, &length));
        ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
        const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
        EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
        EXPECT_EQ(fixed->dwFileVersionMS, versionHigh);
        EXPECT_EQ(fixed->dwFileVersionLS, versionLow);
        EXPECT_EQ(fixed->dwProductVersionMS, versionHigh);
        EXPECT_EQ(fixed->dwProductVersionLS, versionLow);
        EXPECT_EQ(fixed->dwFileType, binary.fileType);

        // Readers look the strings up under the language and code page that this names.
        ASSERT_TRUE(VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", &value, &length));
        ASSERT_EQ(length, 4u) << "one translation";
        const auto* translation = static_cast<const WORD*>(value);
        EXPECT_EQ(translation[0], 0x0000) << "language neutral";
        EXPECT_EQ(translation[1], 1200) << "UTF-16";

        EXPECT_EQ(Text(info, L"FileVersion"), NV_PROJECT_VERSION);
        EXPECT_EQ(Text(info, L"ProductVersion"), NV_PROJECT_VERSION);
        EXPECT_EQ(Text(info, L"ProductName"), L"Norvik Fingerprint");
        EXPECT_EQ(Text(info, L"CompanyName"), L"Norvik");
        EXPECT_EQ(Text(info, L"OriginalFilename"), binary.file);
        const std::wstring description = Text(info, L"FileDescription");
        if (binary.description) {
            EXPECT_EQ(description, binary.description);
        }
        EXPECT_FALSE(description.empty());
        EXPECT_NE(description, L"(missing)");
        EXPECT_NE(Text(info, L"LegalCopyright").find(L"Norvik"), std::wstring::npos);
    }
}

} // namespace
