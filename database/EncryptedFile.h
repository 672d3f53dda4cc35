// A file encrypted as a whole with the database cipher (Rijndael-256/256, codebook mode), read
// and written through a table of file operations. Neither function follows a link.
#pragma once

#include "database/FileOperations.h"

#include <cstdint>

// Reads the first size bytes' worth of whole cipher blocks of the file straight into output and
// decrypts them there. 0 when the file cannot be opened or is a link, is empty, is not a whole
// number of blocks, is shorter than size, or a read fails; output is then all zero.
int ReadEncryptedFile(const wchar_t* path, std::uint32_t size, unsigned char* output,
                      const FileOperations& files = kSystemFileOperations);

// Encrypts data into a new file beside path that carries the old file's access rules (DACL) and
// attribute bits from its creation on, flushes it, and renames it over path through its own handle
// in one step (with no old file it takes the folder's rules and is moved into place). Where the
// folder or the old file refuses that (no right to create a file beside it, to read or set its
// access rules or to replace it, or a reader that holds it open without delete sharing), the data
// is written into the old file in place instead, whole, from its start, and flushed.
// A read-only file, a link, or a file that another process has open for writing is not written
// at all. A size that is not a whole number of blocks is padded with zero bytes. 0 on failure: the
// old file then holds its old content where the write did not reach (all of it unless the in-place
// write broke off). With any outcome, no temporary file is left.
int WriteEncryptedFile(const unsigned char* data, std::uint32_t size, const wchar_t* path,
                       const FileOperations& files = kSystemFileOperations);
