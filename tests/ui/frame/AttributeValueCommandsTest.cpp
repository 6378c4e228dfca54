// The main window's attribute and value commands against the test server,
// raised from the main window (record view selection) and from the
// modify-entry dialog: add with a language tag, binary values through files,
// modify, delete one value and all values. The directory is read back
// through a second connection.

#include "dialogs/CDialogAddAttribute.h"
#include "dialogs/CDialogAddValue.h"
#include "dialogs/CDialogDeleteAttribute.h"
#include "dialogs/CDialogModifyEntry.h"
#include "dialogs/CDialogModifyValue.h"
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

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTreeWidgetItem>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using dirtest::deleteTree;
using dirtest::ldapModify;
using dirtest::readBytes;
using dirtest::ScriptedDialogs;
using dirtest::ScriptedMessageBoxes;
using dirtest::sorted;
using dirtest::TestDirectoryServer;
using dirtest::writeBytes;
using ldapmodel::Model;
using util::BoxAnswer;
using util::BoxButtons;

namespace {

const std::string kScratch = "ou=ValueCommands,dc=example,dc=com";
const std::wstring kBase = L"dc=example,dc=com";
const QString kNotice = QStringLiteral("Binary value. Use \"Modify-Save\" to save to file");

std::wstring wide(const std::string& utf8) { return util::fromUtf8(utf8); }

std::vector<std::string> serverValues(const std::string& dn, const std::string& attribute)
{
    const std::string ldif = TestDirectoryServer::shared().entryLdif(dn, {attribute});
    return TestDirectoryServer::ldifValues(ldif, attribute);
}

std::string entryCsn(const std::string& dn)
{
    const auto values = serverValues(dn, "entryCSN");
    return values.empty() ? std::string() : values.front();
}

class AttributeValueCommandsTest : public dirtest::MainFrameFixture {
protected:
    static void SetUpTestSuite()
    {
        deleteTree(kScratch);
        ldapModify("dn: " + kScratch
                   + "\nchangetype: add\nobjectClass: organizationalUnit\nou: ValueCommands\n");
    }
    static void TearDownTestSuite() { tearDownScratch(kScratch); }

    void SetUp() override
    {
        ASSERT_TRUE(m_files.isValid());
        MainFrameFixture::SetUp();
    }

    std::string path(const char* name) const { return m_files.filePath(QString::fromLatin1(name)).toStdString(); }

    // A person of this test below the scratch entry, made active through
    // the tree; extra holds further LDIF lines.
    std::string createPerson(const std::string& cn, const std::string& extra = std::string())
    {
        const std::string dn = "cn=" + cn + "," + kScratch;
        EXPECT_TRUE(ldapModify("dn: " + dn
                               + "\nchangetype: add\nobjectClass: person\nobjectClass: organizationalPerson\n"
                               "objectClass: inetOrgPerson\ncn: " + cn
                               + "\nsn: Tester\n" + extra));
        open(wide(dn));
        return dn;
    }

    CListEntryAttributes* record() const { return m_frame->getRecordView(); }

    static int rowOf(const CGridControl& grid, const QString& name, const QString& value)
    {
        for (int row = 0; row < grid.getRowCount(); ++row) {
            if (grid.getItemString(row, 0).compare(name, Qt::CaseInsensitive) == 0
                && grid.getItemString(row, 1) == value)
                return row;
        }
        return -1;
    }

    // Selects the record view's row of that attribute and value text.
    void selectRecord(const QString& name, const QString& value)
    {
        const int row = rowOf(*record(), name, value);
        ASSERT_GE(row, 0) << name.toStdString() << " " << value.toStdString();
        ASSERT_EQ(record()->selectRow(row), 0);
    }

    QStringList recordValues(const QString& name) const
    {
        QStringList values;
        for (int row = 0; row < record()->getRowCount(); ++row) {
            if (record()->getItemString(row, 0).compare(name, Qt::CaseInsensitive) == 0)
                values << record()->getItemString(row, 1);
        }
        return values;
    }

    static QStringList gridValues(const CGridControl& grid, const QString& name)
    {
        QStringList values;
        for (int row = 0; row < grid.getRowCount(); ++row) {
            if (grid.getItemString(row, 0).compare(name, Qt::CaseInsensitive) == 0)
                values << grid.getItemString(row, 1);
        }
        return values;
    }

    // Opens the modify-entry dialog from the main window and runs script in
    // it; the dialog is closed afterwards.
    void inModifyDialog(const std::function<void(CDialogModifyEntry&)>& script)
    {
        m_dialogs.queueDialog([script](QDialog& dialog) {
            auto& modify = dynamic_cast<CDialogModifyEntry&>(dialog);
            modify.show();
            script(modify);
            modify.getButton(0)->click();
        });
        EXPECT_EQ(m_frame->OnEntryModify(), 0);
        EXPECT_EQ(m_dialogs.pendingDialogs(), 0u);
    }

    static void selectGrid(CDialogModifyEntry& modify, const QString& name, const QString& value)
    {
        const int row = rowOf(*modify.getGrid(), name, value);
        ASSERT_GE(row, 0) << name.toStdString() << " " << value.toStdString();
        ASSERT_EQ(modify.getGrid()->selectRow(row), 0);
    }

    // The add-attribute dialog: class, type, then either a text value with
    // a language tag or a file.
    void queueAddAttribute(const QString& objectClass, const QString& type, const QString& text,
                           const QString& language, const std::string& file = std::string())
    {
        m_dialogs.queueDialog([=](QDialog& dialog) {
            auto& add = dynamic_cast<CDialogAddAttribute&>(dialog);
            add.show();
            const auto classes = add.getObjectClassList()->findItems(objectClass, Qt::MatchFixedString);
            ASSERT_EQ(classes.size(), 1) << objectClass.toStdString();
            add.getObjectClassList()->setCurrentItem(classes.front());
            const auto types = add.getAttributeTypeList()->findItems(type, Qt::MatchFixedString);
            ASSERT_EQ(types.size(), 1) << type.toStdString();
            add.getAttributeTypeList()->setCurrentItem(types.front());
            if (!file.empty()) {
                m_dialogs.queueFile(QString::fromStdString(file));
                ASSERT_EQ(add.OnLoadBinaryValue(), 0);
            } else {
                add.getValueEdit()->setText(text);
                add.getLanguageEdit()->setText(language);
            }
            add.getOkButton()->click();
        });
    }

    std::vector<std::wstring> boxTexts() const { return dirtest::boxTexts(m_boxes); }

    QTemporaryDir m_files;
    ScriptedMessageBoxes m_boxes;
    ScriptedDialogs m_dialogs;
};

// ---- add attribute ------------------------------------------------------------

TEST_F(AttributeValueCommandsTest, AnAttributeWithALanguageTagIsAddedFromBothPlaces)
{
    const std::string dn = createPerson("tagged");

    queueAddAttribute(QStringLiteral("person"), QStringLiteral("description"),
                      QStringLiteral("English words"), QStringLiteral("lang-en"));
    EXPECT_EQ(m_frame->OnAttributeAdd(), 0);
    EXPECT_EQ(serverValues(dn, "description;lang-en"), std::vector<std::string>{"English words"});
    EXPECT_EQ(recordValues(QStringLiteral("description;lang-en")),
              QStringList{QStringLiteral("English words")});
    EXPECT_TRUE(m_boxes.boxes().empty());

    QStringList gridAfter;
    inModifyDialog([&](CDialogModifyEntry& modify) {
        queueAddAttribute(QStringLiteral("person"), QStringLiteral("description"),
                          QStringLiteral("Deutsche Worte"), QStringLiteral("lang-de"));
        modify.getButton(1)->click();
        gridAfter = gridValues(*modify.getGrid(), QStringLiteral("description;lang-de"));
    });
    EXPECT_EQ(gridAfter, QStringList{QStringLiteral("Deutsche Worte")});
    EXPECT_EQ(serverValues(dn, "description;lang-de"), std::vector<std::string>{"Deutsche Worte"});
    EXPECT_EQ(recordValues(QStringLiteral("description;lang-de")),
              QStringList{QStringLiteral("Deutsche Worte")});

    // Cancel adds nothing and re-reads nothing.
    m_dialogs.queueDialog([](QDialog& dialog) { dialog.reject(); });
    EXPECT_EQ(m_frame->OnAttributeAdd(), -1);
    EXPECT_EQ(serverValues(dn, "description;lang-en").size(), 1u);
    EXPECT_EQ(serverValues(dn, "description;lang-de").size(), 1u);
}

// ---- binary values through files ------------------------------------------------

TEST_F(AttributeValueCommandsTest, ABinaryPhotoLoadedFromAFileIsSavedBackByteForByte)
{
    const std::string photoPath = TestDirectoryServer::dataDirectory() + "/photo.jpg";
    const std::string photo = readBytes(photoPath);
    ASSERT_EQ(photo.size(), 181u);
    const std::string dn = createPerson("pictured");

    queueAddAttribute(QStringLiteral("inetOrgPerson"), QStringLiteral("jpegPhoto"), QString(),
                      QString(), photoPath);
    EXPECT_EQ(m_frame->OnAttributeAdd(), 0);
    EXPECT_EQ(serverValues(dn, "jpegPhoto"), std::vector<std::string>{photo});
    EXPECT_EQ(recordValues(QStringLiteral("jpegPhoto")), QStringList{kNotice});

    // Main window: Modify-Save offers the file buttons and writes the bytes.
    const std::string saved = path("saved.jpg");
    selectRecord(QStringLiteral("jpegPhoto"), kNotice);
    bool binary = false;
    m_dialogs.queueDialog([&](QDialog& dialog) {
        auto& modify = dynamic_cast<CDialogModifyValue&>(dialog);
        modify.show();
        binary = modify.isBinary();
        m_dialogs.queueFile(QString::fromStdString(saved));
        EXPECT_EQ(modify.OnSaveToFile(), 0);
        modify.getOkButton()->click();  // the same value: nothing is sent
    });
    const std::string csn = entryCsn(dn);
    EXPECT_EQ(m_frame->OnValueModify(), -1);
    EXPECT_TRUE(binary);
    EXPECT_EQ(readBytes(saved), photo);
    EXPECT_EQ(entryCsn(dn), csn);
    EXPECT_TRUE(m_boxes.boxes().empty());

    // The same from the modify-entry dialog.
    const std::string savedFromDialog = path("from-dialog.jpg");
    inModifyDialog([&](CDialogModifyEntry& modify) {
        selectGrid(modify, QStringLiteral("jpegPhoto"), CDialogModifyEntry::binaryNote());
        m_dialogs.queueDialog([&](QDialog& dialog) {
            auto& value = dynamic_cast<CDialogModifyValue&>(dialog);
            EXPECT_TRUE(value.isBinary());
            m_dialogs.queueFile(QString::fromStdString(savedFromDialog));
            EXPECT_EQ(value.OnSaveToFile(), 0);
            value.getCancelButton()->click();
        });
        modify.getButton(4)->click();
    });
    EXPECT_EQ(readBytes(savedFromDialog), photo);

    // Modify-Save replaces the photo with a file's bytes.
    const std::string other = photo + "other";
    ASSERT_TRUE(writeBytes(path("other.jpg"), other));
    selectRecord(QStringLiteral("jpegPhoto"), kNotice);
    m_dialogs.queueDialog([&](QDialog& dialog) {
        auto& modify = dynamic_cast<CDialogModifyValue&>(dialog);
        m_dialogs.queueFile(QString::fromStdString(path("other.jpg")));
        EXPECT_EQ(modify.OnLoadFromFile(), 0);
        modify.getOkButton()->click();
    });
    EXPECT_EQ(m_frame->OnValueModify(), 0);
    EXPECT_EQ(serverValues(dn, "jpegPhoto"), std::vector<std::string>{other});
    EXPECT_TRUE(m_boxes.boxes().empty());
}

TEST_F(AttributeValueCommandsTest, TheBinaryOptionMakesTheValueCommandsUseFiles)
{
    const std::string certificate = TestDirectoryServer::readDataFile("cert.der");
    ASSERT_EQ(certificate.size(), 434u);
    const std::string dn = createPerson(
        "certified", "userCertificate;binary:< file://" + TestDirectoryServer::dataDirectory()
                         + "/cert.der\n");
    int row = -1;
    for (int i = 0; i < record()->getRowCount() && row < 0; ++i) {
        if (record()->getItemString(i, 0).compare(QStringLiteral("userCertificate;binary"),
                                                  Qt::CaseInsensitive) == 0)
            row = i;
    }
    ASSERT_GE(row, 0);

    // Modify-Save: file buttons, the bytes saved whole, OK sends nothing.
    ASSERT_EQ(record()->selectRow(row), 0);
    const std::string saved = path("saved.der");
    bool binary = false;
    m_dialogs.queueDialog([&](QDialog& dialog) {
        auto& modify = dynamic_cast<CDialogModifyValue&>(dialog);
        binary = modify.isBinary();
        m_dialogs.queueFile(QString::fromStdString(saved));
        EXPECT_EQ(modify.OnSaveToFile(), 0);
        modify.getOkButton()->click();
    });
    const std::string csn = entryCsn(dn);
    EXPECT_EQ(m_frame->OnValueModify(), -1);
    EXPECT_TRUE(binary);
    EXPECT_EQ(readBytes(saved), certificate);
    EXPECT_EQ(entryCsn(dn), csn);

    // Add Value offers the file button too.
    ASSERT_EQ(record()->selectRow(row), 0);
    binary = false;
    m_dialogs.queueDialog([&binary](QDialog& dialog) {
        auto& add = dynamic_cast<CDialogAddValue&>(dialog);
        binary = add.isBinary();
        add.getCancelButton()->click();
    });
    EXPECT_EQ(m_frame->OnValueAdd(), -1);
    EXPECT_TRUE(binary);
    EXPECT_EQ(serverValues(dn, "userCertificate;binary"), std::vector<std::string>{certificate});

    // The modify-entry grid shows the notice as the record view does.
    QStringList gridShown;
    inModifyDialog([&](CDialogModifyEntry& modify) {
        gridShown = gridValues(*modify.getGrid(), QStringLiteral("userCertificate;binary"));
    });
    EXPECT_EQ(gridShown, QStringList{kNotice});
    EXPECT_TRUE(m_boxes.boxes().empty());
}

// ---- modify -------------------------------------------------------------------------

TEST_F(AttributeValueCommandsTest, ModifyingToTheSameBytesSendsNothing)
{
    const std::string dn = createPerson("steady", "description: unchanged\n");
    const std::string csn = entryCsn(dn);
    ASSERT_FALSE(csn.empty());

    // OK as shown, then the same text typed again.
    for (const bool retype : {false, true}) {
        selectRecord(QStringLiteral("description"), QStringLiteral("unchanged"));
        QString preset;
        m_dialogs.queueDialog([&preset, retype](QDialog& dialog) {
            auto& modify = dynamic_cast<CDialogModifyValue&>(dialog);
            modify.show();
            preset = modify.getValueEdit()->text();
            if (retype)
                modify.getValueEdit()->setText(QStringLiteral("unchanged"));
            modify.getOkButton()->click();
        });
        EXPECT_EQ(m_frame->OnValueModify(), -1);
        EXPECT_EQ(preset, QStringLiteral("unchanged"));
    }

    // From the modify-entry dialog.
    int result = 0;
    inModifyDialog([&](CDialogModifyEntry& modify) {
        selectGrid(modify, QStringLiteral("description"), QStringLiteral("unchanged"));
        m_dialogs.queueDialog([](QDialog& dialog) {
            dynamic_cast<CDialogModifyValue&>(dialog).getOkButton()->click();
        });
        result = modify.OnModifyValue();
    });
    EXPECT_EQ(result, -1);
    EXPECT_EQ(entryCsn(dn), csn);
    EXPECT_TRUE(m_boxes.boxes().empty());
    EXPECT_EQ(serverValues(dn, "description"), std::vector<std::string>{"unchanged"});
}

TEST_F(AttributeValueCommandsTest, AValueLongerThanACellIsEditedWholeFromBothPlaces)
{
    std::string longText;
    for (int n = 0; longText.size() < 40000; ++n)
        longText += "word" + std::to_string(n) + " ";
    longText.resize(40000);
    const std::string dn = createPerson("lengthy", "description: " + longText + "\n");
    const QString cell = QString::fromStdString(longText.substr(0, 10239));
    const int row = rowOf(*record(), QStringLiteral("description"), cell);
    ASSERT_GE(row, 0) << "the cell shows the value's beginning";

    // From the record view: the dialog starts from the whole value.
    ASSERT_EQ(record()->selectRow(row), 0);
    int presetLength = 0;
    m_dialogs.queueDialog([&presetLength](QDialog& dialog) {
        auto& modify = dynamic_cast<CDialogModifyValue&>(dialog);
        presetLength = static_cast<int>(modify.getValueEdit()->text().size());
        modify.getValueEdit()->setText(modify.getValueEdit()->text() + QStringLiteral("!"));
        modify.getOkButton()->click();
    });
    EXPECT_EQ(m_frame->OnValueModify(), 0);
    EXPECT_EQ(presetLength, 40000);
    EXPECT_EQ(serverValues(dn, "description"), std::vector<std::string>{longText + "!"});

    // From the modify-entry dialog.
    presetLength = 0;
    inModifyDialog([&](CDialogModifyEntry& modify) {
        ASSERT_EQ(modify.getGrid()->selectRow(rowOf(*modify.getGrid(), QStringLiteral("description"), cell)), 0);
        m_dialogs.queueDialog([&presetLength](QDialog& dialog) {
            auto& value = dynamic_cast<CDialogModifyValue&>(dialog);
            presetLength = static_cast<int>(value.getValueEdit()->text().size());
            value.getValueEdit()->setText(value.getValueEdit()->text() + QStringLiteral("?"));
            value.getOkButton()->click();
        });
        EXPECT_EQ(modify.OnModifyValue(), 0);
    });
    EXPECT_EQ(presetLength, 40001);
    EXPECT_EQ(serverValues(dn, "description"), std::vector<std::string>{longText + "!?"});
    EXPECT_TRUE(m_boxes.boxes().empty());
}

TEST_F(AttributeValueCommandsTest, OneOfThreeValuesIsReplacedFromBothPlaces)
{
    const std::string dn =
        createPerson("triple", "description: one\ndescription: two\ndescription: three\n");

    selectRecord(QStringLiteral("description"), QStringLiteral("two"));
    EXPECT_EQ(m_frame->getSelection(), 0);
    EXPECT_EQ(m_frame->getActiveAttributeValueIndex(), 1);
    m_dialogs.queueDialog([](QDialog& dialog) {
        auto& modify = dynamic_cast<CDialogModifyValue&>(dialog);
        EXPECT_FALSE(modify.isBinary());
        EXPECT_EQ(modify.getValueEdit()->text(), QStringLiteral("two"));
        modify.getValueEdit()->setText(QStringLiteral("second value"));
        modify.getOkButton()->click();
    });
    EXPECT_EQ(m_frame->OnValueModify(), 0);
    EXPECT_EQ(sorted(serverValues(dn, "description")), sorted({"one", "three", "second value"}));
    EXPECT_EQ(recordValues(QStringLiteral("description")).size(), 3);
    EXPECT_TRUE(recordValues(QStringLiteral("description")).contains(QStringLiteral("second value")));

    QStringList gridAfter;
    QString preset;
    inModifyDialog([&](CDialogModifyEntry& modify) {
        // The third row of the attribute.
        const int first = rowOf(*modify.getGrid(), QStringLiteral("description"),
                                gridValues(*modify.getGrid(), QStringLiteral("description")).front());
        ASSERT_EQ(modify.getGrid()->selectRow(first + 2), 0);
        const QString third = modify.getGrid()->getItemString(first + 2, 1);
        m_dialogs.queueDialog([&preset](QDialog& dialog) {
            auto& value = dynamic_cast<CDialogModifyValue&>(dialog);
            preset = value.getValueEdit()->text();
            value.getValueEdit()->setText(QStringLiteral("3"));
            value.getOkButton()->click();
        });
        EXPECT_EQ(modify.OnModifyValue(), 0);
        EXPECT_EQ(preset, third);
        gridAfter = gridValues(*modify.getGrid(), QStringLiteral("description"));
    });
    EXPECT_TRUE(gridAfter.contains(QStringLiteral("3")));
    EXPECT_FALSE(gridAfter.contains(preset));
    std::vector<std::string> expected{"one", "three", "second value"};
    expected.erase(std::find(expected.begin(), expected.end(), preset.toStdString()));
    expected.push_back("3");
    EXPECT_EQ(sorted(serverValues(dn, "description")), sorted(expected));
    EXPECT_TRUE(m_boxes.boxes().empty());
}

// ---- delete ---------------------------------------------------------------------------

TEST_F(AttributeValueCommandsTest, OneValueIsDeletedAfterTheQuestion)
{
    const std::string dn = createPerson("fewer", "description: a\ndescription: b\ndescription: c\n");

    selectRecord(QStringLiteral("description"), QStringLiteral("b"));
    m_boxes.queueAnswer(BoxAnswer::Cancel);
    EXPECT_EQ(m_frame->OnValueDelete(), -1);
    ASSERT_EQ(m_boxes.boxes().size(), 1u);
    EXPECT_EQ(m_boxes.boxes()[0].caption, L"Delete Value");
    EXPECT_EQ(m_boxes.boxes()[0].text, L"Delete the current value?");
    EXPECT_EQ(m_boxes.boxes()[0].buttons, BoxButtons::OkCancel);
    EXPECT_EQ(serverValues(dn, "description").size(), 3u);

    m_boxes.clear();
    selectRecord(QStringLiteral("description"), QStringLiteral("b"));
    EXPECT_EQ(m_frame->OnValueDelete(), 0);  // OK is the default answer
    EXPECT_EQ(sorted(serverValues(dn, "description")), sorted({"a", "c"}));
    EXPECT_EQ(recordValues(QStringLiteral("description")), (QStringList{"a", "c"}));

    // Delete Attribute with "SelectedValue" takes the one value.
    selectRecord(QStringLiteral("description"), QStringLiteral("c"));
    bool allValuesPreset = true;
    m_dialogs.queueDialog([&allValuesPreset](QDialog& dialog) {
        auto& remove = dynamic_cast<CDialogDeleteAttribute&>(dialog);
        allValuesPreset = remove.getAllValuesButton()->isChecked();
        remove.getOkButton()->click();
    });
    EXPECT_EQ(m_frame->OnAttributeDelete(), 0);
    EXPECT_FALSE(allValuesPreset);
    EXPECT_EQ(serverValues(dn, "description"), std::vector<std::string>{"a"});

    // Delete Value from the modify-entry dialog.
    ASSERT_TRUE(ldapModify("dn: " + dn + "\nchangetype: modify\nadd: description\ndescription: d\n"));
    m_frame->OnEntryRefresh();
    QStringList gridAfter;
    inModifyDialog([&](CDialogModifyEntry& modify) {
        selectGrid(modify, QStringLiteral("description"), QStringLiteral("d"));
        modify.getButton(5)->click();
        gridAfter = gridValues(*modify.getGrid(), QStringLiteral("description"));
    });
    EXPECT_EQ(gridAfter, QStringList{QStringLiteral("a")});
    EXPECT_EQ(serverValues(dn, "description"), std::vector<std::string>{"a"});
}

TEST_F(AttributeValueCommandsTest, AllValuesGoOnlyAfterYesButTheEntryIsReadAgainEitherWay)
{
    const std::string dn = createPerson("emptied", "description: x\ndescription: y\n");
    const std::wstring warning =
        L"This will delete all the vales of the attribute.\nThe operation can't be undone.\n"
        L"Make sure you have a backup (ldif file) before proceeding.\nWould you like to proceed?";
    auto chooseAllValues = [](QDialog& dialog) {
        auto& remove = dynamic_cast<CDialogDeleteAttribute&>(dialog);
        remove.getAllValuesButton()->setChecked(true);
        remove.getOkButton()->click();
    };

    // Changed behind the program's back, then No to the warning.
    ASSERT_TRUE(ldapModify("dn: " + dn + "\nchangetype: modify\nadd: title\ntitle: changed elsewhere\n"));
    EXPECT_TRUE(recordValues(QStringLiteral("title")).isEmpty());
    selectRecord(QStringLiteral("description"), QStringLiteral("x"));
    m_dialogs.queueDialog(chooseAllValues);
    m_boxes.queueAnswer(BoxAnswer::No);
    EXPECT_EQ(m_frame->OnAttributeDelete(), -1);
    ASSERT_EQ(m_boxes.boxes().size(), 1u);
    EXPECT_EQ(m_boxes.boxes()[0].caption, L"WARNING");
    EXPECT_EQ(m_boxes.boxes()[0].text, warning);
    EXPECT_EQ(m_boxes.boxes()[0].buttons, BoxButtons::YesNo);
    EXPECT_EQ(m_boxes.boxes()[0].icon, util::BoxIcon::Warning);
    EXPECT_EQ(sorted(serverValues(dn, "description")), sorted({"x", "y"}));
    EXPECT_EQ(recordValues(QStringLiteral("title")), QStringList{QStringLiteral("changed elsewhere")});

    m_boxes.clear();
    selectRecord(QStringLiteral("description"), QStringLiteral("x"));
    m_dialogs.queueDialog(chooseAllValues);
    m_boxes.queueAnswer(BoxAnswer::Yes);
    EXPECT_EQ(m_frame->OnAttributeDelete(), 0);
    EXPECT_TRUE(serverValues(dn, "description").empty());
    EXPECT_TRUE(recordValues(QStringLiteral("description")).isEmpty());

    // From the modify-entry dialog.
    QStringList gridAfter;
    m_boxes.queueAnswer(BoxAnswer::Yes);
    inModifyDialog([&](CDialogModifyEntry& modify) {
        selectGrid(modify, QStringLiteral("title"), QStringLiteral("changed elsewhere"));
        m_dialogs.queueDialog(chooseAllValues);
        modify.getButton(2)->click();
        gridAfter = gridValues(*modify.getGrid(), QStringLiteral("title"));
    });
    EXPECT_TRUE(gridAfter.isEmpty());
    EXPECT_TRUE(serverValues(dn, "title").empty());
}

// ---- selection ---------------------------------------------------------------------------

TEST_F(AttributeValueCommandsTest, WithoutASelectedRowEachCommandAsksForOneAndOpensNothing)
{
    createPerson("unselected", "description: kept\n");
    ASSERT_LT(record()->getSelectedRowNumber(), 0);
    const std::size_t dialogsBefore = m_dialogs.dialogClasses().size();
    for (const char* command : {"OnAttributeDelete", "OnValueAdd", "OnValueModify", "OnValueDelete"}) {
        SCOPED_TRACE(command);
        m_boxes.clear();
        m_frame->getAction(QString::fromLatin1(command))->trigger();
        ASSERT_EQ(m_boxes.boxes().size(), 1u);
        EXPECT_EQ(m_boxes.boxes()[0].caption, L"Delete Attribute");
        EXPECT_EQ(m_boxes.boxes()[0].text, L"Please select an attribute, first");
    }
    EXPECT_EQ(m_dialogs.dialogClasses().size(), dialogsBefore);
}

TEST_F(AttributeValueCommandsTest, ASelectionHandedOverByTheDialogSkipsTheCheckOnce)
{
    const std::string dn = createPerson("handed", "description: first\ndescription: second\n");
    ASSERT_LT(record()->getSelectedRowNumber(), 0);
    m_frame->setSelectionFromDialog(L"description", L"second", 1);
    EXPECT_EQ(m_frame->OnValueDelete(), 0);
    ASSERT_EQ(m_boxes.boxes().size(), 1u);
    EXPECT_EQ(m_boxes.boxes()[0].text, L"Delete the current value?");
    EXPECT_EQ(serverValues(dn, "description"), std::vector<std::string>{"first"});

    // Only once; and a hand-over that meets a lost connection is dropped.
    m_boxes.clear();
    EXPECT_EQ(m_frame->OnValueDelete(), -1);
    ASSERT_EQ(m_boxes.boxes().size(), 1u);
    EXPECT_EQ(m_boxes.boxes()[0].text, L"Please select an attribute, first");
    m_frame->setSelectionFromDialog(L"description", L"first", 0);
    m_model->disconnect();
    m_boxes.clear();
    EXPECT_EQ(m_frame->OnValueDelete(), -1);
    EXPECT_EQ(boxTexts(), std::vector<std::wstring>{L"Not connected."});
    ASSERT_EQ(m_model->connect(false), 0);
    m_boxes.clear();
    EXPECT_EQ(m_frame->OnValueDelete(), -1);
    EXPECT_EQ(boxTexts(), std::vector<std::wstring>{L"Please select an attribute, first"});
    EXPECT_EQ(serverValues(dn, "description"), std::vector<std::string>{"first"});
}

TEST_F(AttributeValueCommandsTest, TypedValuesAreAddedAndACancelledOneChangesNothing)
{
    const std::string dn = createPerson("growing", "description: start\n");
    selectRecord(QStringLiteral("description"), QStringLiteral("start"));
    m_dialogs.queueDialog([](QDialog& dialog) {
        auto& add = dynamic_cast<CDialogAddValue&>(dialog);
        EXPECT_FALSE(add.isBinary());
        add.getValueEdit()->setText(QString::fromUtf8("Gr\xC3\xBC\xC3\x9F" "e"));
        add.getOkButton()->click();
    });
    EXPECT_EQ(m_frame->OnValueAdd(), 0);
    EXPECT_EQ(sorted(serverValues(dn, "description")), sorted({"start", "Gr\xC3\xBC\xC3\x9F" "e"}));

    QStringList gridAfter;
    inModifyDialog([&](CDialogModifyEntry& modify) {
        selectGrid(modify, QStringLiteral("description"), QStringLiteral("start"));
        m_dialogs.queueDialog([](QDialog& dialog) { dialog.reject(); });
        EXPECT_EQ(modify.OnAddValue(), -1);
        gridAfter = gridValues(*modify.getGrid(), QStringLiteral("description"));
    });
    EXPECT_EQ(gridAfter.size(), 2);
    EXPECT_EQ(serverValues(dn, "description").size(), 2u);
}

} // namespace
