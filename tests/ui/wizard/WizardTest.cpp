// The create-entry wizard against the test server: the class lists of page 1,
// the attribute rows of page 2 built from the schema, value editing, the
// checks on Next and Finish, and the entries it adds, read back through a
// second connection.

#include "dialogs/CDialogEditInfo.h"
#include "dialogs/CDialogModifyValue.h"
#include "model/Model.h"
#include "records/LDAPAttribute.h"
#include "schema/LDAPObjectClass.h"
#include "schema/LDAPSchema.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestDirectoryServer.h"
#include "ui/support/ScriptedDialogs.h"
#include "ui/support/UiTestSupport.h"
#include "utilities/Util.h"
#include "views/CGridControl.h"
#include "wizard/CWizardCreateEntry.h"
#include "wizard/CWizardCreateEntryClasses.h"
#include "wizard/CWizardCreateEntryEdit.h"

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

using dirtest::sorted;
using dirtest::TestDirectoryServer;
using ldapmodel::LDAPAttribute;
using ldapmodel::LDAPObjectClass;
using ldapmodel::LDAPSchema;
using ldapmodel::Model;
using memorylib::gc_ptr;
using util::BoxAnswer;
using util::BoxButtons;

namespace {

using Row = std::pair<QString, QString>;
using Rows = std::vector<Row>;

const std::string kScratchDn = "ou=WizardScratch,dc=example,dc=com";
const std::wstring kScratchDnWide = L"ou=WizardScratch,dc=example,dc=com";
const QString kNotice = QStringLiteral("Binary value. Use \"Modify-Save\" to save to file");

std::wstring wide(const std::string& utf8) { return util::fromUtf8(utf8); }

QStringList itemsOf(const QListWidget& list)
{
    QStringList items;
    for (int row = 0; row < list.count(); ++row)
        items << list.item(row)->text();
    return items;
}

QStringList toQt(const std::vector<std::wstring>& names)
{
    QStringList list;
    for (const std::wstring& name : names)
        list << QString::fromStdWString(name);
    return list;
}

Rows rowsOf(const CGridControl& list)
{
    Rows rows;
    for (int row = 0; row < list.getRowCount(); ++row)
        rows.emplace_back(list.getItemString(row, 0), list.getItemString(row, 1));
    return rows;
}

int rowOf(const CGridControl& list, const QString& name)
{
    for (int row = 0; row < list.getRowCount(); ++row) {
        if (list.getItemString(row, 0).compare(name, Qt::CaseInsensitive) == 0)
            return row;
    }
    return -1;
}

class WizardTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        std::string output;
        TestDirectoryServer::shared().runLdapmodify(
            "dn: " + kScratchDn + "\nchangetype: add\nobjectClass: organizationalUnit\nou: WizardScratch\n",
            output);
    }
    static void TearDownTestSuite()
    {
        std::string output;
        TestDirectoryServer::runProcess({"ldapdelete", "-x", "-r", "-H", TestDirectoryServer::shared().uri(), "-D",
                                         TestDirectoryServer::adminDn(), "-w",
                                         TestDirectoryServer::adminPassword(), kScratchDn},
                                        "", output);
        Model::instance().disconnect();
    }

    void SetUp() override
    {
        const TestDirectoryServer& server = TestDirectoryServer::shared();
        Model& model = Model::instance();
        if (!model.isConnected()) {
            model.setHost(wide(server.host()));
            model.setPort(server.port());
            model.setBaseDN(wide(server.baseDn()));
            model.setBindDN(wide(server.adminDn()));
            model.setPassword(wide(server.adminPassword()));
            ASSERT_EQ(model.connect(false), 0);
        }
        schema = model.getSchema();
        ASSERT_NE(schema.getObject(), nullptr);
        ASSERT_FALSE(schema->getObjectClasses().empty());
        boxes.clear();
    }

    // Runs a wizard below parentDN whose first page is driven by script.
    int runWizard(CWizardCreateEntry& wizard, const std::function<void(CWizardCreateEntry&)>& script)
    {
        dialogs.queueDialog([&script](QDialog& dialog) {
            auto& shown = dynamic_cast<CWizardCreateEntry&>(dialog);
            shown.show();
            script(shown);
        });
        return wizard.run();
    }

    // Picks the classes on page 1 with the Add button, in order.
    static void addClasses(CWizardCreateEntry& wizard, const std::vector<QString>& names)
    {
        CWizardCreateEntryClasses* page = wizard.getClassesPage();
        for (const QString& name : names) {
            const QList<QListWidgetItem*> found = page->getSchemaClassList()->findItems(name, Qt::MatchExactly);
            ASSERT_EQ(found.size(), 1) << name.toStdString();
            page->getSchemaClassList()->setCurrentItem(found.front());
            page->getAddButton()->click();
        }
    }

    // Picks the classes and goes on to page 2.
    static void toEditPage(CWizardCreateEntry& wizard, const std::vector<QString>& names)
    {
        addClasses(wizard, names);
        wizard.next();
        ASSERT_EQ(wizard.currentId(), CWizardCreateEntry::EditPageId);
    }

    // Gives the named attribute the text through the value dialog.
    void setValue(CWizardCreateEntry& wizard, const QString& name, const QString& text)
    {
        CWizardCreateEntryEdit* page = wizard.getEditPage();
        const int row = rowOf(*page->getAttributeList(), name);
        ASSERT_GE(row, 0) << name.toStdString();
        page->getAttributeList()->selectRow(row);
        dialogs.queueDialog([text](QDialog& dialog) {
            auto& valueDialog = dynamic_cast<CDialogModifyValue&>(dialog);
            valueDialog.show();
            valueDialog.getValueEdit()->setText(text);
            valueDialog.getOkButton()->click();
        });
        page->getEditValueAction()->trigger();
    }

    // Loads the named binary attribute's value from a file through the
    // value dialog; what the dialog was preset with goes to presetText.
    void loadValue(CWizardCreateEntry& wizard, const QString& name, const QString& path, QString& presetText,
                   bool& presetBinary)
    {
        CWizardCreateEntryEdit* page = wizard.getEditPage();
        const int row = rowOf(*page->getAttributeList(), name);
        ASSERT_GE(row, 0) << name.toStdString();
        page->getAttributeList()->selectRow(row);
        dialogs.queueFile(path);
        dialogs.queueDialog([&presetText, &presetBinary](QDialog& dialog) {
            auto& valueDialog = dynamic_cast<CDialogModifyValue&>(dialog);
            valueDialog.show();
            presetText = valueDialog.getValueEdit()->text();
            presetBinary = valueDialog.isBinary();
            EXPECT_EQ(valueDialog.OnLoadFromFile(), 0);
            valueDialog.getOkButton()->click();
        });
        page->getEditValueAction()->trigger();
    }

    static void finish(CWizardCreateEntry& wizard, const QString& rdn)
    {
        wizard.getEditPage()->getRdnEdit()->setText(rdn);
        wizard.button(QWizard::FinishButton)->click();
    }

    // The MAY names the classes of one SUP chain name themselves, in chain
    // order, each once.
    std::vector<std::wstring> chainMay(std::initializer_list<const wchar_t*> chain) const
    {
        std::vector<std::wstring> names;
        for (const wchar_t* className : chain) {
            std::vector<std::wstring> own;
            schema->findObjectClass(className)->copyMayList(own);
            for (const std::wstring& name : own) {
                if (std::find(names.begin(), names.end(), name) == names.end())
                    names.push_back(name);
            }
        }
        return names;
    }

    dirtest::ScriptedMessageBoxes boxes;
    dirtest::ScriptedDialogs dialogs;
    gc_ptr<LDAPSchema> schema;
};

// ---- page 1 ---------------------------------------------------------------

TEST_F(WizardTest, FirstPageListsEverySchemaClassInSchemaOrder)
{
    CWizardCreateEntry wizard(kScratchDnWide);
    std::vector<std::wstring> schemaNames;
    schema->getObjectClassNames(schemaNames);
    QStringList left;
    QStringList right;
    QString parent;
    QString title;
    QString pageTitle;
    runWizard(wizard, [&](CWizardCreateEntry& shown) {
        CWizardCreateEntryClasses* page = shown.getClassesPage();
        left = itemsOf(*page->getSchemaClassList());
        right = itemsOf(*page->getChosenClassList());
        parent = page->getParentDNEdit()->text();
        title = shown.windowTitle();
        pageTitle = page->title();
        shown.reject();
    });
    EXPECT_EQ(title, QStringLiteral("Create New Entry"));
    EXPECT_EQ(pageTitle, QStringLiteral("Create New Entry Wizard Page 1/2"));
    EXPECT_EQ(left, toQt(schemaNames));
    // Abstract classes are offered too.
    EXPECT_TRUE(left.contains(QStringLiteral("top")));
    EXPECT_TRUE(right.isEmpty());
    EXPECT_EQ(parent, QString::fromStdWString(kScratchDnWide));
    EXPECT_TRUE(wizard.getNewLDAPRelativeDn().empty());
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(WizardTest, AddingAndRemovingAClassReturnsItToItsPlace)
{
    CWizardCreateEntry wizard(kScratchDnWide);
    QStringList before, afterAdd, chosenAfterAdd, afterRemove, chosenAfterRemove;
    runWizard(wizard, [&](CWizardCreateEntry& shown) {
        CWizardCreateEntryClasses* page = shown.getClassesPage();
        before = itemsOf(*page->getSchemaClassList());
        addClasses(shown, {QStringLiteral("person"), QStringLiteral("device")});
        afterAdd = itemsOf(*page->getSchemaClassList());
        chosenAfterAdd = itemsOf(*page->getChosenClassList());
        page->getChosenClassList()->setCurrentRow(0);
        page->getRemoveButton()->click();
        afterRemove = itemsOf(*page->getSchemaClassList());
        chosenAfterRemove = itemsOf(*page->getChosenClassList());
        shown.reject();
    });
    QStringList expectedAfterAdd = before;
    expectedAfterAdd.removeAll(QStringLiteral("person"));
    expectedAfterAdd.removeAll(QStringLiteral("device"));
    EXPECT_EQ(afterAdd, expectedAfterAdd);
    EXPECT_EQ(chosenAfterAdd, QStringList({QStringLiteral("person"), QStringLiteral("device")}));
    QStringList expectedAfterRemove = before;
    expectedAfterRemove.removeAll(QStringLiteral("device"));
    EXPECT_EQ(afterRemove, expectedAfterRemove);
    EXPECT_EQ(chosenAfterRemove, QStringList({QStringLiteral("device")}));
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(WizardTest, MovingWithoutASelectionWarnsAndChangesNothing)
{
    CWizardCreateEntry wizard(kScratchDnWide);
    QStringList before, left, right, rightAfterRoundTrip;
    int addResult = 0, removeResult = 0, secondAddResult = 0, roundTripAddResult = 0;
    runWizard(wizard, [&](CWizardCreateEntry& shown) {
        CWizardCreateEntryClasses* page = shown.getClassesPage();
        before = itemsOf(*page->getSchemaClassList());
        addResult = page->OnAddClass();
        removeResult = page->OnRemoveClass();
        addClasses(shown, {QStringLiteral("person")});
        // The class just moved is no longer selected: a second Add warns
        // instead of choosing it twice.
        secondAddResult = page->OnAddClass();
        left = itemsOf(*page->getSchemaClassList());
        right = itemsOf(*page->getChosenClassList());
        // Nor does it come back after a round trip to the right list.
        page->getChosenClassList()->setCurrentRow(0);
        page->getRemoveButton()->click();
        roundTripAddResult = page->OnAddClass();
        rightAfterRoundTrip = itemsOf(*page->getChosenClassList());
        shown.reject();
    });
    EXPECT_EQ(addResult, -1);
    EXPECT_EQ(removeResult, -1);
    EXPECT_EQ(secondAddResult, -1);
    EXPECT_EQ(roundTripAddResult, -1);
    EXPECT_EQ(right, QStringList({QStringLiteral("person")}));
    EXPECT_TRUE(rightAfterRoundTrip.isEmpty());
    EXPECT_EQ(left.size(), before.size() - 1);
    const auto shown = boxes.boxes();
    ASSERT_EQ(shown.size(), 4u);
    for (const auto& box : shown) {
        EXPECT_EQ(box.caption, L"Warning");
        EXPECT_EQ(box.text, L"Select an object class above, first");
        EXPECT_EQ(box.buttons, BoxButtons::OkCancel);
    }
}

TEST_F(WizardTest, NextWithoutAChosenClassStaysOnTheFirstPage)
{
    CWizardCreateEntry wizard(kScratchDnWide);
    int page = -2;
    runWizard(wizard, [&](CWizardCreateEntry& shown) {
        shown.next();
        page = shown.currentId();
        shown.reject();
    });
    EXPECT_EQ(page, CWizardCreateEntry::ClassesPageId);
    const auto shown = boxes.boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, L"No classes selected");
    EXPECT_EQ(shown[0].text, L"Please select at least one nonabstract class\nfrom the object classes list on the left");
    EXPECT_EQ(shown[0].icon, util::BoxIcon::Error);
}

// ---- page 2: the attribute rows ----------------------------------------------

TEST_F(WizardTest, AttributeListsFollowTheSuperiorChainOfEachClass)
{
    // inetOrgPerson names neither cn nor sn itself: they come from person,
    // two steps up its SUP chain, and objectClass from top.
    CWizardCreateEntry wizard(kScratchDnWide);
    std::vector<std::wstring> must, may;
    Rows rows;
    QString pageTitle, parent;
    runWizard(wizard, [&](CWizardCreateEntry& shown) {
        toEditPage(shown, {QStringLiteral("inetOrgPerson")});
        CWizardCreateEntryEdit* page = shown.getEditPage();
        must = page->getMustList();
        may = page->getMayList();
        rows = rowsOf(*page->getAttributeList());
        pageTitle = page->title();
        parent = page->getParentDNEdit()->text();
        shown.reject();
    });
    EXPECT_EQ(pageTitle, QStringLiteral("Create New Entry Wizard Page 2/2"));
    EXPECT_EQ(parent, QString::fromStdWString(kScratchDnWide));
    EXPECT_EQ(must, (std::vector<std::wstring>{L"sn", L"cn", L"objectClass"}));
    // The class's own MAY names first, then those of its superiors, each
    // name once.
    EXPECT_EQ(may, chainMay({L"inetOrgPerson", L"organizationalPerson", L"person"}));
    ASSERT_EQ(rows.size(), 3 + may.size());
    EXPECT_EQ(rows[0], Row(QStringLiteral("objectclass"), QStringLiteral("inetOrgPerson")));
    EXPECT_EQ(rows[1], Row(QStringLiteral("sn"), QString()));
    EXPECT_EQ(rows[2], Row(QStringLiteral("cn"), QString()));
    for (std::size_t i = 0; i < may.size(); ++i)
        EXPECT_EQ(rows[i + 3], Row(QString::fromStdWString(may[i]), QString())) << i;
}

TEST_F(WizardTest, MustNamesComeFirstAndEachNameGivesOneRecord)
{
    CWizardCreateEntry wizard(kScratchDnWide);
    std::vector<std::wstring> must, may;
    std::vector<std::wstring> records;
    std::vector<std::int32_t> states;
    std::vector<std::wstring> classValues;
    runWizard(wizard, [&](CWizardCreateEntry& shown) {
        toEditPage(shown, {QStringLiteral("top"), QStringLiteral("person"), QStringLiteral("organizationalPerson")});
        CWizardCreateEntryEdit* page = shown.getEditPage();
        must = page->getMustList();
        may = page->getMayList();
        for (const auto& attribute : page->getAttributes()) {
            records.push_back(attribute->getName());
            states.push_back(attribute->getState());
        }
        for (const auto& value : page->getObjectClassAttribute()->getValues())
            classValues.push_back(value->toString());
        states.push_back(page->getObjectClassAttribute()->getState());
        shown.reject();
    });
    // The lists hold what each class and its superiors name, class by
    // class: top; person, top; organizationalPerson, person, top.
    EXPECT_EQ(must, (std::vector<std::wstring>{L"objectClass", L"sn", L"cn", L"objectClass", L"sn", L"cn",
                                               L"objectClass"}));
    std::vector<std::wstring> expectedMay = chainMay({L"person"});
    for (const std::wstring& name : chainMay({L"organizationalPerson", L"person"}))
        expectedMay.push_back(name);
    EXPECT_EQ(may, expectedMay);

    // The records: MUST names first, objectClass left to its own record,
    // names that person and organizationalPerson share only once.
    ASSERT_GE(records.size(), 2u);
    EXPECT_EQ(records[0], L"sn");
    EXPECT_EQ(records[1], L"cn");
    std::vector<std::wstring> unique = records;
    for (auto& name : unique)
        std::transform(name.begin(), name.end(), name.begin(),
                       [](wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c; });
    std::sort(unique.begin(), unique.end());
    EXPECT_EQ(std::adjacent_find(unique.begin(), unique.end()), unique.end());
    EXPECT_EQ(std::count(unique.begin(), unique.end(), L"objectclass"), 0);
    EXPECT_EQ(std::count(unique.begin(), unique.end(), L"telephonenumber"), 1);
    EXPECT_EQ(std::count(may.begin(), may.end(), L"telephoneNumber"), 2);
    EXPECT_EQ(classValues, (std::vector<std::wstring>{L"top", L"person", L"organizationalPerson"}));
    for (std::int32_t state : states)
        EXPECT_EQ(state, LDAPAttribute::ATTRIBUTE_NEW);
}

TEST_F(WizardTest, BackKeepsTheChoiceAndNextRebuildsTheRows)
{
    CWizardCreateEntry wizard(kScratchDnWide);
    QStringList chosenAfterBack;
    std::vector<std::wstring> mustAfter;
    QString rdnAfter;
    runWizard(wizard, [&](CWizardCreateEntry& shown) {
        toEditPage(shown, {QStringLiteral("device")});
        shown.getEditPage()->getRdnEdit()->setText(QStringLiteral("cn=kept"));
        shown.back();
        chosenAfterBack = itemsOf(*shown.getClassesPage()->getChosenClassList());
        addClasses(shown, {QStringLiteral("person")});
        shown.next();
        mustAfter = shown.getEditPage()->getMustList();
        rdnAfter = shown.getEditPage()->getRdnEdit()->text();
        shown.reject();
    });
    EXPECT_EQ(chosenAfterBack, QStringList({QStringLiteral("device")}));
    EXPECT_EQ(mustAfter, (std::vector<std::wstring>{L"cn", L"objectClass", L"sn", L"cn", L"objectClass"}));
    EXPECT_EQ(rdnAfter, QStringLiteral("cn=kept"));
}

// ---- page 2: editing -----------------------------------------------------------

TEST_F(WizardTest, ObjectclassRowRefusesEdits)
{
    CWizardCreateEntry wizard(kScratchDnWide);
    int result = 0;
    Rows before, after;
    runWizard(wizard, [&](CWizardCreateEntry& shown) {
        toEditPage(shown, {QStringLiteral("person")});
        CWizardCreateEntryEdit* page = shown.getEditPage();
        before = rowsOf(*page->getAttributeList());
        page->getAttributeList()->selectRow(0);
        result = page->OnEditValue();
        page->getEditValueAction()->trigger();
        after = rowsOf(*page->getAttributeList());
        shown.reject();
    });
    EXPECT_EQ(result, -1);
    EXPECT_EQ(before, after);
    EXPECT_EQ(before[0], Row(QStringLiteral("objectclass"), QStringLiteral("person")));
    // No value dialog was opened: only the wizard ran.
    EXPECT_EQ(dialogs.dialogClasses(), std::vector<QString>({QStringLiteral("CWizardCreateEntry")}));
    const auto shown = boxes.boxes();
    ASSERT_EQ(shown.size(), 2u);
    for (const auto& box : shown) {
        EXPECT_EQ(box.caption, L"Warning");
        EXPECT_EQ(box.text, L"Can't modify objectclass attribute");
    }
}

TEST_F(WizardTest, EditingWithoutASelectedRowDoesNothing)
{
    CWizardCreateEntry wizard(kScratchDnWide);
    int result = 0;
    runWizard(wizard, [&](CWizardCreateEntry& shown) {
        toEditPage(shown, {QStringLiteral("person")});
        shown.getEditPage()->getAttributeList()->clearSelection();
        result = shown.getEditPage()->OnEditValue();
        shown.reject();
    });
    EXPECT_EQ(result, -1);
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_EQ(dialogs.dialogClasses().size(), 1u);
}

TEST_F(WizardTest, AnEditedValueReplacesTheOneBefore)
{
    CWizardCreateEntry wizard(kScratchDnWide);
    Rows rows;
    int valueCount = 0;
    std::int32_t state = 0;
    QString menuTitle, actionText;
    runWizard(wizard, [&](CWizardCreateEntry& shown) {
        toEditPage(shown, {QStringLiteral("person")});
        setValue(shown, QStringLiteral("description"), QStringLiteral("first"));
        setValue(shown, QStringLiteral("description"), QStringLiteral("second"));
        CWizardCreateEntryEdit* page = shown.getEditPage();
        rows = rowsOf(*page->getAttributeList());
        gc_ptr<LDAPAttribute> record = page->getRowAttribute(rowOf(*page->getAttributeList(), "description"));
        valueCount = record->getValueCount();
        state = record->getState();
        menuTitle = page->getContextMenu()->title();
        actionText = page->getEditValueAction()->text();
        shown.reject();
    });
    EXPECT_EQ(menuTitle, QStringLiteral("&Create"));
    EXPECT_EQ(actionText, QStringLiteral("&Edit Value"));
    EXPECT_EQ(valueCount, 1);
    EXPECT_EQ(state, LDAPAttribute::ATTRIBUTE_NEW);
    EXPECT_EQ(std::count(rows.begin(), rows.end(), Row("description", "second")), 1);
    EXPECT_EQ(std::count_if(rows.begin(), rows.end(), [](const Row& r) { return r.first == "description"; }), 1);
    EXPECT_EQ(dialogs.dialogClasses(),
              std::vector<QString>({QStringLiteral("CWizardCreateEntry"), QStringLiteral("CDialogModifyValue"),
                                    QStringLiteral("CDialogModifyValue")}));
}

TEST_F(WizardTest, BinaryValuesShowTheNoticeAndReachTheServerWhole)
{
    const std::string photo = TestDirectoryServer::readDataFile(dirtest::sample::kPhotoFile);
    ASSERT_FALSE(photo.empty());
    const QString path = QString::fromStdString(TestDirectoryServer::dataDirectory() + "/" +
                                                dirtest::sample::kPhotoFile);
    CWizardCreateEntry wizard(kScratchDnWide);
    QString firstPreset, secondPreset;
    bool firstBinary = false, secondBinary = false, textBinary = true;
    Rows rowsBefore, rowsAfter;
    runWizard(wizard, [&](CWizardCreateEntry& shown) {
        toEditPage(shown, {QStringLiteral("person"), QStringLiteral("organizationalPerson"),
                           QStringLiteral("inetOrgPerson")});
        CWizardCreateEntryEdit* page = shown.getEditPage();
        rowsBefore = rowsOf(*page->getAttributeList());
        setValue(shown, QStringLiteral("cn"), QStringLiteral("Photo Owner"));
        setValue(shown, QStringLiteral("sn"), QStringLiteral("Owner"));
        loadValue(shown, QStringLiteral("jpegPhoto"), path, firstPreset, firstBinary);
        // Loaded again: the dialog now starts from the notice and the value.
        loadValue(shown, QStringLiteral("jpegPhoto"), path, secondPreset, secondBinary);
        rowsAfter = rowsOf(*page->getAttributeList());
        dialogs.queueDialog([&textBinary](QDialog& dialog) {
            textBinary = dynamic_cast<CDialogModifyValue&>(dialog).isBinary();
            dialog.reject();
        });
        page->getAttributeList()->selectRow(rowOf(*page->getAttributeList(), "sn"));
        EXPECT_EQ(page->OnEditValue(), -1);  // cancelled: nothing changes
        finish(shown, QStringLiteral("cn=Photo Owner"));
    });
    EXPECT_EQ(std::count(rowsBefore.begin(), rowsBefore.end(), Row("jpegPhoto", QString())), 1);
    EXPECT_EQ(std::count(rowsAfter.begin(), rowsAfter.end(), Row("jpegPhoto", kNotice)), 1);
    EXPECT_TRUE(firstBinary);
    EXPECT_TRUE(firstPreset.isEmpty());
    EXPECT_TRUE(secondBinary);
    EXPECT_EQ(secondPreset, kNotice);
    EXPECT_FALSE(textBinary);
    ASSERT_TRUE(wizard.isEntryCreated());
    const std::string ldif = TestDirectoryServer::shared().entryLdif("cn=Photo Owner," + kScratchDn);
    EXPECT_EQ(TestDirectoryServer::ldifValues(ldif, "jpegPhoto"), std::vector<std::string>{photo});
    EXPECT_EQ(TestDirectoryServer::ldifValues(ldif, "sn"), std::vector<std::string>{"Owner"});
}

// ---- Finish ----------------------------------------------------------------------

TEST_F(WizardTest, AnEmptyRdnKeepsTheWizardOpen)
{
    CWizardCreateEntry wizard(kScratchDnWide);
    int page = -2;
    bool visible = false;
    runWizard(wizard, [&](CWizardCreateEntry& shown) {
        toEditPage(shown, {QStringLiteral("device")});
        setValue(shown, QStringLiteral("cn"), QStringLiteral("nordn"));
        finish(shown, QString());
        page = shown.currentId();
        visible = shown.isVisible();
        shown.reject();
    });
    EXPECT_EQ(page, CWizardCreateEntry::EditPageId);
    EXPECT_TRUE(visible);
    const auto shown = boxes.boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, L"Warning");
    EXPECT_EQ(shown[0].text, L"Please enter e relative dn");
    EXPECT_EQ(shown[0].buttons, BoxButtons::OkCancel);
    EXPECT_TRUE(wizard.getNewLDAPRelativeDn().empty());
    EXPECT_FALSE(wizard.isEntryCreated());
    EXPECT_FALSE(TestDirectoryServer::shared().entryExists("cn=nordn," + kScratchDn));
}

TEST_F(WizardTest, CreatesAnInetOrgPersonWithCnAndSn)
{
    CWizardCreateEntry wizard(kScratchDnWide);
    QString recordTitle, recordText;
    const int result = runWizard(wizard, [&](CWizardCreateEntry& shown) {
        toEditPage(shown, {QStringLiteral("person"), QStringLiteral("organizationalPerson"),
                           QStringLiteral("inetOrgPerson")});
        setValue(shown, QStringLiteral("cn"), QStringLiteral("Jane Smith"));
        setValue(shown, QStringLiteral("sn"), QStringLiteral("Smith"));
        setValue(shown, QStringLiteral("mail"), QStringLiteral("jane@example.com"));
        dialogs.queueDialog([&](QDialog& dialog) {
            auto& info = dynamic_cast<CDialogEditInfo&>(dialog);
            info.show();
            recordTitle = info.getTitleLabel()->text();
            recordText = info.getEdit()->toPlainText();
            info.getOkButton()->click();
        });
        finish(shown, QStringLiteral("cn=Jane Smith"));
    });
    // The record of what was sent: values given, then the classes.
    EXPECT_EQ(recordTitle, QStringLiteral("cn=Jane Smith,ou=WizardScratch,dc=example,dc=com"));
    EXPECT_EQ(recordText, QStringLiteral("dn: cn=Jane Smith,ou=WizardScratch,dc=example,dc=com\n"
                                         "sn: Smith\n"
                                         "cn: Jane Smith\n"
                                         "mail: jane@example.com\n"
                                         "objectclass: person\n"
                                         "objectclass: organizationalPerson\n"
                                         "objectclass: inetOrgPerson\n"));
    EXPECT_EQ(dialogs.dialogClasses().back(), QStringLiteral("CDialogEditInfo"));
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_FALSE(wizard.isVisible());
    EXPECT_EQ(wizard.getNewLDAPRelativeDn(), L"cn=Jane Smith");
    EXPECT_EQ(wizard.getNewDN(), L"cn=Jane Smith," + kScratchDnWide);
    EXPECT_TRUE(wizard.isEntryCreated());
    const auto shown = boxes.boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, L"Entry created");
    EXPECT_EQ(shown[0].text, L"Entry created.");

    const TestDirectoryServer& server = TestDirectoryServer::shared();
    const std::string dn = "cn=Jane Smith," + kScratchDn;
    ASSERT_TRUE(server.entryExists(dn));
    const std::string ldif = server.entryLdif(dn);
    EXPECT_EQ(sorted(TestDirectoryServer::ldifValues(ldif, "objectClass")),
              (std::vector<std::string>{"inetOrgPerson", "organizationalPerson", "person"}));
    EXPECT_EQ(TestDirectoryServer::ldifValues(ldif, "cn"), std::vector<std::string>{"Jane Smith"});
    EXPECT_EQ(TestDirectoryServer::ldifValues(ldif, "sn"), std::vector<std::string>{"Smith"});
    EXPECT_EQ(TestDirectoryServer::ldifValues(ldif, "mail"), std::vector<std::string>{"jane@example.com"});
    // Attributes left empty were not sent.
    EXPECT_TRUE(TestDirectoryServer::ldifValues(ldif, "description").empty());
}

TEST_F(WizardTest, InetOrgPersonChosenAloneIsCreated)
{
    CWizardCreateEntry wizard(kScratchDnWide);
    runWizard(wizard, [&](CWizardCreateEntry& shown) {
        toEditPage(shown, {QStringLiteral("inetOrgPerson")});
        setValue(shown, QStringLiteral("cn"), QStringLiteral("Solo Person"));
        setValue(shown, QStringLiteral("sn"), QStringLiteral("Person"));
        dialogs.queueDialog([](QDialog& dialog) { dialog.accept(); });  // the record sent
        finish(shown, QStringLiteral("cn=Solo Person"));
    });
    EXPECT_TRUE(wizard.isEntryCreated());
    const auto shown = boxes.boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, L"Entry created.");
    const std::string ldif = TestDirectoryServer::shared().entryLdif("cn=Solo Person," + kScratchDn);
    EXPECT_EQ(TestDirectoryServer::ldifValues(ldif, "objectClass"), std::vector<std::string>{"inetOrgPerson"});
    EXPECT_EQ(TestDirectoryServer::ldifValues(ldif, "sn"), std::vector<std::string>{"Person"});
}

TEST_F(WizardTest, TheParentDnEditedOnTheFirstPageIsUsed)
{
    std::string output;
    const std::string parent = "ou=Inner," + kScratchDn;
    ASSERT_TRUE(TestDirectoryServer::shared().runLdapmodify(
        "dn: " + parent + "\nchangetype: add\nobjectClass: organizationalUnit\nou: Inner\n", output))
        << output;
    CWizardCreateEntry wizard(kScratchDnWide);
    QString shownParent;
    runWizard(wizard, [&](CWizardCreateEntry& shown) {
        shown.getClassesPage()->getParentDNEdit()->setText(QString::fromStdString(parent));
        toEditPage(shown, {QStringLiteral("device")});
        shownParent = shown.getEditPage()->getParentDNEdit()->text();
        setValue(shown, QStringLiteral("cn"), QStringLiteral("inner"));
        finish(shown, QStringLiteral("cn=inner"));
    });
    EXPECT_EQ(shownParent, QString::fromStdString(parent));
    EXPECT_TRUE(wizard.isEntryCreated());
    EXPECT_EQ(wizard.getParentDN(), kScratchDnWide);
    EXPECT_EQ(wizard.getParentDNText(), wide(parent));
    EXPECT_TRUE(TestDirectoryServer::shared().entryExists("cn=inner," + parent));
    EXPECT_FALSE(TestDirectoryServer::shared().entryExists("cn=inner," + kScratchDn));
}

TEST_F(WizardTest, ARefusedAddAnsweredCancelLeavesNoEntry)
{
    // person needs sn, which is left empty.
    boxes.queueAnswer(BoxAnswer::Ok);      // the server's refusal
    boxes.queueAnswer(BoxAnswer::Cancel);  // "Can't create object ..."
    CWizardCreateEntry wizard(kScratchDnWide);
    const int result = runWizard(wizard, [&](CWizardCreateEntry& shown) {
        toEditPage(shown, {QStringLiteral("person")});
        setValue(shown, QStringLiteral("cn"), QStringLiteral("NoSurname"));
        finish(shown, QStringLiteral("cn=NoSurname"));
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_FALSE(wizard.isVisible());
    EXPECT_EQ(wizard.getNewLDAPRelativeDn(), L"cn=NoSurname");
    EXPECT_FALSE(wizard.isEntryCreated());
    const auto shown = boxes.boxes();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].caption, L"LDAP Message");
    // The specified text, then the server's own explanation.
    EXPECT_EQ(shown[0].text, L"Object class violation. LDAPError 65: Object class violation\n"
                             L"object class 'person' requires attribute 'sn'");
    EXPECT_EQ(shown[1].caption, L"LDAP Message");
    EXPECT_EQ(shown[1].text, L"Can't create object, do you want to modify the attributes?");
    EXPECT_EQ(shown[1].buttons, BoxButtons::OkCancel);
    EXPECT_FALSE(TestDirectoryServer::shared().entryExists("cn=NoSurname," + kScratchDn));
    // No record is shown for an entry that was not created.
    const auto& run = dialogs.dialogClasses();
    EXPECT_EQ(std::count(run.begin(), run.end(), QStringLiteral("CDialogEditInfo")), 0);
}

TEST_F(WizardTest, ARefusedAddAnsweredOkKeepsEverythingForAnotherTry)
{
    std::string output;
    ASSERT_TRUE(TestDirectoryServer::shared().runLdapmodify(
        "dn: cn=taken," + kScratchDn + "\nchangetype: add\nobjectClass: device\ncn: taken\n", output))
        << output;
    boxes.queueAnswer(BoxAnswer::Ok);  // the server's refusal
    boxes.queueAnswer(BoxAnswer::Ok);  // modify the attributes
    CWizardCreateEntry wizard(kScratchDnWide);
    int pageAfterRefusal = -2;
    bool visibleAfterRefusal = false;
    Rows rowsBefore, rowsAfter;
    QString rdnAfter;
    const int result = runWizard(wizard, [&](CWizardCreateEntry& shown) {
        toEditPage(shown, {QStringLiteral("device")});
        setValue(shown, QStringLiteral("cn"), QStringLiteral("taken"));
        setValue(shown, QStringLiteral("description"), QStringLiteral("second try"));
        rowsBefore = rowsOf(*shown.getEditPage()->getAttributeList());
        finish(shown, QStringLiteral("cn=taken"));
        pageAfterRefusal = shown.currentId();
        visibleAfterRefusal = shown.isVisible();
        rowsAfter = rowsOf(*shown.getEditPage()->getAttributeList());
        rdnAfter = shown.getEditPage()->getRdnEdit()->text();
        setValue(shown, QStringLiteral("cn"), QStringLiteral("free"));
        finish(shown, QStringLiteral("cn=free"));
    });
    EXPECT_EQ(pageAfterRefusal, CWizardCreateEntry::EditPageId);
    EXPECT_TRUE(visibleAfterRefusal);
    EXPECT_EQ(rowsAfter, rowsBefore);
    EXPECT_EQ(rdnAfter, QStringLiteral("cn=taken"));
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(wizard.getNewLDAPRelativeDn(), L"cn=free");
    EXPECT_TRUE(wizard.isEntryCreated());
    const auto shown = boxes.boxes();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_NE(shown[0].text.find(L"LDAPError 68"), std::wstring::npos);  // already exists
    EXPECT_EQ(shown[1].text, L"Can't create object, do you want to modify the attributes?");
    EXPECT_EQ(shown[2].text, L"Entry created.");
    const TestDirectoryServer& server = TestDirectoryServer::shared();
    EXPECT_TRUE(server.entryLdif("cn=taken," + kScratchDn).find("second try") == std::string::npos);
    EXPECT_EQ(TestDirectoryServer::ldifValues(server.entryLdif("cn=free," + kScratchDn), "description"),
              std::vector<std::string>{"second try"});
}

TEST_F(WizardTest, CancellingTheWizardLeavesNoRdn)
{
    CWizardCreateEntry wizard(kScratchDnWide);
    const int result = runWizard(wizard, [&](CWizardCreateEntry& shown) {
        toEditPage(shown, {QStringLiteral("device")});
        setValue(shown, QStringLiteral("cn"), QStringLiteral("cancelled"));
        shown.getEditPage()->getRdnEdit()->setText(QStringLiteral("cn=cancelled"));
        shown.button(QWizard::CancelButton)->click();
    });
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_TRUE(wizard.getNewLDAPRelativeDn().empty());
    EXPECT_TRUE(wizard.getNewDN().empty());
    EXPECT_FALSE(wizard.isEntryCreated());
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_FALSE(TestDirectoryServer::shared().entryExists("cn=cancelled," + kScratchDn));
}

} // namespace
