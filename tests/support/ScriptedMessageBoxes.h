#pragma once

#include "utilities/MessageBox.h"

#include <deque>
#include <mutex>
#include <vector>

namespace dirtest {

// Replaces the message-box service for the lifetime of the object: records
// every box and answers with the queued answers in order, then with each
// box's default button.
class ScriptedMessageBoxes : public util::MessageBoxService {
public:
    ScriptedMessageBoxes();
    ~ScriptedMessageBoxes() override;
    ScriptedMessageBoxes(const ScriptedMessageBoxes&) = delete;
    ScriptedMessageBoxes& operator=(const ScriptedMessageBoxes&) = delete;

    util::BoxAnswer show(const util::MessageBoxRequest& request) override;

    // Every box shown so far, oldest first.
    std::vector<util::MessageBoxRequest> boxes() const;
    void queueAnswer(util::BoxAnswer answer);
    // Forgets the recorded boxes and the queued answers.
    void clear();

private:
    util::MessageBoxService* m_pPrevious;
    mutable std::mutex m_mutex;  // boxes may come from a worker thread
    std::vector<util::MessageBoxRequest> m_boxes;
    std::deque<util::BoxAnswer> m_answers;
};

} // namespace dirtest
