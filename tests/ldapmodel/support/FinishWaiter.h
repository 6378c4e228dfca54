#pragma once

#include "model/ModelObserver.h"

#include <condition_variable>
#include <mutex>

namespace modeltest {

// Counts the entries a background run reports and wakes the waiting thread
// when it finishes; lighter than RecordingObserver, for timing.
class FinishWaiter : public ldapmodel::ModelObserver {
public:
    void updateFromModel(int) override {}
    void entryFound() override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_iFound;
    }
    void finished() override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bFinished = true;
        m_done.notify_all();
    }
    // Waits for the end of the run; the entries it found. Ready for the next.
    int wait()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_done.wait(lock, [&] { return m_bFinished; });
        const int found = m_iFound;
        m_bFinished = false;
        m_iFound = 0;
        return found;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_bFinished = false;
    int m_iFound = 0;
};

} // namespace modeltest
