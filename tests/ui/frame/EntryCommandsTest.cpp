// The main window's entry commands against the test server: rename, delete,
// add through the wizard, search with its result list, modify-view, search
// limits, schema, tree refresh and sort. The directory is read back through
// a second connection.

#include "dialogs/CDialogEditInfo.h"
#include "dialogs/CDialogMaxNoRecords.h"
#include "dialogs/CDialogModifyEntry.h"
#include "dialogs/CDialogModifyValue.h"
#include "dialogs/CDialogRenameEntry.h"
#include "dialogs/CDialogSchema.h"
#include "dialogs/CDialogSearchRecord.h"
#include "frame/CMainFrame.h"
#include "model/Model.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestDirectoryServer.h"
#include "ui/support/MainFrameFixture.h"
#include "ui/support/ScriptedDialogs.h"
#include "ui/support/UiTestSupport.h"
#include "utilities/Util.h"
#include "views/CGridControl.h"
#include "views/CListEntryAttributes.h"
#include "views/TreeControlView.h"
#include "wizard/CWizardCreateEntry.h"
#include "wizard/CWizardCreateEntryClasses.h"
#include "wizard/CWizardCreateEntryEdit.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTreeWidgetItem>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using dirtest::deleteTree;
using dirtest::ScriptedDialogs;
using dirtest::ScriptedMessageBoxes;
using dirtest::TestDirectoryServer;
using ldapmodel::Model;
using util::BoxAnswer;
using util::BoxButtons;

namespace {

const std::string kScratch = "ou=EntryCommands,dc=example,dc=com";
const std::wstring kBase = L"dc=example,dc=com";

std::wstring wide(const std::string& utf8) { return util::fromUtf8(utf8); }
QString qs(const std::string& utf8) { return QString::fromStdString(utf8); }

bool addEntry(const std::string& dn, const std::string& body)
{
    std::string output;
    const bool added = TestDirectoryServer::shared().runLdapmodify(
        "dn: " + dn + "\nchangetype: add\n" + body, output);
    EXPECT_TRUE(added) << output;
    return added;
}

std::string device(const std::string& cn)
{
    return "objectClass: device\ncn: " + cn + "\n";
}

class EntryCommandsTest : public dirtest::MainFrameFixture {
protected:
    static void SetUpTestSuite()
    {
        deleteTree(kScratch);
        addEntry(kScratch, "objectClass: organizationalUnit\nou: EntryCommands\n");
    }
    static void TearDownTestSuite() { tearDownScratch(kScratch); }

    QStringList recordValues(const QString& name) const
    {
        QStringList values;
        const CListEntryAttributes* record = m_frame->getRecordView();
        for (int row = 0; row < record->getRowCount(); ++row) {
            if (record->getItemString(row, 0).compare(name, Qt::CaseInsensitive) == 0)
                values << record->getItemString(row, 1);
        }
        return values;
    }

    // The rename dialog: checks its preset and answers with text (Cancel
    // when text is empty).
    void queueRename(const QString& text, QString* preset = nullptr)
    {
        m_dialogs.queueDialog([text, preset](QDialog& dialog) {
            auto& rename = dynamic_cast<CDialogRenameEntry&>(dialog);
            rename.show();
            if (preset != nullptr)
                *preset = rename.getEdit()->text();
            if (text.isEmpty()) {
                rename.getCancelButton()->click();
                return;
            }
            rename.getEdit()->setText(text);
            rename.getOkButton()->click();
        });
    }

    ScriptedMessageBoxes m_boxes;
    ScriptedDialogs m_dialogs;
};

// ---- rename ------------------------------------------------------------------

TEST_F(EntryCommandsTest, RenameAsksThenRelabelsTheNodeAndMakesTheNewDnActive)
{
    const std::string oldDn = "cn=old-name," + kScratch;
    const std::string newDn = "cn=new-name," + kScratch;
    ASSERT_TRUE(addEntry(oldDn, device("old-name")));
    open(wide(oldDn));

    QString preset;
    queueRename(QStringLiteral("cn=new-name"), &preset);
    m_boxes.queueAnswer(BoxAnswer::Ok);
    EXPECT_EQ(m_frame->OnEntryRename(), 0);

    EXPECT_EQ(preset, QStringLiteral("cn="));
    const auto boxes = m_boxes.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, L"Rename");
    EXPECT_EQ(boxes[0].text, L"Rename:\n" + wide(oldDn) + L"\nto:\ncn=new-name?");
    EXPECT_EQ(boxes[0].buttons, BoxButtons::OkCancel);

    EXPECT_EQ(tree()->findNode(wide(oldDn)), nullptr);
    ASSERT_NE(tree()->findNode(wide(newDn)), nullptr);
    EXPECT_EQ(tree()->findNode(wide(newDn))->text(0), QStringLiteral("cn=new-name"));
    EXPECT_EQ(m_model->getActiveEntryDN(), wide(newDn));
    EXPECT_EQ(recordValues(QStringLiteral("cn")), QStringList{QStringLiteral("new-name")});

    const TestDirectoryServer& server = TestDirectoryServer::shared();
    EXPECT_FALSE(server.entryExists(oldDn));
    ASSERT_TRUE(server.entryExists(newDn));
    // The old RDN value went with the rename.
    EXPECT_EQ(TestDirectoryServer::ldifValues(server.entryLdif(newDn), "cn"),
              std::vector<std::string>{"new-name"});
}

TEST_F(EntryCommandsTest, CommasInsideRdnValuesStayInsideThroughRenameAndDelete)
{
    const std::string parent = "ou=Names," + kScratch;
    const std::string escaped = "cn=Smith\\, John," + parent;
    ASSERT_TRUE(addEntry(parent, "objectClass: organizationalUnit\nou: Names\n"));
    ASSERT_TRUE(addEntry(escaped, device("Smith, John")));
    open(wide(parent));
    // The server writes the comma as \2C; the node is found either way.
    QTreeWidgetItem* john = tree()->findNode(wide(escaped));
    ASSERT_NE(john, nullptr);
    EXPECT_EQ(john, tree()->findNode(L"cn=Smith\\2C John," + wide(parent)));
    tree()->clickNode(john);
    EXPECT_EQ(m_model->getActiveEntryDN(), tree()->getDN(tree()->currentItem()));
    EXPECT_EQ(m_model->getActiveRDNType(), L"cn");
    EXPECT_EQ(recordValues(QStringLiteral("cn")), QStringList{QStringLiteral("Smith, John")});

    // A quoted value with a comma and a blank.
    const std::wstring quoted = L"cn=\"Smith, Jane\"," + wide(parent);
    queueRename(QStringLiteral("cn=\"Smith, Jane\""));
    m_boxes.queueAnswer(BoxAnswer::Ok);
    EXPECT_EQ(m_frame->OnEntryRename(), 0);
    ASSERT_EQ(m_boxes.boxes().size(), 1u) << util::toUtf8(m_boxes.boxes().back().text);
    EXPECT_EQ(m_model->getActiveEntryDN(), quoted);
    EXPECT_EQ(recordValues(QStringLiteral("cn")), QStringList{QStringLiteral("Smith, Jane")});
    QTreeWidgetItem* node = tree()->findNode(quoted);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node, tree()->currentItem());
    EXPECT_EQ(tree()->getDN(node), quoted);

    // Deleted: the node goes and its parent takes over.
    m_boxes.clear();
    m_boxes.queueAnswer(BoxAnswer::Yes);
    EXPECT_EQ(m_frame->OnEntryDelete(), 0);
    EXPECT_EQ(m_boxes.boxes().size(), 1u);
    EXPECT_EQ(tree()->findNode(quoted), nullptr);
    EXPECT_EQ(tree()->getDN(tree()->currentItem()), wide(parent));
    EXPECT_EQ(m_model->getActiveEntryDN(), wide(parent));
    EXPECT_FALSE(TestDirectoryServer::shared().entryExists("cn=Smith\\, Jane," + parent));
}

TEST_F(EntryCommandsTest, CancellingTheRenameChangesNothing)
{
    const std::string dn = "cn=keep-name," + kScratch;
    ASSERT_TRUE(addEntry(dn, device("keep-name")));
    open(wide(dn));

    // Cancel in the confirmation.
    queueRename(QStringLiteral("cn=other-name"));
    m_boxes.queueAnswer(BoxAnswer::Cancel);
    EXPECT_EQ(m_frame->OnEntryRename(), -1);
    ASSERT_EQ(m_boxes.boxes().size(), 1u);
    EXPECT_EQ(m_boxes.boxes()[0].caption, L"Rename");

    // Cancel in the dialog: no question at all.
    m_boxes.clear();
    queueRename(QString());
    EXPECT_EQ(m_frame->OnEntryRename(), -1);
    EXPECT_TRUE(m_boxes.boxes().empty());

    EXPECT_NE(tree()->findNode(wide(dn)), nullptr);
    EXPECT_EQ(tree()->findNode(wide("cn=other-name," + kScratch)), nullptr);
    EXPECT_EQ(m_model->getActiveEntryDN(), wide(dn));
    EXPECT_TRUE(TestDirectoryServer::shared().entryExists(dn));
    EXPECT_FALSE(TestDirectoryServer::shared().entryExists("cn=other-name," + kScratch));
}

TEST_F(EntryCommandsTest, ARefusedRenameLeavesTheTreeAsItWas)
{
    const std::string dn = "cn=first," + kScratch;
    ASSERT_TRUE(addEntry(dn, device("first")));
    ASSERT_TRUE(addEntry("cn=second," + kScratch, device("second")));
    open(wide(dn));
    queueRename(QStringLiteral("cn=second"));
    m_boxes.queueAnswer(BoxAnswer::Ok);
    EXPECT_EQ(m_frame->OnEntryRename(), -1);
    const auto boxes = m_boxes.boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].caption, L"LDAP Message");
    EXPECT_NE(boxes[1].text.find(L"LDAPError 68"), std::wstring::npos);  // already exists
    EXPECT_NE(tree()->findNode(wide(dn)), nullptr);
    EXPECT_EQ(m_model->getActiveEntryDN(), wide(dn));
    EXPECT_TRUE(TestDirectoryServer::shared().entryExists(dn));
}

// ---- delete ------------------------------------------------------------------

TEST_F(EntryCommandsTest, DeleteAsksYesNoWithNoAsDefaultThenRemovesTheNode)
{
    const std::string dn = "cn=doomed," + kScratch;
    ASSERT_TRUE(addEntry(dn, device("doomed")));
    open(wide(dn));

    // The default answer is No.
    EXPECT_EQ(m_frame->OnEntryDelete(), -1);
    auto boxes = m_boxes.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, L"Warning");
    EXPECT_EQ(boxes[0].text, L"Are you sure you want to delete:\n" + wide(dn) + L" ?");
    EXPECT_EQ(boxes[0].icon, util::BoxIcon::Warning);
    EXPECT_EQ(boxes[0].buttons, BoxButtons::YesNo);
    EXPECT_EQ(boxes[0].defaultButton, BoxAnswer::No);
    EXPECT_TRUE(TestDirectoryServer::shared().entryExists(dn));
    EXPECT_NE(tree()->findNode(wide(dn)), nullptr);

    m_boxes.clear();
    m_boxes.queueAnswer(BoxAnswer::Yes);
    EXPECT_EQ(m_frame->OnEntryDelete(), 0);
    EXPECT_EQ(m_boxes.boxes().size(), 1u);
    EXPECT_FALSE(TestDirectoryServer::shared().entryExists(dn));
    EXPECT_EQ(tree()->findNode(wide(dn)), nullptr);
    // The parent is selected and shown.
    ASSERT_NE(tree()->currentItem(), nullptr);
    EXPECT_EQ(tree()->getDN(tree()->currentItem()), wide(kScratch));
    EXPECT_EQ(m_model->getActiveEntryDN(), wide(kScratch));
    EXPECT_EQ(recordValues(QStringLiteral("ou")), QStringList{QStringLiteral("EntryCommands")});
}

TEST_F(EntryCommandsTest, KeyboardMovesMakeTheHighlightedNodeTheOneDeleteAsksAbout)
{
    const std::string parent = "ou=Keys," + kScratch;
    const std::string first = "cn=first," + parent;
    const std::string second = "cn=second," + parent;
    ASSERT_TRUE(addEntry(parent, "objectClass: organizationalUnit\nou: Keys\n"));
    ASSERT_TRUE(addEntry(first, device("first")));
    ASSERT_TRUE(addEntry(second, device("second")));
    open(wide(parent));
    // The entry clicked last is another one.
    open(wide(first));
    m_frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_frame.get()));
    TreeControlView* view = tree();
    view->setFocus();

    QTest::keyClick(view, Qt::Key_Down);
    ASSERT_EQ(view->currentItem(), view->findNode(wide(second)));
    EXPECT_EQ(m_model->getActiveEntryDN(), wide(second));
    EXPECT_EQ(recordValues(QStringLiteral("cn")), QStringList{QStringLiteral("second")});

    // Ctrl+Del, and Del alone in the tree, ask about the highlighted entry.
    QTest::keyClick(view, Qt::Key_Delete, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_Delete);
    EXPECT_EQ(dirtest::boxTexts(m_boxes),
              std::vector<std::wstring>(2, CMainFrame::formatDeleteQuestion(wide(second))));

    // Up twice: the parent.
    QTest::keyClick(view, Qt::Key_Up);
    QTest::keyClick(view, Qt::Key_Up);
    EXPECT_EQ(m_model->getActiveEntryDN(), wide(parent));
    m_boxes.clear();
    QTest::keyClick(view, Qt::Key_Delete);
    EXPECT_EQ(dirtest::boxTexts(m_boxes), std::vector<std::wstring>{CMainFrame::formatDeleteQuestion(wide(parent))});
    EXPECT_TRUE(TestDirectoryServer::shared().entryExists(first));
    EXPECT_TRUE(TestDirectoryServer::shared().entryExists(second));
}

TEST_F(EntryCommandsTest, ANodeWithoutAnEntryLeavesNoEntryForTheCommands)
{
    open(wide(kScratch));
    // The node above the base entry (dc=com) is no entry.
    QTreeWidgetItem* top = tree()->findNode(L"dc=com");
    ASSERT_NE(top, nullptr);
    tree()->setCurrentItem(top);
    EXPECT_EQ(m_model->getActiveEntryDN(), L"");
    EXPECT_EQ(m_frame->getRecordView()->getRowCount(), 0);
    EXPECT_EQ(m_frame->OnEntryDelete(), -1);
    EXPECT_TRUE(m_boxes.boxes().empty());
}

TEST_F(EntryCommandsTest, AnEntryAlreadyGoneFromTheServerStillLosesItsNode)
{
    const std::string dn = "cn=vanished," + kScratch;
    ASSERT_TRUE(addEntry(dn, device("vanished")));
    open(wide(dn));
    ASSERT_TRUE(deleteTree(dn));

    m_boxes.queueAnswer(BoxAnswer::Yes);
    EXPECT_EQ(m_frame->OnEntryDelete(), 0);
    const auto boxes = m_boxes.boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].caption, L"LDAP Message");
    EXPECT_NE(boxes[1].text.find(L"LDAPError 32"), std::wstring::npos);
    EXPECT_EQ(tree()->findNode(wide(dn)), nullptr);
    EXPECT_EQ(tree()->getDN(tree()->currentItem()), wide(kScratch));
}

TEST_F(EntryCommandsTest, ARefusedDeleteKeepsTheNode)
{
    const std::string parent = "ou=Parent," + kScratch;
    ASSERT_TRUE(addEntry(parent, "objectClass: organizationalUnit\nou: Parent\n"));
    ASSERT_TRUE(addEntry("cn=child," + parent, device("child")));
    open(wide(parent));
    m_boxes.queueAnswer(BoxAnswer::Yes);
    EXPECT_EQ(m_frame->OnEntryDelete(), -1);
    const auto boxes = m_boxes.boxes();
    // Not allowed on non-leaf: the subtree delete is offered, No by default.
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, CMainFrame::formatSubtreeDeleteQuestion(wide(parent), 1, true));
    EXPECT_EQ(boxes[1].defaultButton, BoxAnswer::No);
    EXPECT_NE(tree()->findNode(wide(parent)), nullptr);
    EXPECT_EQ(m_model->getActiveEntryDN(), wide(parent));
    EXPECT_TRUE(TestDirectoryServer::shared().entryExists(parent));
}

TEST(DeleteQuestion, ALongDnIsShortenedInTheMiddleNeverDropped)
{
    const std::wstring prefix = L"Are you sure you want to delete:\n";
    const std::wstring room(255 - prefix.size() - 2, L'x');
    EXPECT_EQ(CMainFrame::formatDeleteQuestion(room), prefix + room + L" ?");

    const std::wstring dn = L"cn=" + std::wstring(300, L'a') + L"," + std::wstring(100, L'b')
                            + L",ou=tail,dc=example,dc=com";
    const std::wstring text = CMainFrame::formatDeleteQuestion(dn);
    EXPECT_EQ(text.size(), 255u);
    ASSERT_EQ(text.compare(0, prefix.size() + 10, prefix + dn.substr(0, 10)), 0);
    EXPECT_EQ(text.substr(text.size() - 30), dn.substr(dn.size() - 28) + L" ?");
    EXPECT_NE(text.find(L"..."), std::wstring::npos);
    // The head and the tail are of about the same length.
    const std::size_t dots = text.find(L"...");
    const std::size_t head = dots - prefix.size();
    const std::size_t tail = text.size() - 2 - (dots + 3);
    EXPECT_LE(head - tail, 1u);
}

TEST_F(EntryCommandsTest, AnEntryWithAVeryLongDnIsAskedForAndDeleted)
{
    const std::string cn(230, 'L');
    const std::string dn = "cn=" + cn + "," + kScratch;
    ASSERT_TRUE(addEntry(dn, device(cn)));
    open(wide(dn));
    m_boxes.queueAnswer(BoxAnswer::Yes);
    EXPECT_EQ(m_frame->OnEntryDelete(), 0);
    const auto boxes = m_boxes.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, CMainFrame::formatDeleteQuestion(wide(dn)));
    EXPECT_LE(boxes[0].text.size(), 255u);
    EXPECT_NE(boxes[0].text.find(L"..."), std::wstring::npos);
    EXPECT_FALSE(TestDirectoryServer::shared().entryExists(dn));
    EXPECT_EQ(tree()->findNode(wide(dn)), nullptr);
}

// ---- add through the wizard -----------------------------------------------------

class WizardScript {
public:
    explicit WizardScript(ScriptedDialogs& dialogs) : m_dialogs(dialogs) {}

    void addClasses(CWizardCreateEntry& wizard, const std::vector<QString>& names)
    {
        CWizardCreateEntryClasses* page = wizard.getClassesPage();
        for (const QString& name : names) {
            const auto found = page->getSchemaClassList()->findItems(name, Qt::MatchExactly);
            ASSERT_EQ(found.size(), 1) << name.toStdString();
            page->getSchemaClassList()->setCurrentItem(found.front());
            page->getAddButton()->click();
        }
        wizard.next();
        ASSERT_EQ(wizard.currentId(), CWizardCreateEntry::EditPageId);
    }

    void setValue(CWizardCreateEntry& wizard, const QString& name, const QString& text)
    {
        CGridControl* list = wizard.getEditPage()->getAttributeList();
        int row = -1;
        for (int i = 0; i < list->getRowCount() && row < 0; ++i) {
            if (list->getItemString(i, 0).compare(name, Qt::CaseInsensitive) == 0)
                row = i;
        }
        ASSERT_GE(row, 0) << name.toStdString();
        list->selectRow(row);
        m_dialogs.queueDialog([text](QDialog& dialog) {
            auto& value = dynamic_cast<CDialogModifyValue&>(dialog);
            value.show();
            value.getValueEdit()->setText(text);
            value.getOkButton()->click();
        });
        wizard.getEditPage()->getEditValueAction()->trigger();
    }

    static void finish(CWizardCreateEntry& wizard, const QString& rdn)
    {
        wizard.getEditPage()->getRdnEdit()->setText(rdn);
        wizard.button(QWizard::FinishButton)->click();
    }

private:
    ScriptedDialogs& m_dialogs;
};

TEST_F(EntryCommandsTest, AddCreatesAnInetOrgPersonAndShowsItBelowTheParent)
{
    const std::string dn = "cn=Wizard Person," + kScratch;
    open(wide(kScratch));
    WizardScript script(m_dialogs);
    QString parentShown;
    m_dialogs.queueDialog([&](QDialog& dialog) {
        auto& wizard = dynamic_cast<CWizardCreateEntry&>(dialog);
        wizard.show();
        parentShown = wizard.getClassesPage()->getParentDNEdit()->text();
        script.addClasses(wizard, {QStringLiteral("person"), QStringLiteral("organizationalPerson"),
                                   QStringLiteral("inetOrgPerson")});
        script.setValue(wizard, QStringLiteral("cn"), QStringLiteral("Wizard Person"));
        script.setValue(wizard, QStringLiteral("sn"), QStringLiteral("Person"));
        // The new entry's record, shown after the add.
        m_dialogs.queueDialog([](QDialog& info) {
            dynamic_cast<CDialogEditInfo&>(info).getOkButton()->click();
        });
        WizardScript::finish(wizard, QStringLiteral("cn=Wizard Person"));
    });
    EXPECT_EQ(m_frame->OnEntryAdd(), 0);
    EXPECT_EQ(parentShown, qs(kScratch));
    EXPECT_EQ(m_dialogs.pendingDialogs(), 0u);

    const TestDirectoryServer& server = TestDirectoryServer::shared();
    ASSERT_TRUE(server.entryExists(dn));
    const std::string ldif = server.entryLdif(dn);
    auto classes = TestDirectoryServer::ldifValues(ldif, "objectClass");
    std::sort(classes.begin(), classes.end());
    EXPECT_EQ(classes, (std::vector<std::string>{"inetOrgPerson", "organizationalPerson", "person"}));
    EXPECT_EQ(TestDirectoryServer::ldifValues(ldif, "sn"), std::vector<std::string>{"Person"});

    // The parent node was read again and shows the new entry.
    EXPECT_TRUE(childLabels(kScratch).contains(QStringLiteral("cn=Wizard Person")));
    EXPECT_EQ(m_dialogs.dialogClasses().back(), QStringLiteral("CProgressBar"));
    EXPECT_EQ(tree()->getDN(tree()->currentItem()), wide(kScratch));
}

TEST_F(EntryCommandsTest, ARefusedAddAnsweredCancelLeavesNoEntry)
{
    const std::string dn = "cn=NoSurname," + kScratch;
    open(wide(kScratch));
    WizardScript script(m_dialogs);
    m_boxes.queueAnswer(BoxAnswer::Ok);      // the server's refusal
    m_boxes.queueAnswer(BoxAnswer::Cancel);  // "Can't create object ..."
    m_dialogs.queueDialog([&](QDialog& dialog) {
        auto& wizard = dynamic_cast<CWizardCreateEntry&>(dialog);
        wizard.show();
        script.addClasses(wizard, {QStringLiteral("person")});
        script.setValue(wizard, QStringLiteral("cn"), QStringLiteral("NoSurname"));
        WizardScript::finish(wizard, QStringLiteral("cn=NoSurname"));
    });
    EXPECT_EQ(m_frame->OnEntryAdd(), -1);
    const auto boxes = m_boxes.boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_NE(boxes[0].text.find(L"LDAPError 65"), std::wstring::npos);  // object class violation
    EXPECT_EQ(boxes[1].text, L"Can't create object, do you want to modify the attributes?");
    EXPECT_FALSE(TestDirectoryServer::shared().entryExists(dn));
    EXPECT_FALSE(childLabels(kScratch).contains(QStringLiteral("cn=NoSurname")));
}

TEST_F(EntryCommandsTest, ACancelledWizardSendsNothingAndLeavesTheTree)
{
    open(wide(kScratch));
    const QStringList before = childLabels(kScratch);
    m_dialogs.queueDialog([](QDialog& dialog) {
        dynamic_cast<CWizardCreateEntry&>(dialog).button(QWizard::CancelButton)->click();
    });
    const std::size_t dialogsBefore = m_dialogs.dialogClasses().size();
    EXPECT_EQ(m_frame->OnEntryAdd(), -1);
    // The wizard alone: no tree refresh.
    ASSERT_EQ(m_dialogs.dialogClasses().size(), dialogsBefore + 1);
    EXPECT_EQ(m_dialogs.dialogClasses().back(), QStringLiteral("CWizardCreateEntry"));
    EXPECT_EQ(childLabels(kScratch), before);
    EXPECT_TRUE(m_boxes.boxes().empty());
}

TEST_F(EntryCommandsTest, AddUnderAParentTypedInTheWizardRefreshesThatParent)
{
    const std::string other = "ou=Other," + kScratch;
    ASSERT_TRUE(addEntry(other, "objectClass: organizationalUnit\nou: Other\n"));
    open(wide(kScratch));
    open(wide(other));  // opened: no children yet
    open(wide(kScratch));
    WizardScript script(m_dialogs);
    m_dialogs.queueDialog([&](QDialog& dialog) {
        auto& wizard = dynamic_cast<CWizardCreateEntry&>(dialog);
        wizard.show();
        wizard.getClassesPage()->getParentDNEdit()->setText(qs(other));
        script.addClasses(wizard, {QStringLiteral("device")});
        script.setValue(wizard, QStringLiteral("cn"), QStringLiteral("elsewhere"));
        m_dialogs.queueDialog([](QDialog& info) { info.reject(); });
        WizardScript::finish(wizard, QStringLiteral("cn=elsewhere"));
    });
    EXPECT_EQ(m_frame->OnEntryAdd(), 0);
    EXPECT_TRUE(TestDirectoryServer::shared().entryExists("cn=elsewhere," + other));
    EXPECT_EQ(childLabels(other), QStringList{QStringLiteral("cn=elsewhere")});
    // The selection stays on the active entry.
    EXPECT_EQ(tree()->getDN(tree()->currentItem()), wide(kScratch));
    EXPECT_EQ(m_model->getActiveEntryDN(), wide(kScratch));
}

// ---- search ----------------------------------------------------------------------

TEST_F(EntryCommandsTest, SearchListsResultsAndItsRenameAndDeleteUpdateTheList)
{
    const std::string base = "ou=Found," + kScratch;
    ASSERT_TRUE(addEntry(base, "objectClass: organizationalUnit\nou: Found\n"));
    ASSERT_TRUE(addEntry("cn=one," + base, device("one") + "description: first found\n"));
    ASSERT_TRUE(addEntry("cn=two," + base, device("two")));
    ASSERT_TRUE(addEntry("cn=three," + base, device("three")));
    open(wide(base));

    QString presetBase, presetFilter;
    QStringList results, afterRename, afterDelete;
    QStringList descriptionShown;
    m_dialogs.queueDialog([&](QDialog& dialog) {
        auto& search = dynamic_cast<CDialogSearchRecord&>(dialog);
        search.show();
        presetBase = search.getBaseDNEdit()->text();
        presetFilter = search.getFilterEdit()->text();
        search.getFilterEdit()->setText(QStringLiteral("(objectclass=device)"));
        ASSERT_EQ(search.OnSearch(), 0);
        QListWidget* list = search.getResultList();
        for (int i = 0; i < list->count(); ++i)
            results << list->item(i)->text();

        // Selecting a line shows its entry in the main window.
        const auto one = list->findItems(qs("cn=one," + base), Qt::MatchExactly);
        ASSERT_EQ(one.size(), 1);
        list->setCurrentItem(one.front());
        descriptionShown = recordValues(QStringLiteral("description"));

        // Rename from the list.
        const auto two = list->findItems(qs("cn=two," + base), Qt::MatchExactly);
        ASSERT_EQ(two.size(), 1);
        list->setCurrentItem(two.front());
        queueRename(QStringLiteral("cn=deux"));
        m_boxes.queueAnswer(BoxAnswer::Ok);
        EXPECT_EQ(search.OnRename(), 0);
        for (int i = 0; i < list->count(); ++i)
            afterRename << list->item(i)->text();

        // Delete from the list.
        const auto three = list->findItems(qs("cn=three," + base), Qt::MatchExactly);
        ASSERT_EQ(three.size(), 1);
        list->setCurrentItem(three.front());
        m_boxes.queueAnswer(BoxAnswer::Yes);
        EXPECT_EQ(search.OnDelete(), 0);
        for (int i = 0; i < list->count(); ++i)
            afterDelete << list->item(i)->text();
        search.getCloseButton()->click();
    });
    EXPECT_EQ(m_frame->OnEntrySearch(), 0);

    EXPECT_EQ(presetBase, qs(base));
    EXPECT_EQ(presetFilter, QStringLiteral("(objectclass=*)"));
    QStringList expected{qs("cn=one," + base), qs("cn=two," + base), qs("cn=three," + base)};
    QStringList sortedResults = results;
    sortedResults.sort();
    expected.sort();
    EXPECT_EQ(sortedResults, expected);
    EXPECT_EQ(descriptionShown, QStringList{QStringLiteral("first found")});
    EXPECT_TRUE(afterRename.contains(qs("cn=deux," + base)));
    EXPECT_FALSE(afterRename.contains(qs("cn=two," + base)));
    EXPECT_EQ(afterRename.size(), 3);
    EXPECT_FALSE(afterDelete.contains(qs("cn=three," + base)));
    EXPECT_EQ(afterDelete.size(), 2);

    const TestDirectoryServer& server = TestDirectoryServer::shared();
    EXPECT_TRUE(server.entryExists("cn=deux," + base));
    EXPECT_FALSE(server.entryExists("cn=two," + base));
    EXPECT_FALSE(server.entryExists("cn=three," + base));
    // The tree followed: the renamed node carries its new label, the
    // deleted one is gone.
    EXPECT_NE(tree()->findNode(wide("cn=deux," + base)), nullptr);
    EXPECT_EQ(tree()->findNode(wide("cn=three," + base)), nullptr);
    // Closing the dialog makes the search base the active entry again.
    EXPECT_EQ(m_model->getActiveEntryDN(), wide(base));
}

TEST_F(EntryCommandsTest, SearchWithoutAnActiveEntryStartsAtTheBaseDnAndValueSearchIsTheSame)
{
    ASSERT_TRUE(m_model->getActiveEntryDN().empty());
    QString preset;
    m_dialogs.queueDialog([&preset](QDialog& dialog) {
        preset = dynamic_cast<CDialogSearchRecord&>(dialog).getBaseDNEdit()->text();
    });
    m_frame->getAction(QStringLiteral("OnValueSearch"))->trigger();
    EXPECT_EQ(preset, QString::fromStdWString(kBase));
    EXPECT_EQ(m_dialogs.dialogClasses().back(), QStringLiteral("CDialogSearchRecord"));
    // Closing made the base the active entry.
    EXPECT_EQ(m_model->getActiveEntryDN(), kBase);
}

// ---- modify-view, limits, schema -------------------------------------------------

TEST_F(EntryCommandsTest, ModifyViewShowsTheActiveEntryAndNothingWithoutOne)
{
    const std::string dn = "cn=viewed," + kScratch;
    ASSERT_TRUE(addEntry(dn, device("viewed") + "description: shown in the grid\n"));

    EXPECT_EQ(m_frame->OnEntryModify(), -1);  // no active entry
    EXPECT_TRUE(m_dialogs.dialogClasses().empty());

    open(wide(dn));
    QString shownDn;
    QStringList names;
    m_dialogs.queueDialog([&](QDialog& dialog) {
        auto& modify = dynamic_cast<CDialogModifyEntry&>(dialog);
        shownDn = modify.getDNEdit()->text();
        for (int row = 0; row < modify.getGrid()->getRowCount(); ++row)
            names << modify.getGrid()->getItemString(row, 0) + QStringLiteral("=")
                         + modify.getGrid()->getItemString(row, 1);
        modify.getButton(0)->click();
    });
    m_frame->getAction(QStringLiteral("OnEntryView"))->trigger();
    EXPECT_EQ(shownDn, qs(dn));
    EXPECT_TRUE(names.contains(QStringLiteral("description=shown in the grid")));
    EXPECT_TRUE(names.contains(QStringLiteral("cn=viewed")));
}

TEST_F(EntryCommandsTest, SearchPropertiesPresetTheLimitsAndSetThemOnOk)
{
    m_model->setSizeLimit(25);
    m_model->setTimeLimit(7);
    QString records, seconds;
    m_dialogs.queueDialog([&](QDialog& dialog) {
        auto& limits = dynamic_cast<CDialogMaxNoRecords&>(dialog);
        records = limits.getRecordsEdit()->text();
        seconds = limits.getSecondsEdit()->text();
        limits.getCancelButton()->click();
    });
    EXPECT_EQ(m_frame->OnSearchProperties(), -1);
    EXPECT_EQ(records, QStringLiteral("25"));
    EXPECT_EQ(seconds, QStringLiteral("7"));
    EXPECT_EQ(m_model->getSizeLimit(), 25u);

    m_dialogs.queueDialog([](QDialog& dialog) {
        auto& limits = dynamic_cast<CDialogMaxNoRecords&>(dialog);
        limits.getRecordsEdit()->setText(QStringLiteral("300"));
        limits.getSecondsEdit()->setText(QStringLiteral("12"));
        limits.getOkButton()->click();
    });
    EXPECT_EQ(m_frame->OnSearchProperties(), 0);
    EXPECT_EQ(m_model->getSizeLimit(), 300u);
    EXPECT_EQ(m_model->getTimeLimit(), 12u);
    m_model->setSizeLimit(0);
    m_model->setTimeLimit(0);
}

TEST_F(EntryCommandsTest, SchemaViewBrowsesTheLoadedSchema)
{
    int classes = 0;
    m_dialogs.queueDialog([&classes](QDialog& dialog) {
        classes = dynamic_cast<CDialogSchema&>(dialog).getObjectClassList()->count();
    });
    EXPECT_EQ(m_frame->OnSchemaView(), 0);
    EXPECT_GT(classes, 10);
    EXPECT_TRUE(m_boxes.boxes().empty());
}

// ---- tree refresh and sort ---------------------------------------------------------

TEST_F(EntryCommandsTest, TreeRefreshRereadsTheChildrenAndSortOrdersThem)
{
    const std::string parent = "ou=Sorted," + kScratch;
    ASSERT_TRUE(addEntry(parent, "objectClass: organizationalUnit\nou: Sorted\n"));
    ASSERT_TRUE(addEntry("cn=Mike," + parent, device("Mike")));
    open(wide(parent));
    EXPECT_EQ(childLabels(parent), QStringList{QStringLiteral("cn=Mike")});
    ASSERT_TRUE(addEntry("cn=zulu," + parent, device("zulu")));
    ASSERT_TRUE(addEntry("cn=alpha," + parent, device("alpha")));
    EXPECT_EQ(childLabels(parent).size(), 1);

    m_frame->getAction(QStringLiteral("OnTreeRefresh"))->trigger();
    // In the server's order, which is not the sorted one.
    QStringList labels = childLabels(parent);
    EXPECT_EQ(labels.size(), 3);
    EXPECT_NE(labels, (QStringList{"cn=alpha", "cn=Mike", "cn=zulu"}));
    labels.sort(Qt::CaseInsensitive);
    EXPECT_EQ(labels, (QStringList{"cn=alpha", "cn=Mike", "cn=zulu"}));

    EXPECT_EQ(m_frame->OnTreeSort(), 0);
    EXPECT_EQ(childLabels(parent), (QStringList{"cn=alpha", "cn=Mike", "cn=zulu"}));
}

TEST_F(EntryCommandsTest, EntryRefreshAfterADisconnectDoesNotConnectAgain)
{
    open(wide(kScratch));
    m_model->disconnect();
    m_frame->getAction(QStringLiteral("OnEntryRefresh"))->trigger();
    EXPECT_FALSE(m_model->isConnected());
    EXPECT_EQ(m_frame->getRecordView()->getRowCount(), 0);
    EXPECT_TRUE(m_boxes.boxes().empty());
}

} // namespace
