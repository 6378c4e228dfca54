#include "support/ScriptedMessageBoxes.h"

namespace dirtest {

ScriptedMessageBoxes::ScriptedMessageBoxes() : m_pPrevious(&util::messageBoxService())
{
    util::setMessageBoxService(this);
}

ScriptedMessageBoxes::~ScriptedMessageBoxes()
{
    util::setMessageBoxService(m_pPrevious);
}

util::BoxAnswer ScriptedMessageBoxes::show(const util::MessageBoxRequest& request)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_boxes.push_back(request);
    if (m_answers.empty())
        return request.defaultButton;
    util::BoxAnswer answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

std::vector<util::MessageBoxRequest> ScriptedMessageBoxes::boxes() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_boxes;
}

void ScriptedMessageBoxes::queueAnswer(util::BoxAnswer answer)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_answers.push_back(answer);
}

void ScriptedMessageBoxes::clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_boxes.clear();
    m_answers.clear();
}

} // namespace dirtest
