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
    if (!files.getFileInformation(file.Get(), &information))
        error = GetLastError();
    else if ((information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        error = kErrorStoppedOnLink;
    if (error != ERROR_SUCCESS) {
        file.Reset();
        SetLastError(error);
    }
    return file;
}

bool DeleteThroughHandle(const FileOperations& files, HANDLE file) {
    FILE_DISPOSITION_INFO disposition = {};
    disposition.DeleteFile = TRUE;
    return files.setFileInformation(file, FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}
