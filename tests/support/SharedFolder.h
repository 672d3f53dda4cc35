// C:\ProgramData\NorvikWbf, the folder the program shares with the vendor's other programs: its
// two files, a guard that puts them back as they were, and folders of a test's own inside it.
#pragma once

#include "tests/support/WinFiles.h"

#include <string>
#include <vector>

namespace testwin {

inline const std::wstring kSharedFolder = L"C:\\ProgramData\\NorvikWbf";

inline std::wstring SharedDatabasePath() {
    return kSharedFolder + L"\\NVKDB.edb";
}

inline std::wstring SharedHandOffPath() {
    return kSharedFolder + L"\\pwcn.dat";
}

inline void MakeSharedFolder() {
    CreateDirectoryW(L"C:\\ProgramData", nullptr);
    CreateDirectoryW(kSharedFolder.c_str(), nullptr);
}

// Keeps the database and the hand-off file as they were and puts them back (or removes them,
// when there were none) at its end.
class SharedFilesGuard {
public:
    SharedFilesGuard() {
        MakeSharedFolder();
        for (const std::wstring& path : {SharedDatabasePath(), SharedHandOffPath()})
            m_saved.push_back({path, Exists(path), ReadRaw(path)});
    }
    ~SharedFilesGuard() {
        for (const Saved& saved : m_saved) {
            SetFileAttributesW(saved.path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (saved.existed)
                WriteRaw(saved.path, saved.bytes);
            else
                DeleteFileW(saved.path.c_str());
        }
    }
    SharedFilesGuard(const SharedFilesGuard&) = delete;
    SharedFilesGuard& operator=(const SharedFilesGuard&) = delete;

private:
    struct Saved {
        std::wstring path;
        bool existed;
        std::vector<unsigned char> bytes;
    };
    std::vector<Saved> m_saved;
};

// A folder of the test's own inside the shared one, emptied and removed at the end.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::wstring& tag)
        : m_path(kSharedFolder + L"\\t-" + tag + L"-" + std::to_wstring(GetCurrentProcessId())) {
        MakeSharedFolder();
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

} // namespace testwin
