#pragma once

#include "utilities/WaitService.h"

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

namespace dirtest {

// Replaces the process-wide wait service for the lifetime of the object:
// records what each wait is for and, once a wait has lasted giveUpAfter,
// answers with the answer given (Continue: never gives up).
class ScriptedWaits : public util::WaitService {
public:
    explicit ScriptedWaits(util::WaitAnswer answer = util::WaitAnswer::Continue,
                           std::chrono::milliseconds giveUpAfter = std::chrono::milliseconds(0));
    ~ScriptedWaits() override;
    ScriptedWaits(const ScriptedWaits&) = delete;
    ScriptedWaits& operator=(const ScriptedWaits&) = delete;

    void begin(const std::wstring& what) override;
    util::WaitAnswer waiting(const std::wstring& what, std::chrono::milliseconds elapsed) override;

    // What each wait was for, oldest first.
    std::vector<std::wstring> waits() const;

private:
    const util::WaitAnswer m_answer;
    const std::chrono::milliseconds m_giveUpAfter;
    mutable std::mutex m_mutex;
    std::vector<std::wstring> m_waits;
};

} // namespace dirtest
