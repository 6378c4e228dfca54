// The wait window: a slow connect keeps the main window painting and its
// Cancel gives control back at once.

#include "frame/CMainFrame.h"
#include "model/Model.h"
#include "services/QtWaitService.h"
#include "services/WaitWindow.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/SilentListener.h"
#include "support/TestDirectoryServer.h"
#include "ui/support/MainFrameFixture.h"
#include "utilities/Util.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget& widget) { widget.installEventFilter(this); }
    int count() const { return m_iCount; }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++m_iCount;
        return false;
    }

private:
    int m_iCount = 0;
};

bool anyWaitWindow()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QStringLiteral("WaitWindow"))
            return true;
    }
    return false;
}

class QtWaitServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        util::setWaitService(&m_waits);
        m_model = ldapmodel::Model::getInstance();
        m_model->disconnect();
        m_frame = std::make_unique<CMainFrame>();
        m_frame->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_frame.get()));
    }
    void TearDown() override
    {
        m_model->disconnect();
        m_frame.reset();
        util::setWaitService(nullptr);
        QCoreApplication::processEvents();
    }

    QtWaitService m_waits;
    dirtest::ScriptedMessageBoxes m_boxes;
    memorylib::gc_ptr<ldapmodel::Model> m_model;
    std::unique_ptr<CMainFrame> m_frame;
};

TEST_F(QtWaitServiceTest, SlowConnectKeepsPaintingAndCancelReturnsWithinASecond)
{
    dirtest::SilentListener listener;
    m_model->setHost(L"127.0.0.1");
    m_model->setPort(listener.port());
    m_model->setBaseDN(util::fromUtf8(dirtest::sample::kBaseDn));

    PaintCounter paints(*m_frame);
    QTimer repaint;
    QObject::connect(&repaint, &QTimer::timeout, m_frame.get(), [this]() { m_frame->update(); });
    repaint.start(50);
    int paintsWhileWaiting = -1;
    QString shown;
    bool cancelled = false;
    Clock::time_point cancelledAt;
    QTimer::singleShot(1500, m_frame.get(), [&]() {
        WaitWindow* window = m_waits.window();
        if (window == nullptr)
            return;
        shown = window->getLabel()->text();
        paintsWhileWaiting = paints.count();
        cancelledAt = Clock::now();
        cancelled = true;
        QTest::mouseClick(window->getCancelButton(), Qt::LeftButton);
    });

    EXPECT_EQ(m_model->connect(true), -1);
    const Clock::time_point returned = Clock::now();
    repaint.stop();

    ASSERT_TRUE(cancelled) << "no wait window, or no events while waiting";
    EXPECT_LT(returned - cancelledAt, std::chrono::seconds(1));
    EXPECT_GE(paintsWhileWaiting, 5);
    EXPECT_EQ(shown, QStringLiteral("Connecting to 127.0.0.1:%1...").arg(listener.port()));
    EXPECT_EQ(m_waits.window(), nullptr);
    EXPECT_FALSE(anyWaitWindow());
    EXPECT_FALSE(m_model->isConnected());
    // A cancelled wait needs no box.
    EXPECT_TRUE(m_boxes.boxes().empty());
}

TEST_F(QtWaitServiceTest, QuickAnswersShowNoWindow)
{
    dirtest::useTestServerAsAdmin(*m_model);
    bool seen = false;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, m_frame.get(), [&seen]() { seen = seen || anyWaitWindow(); });
    probe.start(10);
    ASSERT_EQ(m_model->connect(false), 0);
    EXPECT_NE(m_model->getEntry(util::fromUtf8(dirtest::sample::kUser01Dn)).getObject(), nullptr);
    QCoreApplication::processEvents();
    EXPECT_FALSE(seen);
    EXPECT_EQ(m_waits.window(), nullptr);
    EXPECT_TRUE(m_boxes.boxes().empty());
}

} // namespace
