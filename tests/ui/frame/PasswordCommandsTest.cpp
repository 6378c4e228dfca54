// Set Password... and Check Password... against the test server: a password
// set with each scheme binds and a wrong one does not, Check Password
// agrees, the record view shows only the scheme, and the dialog refuses
// what it should. Binds go through ldapwhoami.

#include "dialogs/CDialogCheckPassword.h"
#include "dialogs/CDialogModifyEntry.h"
#include "dialogs/CDialogModifyValue.h"
#include "dialogs/CDialogSetPassword.h"
#include "frame/CMainFrame.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestDirectoryServer.h"
#include "ui/support/MainFrameFixture.h"
#include "ui/support/ScriptedDialogs.h"
#include "ui/support/UiTestSupport.h"
#include "utilities/Util.h"
#include "values/PasswordHash.h"
#include "views/CGridControl.h"
#include "views/CListEntryAttributes.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using dirtest::ldapModify;
using dirtest::ScriptedDialogs;
using dirtest::ScriptedMessageBoxes;
using dirtest::TestDirectoryServer;
using ldapmodel::PasswordHash;
using ldapmodel::PasswordScheme;
using util::BoxAnswer;

namespace {

const std::string kScratch = "ou=PasswordCommands,dc=example,dc=com";

std::vector<std::string> storedPasswords(const std::string& dn)
{
    const std::string ldif = TestDirectoryServer::shared().entryLdif(dn, {"userPassword"});
    return TestDirectoryServer::ldifValues(ldif, "userPassword");
}

// ldapwhoami's exit code for a simple bind as dn: 0 bound, 49 refused.
int bindStatus(const std::string& dn, const std::string& password)
{
    std::string output;
    return TestDirectoryServer::runProcess({"ldapwhoami", "-x", "-o", "nettimeout=5", "-H",
                                            TestDirectoryServer::shared().uri(), "-D", dn, "-w",
                                            password},
                                           "", output);
}

class PasswordCommandsTest : public dirtest::MainFrameFixture {
protected:
    static void SetUpTestSuite()
    {
        dirtest::deleteTree(kScratch);
        ldapModify("dn: " + kScratch
                   + "\nchangetype: add\nobjectClass: organizationalUnit\nou: PasswordCommands\n");
    }
    static void TearDownTestSuite() { tearDownScratch(kScratch); }

    // A person below the scratch entry, made active; extra holds LDIF lines.
    std::string createPerson(const std::string& cn, const std::string& extra = std::string())
    {
        const std::string dn = "cn=" + cn + "," + kScratch;
        EXPECT_TRUE(ldapModify("dn: " + dn
                               + "\nchangetype: add\nobjectClass: inetOrgPerson\ncn: " + cn
                               + "\nsn: Tester\n" + extra));
        open(util::fromUtf8(dn));
        return dn;
    }

    CListEntryAttributes* record() const { return m_frame->getRecordView(); }

    QStringList recordValues(const QString& name) const
    {
        QStringList values;
        for (int row = 0; row < record()->getRowCount(); ++row) {
            if (record()->getItemString(row, 0).compare(name, Qt::CaseInsensitive) == 0)
                values << record()->getItemString(row, 1);
        }
        return values;
    }

    // The same in the modify-entry dialog's grid.
    QStringList gridValues(const QString& name)
    {
        QStringList values;
        m_dialogs.queueDialog([&](QDialog& dialog) {
            auto& modify = dynamic_cast<CDialogModifyEntry&>(dialog);
            const CGridControl& grid = *modify.getGrid();
            for (int row = 0; row < grid.getRowCount(); ++row) {
                if (grid.getItemString(row, 0).compare(name, Qt::CaseInsensitive) == 0)
                    values << grid.getItemString(row, 1);
            }
            modify.getButton(0)->click();
        });
        EXPECT_EQ(m_frame->OnEntryModify(), 0);
        return values;
    }

    void selectRow(const QString& name, int valueIndex = 0)
    {
        for (int row = 0; row < record()->getRowCount(); ++row) {
            if (record()->getItemString(row, 0) == name && valueIndex-- == 0) {
                ASSERT_EQ(record()->selectRow(row), 0);
                return;
            }
        }
        FAIL() << "no row " << name.toStdString();
    }

    // Fills the Set Password dialog and presses OK; the dialog's own checks
    // may keep it open (it is then cancelled).
    void queueSetPassword(const QString& password, const QString& confirm, PasswordScheme scheme)
    {
        m_dialogs.queueDialog([=](QDialog& dialog) {
            auto& set = dynamic_cast<CDialogSetPassword&>(dialog);
            set.getPasswordEdit()->setText(password);
            set.getConfirmEdit()->setText(confirm);
            set.setScheme(scheme);
            set.getOkButton()->click();
            if (set.result() != QDialog::Accepted)
                set.reject();
        });
    }

    // Runs Check Password with each password; the dialog's results.
    std::vector<PasswordHash::Check> checkPasswords(const std::vector<QString>& passwords,
                                                    QStringList* texts = nullptr)
    {
        std::vector<PasswordHash::Check> results;
        m_dialogs.queueDialog([&](QDialog& dialog) {
            auto& check = dynamic_cast<CDialogCheckPassword&>(dialog);
            for (const QString& password : passwords) {
                check.getPasswordEdit()->setText(password);
                results.push_back(check.OnCheck());
                if (texts != nullptr)
                    *texts << check.getResultLabel()->text();
            }
            check.getCloseButton()->click();
        });
        EXPECT_EQ(m_frame->OnValueCheckPassword(), 0);
        return results;
    }

    ScriptedMessageBoxes m_boxes;
    ScriptedDialogs m_dialogs;
};

TEST_F(PasswordCommandsTest, APasswordSetWithEachSchemeBindsAndCheckAgrees)
{
    const std::string dn = createPerson("each", "userPassword: first-secret\n");
    EXPECT_EQ(recordValues(QStringLiteral("userPassword")), QStringList{"**** (clear text)"});
    EXPECT_EQ(bindStatus(dn, "first-secret"), 0);

    const struct {
        PasswordScheme scheme;
        const char* shown;
    } schemes[] = {
        {PasswordScheme::Ssha, "{SSHA} ****"},
        {PasswordScheme::Ssha256, "{SSHA256} ****"},
        {PasswordScheme::Ssha512, "{SSHA512} ****"},
        {PasswordScheme::CryptSha512, "{CRYPT} ****"},
        {PasswordScheme::ClearText, "**** (clear text)"},
    };
    for (const auto& s : schemes) {
        SCOPED_TRACE(s.shown);
        const std::string password = std::string("n\xC3\xA9w ") + s.shown;
        selectRow(QStringLiteral("userPassword"));
        queueSetPassword(QString::fromStdString(password), QString::fromStdString(password), s.scheme);
        if (s.scheme == PasswordScheme::ClearText)
            m_boxes.queueAnswer(BoxAnswer::Yes);
        ASSERT_EQ(m_frame->OnValueSetPassword(), 0);

        const std::vector<std::string> stored = storedPasswords(dn);
        ASSERT_EQ(stored.size(), 1u);
        EXPECT_EQ(stored[0].rfind(PasswordHash::schemePrefix(s.scheme), 0), 0u) << stored[0];
        EXPECT_EQ(recordValues(QStringLiteral("userPassword")), QStringList{s.shown});
        EXPECT_EQ(gridValues(QStringLiteral("userPassword")), QStringList{s.shown});
        EXPECT_EQ(bindStatus(dn, password), 0);
        EXPECT_EQ(bindStatus(dn, password + "x"), 49);
        EXPECT_EQ(bindStatus(dn, "first-secret"), 49);

        QStringList texts;
        EXPECT_EQ(checkPasswords({QString::fromStdString(password), QStringLiteral("wrong")}, &texts),
                  (std::vector<PasswordHash::Check>{PasswordHash::Check::Match,
                                                    PasswordHash::Check::NoMatch}));
        const QString scheme = s.scheme == PasswordScheme::ClearText
                                   ? QStringLiteral("clear-text")
                                   : QString::fromLatin1(PasswordHash::schemePrefix(s.scheme));
        EXPECT_EQ(texts, (QStringList{"The password matches the stored " + scheme + " value.",
                                      "The password does not match."}));
    }
    // Only the clear-text choice asked.
    EXPECT_EQ(dirtest::boxTexts(m_boxes),
              std::vector<std::wstring>{
                  L"The password will be stored in clear text: whoever can read userPassword "
                  L"can read it.\nStore it in clear text?"});
}

TEST_F(PasswordCommandsTest, TheDialogRefusesEmptyDifferentAndDeclinedPasswords)
{
    const std::string dn = createPerson("refused", "userPassword: kept-secret\n");
    const std::vector<std::string> before = storedPasswords(dn);
    selectRow(QStringLiteral("userPassword"));

    queueSetPassword(QString(), QString(), PasswordScheme::Ssha);
    EXPECT_EQ(m_frame->OnValueSetPassword(), -1);
    queueSetPassword(QStringLiteral("one"), QStringLiteral("two"), PasswordScheme::Ssha);
    EXPECT_EQ(m_frame->OnValueSetPassword(), -1);
    queueSetPassword(QStringLiteral("plain"), QStringLiteral("plain"), PasswordScheme::ClearText);
    m_boxes.queueAnswer(BoxAnswer::No);
    EXPECT_EQ(m_frame->OnValueSetPassword(), -1);
    const std::vector<std::wstring> texts = dirtest::boxTexts(m_boxes);
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0], L"Please type the new password.");
    EXPECT_EQ(texts[1], L"The two passwords differ.");
    EXPECT_EQ(storedPasswords(dn), before);

    // The clear-text warning shows while clear text is chosen.
    CDialogSetPassword dialog;
    dialog.setScheme(PasswordScheme::ClearText);
    EXPECT_FALSE(dialog.getWarningLabel()->isHidden());
    dialog.setScheme(PasswordScheme::CryptSha512);
    EXPECT_TRUE(dialog.getWarningLabel()->isHidden());
    EXPECT_EQ(dialog.getSchemeBox()->currentText(), QStringLiteral("{CRYPT} SHA-512 crypt"));
}

TEST_F(PasswordCommandsTest, TheSchemeChosenLastIsOfferedAgainButNeverClearText)
{
    const std::string dn = createPerson("remembered");
    queueSetPassword(QStringLiteral("a"), QStringLiteral("a"), PasswordScheme::Ssha512);
    ASSERT_EQ(m_frame->OnValueSetPassword(), 0);
    EXPECT_EQ(CDialogSetPassword().getScheme(), PasswordScheme::Ssha512);
    selectRow(QStringLiteral("userPassword"));
    queueSetPassword(QStringLiteral("b"), QStringLiteral("b"), PasswordScheme::ClearText);
    m_boxes.queueAnswer(BoxAnswer::Yes);
    ASSERT_EQ(m_frame->OnValueSetPassword(), 0);
    EXPECT_EQ(CDialogSetPassword().getScheme(), PasswordScheme::Ssha512);
    EXPECT_EQ(bindStatus(dn, "b"), 0);
}

TEST_F(PasswordCommandsTest, AnEntryWithoutPasswordGetsOneAndSeveralNeedASelection)
{
    const std::string dn = createPerson("without");
    ASSERT_EQ(record()->selectRow(0), 0);  // not a password row
    m_boxes.clear();
    EXPECT_EQ(m_frame->OnValueCheckPassword(), -1);
    EXPECT_EQ(dirtest::boxTexts(m_boxes),
              std::vector<std::wstring>{L"The entry has no userPassword value that can be read."});

    queueSetPassword(QStringLiteral("added"), QStringLiteral("added"), PasswordScheme::Ssha);
    ASSERT_EQ(m_frame->OnValueSetPassword(), 0);
    EXPECT_EQ(bindStatus(dn, "added"), 0);

    // A second value: now the one to replace must be chosen.
    ldapModify("dn: " + dn + "\nchangetype: modify\nadd: userPassword\nuserPassword: second\n");
    m_frame->OnEntryRefresh();
    ASSERT_EQ(record()->selectRow(0), 0);
    m_boxes.clear();
    EXPECT_EQ(m_frame->OnValueSetPassword(), -1);
    EXPECT_EQ(dirtest::boxTexts(m_boxes),
              std::vector<std::wstring>{L"Please select the userPassword value to replace, first"});
    // Check Password without a password row selected tries every value.
    EXPECT_EQ(checkPasswords({QStringLiteral("second"), QStringLiteral("added")}),
              (std::vector<PasswordHash::Check>{PasswordHash::Check::Match,
                                                PasswordHash::Check::Match}));

    // The selected one is replaced; the other stays.
    const QStringList shown = recordValues(QStringLiteral("userPassword"));
    ASSERT_EQ(shown.size(), 2);
    const int clearIndex = shown.indexOf(QStringLiteral("**** (clear text)"));
    ASSERT_GE(clearIndex, 0);
    selectRow(QStringLiteral("userPassword"), clearIndex);
    queueSetPassword(QStringLiteral("third"), QStringLiteral("third"), PasswordScheme::CryptSha512);
    ASSERT_EQ(m_frame->OnValueSetPassword(), 0);
    EXPECT_EQ(bindStatus(dn, "third"), 0);
    EXPECT_EQ(bindStatus(dn, "added"), 0);
    EXPECT_EQ(bindStatus(dn, "second"), 49);
}

TEST_F(PasswordCommandsTest, ModifySaveEditsTheStoredValueNotTheMask)
{
    const std::string dn = createPerson("edited", "userPassword: {SSHA}IuDgJ6HdltoCmac51J+HXODirGBDeBwx\n");
    EXPECT_EQ(recordValues(QStringLiteral("userPassword")), QStringList{"{SSHA} ****"});
    selectRow(QStringLiteral("userPassword"));
    QString preset;
    m_dialogs.queueDialog([&](QDialog& dialog) {
        auto& modify = dynamic_cast<CDialogModifyValue&>(dialog);
        preset = modify.getValueEdit()->text();
        modify.getOkButton()->click();
    });
    EXPECT_EQ(m_frame->OnValueModify(), -1);  // unchanged: nothing sent
    EXPECT_EQ(preset, QStringLiteral("{SSHA}IuDgJ6HdltoCmac51J+HXODirGBDeBwx"));
    EXPECT_EQ(storedPasswords(dn),
              std::vector<std::string>{"{SSHA}IuDgJ6HdltoCmac51J+HXODirGBDeBwx"});
    EXPECT_EQ(bindStatus(dn, dirtest::sample::kUser02Password), 0);
}

} // namespace
