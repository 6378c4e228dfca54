// The search dialog, the record-limit dialog and the schema browser, driven
// through the scripted dialog service against the shared test server.

#include "dialogs/CDialogMaxNoRecords.h"
#include "dialogs/CDialogSchema.h"
#include "dialogs/CDialogSearchRecord.h"
#include "frame/CProgressBar.h"
#include "schema/LDAPSchema.h"
#include "support/ScriptedMessageBoxes.h"
#include "ui/support/DialogTestSupport.h"
#include "ui/support/ScriptedDialogs.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

using dialogtest::model;
using dialogtest::qs;
using dialogtest::wide;
using memorylib::gc_ptr;

namespace {

QStringList listTexts(const QListWidget& list)
{
    QStringList texts;
    for (int row = 0; row < list.count(); ++row)
        texts << list.item(row)->text();
    return texts;
}

QStringList toQStringList(const std::vector<std::wstring>& names)
{
    QStringList texts;
    for (const std::wstring& name : names)
        texts << QString::fromStdWString(name);
    return texts;
}

} // namespace

// ---- record limits ------------------------------------------------------------

struct LimitCase {
    const char* text;
    unsigned int expected;
};

class RecordLimitParsing : public ::testing::TestWithParam<LimitCase> {};

TEST_P(RecordLimitParsing, ParsesLikeTheFieldRule)
{
    EXPECT_EQ(CDialogMaxNoRecords::parseLimit(qs(GetParam().text)), GetParam().expected)
        << "text \"" << GetParam().text << "\"";
}

INSTANTIATE_TEST_SUITE_P(
    Fields, RecordLimitParsing,
    ::testing::Values(LimitCase{"64000", 64000}, LimitCase{"64001", 0}, LimitCase{"99999", 0},
                      LimitCase{"100000", 0}, LimitCase{"000001", 0}, LimitCase{"12ab", 12},
                      LimitCase{"-5", 0}, LimitCase{"-0", 0}, LimitCase{"abc", 0},
                      LimitCase{"", 0}, LimitCase{"0", 0}, LimitCase{"  42", 42},
                      LimitCase{"+7", 7}, LimitCase{"500", 500}, LimitCase{"1 2", 1},
                      LimitCase{"  -", 0}));

TEST(RecordLimitDialog, OkReadsBothFieldsAndCancelKeepsThePresets)
{
    dirtest::ScriptedDialogs scripted;
    CDialogMaxNoRecords dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Timeout Rec Values"));
    dialog.setMaxNoRecords(250);
    dialog.setMaxNoSeconds(30);
    EXPECT_EQ(dialog.getRecordsEdit()->text(), QStringLiteral("250"));
    EXPECT_EQ(dialog.getSecondsEdit()->text(), QStringLiteral("30"));
    EXPECT_EQ(dialog.getRecordsEdit()->cursorPosition(), 3);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    dialog.activateWindow();
    dirtest::waitFor([&] {
        return dialog.focusWidget() == dialog.getRecordsEdit() && !dialog.getRecordsEdit()->hasSelectedText();
    }, 2000);
    EXPECT_EQ(dialog.focusWidget(), dialog.getRecordsEdit());
    EXPECT_FALSE(dialog.getRecordsEdit()->hasSelectedText());
    EXPECT_EQ(dialog.getRecordsEdit()->cursorPosition(), 3);
    dialog.hide();

    scripted.queueDialog([](QDialog& shown) {
        auto& limits = static_cast<CDialogMaxNoRecords&>(shown);
        limits.getRecordsEdit()->setText(QStringLiteral("12ab"));
        limits.getSecondsEdit()->setText(QStringLiteral("100000"));
        limits.getOkButton()->click();
    });
    EXPECT_EQ(ui::dialogs().exec(dialog), QDialog::Accepted);
    EXPECT_EQ(dialog.getMaxNoRecords(), 12u);
    EXPECT_EQ(dialog.getMaxNoSeconds(), 0u);

    CDialogMaxNoRecords cancelled;
    cancelled.setMaxNoRecords(7);
    cancelled.setMaxNoSeconds(9);
    scripted.queueDialog([](QDialog& shown) {
        auto& limits = static_cast<CDialogMaxNoRecords&>(shown);
        limits.getRecordsEdit()->setText(QStringLiteral("64000"));
        limits.getCancelButton()->click();
    });
    EXPECT_EQ(ui::dialogs().exec(cancelled), QDialog::Rejected);
    EXPECT_EQ(cancelled.getMaxNoRecords(), 7u);
    EXPECT_EQ(cancelled.getMaxNoSeconds(), 9u);
}

// ---- search -------------------------------------------------------------------

class SearchDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dialogtest::connectModel());
        model().setActiveEntry(wide(dirtest::sample::kBaseDn));
    }

    dirtest::ScriptedDialogs m_scripted;
    dirtest::ScriptedMessageBoxes m_boxes;
};

TEST_F(SearchDialog, OpensWithThePresetBaseAndTheDefaultFilter)
{
    dialogtest::RecordingFrame frame;
    CDialogSearchRecord dialog(ldapmodel::Model::getInstance(), nullptr, &frame);
    dialog.setBaseDN(wide(dirtest::sample::kSubDn));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Search"));
    EXPECT_EQ(dialog.getBaseDNEdit()->text(), qs(dirtest::sample::kSubDn));
    EXPECT_EQ(dialog.getFilterEdit()->text(), QStringLiteral("(objectclass=*)"));
    EXPECT_TRUE(dialog.getSearchButton()->isDefault());
    EXPECT_EQ(dialog.getSelectedIndex(), -1);
    EXPECT_EQ(dialog.getResultList()->count(), 0);
    EXPECT_EQ(model().getSearchObserver().get() != nullptr, true);
}

TEST_F(SearchDialog, ListsTheSubtreeAndMakesTheSelectedLineTheActiveEntry)
{
    dialogtest::RecordingFrame frame;
    CDialogSearchRecord dialog(ldapmodel::Model::getInstance(), nullptr, &frame);
    dialog.setBaseDN(wide(dirtest::sample::kSubDn));
    // No handler: the progress window runs until the search finishes.
    dialog.getSearchButton()->click();

    ASSERT_FALSE(m_scripted.dialogClasses().empty());
    EXPECT_EQ(m_scripted.dialogClasses().back(), QStringLiteral("CProgressBar"));
    EXPECT_EQ(dialog.getBaseDN(), wide(dirtest::sample::kSubDn));
    EXPECT_EQ(dialog.getFilter(), L"(objectclass=*)");
    const std::vector<std::wstring> results = dialog.getResults();
    ASSERT_EQ(results.size(), static_cast<std::size_t>(dirtest::sample::kSubSubtreeCount));
    const std::set<std::wstring> unique(results.begin(), results.end());
    EXPECT_EQ(unique.size(), results.size());
    EXPECT_TRUE(unique.count(wide(dirtest::sample::kSubDn)));
    EXPECT_TRUE(unique.count(wide(dirtest::sample::kGammaDn)));
    EXPECT_TRUE(unique.count(L"cn=alpha,ou=Sub,ou=Dept,dc=example,dc=com"));

    // The first line is selected and active.
    EXPECT_EQ(dialog.getResultList()->currentRow(), 0);
    EXPECT_EQ(dialog.getSelectedIndex(), 0);
    EXPECT_EQ(model().getActiveEntryDN(), results[0]);

    // Selecting another line shows that entry.
    const int gammaRow = static_cast<int>(
        std::find(results.begin(), results.end(), wide(dirtest::sample::kGammaDn)) - results.begin());
    dialog.getResultList()->setCurrentRow(gammaRow);
    EXPECT_EQ(dialog.getSelectedIndex(), gammaRow);
    EXPECT_EQ(model().getActiveEntryDN(), wide(dirtest::sample::kGammaDn));
    gc_ptr<ldapmodel::LDAPAttribute> cn = model().getActiveEntry()->getAttribute(L"cn");
    ASSERT_NE(cn.getObject(), nullptr);
    EXPECT_EQ(cn->getValue(0)->toString(), L"gamma");

    // A second search starts from an empty list.
    dialog.getFilterEdit()->setText(QStringLiteral("(cn=beta)"));
    dialog.getSearchButton()->click();
    EXPECT_EQ(dialog.getResults(),
              std::vector<std::wstring>{L"cn=beta,ou=Sub,ou=Dept,dc=example,dc=com"});
    EXPECT_TRUE(m_boxes.boxes().empty());
}

TEST_F(SearchDialog, SearchOnALeafListsThatOneEntry)
{
    CDialogSearchRecord dialog(ldapmodel::Model::getInstance(), nullptr, nullptr);
    dialog.setBaseDN(wide(dirtest::sample::kGammaDn));
    EXPECT_EQ(dialog.OnSearch(), 0);
    EXPECT_EQ(dialog.getResults(), std::vector<std::wstring>{wide(dirtest::sample::kGammaDn)});
    EXPECT_EQ(model().getActiveEntryDN(), wide(dirtest::sample::kGammaDn));
}

TEST_F(SearchDialog, StoppingKeepsTheEntriesAlreadyListed)
{
    CDialogSearchRecord dialog(ldapmodel::Model::getInstance(), nullptr, nullptr);
    dialog.setBaseDN(wide(dirtest::sample::kPeopleDn));
    std::vector<std::wstring> listedAtStop;
    bool stopped = false;
    m_scripted.queueDialog([&](QDialog& shown) {
        auto& progress = static_cast<CProgressBar&>(shown);
        dirtest::waitFor([&] { return dialog.getResultList()->count() >= 3 || progress.isClosed(); });
        if (progress.isClosed())
            return;
        listedAtStop = dialog.getResults();
        progress.getStopButton()->click();
        stopped = true;
    });
    EXPECT_EQ(dialog.OnSearch(), 0);
    ASSERT_TRUE(stopped) << "the search ended before it could be stopped";
    EXPECT_FALSE(model().isRunning());

    // Let anything still queued arrive: the list only grows.
    dirtest::waitFor([] { return false; }, 200);
    const std::vector<std::wstring> results = dialog.getResults();
    ASSERT_GE(results.size(), listedAtStop.size());
    EXPECT_TRUE(std::equal(listedAtStop.begin(), listedAtStop.end(), results.begin()));
    EXPECT_LT(results.size(), static_cast<std::size_t>(dirtest::sample::kPeopleChildCount + 1));
    EXPECT_EQ(model().getActiveEntryDN(), results[0]);
}

TEST_F(SearchDialog, RenameReplacesTheLineAndAFailedRenameLeavesIt)
{
    const std::wstring alpha = L"cn=alpha,ou=Sub,ou=Dept,dc=example,dc=com";
    const std::wstring delta = L"cn=delta,ou=Sub,ou=Dept,dc=example,dc=com";
    dialogtest::RecordingFrame frame;
    int renameResult = -1;
    frame.onCommand("OnEntryRename", [&] {
        const std::wstring dn = model().getActiveEntryDN();
        if (renameResult != 0 || model().renameEntry(dn, L"cn=delta") != 0)
            return -1;
        model().setActiveEntry(delta);
        return 0;
    });
    CDialogSearchRecord dialog(ldapmodel::Model::getInstance(), nullptr, &frame);
    dialog.setBaseDN(wide(dirtest::sample::kSubDn));
    dialog.OnSearch();
    const std::vector<std::wstring> results = dialog.getResults();
    const int row = static_cast<int>(std::find(results.begin(), results.end(), alpha) - results.begin());
    ASSERT_LT(row, static_cast<int>(results.size()));
    dialog.getResultList()->setCurrentRow(row);
    ASSERT_EQ(model().getActiveEntryDN(), alpha);

    // The frame's rename stops early: nothing changes.
    dialog.getRenameButton()->click();
    EXPECT_EQ(dialog.getResultList()->item(row)->text(), QString::fromStdWString(alpha));

    renameResult = 0;
    dialog.getRenameButton()->click();
    EXPECT_EQ(frame.commands(), (std::vector<std::string>{"OnEntryRename", "OnEntryRename"}));
    EXPECT_EQ(dialog.getResultList()->item(row)->text(), QString::fromStdWString(delta));
    EXPECT_EQ(dialog.getResultList()->currentRow(), row);
    EXPECT_EQ(dialog.getResults().size(), results.size());
    EXPECT_TRUE(dirtest::TestDirectoryServer::shared().entryExists(util::toUtf8(delta)));

    ASSERT_EQ(model().renameEntry(delta, L"cn=alpha"), 0);
    EXPECT_TRUE(dirtest::TestDirectoryServer::shared().entryExists(util::toUtf8(alpha)));
}

TEST_F(SearchDialog, DeleteRemovesTheLineOnlyWhenTheEntryIsGone)
{
    auto& server = dirtest::TestDirectoryServer::shared();
    const std::string tempDn = "cn=searchtemp,ou=Dept,dc=example,dc=com";
    std::string output;
    ASSERT_TRUE(server.runLdapmodify("dn: " + tempDn +
                                         "\nchangetype: add\nobjectClass: device\ncn: searchtemp\n",
                                     output))
        << output;

    dialogtest::RecordingFrame frame;
    bool reallyDelete = false;
    frame.onCommand("OnEntryDelete", [&] {
        if (!reallyDelete)
            return 0;  // answered No, but reports that it ran
        return model().removeEntry(model().getActiveEntryDN());
    });
    CDialogSearchRecord dialog(ldapmodel::Model::getInstance(), nullptr, &frame);
    dialog.setBaseDN(wide(dirtest::sample::kDeptDn));
    dialog.getFilterEdit()->setText(QStringLiteral("(|(cn=searchtemp)(cn=printer))"));
    dialog.OnSearch();
    std::vector<std::wstring> results = dialog.getResults();
    ASSERT_EQ(results.size(), 2u);
    const int row = results[0] == wide(tempDn) ? 0 : 1;
    dialog.getResultList()->setCurrentRow(row);
    ASSERT_EQ(model().getActiveEntryDN(), wide(tempDn));

    dialog.getDeleteButton()->click();
    EXPECT_EQ(dialog.getResults().size(), 2u);

    reallyDelete = true;
    dialog.getDeleteButton()->click();
    EXPECT_FALSE(server.entryExists(tempDn));
    results = dialog.getResults();
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0], L"cn=printer,ou=Dept,dc=example,dc=com");
    EXPECT_EQ(dialog.getSelectedIndex(), -1);
}

TEST_F(SearchDialog, ButtonsAndContextMenuRunTheFrameCommands)
{
    dialogtest::RecordingFrame frame;
    CDialogSearchRecord dialog(ldapmodel::Model::getInstance(), nullptr, &frame);
    dialog.setBaseDN(wide(dirtest::sample::kSubDn));
    dialog.OnSearch();
    ASSERT_EQ(dialog.getResults().size(), static_cast<std::size_t>(dirtest::sample::kSubSubtreeCount));

    dialog.getViewModifyButton()->click();
    dialog.getExportButton()->click();
    dialog.getPropertiesButton()->click();
    EXPECT_EQ(frame.commands(),
              (std::vector<std::string>{"OnEntryModify", "OnLdifExport", "OnSearchProperties"}));

    std::unique_ptr<QMenu> menu(dialog.createContextMenu(nullptr));
    EXPECT_EQ(menu->objectName(), QStringLiteral("ContextDialogSearch"));
    QStringList texts;
    for (QAction* action : menu->actions())
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    EXPECT_EQ(texts, (QStringList{QStringLiteral("&Modify-View Entry\tCtrl+M"),
                                  QStringLiteral("&Rename Entry\tCtrl+R"),
                                  QStringLiteral("&Delete Entry\tCtrl+Del"), QStringLiteral("-"),
                                  QStringLiteral("E&xport to Ldif file")}));
    menu->actions().at(0)->trigger();
    menu->actions().at(4)->trigger();
    EXPECT_EQ(frame.commands().at(3), "OnEntryModify");
    EXPECT_EQ(frame.commands().at(4), "OnLdifExport");

    // The line under the pointer is selected first; off the lines nothing.
    dialog.resize(600, 400);
    dialog.show();
    QListWidget* list = dialog.getResultList();
    const QPoint third = list->visualItemRect(list->item(2)).center();
    EXPECT_TRUE(dialog.selectLineAt(third));
    EXPECT_EQ(dialog.getSelectedIndex(), 2);
    EXPECT_EQ(model().getActiveEntryDN(), list->item(2)->text().toStdWString());
    EXPECT_FALSE(dialog.selectLineAt(QPoint(5, list->viewport()->height() - 2)));
    EXPECT_EQ(dialog.getSelectedIndex(), 2);
    dialog.hide();
}

// A frame found through the meta-object system: its handlers are slots.
class SlotFrame : public QObject {
    Q_OBJECT
public:
    int calls = 0;
public Q_SLOTS:
    int OnEntryRename()
    {
        ++calls;
        return 7;
    }
};

TEST(FrameCommands, HandlersRunThroughTheMetaObjectSystem)
{
    SlotFrame frame;
    EXPECT_EQ(ui::invokeIntSlot(&frame, "OnEntryRename"), 7);
    EXPECT_EQ(frame.calls, 1);
    EXPECT_EQ(ui::invokeIntSlot(&frame, "OnNoSuchHandler"), -1);
    EXPECT_EQ(ui::invokeIntSlot(nullptr, "OnEntryRename"), -1);

    ui::MainFrameCommands none(nullptr);
    EXPECT_EQ(none.runCommand("OnEntryRename"), -1);
    none.setSelectionFromDialog(L"cn", L"x", 0, 0);  // no frame: nothing happens
}

// ---- schema browser --------------------------------------------------------------

class SchemaDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dialogtest::connectModel());
        m_schema = model().getSchema();
        ASSERT_NE(m_schema.getObject(), nullptr);
        ASSERT_TRUE(m_schema->isLoaded());
        ASSERT_FALSE(m_schema->getObjectClasses().empty());
    }

    gc_ptr<ldapmodel::LDAPSchema> m_schema;
};

TEST_F(SchemaDialog, ListsEveryObjectClassOnceSortedByCharacterCode)
{
    CDialogSchema dialog(m_schema);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Schema"));
    std::set<std::wstring> expected;
    for (const auto& objectClass : m_schema->getObjectClasses())
        expected.insert(objectClass->getName());
    const QStringList listed = listTexts(*dialog.getObjectClassList());
    ASSERT_EQ(listed.size(), static_cast<qsizetype>(expected.size()));
    for (qsizetype row = 1; row < listed.size(); ++row)
        EXPECT_LT(listed[row - 1].toStdWString(), listed[row].toStdWString()) << "row " << row;
    EXPECT_TRUE(listed.contains(QStringLiteral("person")));
    EXPECT_TRUE(listed.contains(QStringLiteral("inetOrgPerson")));

    // Every attribute type, in schema order, "Show &All" checked.
    std::vector<std::wstring> allTypes;
    m_schema->getAttributeTypeNames(allTypes);
    EXPECT_EQ(listTexts(*dialog.getAttributeTypeList()), toQStringList(allTypes));
    EXPECT_TRUE(dialog.getShowAllBox()->isChecked());
    EXPECT_EQ(dialog.getShowAllBox()->text(), QStringLiteral("Show &All"));
}

TEST_F(SchemaDialog, FocusAloneChoosesNoClass)
{
    CDialogSchema dialog(m_schema);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    dialog.getObjectClassList()->setFocus(Qt::TabFocusReason);
    dirtest::waitFor([] { return false; }, 100);
    EXPECT_TRUE(dialog.getShowAllBox()->isChecked());
    std::vector<std::wstring> allTypes;
    m_schema->getAttributeTypeNames(allTypes);
    EXPECT_EQ(dialog.getAttributeTypeList()->count(), static_cast<int>(allTypes.size()));
    dialog.hide();
}

TEST_F(SchemaDialog, AClassNamedTwiceIsListedOnce)
{
    gc_ptr<ldapmodel::LDAPObjectClass> twin = new ldapmodel::LDAPObjectClass();
    twin->setName(L"person");
    twin->setOid(L"1.2.3.4.5");
    m_schema->addObjectClass(twin);
    {
        CDialogSchema dialog(m_schema);
        EXPECT_EQ(listTexts(*dialog.getObjectClassList()).count(QStringLiteral("person")), 1);
    }
    // Put the server's schema back.
    m_schema->clear();
    ASSERT_EQ(m_schema->load(*model().getSession(), L""), 0);
}

TEST_F(SchemaDialog, SelectingAClassListsItsMayNamesOnlyAndShowAllListsEverything)
{
    CDialogSchema dialog(m_schema);
    QListWidget* classes = dialog.getObjectClassList();
    const QList<QListWidgetItem*> person = classes->findItems(QStringLiteral("person"), Qt::MatchExactly);
    ASSERT_EQ(person.size(), 1);
    classes->setCurrentItem(person.first());
    EXPECT_EQ(listTexts(*dialog.getAttributeTypeList()),
              (QStringList{QStringLiteral("userPassword"), QStringLiteral("telephoneNumber"),
                           QStringLiteral("seeAlso"), QStringLiteral("description")}));
    EXPECT_FALSE(dialog.getShowAllBox()->isChecked());

    dialog.getShowAllBox()->click();
    std::vector<std::wstring> allTypes;
    m_schema->getAttributeTypeNames(allTypes);
    EXPECT_EQ(listTexts(*dialog.getAttributeTypeList()), toQStringList(allTypes));
    EXPECT_TRUE(dialog.getShowAllBox()->isChecked());
    // Clicking it again keeps everything listed and the box checked.
    dialog.getShowAllBox()->click();
    EXPECT_TRUE(dialog.getShowAllBox()->isChecked());
    EXPECT_EQ(dialog.getAttributeTypeList()->count(), static_cast<int>(allTypes.size()));

    // Letter case does not matter; an unknown class changes nothing.
    dialog.selectObjectClass(L"DEVICE");
    EXPECT_TRUE(listTexts(*dialog.getAttributeTypeList()).contains(QStringLiteral("serialNumber")));
    EXPECT_FALSE(listTexts(*dialog.getAttributeTypeList()).contains(QStringLiteral("cn")));
    const QStringList before = listTexts(*dialog.getAttributeTypeList());
    dialog.selectObjectClass(L"noSuchClass");
    EXPECT_EQ(listTexts(*dialog.getAttributeTypeList()), before);
}

TEST_F(SchemaDialog, ShowsTheSyntaxOfTheSelectedAttributeType)
{
    CDialogSchema dialog(m_schema);
    QListWidget* types = dialog.getAttributeTypeList();
    const QList<QListWidgetItem*> name = types->findItems(QStringLiteral("name"), Qt::MatchExactly);
    ASSERT_EQ(name.size(), 1);
    types->setCurrentItem(name.first());
    EXPECT_EQ(dialog.getOidEdit()->text(), QStringLiteral("1.3.6.1.4.1.1466.115.121.1.15"));
    EXPECT_EQ(dialog.getDescriptionEdit()->text(), QStringLiteral("Directory String"));
    EXPECT_EQ(dialog.getLengthEdit()->text(), QStringLiteral("32768"));
    EXPECT_TRUE(dialog.getOidEdit()->isReadOnly());

    // The same type again, in other letters: nothing is looked up.
    dialog.getOidEdit()->setText(QStringLiteral("untouched"));
    dialog.selectAttributeType(L"NAME");
    EXPECT_EQ(dialog.getOidEdit()->text(), QStringLiteral("untouched"));

    // No bound: an empty length.
    dialog.selectAttributeType(L"jpegPhoto");
    EXPECT_EQ(dialog.getOidEdit()->text(), QStringLiteral("1.3.6.1.4.1.1466.115.121.1.28"));
    EXPECT_EQ(dialog.getDescriptionEdit()->text(), QStringLiteral("JPEG"));
    EXPECT_EQ(dialog.getLengthEdit()->text(), QString());

    // Unknown type: "No details", the length of the type shown before.
    dialog.selectAttributeType(L"description");
    EXPECT_EQ(dialog.getLengthEdit()->text(), QStringLiteral("1024"));
    dialog.selectAttributeType(L"noSuchType");
    EXPECT_EQ(dialog.getOidEdit()->text(), QStringLiteral("No details"));
    EXPECT_EQ(dialog.getDescriptionEdit()->text(), QStringLiteral("No details"));
    EXPECT_EQ(dialog.getLengthEdit()->text(), QStringLiteral("1024"));
}

TEST_F(SchemaDialog, ASyntaxUnknownToTheRegistryHasNoDetails)
{
    gc_ptr<ldapmodel::LDAPAttributeType> odd = new ldapmodel::LDAPAttributeType();
    odd->setName(L"dirlookOddType");
    odd->setOid(L"1.2.3.4.6");
    odd->setSyntaxOid(L"1.2.3.4.99.1");
    odd->setSyntaxLength(12);
    m_schema->addAttributeType(odd);
    {
        CDialogSchema dialog(m_schema);
        dialog.selectAttributeType(L"dirlookOddType");
        EXPECT_EQ(dialog.getOidEdit()->text(), QStringLiteral("1.2.3.4.99.1"));
        EXPECT_EQ(dialog.getDescriptionEdit()->text(), QStringLiteral("No details"));
        EXPECT_EQ(dialog.getLengthEdit()->text(), QStringLiteral("12"));
    }
    m_schema->clear();
    ASSERT_EQ(m_schema->load(*model().getSession(), L""), 0);
}

TEST(SchemaDialogDeathTest, WithoutASchemaTheProgramEndsWithTheReport)
{
    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_EXIT(
        {
            CDialogSchema dialog{gc_ptr<ldapmodel::LDAPSchema>()};
        },
        ::testing::ExitedWithCode(0), "Can't read schema");
}

#include "SearchDialogsTest.moc"
