// CWorkLimit: what bounds a piece of work that runs on a thread of its own: one deadline for all
// of its waits together, and a stop that its owner may ask for at any time. Win32 only.
#pragma once

#include "base/Win32Handle.h"

#include <windows.h>

#include <atomic>

class CWorkLimit {
public:
    explicit CWorkLimit(DWORD budgetMs)
        : m_deadline(GetTickCount64() + budgetMs), m_stop(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    CWorkLimit(const CWorkLimit&) = delete;
    CWorkLimit& operator=(const CWorkLimit&) = delete;

    //--- The owner's side

    // Asks the work to stop and returns once no write of it is under way; none starts afterwards.
    void RequestStop() {
        m_stopAsked = true;
        if (m_stop)
            SetEvent(m_stop.Get());
        AcquireSRWLockExclusive(&m_writes);
        ReleaseSRWLockExclusive(&m_writes);
    }

    //--- The worker's side

    bool StopRequested() const { return m_stopAsked; }
    bool Expired() const { return GetTickCount64() >= m_deadline; }
    // Whether the work should give up now, for either reason.
    bool Over() const { return StopRequested() || Expired(); }
    DWORD RemainingMs() const {
        const ULONGLONG now = GetTickCount64();
        return now >= m_deadline ? 0 : static_cast<DWORD>(m_deadline - now);
    }
    // Signalled once a stop is asked for, for waits that must end then.
    HANDLE StopEvent() const { return m_stop.Get(); }

    // Held around every write of the work: true (and the write may go on) while the work is
    // neither stopped nor out of time. A stop waits for the write to finish, so a save is never
    // cut off halfway by the process ending.
    class WriteScope {
    public:
        explicit WriteScope(const CWorkLimit* limit) : m_limit(limit) {
            if (m_limit == nullptr)
                return;
            AcquireSRWLockShared(&m_limit->m_writes);
            m_allowed = !m_limit->Over();
        }
        ~WriteScope() {
            if (m_limit != nullptr)
                ReleaseSRWLockShared(&m_limit->m_writes);
        }
        WriteScope(const WriteScope&) = delete;
        WriteScope& operator=(const WriteScope&) = delete;
        explicit operator bool() const { return m_allowed; }

    private:
        const CWorkLimit* m_limit;
        bool m_allowed = true;
    };

private:
    const ULONGLONG m_deadline;
    nvwin::Handle m_stop;
    std::atomic<bool> m_stopAsked{false};
    mutable SRWLOCK m_writes = SRWLOCK_INIT;
};
