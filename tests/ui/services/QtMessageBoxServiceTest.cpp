// The box of a fatal-error report asked for on a worker thread.

#include "model/BackgroundState.h"
#include "services/QtMessageBoxService.h"
#include "utilities/MessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace {

// Closes every box once it is up, after writing its text to standard error.
void closeBoxesTellingTheirText(QTimer& timer)
{
    QObject::connect(&timer, &QTimer::timeout, []() {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            std::fprintf(stderr, "SHOWN: %s\n", box->text().toUtf8().constData());
            box->done(QMessageBox::Ok);
        }
    });
    timer.start(20);
}

TEST(QtMessageBoxServiceDeathTest, FatalReportOfAWorkerIsShownBeforeTheProcessEnds)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            QtMessageBoxService boxes;
            util::setMessageBoxService(&boxes);
            QTimer closer;
            closeBoxesTellingTheirText(closer);
            ldapmodel::BackgroundState state;
            state.startWorker([] { throw std::runtime_error("worker failed"); });
            // The worker's report ends the process while the loop runs.
            QTest::qWait(20000);
            std::exit(3);
        },
        testing::ExitedWithCode(0), "SHOWN: Exception! Reason UNKNOWN_EXCEPTION");
}

} // namespace
