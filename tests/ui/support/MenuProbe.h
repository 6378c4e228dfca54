#pragma once

// Looking at context menus in widget tests.

#include <QPoint>
#include <QString>
#include <QStringList>
#include <QTimer>

class QWidget;

namespace dirtest {

// Watches for the next popup menu, records it and closes it, triggering the
// item of the given text first when asked.
class MenuProbe {
public:
    explicit MenuProbe(const QString& trigger = QString());

    bool shown = false;
    QString title;
    QStringList texts;  // "-" for a separator
    QStringList keys;   // portable text of each item's shortcut

private:
    void poll();

    QString m_trigger;
    QTimer m_timer;
};

// Sends a mouse context menu event to viewport at position.
void rightClick(QWidget* viewport, const QPoint& position);

} // namespace dirtest
