// Reading and writing a file encrypted with the database cipher (Rijndael-256/256, codebook
// mode). Reads go straight into the caller's buffer; writes go to a file beside the target that
// is renamed over it only once it is complete and flushed, so a failure or a crash never leaves
// a torn file.
#include "database/TemplateDatabase.h"

#include "database/Rijndael.h"
#include "database/SecureWipe.h"
#include "database/TemplateImage.h"
#include "database/Win32Handle.h"

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

int ReadEncryptedFileUnwiped(const wchar_t* path, std::uint32_t size, unsigned char* output) {
    nvwin::FileHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
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
        nvdb::SecureWipe(block, sizeof block);
        if (!read)
            return 0;
    }
    return 1;
}

// Writes the encrypted data into the new file, a chunk at a time. A padded last chunk briefly
// holds plaintext, so the chunk is wiped at the end.
bool WriteEncryptedData(HANDLE file, const unsigned char* data, std::uint32_t size) {
    CRijndael cipher;
    cipher.SetKey(nvdb::kDatabaseKey, nvdb::kCipherKeySize, kBlock);
    auto chunk = std::make_unique<unsigned char[]>(kChunkSize);
    bool ok = true;
    for (std::uint32_t done = 0; ok && done < size;) {
        const std::uint32_t plain = size - done < kChunkSize ? size - done : kChunkSize;
        const std::uint32_t padded = (plain + kBlock - 1) / kBlock * kBlock;
        if (plain == padded) {
            cipher.EncipherBuffer(data + done, chunk.get(), plain);
        } else {
            // Only the last block of an odd size needs the plaintext copied to pad it.
            std::copy(data + done, data + done + plain, chunk.get());
            std::fill(chunk.get() + plain, chunk.get() + padded, static_cast<unsigned char>(0));
            cipher.EncipherBuffer(chunk.get(), chunk.get(), padded);
        }
        ok = WriteExactly(file, chunk.get(), padded);
        done += plain;
    }
    nvdb::SecureWipe(chunk.get(), kChunkSize);
    return ok;
}

// Gives the new file the old one's DACL (the installer may have opened the file to other
// accounts) and its hidden, system, archive and not-indexed bits.
bool CarryOverProtection(const wchar_t* oldPath, DWORD oldAttributes, const wchar_t* newPath) {
    DWORD needed = 0;
    GetFileSecurityW(oldPath, DACL_SECURITY_INFORMATION, nullptr, 0, &needed);
    if (needed == 0)
        return false;
    auto descriptor = std::make_unique<unsigned char[]>(needed);
    if (!GetFileSecurityW(oldPath, DACL_SECURITY_INFORMATION, descriptor.get(), needed, &needed) ||
        !SetFileSecurityW(newPath, DACL_SECURITY_INFORMATION, descriptor.get()))
        return false;
    const DWORD carried = oldAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                           FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    return carried == 0 || SetFileAttributesW(newPath, carried) != FALSE;
}

int WriteEncryptedFileInner(const unsigned char* data, std::uint32_t size, const wchar_t* path) {
    const DWORD oldAttributes = GetFileAttributesW(path);
    const bool existed = oldAttributes != INVALID_FILE_ATTRIBUTES;
    if (existed) {
        // Refused by its attribute, not only by the open below: a process allowed to bypass file
        // permissions (root under Wine) opens a read-only file for writing all the same.
        if ((oldAttributes & FILE_ATTRIBUTE_READONLY) != 0)
            return 0;
        // The old file must be one we may write and that nobody else is writing: a locked or
        // busy file stays as it is, as it would for a write in place.
        nvwin::FileHandle probe(
            CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        if (!probe)
            return 0;
    }

    const std::wstring temporary = TemporaryNameFor(path);
    nvwin::FileHandle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return 0;
    const bool written = WriteEncryptedData(file.Get(), data, size) && FlushFileBuffers(file.Get());
    const bool closed = file.Reset();
    if (!written || !closed) {
        DeleteFileW(temporary.c_str());
        return 0;
    }

    bool swapped = false;
    if (existed) {
        // ReplaceFileW would keep the old file's access rules, but it is not one atomic step
        // everywhere (under Wine a process killed inside it leaves no database at all). So the
        // new file takes on the old one's DACL and attribute bits here, and a rename with
        // replace swaps it in at once.
        swapped =
            CarryOverProtection(path, oldAttributes, temporary.c_str()) &&
            MoveFileExW(temporary.c_str(), path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
    } else {
        // No replace flag: a file that appeared meanwhile is not overwritten.
        swapped = MoveFileExW(temporary.c_str(), path, MOVEFILE_WRITE_THROUGH) != FALSE;
    }
    if (!swapped) {
        DeleteFileW(temporary.c_str());
        return 0;
    }
    return 1;
}

} // namespace

int ReadEncryptedFile(const wchar_t* path, std::uint32_t size, unsigned char* output) {
    if (path == nullptr || output == nullptr || size == 0)
        return 0;
    int result = 0;
    try {
        result = ReadEncryptedFileUnwiped(path, size, output);
    } catch (...) {
        result = 0; // the cipher's fixed key and block lengths cannot make it throw
    }
    if (result == 0)
        nvdb::SecureWipe(output, size);
    return result;
}

int WriteEncryptedFile(const unsigned char* data, std::uint32_t size, const wchar_t* path) {
    if (path == nullptr || data == nullptr || size == 0)
        return 0;
    try {
        return WriteEncryptedFileInner(data, size, path);
    } catch (...) {
        return 0;
    }
}
