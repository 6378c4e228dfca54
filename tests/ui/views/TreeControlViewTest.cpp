// The directory tree: paths, labels and the child index without a server;
// opening, stopping and refreshing nodes against the test server.

#include "frame/CMainFrame.h"
#include "frame/CProgressBar.h"
#include "model/Model.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestDirectoryServer.h"
#include "ui/support/MainFrameFixture.h"
#include "ui/support/MenuProbe.h"
#include "ui/support/ScriptedDialogs.h"
#include "utilities/Util.h"
#include "views/CListEntryAttributes.h"
#include "views/TreeControlView.h"

#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <QTimer>
#include <QTreeWidgetItem>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using dirtest::MenuProbe;
using dirtest::rightClick;
using ldapmodel::Model;
using memorylib::gc_ptr;

// Readable test failures.
void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

const std::wstring kBase = L"dc=example,dc=com";
const std::wstring kPeople = L"ou=People,dc=example,dc=com";

const QString kMoreHint = QStringLiteral("... more (refresh to read all)");

QStringList childLabels(const QTreeWidgetItem* node)
{
    QStringList labels;
    for (int row = 0; row < node->childCount(); ++row)
        labels << node->child(row)->text(0);
    return labels;
}

// The labels of the children that are entries (the hint of an incomplete
// list left out).
QStringList entryLabels(const QTreeWidgetItem* node)
{
    QStringList labels;
    for (int row = 0; row < node->childCount(); ++row) {
        if (!TreeControlView::isMoreHint(node->child(row)))
            labels << node->child(row)->text(0);
    }
    return labels;
}

QStringList topLabels(const QTreeWidget& view)
{
    QStringList labels;
    for (int row = 0; row < view.topLevelItemCount(); ++row)
        labels << view.topLevelItem(row)->text(0);
    return labels;
}

void clickLabel(TreeControlView& view, QTreeWidgetItem* node)
{
    view.scrollToItem(node);
    const QRect rect = view.visualItemRect(node);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(rect.left() + 8, rect.center().y()));
}

// The first components of the children of dn, in the order the server
// lists them when asked page by page, as the tree asks.
QStringList serverChildLabels(const std::wstring& dn)
{
    std::string output;
    EXPECT_TRUE(dirtest::TestDirectoryServer::shared().runLdapsearch(
        {"-E", "pr=500/noprompt", "-b", util::toUtf8(dn), "-s", "one", "(objectClass=*)", "1.1"}, output))
        << output;
    QStringList labels;
    for (const std::string& child : dirtest::TestDirectoryServer::ldifDns(output))
        labels << QString::fromStdString(child.substr(0, child.find(',')));
    return labels;
}

int progressWindowsRun(const dirtest::ScriptedDialogs& dialogs)
{
    int count = 0;
    for (const QString& name : dialogs.dialogClasses())
        count += name == QStringLiteral("CProgressBar") ? 1 : 0;
    return count;
}

} // namespace

// ---- paths and nodes, no server --------------------------------------------

TEST(TreeControlViewPaths, FoundEntriesWithDifferentCaseAndBlanksShareTheirNodes)
{
    TreeControlView view;
    view.onEntryFound(L"cn=a,dc=x");
    view.onEntryFound(L"CN=b, DC=X");

    ASSERT_EQ(topLabels(view), QStringList{QStringLiteral("dc=x")});
    QTreeWidgetItem* top = view.topLevelItem(0);
    EXPECT_EQ(childLabels(top), (QStringList{QStringLiteral("cn=a"), QStringLiteral("CN=b")}));
    EXPECT_EQ(view.getDN(top->child(1)), L"CN=b,dc=x");
    EXPECT_EQ(view.findNode(L"cn=B,DC=x"), top->child(1));
}

TEST(TreeControlViewPaths, InsertingNeverDuplicatesNodes)
{
    TreeControlView view;
    view.buildTree({L"dc=com,dc=example", L"dc=com,dc=example,ou=People",
                    L" DC=COM , dc=Example ,ou=people,uid=u1", L"dc=com,dc=example,ou=People"},
                   L",");
    view.insertPath(L"dc=com,dc=example,ou=People,uid=u1");
    view.insertPath(L"");
    view.insertPath(L" , ");

    ASSERT_EQ(view.topLevelItemCount(), 1);
    QTreeWidgetItem* com = view.topLevelItem(0);
    ASSERT_EQ(childLabels(com), QStringList{QStringLiteral("dc=example")});
    QTreeWidgetItem* example = com->child(0);
    ASSERT_EQ(childLabels(example), QStringList{QStringLiteral("ou=People")});
    EXPECT_EQ(childLabels(example->child(0)), QStringList{QStringLiteral("uid=u1")});
    EXPECT_EQ(view.getDN(example->child(0)->child(0)), L"uid=u1,ou=People,dc=example,dc=com");
    EXPECT_EQ(view.findNode(L"UID=U1, ou=people, dc=EXAMPLE, dc=com"), example->child(0)->child(0));
    EXPECT_EQ(view.findNode(L"uid=u2,ou=People,dc=example,dc=com"), nullptr);
    EXPECT_EQ(view.findNode(L""), nullptr);
}

TEST(TreeControlViewPaths, EscapedCommaStaysInsideItsComponent)
{
    TreeControlView view;
    view.onEntryFound(L"cn=Smith\\, John,ou=People,dc=x");

    QTreeWidgetItem* people = view.findNode(L"ou=People,dc=x");
    ASSERT_NE(people, nullptr);
    ASSERT_EQ(childLabels(people), QStringList{QStringLiteral("cn=Smith\\, John")});
    EXPECT_EQ(view.getDN(people->child(0)), L"cn=Smith\\, John,ou=People,dc=x");
    EXPECT_EQ(view.findNode(L"cn=Smith\\, John,ou=People,dc=x"), people->child(0));
}

TEST(TreeControlViewPaths, EveryNodeShowsAnExpandButtonAndTheSameImage)
{
    TreeControlView view;
    view.insertPath(L"dc=x,ou=a");
    view.insertPath(L"dc=x,ou=b");
    QTreeWidgetItem* a = view.findNode(L"ou=a,dc=x");
    QTreeWidgetItem* b = view.findNode(L"ou=b,dc=x");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);

    EXPECT_EQ(a->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    EXPECT_EQ(view.topLevelItem(0)->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    const QIcon iconA = a->icon(0);
    const QIcon iconB = b->icon(0);
    ASSERT_FALSE(iconA.isNull());
    EXPECT_EQ(iconA.cacheKey(), iconB.cacheKey());
    EXPECT_EQ(iconA.cacheKey(), view.topLevelItem(0)->icon(0).cacheKey());
    EXPECT_EQ(iconA.availableSizes(), QList<QSize>{QSize(16, 16)});
}

TEST(TreeControlViewPaths, SortOrdersOnlyTheDirectChildrenIgnoringCase)
{
    TreeControlView view;
    for (const wchar_t* path : {L"dc=x,cn=b,cn=z", L"dc=x,cn=b,cn=Y", L"dc=x,cn=C", L"dc=x,cn=a"})
        view.insertPath(path);
    QTreeWidgetItem* top = view.topLevelItem(0);
    view.setCurrentItem(top);

    ASSERT_EQ(view.sortSelectedNode(), 0);

    EXPECT_EQ(childLabels(top),
              (QStringList{QStringLiteral("cn=a"), QStringLiteral("cn=b"), QStringLiteral("cn=C")}));
    QTreeWidgetItem* b = view.findNode(L"cn=b,dc=x");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(childLabels(b), (QStringList{QStringLiteral("cn=z"), QStringLiteral("cn=Y")}));
    // The index still knows every node after the reordering.
    view.insertPath(L"dc=x,CN=A");
    view.insertPath(L"dc=x,cn=b,cn=y");
    EXPECT_EQ(top->childCount(), 3);
    EXPECT_EQ(b->childCount(), 2);

    view.setCurrentItem(nullptr);
    view.clearSelection();
    EXPECT_EQ(view.sortSelectedNode(), -1);
}

TEST(TreeControlViewPaths, DeleteRenameAndSelectParent)
{
    TreeControlView view;
    view.insertPath(L"dc=x,ou=a,cn=1");
    view.insertPath(L"dc=x,ou=a,cn=2");
    view.insertPath(L"dc=x,ou=b");

    EXPECT_EQ(view.deleteNode(L"ou=missing,dc=x"), -1);
    ASSERT_EQ(view.deleteNode(L"OU=A,dc=x"), 0);
    EXPECT_EQ(childLabels(view.topLevelItem(0)), QStringList{QStringLiteral("ou=b")});
    EXPECT_EQ(view.findNode(L"cn=1,ou=a,dc=x"), nullptr);
    ASSERT_EQ(view.selectParent(), 0);
    EXPECT_EQ(view.currentItem(), view.topLevelItem(0));
    // The removed node comes back as a new one.
    view.insertPath(L"dc=x,ou=a");
    EXPECT_EQ(view.topLevelItem(0)->childCount(), 2);

    ASSERT_EQ(view.renameNode(L"ou=b,dc=x", L" ou=c "), 0);
    EXPECT_EQ(view.topLevelItem(0)->child(0)->text(0), QStringLiteral("ou=c"));
    EXPECT_EQ(view.findNode(L"ou=b,dc=x"), nullptr);
    EXPECT_NE(view.findNode(L"ou=C,dc=x"), nullptr);
    view.insertPath(L"dc=x,ou=c");
    EXPECT_EQ(view.topLevelItem(0)->childCount(), 2);
    EXPECT_EQ(view.renameNode(L"ou=none,dc=x", L"ou=d"), -1);

    // A top-level node has no parent to select.
    ASSERT_EQ(view.deleteNode(L"dc=x"), 0);
    EXPECT_EQ(view.topLevelItemCount(), 0);
    EXPECT_EQ(view.selectParent(), -1);
}

TEST(TreeControlViewPaths, RenameOntoASiblingsLabelKeepsBothReachableAfterRemoval)
{
    TreeControlView view;
    view.insertPath(L"dc=x,ou=a");
    view.insertPath(L"dc=x,ou=b");
    ASSERT_EQ(view.renameNode(L"ou=b,dc=x", L"ou=A"), 0);
    ASSERT_EQ(view.topLevelItem(0)->childCount(), 2);

    ASSERT_EQ(view.deleteNode(L"ou=a,dc=x"), 0);
    QTreeWidgetItem* remaining = view.findNode(L"ou=a,dc=x");
    ASSERT_NE(remaining, nullptr);
    EXPECT_EQ(remaining->text(0), QStringLiteral("ou=A"));
    view.insertPath(L"dc=x,ou=a");
    EXPECT_EQ(view.topLevelItem(0)->childCount(), 1);
}

TEST(TreeControlViewPaths, DeleteAllItemsEmptiesTheIndexToo)
{
    TreeControlView view;
    view.insertPath(L"dc=x,ou=a");
    view.deleteAllItems();
    EXPECT_EQ(view.topLevelItemCount(), 0);
    EXPECT_EQ(view.findNode(L"dc=x"), nullptr);
    view.insertPath(L"dc=x,ou=a");
    EXPECT_EQ(view.topLevelItemCount(), 1);
    view.clear();
    EXPECT_EQ(view.findNode(L"dc=x"), nullptr);
    view.insertPath(L"dc=x");
    EXPECT_EQ(view.topLevelItemCount(), 1);
}

TEST(TreeControlViewPaths, ManySiblingsAreFoundThroughTheIndex)
{
    TreeControlView view;
    QTreeWidgetItem* parent = view.insertPath(L"dc=x,ou=big");
    for (int n = 0; n < 20000; ++n)
        view.onEntryFound(L"cn=c" + std::to_wstring(n) + L",ou=big,dc=x");
    ASSERT_EQ(parent->childCount(), 20000);
    for (int n = 0; n < 20000; n += 7)
        view.onEntryFound(L"CN=C" + std::to_wstring(n) + L", ou=BIG, dc=x");
    EXPECT_EQ(parent->childCount(), 20000);
    EXPECT_EQ(parent->child(12345)->text(0), QStringLiteral("cn=c12345"));
    EXPECT_EQ(view.findNode(L"cn=c19999,ou=big,dc=x"), parent->child(19999));
}

TEST(TreeControlViewPaths, OpeningOrHighlightingANodeWithoutAConnectionReadsNothing)
{
    dirtest::ScriptedMessageBoxes boxes;
    dirtest::ScriptedDialogs dialogs;
    dirtest::useTestServerAsAdmin(Model::instance());
    ASSERT_FALSE(Model::instance().isConnected());
    TreeControlView view;
    QTreeWidgetItem* node = view.insertPath(L"dc=com,dc=example,ou=People");
    view.expandItem(node->parent()->parent());
    view.expandItem(node->parent());
    view.expandItem(node);
    view.setCurrentItem(node);
    dirtest::waitFor([]() { return false; }, 100);
    EXPECT_FALSE(Model::instance().isConnected());
    EXPECT_EQ(node->childCount(), 0);
    EXPECT_TRUE(dialogs.dialogClasses().empty());
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST(TreeControlViewPaths, MenusCarryTheirLabelsAndKeys)
{
    TreeControlView view;
    std::unique_ptr<QMenu> nodeMenu(view.createNodeMenu(nullptr));
    QStringList texts;
    QStringList keys;
    for (QAction* action : nodeMenu->actions()) {
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
        keys << action->shortcut().toString(QKeySequence::PortableText);
    }
    EXPECT_EQ(texts, (QStringList{"&Search", "View-&Modify", "&Add", "&Rename", "&Delete", "-", "&Import",
                                  "&Export", "-", "Refresh", "Search Props", "S&ort", "-", "Mo&ve...", "&Copy",
                                  "&Paste", "-", "Copy D&N", "Copy RDN", "Copy Entry as &LDIF"}));
    EXPECT_EQ(keys, (QStringList{"Ctrl+F", "Ctrl+M", "Ctrl+A", "Ctrl+R", "Del", "", "Ctrl+I", "Ctrl+E", "",
                                 "Ctrl+F5", "Ctrl+S", "", "", "Ctrl+Shift+M", "Ctrl+Shift+C", "Ctrl+Shift+V", "",
                                 "Ctrl+C", "", ""}));

    std::unique_ptr<QMenu> backgroundMenu(view.createBackgroundMenu(nullptr));
    texts.clear();
    keys.clear();
    for (QAction* action : backgroundMenu->actions()) {
        texts << action->text();
        keys << action->shortcut().toString(QKeySequence::PortableText);
    }
    EXPECT_EQ(texts, (QStringList{"&Connect", "&Disconnect"}));
    EXPECT_EQ(keys, (QStringList{"Ctrl+O", "Ctrl+D"}));
}

// ---- against the test server -------------------------------------------------

class TreeControlViewServer : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_pModel = Model::getInstance();
        dirtest::useTestServerAsAdmin(*m_pModel);
        ASSERT_EQ(m_pModel->connect(false), 0);

        m_view.resize(500, 900);
        m_view.show();
        m_view.buildTree(m_pModel->getRootList(), L",");
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_view));
    }

    void TearDown() override
    {
        m_pModel->waitBackground();
        m_pModel->disconnect();
    }

    // Clicks the base entry's node, which reads its children.
    QTreeWidgetItem* openBase()
    {
        QTreeWidgetItem* base = m_view.findNode(kBase);
        EXPECT_NE(base, nullptr);
        if (base == nullptr)
            return nullptr;
        m_view.expandItem(base->parent());
        clickLabel(m_view, base);
        return m_view.findNode(kBase);
    }

    gc_ptr<Model> m_pModel;
    dirtest::ScriptedMessageBoxes m_boxes;
    dirtest::ScriptedDialogs m_dialogs;
    TreeControlView m_view;
};

TEST_F(TreeControlViewServer, TheRootListBuildsTheTopOfTheTree)
{
    EXPECT_EQ(topLabels(m_view), QStringList{QStringLiteral("dc=com")});
    QTreeWidgetItem* base = m_view.findNode(kBase);
    ASSERT_NE(base, nullptr);
    EXPECT_EQ(base->text(0), QStringLiteral("dc=example"));
    EXPECT_EQ(base->childCount(), 0);
}

TEST_F(TreeControlViewServer, ClickingANodeOpensItOnceAndMakesItActive)
{
    QTreeWidgetItem* base = openBase();
    ASSERT_NE(base, nullptr);

    EXPECT_EQ(m_pModel->getActiveEntryDN(), kBase);
    EXPECT_EQ(m_view.currentItem(), base);
    EXPECT_TRUE(base->isExpanded());
    EXPECT_EQ(childLabels(base), serverChildLabels(kBase));
    EXPECT_EQ(base->childCount(), dirtest::sample::kBaseChildCount);
    EXPECT_EQ(progressWindowsRun(m_dialogs), 1);

    // Another node, then the opened one again: it only expands.
    QTreeWidgetItem* groups = m_view.findNode(L"ou=Groups," + kBase);
    ASSERT_NE(groups, nullptr);
    clickLabel(m_view, groups);
    EXPECT_EQ(m_pModel->getActiveEntryDN(), L"ou=Groups," + kBase);
    EXPECT_EQ(groups->childCount(), dirtest::sample::kGroupsChildCount);
    EXPECT_EQ(progressWindowsRun(m_dialogs), 2);

    m_view.collapseItem(base);
    clickLabel(m_view, base);
    EXPECT_EQ(progressWindowsRun(m_dialogs), 2);
    EXPECT_TRUE(base->isExpanded());
    EXPECT_EQ(base->childCount(), dirtest::sample::kBaseChildCount);
    EXPECT_EQ(m_pModel->getActiveEntryDN(), kBase);
    EXPECT_TRUE(m_boxes.boxes().empty());
}

namespace {

// The expand button the view draws for a node.
bool showsExpandButton(const TreeControlView& view, QTreeWidgetItem* node)
{
    return view.model()->hasChildren(view.indexFromItem(node));
}

} // namespace

TEST_F(TreeControlViewServer, ANodeReadWithoutChildrenLosesItsExpandButton)
{
    // A node no children read has told about, such as one a path created.
    const std::wstring printer = L"cn=printer,ou=Dept," + kBase;
    QTreeWidgetItem* node = m_view.insertPath(util::reverseCommaList(printer, L","));
    ASSERT_NE(node, nullptr);
    EXPECT_TRUE(showsExpandButton(m_view, node));

    clickLabel(m_view, node);
    node = m_view.findNode(printer);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->childCount(), 0);
    EXPECT_FALSE(showsExpandButton(m_view, node));
    // A node with children keeps it.
    EXPECT_TRUE(showsExpandButton(m_view, m_view.findNode(kBase)));
}

TEST_F(TreeControlViewServer, ALeafHasNoExpandButtonAndAContainerKeepsIt)
{
    QTreeWidgetItem* base = openBase();
    ASSERT_NE(base, nullptr);
    ASSERT_EQ(base->childCount(), dirtest::sample::kBaseChildCount);
    // Known from the children read alone (hasSubordinates), before either is
    // opened.
    QTreeWidgetItem* reader = m_view.findNode(L"cn=reader," + kBase);
    QTreeWidgetItem* people = m_view.findNode(kPeople);
    ASSERT_NE(reader, nullptr);
    ASSERT_NE(people, nullptr);
    EXPECT_FALSE(showsExpandButton(m_view, reader));
    EXPECT_TRUE(showsExpandButton(m_view, people));
    EXPECT_EQ(reader->childCount(), 0);
    EXPECT_EQ(people->childCount(), 0);
    EXPECT_EQ(progressWindowsRun(m_dialogs), 1);
}

TEST_F(TreeControlViewServer, OpeningPeopleListsEveryChildOnce)
{
    openBase();
    QTreeWidgetItem* people = m_view.findNode(kPeople);
    ASSERT_NE(people, nullptr);
    clickLabel(m_view, people);

    people = m_view.findNode(kPeople);
    ASSERT_NE(people, nullptr);
    const QStringList labels = childLabels(people);
    EXPECT_EQ(labels.size(), dirtest::sample::kPeopleChildCount);
    EXPECT_EQ(QSet<QString>(labels.begin(), labels.end()).size(), labels.size());
    EXPECT_TRUE(labels.contains(QStringLiteral("uid=user01")));
    EXPECT_TRUE(labels.contains(QString::fromUtf8("cn=\xC5\x81ukasz \xC5\xBB\xC3\xB3\xC5\x82kiewski")));
    EXPECT_NE(m_view.findNode(dirtest::sample::kJoseDnWide), nullptr);
}

TEST_F(TreeControlViewServer, StoppingTheReadKeepsTheChildrenFoundSoFar)
{
    openBase();
    QTreeWidgetItem* people = m_view.findNode(kPeople);
    ASSERT_NE(people, nullptr);

    bool stoppedWhileRunning = false;
    int countAtStop = 0;
    m_dialogs.queueDialog([&](QDialog& dialog) {
        auto& progress = static_cast<CProgressBar&>(dialog);
        dirtest::waitFor([&]() { return progress.getCount() >= 5 || progress.isClosed(); });
        stoppedWhileRunning = !progress.isClosed();
        countAtStop = progress.getCount();
        progress.getStopButton()->click();
    });
    clickLabel(m_view, people);
    dirtest::waitFor([]() { return false; }, 200);

    ASSERT_TRUE(stoppedWhileRunning);
    EXPECT_FALSE(m_pModel->isRunning());
    EXPECT_FALSE(m_pModel->isStopRequested());
    people = m_view.findNode(kPeople);
    ASSERT_NE(people, nullptr);
    const QStringList labels = entryLabels(people);
    EXPECT_GE(labels.size(), countAtStop);
    EXPECT_GE(labels.size(), 5);
    EXPECT_LT(labels.size(), dirtest::sample::kPeopleChildCount);
    EXPECT_EQ(QSet<QString>(labels.begin(), labels.end()).size(), labels.size());
    EXPECT_TRUE(people->isExpanded());
    // The list says it is incomplete.
    EXPECT_TRUE(TreeControlView::isChildListCut(people));
    EXPECT_EQ(childLabels(people).last(), kMoreHint);
    EXPECT_EQ(people->toolTip(0), QString::number(labels.size()) + QStringLiteral(" children read; refresh to read all"));

    // A refresh reads them all, and the hint goes.
    m_view.setCurrentItem(people);
    EXPECT_EQ(m_view.refreshSelectedNode(), 0);
    people = m_view.findNode(kPeople);
    ASSERT_NE(people, nullptr);
    EXPECT_EQ(people->childCount(), dirtest::sample::kPeopleChildCount);
    EXPECT_FALSE(TreeControlView::isChildListCut(people));
    EXPECT_TRUE(people->toolTip(0).isEmpty());
}

TEST_F(TreeControlViewServer, EscapeDuringALongReadStopsItAndTheNodeSaysItIsIncomplete)
{
    const std::string big = "ou=Big,dc=example,dc=com";
    std::string ldif = "dn: " + big + "\nchangetype: add\nobjectClass: organizationalUnit\nou: Big\n\n";
    for (int n = 0; n < 3000; ++n) {
        const std::string cn = "d" + std::to_string(n);
        ldif += "dn: cn=" + cn + "," + big + "\nchangetype: add\nobjectClass: device\ncn: " + cn + "\n\n";
    }
    std::string output;
    ASSERT_TRUE(dirtest::TestDirectoryServer::shared().runLdapmodify(ldif, output)) << output;
    struct Cleanup {
        std::string dn;
        ~Cleanup() { dirtest::deleteTree(dn); }
    } cleanup{big};

    openBase();
    QTreeWidgetItem* node = m_view.findNode(util::fromUtf8(big));
    ASSERT_NE(node, nullptr);
    bool escapedWhileRunning = false;
    bool openAfterEscape = false;
    m_dialogs.queueDialog([&](QDialog& dialog) {
        auto& progress = static_cast<CProgressBar&>(dialog);
        dirtest::waitFor([&]() { return progress.getCount() >= 20 || progress.isClosed(); });
        escapedWhileRunning = !progress.isClosed() && m_pModel->isRunning();
        QTest::keyClick(&progress, Qt::Key_Escape);
        // Esc stops; the window stays until the read has ended.
        openAfterEscape = !progress.isClosed();
    });
    clickLabel(m_view, node);

    ASSERT_TRUE(escapedWhileRunning);
    EXPECT_TRUE(openAfterEscape);
    EXPECT_FALSE(m_pModel->isRunning());
    node = m_view.findNode(util::fromUtf8(big));
    ASSERT_NE(node, nullptr);
    const int read = static_cast<int>(entryLabels(node).size());
    EXPECT_GE(read, 20);
    EXPECT_LT(read, 3000);
    EXPECT_TRUE(TreeControlView::isChildListCut(node));
    EXPECT_EQ(childLabels(node).last(), kMoreHint);
    // Nothing goes on behind the window: the node does not grow any more.
    dirtest::waitFor([]() { return false; }, 300);
    EXPECT_EQ(m_view.findNode(util::fromUtf8(big))->childCount(), read + 1);
    EXPECT_TRUE(m_boxes.boxes().empty());
}

TEST_F(TreeControlViewServer, AChildListCutByTheRecordLimitSaysSoAndTheHintIsNoNode)
{
    m_pModel->setSizeLimit(10);
    openBase();
    QTreeWidgetItem* people = m_view.findNode(kPeople);
    ASSERT_NE(people, nullptr);
    clickLabel(m_view, people);
    people = m_view.findNode(kPeople);
    ASSERT_NE(people, nullptr);
    EXPECT_EQ(entryLabels(people).size(), 10);
    ASSERT_TRUE(TreeControlView::isChildListCut(people));

    // The keyboard passes over the hint; a click on it does nothing.
    QTreeWidgetItem* hint = people->child(people->childCount() - 1);
    ASSERT_TRUE(TreeControlView::isMoreHint(hint));
    m_view.setFocus();
    QTreeWidgetItem* lastRead = people->child(9);
    // Below the hint: the next node, or nothing when People is the last.
    QTreeWidgetItem* afterHint = m_view.itemBelow(hint);
    m_view.setCurrentItem(lastRead);
    QTest::keyClick(&m_view, Qt::Key_Down);
    EXPECT_EQ(m_view.currentItem(), afterHint != nullptr ? afterHint : lastRead);
    QTest::keyClick(&m_view, Qt::Key_Up);
    EXPECT_EQ(m_view.currentItem(), afterHint != nullptr ? lastRead : people->child(8));
    QTest::keyClick(&m_view, Qt::Key_Down);
    const QTreeWidgetItem* beforeClick = m_view.currentItem();
    EXPECT_NE(beforeClick, hint);
    const int windows = progressWindowsRun(m_dialogs);
    clickLabel(m_view, hint);
    EXPECT_EQ(progressWindowsRun(m_dialogs), windows);
    EXPECT_EQ(m_view.currentItem(), beforeClick);

    // Sorting keeps it last.
    m_view.setCurrentItem(people);
    m_view.sortSelectedNode();
    EXPECT_TRUE(TreeControlView::isMoreHint(people->child(people->childCount() - 1)));

    m_pModel->setSizeLimit(0);
    EXPECT_EQ(m_view.refreshSelectedNode(), 0);
    people = m_view.findNode(kPeople);
    ASSERT_NE(people, nullptr);
    EXPECT_EQ(people->childCount(), dirtest::sample::kPeopleChildCount);
    EXPECT_FALSE(TreeControlView::isChildListCut(people));
}

TEST_F(TreeControlViewServer, RefreshOfADeletedEntryKeepsItsOldChildren)
{
    auto& server = dirtest::TestDirectoryServer::shared();
    std::string output;
    ASSERT_TRUE(server.runLdapmodify("dn: ou=Temp,dc=example,dc=com\nchangetype: add\n"
                                     "objectClass: organizationalUnit\nou: Temp\n\n"
                                     "dn: cn=t1,ou=Temp,dc=example,dc=com\nchangetype: add\n"
                                     "objectClass: device\ncn: t1\n\n"
                                     "dn: cn=t2,ou=Temp,dc=example,dc=com\nchangetype: add\n"
                                     "objectClass: device\ncn: t2\n\n",
                                     output))
        << output;
    const std::wstring temp = L"ou=Temp," + kBase;

    openBase();
    QTreeWidgetItem* node = m_view.findNode(temp);
    ASSERT_NE(node, nullptr);
    clickLabel(m_view, node);
    node = m_view.findNode(temp);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(childLabels(node), serverChildLabels(temp));
    EXPECT_EQ(node->childCount(), 2);

    // A new child shows after a refresh.
    ASSERT_TRUE(server.runLdapmodify("dn: cn=t3,ou=Temp,dc=example,dc=com\nchangetype: add\n"
                                     "objectClass: device\ncn: t3\n\n",
                                     output))
        << output;
    m_view.setCurrentItem(node);
    EXPECT_EQ(m_view.refreshSelectedNode(), 0);
    EXPECT_EQ(m_view.getRefreshDN(), temp);
    node = m_view.findNode(temp);
    ASSERT_NE(node, nullptr);
    const QStringList threeChildren = childLabels(node);
    EXPECT_EQ(threeChildren, serverChildLabels(temp));
    EXPECT_EQ(threeChildren.size(), 3);

    ASSERT_TRUE(server.runLdapmodify("dn: cn=t1,ou=Temp,dc=example,dc=com\nchangetype: delete\n\n"
                                     "dn: cn=t2,ou=Temp,dc=example,dc=com\nchangetype: delete\n\n"
                                     "dn: cn=t3,ou=Temp,dc=example,dc=com\nchangetype: delete\n\n"
                                     "dn: ou=Temp,dc=example,dc=com\nchangetype: delete\n\n",
                                     output))
        << output;
    const int windowsBefore = progressWindowsRun(m_dialogs);
    m_view.setCurrentItem(node);
    EXPECT_EQ(m_view.refreshSelectedNode(), -1);
    // The read still ran.
    EXPECT_EQ(progressWindowsRun(m_dialogs), windowsBefore + 1);
    node = m_view.findNode(temp);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(childLabels(node), threeChildren);
}

TEST_F(TreeControlViewServer, RefreshWithoutASelectedNodeFails)
{
    m_view.setCurrentItem(nullptr);
    EXPECT_EQ(m_view.refreshSelectedNode(), -1);
    EXPECT_EQ(progressWindowsRun(m_dialogs), 0);
}

TEST_F(TreeControlViewServer, RightClickOnANodeSelectsItThenShowsTheNodeMenu)
{
    QTreeWidgetItem* base = openBase();
    ASSERT_NE(base, nullptr);
    QTreeWidgetItem* dept = m_view.findNode(L"ou=Dept," + kBase);
    ASSERT_NE(dept, nullptr);
    const QRect rect = m_view.visualItemRect(dept);

    MenuProbe probe;
    rightClick(m_view.viewport(), QPoint(rect.left() + 8, rect.center().y()));

    EXPECT_TRUE(probe.shown);
    EXPECT_EQ(probe.texts.value(0), QStringLiteral("&Search"));
    EXPECT_EQ(probe.texts.size(), 20);
    EXPECT_EQ(m_pModel->getActiveEntryDN(), L"ou=Dept," + kBase);
    dept = m_view.findNode(L"ou=Dept," + kBase);
    ASSERT_NE(dept, nullptr);
    EXPECT_EQ(childLabels(dept), serverChildLabels(L"ou=Dept," + kBase));
    EXPECT_EQ(dept->childCount(), 2);
}

TEST_F(TreeControlViewServer, RightClickOnEmptySpaceShowsTheConnectionMenu)
{
    MenuProbe probe(QStringLiteral("&Disconnect"));
    rightClick(m_view.viewport(), QPoint(40, m_view.viewport()->height() - 10));

    EXPECT_TRUE(probe.shown);
    EXPECT_EQ(probe.texts, (QStringList{"&Connect", "&Disconnect"}));
    // Without a main window the command has nowhere to go.
    ASSERT_EQ(m_boxes.boxes().size(), 1u);
    EXPECT_EQ(m_boxes.boxes()[0].text, L"No Frame window! Please restart the program");
    EXPECT_TRUE(m_pModel->isConnected());
}

TEST_F(TreeControlViewServer, LeftArrowMovesTheSelectionAsUsual)
{
    QTreeWidgetItem* base = openBase();
    ASSERT_NE(base, nullptr);
    QTreeWidgetItem* groups = m_view.findNode(L"ou=Groups," + kBase);
    ASSERT_NE(groups, nullptr);
    m_view.setFocus();
    // Made current by the program: the active entry follows.
    m_view.setCurrentItem(groups);
    EXPECT_EQ(m_pModel->getActiveEntryDN(), L"ou=Groups," + kBase);

    QTest::keyClick(&m_view, Qt::Key_Left);
    EXPECT_EQ(m_view.currentItem(), base);
    EXPECT_EQ(m_pModel->getActiveEntryDN(), kBase);
    EXPECT_TRUE(m_boxes.boxes().empty());
}

TEST_F(TreeControlViewServer, RightArrowWithoutAMainWindowReportsIt)
{
    m_view.setFocus();
    m_view.setCurrentItem(m_view.findNode(kBase));
    QTest::keyClick(&m_view, Qt::Key_Right);
    ASSERT_EQ(m_boxes.boxes().size(), 1u);
    EXPECT_EQ(m_boxes.boxes()[0].text, L"No Frame window! Please restart the program");
    // The arrow did not open the node.
    EXPECT_FALSE(m_view.findNode(kBase)->isExpanded());
}

TEST_F(TreeControlViewServer, AClickBesideTheLabelKeepsTheSelection)
{
    QTreeWidgetItem* base = openBase();
    ASSERT_NE(base, nullptr);
    QTreeWidgetItem* groups = m_view.findNode(L"ou=Groups," + kBase);
    ASSERT_NE(groups, nullptr);
    const QRect rect = m_view.visualItemRect(groups);
    ASSERT_GT(m_view.viewport()->width() - 10, rect.left() + 200);

    QTest::mouseClick(m_view.viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(m_view.viewport()->width() - 10, rect.center().y()));

    EXPECT_EQ(m_view.currentItem(), base);
    EXPECT_EQ(m_pModel->getActiveEntryDN(), kBase);
    EXPECT_EQ(groups->childCount(), 0);
    EXPECT_EQ(progressWindowsRun(m_dialogs), 1);
}

TEST_F(TreeControlViewServer, ExpandingANodeWithItsArrowOrPlusReadsItsChildren)
{
    QTreeWidgetItem* base = openBase();
    ASSERT_NE(base, nullptr);
    const std::wstring groupsDn = L"ou=Groups," + kBase;
    QTreeWidgetItem* groups = m_view.findNode(groupsDn);
    ASSERT_NE(groups, nullptr);
    const QRect rect = m_view.visualItemRect(groups);

    QTest::mouseClick(m_view.viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(rect.left() - m_view.indentation() / 2, rect.center().y()));
    ASSERT_TRUE(dirtest::waitFor([&]() { return progressWindowsRun(m_dialogs) == 2 && !m_pModel->isRunning(); }));

    groups = m_view.findNode(groupsDn);
    ASSERT_NE(groups, nullptr);
    EXPECT_TRUE(groups->isExpanded());
    EXPECT_EQ(childLabels(groups), serverChildLabels(groupsDn));
    EXPECT_EQ(groups->childCount(), dirtest::sample::kGroupsChildCount);
    // The arrow opens; it does not select.
    EXPECT_EQ(m_pModel->getActiveEntryDN(), kBase);

    // "+" on the highlighted node.
    const std::wstring deptDn = L"ou=Dept," + kBase;
    m_view.setFocus();
    m_view.setCurrentItem(m_view.findNode(deptDn));
    QTest::keyClick(&m_view, Qt::Key_Plus);
    ASSERT_TRUE(dirtest::waitFor([&]() { return progressWindowsRun(m_dialogs) == 3 && !m_pModel->isRunning(); }));
    QTreeWidgetItem* dept = m_view.findNode(deptDn);
    ASSERT_NE(dept, nullptr);
    EXPECT_TRUE(dept->isExpanded());
    EXPECT_EQ(childLabels(dept), serverChildLabels(deptDn));
    EXPECT_TRUE(m_boxes.boxes().empty());
}

TEST_F(TreeControlViewServer, StarOpensWhatHasBeenReadAndReadsOnlyTheHighlightedNode)
{
    QTreeWidgetItem* base = openBase();
    ASSERT_NE(base, nullptr);
    const std::wstring deptDn = L"ou=Dept," + kBase;
    clickLabel(m_view, m_view.findNode(deptDn));
    m_view.collapseItem(m_view.findNode(deptDn));
    m_view.collapseItem(base);
    const int windows = progressWindowsRun(m_dialogs);

    m_view.setFocus();
    m_view.setCurrentItem(base);
    QTest::keyClick(&m_view, Qt::Key_Asterisk);
    dirtest::waitFor([]() { return false; }, 200);

    EXPECT_TRUE(base->isExpanded());
    EXPECT_TRUE(m_view.findNode(deptDn)->isExpanded());
    // Unread nodes below stay closed and unread.
    QTreeWidgetItem* people = m_view.findNode(kPeople);
    EXPECT_FALSE(people->isExpanded());
    EXPECT_EQ(people->childCount(), 0);
    EXPECT_FALSE(m_view.findNode(L"ou=Sub," + deptDn)->isExpanded());
    EXPECT_EQ(progressWindowsRun(m_dialogs), windows);

    // On an unread node it reads that node.
    m_view.setCurrentItem(people);
    QTest::keyClick(&m_view, Qt::Key_Asterisk);
    ASSERT_TRUE(dirtest::waitFor([&]() { return progressWindowsRun(m_dialogs) == windows + 1 && !m_pModel->isRunning(); }));
    people = m_view.findNode(kPeople);
    EXPECT_TRUE(people->isExpanded());
    EXPECT_EQ(people->childCount(), dirtest::sample::kPeopleChildCount);
}

TEST(TreeControlViewInMainWindow, NodeMenuSortRunsThroughTheFrame)
{
    dirtest::ScriptedMessageBoxes boxes;
    dirtest::ScriptedDialogs dialogs;
    gc_ptr<Model> model = Model::getInstance();
    auto& server = dirtest::TestDirectoryServer::shared();
    model->setHost(util::fromUtf8(server.host()));
    model->setPort(server.port());
    model->setBaseDN(kBase);
    model->setBindDN(util::fromUtf8(dirtest::TestDirectoryServer::adminDn()));
    model->setPassword(util::fromUtf8(dirtest::TestDirectoryServer::adminPassword()));
    CMainFrame frame;
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    ASSERT_EQ(model->connect(false), 0);
    TreeControlView& view = *frame.getTreeView();
    // The frame built the tree from the model's root list.
    QTreeWidgetItem* base = view.findNode(kBase);
    ASSERT_NE(base, nullptr);
    view.expandItem(base->parent());

    const QRect rect = view.visualItemRect(base);
    MenuProbe probe(QStringLiteral("S&ort"));
    rightClick(view.viewport(), QPoint(rect.left() + 8, rect.center().y()));

    ASSERT_TRUE(probe.shown);
    base = view.findNode(kBase);
    ASSERT_NE(base, nullptr);
    QStringList expected = serverChildLabels(kBase);
    std::sort(expected.begin(), expected.end(),
              [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    EXPECT_EQ(childLabels(base), expected);
    EXPECT_TRUE(boxes.boxes().empty());
    // The record view shows the entry the right-click selected.
    EXPECT_GT(frame.getRecordView()->getRowCount(), 0);
    EXPECT_EQ(frame.getRecordView()->getItemString(0, 0), QStringLiteral("objectClass"));

    model->waitBackground();
    model->disconnect();
}
