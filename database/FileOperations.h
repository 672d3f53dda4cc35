// The file operations that loading and saving the database go through: the system's own, or a
// table of others where a test must see a step refused that Windows may refuse but Wine does not
// (Wine enforces sharing modes, not access rules).
#pragma once

#include <windows.h>

struct FileOperations {
    decltype(&CreateFileW) createFile;
    decltype(&MoveFileExW) moveFile;
    decltype(&SetFileSecurityW) setFileSecurity;
};

// CreateFileW, MoveFileExW and SetFileSecurityW themselves.
extern const FileOperations kSystemFileOperations;
