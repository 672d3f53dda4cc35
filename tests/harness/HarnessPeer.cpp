// The second process of the harness test.
//   harness_peer check PATH TEXT   exit 0 if the mutex "Norvik Fingerprint" exists and PATH holds TEXT
//   harness_peer hold PATH TEXT EVENT   create both, signal EVENT+"-ready", wait for EVENT+"-done"
#include "tests/support/Text.h"
#include "tests/support/WinFiles.h"

#include <string>

namespace {

const wchar_t kMutexName[] = L"Norvik Fingerprint";

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc >= 4 && std::wstring(argv[1]) == L"check") {
        HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, kMutexName);
        if (mutex == nullptr)
            return 10;
        CloseHandle(mutex);
        return testwin::ReadText(argv[2]) == testtext::Narrow(argv[3]) ? 0 : 11;
    }
    if (argc >= 5 && std::wstring(argv[1]) == L"hold") {
        HANDLE mutex = CreateMutexW(nullptr, FALSE, kMutexName);
        if (mutex == nullptr)
            return 20;
        if (!testwin::WriteText(argv[2], testtext::Narrow(argv[3])))
            return 21;
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
