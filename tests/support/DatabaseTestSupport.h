// What the Windows database and credential tests share: a scratch folder of their own under
// C:\ProgramData\NorvikWbf, raw file access that bypasses our code, images encrypted with the
// cipher directly, and a peer process to start.
#pragma once

#include "database/Rijndael.h"
#include "tests/support/WinProcess.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace dbtest {

constexpr std::size_t kImage = 9014528;
inline const unsigned char kKey[] = "Quarto Sensor Vault Key Mk7 Rev9";

inline std::size_t At(int record, std::size_t offset) {
    return 128 + record * std::size_t{901440} + offset;
}

inline void Put32(std::vector<unsigned char>& image, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        image[at + i] = static_cast<unsigned char>(v >> (8 * i));
}
inline std::uint32_t Get32(const std::vector<unsigned char>& image, std::size_t at) {
    return image[at] | image[at + 1] << 8 | image[at + 2] << 16 |
           static_cast<std::uint32_t>(image[at + 3]) << 24;
}
inline void PutText(std::vector<unsigned char>& image, std::size_t at, const std::wstring& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        image[at + 2 * i] = static_cast<unsigned char>(text[i] & 0xFF);
        image[at + 2 * i + 1] = static_cast<unsigned char>(text[i] >> 8);
    }
}
inline std::wstring GetText(const std::vector<unsigned char>& image, std::size_t at) {
    std::wstring text;
    for (std::size_t i = 0; i < 32; ++i) {
        const wchar_t c = static_cast<wchar_t>(image[at + 2 * i] | image[at + 2 * i + 1] << 8);
        if (c == 0)
            break;
        text.push_back(c);
    }
    return text;
}

// A 32-unit text field: the text, zero-filled behind it.
inline void PutField(std::vector<unsigned char>& image, std::size_t at, const std::wstring& text) {
    std::fill(image.begin() + at, image.begin() + at + 64, static_cast<unsigned char>(0));
    PutText(image, at, text);
}

// An in-use account with its credential; the rest of the record is left as it is.
inline void PutAccount(std::vector<unsigned char>& image, int record, const std::wstring& user,
                       const std::wstring& password, const std::wstring& domain = L"") {
    for (std::size_t field : {16, 80, 144})
        PutField(image, At(record, field), L"");
    Put32(image, At(record, 4), 1);
    Put32(image, At(record, 12), static_cast<std::uint32_t>(password.size()));
    PutText(image, At(record, 16), user);
    PutText(image, At(record, 80), password);
    PutText(image, At(record, 144), domain);
}

// Every byte nonzero and different from the neighbours', so a lost or shifted byte shows.
inline std::vector<unsigned char> PatternImage(unsigned seed) {
    std::vector<unsigned char> image(kImage);
    std::mt19937 random(seed);
    for (auto& b : image)
        b = static_cast<unsigned char>(random() | 1);
    return image;
}

inline std::vector<unsigned char> Encrypt(std::vector<unsigned char> plain) {
    CRijndael cipher;
    cipher.SetKey(kKey, 32, 32);
    cipher.EncipherBuffer(plain.data(), plain.data(), plain.size());
    return plain;
}
inline std::vector<unsigned char> Decrypt(std::vector<unsigned char> data) {
    CRijndael cipher;
    cipher.SetKey(kKey, 32, 32);
    cipher.DecipherBuffer(data.data(), data.data(), data.size() / 32 * 32);
    return data;
}

inline bool WriteRaw(const std::wstring& path, const std::vector<unsigned char>& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

inline std::vector<unsigned char> ReadRaw(const std::wstring& path) {
    std::vector<unsigned char> bytes;
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    LARGE_INTEGER size = {};
    GetFileSizeEx(file, &size);
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
    DWORD read = 0;
    if (!bytes.empty() && (!ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
                           read != bytes.size()))
        bytes.clear();
    CloseHandle(file);
    return bytes;
}

inline bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Names of the files in a folder, "." and ".." left out.
inline std::vector<std::wstring> FilesIn(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..")
            names.push_back(name);
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return names;
}

inline FILETIME WriteTime(const std::wstring& path) {
    FILETIME time = {};
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        GetFileTime(file, nullptr, nullptr, &time);
        CloseHandle(file);
    }
    return time;
}

// Moves a file's modification time far into the past, so any rewrite shows.
inline bool AgeFile(const std::wstring& path) {
    HANDLE file =
        CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    SYSTEMTIME old = {2020, 1, 3, 1, 12, 0, 0, 0};
    FILETIME time = {};
    SystemTimeToFileTime(&old, &time);
    const BOOL ok = SetFileTime(file, nullptr, nullptr, &time);
    CloseHandle(file);
    return ok != FALSE;
}

// A folder of the test's own under C:\ProgramData\NorvikWbf, emptied and removed at the end.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::wstring& tag) {
        CreateDirectoryW(L"C:\\ProgramData", nullptr);
        CreateDirectoryW(L"C:\\ProgramData\\NorvikWbf", nullptr);
        m_path = L"C:\\ProgramData\\NorvikWbf\\t-" + tag + L"-" + std::to_wstring(GetCurrentProcessId());
        Clean();
        CreateDirectoryW(m_path.c_str(), nullptr);
    }
    ~ScratchFolder() { Clean(); }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::wstring& Path() const { return m_path; }
    std::wstring File(const wchar_t* name) const { return m_path + L"\\" + name; }
    std::wstring Database() const { return File(L"NVKDB.edb"); }
    std::wstring HandOff() const { return File(L"pwcn.dat"); }

private:
    void Clean() {
        for (const auto& name : FilesIn(m_path)) {
            const std::wstring path = m_path + L"\\" + name;
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(path.c_str());
        }
        RemoveDirectoryW(m_path.c_str());
    }
    std::wstring m_path;
};

// Starts db_peer.exe with the arguments; the process handle, or null.
inline HANDLE StartPeer(const std::wstring& arguments) {
    return testwin::StartProgram(testwin::ProgramBeside(L"db_peer.exe"), arguments);
}

inline DWORD WaitExit(HANDLE process, DWORD millis = 60000) {
    return testwin::WaitExit(process, millis);
}

// A named manual-reset event for talking to a peer.
inline HANDLE MakeEvent(const std::wstring& name) {
    return CreateEventW(nullptr, TRUE, FALSE, name.c_str());
}

} // namespace dbtest
