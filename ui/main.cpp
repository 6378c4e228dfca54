// Dirlook: start-up and the message loop.

#include "faults/FaultGuard.h"
#include "frame/CMainFrame.h"
#include "logging/Log.h"
#include "profiles/Directories.h"
#include "services/CommandIcons.h"
#include "services/QtMessageBoxService.h"
#include "services/QtWaitService.h"
#include "utilities/MessageBox.h"
#include "utilities/Util.h"

#include <QApplication>

#include <cstdio>
#include <exception>

namespace {

int run(QApplication& application)
{
    CMainFrame* frame = nullptr;
    try {
        DIRLOOK_GUARD(L"main.cpp");
        frame = new CMainFrame;
        frame->show();
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
    QtMessageBoxService boxes;
    util::setMessageBoxService(&boxes);
    QtWaitService waits;
    util::setWaitService(&waits);

    if (ldapmodel::Directories::currentWorkingDirectory().empty())
        std::fputs("_getcwd error\n", stderr);
    ldapmodel::Directories::initialize();

    const int result = run(application);
    util::setWaitService(nullptr);
    util::setMessageBoxService(nullptr);
    util::Log::getLog(L"ldapmodel")->write(L"Dirlook ends");
    return result;
}
