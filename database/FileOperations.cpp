// Opening without following links, and deleting through a handle.
#include "database/FileOperations.h"

const FileOperations kSystemFileOperations = {&CreateFileW, &GetFileInformationByHandle, &GetFileSecurityW,
                                              &SetKernelObjectSecurity, &SetFileInformationByHandle};

nvwin::FileHandle OpenWithoutLinks(const FileOperations& files, const wchar_t* path, DWORD access,
                                   DWORD share, DWORD disposition, DWORD flags,
                                   SECURITY_ATTRIBUTES* security) {
    nvwin::FileHandle file(files.createFile(path, access, share, security, disposition,
                                            flags | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file)
        return file;
    // The attributes of what we hold, not of what the name says now: a check by name could be
    // answered by one file and the open by another.
    BY_HANDLE_FILE_INFORMATION information = {};
    DWORD error = ERROR_SUCCESS;
    // A second name of a file is a link as much as a reparse point is: whoever made it could have
    // us read, write or delete a file of theirs through ours.
    const auto isLink = [&information] {
        return (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
               ((information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
                information.nNumberOfLinks > 1);
    };
    if (!files.getFileInformation(file.Get(), &information))
        error = GetLastError();
    else if (isLink())
        error = kErrorStoppedOnLink;
    if (error != ERROR_SUCCESS) {
        file.Reset();
        SetLastError(error);
    }
    return file;
}

namespace {

// FILE_DISPOSITION_INFO_EX (Windows 10 1809 on), which older SDK headers lack.
constexpr auto kFileDispositionInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);
constexpr DWORD kDispositionDelete = 0x1;
constexpr DWORD kDispositionIgnoreReadOnly = 0x10;
struct DispositionInfoEx {
    DWORD flags;
};
static_assert(sizeof(DispositionInfoEx) == 4, "FILE_DISPOSITION_INFO_EX is one ULONG");

bool MarkForDeletion(const FileOperations& files, HANDLE file) {
    FILE_DISPOSITION_INFO disposition = {};
    disposition.DeleteFile = TRUE;
    return files.setFileInformation(file, FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}

bool SetAttributes(const FileOperations& files, HANDLE file, const FILE_BASIC_INFO& basic, DWORD attributes) {
    FILE_BASIC_INFO changed = basic;
    changed.FileAttributes = attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
    return files.setFileInformation(file, FileBasicInfo, &changed, sizeof changed) != FALSE;
}

} // namespace

bool DeleteThroughHandle(const FileOperations& files, HANDLE file) {
    DispositionInfoEx ex = {kDispositionDelete | kDispositionIgnoreReadOnly};
    if (files.setFileInformation(file, kFileDispositionInfoEx, &ex, sizeof ex))
        return true;
    if (MarkForDeletion(files, file))
        return true;
    const DWORD refused = GetLastError();
    // A system without the extended class refuses a read-only file: its attribute is cleared
    // through the handle (which then needs FILE_WRITE_ATTRIBUTES) and put back if the deletion
    // still fails.
    FILE_BASIC_INFO basic = {};
    if (!GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic) ||
        (basic.FileAttributes & FILE_ATTRIBUTE_READONLY) == 0 ||
        !SetAttributes(files, file, basic, basic.FileAttributes & ~FILE_ATTRIBUTE_READONLY)) {
        SetLastError(refused);
        return false;
    }
    if (MarkForDeletion(files, file))
        return true;
    const DWORD error = GetLastError();
    SetAttributes(files, file, basic, basic.FileAttributes);
    SetLastError(error);
    return false;
}
