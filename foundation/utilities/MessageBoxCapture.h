#pragma once

#include "utilities/MessageBox.h"

#include <vector>

namespace util {

// While alive, the message boxes asked for on the thread that made it are
// kept here instead of being shown; each is answered with its default
// button. Captures nest: the innermost one takes the boxes. Boxes of other
// threads go to the service as before.
class MessageBoxCapture {
public:
    MessageBoxCapture();
    ~MessageBoxCapture();
    MessageBoxCapture(const MessageBoxCapture&) = delete;
    MessageBoxCapture& operator=(const MessageBoxCapture&) = delete;

    const std::vector<MessageBoxRequest>& boxes() const { return m_boxes; }

    // The capture of the calling thread, or null.
    static MessageBoxCapture* current();
    void take(const MessageBoxRequest& request) { m_boxes.push_back(request); }

private:
    MessageBoxCapture* m_pOuter;
    std::vector<MessageBoxRequest> m_boxes;
};

} // namespace util
