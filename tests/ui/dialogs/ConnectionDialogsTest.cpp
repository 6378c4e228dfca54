// The connection chooser and the profile editor, with the profile files
// checked on disk.

#include "dialogs/CDialogConnection.h"
#include "dialogs/CDialogConnectionProperties.h"
#include "profiles/Directories.h"
#include "profiles/HostAddress.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestDirectoryServer.h"
#include "ui/support/ScriptedDialogs.h"
#include "ui/support/UiTestSupport.h"
#include "utilities/Util.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <sys/stat.h>

using dirtest::Profile;
using dirtest::ScriptedDialogs;
using dirtest::ScriptedMessageBoxes;

namespace {

class ConnectionDialogsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_workDir = std::make_unique<dirtest::TempWorkDir>();
        Profile lab = dirtest::adminProfile(L"Lab");
        ASSERT_TRUE(dirtest::writeProfile(connections(), lab));
        Profile other;
        other.name = L"Other";
        other.host = L"ldap.example.org";
        other.port = 636;
        other.baseDn = L"o=other";
        ASSERT_TRUE(dirtest::writeProfile(connections(), other));
    }

    void TearDown() override { m_workDir.reset(); }

    std::string connections() const { return m_workDir->connections(); }
    std::string profileFile(const std::string& name) const
    {
        return connections() + "/" + name + ".connectionProperties";
    }

    static QStringList names(const CDialogConnection& chooser)
    {
        QStringList list;
        for (int i = 0; i < chooser.getList()->count(); ++i)
            list << chooser.getList()->item(i)->text();
        return list;
    }

    static void select(CDialogConnection& chooser, const QString& name)
    {
        const auto items = chooser.getList()->findItems(name, Qt::MatchExactly);
        ASSERT_EQ(items.size(), 1) << name.toStdString();
        chooser.getList()->setCurrentItem(items.first());
    }

    std::vector<std::wstring> boxTexts() const { return dirtest::boxTexts(m_boxes); }

    std::unique_ptr<dirtest::TempWorkDir> m_workDir;
    ScriptedMessageBoxes m_boxes;
    ScriptedDialogs m_dialogs;
};

// ---- chooser -----------------------------------------------------------------------

TEST_F(ConnectionDialogsTest, ChooserListsTheProfilesByFileName)
{
    CDialogConnection chooser;
    EXPECT_EQ(chooser.windowTitle(), QStringLiteral("Connection"));
    EXPECT_EQ(names(chooser), (QStringList{"Lab", "Other"}));
    EXPECT_EQ(chooser.getConnectButton()->text(), QStringLiteral("C&onnect"));
    EXPECT_TRUE(chooser.getConnectButton()->isDefault());
    EXPECT_EQ(chooser.getNewButton()->text(), QStringLiteral("&New"));
    EXPECT_EQ(chooser.getPropertiesButton()->text(), QStringLiteral("&Properties"));
    EXPECT_EQ(chooser.getCopyButton()->text(), QStringLiteral("&Copy"));
    EXPECT_EQ(chooser.getDeleteButton()->text(), QStringLiteral("&Delete"));
    EXPECT_EQ(chooser.getBrowseButton()->text(), QStringLiteral("&Browse"));
    EXPECT_EQ(chooser.getCancelButton()->text(), QStringLiteral("Cancel"));
    EXPECT_TRUE(m_boxes.boxes().empty());
}

TEST_F(ConnectionDialogsTest, WithoutAConnectionsDirectoryTheListIsEmpty)
{
    // Every first start.
    m_workDir.reset();
    m_workDir = std::make_unique<dirtest::TempWorkDir>();
    ASSERT_EQ(::rmdir(connections().c_str()), 0);
    CDialogConnection chooser;
    EXPECT_EQ(chooser.getList()->count(), 0);
    EXPECT_EQ(chooser.readProfiles(), 0);
    EXPECT_TRUE(m_boxes.boxes().empty());
}

TEST_F(ConnectionDialogsTest, ChooserReportsAConnectionsDirectoryItCannotRead)
{
    m_workDir.reset();
    m_workDir = std::make_unique<dirtest::TempWorkDir>();
    ASSERT_EQ(::rmdir(connections().c_str()), 0);
    ASSERT_TRUE(dirtest::writeBytes(connections(), "not a directory\n"));
    CDialogConnection chooser;
    EXPECT_EQ(chooser.getList()->count(), 0);
    EXPECT_EQ(boxTexts(),
              std::vector<std::wstring>{L"Can't read connection files, please reinstall the program"});
}

TEST_F(ConnectionDialogsTest, CommandsWithoutASelectedLineAskForOne)
{
    CDialogConnection chooser;
    QSignalSpy finished(&chooser, &QDialog::finished);
    EXPECT_EQ(chooser.OnConnect(), -1);
    EXPECT_EQ(chooser.OnProperties(), -1);
    EXPECT_EQ(chooser.OnCopy(), -1);
    EXPECT_EQ(chooser.OnDelete(), -1);
    ASSERT_EQ(m_boxes.boxes().size(), 4u);
    for (const auto& box : m_boxes.boxes()) {
        EXPECT_EQ(box.caption, L"Warning");
        EXPECT_EQ(box.text, L"Please select a connection");
        EXPECT_EQ(box.icon, util::BoxIcon::Warning);
    }
    EXPECT_EQ(finished.count(), 0);
    EXPECT_TRUE(m_dialogs.dialogClasses().empty());
    EXPECT_TRUE(dirtest::fileExists(profileFile("Lab")));
}

TEST_F(ConnectionDialogsTest, ConnectTakesTheChosenProfilesValues)
{
    CDialogConnection chooser;
    select(chooser, QStringLiteral("Lab"));
    chooser.getConnectButton()->click();
    EXPECT_EQ(chooser.result(), CDialogConnection::ConnectResult);
    const Profile lab = dirtest::adminProfile(L"Lab");
    EXPECT_EQ(chooser.getConnectionName(), L"Lab");
    EXPECT_EQ(chooser.getHostname(), lab.host);
    EXPECT_EQ(chooser.getPortnumber(), lab.port);
    EXPECT_EQ(chooser.getBaseDn(), lab.baseDn);
    EXPECT_FALSE(chooser.getAnonymous());
    EXPECT_EQ(chooser.getUserDn(), lab.userDn);
    EXPECT_EQ(chooser.getPassword(), lab.password);
    EXPECT_EQ(chooser.getFilter(), L"(objectclass=*)");
}

TEST_F(ConnectionDialogsTest, NewStartsFromDefaultsAndWritesTheProfile)
{
    CDialogConnection chooser;
    m_dialogs.queueDialog([](QDialog& dialog) {
        auto& editor = dynamic_cast<CDialogConnectionProperties&>(dialog);
        EXPECT_EQ(editor.windowTitle(), QStringLiteral("Connection Properties"));
        EXPECT_TRUE(editor.isNewConnection());
        EXPECT_EQ(editor.getNameEdit()->text(), QStringLiteral("New Connection"));
        EXPECT_EQ(editor.getHostEdit()->text(), QString());
        EXPECT_EQ(editor.getPortEdit()->text(), QStringLiteral("389"));
        EXPECT_TRUE(editor.getAnonymousCheck()->isChecked());
        EXPECT_TRUE(editor.getUserDnEdit()->isReadOnly());
        EXPECT_TRUE(editor.getPasswordEdit()->isReadOnly());
        EXPECT_EQ(editor.getPasswordEdit()->echoMode(), QLineEdit::Password);
        // As much as each line of the profile file loads back.
        EXPECT_EQ(editor.getNameEdit()->maxLength(), 251);
        EXPECT_EQ(editor.getHostEdit()->maxLength(), 252);
        EXPECT_EQ(editor.getUserDnEdit()->maxLength(), 251);
        EXPECT_EQ(editor.getBaseDnCombo()->lineEdit()->maxLength(), 251);
        EXPECT_EQ(editor.getPasswordEdit()->maxLength(), 254);
        EXPECT_EQ(editor.getBaseDnButton()->toolTip(),
                  QStringLiteral("Get using initial data, to change save then try again"));

        editor.getNameEdit()->setText(QStringLiteral("Fresh"));
        editor.getHostEdit()->setText(QStringLiteral("ldap.example.net"));
        editor.getPortEdit()->setText(QStringLiteral("10389"));
        editor.getBaseDnCombo()->setEditText(QStringLiteral("dc=example,dc=net"));
        editor.getAnonymousCheck()->setChecked(false);
        EXPECT_FALSE(editor.getUserDnEdit()->isReadOnly());
        editor.getUserDnEdit()->setText(QStringLiteral("cn=admin,dc=example,dc=net"));
        editor.getPasswordEdit()->setText(QStringLiteral("s3cret"));
        editor.getSaveButton()->click();
    });
    chooser.getNewButton()->click();
    EXPECT_EQ(m_dialogs.pendingDialogs(), 0u);
    EXPECT_EQ(names(chooser), (QStringList{"Fresh", "Lab", "Other"}));

    Profile saved;
    ASSERT_TRUE(dirtest::readProfile(connections(), L"Fresh", saved));
    EXPECT_EQ(saved.name, L"Fresh");
    EXPECT_EQ(saved.host, L"ldap.example.net");
    EXPECT_EQ(saved.port, 10389);
    EXPECT_EQ(saved.baseDn, L"dc=example,dc=net");
    EXPECT_FALSE(saved.anonymous);
    EXPECT_EQ(saved.userDn, L"cn=admin,dc=example,dc=net");
    EXPECT_EQ(saved.password, L"s3cret");
    EXPECT_TRUE(m_boxes.boxes().empty());
}

TEST_F(ConnectionDialogsTest, NewWithATakenNameStaysOpenAndWritesNothing)
{
    CDialogConnection chooser;
    int closed = -1;
    m_dialogs.queueDialog([&closed](QDialog& dialog) {
        auto& editor = dynamic_cast<CDialogConnectionProperties&>(dialog);
        QSignalSpy finished(&editor, &QDialog::finished);
        editor.getNameEdit()->setText(QStringLiteral("Other"));
        editor.getHostEdit()->setText(QStringLiteral("changed.example.org"));
        editor.getSaveButton()->click();
        closed = finished.count();
        EXPECT_EQ(editor.OnSave(), -1);
        editor.getCancelButton()->click();
    });
    chooser.getNewButton()->click();
    EXPECT_EQ(closed, 0);
    ASSERT_GE(m_boxes.boxes().size(), 1u);
    EXPECT_EQ(m_boxes.boxes()[0].caption, L"Connection exists");
    EXPECT_EQ(m_boxes.boxes()[0].text, L"The connection already exists, please change the name");
    EXPECT_EQ(m_boxes.boxes()[0].buttons, util::BoxButtons::OkCancel);
    Profile other;
    ASSERT_TRUE(dirtest::readProfile(connections(), L"Other", other));
    EXPECT_EQ(other.host, L"ldap.example.org");
}

TEST_F(ConnectionDialogsTest, NewNamedLikeAnotherInOtherLetterCaseIsSaved)
{
    CDialogConnection chooser;
    m_dialogs.queueDialog([](QDialog& dialog) {
        auto& editor = dynamic_cast<CDialogConnectionProperties&>(dialog);
        editor.getNameEdit()->setText(QStringLiteral("lab"));
        editor.getSaveButton()->click();
    });
    chooser.getNewButton()->click();
    EXPECT_TRUE(m_boxes.boxes().empty());
    EXPECT_TRUE(dirtest::fileExists(profileFile("lab")));
    EXPECT_TRUE(dirtest::fileExists(profileFile("Lab")));
    EXPECT_EQ(names(chooser), (QStringList{"Lab", "Other", "lab"}));
}

TEST_F(ConnectionDialogsTest, NamesThatLeaveTheConnectionsDirectoryAreRefused)
{
    CDialogConnection chooser;
    m_dialogs.queueDialog([](QDialog& dialog) {
        auto& editor = dynamic_cast<CDialogConnectionProperties&>(dialog);
        editor.getNameEdit()->setText(QStringLiteral("../escaped"));
        EXPECT_EQ(editor.OnSave(), -1);
        editor.getNameEdit()->setText(QString());
        EXPECT_EQ(editor.OnSave(), -1);
        editor.getCancelButton()->click();
    });
    chooser.getNewButton()->click();
    EXPECT_EQ(m_boxes.boxes().size(), 2u);
    EXPECT_FALSE(dirtest::fileExists(m_workDir->path() + "/escaped.connectionProperties"));
    EXPECT_EQ(names(chooser), (QStringList{"Lab", "Other"}));
}

TEST_F(ConnectionDialogsTest, FieldsTheProfileFileCantHoldAreRefusedByName)
{
    struct Case {
        QLineEdit* (CDialogConnectionProperties::*edit)() const;
        QString value;
        std::wstring text;
    };
    const std::wstring latin1 = L"field holds \"\u0141\", a character that a connection file can't store.\n"
                                L"Please use only Latin-1 characters (up to U+00FF).";
    const Case cases[] = {
        {&CDialogConnectionProperties::getNameEdit, QStringLiteral("\u0141\u00f3d\u017a"), L"The Name " + latin1},
        // No host name holds such a letter: the Host field says what it takes.
        {&CDialogConnectionProperties::getHostEdit, QStringLiteral("h\u0141"), ldapmodel::HostAddress::kAccepted},
        {&CDialogConnectionProperties::getUserDnEdit, QStringLiteral("cn=\u0141"), L"The User DN " + latin1},
        {&CDialogConnectionProperties::getPasswordEdit, QStringLiteral("pa\u0141"),
         L"The Password field holds a character that a connection file can't store.\n"
         L"Please use only Latin-1 characters (up to U+00FF)."},
        {&CDialogConnectionProperties::getNameEdit, QStringLiteral(" Lead"),
         L"The Name field can't start with a space or a tab."},
        {&CDialogConnectionProperties::getPasswordEdit, QStringLiteral("-"),
         L"The Password field can't be \"-\" alone: a connection file reads it as empty."},
    };
    for (const Case& test : cases) {
        m_boxes.clear();
        CDialogConnection chooser;
        int result = 0;
        m_dialogs.queueDialog([&](QDialog& dialog) {
            auto& editor = dynamic_cast<CDialogConnectionProperties&>(dialog);
            editor.getAnonymousCheck()->setChecked(false);
            editor.getNameEdit()->setText(QStringLiteral("Refused"));
            (editor.*test.edit)()->setText(test.value);
            result = editor.OnSave();
            editor.getCancelButton()->click();
        });
        chooser.getNewButton()->click();
        EXPECT_EQ(result, -1);
        EXPECT_EQ(boxTexts(), std::vector<std::wstring>{test.text});
        EXPECT_EQ(names(chooser), (QStringList{"Lab", "Other"}));
    }
    // A base DN from the server's list is checked the same way.
    m_boxes.clear();
    CDialogConnection chooser;
    m_dialogs.queueDialog([&](QDialog& dialog) {
        auto& editor = dynamic_cast<CDialogConnectionProperties&>(dialog);
        editor.getBaseDnCombo()->addItem(QStringLiteral("o=\u0141\u00f3d\u017a"));
        editor.getBaseDnCombo()->setCurrentIndex(1);
        EXPECT_EQ(editor.OnSave(), -1);
        editor.getCancelButton()->click();
    });
    chooser.getNewButton()->click();
    EXPECT_EQ(boxTexts(), std::vector<std::wstring>{L"The Base DN " + latin1});
    EXPECT_FALSE(dirtest::fileExists(profileFile("New Connection")));
}

TEST_F(ConnectionDialogsTest, ASaveThatFailsIsReportedAndTheEditorStaysOpen)
{
    // Something that is not a profile file stands at the profile's path.
    ASSERT_EQ(::mkdir(profileFile("Blocked").c_str(), 0700), 0);
    CDialogConnection chooser;
    int closed = -1;
    m_dialogs.queueDialog([&closed](QDialog& dialog) {
        auto& editor = dynamic_cast<CDialogConnectionProperties&>(dialog);
        QSignalSpy finished(&editor, &QDialog::finished);
        editor.getNameEdit()->setText(QStringLiteral("Blocked"));
        EXPECT_EQ(editor.OnSave(), -1);
        closed = finished.count();
        editor.getCancelButton()->click();
    });
    EXPECT_EQ(chooser.OnNew(), -1);
    EXPECT_EQ(closed, 0);
    const auto boxes = m_boxes.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, L"Connection Properties");
    EXPECT_EQ(boxes[0].text, L"Can't save the connection file\n" + util::fromUtf8(profileFile("Blocked"))
                                 + L"\nis not a regular file");
    EXPECT_EQ(boxes[0].icon, util::BoxIcon::Warning);
}

TEST_F(ConnectionDialogsTest, PropertiesEditsTheProfileAndSavingUnderItsNameReplacesIt)
{
    CDialogConnection chooser;
    select(chooser, QStringLiteral("Other"));
    m_dialogs.queueDialog([](QDialog& dialog) {
        auto& editor = dynamic_cast<CDialogConnectionProperties&>(dialog);
        EXPECT_FALSE(editor.isNewConnection());
        EXPECT_EQ(editor.getNameEdit()->text(), QStringLiteral("Other"));
        EXPECT_EQ(editor.getHostEdit()->text(), QStringLiteral("ldap.example.org"));
        EXPECT_EQ(editor.getPortEdit()->text(), QStringLiteral("636"));
        EXPECT_EQ(editor.getBaseDnCombo()->currentText(), QStringLiteral("o=other"));
        EXPECT_EQ(editor.getBaseDnCombo()->count(), 1);
        editor.getHostEdit()->setText(QStringLiteral("ldap2.example.org"));
        editor.getPortEdit()->setText(QStringLiteral("not a number"));
        editor.getSaveButton()->click();
    });
    chooser.getPropertiesButton()->click();
    EXPECT_TRUE(m_boxes.boxes().empty());
    Profile other;
    ASSERT_TRUE(dirtest::readProfile(connections(), L"Other", other));
    EXPECT_EQ(other.host, L"ldap2.example.org");
    EXPECT_EQ(other.port, 0);
    EXPECT_EQ(other.baseDn, L"o=other");
    EXPECT_EQ(names(chooser), (QStringList{"Lab", "Other"}));
}

TEST_F(ConnectionDialogsTest, RenamingInTheEditorKeepsTheOldFile)
{
    CDialogConnection chooser;
    select(chooser, QStringLiteral("Other"));
    m_dialogs.queueDialog([](QDialog& dialog) {
        auto& editor = dynamic_cast<CDialogConnectionProperties&>(dialog);
        editor.getNameEdit()->setText(QStringLiteral("Renamed"));
        editor.getSaveButton()->click();
    });
    chooser.getPropertiesButton()->click();
    EXPECT_TRUE(dirtest::fileExists(profileFile("Other")));
    EXPECT_TRUE(dirtest::fileExists(profileFile("Renamed")));
    EXPECT_EQ(names(chooser), (QStringList{"Lab", "Other", "Renamed"}));
}

TEST_F(ConnectionDialogsTest, CopyExplainsThenSavesUnderTheNewName)
{
    CDialogConnection chooser;
    select(chooser, QStringLiteral("Lab"));
    m_dialogs.queueDialog([](QDialog& dialog) {
        auto& editor = dynamic_cast<CDialogConnectionProperties&>(dialog);
        EXPECT_EQ(editor.getNameEdit()->text(), QStringLiteral("Lab"));
        editor.getNameEdit()->setText(QStringLiteral("Lab copy"));
        editor.getSaveButton()->click();
    });
    chooser.getCopyButton()->click();
    ASSERT_EQ(m_boxes.boxes().size(), 1u);
    EXPECT_EQ(m_boxes.boxes()[0].caption, L"Copy connection");
    EXPECT_EQ(m_boxes.boxes()[0].text, L"In the following dialog change the name and click Save");
    EXPECT_EQ(m_boxes.boxes()[0].icon, util::BoxIcon::Information);

    Profile copy;
    ASSERT_TRUE(dirtest::readProfile(connections(), L"Lab copy", copy));
    const Profile lab = dirtest::adminProfile(L"Lab");
    EXPECT_EQ(copy.host, lab.host);
    EXPECT_EQ(copy.port, lab.port);
    EXPECT_EQ(copy.userDn, lab.userDn);
    EXPECT_EQ(copy.password, lab.password);
    EXPECT_TRUE(dirtest::fileExists(profileFile("Lab")));
    // File-name order: " " sorts before ".".
    EXPECT_EQ(names(chooser), (QStringList{"Lab copy", "Lab", "Other"}));
}

TEST_F(ConnectionDialogsTest, DeleteAsksAndRemovesTheFileOnlyWhenConfirmed)
{
    CDialogConnection chooser;
    select(chooser, QStringLiteral("Other"));
    m_boxes.queueAnswer(util::BoxAnswer::No);
    chooser.getDeleteButton()->click();
    EXPECT_TRUE(dirtest::fileExists(profileFile("Other")));
    ASSERT_EQ(m_boxes.boxes().size(), 1u);
    EXPECT_EQ(m_boxes.boxes()[0].caption, L"Warning");
    EXPECT_EQ(m_boxes.boxes()[0].text, L"Are you sure you want to delete entry:\nOther ?");
    EXPECT_EQ(m_boxes.boxes()[0].buttons, util::BoxButtons::YesNo);

    select(chooser, QStringLiteral("Other"));
    m_boxes.queueAnswer(util::BoxAnswer::Yes);
    chooser.getDeleteButton()->click();
    EXPECT_FALSE(dirtest::fileExists(profileFile("Other")));
    EXPECT_EQ(names(chooser), (QStringList{"Lab"}));
}

TEST_F(ConnectionDialogsTest, BrowseRelocatesToTheChosenFolder)
{
    dirtest::TempWorkDir elsewhere;  // now the working directory
    Profile far;
    far.name = L"Far";
    far.host = L"far.example.org";
    ASSERT_TRUE(dirtest::writeProfile(elsewhere.path(), far));
    ldapmodel::Directories::changeWorkingDirectory(util::fromUtf8(m_workDir->path()));
    ldapmodel::Directories::initialize();

    CDialogConnection chooser;
    ASSERT_EQ(names(chooser), (QStringList{"Lab", "Other"}));
    m_dialogs.queueFile(QString::fromStdString(elsewhere.path()));
    chooser.getBrowseButton()->click();
    ASSERT_EQ(m_dialogs.fileCalls().size(), 1u);
    EXPECT_EQ(m_dialogs.fileCalls()[0].kind, ScriptedDialogs::FileDialogCall::Folder);
    EXPECT_EQ(m_dialogs.fileCalls()[0].request.caption, QStringLiteral("Choose config directory"));
    ASSERT_EQ(m_boxes.boxes().size(), 1u);
    EXPECT_EQ(m_boxes.boxes()[0].caption, L"Info");
    EXPECT_EQ(m_boxes.boxes()[0].icon, util::BoxIcon::Warning);
    EXPECT_EQ(names(chooser), (QStringList{"Far"}));
    EXPECT_EQ(ldapmodel::Directories::getConnectionsDirectory(), util::fromUtf8(elsewhere.path()));
    ldapmodel::Directories::changeWorkingDirectory(util::fromUtf8(m_workDir->path()));
}

// ---- editor --------------------------------------------------------------------------

TEST_F(ConnectionDialogsTest, AnonymousKeepsTheTypedUserAndPasswordInTheFile)
{
    CDialogConnectionProperties::Values values;
    values.name = L"Lab";
    CDialogConnectionProperties editor(values, false, {});
    EXPECT_FALSE(editor.getAnonymousCheck()->isChecked());
    EXPECT_EQ(editor.getUserDnEdit()->text().toStdString(), dirtest::TestDirectoryServer::adminDn());
    editor.getAnonymousCheck()->setChecked(true);
    EXPECT_TRUE(editor.getUserDnEdit()->isReadOnly());
    EXPECT_TRUE(editor.getPasswordEdit()->isReadOnly());
    EXPECT_EQ(editor.getUserDnEdit()->text().toStdString(), dirtest::TestDirectoryServer::adminDn());
    EXPECT_EQ(editor.OnSave(), 0);
    EXPECT_EQ(editor.result(), CDialogConnectionProperties::SaveResult);
    Profile saved;
    ASSERT_TRUE(dirtest::readProfile(connections(), L"Lab", saved));
    EXPECT_TRUE(saved.anonymous);
    EXPECT_EQ(saved.userDn, dirtest::adminProfile(L"Lab").userDn);
    EXPECT_EQ(saved.password, dirtest::adminProfile(L"Lab").password);
}

TEST_F(ConnectionDialogsTest, GetBaseDnListsTheServersNamingContexts)
{
    const Profile lab = dirtest::adminProfile(L"Lab");
    CDialogConnectionProperties::Values values;
    values.name = L"Probe";
    values.hostname = lab.host;
    values.portnumber = lab.port;
    values.baseDn = L"o=stale";
    CDialogConnectionProperties editor(values, true, {});
    EXPECT_EQ(editor.OnGetBaseDn(), 1);
    ASSERT_EQ(editor.getBaseDnCombo()->count(), 1);
    EXPECT_EQ(editor.getBaseDnCombo()->itemText(0).toStdString(),
              dirtest::TestDirectoryServer::baseDn());
    EXPECT_EQ(editor.getBaseDnCombo()->currentIndex(), 0);
    EXPECT_EQ(editor.OnSave(), 0);
    Profile saved;
    ASSERT_TRUE(dirtest::readProfile(connections(), L"Probe", saved));
    EXPECT_EQ(saved.baseDn, util::fromUtf8(dirtest::TestDirectoryServer::baseDn()));
}

// ---- security ------------------------------------------------------------------------

TEST_F(ConnectionDialogsTest, ChooserMarksTheProfilesThatConnectSecurely)
{
    Profile secure = dirtest::adminProfile(L"Secure");
    secure.security = L"ldaps";
    ASSERT_TRUE(dirtest::writeProfile(connections(), secure));
    Profile started = dirtest::adminProfile(L"Started");
    started.security = L"starttls";
    ASSERT_TRUE(dirtest::writeProfile(connections(), started));
    CDialogConnection chooser;
    ASSERT_EQ(names(chooser), (QStringList{"Lab", "Other", "Secure", "Started"}));
    const QListWidget* list = chooser.getList();
    EXPECT_TRUE(list->item(0)->icon().isNull());
    EXPECT_TRUE(list->item(1)->icon().isNull());
    EXPECT_FALSE(list->item(2)->icon().isNull());
    EXPECT_FALSE(list->item(3)->icon().isNull());
    EXPECT_EQ(list->item(0)->toolTip(), QStringLiteral("Not encrypted: the password goes in clear text"));
    EXPECT_EQ(list->item(2)->toolTip(), QStringLiteral("LDAPS: encrypted"));
    EXPECT_EQ(list->item(3)->toolTip(), QStringLiteral("StartTLS: encrypted"));
}

TEST_F(ConnectionDialogsTest, SecurityAndCaFileAreSavedAndThePortFollowsUntilTyped)
{
    CDialogConnection chooser;
    m_dialogs.queueFile(QStringLiteral("/etc/ssl/our-ca.pem"));
    m_dialogs.queueDialog([](QDialog& dialog) {
        auto& editor = dynamic_cast<CDialogConnectionProperties&>(dialog);
        QComboBox* security = editor.getSecurityCombo();
        ASSERT_EQ(security->count(), 3);
        EXPECT_EQ(security->currentText(), QStringLiteral("None"));
        EXPECT_EQ(editor.getPortEdit()->text(), QStringLiteral("389"));
        security->setCurrentIndex(1);
        EXPECT_EQ(editor.getPortEdit()->text(), QStringLiteral("636"));
        security->setCurrentIndex(2);
        EXPECT_EQ(editor.getPortEdit()->text(), QStringLiteral("389"));
        // A port the user typed stays.
        editor.getPortEdit()->clear();
        QTest::keyClicks(editor.getPortEdit(), QStringLiteral("10389"));
        security->setCurrentIndex(1);
        security->setCurrentIndex(2);
        EXPECT_EQ(editor.getPortEdit()->text(), QStringLiteral("10389"));
        editor.getCaFileButton()->click();
        EXPECT_EQ(editor.getCaFileEdit()->text(), QStringLiteral("/etc/ssl/our-ca.pem"));
        editor.getNameEdit()->setText(QStringLiteral("Secured"));
        editor.getHostEdit()->setText(QStringLiteral("ldap.example.com"));
        EXPECT_EQ(editor.OnSave(), 0);
    });
    ASSERT_EQ(chooser.OnNew(), 0);
    EXPECT_EQ(m_dialogs.fileCalls().at(0).request.caption, QStringLiteral("Choose a CA certificate file"));
    const std::string bytes = dirtest::readBytes(profileFile("Secured"));
    EXPECT_NE(bytes.find("PortNumber\t\t10389\r\n"), std::string::npos) << bytes;
    EXPECT_EQ(bytes.substr(bytes.find("ServerName")),
              "ServerName\t\tServerName...\r\nSecurity\t\tstarttls\r\nCACertificate\t\t/etc/ssl/our-ca.pem\r\n");

    // Connect hands them on; Properties shows them again.
    ASSERT_EQ(chooser.connectTo(L"Secured"), 0);
    EXPECT_EQ(chooser.getSecurity(), ldapmodel::ConnectionPropertyFile::Security::StartTls);
    EXPECT_EQ(chooser.getCaFile(), L"/etc/ssl/our-ca.pem");
    CDialogConnectionProperties::Values values;
    values.name = L"Secured";
    CDialogConnectionProperties editor(values, false, {});
    EXPECT_EQ(editor.getSecurityCombo()->currentText(), QStringLiteral("StartTLS"));
    EXPECT_EQ(editor.getCaFileEdit()->text(), QStringLiteral("/etc/ssl/our-ca.pem"));
    EXPECT_EQ(editor.getPortEdit()->text(), QStringLiteral("10389"));
}

TEST_F(ConnectionDialogsTest, TheHostFieldTakesWhatAdministratorsPasteAndRefusesTheRest)
{
    CDialogConnectionProperties::Values values;
    values.name = L"Pasted";
    CDialogConnectionProperties editor(values, true, {});
    struct Case {
        QString typed;
        QString host;
        QString port;
        QString security;
    };
    const Case cases[] = {
        {QStringLiteral(" ldaps://dir.example.com/ "), QStringLiteral("dir.example.com"), QStringLiteral("636"),
         QStringLiteral("LDAPS")},
        {QStringLiteral("ldap://dir.example.com:3890"), QStringLiteral("dir.example.com"), QStringLiteral("3890"),
         QStringLiteral("None")},
        {QStringLiteral("[2001:db8::1]:10636"), QStringLiteral("2001:db8::1"), QStringLiteral("10636"),
         QStringLiteral("None")},
        {QStringLiteral("dir2.example.com"), QStringLiteral("dir2.example.com"), QStringLiteral("10636"),
         QStringLiteral("None")},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.typed.toStdString());
        editor.getHostEdit()->setText(test.typed);
        emit editor.getHostEdit()->editingFinished();
        EXPECT_EQ(editor.getHostEdit()->text(), test.host);
        EXPECT_EQ(editor.getPortEdit()->text(), test.port);
        EXPECT_EQ(editor.getSecurityCombo()->currentText(), test.security);
    }
    editor.getHostEdit()->setText(QStringLiteral("ldap://dir.example.com/dc=example"));
    EXPECT_EQ(editor.OnSave(), -1);
    EXPECT_EQ(boxTexts(), std::vector<std::wstring>{ldapmodel::HostAddress::kAccepted});
    EXPECT_FALSE(dirtest::fileExists(profileFile("Pasted")));
}

TEST_F(ConnectionDialogsTest, AnUnknownSecurityIsKeptByTheEditorAndNeverConnectedInClearText)
{
    Profile later = dirtest::adminProfile(L"Later");
    later.security = L"ldaps-client-certificate";
    ASSERT_TRUE(dirtest::writeProfile(connections(), later));
    {
        CDialogConnectionProperties::Values values;
        values.name = L"Later";
        CDialogConnectionProperties editor(values, false, {});
        EXPECT_EQ(editor.getSecurityCombo()->currentIndex(), -1);
        EXPECT_EQ(editor.OnSave(), 0);
    }
    Profile saved;
    ASSERT_TRUE(dirtest::readProfile(connections(), L"Later", saved));
    EXPECT_EQ(saved.security, L"ldaps-client-certificate");

    CDialogConnection chooser;
    ASSERT_EQ(chooser.connectTo(L"Later"), 0);
    CDialogConnectionProperties::Values values;
    values.security = chooser.getSecurity();
    values.securityText = chooser.getSecurityText();
    ldapmodel::TlsSettings tls;
    EXPECT_FALSE(CDialogConnectionProperties::tlsSettingsFor(values, tls));
    EXPECT_EQ(boxTexts(), std::vector<std::wstring>{L"The connection asks for the security "
                                                    L"\"ldaps-client-certificate\", which this version does not know."
                                                    L"\nChoose None, LDAPS or StartTLS in its properties."});
}

TEST_F(ConnectionDialogsTest, CancelWritesNothing)
{
    CDialogConnectionProperties::Values values;
    values.name = L"Unsaved";
    CDialogConnectionProperties editor(values, true, {});
    editor.getHostEdit()->setText(QStringLiteral("x.example.org"));
    editor.getCancelButton()->click();
    EXPECT_EQ(editor.result(), QDialog::Rejected);
    EXPECT_FALSE(dirtest::fileExists(profileFile("Unsaved")));
}

} // namespace
