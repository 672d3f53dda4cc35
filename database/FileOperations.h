// The file operations that the database and the hand-off file go through: the system's own, or a
// table of others where a test must see a step refused that Windows may refuse but Wine does not
// (Wine enforces sharing modes, not access rules, and has no links to meet).
#pragma once

#include "base/Win32Handle.h"

#include <windows.h>

struct FileOperations {
    decltype(&CreateFileW) createFile;
    // Asked of every handle we open, to see whether the name led to a link.
    decltype(&GetFileInformationByHandle) getFileInformation;
    // The old database's access rules, read before the new file is made.
    decltype(&GetFileSecurityW) getFileSecurity;
    decltype(&SetKernelObjectSecurity) setHandleSecurity;
    // Renames and deletions go through the handle we hold, never by name.
    decltype(&SetFileInformationByHandle) setFileInformation;
};

// The system's own functions.
extern const FileOperations kSystemFileOperations;

// ERROR_STOPPED_ON_SYMLINK, which not every SDK's headers name.
inline constexpr DWORD kErrorStoppedOnLink = 681;

// Opens path as CreateFileW does, without following a link: a name that is a reparse point
// (a symbolic link, a junction, a mount point) is refused with kErrorStoppedOnLink, the file
// left as it is; so is a file with more than one name (a hard link). A folder needs
// FILE_FLAG_BACKUP_SEMANTICS in flags. GetLastError says why the handle is invalid.
nvwin::FileHandle OpenWithoutLinks(const FileOperations& files, const wchar_t* path, DWORD access,
                                   DWORD share, DWORD disposition, DWORD flags,
                                   SECURITY_ATTRIBUTES* security = nullptr);

// Marks the open file for deletion; it goes when the handle is closed. Needs DELETE access; a
// read-only file is deleted too, which on systems before Windows 10 1809 takes
// FILE_WRITE_ATTRIBUTES as well.
bool DeleteThroughHandle(const FileOperations& files, HANDLE file);
