// The record-limit dialog, the frame commands the dialogs raise and the
// schema browser, driven through the scripted dialog service against the
// shared test server. The search dialog, whose search runs on the worker,
// has its own program (run under ThreadSanitizer too).

#include "dialogs/CDialogMaxNoRecords.h"
#include "dialogs/CDialogSchema.h"
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

TEST_F(SchemaDialog, SelectingAClassListsRequiredThenOptionalNamesAndShowAllListsEverything)
{
    CDialogSchema dialog(m_schema);
    QListWidget* classes = dialog.getObjectClassList();
    const QList<QListWidgetItem*> person = classes->findItems(QStringLiteral("person"), Qt::MatchExactly);
    ASSERT_EQ(person.size(), 1);
    classes->setCurrentItem(person.first());
    // person's MUST sn and cn, then top's objectClass; then its MAY names.
    EXPECT_EQ(listTexts(*dialog.getAttributeTypeList()),
              (QStringList{QStringLiteral("sn"), QStringLiteral("cn"), QStringLiteral("objectClass"),
                           QStringLiteral("userPassword"), QStringLiteral("telephoneNumber"),
                           QStringLiteral("seeAlso"), QStringLiteral("description")}));
    QListWidget* types = dialog.getAttributeTypeList();
    EXPECT_EQ(types->item(0)->toolTip(), QStringLiteral("Required"));
    EXPECT_TRUE(types->item(2)->font().bold());
    EXPECT_FALSE(types->item(3)->font().bold());
    EXPECT_FALSE(dialog.getShowAllBox()->isChecked());

    // inetOrgPerson requires only what its superiors require.
    dialog.selectObjectClass(L"inetOrgPerson");
    const QStringList inherited = listTexts(*dialog.getAttributeTypeList());
    EXPECT_EQ(inherited.mid(0, 3), (QStringList{QStringLiteral("sn"), QStringLiteral("cn"),
                                                QStringLiteral("objectClass")}));
    EXPECT_TRUE(inherited.contains(QStringLiteral("mail")));
    EXPECT_TRUE(inherited.contains(QStringLiteral("telephoneNumber")));
    EXPECT_EQ(inherited.count(QStringLiteral("cn")), 1);

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
    EXPECT_EQ(listTexts(*dialog.getAttributeTypeList()).value(0), QStringLiteral("cn"));
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

#include "SchemaAndLimitDialogsTest.moc"
