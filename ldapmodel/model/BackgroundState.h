#pragma once

#include "records/Subordinates.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace ldapmodel {

// State of the one background operation, shared by the user-interface thread
// and the worker.
//
// Flags and counters are atomics: each is one word that one side writes and
// the other reads, no two of them have to change together, and the worker
// must see a stop request without taking a lock the other side might hold.
// The strings cannot be updated in one step, so they sit behind a mutex and
// are handed out as copies.
//
// The worker thread itself (start, join) is only touched by the thread that
// owns the model, the user-interface thread.
class BackgroundState {
public:
    BackgroundState() = default;
    BackgroundState(const BackgroundState&) = delete;
    BackgroundState& operator=(const BackgroundState&) = delete;
    // Joins a worker that is still there.
    ~BackgroundState();

    bool isRunning() const { return m_bRunning.load(); }
    void setRunning(bool running) { m_bRunning.store(running); }

    // The worker has left its loop and is telling the observers; a new
    // request may join it instead of asking it to stop.
    bool isEnding() const { return m_bEnding.load(); }
    void setEnding(bool ending) { m_bEnding.store(ending); }

    bool isStopRequested() const { return m_bStopRequested.load(); }
    void requestStop() { m_bStopRequested.store(true); }
    void clearStopRequest() { m_bStopRequested.store(false); }
    // Reads and clears the stop request in one step.
    bool takeStopRequest() { return m_bStopRequested.exchange(false); }

    int getMessageId() const { return m_iMessageId.load(); }
    void setMessageId(int id) { m_iMessageId.store(id); }
    int getLastResult() const { return m_iLastResult.load(); }
    void setLastResult(int result) { m_iLastResult.store(result); }

    int getProgressCount() const { return m_iProgressCount.load(); }
    void resetProgressCount() { m_iProgressCount.store(0); }
    // Returns the new count.
    int incrementProgressCount() { return m_iProgressCount.fetch_add(1) + 1; }

    std::wstring getCurrentDN() const;
    void setCurrentDN(const std::wstring& dn);
    // What the current DN's hasSubordinates said.
    Subordinates getCurrentSubordinates() const { return m_currentSubordinates.load(); }
    void setCurrentSubordinates(Subordinates subordinates) { m_currentSubordinates.store(subordinates); }
    std::wstring getBaseDN() const;
    void setBaseDN(const std::wstring& dn);
    std::wstring getFileName() const;
    void setFileName(const std::wstring& fileName);

    // Every item back to idle: flags false, ids and counters 0, strings empty.
    void clear();

    // Worker thread. start() expects no worker (join first). An exception
    // escaping body goes to the fatal-error report.
    void startWorker(std::function<void()> body);
    // Waits for the worker to end; nothing when there is none.
    void joinWorker();
    // Waits at most timeout for the worker to end and joins it then; false
    // when it is still running (it stays to be joined later).
    bool joinWorkerFor(std::chrono::milliseconds timeout);
    // A worker was started and has not been joined yet.
    bool hasWorker() const { return m_worker.joinable(); }
    std::thread::id getWorkerId() const { return m_worker.get_id(); }

private:
    std::atomic<bool> m_bRunning{false};
    std::atomic<bool> m_bStopRequested{false};
    std::atomic<bool> m_bEnding{false};
    std::atomic<int> m_iMessageId{0};
    std::atomic<int> m_iLastResult{0};
    std::atomic<int> m_iProgressCount{0};
    std::atomic<Subordinates> m_currentSubordinates{Subordinates::Unknown};

    mutable std::mutex m_mutex;
    std::wstring m_strCurrentDN;
    std::wstring m_strBaseDN;
    std::wstring m_strFileName;

    // Set by the worker as its last step; guarded by m_doneMutex.
    std::mutex m_doneMutex;
    std::condition_variable m_doneChanged;
    bool m_bWorkerDone = false;

    std::thread m_worker;
};

} // namespace ldapmodel
