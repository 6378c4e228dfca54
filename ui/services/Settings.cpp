#include "services/Settings.h"

#include "profiles/Directories.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace ui {

namespace {

// Set by tests before any settings are read; the user-interface thread only.
QString& overridePath()
{
    static QString path;
    return path;
}

} // namespace

QString settingsFilePath()
{
    if (!overridePath().isEmpty())
        return overridePath();
    const QString config = QString::fromStdWString(ldapmodel::Directories::getConfigDirectory());
    return QDir(config).filePath(QStringLiteral("dirlook.conf"));
}

void overrideSettingsFile(const QString& path)
{
    overridePath() = path;
}

std::unique_ptr<QSettings> openSettings()
{
    const QString path = settingsFilePath();
    const QString folder = QFileInfo(path).absolutePath();
    if (!QFileInfo::exists(folder) && QDir().mkpath(folder))
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return std::make_unique<QSettings>(path, QSettings::IniFormat);
}

} // namespace ui
