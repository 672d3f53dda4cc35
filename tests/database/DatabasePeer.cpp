// The other process of the database tests, playing an outside program that shares the file.
//   db_peer saveloop FOLDER EVENT       save image A, signal EVENT-ready, then save B, A, B, ... forever
//   db_peer hold FOLDER EVENT MILLIS    take the database mutex, signal EVENT-ready, wait MILLIS,
//                                       save image C (all 0xC3) while still holding it, release
//   db_peer abandon EVENT               take the mutex, signal EVENT-ready, end without releasing it
//   db_peer holdname NAME EVENT MILLIS  take the mutex NAME alone (as a service takes the one
//                                       under Global\, or a peer the bare name), signal
//                                       EVENT-ready, wait MILLIS, release it
//   db_peer modify FOLDER EVENT INDEX   wait for EVENT-go, then under the mutex load, set record
//                                       INDEX's password to "peer" and save; exit code 7 when the
//                                       hand-off file was still there once the mutex was ours
//   db_peer share FOLDER EVENT          open the database for reading, sharing reading and writing
//                                       but not deletion, as a reader of the vendor's may; signal
//                                       EVENT-ready, keep it open until EVENT-go
// Exit code 0 on success; 2 for bad arguments; 3.. for the step that failed.
#include "database/TemplateDatabase.h"
#include "database/TemplateImage.h"

#include <windows.h>

#include <string>
#include <vector>

namespace {

HANDLE OpenNamedEvent(const std::wstring& name) {
    return OpenEventW(EVENT_MODIFY_STATE | SYNCHRONIZE, FALSE, name.c_str());
}

void Signal(const std::wstring& name) {
    HANDLE event = OpenNamedEvent(name);
    if (event != nullptr) {
        SetEvent(event);
        CloseHandle(event);
    }
}

std::vector<unsigned char> Filled(unsigned char value) {
    return std::vector<unsigned char>(nvdb::kImageSize, value);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3)
        return 2;
    const std::wstring command = argv[1];
    if (command == L"saveloop" && argc >= 4) {
        CTemplateDatabase database(argv[2]);
        const auto a = Filled(0xA1), b = Filled(0xB2);
        if (!database.SaveDatabase(a.data()))
            return 3;
        Signal(std::wstring(argv[3]) + L"-ready");
        for (;;) {
            if (!database.SaveDatabase(b.data()) || !database.SaveDatabase(a.data()))
                return 4;
        }
    }
    if (command == L"hold" && argc >= 5) {
        CTemplateDatabase database(argv[2]);
        if (!database.LockDatabase())
            return 4;
        Signal(std::wstring(argv[3]) + L"-ready");
        Sleep(static_cast<DWORD>(_wtoi(argv[4])));
        const auto c = Filled(0xC3);
        const int saved = database.SaveDatabase(c.data());
        database.UnlockDatabase();
        return saved ? 0 : 3;
    }
    if (command == L"abandon") {
        HANDLE mutex = CreateMutexW(nullptr, FALSE, kDatabaseMutexName);
        // A peer killed by another test may have abandoned it already; ours all the same.
        const DWORD wait = mutex == nullptr ? WAIT_FAILED : WaitForSingleObject(mutex, INFINITE);
        if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED)
            return 3;
        Signal(std::wstring(argv[2]) + L"-ready");
        ExitProcess(0); // still the owner: the mutex is abandoned
    }
    if (command == L"holdname" && argc >= 5) {
        HANDLE mutex = CreateMutexW(nullptr, FALSE, argv[2]);
        const DWORD wait = mutex == nullptr ? WAIT_FAILED : WaitForSingleObject(mutex, INFINITE);
        if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED)
            return 3;
        Signal(std::wstring(argv[3]) + L"-ready");
        Sleep(static_cast<DWORD>(_wtoi(argv[4])));
        ReleaseMutex(mutex);
        CloseHandle(mutex);
        return 0;
    }
    if (command == L"modify" && argc >= 5) {
        HANDLE go = OpenNamedEvent(std::wstring(argv[3]) + L"-go");
        if (go == nullptr || WaitForSingleObject(go, 60000) != WAIT_OBJECT_0)
            return 3;
        CloseHandle(go);
        CTemplateDatabase database(argv[2]);
        const CDatabaseLock lock(database);
        if (!lock)
            return 8;
        const bool handOffSeen =
            GetFileAttributesW(database.HandOffPath().c_str()) != INVALID_FILE_ATTRIBUTES;
        nvdb::ImageBuffer image;
        if (!database.LoadDatabase(image.data()))
            return 4;
        if (!nvdb::SetPassword(image.data(), _wtoi(argv[4]), u"peer"))
            return 5;
        if (!database.SaveDatabase(image.data()))
            return 6;
        return handOffSeen ? 7 : 0;
    }
    if (command == L"share" && argc >= 4) {
        CTemplateDatabase database(argv[2]);
        HANDLE file = CreateFileW(database.DatabasePath().c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return 3;
        Signal(std::wstring(argv[3]) + L"-ready");
        HANDLE go = OpenNamedEvent(std::wstring(argv[3]) + L"-go");
        const bool released = go != nullptr && WaitForSingleObject(go, 60000) == WAIT_OBJECT_0;
        if (go != nullptr)
            CloseHandle(go);
        CloseHandle(file);
        return released ? 0 : 4;
    }
    return 2;
}
