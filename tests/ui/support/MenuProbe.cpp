#include "ui/support/MenuProbe.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QWidget>

namespace dirtest {

MenuProbe::MenuProbe(const QString& trigger) : m_trigger(trigger)
{
    QObject::connect(&m_timer, &QTimer::timeout, [this]() { poll(); });
    m_timer.start(5);
}

void MenuProbe::poll()
{
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (menu == nullptr)
        return;
    m_timer.stop();
    shown = true;
    title = menu->title();
    QAction* chosen = nullptr;
    for (QAction* action : menu->actions()) {
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
        keys << action->shortcut().toString(QKeySequence::PortableText);
        if (!m_trigger.isEmpty() && action->text() == m_trigger)
            chosen = action;
    }
    menu->close();
    if (chosen != nullptr)
        chosen->trigger();
}

void rightClick(QWidget* viewport, const QPoint& position)
{
    QContextMenuEvent event(QContextMenuEvent::Mouse, position, viewport->mapToGlobal(position));
    QApplication::sendEvent(viewport, &event);
}

} // namespace dirtest
