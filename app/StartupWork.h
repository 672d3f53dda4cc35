// CStartupWork: the part of the start-up checks that waits on others, run on a thread of its own
// so that the main window keeps answering meanwhile: the stored credential upkeep (which may wait
// for the database lock of another session and make up to a dozen logons) and the logon of the
// account password check. The window is told by a posted message when it is done.
#pragma once

#include "base/Win32Handle.h"
#include "credentials/Logon.h"

#include <windows.h>

#include <memory>

// Posted to the window when the work is done; the chain of checks goes on from there.
inline constexpr UINT WM_STARTUP_WORK_DONE = 0x808;
// The whole upkeep of one start, every wait and logon together: after that it is left for the
// next start.
inline constexpr DWORD kUpkeepBudgetMs = 30'000;

class CStartupWork {
public:
    CStartupWork() = default;
    // Stops the work (see Stop).
    ~CStartupWork();
    CStartupWork(const CStartupWork&) = delete;
    CStartupWork& operator=(const CStartupWork&) = delete;

    // Runs the upkeep (when runUpkeep) and then the password check of userName, and posts
    // WM_STARTUP_WORK_DONE to notify unless stopped. When no thread can be made it runs here and
    // now, and the message is posted all the same.
    void Start(HWND notify, bool runUpkeep, const wchar_t* userName, LogonFunction logon,
               DWORD upkeepBudgetMs = kUpkeepBudgetMs);
    // From Start until the window was told.
    bool Running() const;
    // Once done: false when the account has no Windows password (the check's error 1327).
    bool PasswordSet() const;
    // Asks the work to stop before its next logon or write, and returns once a write under way
    // has finished. The thread is not waited for: a logon cannot be cut short, and once it
    // returns the thread ends on its own, touching nothing but what it shares with this object.
    // No message is posted after this.
    void Stop();

    struct Job;

private:
    std::shared_ptr<Job> m_job;
    nvwin::Handle m_thread;
};
