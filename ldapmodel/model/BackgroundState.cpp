#include "model/BackgroundState.h"

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
    m_bStopRequested.store(false);
    m_bEnding.store(false);
    // Last, so a reader that sees "not running" sees the rest cleared too.
    m_bRunning.store(false);
}

void BackgroundState::startWorker(std::function<void()> body)
{
    joinWorker();
    m_worker = std::thread(std::move(body));
}

void BackgroundState::joinWorker()
{
    if (m_worker.joinable() && m_worker.get_id() != std::this_thread::get_id())
        m_worker.join();
}

} // namespace ldapmodel
