// The main window against the test directory server: layout, commands,
// connect and disconnect flows, notifications, the progress window, help
// and about.

#include "dialogs/CAboutDlg.h"
#include "dialogs/CDialogConnection.h"
#include "frame/CHelpWindow.h"
#include "frame/CMainFrame.h"
#include "frame/CProgressBar.h"
#include "model/Model.h"
#include "services/ObserverBridge.h"
#include "services/QtMessageBoxService.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestDirectoryServer.h"
#include "ui/support/ScriptedDialogs.h"
#include "ui/support/UiTestSupport.h"
#include "utilities/Util.h"
#include "views/CListEntryAttributes.h"
#include "views/CListEntryStructuralAttributes.h"
#include "views/TreeControlView.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QKeyEvent>
#include <QStatusTipEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QTimer>
#include <QtTest/QTest>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTextBrowser>
#include <QToolBar>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <memory>
#include <thread>

using dirtest::ScriptedDialogs;
using dirtest::ScriptedMessageBoxes;
using dirtest::TestDirectoryServer;

namespace {

QString q(const std::string& text)
{
    return QString::fromStdString(text);
}

class MainFrameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_workDir = std::make_unique<dirtest::TempWorkDir>();
        ASSERT_TRUE(dirtest::writeProfile(m_workDir->connections(), dirtest::adminProfile(L"Lab")));
        dirtest::Profile closed = dirtest::adminProfile(L"Closed");
        closed.port = 1;  // nothing listens there
        ASSERT_TRUE(dirtest::writeProfile(m_workDir->connections(), closed));
        m_frame = std::make_unique<CMainFrame>();
    }

    void TearDown() override
    {
        auto model = ldapmodel::Model::getInstance();
        if (model->isConnected())
            model->disconnect();
        m_frame.reset();
        QCoreApplication::processEvents();
        m_workDir.reset();
    }

    // Queues the chooser, selecting profile and pressing Connect (or Cancel
    // when profile is empty).
    void queueChooser(const QString& profile)
    {
        m_dialogs.queueDialog([profile](QDialog& dialog) {
            auto& chooser = dynamic_cast<CDialogConnection&>(dialog);
            if (profile.isEmpty()) {
                chooser.getCancelButton()->click();
                return;
            }
            const auto items = chooser.getList()->findItems(profile, Qt::MatchExactly);
            ASSERT_EQ(items.size(), 1);
            chooser.getList()->setCurrentItem(items.first());
            chooser.getConnectButton()->click();
        });
    }

    QString expectedTitle(const QString& name) const
    {
        const auto& server = TestDirectoryServer::shared();
        return QStringLiteral("Dirlook: ") + name + QStringLiteral(" ") + q(server.host())
               + QStringLiteral("/") + QString::number(server.port()) + QStringLiteral("/")
               + q(TestDirectoryServer::adminDn());
    }

    void connectLab()
    {
        queueChooser(QStringLiteral("Lab"));
        ASSERT_EQ(m_frame->OnConnect(), 0);
        ASSERT_EQ(m_frame->windowTitle(), expectedTitle(QStringLiteral("Lab")));
    }

    QStringList topLevelLabels() const
    {
        return dirtest::columnTexts(*m_frame->getTreeView(), 0);
    }

    std::vector<std::wstring> boxTexts() const { return dirtest::boxTexts(m_boxes); }

    std::unique_ptr<dirtest::TempWorkDir> m_workDir;
    ScriptedMessageBoxes m_boxes;
    ScriptedDialogs m_dialogs;
    std::unique_ptr<CMainFrame> m_frame;
};

// ---- layout and command table ----------------------------------------------

TEST_F(MainFrameTest, MenusHaveTheLabelsAndOrderOfTheCommandTable)
{
    QStringList menus;
    QStringList items;
    for (QAction* top : m_frame->menuBar()->actions()) {
        menus << top->text();
        QStringList labels;
        for (QAction* item : top->menu()->actions())
            labels << (item->isSeparator() ? QStringLiteral("-") : item->text().section('\t', 0, 0));
        items << labels.join('|');
    }
    EXPECT_EQ(menus, (QStringList{"&File", "&Entry", "A&ttribute", "Va&lue", "Ld&if", "&Schema",
                                  "&View", "&Help"}));
    EXPECT_EQ(items, (QStringList{
                         "&Connect|&Disconnect|-|&Import|&Export|-|E&xit",
                         "&Search|&Add|&Modify-View|&Rename|&Delete|-|Search Properties|Refresh|"
                         "Refresh &Tree Node|-|Mo&ve...|&Copy|&Paste|-|Copy D&N|Copy RDN|Copy Entry as &LDIF",
                         "&Add|&Delete",
                         "&Add|&Modify-Save|&Delete|-|&Search|-|View &Certificate...|Set &Password...|"
                         "Chec&k Password...|-|&Copy Value",
                         "&Import|&Export",
                         "&View",
                         "&Toolbar|&Status Bar|-|Refresh &Entrry|Refresh Tree &Node|-|&Preferences...",
                         "&Contents|-|&About Dirlook",
                     }));
}

TEST_F(MainFrameTest, CommandsCarryTheirKeysPromptsAndTooltips)
{
    struct Expected {
        const char* handler;
        const char* keys;
        const char* prompt;
        const char* tooltip;
    };
    const Expected table[] = {
        {"OnConnect", "Ctrl+O", "Connect to an LDAP server", "Connect to an LDAP server"},
        {"OnDisconnect", "Ctrl+D", "Disconnect from Server", "Disconnect from Server"},
        {"OnLdifImport", "Ctrl+I", "Import LDIF file", "Import LDIF file"},
        {"OnLdifExport", "Ctrl+E", "Export to LDIF file", "Export to LDIF file"},
        {"OnFileExit", "Alt+F4", "Quit the application; prompts to save documents", "Exit"},
        {"OnEntrySearch", "Ctrl+F", "Search the Directory", "Search the directory"},
        {"OnEntryAdd", "Ctrl+A", "Add new entry", "Add new entry"},
        {"OnEntryModify", "Ctrl+M", "View-Modify the current entry", "View-Modify entry"},
        {"OnEntryView", "", "View current entry", "View entry"},
        {"OnEntryRename", "Ctrl+R", "Rename the entry", "Rename the entry"},
        {"OnEntryDelete", "Ctrl+Del", "Delete the entry", "Delete the entry"},
        {"OnSearchProperties", "Ctrl+S", "Search limits parameters: records, timeout, values",
         "Search limits"},
        {"OnEntryRefresh", "F5", "Refreshes the contents of the active entry", "Refresh Entry"},
        {"OnTreeRefresh", "Ctrl+F5", "Refreshes the active branch of the tree", "Refresh tree"},
        {"OnTreeSort", "", "Sort the entry names", "Sort entries"},
        {"OnAttributeAdd", "Alt+A", "Add new attribute to this entry", "Add new attribute"},
        {"OnAttributeDelete", "Alt+D", "Delete the attribute", "Delete the attribute"},
        {"OnValueAdd", "Shift+A", "Add a new value to this attribute", "Add new value"},
        {"OnValueModify", "Shift+M", "Modify-Save to File this value", "Modify-Save the value"},
        {"OnValueDelete", "Shift+D", "Delete this value", "Delete the value"},
        {"OnValueSearch", "Shift+F", "Search value within attribute", "Search Value"},
        {"OnSchemaView", "Ctrl+Shift+S", "Show the schema objects", "Schema description"},
        {"OnHelpContents", "F1", "Display the help contents", "Display help content"},
        {"OnHelpSearch", "F2", "Searches the help documentation", "Search help"},
        {"OnHelpIndex", "", "Help Index", "Help index"},
        {"OnAppAbout", "", "Display program information, version number and copyright", "About"},
        {"OnViewToolbar", "", "Show or hide the toolbar", "Toggle ToolBar"},
        {"OnViewStatusBar", "", "Show or hide the status bar", "Toggle StatusBar"},
    };
    for (const Expected& expected : table) {
        SCOPED_TRACE(expected.handler);
        QAction* action = m_frame->getAction(QString::fromLatin1(expected.handler));
        ASSERT_NE(action, nullptr);
        EXPECT_EQ(action->shortcut(), QKeySequence(QString::fromLatin1(expected.keys)));
        EXPECT_EQ(action->statusTip(), QString::fromLatin1(expected.prompt));
        EXPECT_EQ(action->toolTip(), QString::fromLatin1(expected.tooltip));
        EXPECT_TRUE(action->isEnabled());
        // Every command's key works from anywhere in the window.
        EXPECT_TRUE(m_frame->actions().contains(action));
    }
}

TEST_F(MainFrameTest, ToolbarButtonsStandInOrderWithSeparatorsAndIcons)
{
    QStringList buttons;
    for (QAction* action : m_frame->getToolBar()->actions()) {
        if (action->isSeparator()) {
            buttons << QStringLiteral("|");
            continue;
        }
        buttons << action->objectName();
        EXPECT_FALSE(action->icon().isNull()) << action->objectName().toStdString();
    }
    EXPECT_EQ(buttons.join(' '),
              QStringLiteral("OnConnect OnDisconnect | OnLdifImport OnLdifExport OnTreeRefresh "
                             "OnTreeSort | OnEntryRefresh OnEntryView OnEntrySearch OnEntryAdd "
                             "OnEntryModify OnEntryRename OnEntryDelete | OnAttributeAdd "
                             "OnAttributeDelete | OnValueAdd OnValueModify OnValueDelete "
                             "OnValueSearch | OnSchemaView OnSearchProperties | OnHelpContents "
                             "OnAppAbout"));
    EXPECT_EQ(m_frame->getToolBar()->iconSize(), QSize(21, 21));
}

TEST_F(MainFrameTest, KeysReachTheirHandlers)
{
    m_frame->show();
    m_frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_frame.get()));
    queueChooser(QString());
    QTest::keyClick(m_frame->getTreeView(), Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(m_dialogs.dialogClasses(), std::vector<QString>{QStringLiteral("CDialogConnection")});
    // A command without a menu item: its key still works.
    QTest::keyClick(m_frame->getTreeView(), Qt::Key_F2);
    QTest::keyClick(m_frame->getTreeView(), Qt::Key_E, Qt::ControlModifier);
    ASSERT_EQ(m_boxes.boxes().size(), 1u);
    EXPECT_EQ(m_boxes.boxes()[0].text, L"Not connected.");
}

TEST_F(MainFrameTest, StartsReadyWithTheProgramNameAndSplitsTheClientArea)
{
    m_frame->resize(1400, 900);
    m_frame->show();
    QCoreApplication::processEvents();
    EXPECT_EQ(m_frame->windowTitle(), QStringLiteral("Dirlook"));
    auto* status = m_frame->findChild<QLabel*>(QStringLiteral("StatusText"));
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->text(), QStringLiteral("Ready"));

    const QList<int> columns = m_frame->getMainSplitter()->sizes();
    ASSERT_EQ(columns.size(), 2);
    const double treeShare = double(columns[0]) / (columns[0] + columns[1]);
    EXPECT_NEAR(treeShare, 1 / 3.5, 0.02);
    const QList<int> rows = m_frame->getRightSplitter()->sizes();
    ASSERT_EQ(rows.size(), 2);
    const double topShare = double(rows[0]) / (rows[0] + rows[1]);
    EXPECT_NEAR(topShare, 1.7 / 3, 0.02);

    EXPECT_EQ(m_frame->getStructuralView()->headerItem()->text(0),
              QStringLiteral("Attribute - Structural"));
    EXPECT_EQ(m_frame->getStructuralView()->headerItem()->text(1), QStringLiteral("Description"));
    EXPECT_EQ(m_frame->getStructuralView()->columnWidth(0), 200);
    
    EXPECT_TRUE(m_frame->getAction("OnViewToolbar")->isChecked());
    EXPECT_TRUE(m_frame->getAction("OnViewStatusBar")->isChecked());
}

TEST_F(MainFrameTest, ToolbarAndStatusBarToggleWithTheirCheckMarks)
{
    m_frame->show();
    m_frame->getAction("OnViewToolbar")->trigger();
    EXPECT_TRUE(m_frame->getToolBar()->isHidden());
    EXPECT_FALSE(m_frame->getAction("OnViewToolbar")->isChecked());
    m_frame->getAction("OnViewToolbar")->trigger();
    EXPECT_FALSE(m_frame->getToolBar()->isHidden());
    EXPECT_TRUE(m_frame->getAction("OnViewToolbar")->isChecked());

    m_frame->getAction("OnViewStatusBar")->trigger();
    EXPECT_TRUE(m_frame->statusBar()->isHidden());
    EXPECT_FALSE(m_frame->getAction("OnViewStatusBar")->isChecked());
    m_frame->getAction("OnViewStatusBar")->trigger();
    EXPECT_FALSE(m_frame->statusBar()->isHidden());
    EXPECT_TRUE(m_frame->getAction("OnViewStatusBar")->isChecked());
}

TEST_F(MainFrameTest, HighlightedCommandShowsItsPromptInTheStatusBar)
{
    m_frame->show();
    QStatusTipEvent tip(m_frame->getAction("OnConnect")->statusTip());
    QCoreApplication::sendEvent(m_frame.get(), &tip);
    EXPECT_EQ(m_frame->statusBar()->currentMessage(), QStringLiteral("Connect to an LDAP server"));
    QStatusTipEvent clear{QString()};
    QCoreApplication::sendEvent(m_frame.get(), &clear);
    EXPECT_EQ(m_frame->statusBar()->currentMessage(), QString());
}

// ---- connection flows ----------------------------------------------------------

TEST_F(MainFrameTest, ConnectSetsTheTitleAndFillsTheTree)
{
    connectLab();
    EXPECT_TRUE(ldapmodel::Model::getInstance()->isConnected());
    // The root list holds each DN with its components reversed.
    EXPECT_EQ(topLevelLabels(), QStringList{QStringLiteral("dc=com")});
    EXPECT_NE(m_frame->getTreeView()->findNode(util::fromUtf8(TestDirectoryServer::baseDn())),
              nullptr);
    EXPECT_EQ(m_dialogs.dialogClasses(), std::vector<QString>{QStringLiteral("CDialogConnection")});
    EXPECT_TRUE(m_boxes.boxes().empty());
}

TEST_F(MainFrameTest, CancellingTheChooserLeavesConnectionTreeAndTitle)
{
    connectLab();
    const QStringList tree = topLevelLabels();
    const QString title = m_frame->windowTitle();
    queueChooser(QString());
    EXPECT_EQ(m_frame->OnConnect(), -1);
    EXPECT_TRUE(ldapmodel::Model::getInstance()->isConnected());
    EXPECT_EQ(topLevelLabels(), tree);
    EXPECT_EQ(m_frame->windowTitle(), title);
}

TEST_F(MainFrameTest, FailedConnectLeavesNotConnectedAndEmptyViews)
{
    connectLab();
    ASSERT_EQ(ldapmodel::Model::getInstance()->setActiveEntry(
                  util::fromUtf8(TestDirectoryServer::baseDn())),
              0);
    ASSERT_GT(m_frame->getRecordView()->getRowCount(), 0);

    queueChooser(QStringLiteral("Closed"));
    EXPECT_EQ(m_frame->OnConnect(), -1);
    EXPECT_EQ(m_frame->windowTitle(), QStringLiteral("Dirlook: Not connected"));
    EXPECT_FALSE(ldapmodel::Model::getInstance()->isConnected());
    EXPECT_EQ(m_frame->getTreeView()->topLevelItemCount(), 0);
    EXPECT_EQ(m_frame->getRecordView()->getRowCount(), 0);
    EXPECT_EQ(m_frame->getStructuralView()->getRowCount(), 0);
    // The model reported the failure; the frame adds nothing of its own.
    EXPECT_FALSE(m_boxes.boxes().empty());
}

TEST_F(MainFrameTest, DisconnectEmptiesTheTreeAndSaysNotConnected)
{
    connectLab();
    EXPECT_EQ(m_frame->OnDisconnect(), 0);
    EXPECT_FALSE(ldapmodel::Model::getInstance()->isConnected());
    EXPECT_EQ(m_frame->getTreeView()->topLevelItemCount(), 0);
    EXPECT_EQ(m_frame->windowTitle(), QStringLiteral("Dirlook: Not connected"));
    EXPECT_TRUE(m_boxes.boxes().empty());

    EXPECT_EQ(m_frame->OnDisconnect(), -1);
    ASSERT_EQ(m_boxes.boxes().size(), 1u);
    EXPECT_EQ(m_boxes.boxes()[0].caption, L"Warning");
    EXPECT_EQ(m_boxes.boxes()[0].text, L"Not connected.");
    EXPECT_EQ(m_boxes.boxes()[0].icon, util::BoxIcon::Warning);
}

TEST_F(MainFrameTest, CommandsWhileNotConnectedSayNotConnectedAndDoNothingElse)
{
    const char* const commands[] = {
        "OnLdifImport",  "OnLdifExport",   "OnEntrySearch",  "OnEntryAdd",
        "OnEntryModify", "OnEntryView",    "OnEntryRename",  "OnEntryDelete",
        "OnSearchProperties", "OnAttributeAdd", "OnAttributeDelete", "OnValueAdd",
        "OnValueModify", "OnValueDelete",  "OnValueSearch",  "OnSchemaView",
    };
    for (const char* command : commands) {
        SCOPED_TRACE(command);
        m_boxes.clear();
        m_frame->getAction(QString::fromLatin1(command))->trigger();
        ASSERT_EQ(m_boxes.boxes().size(), 1u);
        EXPECT_EQ(m_boxes.boxes()[0].text, L"Not connected.");
        EXPECT_EQ(m_boxes.boxes()[0].caption, L"Warning");
    }
    EXPECT_TRUE(m_dialogs.dialogClasses().empty());
    EXPECT_TRUE(m_dialogs.fileCalls().empty());
}

// ---- selection and focus --------------------------------------------------------

TEST_F(MainFrameTest, GetSelectionAsksForARowThenFillsTheTriple)
{
    connectLab();
    auto model = ldapmodel::Model::getInstance();
    ASSERT_EQ(model->setActiveEntry(util::fromUtf8(dirtest::sample::kUser01Dn)), 0);

    EXPECT_EQ(m_frame->getSelection(), -1);
    ASSERT_EQ(m_boxes.boxes().size(), 1u);
    EXPECT_EQ(m_boxes.boxes()[0].caption, L"Delete Attribute");
    EXPECT_EQ(m_boxes.boxes()[0].text, L"Please select an attribute, first");
    EXPECT_EQ(m_boxes.boxes()[0].buttons, util::BoxButtons::OkCancel);

    // The second of the two mail values.
    CListEntryAttributes* records = m_frame->getRecordView();
    int row = -1;
    for (int i = 0; i < records->getRowCount(); ++i) {
        if (records->getItemString(i, 0) == QStringLiteral("mail")
            && records->getItemString(i, 1) == QLatin1String(dirtest::sample::kUser01Mail2))
            row = i;
    }
    ASSERT_GE(row, 0);
    ASSERT_EQ(records->selectRow(row), 0);
    EXPECT_EQ(m_frame->getSelection(), 0);
    EXPECT_EQ(m_frame->getActiveAttributeName(), L"mail");
    EXPECT_EQ(m_frame->getActiveAttributeValue(), util::fromUtf8(dirtest::sample::kUser01Mail2));
    EXPECT_EQ(m_frame->getActiveAttributeValueIndex(), 1);
    EXPECT_EQ(m_boxes.boxes().size(), 1u);
}

TEST_F(MainFrameTest, SelectionFromTheModifyDialogSkipsTheCheckOnce)
{
    m_frame->setSelectionFromDialog(L"cn", L"x", 0);
    EXPECT_EQ(m_frame->checkSelection(), 0);
    EXPECT_EQ(m_frame->getActiveAttributeName(), L"cn");
    EXPECT_TRUE(m_boxes.boxes().empty());
    EXPECT_EQ(m_frame->checkSelection(), -1);
    EXPECT_EQ(m_boxes.boxes().size(), 1u);
}

TEST_F(MainFrameTest, FocusReturnsToTheTreeAfterQueuedRequest)
{
    m_frame->show();
    m_frame->getRecordView()->setFocus();
    m_frame->returnFocusToTree();
    EXPECT_NE(m_frame->focusWidget(), m_frame->getTreeView());
    EXPECT_TRUE(dirtest::waitFor([&]() { return m_frame->focusWidget() == m_frame->getTreeView(); }));
}

// ---- notifications -----------------------------------------------------------------

TEST_F(MainFrameTest, NotificationAllRefillsBothListsBeforeTheTree)
{
    connectLab();
    auto model = ldapmodel::Model::getInstance();
    ASSERT_EQ(model->setActiveEntry(util::fromUtf8(TestDirectoryServer::baseDn())), 0);

    QStringList events;
    auto watch = [&events](QAbstractItemView* view, const QString& name) {
        QObject::connect(view->model(), &QAbstractItemModel::rowsInserted, view,
                         [&events, name]() { events << name; });
    };
    watch(m_frame->getStructuralView(), QStringLiteral("structural"));
    watch(m_frame->getRecordView(), QStringLiteral("record"));
    watch(m_frame->getTreeView(), QStringLiteral("tree"));

    m_frame->updateFromModel(ldapmodel::MODEL_UPDATE_ALL);
    ASSERT_TRUE(events.contains("structural"));
    ASSERT_TRUE(events.contains("record"));
    ASSERT_TRUE(events.contains("tree"));
    EXPECT_LT(events.lastIndexOf("structural"), events.indexOf("record"));
    EXPECT_LT(events.lastIndexOf("record"), events.indexOf("tree"));
}

TEST_F(MainFrameTest, NotificationsRefillTheirViewsAndUnknownKindsChangeNothing)
{
    connectLab();
    auto model = ldapmodel::Model::getInstance();
    ASSERT_EQ(model->setActiveEntry(util::fromUtf8(dirtest::sample::kUser01Dn)), 0);
    const int records = m_frame->getRecordView()->getRowCount();
    const int structural = m_frame->getStructuralView()->getRowCount();
    const int tree = m_frame->getTreeView()->topLevelItemCount();
    ASSERT_GT(records, 0);
    ASSERT_GT(structural, 0);
    ASSERT_GT(tree, 0);

    // The operational rows follow the entry: attribute by attribute, values in order.
    QStringList expected;
    for (const auto& attribute : model->getActiveEntry()->getOperationalAttributes())
        for (int i = 0; i < attribute->getValueCount(); ++i)
            expected << QString::fromStdWString(attribute->getName());
    EXPECT_EQ(dirtest::columnTexts(*m_frame->getStructuralView(), 0), expected);

    m_frame->updateFromModel(5);
    m_frame->updateFromModel(-1);
    EXPECT_EQ(m_frame->getRecordView()->getRowCount(), records);
    EXPECT_EQ(m_frame->getStructuralView()->getRowCount(), structural);
    EXPECT_EQ(m_frame->getTreeView()->topLevelItemCount(), tree);

    m_frame->getStructuralView()->reset();
    m_frame->updateFromModel(ldapmodel::MODEL_UPDATE_OPERATIONAL);
    EXPECT_EQ(m_frame->getStructuralView()->getRowCount(), structural);
    m_frame->getRecordView()->reset();
    m_frame->updateFromModel(ldapmodel::MODEL_UPDATE_USER);
    EXPECT_EQ(m_frame->getRecordView()->getRowCount(), records);
    m_frame->getTreeView()->deleteAllItems();
    m_frame->updateFromModel(ldapmodel::MODEL_UPDATE_TREE);
    EXPECT_EQ(m_frame->getTreeView()->topLevelItemCount(), tree);

    m_frame->updateFromModel(ldapmodel::MODEL_UPDATE_RESET);
    EXPECT_EQ(m_frame->getRecordView()->getRowCount(), 0);
    EXPECT_EQ(m_frame->getStructuralView()->getRowCount(), 0);
    EXPECT_EQ(m_frame->getTreeView()->topLevelItemCount(), 0);
}

TEST_F(MainFrameTest, EntryRefreshRereadsTheActiveEntry)
{
    connectLab();
    auto model = ldapmodel::Model::getInstance();
    ASSERT_EQ(model->setActiveEntry(util::fromUtf8(dirtest::sample::kUser01Dn)), 0);
    std::string output;
    ASSERT_TRUE(TestDirectoryServer::shared().runLdapmodify(
        std::string("dn: ") + dirtest::sample::kUser01Dn
            + "\nchangetype: modify\nadd: title\ntitle: Refreshed\n",
        output))
        << output;
    EXPECT_FALSE(dirtest::columnTexts(*m_frame->getRecordView(), 1).contains("Refreshed"));
    m_frame->getAction("OnEntryRefresh")->trigger();
    EXPECT_TRUE(dirtest::columnTexts(*m_frame->getRecordView(), 1).contains("Refreshed"));
    ASSERT_TRUE(TestDirectoryServer::shared().runLdapmodify(
        std::string("dn: ") + dirtest::sample::kUser01Dn
            + "\nchangetype: modify\ndelete: title\n",
        output))
        << output;
}

// ---- progress window -----------------------------------------------------------------

TEST(ProgressBarTest, CountsStepsWithinTheRecordLimitAndIgnoresLateCalls)
{
    CProgressBar progress(3);
    EXPECT_EQ(progress.getLabel()->text(), QStringLiteral("Progress: "));
    EXPECT_EQ(progress.getBar()->minimum(), 0);
    EXPECT_EQ(progress.getBar()->maximum(), 3);
    EXPECT_EQ(progress.getStopButton()->text(), QStringLiteral("&Stop Action"));
    for (int count = 1; count <= 5; ++count)
        progress.onStep(count);
    EXPECT_EQ(progress.getLabel()->text(), QStringLiteral("Progress: 5"));
    EXPECT_EQ(progress.getBar()->value(), 3);

    progress.onFinished();
    EXPECT_TRUE(progress.isClosed());
    EXPECT_FALSE(progress.isStopped());
    EXPECT_EQ(progress.result(), QDialog::Accepted);
    progress.onStep(6);
    progress.getStopButton()->click();
    EXPECT_EQ(progress.getLabel()->text(), QStringLiteral("Progress: 5"));
    EXPECT_FALSE(progress.isStopped());
    // Shown after it ended: returns at once.
    EXPECT_EQ(progress.exec(), QDialog::Accepted);
}

TEST(ProgressBarTest, NoLimitGivesAnEmptyRangeThatNeverMoves)
{
    CProgressBar progress(0);
    EXPECT_EQ(progress.getBar()->maximum(), 0);
    progress.onStep(1);
    progress.onStep(2);
    EXPECT_EQ(progress.getBar()->maximum(), 0);
    EXPECT_EQ(progress.getLabel()->text(), QStringLiteral("Progress: 2"));
}

TEST(ProgressBarTest, StopAndEscapeAskTheModelToStopAndTheWindowWaitsForTheEnd)
{
    ldapmodel::Model& model = ldapmodel::Model::instance();
    for (const bool escape : {false, true}) {
        CProgressBar progress(10);
        if (escape)
            QTest::keyClick(&progress, Qt::Key_Escape);
        else
            progress.getStopButton()->click();
        EXPECT_TRUE(progress.isStopped());
        EXPECT_TRUE(model.isStopRequested());
        EXPECT_FALSE(progress.getStopButton()->isEnabled());
        // Still there until the operation has ended.
        EXPECT_FALSE(progress.isClosed());
        progress.onFinished();
        EXPECT_TRUE(progress.isClosed());
        EXPECT_EQ(progress.result(), CProgressBar::StopResult);
        model.clearStopRequest();
    }
}

TEST(ProgressBarTest, WorkerCallsArriveQueuedAndAreDroppedOnceTheWindowIsGone)
{
    auto progress = std::make_unique<CProgressBar>(10);
    memorylib::gc_ptr<ldapmodel::ModelObserver> observer = progress->getObserver();
    std::thread worker([&observer]() {
        observer->step();
        observer->step();
    });
    worker.join();
    // Nothing reached the widget on the worker thread.
    EXPECT_EQ(progress->getLabel()->text(), QStringLiteral("Progress: "));
    QCoreApplication::processEvents();
    EXPECT_EQ(progress->getBar()->value(), 2);

    std::thread late([&observer]() {
        observer->step();
        observer->finished();
    });
    late.join();
    progress.reset();
    QCoreApplication::processEvents();  // dropped: no widget to reach
    SUCCEED();
}

TEST_F(MainFrameTest, ProgressWindowRunsAChildrenReadToTheEnd)
{
    connectLab();
    auto model = ldapmodel::Model::getInstance();
    const std::wstring people = util::fromUtf8(dirtest::sample::kPeopleDn);
    QString label;
    int maximum = -1;
    m_dialogs.queueDialog([&](QDialog& dialog) {
        auto& progress = dynamic_cast<CProgressBar&>(dialog);
        maximum = progress.getBar()->maximum();
        EXPECT_TRUE(dirtest::waitFor([&]() { return progress.isClosed(); }));
        label = progress.getLabel()->text();
    });
    const int result = CProgressBar::runModal(m_frame.get(), *model,
                                              [&]() { return model->readChildren(people); }, true);
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(maximum, static_cast<int>(model->getSizeLimit()));
    ASSERT_TRUE(label.startsWith(QStringLiteral("Progress: ")));
    EXPECT_GE(label.mid(10).toInt(), dirtest::sample::kPeopleChildCount);
    EXPECT_FALSE(model->isStopRequested());
    EXPECT_EQ(m_dialogs.dialogClasses().back(), QStringLiteral("CProgressBar"));
}

TEST_F(MainFrameTest, StopBeforeTheFirstResultStopsTheOperation)
{
    connectLab();
    auto model = ldapmodel::Model::getInstance();
    QString label;
    m_dialogs.queueDialog([&label](QDialog& dialog) {
        auto& progress = dynamic_cast<CProgressBar&>(dialog);
        label = progress.getLabel()->text();
        progress.getStopButton()->click();
    });
    const int result = CProgressBar::runModal(
        m_frame.get(), *model,
        [&]() { return model->readChildren(util::fromUtf8(dirtest::sample::kPeopleDn)); }, true);
    EXPECT_EQ(result, CProgressBar::StopResult);
    EXPECT_EQ(label, QStringLiteral("Progress: "));
    EXPECT_FALSE(model->isRunning());
}

// ---- help and about ---------------------------------------------------------------------

TEST_F(MainFrameTest, HelpOpensTheHelpFileAndItsIndex)
{
    {
        std::ofstream file(m_workDir->help() + "/Dirlook.html");
        file << "<html><head><title>Dirlook Help</title></head><body>"
                "<h1>Using Dirlook</h1><p>Connecting.</p>"
                "<h2><a name=\"index\" id=\"index\"></a>Index</h2><p>Entries</p></body></html>";
    }
    EXPECT_EQ(m_frame->OnHelpContents(), 0);
    CHelpWindow* window = CHelpWindow::windowOf(m_frame.get());
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->getBrowser()->toPlainText().contains(QStringLiteral("Using Dirlook")));
    EXPECT_EQ(window->getBrowser()->source().fileName(), QStringLiteral("Dirlook.html"));

    m_frame->getAction("OnHelpIndex")->trigger();
    EXPECT_EQ(CHelpWindow::windowOf(m_frame.get()), window);
    EXPECT_EQ(window->getBrowser()->source().fragment(), QStringLiteral("index"));

    m_frame->getAction("OnHelpSearch")->trigger();
    window->getFindEdit()->setText(QStringLiteral("Entries"));
    EXPECT_TRUE(window->findNext());
    EXPECT_EQ(window->getBrowser()->textCursor().selectedText(), QStringLiteral("Entries"));
    EXPECT_TRUE(m_boxes.boxes().empty());
}

TEST_F(MainFrameTest, MissingHelpFileShowsNothing)
{
    EXPECT_EQ(m_frame->OnHelpContents(), 0);
    m_frame->getAction("OnHelpIndex")->trigger();
    m_frame->getAction("OnHelpSearch")->trigger();
    EXPECT_EQ(CHelpWindow::windowOf(m_frame.get()), nullptr);
    EXPECT_TRUE(m_boxes.boxes().empty());
    for (QWidget* widget : QApplication::topLevelWidgets())
        EXPECT_EQ(qobject_cast<CHelpWindow*>(widget), nullptr);
}

TEST_F(MainFrameTest, AboutBoxShowsNameVersionCopyrightAndMailLink)
{
    QString name;
    QString copyright;
    QString mail;
    m_dialogs.queueDialog([&](QDialog& dialog) {
        auto& about = dynamic_cast<CAboutDlg&>(dialog);
        name = about.getNameLabel()->text();
        copyright = about.getCopyrightLabel()->text();
        mail = about.getMailLink()->text();
        about.accept();
    });
    m_frame->getAction("OnAppAbout")->trigger();
    EXPECT_TRUE(name.contains(QStringLiteral("Dirlook")));
    EXPECT_TRUE(name.contains(QStringLiteral(DIRLOOK_VERSION)));
    EXPECT_TRUE(copyright.startsWith(QStringLiteral("Copyright")));
    EXPECT_TRUE(mail.contains(QStringLiteral("mailto:")));
}

// ---- Qt message boxes ------------------------------------------------------------------

// Runs inspect on the next modal box once it is shown.
void onNextBox(std::function<void(QMessageBox&)> inspect)
{
    QTimer::singleShot(0, [inspect]() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            ADD_FAILURE() << "no message box";
            return;
        }
        inspect(*box);
    });
}

TEST(QtMessageBoxServiceTest, ShowsTheRequestAndReturnsTheClickedAnswer)
{
    util::MessageBoxRequest request;
    request.caption = L"Warning";
    request.text = L"Are you sure you want to delete:\ncn=x ?";
    request.icon = util::BoxIcon::Warning;
    request.buttons = util::BoxButtons::YesNo;
    request.defaultButton = util::BoxAnswer::No;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QAbstractButton* defaultButton = nullptr;
    QAbstractButton* noButton = nullptr;
    onNextBox([&](QMessageBox& box) {
        title = box.windowTitle();
        text = box.text();
        icon = box.icon();
        buttons = box.standardButtons();
        defaultButton = box.defaultButton();
        noButton = box.button(QMessageBox::No);
        box.button(QMessageBox::Yes)->click();
    });
    EXPECT_EQ(QtMessageBoxService::showNow(request), util::BoxAnswer::Yes);
    EXPECT_EQ(title, QStringLiteral("Warning"));
    EXPECT_EQ(text, QStringLiteral("Are you sure you want to delete:\ncn=x ?"));
    EXPECT_EQ(icon, QMessageBox::Warning);
    EXPECT_EQ(buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(defaultButton, noButton);
}

TEST(QtMessageBoxServiceTest, MarkupInTheTextIsShownAsTheCharacters)
{
    util::MessageBoxRequest request;
    request.caption = L"Warning";
    request.text = L"Are you sure you want to delete:\ncn=<b>big</b><img src=x>,dc=x ?";
    request.buttons = util::BoxButtons::YesNo;
    Qt::TextFormat format = Qt::RichText;
    QString shown;
    onNextBox([&](QMessageBox& box) {
        // The label that draws the text.
        if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
            format = label->textFormat();
            shown = label->text();
        }
        box.button(QMessageBox::No)->click();
    });
    EXPECT_EQ(QtMessageBoxService::showNow(request), util::BoxAnswer::No);
    EXPECT_EQ(format, Qt::PlainText);
    EXPECT_EQ(shown, QString::fromStdWString(request.text));
}

TEST(QtMessageBoxServiceTest, EscapeGivesTheCancellingAnswer)
{
    util::MessageBoxRequest request;
    request.caption = L"Delete Attribute";
    request.text = L"Please select an attribute, first";
    request.buttons = util::BoxButtons::OkCancel;
    onNextBox([](QMessageBox& box) {
        // Should Escape not close it, OK does later, and the test fails
        // instead of hanging.
        QTimer::singleShot(2000, &box, [&box]() { box.button(QMessageBox::Ok)->click(); });
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(&box, &escape);
    });
    EXPECT_EQ(QtMessageBoxService::showNow(request), util::BoxAnswer::Cancel);
}

TEST(QtMessageBoxServiceTest, AWorkerGetsTheDefaultAnswerAtOnceAndTheBoxFollows)
{
    QtMessageBoxService service;
    util::MessageBoxRequest request;
    request.caption = L"LDAP Message";
    request.text = L"from the worker";
    request.buttons = util::BoxButtons::OkCancel;
    request.defaultButton = util::BoxAnswer::Cancel;
    util::BoxAnswer answer = util::BoxAnswer::Ok;
    std::thread worker([&]() { answer = service.show(request); });
    worker.join();
    EXPECT_EQ(answer, util::BoxAnswer::Cancel);

    QString shown;
    onNextBox([&shown](QMessageBox& box) {
        shown = box.text();
        box.button(QMessageBox::Ok)->click();
    });
    dirtest::waitFor([&shown]() { return !shown.isEmpty(); }, 5000);
    EXPECT_EQ(shown, QStringLiteral("from the worker"));
}

} // namespace
