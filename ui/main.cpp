// Dirlook: start-up and the message loop.

#include "dialogs/CDialogServerCertificate.h"
#include "faults/FaultGuard.h"
#include "frame/CMainFrame.h"
#include "logging/Log.h"
#include "profiles/Directories.h"
#include "security/CertificateTrustService.h"
#include "services/CommandIcons.h"
#include "services/QtMessageBoxService.h"
#include "services/QtWaitService.h"
#include "startup/CommandLine.h"
#include "startup/Startup.h"
#include "utilities/MessageBox.h"
#include "utilities/Util.h"

#include <QApplication>

#include <cstdio>
#include <exception>

namespace {

int run(QApplication& application, const ui::CommandLine& commandLine)
{
    CMainFrame* frame = nullptr;
    try {
        DIRLOOK_GUARD(L"main.cpp");
        frame = new CMainFrame;
        ui::Startup::showMainWindow(*frame, commandLine);
    } catch (const std::exception&) {
        util::reportErrorAndExit(L"main.cpp", __LINE__, L"Critical error, can't start program.");
    }
    int result = 0;
    try {
        DIRLOOK_GUARD(L"main.cpp");
        result = application.exec();
    } catch (const std::exception&) {
        util::reportErrorAndExit(L"main.cpp", __LINE__,
                                 L"Critical error, the program will exit, now.");
    }
    delete frame;
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    // Before any thread starts: a connection the server closes while a
    // request is written must fail, not end the process.
    util::ignoreBrokenPipeSignal();
    util::installFaultHandlers();
    util::Log::getLog(L"ldapmodel")->write(L"Dirlook starts");

    QApplication application(argc, argv);
    ui::initApplicationLook();
    const ui::CommandLine commandLine(QApplication::arguments());
    if (commandLine.outcome() != ui::CommandLine::Outcome::Run)
        return commandLine.report();
    QtMessageBoxService boxes;
    util::setMessageBoxService(&boxes);
    QtWaitService waits;
    util::setWaitService(&waits);
    // Server certificates that do not verify: pinned ones pass, the user is
    // asked about the others.
    ldapmodel::CertificateTrustService certificates(&CDialogServerCertificate::ask);
    ldapmodel::setServerCertificateService(&certificates);

    if (ldapmodel::Directories::currentWorkingDirectory().empty())
        std::fputs("_getcwd error\n", stderr);
    QString error;
    if (!ui::Startup::setUpDirectories(commandLine, error)) {
        std::fputs(error.toLocal8Bit().constData(), stderr);
        ldapmodel::setServerCertificateService(nullptr);
        util::setWaitService(nullptr);
        util::setMessageBoxService(nullptr);
        return 1;
    }

    const int result = run(application, commandLine);
    ldapmodel::setServerCertificateService(nullptr);
    util::setWaitService(nullptr);
    util::setMessageBoxService(nullptr);
    util::Log::getLog(L"ldapmodel")->write(L"Dirlook ends");
    return result;
}
