#include "services/QtWaitService.h"

#include "services/WaitWindow.h"

#include <QApplication>
#include <QThread>

namespace {

bool onUserInterfaceThread()
{
    QCoreApplication* application = QCoreApplication::instance();
    return application != nullptr && QThread::currentThread() == application->thread();
}

} // namespace

QtWaitService::QtWaitService() = default;

QtWaitService::~QtWaitService()
{
    delete m_pWindow.data();
}

WaitWindow* QtWaitService::window() const
{
    return m_pWindow.data();
}

void QtWaitService::begin(const std::wstring&)
{
    if (onUserInterfaceThread())
        ++m_iDepth;
}

util::WaitAnswer QtWaitService::waiting(const std::wstring& what, std::chrono::milliseconds elapsed)
{
    if (!onUserInterfaceThread() || elapsed < kShowAfter)
        return util::WaitAnswer::Continue;
    if (m_pWindow.isNull()) {
        // No parent: whatever the events delete, the window stays ours.
        m_pWindow = new WaitWindow();
        if (QWidget* active = QApplication::activeWindow()) {
            m_pWindow->adjustSize();
            m_pWindow->move(active->geometry().center() - m_pWindow->rect().center());
        }
        m_pWindow->show();
        m_pWindow->raise();
    }
    m_pWindow->setText(QString::fromStdWString(what));
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (m_pWindow.isNull() || m_pWindow->isCancelled())
        return util::WaitAnswer::Cancel;
    return util::WaitAnswer::Continue;
}

void QtWaitService::end()
{
    if (!onUserInterfaceThread() || m_iDepth == 0)
        return;
    if (--m_iDepth == 0)
        delete m_pWindow.data();
}
