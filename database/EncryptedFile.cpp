// Reading and writing a file encrypted with the database cipher (Rijndael-256/256, codebook
// mode). Reads go straight into the caller's buffer. Writes go to a file beside the target that
// is renamed over it only once it is complete and flushed, so a failure or a crash never leaves
// a torn file; where rights or a reader's sharing refuse that, into the file itself.
#include "database/TemplateDatabase.h"

#include "database/Rijndael.h"
#include "base/SecureWipe.h"
#include "base/Trace.h"
#include "database/TemplateImage.h"
#include "base/Win32Handle.h"

#include <algorithm>
#include <atomic>
#include <memory>

namespace {

constexpr std::uint32_t kBlock = nvdb::kCipherBlockSize;
// Big enough to keep the disk busy, small enough to stay in the cache between read and cipher.
constexpr std::uint32_t kChunkSize = 256 * 1024;
static_assert(kChunkSize % kBlock == 0);

bool ReadExactly(HANDLE file, unsigned char* buffer, std::uint32_t length) {
    while (length > 0) {
        DWORD read = 0;
        if (!ReadFile(file, buffer, length, &read, nullptr) || read == 0)
            return false;
        buffer += read;
        length -= read;
    }
    return true;
}

bool WriteExactly(HANDLE file, const unsigned char* buffer, std::uint32_t length) {
    while (length > 0) {
        DWORD written = 0;
        if (!WriteFile(file, buffer, length, &written, nullptr) || written == 0)
            return false;
        buffer += written;
        length -= written;
    }
    return true;
}

// A name beside the target that no other save of this machine uses at the same time.
std::wstring TemporaryNameFor(const wchar_t* path) {
    static std::atomic<unsigned> counter{0};
    return std::wstring(path) + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(counter.fetch_add(1)) + L".tmp";
}

int ReadEncryptedFileUnwiped(const FileOperations& files, const wchar_t* path, std::uint32_t size,
                             unsigned char* output) {
    nvwin::FileHandle file(files.createFile(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
        return 0;
    LARGE_INTEGER length = {};
    if (!GetFileSizeEx(file.Get(), &length))
        return 0;
    const std::uint64_t needed = (static_cast<std::uint64_t>(size) + kBlock - 1) / kBlock * kBlock;
    if (length.QuadPart <= 0 || length.QuadPart % kBlock != 0 ||
        static_cast<std::uint64_t>(length.QuadPart) < needed)
        return 0;

    CRijndael cipher;
    cipher.SetKey(nvdb::kDatabaseKey, nvdb::kCipherKeySize, kBlock);
    const std::uint32_t whole = size / kBlock * kBlock;
    for (std::uint32_t done = 0; done < whole;) {
        const std::uint32_t chunk = whole - done < kChunkSize ? whole - done : kChunkSize;
        if (!ReadExactly(file.Get(), output + done, chunk))
            return 0;
        cipher.DecipherBuffer(output + done, output + done, chunk);
        done += chunk;
    }
    if (const std::uint32_t tail = size - whole; tail != 0) {
        unsigned char block[kBlock];
        const bool read = ReadExactly(file.Get(), block, kBlock);
        if (read) {
            cipher.DecipherBlock(block, block);
            std::copy(block, block + tail, output + whole);
        }
        nvbase::SecureWipe(block, sizeof block);
        if (!read)
            return 0;
    }
    return 1;
}

// Writes the encrypted data from the file's current position, a chunk at a time. A padded last
// chunk briefly holds plaintext, so the chunk is wiped at the end.
bool WriteEncryptedData(HANDLE file, const unsigned char* data, std::uint32_t size, unsigned char* chunk) {
    CRijndael cipher;
    cipher.SetKey(nvdb::kDatabaseKey, nvdb::kCipherKeySize, kBlock);
    bool ok = true;
    for (std::uint32_t done = 0; ok && done < size;) {
        const std::uint32_t plain = size - done < kChunkSize ? size - done : kChunkSize;
        const std::uint32_t padded = (plain + kBlock - 1) / kBlock * kBlock;
        if (plain == padded) {
            cipher.EncipherBuffer(data + done, chunk, plain);
        } else {
            // Only the last block of an odd size needs the plaintext copied to pad it.
            std::copy(data + done, data + done + plain, chunk);
            std::fill(chunk + plain, chunk + padded, static_cast<unsigned char>(0));
            cipher.EncipherBuffer(chunk, chunk, padded);
        }
        ok = WriteExactly(file, chunk, padded);
        done += plain;
    }
    nvbase::SecureWipe(chunk, kChunkSize);
    return ok;
}

// What a refusal of the atomic way looks like: the folder or the old file does not let us
// create, protect or replace, or a reader holds the old file open without delete sharing.
bool IsRefusal(DWORD error) {
    return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ||
           error == ERROR_LOCK_VIOLATION || error == ERROR_WRITE_PROTECT || error == ERROR_PRIVILEGE_NOT_HELD;
}

// Gives the new file the old one's DACL (the installer may have opened the file to other
// accounts) and its hidden, system, archive and not-indexed bits.
bool CarryOverProtection(const FileOperations& files, const wchar_t* oldPath, DWORD oldAttributes,
                         const wchar_t* newPath) {
    DWORD needed = 0;
    GetFileSecurityW(oldPath, DACL_SECURITY_INFORMATION, nullptr, 0, &needed);
    if (needed == 0)
        return false;
    auto descriptor = std::make_unique<unsigned char[]>(needed);
    if (!GetFileSecurityW(oldPath, DACL_SECURITY_INFORMATION, descriptor.get(), needed, &needed) ||
        !files.setFileSecurity(newPath, DACL_SECURITY_INFORMATION, descriptor.get()))
        return false;
    const DWORD carried = oldAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                           FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    return carried == 0 || SetFileAttributesW(newPath, carried) != FALSE;
}

// The unfinished file of a save: deleted when the save leaves by any way but the rename,
// an exception included. Only a file this save created is ever deleted.
class TemporaryFile {
public:
    explicit TemporaryFile(std::wstring path) : m_path(std::move(path)) {}
    ~TemporaryFile() {
        if (m_created)
            DeleteFileW(m_path.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const wchar_t* Path() const { return m_path.c_str(); }
    void Created() { m_created = true; }
    void Moved() { m_created = false; }

private:
    std::wstring m_path;
    bool m_created = false;
};

enum class SaveOutcome { Done, Refused, Failed };

// The atomic way: a complete, flushed file beside the target, renamed over it in one step.
// Refused when a step is refused for rights or sharing; the target is then untouched.
SaveOutcome ReplaceAtomically(const FileOperations& files, const unsigned char* data, std::uint32_t size,
                              const wchar_t* path, DWORD oldAttributes, bool existed, unsigned char* chunk) {
    const auto refusedAt = [](const char* step) {
        const DWORD error = GetLastError();
        if (!IsRefusal(error)) {
            nvtrace::Trace("(WriteEncryptedFile) %hs failed, error %u", step, static_cast<unsigned>(error));
            return SaveOutcome::Failed;
        }
        nvtrace::Trace("(WriteEncryptedFile) %hs refused, error %u", step, static_cast<unsigned>(error));
        return SaveOutcome::Refused;
    };
    TemporaryFile temporary(TemporaryNameFor(path));
    {
        nvwin::FileHandle file(files.createFile(temporary.Path(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                                FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            return refusedAt("creating the new file");
        temporary.Created();
        const bool written =
            WriteEncryptedData(file.Get(), data, size, chunk) && FlushFileBuffers(file.Get());
        if (!file.Reset() || !written)
            return SaveOutcome::Failed;
    }
    if (!existed) {
        // No replace flag: a file that appeared meanwhile is not overwritten.
        if (!files.moveFile(temporary.Path(), path, MOVEFILE_WRITE_THROUGH))
            return SaveOutcome::Failed;
        temporary.Moved();
        return SaveOutcome::Done;
    }
    // ReplaceFileW would keep the old file's access rules, but it is not one atomic step everywhere
    // (under Wine a process killed inside it leaves no database at all). So the new file takes on
    // the old one's DACL and attribute bits here, and a rename with replace swaps it in at once.
    if (!CarryOverProtection(files, path, oldAttributes, temporary.Path()))
        return refusedAt("carrying over the access rules");
    if (!files.moveFile(temporary.Path(), path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return refusedAt("replacing the old file");
    temporary.Moved();
    return SaveOutcome::Done;
}

// The way that needs only write access to the file itself: the whole image written over the old
// content from the start, flushed. The file is not truncated first, so a write that breaks off
// leaves the old content behind the point it reached; a longer old file is cut to the new length
// afterwards.
bool WriteInPlace(const FileOperations& files, const unsigned char* data, std::uint32_t size,
                  const wchar_t* path, unsigned char* chunk) {
    nvwin::FileHandle file(
        files.createFile(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) {
        nvtrace::Trace("(WriteEncryptedFile) opening in place failed, error %u",
                       static_cast<unsigned>(GetLastError()));
        return false;
    }
    if (!WriteEncryptedData(file.Get(), data, size, chunk) || !FlushFileBuffers(file.Get())) {
        nvtrace::Trace("(WriteEncryptedFile) writing in place failed, error %u",
                       static_cast<unsigned>(GetLastError()));
        return false;
    }
    // Readers take only the image's length, so a tail that cannot be cut does no harm.
    if (!SetEndOfFile(file.Get()))
        nvtrace::Trace("(WriteEncryptedFile) cutting the old tail failed, error %u",
                       static_cast<unsigned>(GetLastError()));
    return file.Reset();
}

int WriteEncryptedFileInner(const FileOperations& files, const unsigned char* data, std::uint32_t size,
                            const wchar_t* path) {
    const DWORD oldAttributes = GetFileAttributesW(path);
    const bool existed = oldAttributes != INVALID_FILE_ATTRIBUTES;
    if (existed) {
        // Refused by its attribute, not only by the open below: a process allowed to bypass file
        // permissions (root under Wine) opens a read-only file for writing all the same.
        if ((oldAttributes & FILE_ATTRIBUTE_READONLY) != 0)
            return 0;
        // The old file must be one we may write and that nobody else is writing: a locked or
        // busy file stays as it is, whichever way it would be written.
        nvwin::FileHandle probe(
            files.createFile(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        if (!probe)
            return 0;
    }
    // Taken before any file is touched, so that a failed allocation changes nothing.
    auto chunk = std::make_unique<unsigned char[]>(kChunkSize);
    switch (ReplaceAtomically(files, data, size, path, oldAttributes, existed, chunk.get())) {
    case SaveOutcome::Done:
        nvtrace::Trace("(WriteEncryptedFile) replaced");
        return 1;
    case SaveOutcome::Refused:
        if (WriteInPlace(files, data, size, path, chunk.get())) {
            nvtrace::Trace("(WriteEncryptedFile) written in place");
            return 1;
        }
        return 0;
    case SaveOutcome::Failed:
        break;
    }
    return 0;
}

} // namespace

const FileOperations kSystemFileOperations = {&CreateFileW, &MoveFileExW, &SetFileSecurityW};

int ReadEncryptedFile(const wchar_t* path, std::uint32_t size, unsigned char* output,
                      const FileOperations& files) {
    if (path == nullptr || output == nullptr || size == 0)
        return 0;
    int result = 0;
    try {
        result = ReadEncryptedFileUnwiped(files, path, size, output);
    } catch (...) {
        result = 0; // the cipher's fixed key and block lengths cannot make it throw
    }
    if (result == 0)
        nvbase::SecureWipe(output, size);
    return result;
}

int WriteEncryptedFile(const unsigned char* data, std::uint32_t size, const wchar_t* path,
                       const FileOperations& files) {
    if (path == nullptr || data == nullptr || size == 0)
        return 0;
    try {
        return WriteEncryptedFileInner(files, data, size, path);
    } catch (...) {
        return 0; // an allocation that failed; the unfinished file has gone with the unwinding
    }
}
