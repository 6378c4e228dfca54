// The editing dialogs: values, add attribute, modify entry, rename, delete
// attribute and information, driven through the scripted dialog service
// against the shared test server.

#include "dialogs/CDialogAddAttribute.h"
#include "dialogs/CDialogAddValue.h"
#include "dialogs/CDialogDeleteAttribute.h"
#include "dialogs/CDialogEditInfo.h"
#include "dialogs/CDialogModifyEntry.h"
#include "dialogs/CDialogModifyValue.h"
#include "dialogs/CDialogRenameEntry.h"
#include "records/LDAPEntry.h"
#include "schema/LDAPSchema.h"
#include "support/ScriptedMessageBoxes.h"
#include "ui/support/DialogTestSupport.h"
#include "ui/support/ScriptedDialogs.h"
#include "views/CGridControl.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using dialogtest::model;
using dialogtest::qs;
using dialogtest::wide;
using ldapmodel::LDAPAttributeValue;
using memorylib::gc_ptr;

namespace {

std::string bytesOf(const gc_ptr<LDAPAttributeValue>& value)
{
    return value.getObject() == nullptr ? std::string() : value->getByteString();
}

QStringList listTexts(const QListWidget& list)
{
    QStringList texts;
    for (int row = 0; row < list.count(); ++row)
        texts << list.item(row)->text();
    return texts;
}

// A handler that clicks a button of the dialog, found by its text.
dirtest::ScriptedDialogs::Handler clickButton(const QString& text)
{
    return [text](QDialog& dialog) {
        for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
            if (button->text() == text) {
                button->click();
                return;
            }
        }
        ADD_FAILURE() << "no button " << text.toStdString();
    };
}

class ValueDialogs : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    std::string path(const char* name) const { return (m_dir.path() + "/" + name).toStdString(); }

    QTemporaryDir m_dir;
    dirtest::ScriptedDialogs m_scripted;
    dirtest::ScriptedMessageBoxes m_boxes;
};

} // namespace

// ---- value dialogs ----------------------------------------------------------------

TEST_F(ValueDialogs, TextModeReturnsTheUtf8OfTheTypedText)
{
    CDialogAddValue dialog;
    dialog.setAttributeName(L"description");
    dialog.setBinary(false);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Add value"));
    EXPECT_EQ(dialog.getNameLabel()->text(), QStringLiteral("description"));
    EXPECT_FALSE(dialog.getValueEdit()->isHidden());
    EXPECT_TRUE(dialog.getLoadButton()->isHidden());
    EXPECT_EQ(dialog.getSaveButton(), nullptr);
    EXPECT_TRUE(dialog.getOkButton()->isDefault());

    m_scripted.queueDialog([](QDialog& shown) {
        auto& value = static_cast<CDialogAddValue&>(shown);
        value.getValueEdit()->setText(QString::fromStdWString(L"Gr\u00FC\u00DFe \u0141\u00F3d\u017A"));
        value.getOkButton()->click();
    });
    EXPECT_EQ(ui::dialogs().exec(dialog), QDialog::Accepted);
    EXPECT_TRUE(dialog.isTextRead());
    EXPECT_EQ(bytesOf(dialog.getAttributeValue()), "Gr\xC3\xBC\xC3\x9F" "e \xC5\x81\xC3\xB3\x64\xC5\xBA");
}

TEST_F(ValueDialogs, EmptyTextOrNoLoadedFileEndsAsCancel)
{
    CDialogAddValue text;
    text.setAttributeName(L"description");
    m_scripted.queueDialog(clickButton(QStringLiteral("OK")));
    EXPECT_EQ(ui::dialogs().exec(text), QDialog::Rejected);
    EXPECT_FALSE(text.isTextRead());
    EXPECT_EQ(text.getAttributeValue().getObject(), nullptr);

    CDialogAddValue binary;
    binary.setAttributeName(L"jpegPhoto");
    binary.setBinary(true);
    EXPECT_TRUE(binary.getValueEdit()->isHidden());
    EXPECT_FALSE(binary.getLoadButton()->isHidden());
    EXPECT_EQ(binary.getLoadButton()->text(), QStringLiteral("&Binary or text load from file"));
    m_scripted.queueDialog(clickButton(QStringLiteral("OK")));
    EXPECT_EQ(ui::dialogs().exec(binary), QDialog::Rejected);
    EXPECT_EQ(binary.getAttributeValue().getObject(), nullptr);

    CDialogAddValue cancelled;
    m_scripted.queueDialog([](QDialog& shown) {
        static_cast<CDialogAddValue&>(shown).getValueEdit()->setText(QStringLiteral("typed"));
        static_cast<CDialogAddValue&>(shown).getCancelButton()->click();
    });
    EXPECT_EQ(ui::dialogs().exec(cancelled), QDialog::Rejected);
}

TEST_F(ValueDialogs, BinaryModeLoadsAFileByteForByte)
{
    const std::string photo = dirtest::TestDirectoryServer::readDataFile(dirtest::sample::kPhotoFile);
    ASSERT_EQ(photo.size(), 181u);
    CDialogAddValue dialog;
    dialog.setAttributeName(L"jpegPhoto");
    dialog.setBinary(true);
    m_scripted.queueFile(QString::fromStdString(dialogtest::dataPath(dirtest::sample::kPhotoFile)));
    m_scripted.queueDialog([](QDialog& shown) {
        auto& value = static_cast<CDialogAddValue&>(shown);
        value.getLoadButton()->click();
        value.getOkButton()->click();
    });
    EXPECT_EQ(ui::dialogs().exec(dialog), QDialog::Accepted);
    EXPECT_TRUE(dialog.isFileLoaded());
    EXPECT_EQ(bytesOf(dialog.getAttributeValue()), photo);
    ASSERT_EQ(m_scripted.fileCalls().size(), 1u);
    EXPECT_EQ(m_scripted.fileCalls()[0].kind, dirtest::ScriptedDialogs::FileDialogCall::Open);
    EXPECT_EQ(m_scripted.fileCalls()[0].request.filters,
              QStringList{QStringLiteral("All Files (*.*)")});
}

TEST_F(ValueDialogs, AFileStartingWithAZeroByteIsNotDropped)
{
    const std::string bytes("\0\x01\x02zero first\xFF", 14);
    ASSERT_TRUE(dialogtest::writeFile(path("zero.bin"), bytes));
    CDialogAddValue dialog;
    dialog.setAttributeName(L"userCertificate;binary");
    dialog.setBinary(true);
    m_scripted.queueFile(QString::fromStdString(path("zero.bin")));
    EXPECT_EQ(dialog.OnLoadFromFile(), 0);
    // Its text form is empty, yet OK returns the loaded bytes.
    EXPECT_TRUE(dialog.getValueEdit()->text().isEmpty());
    m_scripted.queueDialog(clickButton(QStringLiteral("OK")));
    EXPECT_EQ(ui::dialogs().exec(dialog), QDialog::Accepted);
    EXPECT_EQ(bytesOf(dialog.getAttributeValue()), bytes);
}

TEST_F(ValueDialogs, FailedOrCancelledLoadsLoadNothing)
{
    ASSERT_TRUE(dialogtest::writeFile(path("empty.bin"), std::string()));
    CDialogAddValue dialog;
    dialog.setBinary(true);
    m_scripted.queueFile(QString::fromStdString(path("empty.bin")));
    EXPECT_EQ(dialog.OnLoadFromFile(), -1);
    EXPECT_FALSE(dialog.isFileLoaded());
    m_scripted.queueFile(std::nullopt);
    EXPECT_EQ(dialog.OnLoadFromFile(), -1);
    EXPECT_FALSE(dialog.isFileLoaded());
    m_scripted.queueFile(QString::fromStdString(path("missing.bin")));
    EXPECT_EQ(dialog.OnLoadFromFile(), -1);
    EXPECT_FALSE(dialog.isFileLoaded());
    m_scripted.queueDialog(clickButton(QStringLiteral("OK")));
    EXPECT_EQ(ui::dialogs().exec(dialog), QDialog::Rejected);
    EXPECT_EQ(dialog.getAttributeValue().getObject(), nullptr);
}

TEST_F(ValueDialogs, ModifyInBinaryModeKeepsOrReplacesTheValueAndSavesIt)
{
    const std::string photo = dirtest::TestDirectoryServer::readDataFile(dirtest::sample::kPhotoFile);
    gc_ptr<LDAPAttributeValue> current = new LDAPAttributeValue(photo.data(), photo.size());

    CDialogModifyValue dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Modify value"));
    dialog.setAttributeName(L"jpegPhoto");
    dialog.setBinary(true);
    dialog.setAttributeValue(current);
    dialog.setTextValue(L"Binary value. Use \"Modify-Save\" to save to file");
    ASSERT_NE(dialog.getSaveButton(), nullptr);
    EXPECT_FALSE(dialog.getSaveButton()->isHidden());
    EXPECT_EQ(dialog.getSaveButton()->text(), QStringLiteral("&Save Value to File"));

    // Save: cancelled writes nothing; chosen writes the bytes.
    m_scripted.queueFile(std::nullopt);
    EXPECT_EQ(dialog.OnSaveToFile(), -1);
    m_scripted.queueFile(QString::fromStdString(path("saved.jpg")));
    m_scripted.queueDialog([](QDialog& shown) {
        auto& value = static_cast<CDialogModifyValue&>(shown);
        value.getSaveButton()->click();
        value.getOkButton()->click();
    });
    // OK without a load returns the value the dialog started with.
    EXPECT_EQ(ui::dialogs().exec(dialog), QDialog::Accepted);
    EXPECT_EQ(dialogtest::readFile(path("saved.jpg")), photo);
    EXPECT_EQ(dialog.getAttributeValue().get(), current.get());
    EXPECT_EQ(m_scripted.fileCalls().back().kind, dirtest::ScriptedDialogs::FileDialogCall::Save);

    // Loading a new file replaces it.
    const std::string cert = dirtest::TestDirectoryServer::readDataFile(dirtest::sample::kCertFile);
    CDialogModifyValue replaced;
    replaced.setBinary(true);
    replaced.setAttributeValue(current);
    replaced.setTextValue(L"Binary value");
    m_scripted.queueFile(QString::fromStdString(dialogtest::dataPath(dirtest::sample::kCertFile)));
    m_scripted.queueDialog([](QDialog& shown) {
        auto& value = static_cast<CDialogModifyValue&>(shown);
        value.getLoadButton()->click();
        value.getOkButton()->click();
    });
    EXPECT_EQ(ui::dialogs().exec(replaced), QDialog::Accepted);
    EXPECT_EQ(bytesOf(replaced.getAttributeValue()), cert);

    // Without a text, OK ends as Cancel.
    CDialogModifyValue noText;
    noText.setBinary(true);
    noText.setAttributeValue(current);
    m_scripted.queueDialog(clickButton(QStringLiteral("OK")));
    EXPECT_EQ(ui::dialogs().exec(noText), QDialog::Rejected);
}

TEST_F(ValueDialogs, ModifyInTextModeEditsThePresetText)
{
    CDialogModifyValue dialog;
    dialog.setAttributeName(L"description");
    dialog.setTextValue(L"line one\nline two");
    dialog.setAttributeValue(new LDAPAttributeValue(std::wstring(L"line one\nline two")));
    EXPECT_TRUE(dialog.getSaveButton()->isHidden());
    EXPECT_TRUE(dialog.getLoadButton()->isHidden());
    EXPECT_EQ(dialog.getValueEdit()->text(), QStringLiteral("line one\nline two"));
    EXPECT_EQ(dialog.getValueEdit()->cursorPosition(), dialog.getValueEdit()->text().size());

    // Once up, the edit box has the focus with the caret after the text.
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    dialog.activateWindow();
    dirtest::waitFor([&] {
        return dialog.focusWidget() == dialog.getValueEdit() && !dialog.getValueEdit()->hasSelectedText();
    }, 2000);
    EXPECT_EQ(dialog.focusWidget(), dialog.getValueEdit());
    EXPECT_FALSE(dialog.getValueEdit()->hasSelectedText());
    EXPECT_EQ(dialog.getValueEdit()->cursorPosition(), dialog.getValueEdit()->text().size());
    dialog.hide();

    // Unchanged text gives the same bytes (the frame then sends nothing).
    m_scripted.queueDialog(clickButton(QStringLiteral("OK")));
    EXPECT_EQ(ui::dialogs().exec(dialog), QDialog::Accepted);
    EXPECT_EQ(bytesOf(dialog.getAttributeValue()), "line one\nline two");

    CDialogModifyValue changed;
    changed.setTextValue(L"old");
    m_scripted.queueDialog([](QDialog& shown) {
        auto& value = static_cast<CDialogModifyValue&>(shown);
        value.getValueEdit()->setText(QStringLiteral("new"));
        value.getOkButton()->click();
    });
    EXPECT_EQ(ui::dialogs().exec(changed), QDialog::Accepted);
    EXPECT_EQ(bytesOf(changed.getAttributeValue()), "new");
    EXPECT_EQ(changed.getText(), L"new");
}

// ---- rename, delete attribute, information ---------------------------------------------

TEST(RenameDialog, PresetTextAnEmptyFieldAndTheButtons)
{
    dirtest::ScriptedDialogs scripted;
    CDialogRenameEntry dialog;
    dialog.setInitialText(L"cn=");
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Rename entry"));
    EXPECT_EQ(dialog.getEdit()->text(), QStringLiteral("cn="));
    EXPECT_FALSE(dialog.getEdit()->hasSelectedText());
    EXPECT_EQ(dialog.getEdit()->cursorPosition(), 3);
    EXPECT_TRUE(dialog.findChild<QLabel*>()->text() == QStringLiteral("Enter the new Relative DN"));

    // Once up, the edit box has the focus, unselected, caret at the end.
    scripted.queueDialog([](QDialog& shown) {
        shown.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&shown));
        shown.activateWindow();
        auto& rename = static_cast<CDialogRenameEntry&>(shown);
        dirtest::waitFor([&] { return shown.focusWidget() == rename.getEdit() && !rename.getEdit()->hasSelectedText(); }, 2000);
        EXPECT_EQ(shown.focusWidget(), rename.getEdit());
        EXPECT_FALSE(rename.getEdit()->hasSelectedText());
        EXPECT_EQ(rename.getEdit()->cursorPosition(), 3);
        rename.getEdit()->setText(QStringLiteral("cn=New Name"));
        rename.getOkButton()->click();
    });
    EXPECT_EQ(ui::dialogs().exec(dialog), QDialog::Accepted);
    EXPECT_EQ(dialog.getNewRDN(), L"cn=New Name");

    CDialogRenameEntry empty;
    empty.setInitialText(L"cn=");
    scripted.queueDialog([](QDialog& shown) {
        auto& rename = static_cast<CDialogRenameEntry&>(shown);
        rename.getEdit()->clear();
        rename.getOkButton()->click();
    });
    EXPECT_EQ(ui::dialogs().exec(empty), QDialog::Rejected);
    EXPECT_EQ(empty.getNewRDN(), L"");

    CDialogRenameEntry cancelled;
    cancelled.setInitialText(L"uid=x");
    scripted.queueDialog(clickButton(QStringLiteral("Cancel")));
    EXPECT_EQ(ui::dialogs().exec(cancelled), QDialog::Rejected);
    EXPECT_EQ(cancelled.getNewRDN(), L"uid=x");
}

TEST(DeleteAttributeDialog, SelectedValueUnlessAllValuesIsChosen)
{
    dirtest::ScriptedDialogs scripted;
    CDialogDeleteAttribute untouched;
    EXPECT_EQ(untouched.windowTitle(), QStringLiteral("Delete Attribute"));
    EXPECT_TRUE(untouched.getSelectedValueButton()->isChecked());
    EXPECT_FALSE(untouched.getAllValuesButton()->isChecked());
    EXPECT_EQ(untouched.getSelectedValueButton()->text(), QStringLiteral("SelectedValue"));
    EXPECT_EQ(untouched.getAllValuesButton()->text(), QStringLiteral("AllValues"));
    scripted.queueDialog(clickButton(QStringLiteral("OK")));
    EXPECT_EQ(ui::dialogs().exec(untouched), QDialog::Accepted);
    EXPECT_FALSE(untouched.isAllValues());

    CDialogDeleteAttribute all;
    scripted.queueDialog([](QDialog& shown) {
        auto& choice = static_cast<CDialogDeleteAttribute&>(shown);
        choice.getAllValuesButton()->click();
        choice.getOkButton()->click();
    });
    EXPECT_EQ(ui::dialogs().exec(all), QDialog::Accepted);
    EXPECT_TRUE(all.isAllValues());

    CDialogDeleteAttribute cancelled;
    scripted.queueDialog([](QDialog& shown) {
        auto& choice = static_cast<CDialogDeleteAttribute&>(shown);
        choice.getAllValuesButton()->click();
        choice.getSelectedValueButton()->click();
        choice.getCancelButton()->click();
    });
    EXPECT_EQ(ui::dialogs().exec(cancelled), QDialog::Rejected);
    EXPECT_FALSE(cancelled.isAllValues());
}

TEST(EditInfoDialog, ShowsTextAndTitleAndAppendsFormattedLines)
{
    CDialogEditInfo dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Dialog Edit Information"));
    EXPECT_EQ(dialog.getTitleLabel()->text(), QStringLiteral("Information title"));
    dialog.setTitle(L"New entry");
    dialog.setText(L"dn: cn=x\r\ncn: x\r\n");
    EXPECT_EQ(dialog.getTitleLabel()->text(), QStringLiteral("New entry"));
    EXPECT_EQ(dialog.getEdit()->toPlainText(), QStringLiteral("dn: cn=x\ncn: x\n"));
    EXPECT_EQ(dialog.getEdit()->textCursor().position(), dialog.getEdit()->toPlainText().size());

    dialog.appendLine(L"value %d\r\n", 12);
    EXPECT_EQ(dialog.getEdit()->toPlainText(), QStringLiteral("dn: cn=x\ncn: x\nvalue 12\n"));
    dialog.appendLine(L"%s=%s\r\n", L"sn", L"\u017Bak");
    EXPECT_TRUE(dialog.getEdit()->toPlainText().endsWith(QString::fromStdWString(L"sn=\u017Bak\n")));
    dialog.getAddTestLineButton()->click();
    EXPECT_TRUE(dialog.getEdit()->toPlainText().endsWith(QStringLiteral("this is the new line 5\n")));

    // A line longer than the buffer is cut to 1023 characters.
    CDialogEditInfo longLine;
    const std::wstring text(3000, L'x');
    longLine.appendLine(L"%s", text.c_str());
    EXPECT_EQ(longLine.getEdit()->toPlainText(), QString(1023, QLatin1Char('x')));
}

// ---- add attribute --------------------------------------------------------------

namespace {

const char kTempDn[] = "cn=Dialog Test,dc=example,dc=com";

class ServerDialogs : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dialogtest::connectModel());
        std::string output;
        auto& server = dirtest::TestDirectoryServer::shared();
        if (server.entryExists(kTempDn))
            server.runLdapmodify(std::string("dn: ") + kTempDn + "\nchangetype: delete\n", output);
        ASSERT_TRUE(server.runLdapmodify(std::string("dn: ") + kTempDn +
                                             "\nchangetype: add\nobjectClass: top\nobjectClass: person\n"
                                             "objectClass: organizationalPerson\nobjectClass: inetOrgPerson\n"
                                             "cn: Dialog Test\nsn: Test\n"
                                             "description: one\ndescription: two\ndescription: three\n"
                                             "mail: a@example.com\n",
                                         output))
            << output;
        model().forgetEntry(wide(kTempDn));
        ASSERT_EQ(model().setActiveEntry(wide(kTempDn)), 0);
        ASSERT_EQ(model().getActiveEntryDN(), wide(kTempDn));
    }

    void TearDown() override
    {
        model().setActiveEntry(wide(dirtest::sample::kBaseDn));
        model().forgetEntry(wide(kTempDn));
        std::string output;
        dirtest::TestDirectoryServer::shared().runLdapmodify(
            std::string("dn: ") + kTempDn + "\nchangetype: delete\n", output);
    }

    dirtest::ScriptedDialogs m_scripted;
    dirtest::ScriptedMessageBoxes m_boxes;
};

void selectLine(QListWidget& list, const QString& text)
{
    const QList<QListWidgetItem*> found = list.findItems(text, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << text.toStdString();
    list.setCurrentItem(found.first());
}

} // namespace

TEST_F(ServerDialogs, AddAttributeListsTheEntrysClassesAndTheMayNamesOfOne)
{
    CDialogAddAttribute dialog(ldapmodel::Model::getInstance());
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Add attribute"));
    // Every class of the entry once, sorted by character code.
    const QStringList classes = listTexts(*dialog.getObjectClassList());
    EXPECT_EQ(classes, (QStringList{QStringLiteral("inetOrgPerson"), QStringLiteral("organizationalPerson"),
                                    QStringLiteral("person"), QStringLiteral("top")}));

    selectLine(*dialog.getObjectClassList(), QStringLiteral("inetOrgPerson"));
    std::vector<std::wstring> mayNames = model().getSchema()->findObjectClass(L"inetOrgPerson")->getMayList();
    EXPECT_EQ(dialog.getAttributeTypeNames(), mayNames);
    EXPECT_EQ(dialog.getAttributeTypeList()->count(), static_cast<int>(mayNames.size()));
    EXPECT_TRUE(listTexts(*dialog.getAttributeTypeList()).contains(QStringLiteral("jpegPhoto")));

    // The same class in other letters does not refill the list.
    dialog.getAttributeTypeList()->clear();
    dialog.selectObjectClass(L"INETORGPERSON");
    EXPECT_EQ(dialog.getAttributeTypeList()->count(), 0);
}

TEST_F(ServerDialogs, AddAttributeWithALanguageTag)
{
    CDialogAddAttribute dialog(ldapmodel::Model::getInstance());
    selectLine(*dialog.getObjectClassList(), QStringLiteral("person"));
    EXPECT_EQ(listTexts(*dialog.getAttributeTypeList()),
              (QStringList{QStringLiteral("userPassword"), QStringLiteral("telephoneNumber"),
                           QStringLiteral("seeAlso"), QStringLiteral("description")}));
    selectLine(*dialog.getAttributeTypeList(), QStringLiteral("description"));
    EXPECT_EQ(dialog.getOidEdit()->text(), QStringLiteral("1.3.6.1.4.1.1466.115.121.1.15"));
    EXPECT_EQ(dialog.getDescriptionEdit()->text(), QStringLiteral("Directory String"));
    EXPECT_EQ(dialog.getLengthEdit()->text(), QStringLiteral("1024"));
    EXPECT_FALSE(dialog.getValueEdit()->isHidden());
    EXPECT_FALSE(dialog.getLanguageEdit()->isHidden());
    EXPECT_TRUE(dialog.getLoadButton()->isHidden());

    m_scripted.queueDialog([](QDialog& shown) {
        auto& add = static_cast<CDialogAddAttribute&>(shown);
        add.getValueEdit()->setText(QStringLiteral("English text"));
        add.getLanguageEdit()->setText(QStringLiteral("lang-en"));
        add.getOkButton()->click();
    });
    EXPECT_EQ(ui::dialogs().exec(dialog), QDialog::Accepted);
    EXPECT_EQ(dialog.getAttributeTypeName(), L"description;lang-en");
    EXPECT_EQ(dialog.getAddResult(), 0);
    EXPECT_EQ(dialogtest::serverValues(kTempDn, "description;lang-en"),
              std::vector<std::string>{"English text"});
    EXPECT_TRUE(m_boxes.boxes().empty());
}

TEST_F(ServerDialogs, AddAttributeLoadsABinaryValueFromAFile)
{
    const std::string photo = dirtest::TestDirectoryServer::readDataFile(dirtest::sample::kPhotoFile);
    CDialogAddAttribute dialog(ldapmodel::Model::getInstance());
    selectLine(*dialog.getObjectClassList(), QStringLiteral("inetOrgPerson"));
    selectLine(*dialog.getAttributeTypeList(), QStringLiteral("jpegPhoto"));
    EXPECT_EQ(dialog.getDescriptionEdit()->text(), QStringLiteral("JPEG"));
    EXPECT_TRUE(dialog.getValueEdit()->isHidden());
    EXPECT_TRUE(dialog.getLanguageEdit()->isHidden());
    EXPECT_FALSE(dialog.getLoadButton()->isHidden());

    // OK without a file adds nothing.
    m_scripted.queueDialog(clickButton(QStringLiteral("OK")));
    EXPECT_EQ(ui::dialogs().exec(dialog), QDialog::Rejected);
    EXPECT_TRUE(dialogtest::serverValues(kTempDn, "jpegPhoto").empty());

    CDialogAddAttribute loaded(ldapmodel::Model::getInstance());
    selectLine(*loaded.getObjectClassList(), QStringLiteral("inetOrgPerson"));
    selectLine(*loaded.getAttributeTypeList(), QStringLiteral("jpegPhoto"));
    m_scripted.queueFile(QString::fromStdString(dialogtest::dataPath(dirtest::sample::kPhotoFile)));
    m_scripted.queueDialog([](QDialog& shown) {
        auto& add = static_cast<CDialogAddAttribute&>(shown);
        add.getLoadButton()->click();
        EXPECT_EQ(add.getValueEdit()->text(), QStringLiteral("Binary"));
        add.getOkButton()->click();
    });
    EXPECT_EQ(ui::dialogs().exec(loaded), QDialog::Accepted);
    EXPECT_TRUE(loaded.isBinaryLoaded());
    EXPECT_EQ(loaded.getAttributeTypeName(), L"jpegPhoto");
    EXPECT_EQ(dialogtest::serverValues(kTempDn, "jpegPhoto"), std::vector<std::string>{photo});
    EXPECT_EQ(m_scripted.fileCalls().back().request.filters,
              QStringList{QStringLiteral("All Files (*.*)")});
}

TEST_F(ServerDialogs, AddAttributeTakesNoTextStartingWithBinary)
{
    CDialogAddAttribute dialog(ldapmodel::Model::getInstance());
    selectLine(*dialog.getObjectClassList(), QStringLiteral("inetOrgPerson"));
    selectLine(*dialog.getAttributeTypeList(), QStringLiteral("displayName"));
    m_scripted.queueDialog([](QDialog& shown) {
        auto& add = static_cast<CDialogAddAttribute&>(shown);
        add.getValueEdit()->setText(QStringLiteral("Binary junk"));
        add.getOkButton()->click();
    });
    EXPECT_EQ(ui::dialogs().exec(dialog), QDialog::Rejected);
    EXPECT_TRUE(dialogtest::serverValues(kTempDn, "displayName").empty());

    // A text that only contains the word is taken.
    CDialogAddAttribute typed(ldapmodel::Model::getInstance());
    selectLine(*typed.getObjectClassList(), QStringLiteral("inetOrgPerson"));
    selectLine(*typed.getAttributeTypeList(), QStringLiteral("displayName"));
    m_scripted.queueDialog([](QDialog& shown) {
        auto& add = static_cast<CDialogAddAttribute&>(shown);
        add.getValueEdit()->setText(QStringLiteral("Not Binary"));
        add.getOkButton()->click();
    });
    EXPECT_EQ(ui::dialogs().exec(typed), QDialog::Accepted);
    EXPECT_EQ(dialogtest::serverValues(kTempDn, "displayName"), std::vector<std::string>{"Not Binary"});
}

TEST_F(ServerDialogs, AddAttributeOnAnEntryWithoutObjectClasses)
{
    // The active entry as read, stripped of its attributes.
    model().getActiveEntry()->clear();
    {
        CDialogAddAttribute dialog(ldapmodel::Model::getInstance());
        EXPECT_EQ(dialog.getObjectClassList()->count(), 0);
        EXPECT_EQ(dialog.getAttributeTypeList()->count(), 0);
    }
    const std::vector<util::MessageBoxRequest> boxes = m_boxes.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, L"Can't get the schema details");
    EXPECT_EQ(boxes[0].caption, L"Active entry not valid, \r\nsearch for a valid entry");
    EXPECT_EQ(boxes[0].buttons, util::BoxButtons::OkCancel);
    model().refreshActiveEntry(false);
}

// ---- modify entry -------------------------------------------------------------------

namespace {

std::vector<std::pair<QString, QString>> gridRows(const CGridControl& grid)
{
    std::vector<std::pair<QString, QString>> rows;
    for (int row = 0; row < grid.getRowCount(); ++row)
        rows.emplace_back(grid.getItemString(row, 0), grid.getItemString(row, 1));
    return rows;
}

int findRow(const CGridControl& grid, const QString& name, const QString& value)
{
    for (int row = 0; row < grid.getRowCount(); ++row) {
        if (grid.getItemString(row, 0) == name && grid.getItemString(row, 1) == value)
            return row;
    }
    return -1;
}

} // namespace

TEST_F(ServerDialogs, ModifyEntryListsOneRowPerValue)
{
    dialogtest::RecordingFrame frame;
    CDialogModifyEntry dialog(ldapmodel::Model::getInstance(), nullptr, &frame);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Modify Entry"));
    EXPECT_EQ(dialog.getDNEdit()->text(), qs(kTempDn));
    CGridControl* grid = dialog.getGrid();
    EXPECT_EQ(grid->headerItem()->text(0), QStringLiteral("Attribute Name"));
    EXPECT_EQ(grid->headerItem()->text(1), QStringLiteral("Value"));

    std::size_t expectedRows = 0;
    for (const auto& attribute : model().getActiveEntry()->getUserAttributes())
        expectedRows += static_cast<std::size_t>(attribute->getValueCount());
    const auto rows = gridRows(*grid);
    EXPECT_EQ(rows.size(), expectedRows);
    const int first = findRow(*grid, QStringLiteral("description"), QStringLiteral("one"));
    ASSERT_GE(first, 0);
    EXPECT_EQ(rows[static_cast<std::size_t>(first + 1)],
              std::make_pair(QStringLiteral("description"), QStringLiteral("two")));
    EXPECT_EQ(rows[static_cast<std::size_t>(first + 2)],
              std::make_pair(QStringLiteral("description"), QStringLiteral("three")));
    EXPECT_GE(findRow(*grid, QStringLiteral("mail"), QStringLiteral("a@example.com")), 0);
    EXPECT_EQ(dialog.getValueIndex(first + 2), 2);
    EXPECT_EQ(dialog.getValueIndex(first), 0);

    const QStringList labels{QStringLiteral("&Close"),          QStringLiteral("&1  Add Attribute"),
                             QStringLiteral("  &2  Delete Attribute"), QStringLiteral("&3  Add Value"),
                             QStringLiteral("&4  Modify-Save Value"),  QStringLiteral(" &5  Delete Value"),
                             QStringLiteral("&6 Export to LDIF"),      QStringLiteral("&7  Refresh")};
    for (int number = 0; number < 8; ++number)
        EXPECT_EQ(dialog.getButton(number)->text(), labels[number]);
    EXPECT_TRUE(dialog.getButton(0)->isDefault());
}

TEST_F(ServerDialogs, ModifyEntryShowsTheNoteForBinaryValues)
{
    ASSERT_EQ(model().setActiveEntry(wide(dirtest::sample::kPhotoDn)), 0);
    CDialogModifyEntry dialog(ldapmodel::Model::getInstance(), nullptr, nullptr);
    const int row = findRow(*dialog.getGrid(), QStringLiteral("jpegPhoto"),
                            QStringLiteral("Binary value. Use \"Modify-Save\" to save to file"));
    EXPECT_GE(row, 0);
    EXPECT_EQ(CDialogModifyEntry::binaryNote(),
              QStringLiteral("Binary value. Use \"Modify-Save\" to save to file"));
}

TEST_F(ServerDialogs, ModifyEntryHandsTheSelectionToTheFrame)
{
    dialogtest::RecordingFrame frame;
    CDialogModifyEntry dialog(ldapmodel::Model::getInstance(), nullptr, &frame);
    CGridControl* grid = dialog.getGrid();

    // Nothing selected: the message, and no command.
    dialog.getButton(4)->click();
    ASSERT_EQ(m_boxes.boxes().size(), 1u);
    EXPECT_EQ(m_boxes.boxes()[0].text, L"Please select an attribute, first");
    EXPECT_EQ(m_boxes.boxes()[0].caption, L"Delete Attribute");
    EXPECT_EQ(m_boxes.boxes()[0].buttons, util::BoxButtons::OkCancel);
    EXPECT_TRUE(frame.commands().empty());

    // The third description: value index 2.
    frame.onCommand("OnValueDelete", [] {
        return model().syn_deleteAttributeValue(model().getActiveEntryDN(), 2, L"description") == 0
                   ? model().refreshActiveEntry(true)
                   : -1;
    });
    const int third = findRow(*grid, QStringLiteral("description"), QStringLiteral("three"));
    ASSERT_GE(third, 0);
    grid->selectRow(third);
    dialog.getButton(5)->click();
    EXPECT_EQ(frame.commands(), std::vector<std::string>{"OnValueDelete"});
    ASSERT_EQ(frame.selections().size(), 1u);
    EXPECT_EQ(frame.selections()[0].name, L"description");
    EXPECT_EQ(frame.selections()[0].value, L"three");
    EXPECT_EQ(frame.selections()[0].index, 2);
    EXPECT_EQ(frame.selections()[0].row, third);
    // Refilled after the command.
    EXPECT_EQ(findRow(*grid, QStringLiteral("description"), QStringLiteral("three")), -1);
    EXPECT_EQ(dialogtest::serverValues(kTempDn, "description"),
              (std::vector<std::string>{"one", "two"}));

    // The other commands reach the frame under their own names; a refill
    // clears the selection.
    for (int number : {1, 2, 4, 6, 7}) {
        grid->selectRow(0);
        dialog.getButton(number)->click();
    }
    EXPECT_EQ(grid->getSelectedRowNumber(), -1);
    EXPECT_EQ(frame.commands(),
              (std::vector<std::string>{"OnValueDelete", "OnAttributeAdd", "OnAttributeDelete",
                                        "OnValueModify", "OnLdifExport", "OnEntryRefresh"}));
    EXPECT_EQ(frame.selections().size(), 3u);
}

TEST_F(ServerDialogs, ModifyEntryAddValueThroughTheValueDialog)
{
    dialogtest::RecordingFrame frame;
    // The frame's add-value command, as the handler runs it.
    frame.onCommand("OnValueAdd", [&frame] {
        CDialogAddValue add;
        add.setAttributeName(frame.selections().back().name);
        add.setBinary(false);
        if (ui::dialogs().exec(add) != QDialog::Accepted)
            return -1;
        model().syn_addAttributeValue(model().getActiveEntryDN(), add.getAttributeValue(),
                                      frame.selections().back().name);
        return model().refreshActiveEntry(true);
    });
    CDialogModifyEntry dialog(ldapmodel::Model::getInstance(), nullptr, &frame);
    CGridControl* grid = dialog.getGrid();
    const auto before = gridRows(*grid);
    grid->selectRow(findRow(*grid, QStringLiteral("mail"), QStringLiteral("a@example.com")));

    // Cancelled: the grid is unchanged.
    m_scripted.queueDialog(clickButton(QStringLiteral("Cancel")));
    dialog.getButton(3)->click();
    EXPECT_EQ(gridRows(*grid), before);

    m_scripted.queueDialog([](QDialog& shown) {
        auto& add = static_cast<CDialogAddValue&>(shown);
        add.getValueEdit()->setText(QStringLiteral("b@example.com"));
        add.getOkButton()->click();
    });
    dialog.getButton(3)->click();
    EXPECT_EQ(gridRows(*grid).size(), before.size() + 1);
    EXPECT_GE(findRow(*grid, QStringLiteral("mail"), QStringLiteral("b@example.com")), 0);
    EXPECT_EQ(dialogtest::serverValues(kTempDn, "mail"),
              (std::vector<std::string>{"a@example.com", "b@example.com"}));
}

TEST_F(ServerDialogs, ModifyEntryContextMenu)
{
    dialogtest::RecordingFrame frame;
    CDialogModifyEntry dialog(ldapmodel::Model::getInstance(), nullptr, &frame);
    std::unique_ptr<QMenu> menu(dialog.createContextMenu(nullptr));
    EXPECT_EQ(menu->title(), QStringLiteral("&Modify"));
    QStringList texts;
    for (QAction* action : menu->actions())
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    EXPECT_EQ(texts, (QStringList{QStringLiteral("&Add Attribute\tAlt+1"),
                                  QStringLiteral("&Delete Attribute\tAlt+2"), QStringLiteral("-"),
                                  QStringLiteral("Add Value\tAlt+3"),
                                  QStringLiteral("Modify-Save Value\tAlt+4"),
                                  QStringLiteral("Delete Value\tAlt+5"), QStringLiteral("-"),
                                  QStringLiteral("&Export\tAlt+6"), QStringLiteral("-"),
                                  QStringLiteral("Refresh Entry\tAlt+7")}));

    dialog.resize(700, 500);
    dialog.show();
    CGridControl* grid = dialog.getGrid();
    ASSERT_GE(grid->getRowCount(), 2);
    const QPoint second = grid->visualItemRect(grid->topLevelItem(1)).center();
    EXPECT_TRUE(dialog.selectRowAt(second));
    EXPECT_EQ(grid->getSelectedRowNumber(), 1);
    EXPECT_FALSE(dialog.selectRowAt(QPoint(5, grid->viewport()->height() - 2)));
    EXPECT_EQ(grid->getSelectedRowNumber(), 1);

    menu->actions().at(4)->trigger();  // Modify-Save Value
    EXPECT_EQ(frame.commands(), std::vector<std::string>{"OnValueModify"});
    ASSERT_EQ(frame.selections().size(), 1u);
    EXPECT_EQ(frame.selections()[0].row, 1);
    dialog.hide();
}
