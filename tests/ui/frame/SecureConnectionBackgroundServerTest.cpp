// Connecting from the main window with LDAPS and StartTLS: the certificate
// question as the program asks it, and the status bar's word on the
// connection. The TLS handshake runs on a helper thread: this program also
// runs under ThreadSanitizer.

#include "dialogs/CDialogServerCertificate.h"
#include "frame/CMainFrame.h"
#include "model/Model.h"
#include "security/CertificateTrustService.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestDirectoryServer.h"
#include "ui/support/ScriptedDialogs.h"
#include "ui/support/UiTestSupport.h"
#include "utilities/Util.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

#include <memory>

namespace {

using dirtest::Profile;
using dirtest::TestDirectoryServer;

TestDirectoryServer& tlsServer()
{
    static TestDirectoryServer* server =
        new TestDirectoryServer(TestDirectoryServer::Content::Empty, TestDirectoryServer::Tls::On);
    return *server;
}

class SecureConnectionTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(tlsServer().start()) << tlsServer().lastError(); }

    void SetUp() override
    {
        m_workDir = std::make_unique<dirtest::TempWorkDir>();
        ldapmodel::setServerCertificateService(&m_certificates);
        m_frame = std::make_unique<CMainFrame>();
    }

    void TearDown() override
    {
        auto model = ldapmodel::Model::getInstance();
        if (model->isConnected())
            model->disconnect();
        model->setTlsSettings(ldapmodel::TlsSettings());
        m_frame.reset();
        QCoreApplication::processEvents();
        ldapmodel::setServerCertificateService(nullptr);
        m_workDir.reset();
    }

    // A profile of the TLS server bound as its administrator.
    Profile profile(const std::wstring& name, const std::wstring& security, bool withCa) const
    {
        Profile result;
        result.name = name;
        result.port = security == L"ldaps" ? tlsServer().tlsPort() : tlsServer().port();
        result.baseDn = util::fromUtf8(TestDirectoryServer::baseDn());
        result.anonymous = false;
        result.userDn = util::fromUtf8(TestDirectoryServer::adminDn());
        result.password = util::fromUtf8(TestDirectoryServer::adminPassword());
        result.security = security;
        if (withCa)
            result.caFile = util::fromUtf8(tlsServer().caCertificateFile());
        return result;
    }

    int connectTo(const Profile& chosen)
    {
        EXPECT_TRUE(dirtest::writeProfile(m_workDir->connections(), chosen));
        return m_frame->connectToProfile(chosen.name);
    }

    QString status() const { return m_frame->getSecurityStatus()->text(); }

    std::unique_ptr<dirtest::TempWorkDir> m_workDir;
    dirtest::ScriptedMessageBoxes m_boxes;
    dirtest::ScriptedDialogs m_dialogs;
    // Pins go to the scratch working directory.
    ldapmodel::CertificateTrustService m_certificates{
        &CDialogServerCertificate::ask,
        [this]() { return util::fromUtf8(m_workDir->path() + "/trusted-certificates"); }};
    std::unique_ptr<CMainFrame> m_frame;
};

TEST_F(SecureConnectionTest, TheStatusBarNamesTheTlsVersionOrWarnsOfAClearTextPassword)
{
    for (const std::wstring security : {L"ldaps", L"starttls"}) {
        SCOPED_TRACE(util::toUtf8(security));
        ASSERT_EQ(connectTo(profile(L"Secure", security, true)), 0);
        EXPECT_TRUE(status().startsWith(QStringLiteral("Encrypted: TLS1."))) << status().toStdString();
        EXPECT_TRUE(m_dialogs.dialogClasses().empty());
        EXPECT_TRUE(m_boxes.boxes().empty());
    }

    Profile plain = profile(L"Plain", L"", false);
    ASSERT_EQ(connectTo(plain), 0);
    EXPECT_EQ(status(), QStringLiteral("Not encrypted: the password was sent in clear text"));
    EXPECT_TRUE(m_frame->getSecurityStatus()->styleSheet().contains(QStringLiteral("#c00000")));
    plain.name = L"Anonymous";
    plain.anonymous = true;
    ASSERT_EQ(connectTo(plain), 0);
    EXPECT_EQ(status(), QStringLiteral("Not encrypted"));

    ASSERT_EQ(m_frame->OnDisconnect(), 0);
    EXPECT_EQ(status(), QString());
}

TEST_F(SecureConnectionTest, AnUnverifiedCertificateIsAskedAboutAndCancelLeavesNoConnection)
{
    m_dialogs.queueDialog([](QDialog& dialog) {
        auto& question = dynamic_cast<CDialogServerCertificate&>(dialog);
        EXPECT_EQ(question.getFieldText(QStringLiteral("Host:")),
                  QStringLiteral("127.0.0.1:") + QString::number(tlsServer().tlsPort()));
        question.getCancelButton()->click();
    });
    EXPECT_EQ(connectTo(profile(L"Unknown CA", L"ldaps", false)), -1);
    EXPECT_EQ(m_dialogs.dialogClasses().back(), QStringLiteral("CDialogServerCertificate"));
    EXPECT_EQ(m_frame->windowTitle(), QStringLiteral("Dirlook: Not connected"));
    EXPECT_FALSE(ldapmodel::Model::getInstance()->isConnected());
    EXPECT_TRUE(m_boxes.boxes().empty());
    EXPECT_EQ(status(), QString());

    // Always trust: connected now, and the next time without a question.
    m_dialogs.queueDialog([](QDialog& dialog) {
        dynamic_cast<CDialogServerCertificate&>(dialog).getAlwaysTrustButton()->click();
    });
    ASSERT_EQ(connectTo(profile(L"Unknown CA", L"ldaps", false)), 0);
    EXPECT_TRUE(status().startsWith(QStringLiteral("Encrypted: ")));
    const std::size_t asked = m_dialogs.dialogClasses().size();
    ASSERT_EQ(connectTo(profile(L"Unknown CA", L"ldaps", false)), 0);
    EXPECT_EQ(m_dialogs.dialogClasses().size(), asked);
    EXPECT_EQ(m_dialogs.pendingDialogs(), 0u);
}

TEST_F(SecureConnectionTest, AProfileWithASecurityThisVersionDoesNotKnowIsNotConnected)
{
    ASSERT_EQ(connectTo(profile(L"Secure", L"ldaps", true)), 0);
    const QString title = m_frame->windowTitle();
    EXPECT_EQ(connectTo(profile(L"Later", L"ldaps-with-client-certificate", true)), -1);
    ASSERT_EQ(m_boxes.boxes().size(), 1u);
    EXPECT_EQ(m_boxes.boxes()[0].caption, L"Connection");
    // The connection that was there stays.
    EXPECT_TRUE(ldapmodel::Model::getInstance()->isConnected());
    EXPECT_EQ(m_frame->windowTitle(), title);
}

} // namespace
