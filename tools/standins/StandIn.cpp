// Stand-in for the vendor's NVDService.exe and NVDUninst.exe (one source, two programs): records
// how it was started, then behaves as the environment tells it.
//
//   NVD_STANDIN_RECORD   file the record is appended to (default: <program>.record.txt beside it)
//   NVD_STANDIN_RUN_MS   milliseconds to keep running after recording (default 0)
//   NVD_STANDIN_EXIT     exit code, decimal (default 0)
//
// The starter passes fixed command lines, so the environment it hands down is the only way in.
// A record is UTF-8, one "key=value" line each, closed by "end":
//   program=  pid=  command_line=  working_folder=  startup_flags=0x...  show_command=
#include "base/Win32Handle.h"

#include <windows.h>

#include <cwchar>
#include <string>

namespace {

std::wstring Variable(const wchar_t* name) {
    wchar_t value[1024];
    const DWORD length = GetEnvironmentVariableW(name, value, 1024);
    return length > 0 && length < 1024 ? std::wstring(value, length) : std::wstring();
}

unsigned long Number(const wchar_t* name, unsigned long fallback) {
    const std::wstring text = Variable(name);
    return text.empty() ? fallback : std::wcstoul(text.c_str(), nullptr, 10);
}

std::string Utf8(const std::wstring& text) {
    if (text.empty())
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr,
                        nullptr);
    return out;
}

std::wstring ModulePath() {
    wchar_t path[MAX_PATH * 2];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
    return std::wstring(path, length);
}

std::wstring CurrentFolder() {
    wchar_t folder[MAX_PATH * 2];
    const DWORD length = GetCurrentDirectoryW(MAX_PATH * 2, folder);
    return length < MAX_PATH * 2 ? std::wstring(folder, length) : std::wstring();
}

std::string Hex(unsigned long value) {
    char text[16];
    wsprintfA(text, "0x%lX", value);
    return text;
}

// Appends the whole record in one write, so a reader never sees half of it.
bool AppendRecord(const std::wstring& file, const std::string& record) {
    const nvwin::FileHandle handle(CreateFileW(file.c_str(), FILE_APPEND_DATA,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle)
        return false;
    DWORD written = 0;
    return WriteFile(handle.Get(), record.data(), static_cast<DWORD>(record.size()), &written, nullptr) &&
           written == record.size();
}

} // namespace

int wmain() {
    const std::wstring program = ModulePath();
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);

    std::string record;
    record += "program=" + Utf8(program) + "\r\n";
    record += "pid=" + std::to_string(GetCurrentProcessId()) + "\r\n";
    record += "command_line=" + Utf8(GetCommandLineW()) + "\r\n";
    record += "working_folder=" + Utf8(CurrentFolder()) + "\r\n";
    record += "startup_flags=" + Hex(startup.dwFlags) + "\r\n";
    record += "show_command=" + std::to_string(startup.wShowWindow) + "\r\n";
    record += "end\r\n";

    std::wstring recordFile = Variable(L"NVD_STANDIN_RECORD");
    if (recordFile.empty())
        recordFile = program.substr(0, program.find_last_of(L'.')) + L".record.txt";
    if (!AppendRecord(recordFile, record))
        return 250;

    Sleep(Number(L"NVD_STANDIN_RUN_MS", 0));
    return static_cast<int>(Number(L"NVD_STANDIN_EXIT", 0));
}
