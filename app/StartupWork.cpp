// The start-up work off the window's thread.
#include "app/StartupWork.h"

#include "base/Trace.h"
#include "base/WorkLimit.h"
#include "credentials/DlgWinPW.h"
#include "credentials/StoredCredentials.h"

#include <algorithm>
#include <atomic>
#include <iterator>

// Everything the thread touches, shared with the owner: whichever of the two lets go last frees
// it, so the thread never reads the window object, which may be gone before a logon returns.
struct CStartupWork::Job {
    Job(HWND window, bool upkeep, const wchar_t* user, LogonFunction logonFunction, DWORD budgetMs)
        : notify(window), runUpkeep(upkeep), logon(logonFunction), limit(budgetMs) {
        std::copy_n(user, std::size(userName) - 1, userName);
    }

    void Run() {
        if (runUpkeep) {
            CTemplateDatabase database;
            CStoredCredentials upkeep(database, logon, &limit);
            upkeep.ApplyPasswordFile();
            int wiped[10] = {};
            upkeep.CheckAccount(wiped);
        }
        if (!limit.StopRequested()) {
            // The account check is no part of the upkeep's time: it is asked whatever that took.
            bool missing = false;
            CDlgWinPW check(logon, [&missing] { missing = true; });
            std::copy(std::begin(userName), std::end(userName), check.m_szUserName);
            check.CheckPasswordSet();
            passwordSet = !missing;
        }
        done = true;
        if (!limit.StopRequested())
            PostMessageW(notify, WM_STARTUP_WORK_DONE, 0, 0);
    }

    const HWND notify;
    const bool runUpkeep;
    const LogonFunction logon;
    wchar_t userName[32] = {};
    CWorkLimit limit;
    std::atomic<bool> passwordSet{true};
    std::atomic<bool> done{false};
};

namespace {

DWORD WINAPI RunJob(void* parameter) {
    // The thread's own reference, taken over from Start.
    const std::unique_ptr<std::shared_ptr<CStartupWork::Job>> job(
        static_cast<std::shared_ptr<CStartupWork::Job>*>(parameter));
    (*job)->Run();
    return 0;
}

} // namespace

CStartupWork::~CStartupWork() {
    Stop();
}

void CStartupWork::Start(HWND notify, bool runUpkeep, const wchar_t* userName, LogonFunction logon,
                         DWORD upkeepBudgetMs) {
    Stop();
    m_job = std::make_shared<Job>(notify, runUpkeep, userName, logon, upkeepBudgetMs);
    auto threadsJob = std::make_unique<std::shared_ptr<Job>>(m_job);
    m_thread.Reset(CreateThread(nullptr, 0, RunJob, threadsJob.get(), 0, nullptr));
    if (m_thread) {
        [[maybe_unused]] auto* threads = threadsJob.release(); // the thread's now, freed by RunJob
        return;
    }
    // No thread: the window waits as it always did, but the checks still run.
    nvtrace::Trace("(StartupWork) no thread, error %u; running on the window's",
                   static_cast<unsigned>(GetLastError()));
    m_job->Run();
}

bool CStartupWork::Running() const {
    return m_job && !m_job->done;
}

bool CStartupWork::PasswordSet() const {
    return !m_job || m_job->passwordSet;
}

void CStartupWork::Stop() {
    if (!m_job)
        return;
    m_job->limit.RequestStop();
    m_thread.Reset();
}
