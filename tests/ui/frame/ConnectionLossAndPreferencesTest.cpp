// The main window after the server went away, and View > Preferences...

#include "dialogs/CDialogPreferences.h"
#include "frame/CMainFrame.h"
#include "model/Model.h"
#include "services/PreferenceStore.h"
#include "services/Settings.h"
#include "session/LdapSession.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestDirectoryServer.h"
#include "ui/support/MainFrameFixture.h"
#include "ui/support/ScriptedDialogs.h"
#include "ui/support/UiTestSupport.h"
#include "utilities/Util.h"
#include "views/CListEntryAttributes.h"
#include "views/CListEntryStructuralAttributes.h"
#include "views/TreeControlView.h"

#include <QFile>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>

#include <gtest/gtest.h>

#include <memory>

namespace {

using dirtest::TestDirectoryServer;

class ConnectionLossAndPreferencesTest : public dirtest::MainFrameFixture {
protected:
    void TearDown() override
    {
        ui::PreferenceStore::save(ldapmodel::Preferences());
        m_model->setPreferences(ldapmodel::Preferences());
        dirtest::MainFrameFixture::TearDown();
    }

    dirtest::ScriptedMessageBoxes m_boxes;
    dirtest::ScriptedDialogs m_dialogs;
};

TEST_F(ConnectionLossAndPreferencesTest, ServerGoneClearsTheViewsAndTheTitle)
{
    ASSERT_EQ(m_model->setActiveEntry(util::fromUtf8(dirtest::sample::kUser01Dn)), 0);
    ASSERT_GT(m_frame->getRecordView()->getRowCount(), 0);
    ASSERT_GT(m_frame->getTreeView()->topLevelItemCount(), 0);
    m_frame->setWindowTitle(QStringLiteral("Dirlook: Lab"));

    TestDirectoryServer& server = TestDirectoryServer::shared();
    server.stop();
    m_frame->OnEntryRefresh();
    ASSERT_TRUE(server.start()) << server.lastError();
    ASSERT_TRUE(dirtest::waitFor([this]() { return m_frame->windowTitle() == "Dirlook: Not connected"; }));
    EXPECT_EQ(m_frame->getRecordView()->getRowCount(), 0);
    EXPECT_EQ(m_frame->getStructuralView()->getRowCount(), 0);
    EXPECT_EQ(m_frame->getTreeView()->topLevelItemCount(), 0);
    EXPECT_FALSE(m_model->isConnected());
    EXPECT_FALSE(m_model->isConnectionLost());  // dropped
    const std::vector<std::wstring> texts = dirtest::boxTexts(m_boxes);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].rfind(L"Read entry from server. LDAPError 81: ", 0), 0u);

    // The next command says so instead of failing silently.
    m_boxes.clear();
    EXPECT_EQ(m_frame->OnAttributeAdd(), -1);
    EXPECT_EQ(dirtest::boxTexts(m_boxes), std::vector<std::wstring>{L"Not connected."});
}

TEST_F(ConnectionLossAndPreferencesTest, PreferencesGoToTheModelAndTheSettingsFile)
{
    EXPECT_EQ(m_model->getPreferences().connectTimeoutSeconds, 10);
    EXPECT_EQ(m_model->getPreferences().operationTimeoutSeconds, 30);
    EXPECT_EQ(m_model->getPreferences().resultPauseMilliseconds, 10);
    EXPECT_EQ(m_model->getPreferences().pageSize, 500);

    m_dialogs.queueDialog([](QDialog& dialog) {
        auto& preferences = dynamic_cast<CDialogPreferences&>(dialog);
        const std::vector<QSpinBox*>& fields = preferences.getFields();
        ASSERT_EQ(fields.size(), 4u);
        EXPECT_EQ(fields[0]->value(), 10);
        EXPECT_EQ(fields[3]->value(), 500);
        fields[0]->setValue(3);
        fields[1]->setValue(7);
        fields[2]->setValue(0);
        fields[3]->setValue(0);
        preferences.getOkButton()->click();
    });
    EXPECT_EQ(m_frame->OnViewPreferences(), 0);
    EXPECT_EQ(m_model->getPreferences().connectTimeoutSeconds, 3);
    EXPECT_EQ(m_model->getPreferences().operationTimeoutSeconds, 7);
    EXPECT_EQ(m_model->getPreferences().resultPauseMilliseconds, 0);
    EXPECT_EQ(m_model->getPreferences().pageSize, 0);
    EXPECT_EQ(m_model->getSession()->getTimeouts().operationSeconds, 7);
    {
        QSettings file(ui::settingsFilePath(), QSettings::IniFormat);
        EXPECT_EQ(file.value("Preferences/ConnectTimeoutSeconds").toInt(), 3);
        EXPECT_EQ(file.value("Preferences/OperationTimeoutSeconds").toInt(), 7);
        EXPECT_EQ(file.value("Preferences/ResultPauseMilliseconds").toInt(), 0);
        EXPECT_EQ(file.value("Preferences/PageSize").toInt(), 0);
    }
    // A new window starts with what was stored.
    m_model->setPreferences(ldapmodel::Preferences());
    auto second = std::make_unique<CMainFrame>();
    EXPECT_EQ(m_model->getPreferences().connectTimeoutSeconds, 3);
    second.reset();

    // Cancel keeps them.
    m_dialogs.queueDialog([](QDialog& dialog) {
        auto& preferences = dynamic_cast<CDialogPreferences&>(dialog);
        preferences.getFields()[0]->setValue(99);
        preferences.getCancelButton()->click();
    });
    EXPECT_EQ(m_frame->OnViewPreferences(), -1);
    EXPECT_EQ(m_model->getPreferences().connectTimeoutSeconds, 3);

    // What a hand-edited file holds is brought into range; what is no
    // number takes the default.
    {
        QSettings file(ui::settingsFilePath(), QSettings::IniFormat);
        file.setValue("Preferences/ConnectTimeoutSeconds", "soon");
        file.setValue("Preferences/OperationTimeoutSeconds", 999999);
        file.setValue("Preferences/ResultPauseMilliseconds", -5);
        file.setValue("Preferences/PageSize", "");
    }
    const ldapmodel::Preferences loaded = ui::PreferenceStore::load();
    EXPECT_EQ(loaded.connectTimeoutSeconds, 10);
    EXPECT_EQ(loaded.operationTimeoutSeconds, 3600);
    EXPECT_EQ(loaded.resultPauseMilliseconds, 0);
    EXPECT_EQ(loaded.pageSize, 500);
}

} // namespace
