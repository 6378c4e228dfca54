#include "frame/WindowPlacement.h"

#include "services/Settings.h"

#include <QSettings>
#include <QSplitter>
#include <QWidget>

#include <memory>

namespace {

const char* const kGroup = "MainWindow";

QString splitterKey(const QSplitter& splitter)
{
    return QStringLiteral("splitter.") + splitter.objectName();
}

} // namespace

bool WindowPlacement::restoreGeometry(QWidget& window)
{
    const std::unique_ptr<QSettings> settings = ui::openSettings();
    settings->beginGroup(QLatin1String(kGroup));
    const QByteArray geometry = settings->value(QStringLiteral("geometry")).toByteArray();
    return !geometry.isEmpty() && window.restoreGeometry(geometry);
}

bool WindowPlacement::restoreSplitters(std::initializer_list<QSplitter*> splitters)
{
    const std::unique_ptr<QSettings> settings = ui::openSettings();
    settings->beginGroup(QLatin1String(kGroup));
    for (const QSplitter* splitter : splitters) {
        if (!settings->contains(splitterKey(*splitter)))
            return false;
    }
    bool restored = true;
    for (QSplitter* splitter : splitters)
        restored = splitter->restoreState(settings->value(splitterKey(*splitter)).toByteArray()) && restored;
    return restored;
}

void WindowPlacement::save(const QWidget& window, std::initializer_list<const QSplitter*> splitters)
{
    const std::unique_ptr<QSettings> settings = ui::openSettings();
    settings->beginGroup(QLatin1String(kGroup));
    settings->setValue(QStringLiteral("geometry"), window.saveGeometry());
    for (const QSplitter* splitter : splitters)
        settings->setValue(splitterKey(*splitter), splitter->saveState());
}
