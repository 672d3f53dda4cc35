// What the Windows database and credential tests share: images laid out byte by byte and
// encrypted with the cipher directly, raw file access that bypasses our code, scratch folders
// under C:\ProgramData\NorvikWbf, and the peer process that plays the vendor's programs.
#pragma once

#include "database/Rijndael.h"
#include "tests/support/ImageBytes.h"
#include "tests/support/SharedFolder.h"
#include "tests/support/WinProcess.h"

#include <windows.h>

#include <string>
#include <vector>

namespace dbtest {

using namespace testimage;
using testwin::AgeFile;
using testwin::Exists;
using testwin::FilesIn;
using testwin::ReadRaw;
using testwin::ScratchFolder;
using testwin::WriteRaw;
using testwin::WriteTime;

inline std::vector<unsigned char> Encrypt(std::vector<unsigned char> plain) {
    CRijndael cipher;
    cipher.SetKey(kKey, 32, 32);
    cipher.EncipherBuffer(plain.data(), plain.data(), plain.size());
    return plain;
}
inline std::vector<unsigned char> Decrypt(std::vector<unsigned char> data) {
    CRijndael cipher;
    cipher.SetKey(kKey, 32, 32);
    cipher.DecipherBuffer(data.data(), data.data(), data.size() / 32 * 32);
    return data;
}

// Starts db_peer.exe with the arguments; the process handle, or null.
inline HANDLE StartPeer(const std::wstring& arguments) {
    return testwin::StartProgram(L"db_peer.exe", arguments);
}

inline DWORD WaitExit(HANDLE process, DWORD millis = 60000) {
    return testwin::WaitExit(process, millis);
}

// A named manual-reset event for talking to a peer.
inline HANDLE MakeEvent(const std::wstring& name) {
    return CreateEventW(nullptr, TRUE, FALSE, name.c_str());
}

} // namespace dbtest
