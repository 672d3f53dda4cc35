// Reading and writing a file encrypted with the database cipher (Rijndael-256/256, codebook
// mode). Reads go straight into the caller's buffer. Writes go to a file beside the target that
// is renamed over it only once it is complete and flushed, so a failure or a crash never leaves
// a torn file; where rights or a reader's sharing refuse that, into the file itself.
#include "database/EncryptedFile.h"

#include "database/Rijndael.h"
#include "base/SecureWipe.h"
#include "base/Trace.h"
#include "database/TemplateImage.h"
#include "base/Win32Handle.h"

#include <algorithm>
#include <atomic>
#include <cwchar>
#include <memory>
#include <vector>

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
    const nvwin::FileHandle file = OpenWithoutLinks(files, path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING,
                                                    FILE_FLAG_SEQUENTIAL_SCAN);
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

// The old file's security descriptor with its DACL alone: the owner and the audit rules are not
// ours to copy (setting another owner needs a privilege). Empty when it cannot be read.
std::unique_ptr<unsigned char[]> ReadAccessRules(const FileOperations& files, const wchar_t* path) {
    DWORD needed = 0;
    files.getFileSecurity(path, DACL_SECURITY_INFORMATION, nullptr, 0, &needed);
    if (needed == 0)
        return nullptr;
    auto descriptor = std::make_unique<unsigned char[]>(needed);
    if (!files.getFileSecurity(path, DACL_SECURITY_INFORMATION, descriptor.get(), needed, &needed))
        return nullptr;
    return descriptor;
}

// The unfinished file of a save, held open with delete access from its creation on and with no
// sharing, so nobody else can open it. Renamed over the target or deleted through this handle,
// so its own access rules can never keep us from removing it; deleted when the save leaves by any
// way but the rename, an exception included.
class TemporaryFile {
public:
    TemporaryFile(const FileOperations& files, nvwin::FileHandle file)
        : m_files(files), m_file(std::move(file)) {}
    ~TemporaryFile() {
        if (m_file)
            DeleteThroughHandle(m_files, m_file.Get());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    HANDLE Get() const { return m_file.Get(); }

    // Renames the file to path; with replace, over an existing file. Closed once renamed: false
    // when either fails (a close that fails may have lost the last write).
    bool RenameTo(const wchar_t* path, bool replace) {
        const std::size_t length = wcslen(path);
        // FILE_RENAME_INFO ends in a name of any length; the buffer is sized for this one.
        std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + length * sizeof(wchar_t));
        auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
        rename->ReplaceIfExists = replace ? TRUE : FALSE;
        rename->RootDirectory = nullptr;
        rename->FileNameLength = static_cast<DWORD>(length * sizeof(wchar_t));
        std::copy(path, path + length, rename->FileName);
        if (!m_files.setFileInformation(m_file.Get(), FileRenameInfo, rename,
                                        static_cast<DWORD>(buffer.size())))
            return false;
        return m_file.Reset();
    }

private:
    const FileOperations& m_files;
    nvwin::FileHandle m_file;
};

enum class SaveOutcome { Done, Refused, Failed };

SaveOutcome FailedAt(const char* step) {
    const DWORD error = GetLastError();
    if (!IsRefusal(error)) {
        nvtrace::Trace("(WriteEncryptedFile) %hs failed, error %u", step, static_cast<unsigned>(error));
        return SaveOutcome::Failed;
    }
    nvtrace::Trace("(WriteEncryptedFile) %hs refused, error %u", step, static_cast<unsigned>(error));
    return SaveOutcome::Refused;
}

// Creates the new file beside path. A name left by an earlier process with our id (its save was
// killed and the file could not be swept) is passed over for the next one.
nvwin::FileHandle CreateTemporary(const FileOperations& files, const wchar_t* path, DWORD attributes,
                                  SECURITY_ATTRIBUTES* security) {
    constexpr int kNamesTried = 16;
    for (int tries = 0;; ++tries) {
        nvwin::FileHandle file(files.createFile(TemporaryNameFor(path).c_str(),
                                                GENERIC_WRITE | DELETE | WRITE_DAC, 0, security, CREATE_NEW,
                                                attributes, nullptr));
        const DWORD error = GetLastError();
        if (file || (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) || tries + 1 == kNamesTried)
            return file;
    }
}

// The atomic way: a complete, flushed file beside the target, renamed over it in one step.
// Refused when a step is refused for rights or sharing; the target is then untouched.
SaveOutcome ReplaceAtomically(const FileOperations& files, const unsigned char* data, std::uint32_t size,
                              const wchar_t* path, DWORD oldAttributes, bool existed, unsigned char* chunk) {
    // ReplaceFileW would keep the old file's access rules, but it is not one atomic step everywhere
    // (under Wine a process killed inside it leaves no database at all). So the new file is made
    // with the old one's DACL, readable by nobody the old file did not let read it, and with its
    // hidden, system, archive and not-indexed bits; without an old file it takes the folder's rules.
    std::unique_ptr<unsigned char[]> rules;
    if (existed) {
        rules = ReadAccessRules(files, path);
        if (!rules)
            return FailedAt("reading the access rules");
    }
    SECURITY_ATTRIBUTES security = {sizeof security, rules.get(), FALSE};
    const DWORD carried = oldAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                           FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    nvwin::FileHandle created = CreateTemporary(files, path, carried != 0 ? carried : FILE_ATTRIBUTE_NORMAL,
                                                existed ? &security : nullptr);
    if (!created)
        return FailedAt("creating the new file");
    TemporaryFile temporary(files, std::move(created));
    // A DACL given at creation is merged with what the folder passes on to new files; set again
    // through our handle, it is exactly the old one.
    if (existed && !files.setHandleSecurity(temporary.Get(), DACL_SECURITY_INFORMATION, rules.get()))
        return FailedAt("carrying over the access rules");
    if (!WriteEncryptedData(temporary.Get(), data, size, chunk) || !FlushFileBuffers(temporary.Get()))
        return SaveOutcome::Failed;
    // Without an old file, no replacing: a file that appeared meanwhile is not overwritten.
    if (!temporary.RenameTo(path, existed))
        return existed ? FailedAt("replacing the old file") : SaveOutcome::Failed;
    return SaveOutcome::Done;
}

// The way that needs only write access to the file itself: the whole image written over the old
// content from the start, flushed. The file is not truncated first, so a write that breaks off
// leaves the old content behind the point it reached; a longer old file is cut to the new length
// afterwards.
bool WriteInPlace(const FileOperations& files, const unsigned char* data, std::uint32_t size,
                  const wchar_t* path, unsigned char* chunk) {
    nvwin::FileHandle file = OpenWithoutLinks(files, path, GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING, 0);
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
    DWORD oldAttributes = 0;
    bool existed = false;
    {
        // The old file must be one we may write and that nobody else is writing: a locked or busy
        // file, or a link, stays as it is, whichever way it would be written.
        const nvwin::FileHandle probe =
            OpenWithoutLinks(files, path, GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING, 0);
        if (probe) {
            BY_HANDLE_FILE_INFORMATION information = {};
            if (!files.getFileInformation(probe.Get(), &information))
                return 0;
            // Refused by its attribute, not only by the open: a process allowed to bypass file
            // permissions (root under Wine) opens a read-only file for writing all the same.
            if ((information.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0)
                return 0;
            oldAttributes = information.dwFileAttributes;
            existed = true;
        } else if (GetLastError() != ERROR_FILE_NOT_FOUND) {
            return 0;
        }
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
