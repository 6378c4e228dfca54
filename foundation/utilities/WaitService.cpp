#include "utilities/WaitService.h"

#include <atomic>
#include <utility>

namespace util {

namespace {

class WaitForever : public WaitService {
public:
    WaitAnswer waiting(const std::wstring&, std::chrono::milliseconds) override
    {
        return WaitAnswer::Continue;
    }
};

WaitForever g_waitForever;
std::atomic<WaitService*> g_service{nullptr};
thread_local WaitService* t_pThreadService = nullptr;

} // namespace

WaitService& waitService()
{
    if (t_pThreadService != nullptr)
        return *t_pThreadService;
    WaitService* service = g_service.load();
    return service != nullptr ? *service : g_waitForever;
}

void setWaitService(WaitService* service)
{
    g_service.store(service);
}

ThreadWaitService::ThreadWaitService(WaitService& service) : m_pPrevious(t_pThreadService)
{
    t_pThreadService = &service;
}

ThreadWaitService::~ThreadWaitService()
{
    t_pThreadService = m_pPrevious;
}

WaitScope::WaitScope(std::wstring what)
    : m_service(waitService()), m_strWhat(std::move(what)), m_start(std::chrono::steady_clock::now())
{
    m_service.begin(m_strWhat);
}

WaitScope::~WaitScope()
{
    m_service.end();
}

WaitAnswer WaitScope::poll()
{
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - m_start);
    return m_service.waiting(m_strWhat, elapsed);
}

} // namespace util
