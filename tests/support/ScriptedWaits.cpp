#include "support/ScriptedWaits.h"

namespace dirtest {

ScriptedWaits::ScriptedWaits(util::WaitAnswer answer, std::chrono::milliseconds giveUpAfter)
    : m_answer(answer), m_giveUpAfter(giveUpAfter)
{
    util::setWaitService(this);
}

ScriptedWaits::~ScriptedWaits()
{
    util::setWaitService(nullptr);
}

void ScriptedWaits::begin(const std::wstring& what)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_waits.push_back(what);
}

util::WaitAnswer ScriptedWaits::waiting(const std::wstring&, std::chrono::milliseconds elapsed)
{
    return elapsed >= m_giveUpAfter ? m_answer : util::WaitAnswer::Continue;
}

std::vector<std::wstring> ScriptedWaits::waits() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_waits;
}

} // namespace dirtest
