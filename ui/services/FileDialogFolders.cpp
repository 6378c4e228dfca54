#include "services/FileDialogFolders.h"

#include "services/Settings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace ui {

namespace {

QString settingsKey(const QString& kind)
{
    return QStringLiteral("FileDialogs/") + (kind.isEmpty() ? QStringLiteral("other") : kind);
}

} // namespace

QString FileDialogFolders::startFolder(const QString& kind)
{
    const QString folder = openSettings()->value(settingsKey(kind)).toString();
    if (!folder.isEmpty() && QFileInfo(folder).isDir())
        return folder;
    return QDir::homePath();
}

void FileDialogFolders::remember(const QString& kind, const QString& chosenPath)
{
    if (chosenPath.isEmpty())
        return;
    const QFileInfo chosen(chosenPath);
    const QString folder = chosen.isDir() ? chosen.absoluteFilePath() : chosen.absolutePath();
    openSettings()->setValue(settingsKey(kind), folder);
}

} // namespace ui
