// Boxes asked for on a worker thread.

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

TEST(QtMessageBoxServiceTest, OrdinaryBoxOfAWorkerDoesNotWait)
{
    QtMessageBoxService boxes;
    util::setMessageBoxService(&boxes);
    QTimer closer;
    closeBoxesTellingTheirText(closer);
    util::BoxAnswer answer = util::BoxAnswer::Cancel;
    ldapmodel::BackgroundState state;
    state.startWorker([&answer] {
        answer = util::messageBox(L"Import ldif file", L"Can't open the file", util::BoxIcon::Warning,
                                  util::BoxButtons::Ok);
    });
    // Answered at once, with the default button, while nothing ran the loop.
    ASSERT_TRUE(state.joinWorkerFor(std::chrono::seconds(5)));
    EXPECT_EQ(answer, util::BoxAnswer::Ok);
    QTest::qWait(200);
    util::setMessageBoxService(nullptr);
}

} // namespace
