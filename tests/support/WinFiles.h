// Files as the Windows tests read and write them: whole, bypassing the product's code, and shared
// with every other opener (so a file a peer holds open can still be read).
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace testwin {

inline bool WriteRaw(const std::wstring& path, const std::vector<unsigned char>& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

inline bool WriteText(const std::wstring& path, std::string_view text) {
    return WriteRaw(path, std::vector<unsigned char>(text.begin(), text.end()));
}

// The whole file; empty when it cannot be read whole.
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

inline std::string ReadText(const std::wstring& path) {
    const std::vector<unsigned char> bytes = ReadRaw(path);
    return std::string(bytes.begin(), bytes.end());
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

} // namespace testwin
