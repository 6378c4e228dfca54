#include "ui/support/ScriptedDialogs.h"

#include "frame/CProgressBar.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QPushButton>
#include <QThread>

namespace dirtest {

ScriptedDialogs::ScriptedDialogs() : m_pPrevious(&ui::DialogService::instance())
{
    ui::DialogService::install(this);
}

ScriptedDialogs::~ScriptedDialogs()
{
    ui::DialogService::install(m_pPrevious == this ? nullptr : m_pPrevious);
}

void ScriptedDialogs::queueDialog(Handler handler)
{
    m_handlers.push_back(std::move(handler));
}

void ScriptedDialogs::queueFile(std::optional<QString> answer)
{
    m_files.push_back(FileAnswer{answer.has_value(), answer.value_or(QString())});
}

int ScriptedDialogs::exec(QDialog& dialog)
{
    m_dialogClasses.push_back(QString::fromLatin1(dialog.metaObject()->className()));
    bool ended = false;
    int result = QDialog::Rejected;
    QObject::connect(&dialog, &QDialog::finished, &dialog, [&ended, &result](int code) {
        ended = true;
        result = code;
    });
    // Ended before it was run (a progress window whose operation is over).
    if (auto* progress = qobject_cast<CProgressBar*>(&dialog); progress && progress->isClosed())
        return progress->result();

    auto* progress = qobject_cast<CProgressBar*>(&dialog);
    if (!m_handlers.empty()) {
        Handler handler = std::move(m_handlers.front());
        m_handlers.pop_front();
        handler(dialog);
    }
    // A progress window runs until its operation ends, stopped or not.
    if (progress != nullptr && !ended && !waitFor([&ended]() { return ended; }, 30000)) {
        progress->getStopButton()->click();
        waitFor([&ended]() { return ended; }, 30000);
    }
    QObject::disconnect(&dialog, &QDialog::finished, &dialog, nullptr);
    return ended ? result : QDialog::Rejected;
}

std::optional<QString> ScriptedDialogs::takeFile()
{
    if (m_files.empty())
        return std::nullopt;
    const FileAnswer answer = m_files.front();
    m_files.pop_front();
    if (!answer.chosen)
        return std::nullopt;
    return answer.path;
}

std::optional<QString> ScriptedDialogs::getOpenFileName(QWidget*,
                                                        const ui::FileDialogRequest& request)
{
    m_fileCalls.push_back({FileDialogCall::Open, request});
    return takeFile();
}

std::optional<QString> ScriptedDialogs::getSaveFileName(QWidget*,
                                                        const ui::FileDialogRequest& request)
{
    m_fileCalls.push_back({FileDialogCall::Save, request});
    return takeFile();
}

std::optional<QString> ScriptedDialogs::getExistingDirectory(QWidget*, const QString& caption,
                                                             const QString& directory)
{
    ui::FileDialogRequest request;
    request.caption = caption;
    request.directory = directory;
    m_fileCalls.push_back({FileDialogCall::Folder, request});
    return takeFile();
}

bool waitFor(const std::function<bool()>& done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

} // namespace dirtest
