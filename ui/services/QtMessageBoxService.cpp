#include "services/QtMessageBoxService.h"

#include "utilities/Util.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QPushButton>
#include <QSemaphore>
#include <QThread>

#include <memory>
#include <utility>
#include <vector>

namespace {

QMessageBox::Icon toIcon(util::BoxIcon icon)
{
    switch (icon) {
    case util::BoxIcon::Information:
        return QMessageBox::Information;
    case util::BoxIcon::Warning:
        return QMessageBox::Warning;
    case util::BoxIcon::Error:
        return QMessageBox::Critical;
    case util::BoxIcon::Question:
        return QMessageBox::Question;
    case util::BoxIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

std::vector<std::pair<QMessageBox::StandardButton, util::BoxAnswer>> buttonsOf(util::BoxButtons set)
{
    using util::BoxAnswer;
    switch (set) {
    case util::BoxButtons::Ok:
        return {{QMessageBox::Ok, BoxAnswer::Ok}};
    case util::BoxButtons::OkCancel:
        return {{QMessageBox::Ok, BoxAnswer::Ok}, {QMessageBox::Cancel, BoxAnswer::Cancel}};
    case util::BoxButtons::YesNo:
        return {{QMessageBox::Yes, BoxAnswer::Yes}, {QMessageBox::No, BoxAnswer::No}};
    case util::BoxButtons::YesNoCancel:
        return {{QMessageBox::Yes, BoxAnswer::Yes},
                {QMessageBox::No, BoxAnswer::No},
                {QMessageBox::Cancel, BoxAnswer::Cancel}};
    case util::BoxButtons::RetryCancel:
        return {{QMessageBox::Retry, BoxAnswer::Retry}, {QMessageBox::Cancel, BoxAnswer::Cancel}};
    case util::BoxButtons::AbortRetryIgnore:
        return {{QMessageBox::Abort, BoxAnswer::Abort},
                {QMessageBox::Retry, BoxAnswer::Retry},
                {QMessageBox::Ignore, BoxAnswer::Ignore}};
    }
    return {{QMessageBox::Ok, BoxAnswer::Ok}};
}

bool onUserInterfaceThread()
{
    QCoreApplication* application = QCoreApplication::instance();
    return application != nullptr && QThread::currentThread() == application->thread();
}

} // namespace

util::BoxAnswer QtMessageBoxService::showNow(const util::MessageBoxRequest& request)
{
    QMessageBox box(toIcon(request.icon), QString::fromStdWString(request.caption),
                    QString::fromStdWString(request.text), QMessageBox::NoButton,
                    QApplication::activeWindow());
    // DNs and values are shown as they are, never as markup.
    box.setTextFormat(Qt::PlainText);
    const auto buttons = buttonsOf(request.buttons);
    QMessageBox::StandardButtons standard = QMessageBox::NoButton;
    for (const auto& button : buttons)
        standard |= button.first;
    box.setStandardButtons(standard);
    for (const auto& button : buttons) {
        if (button.second == request.defaultButton)
            box.setDefaultButton(button.first);
    }
    const auto clicked = static_cast<QMessageBox::StandardButton>(box.exec());
    for (const auto& button : buttons) {
        if (button.first == clicked)
            return button.second;
    }
    // Closed without a button (Escape): the box's cancelling answer.
    for (const auto& button : buttons) {
        if (button.second == util::BoxAnswer::Cancel || button.second == util::BoxAnswer::No)
            return button.second;
    }
    return request.defaultButton;
}

util::BoxAnswer QtMessageBoxService::show(const util::MessageBoxRequest& request)
{
    if (onUserInterfaceThread())
        return showNow(request);
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr)
        return request.defaultButton;
    if (util::isFatalReportInProgress()) {
        // The process ends when this returns: let the user read the report.
        auto shown = std::make_shared<QSemaphore>();
        QMetaObject::invokeMethod(
            application,
            [request, shown]() {
                showNow(request);
                shown->release();
            },
            Qt::QueuedConnection);
        shown->tryAcquire(1, kFatalBoxWaitMilliseconds);
        return request.defaultButton;
    }
    QMetaObject::invokeMethod(application, [request]() { showNow(request); }, Qt::QueuedConnection);
    return request.defaultButton;
}
