// The second process of the harness test.
//   harness_peer check PATH TEXT   exit 0 if the mutex "Norvik Fingerprint" exists and PATH holds TEXT
//   harness_peer hold PATH TEXT EVENT   create both, signal EVENT+"-ready", wait for EVENT+"-done"
#include <windows.h>

#include <string>

namespace {

const wchar_t kMutexName[] = L"Norvik Fingerprint";

std::string ReadFileText(const wchar_t* path) {
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {};
    char buffer[256];
    DWORD read = 0;
    const BOOL ok = ReadFile(file, buffer, sizeof buffer, &read, nullptr);
    CloseHandle(file);
    return ok ? std::string(buffer, read) : std::string();
}

std::string Narrow(const wchar_t* text) {
    std::string out;
    for (; *text; ++text)
        out.push_back(static_cast<char>(*text));
    return out;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc >= 4 && std::wstring(argv[1]) == L"check") {
        HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, kMutexName);
        if (mutex == nullptr)
            return 10;
        CloseHandle(mutex);
        return ReadFileText(argv[2]) == Narrow(argv[3]) ? 0 : 11;
    }
    if (argc >= 5 && std::wstring(argv[1]) == L"hold") {
        HANDLE mutex = CreateMutexW(nullptr, FALSE, kMutexName);
        if (mutex == nullptr)
            return 20;
        HANDLE file = CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return 21;
        const std::string text = Narrow(argv[3]);
        DWORD written = 0;
        const BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        CloseHandle(file);
        if (!ok || written != text.size())
            return 22;
        const std::wstring event = argv[4];
        HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, (event + L"-ready").c_str());
        HANDLE done = OpenEventW(SYNCHRONIZE, FALSE, (event + L"-done").c_str());
        if (ready == nullptr || done == nullptr)
            return 23;
        SetEvent(ready);
        const DWORD waited = WaitForSingleObject(done, 30000);
        CloseHandle(ready);
        CloseHandle(done);
        CloseHandle(mutex);
        return waited == WAIT_OBJECT_0 ? 0 : 24;
    }
    return 2;
}
