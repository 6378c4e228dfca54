#pragma once

#include "utilities/WaitService.h"

#include <QPointer>

#include <chrono>
#include <string>

class WaitWindow;

// The user interface's side of the waits for the server. A wait on the
// user-interface thread that lasts longer than kShowAfter opens an
// application-modal window that says what the program waits for and offers
// Cancel; from then on every slice of the wait lets the event loop run, so
// the windows keep painting while input goes to the wait window alone.
// Cancel answers WaitAnswer::Cancel at the next slice. Waits on other
// threads are left alone.
class QtWaitService : public util::WaitService {
public:
    static constexpr std::chrono::milliseconds kShowAfter{500};

    QtWaitService();
    ~QtWaitService() override;
    QtWaitService(const QtWaitService&) = delete;
    QtWaitService& operator=(const QtWaitService&) = delete;

    void begin(const std::wstring& what) override;
    util::WaitAnswer waiting(const std::wstring& what, std::chrono::milliseconds elapsed) override;
    void end() override;

    // The window of the wait in progress, or null.
    WaitWindow* window() const;

private:
    int m_iDepth = 0;
    QPointer<WaitWindow> m_pWindow;
};
