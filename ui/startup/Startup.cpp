#include "startup/Startup.h"

#include "frame/CMainFrame.h"
#include "logging/Log.h"
#include "profiles/Directories.h"
#include "startup/CommandLine.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>

#include <string>

namespace ui {

using ldapmodel::Directories;

bool Startup::setUpDirectories(const CommandLine& commandLine, QString& error)
{
    const std::wstring working = Directories::currentWorkingDirectory();
    const std::wstring base = Directories::chooseBaseDirectory(
        commandLine.baseRule(), working, commandLine.baseDirectory().toStdWString());
    const QString shownBase = QString::fromStdWString(base);
    Directories::setInstalledHelpDirectory(installedHelpDirectory().toStdWString());

    if (commandLine.baseRule() == Directories::BaseRule::Requested) {
        if (!QFileInfo(shownBase).isDir()) {
            error = QStringLiteral("dirlook: %1: no such directory.\n").arg(commandLine.baseDirectory());
            return false;
        }
        if (!Directories::initializeAt(base)) {
            error = QStringLiteral("dirlook: %1: can't enter the directory.\n").arg(shownBase);
            return false;
        }
        return true;
    }
    if (base == working) {
        Directories::initialize();
        return true;
    }
    // The user's data directory; without one the working directory stays
    // the base.
    if (base.empty() || !Directories::createPrivateDirectory(base) || !Directories::initializeAt(base)) {
        util::Log::getLog(L"ldapmodel")
            ->write(L"Startup: can't use the data directory %s", base.c_str());
        if (!working.empty())
            Directories::changeWorkingDirectory(working);
        Directories::initialize();
    }
    return true;
}

void Startup::showMainWindow(CMainFrame& frame, const CommandLine& commandLine)
{
    frame.show();
    const std::wstring name = commandLine.connectName().toStdWString();
    if (name.empty())
        return;
    // Once the window is painted: the connection's boxes then have an owner
    // on screen.
    QPointer<CMainFrame> target(&frame);
    QTimer::singleShot(0, &frame, [target, name]() {
        if (target)
            target->connectToProfile(name);
    });
}

QString Startup::installedHelpDirectory()
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/")
                           + QStringLiteral(DIRLOOK_INSTALLED_HELP));
}

} // namespace ui
