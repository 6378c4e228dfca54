#include "model/BackgroundState.h"

#include "faults/FaultGuard.h"

#include <utility>

namespace ldapmodel {

BackgroundState::~BackgroundState()
{
    requestStop();
    joinWorker();
}

std::wstring BackgroundState::getCurrentDN() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_strCurrentDN;
}

void BackgroundState::setCurrentDN(const std::wstring& dn)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_strCurrentDN = dn;
}

std::wstring BackgroundState::getBaseDN() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_strBaseDN;
}

void BackgroundState::setBaseDN(const std::wstring& dn)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_strBaseDN = dn;
}

std::wstring BackgroundState::getFileName() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_strFileName;
}

void BackgroundState::setFileName(const std::wstring& fileName)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_strFileName = fileName;
}

void BackgroundState::clear()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_strCurrentDN.clear();
        m_strBaseDN.clear();
        m_strFileName.clear();
    }
    m_iMessageId.store(0);
    m_iLastResult.store(0);
    m_iProgressCount.store(0);
    m_currentSubordinates.store(Subordinates::Unknown);
    m_bStopRequested.store(false);
    m_bEnding.store(false);
    // Last, so a reader that sees "not running" sees the rest cleared too.
    m_bRunning.store(false);
}

void BackgroundState::startWorker(std::function<void()> body)
{
    joinWorker();
    {
        std::lock_guard<std::mutex> lock(m_doneMutex);
        m_bWorkerDone = false;
    }
    m_worker = std::thread([this, body = std::move(body)] {
        util::guarded(L"BackgroundState", __LINE__, body);
        std::lock_guard<std::mutex> lock(m_doneMutex);
        m_bWorkerDone = true;
        m_doneChanged.notify_all();
    });
}

void BackgroundState::joinWorker()
{
    if (m_worker.joinable() && m_worker.get_id() != std::this_thread::get_id())
        m_worker.join();
}

bool BackgroundState::joinWorkerFor(std::chrono::milliseconds timeout)
{
    if (!m_worker.joinable() || m_worker.get_id() == std::this_thread::get_id())
        return true;
    {
        std::unique_lock<std::mutex> lock(m_doneMutex);
        if (!m_doneChanged.wait_for(lock, timeout, [this] { return m_bWorkerDone; }))
            return false;
    }
    // Past its last step: the join returns at once.
    m_worker.join();
    return true;
}

} // namespace ldapmodel
