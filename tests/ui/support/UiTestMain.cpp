// Entry point of the widget test programs: a QApplication on the offscreen
// platform, the shared test directory server started once, the tests. The
// program's settings go to a file of the run's own, never the user's. SIGPIPE
// is ignored, as the program does.

#include "faults/FaultGuard.h"
#include "services/Settings.h"
#include "support/TestDirectoryServer.h"

#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    util::ignoreBrokenPipeSignal();
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    QTemporaryDir settingsFolder;
    ui::overrideSettingsFile(settingsFolder.filePath(QStringLiteral("dirlook.conf")));
    // A death test's child runs one statement and needs no server of its own.
    if (GTEST_FLAG_GET(list_tests) || !GTEST_FLAG_GET(internal_run_death_test).empty())
        return RUN_ALL_TESTS();

    auto& server = dirtest::TestDirectoryServer::shared();
    if (!server.start()) {
        std::fprintf(stderr, "Cannot start the test directory server.\n%s\n",
                     server.lastError().c_str());
        return 1;
    }
    const int result = RUN_ALL_TESTS();
    server.stop();
    return result;
}
