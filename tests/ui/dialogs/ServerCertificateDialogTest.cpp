// The server certificate question: what it shows, Cancel as its default,
// and the answer each button gives.

#include "dialogs/CDialogServerCertificate.h"
#include "security/CertificateReview.h"
#include "session/ServerCertificateService.h"
#include "support/TestDirectoryServer.h"
#include "ui/support/ScriptedDialogs.h"
#include "values/ValueTexts.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using ldapmodel::CertificateAnswer;
using ldapmodel::CertificateReview;

// The sample certificate: self-signed, "CN=Carl Cert,O=Example Corp",
// valid from 2026-12-07 21:03:27 to 2126-11-13 21:03:27 UTC, no alternative names.
constexpr std::int64_t kNotBefore = 1796677407;
constexpr std::int64_t kNotAfter = 4950277407;
const QString kSha256 = QStringLiteral(
    "0A:1C:32:3E:39:DA:B9:07:0C:FC:EA:2A:A6:18:58:6C:02:FE:1F:D7:CC:54:F0:18:A9:42:72:5A:90:CE:45:3D");

CertificateReview review(const std::wstring& pinned, std::int64_t now)
{
    ldapmodel::ServerCertificate certificate;
    certificate.host = L"ldap.example.com";
    certificate.port = 636;
    certificate.der = dirtest::TestDirectoryServer::readDataFile(dirtest::sample::kCertFile);
    return CertificateReview(certificate, pinned, now);
}

TEST(ServerCertificateDialogTest, ShowsWhyAndTheCertificatesFieldsWithCancelAsDefault)
{
    const std::int64_t now = kNotBefore + 100;
    CDialogServerCertificate dialog(review(L"", now), now);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Server Certificate"));
    EXPECT_EQ(dialog.getHeading(), QStringLiteral("The certificate of ldap.example.com:636 could not be verified:"));
    EXPECT_EQ(dialog.getReasons(),
              (QStringList{QStringLiteral("\u2022 It is self-signed: no trusted certificate authority issued it."),
                           QStringLiteral("\u2022 It was issued for Carl Cert, not for ldap.example.com.")}));
    EXPECT_EQ(dialog.getFieldLabels(),
              (QStringList{"Host:", "Subject:", "Issuer:", "Valid from:", "Valid until:", "SHA-256 fingerprint:"}));
    EXPECT_EQ(dialog.getFieldText("Host:"), QStringLiteral("ldap.example.com:636"));
    EXPECT_EQ(dialog.getFieldText("Subject:"), QStringLiteral("CN=Carl Cert,O=Example Corp"));
    EXPECT_EQ(dialog.getFieldText("Issuer:"), QStringLiteral("CN=Carl Cert,O=Example Corp"));
    EXPECT_EQ(dialog.getFieldText("Valid from:"), ui::utcTimeText(kNotBefore));
    EXPECT_EQ(dialog.getFieldText("Valid until:"), ui::utcTimeText(kNotAfter));
    EXPECT_EQ(dialog.getFieldText("SHA-256 fingerprint:"), kSha256);

    EXPECT_EQ(dialog.getTrustOnceButton()->text(), QStringLiteral("Trust &Once"));
    EXPECT_EQ(dialog.getAlwaysTrustButton()->text(), QStringLiteral("&Always Trust"));
    EXPECT_EQ(dialog.getCancelButton()->text(), QStringLiteral("Cancel"));
    EXPECT_TRUE(dialog.getCancelButton()->isDefault());
    EXPECT_FALSE(dialog.getTrustOnceButton()->isDefault() || dialog.getTrustOnceButton()->autoDefault());
    EXPECT_FALSE(dialog.getAlwaysTrustButton()->isDefault() || dialog.getAlwaysTrustButton()->autoDefault());

    // Enter takes the default; Esc cancels too.
    dialog.show();
    QTest::keyClick(&dialog, Qt::Key_Return);
    EXPECT_EQ(CDialogServerCertificate::answerFor(dialog.result()), CertificateAnswer::Cancel);
    dialog.show();
    dialog.setResult(-1);
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_EQ(CDialogServerCertificate::answerFor(dialog.result()), CertificateAnswer::Cancel);
}

TEST(ServerCertificateDialogTest, AChangedCertificateSaysSoAndAnExpiredOneIsMarked)
{
    const std::int64_t now = kNotAfter + 1;
    const std::wstring pinned =
        L"11:22:33:44:55:66:77:88:99:00:AA:BB:CC:DD:EE:FF:11:22:33:44:55:66:77:88:99:00:AA:BB:CC:DD:EE:FF";
    CDialogServerCertificate dialog(review(pinned, now), now);
    EXPECT_EQ(dialog.getHeading(),
              QStringLiteral("The certificate of ldap.example.com:636 has changed since you chose to always trust "
                             "it, and it could not be verified:"));
    EXPECT_TRUE(dialog.getReasons().contains(QStringLiteral("\u2022 It has expired.")));
    EXPECT_EQ(dialog.getFieldText("Trusted before:"), QString::fromStdWString(pinned));
    const QLabel* until = nullptr;
    for (QLabel* label : dialog.findChildren<QLabel*>()) {
        if (label->text() == ui::utcTimeText(kNotAfter))
            until = label;
    }
    ASSERT_NE(until, nullptr);
    EXPECT_TRUE(until->styleSheet().contains(QStringLiteral("#c00000")));
}

TEST(ServerCertificateDialogTest, EachButtonGivesItsAnswerThroughTheDialogService)
{
    struct Case {
        QPushButton* (CDialogServerCertificate::*button)() const;
        CertificateAnswer answer;
    };
    const Case cases[] = {
        {&CDialogServerCertificate::getTrustOnceButton, CertificateAnswer::TrustOnce},
        {&CDialogServerCertificate::getAlwaysTrustButton, CertificateAnswer::AlwaysTrust},
        {&CDialogServerCertificate::getCancelButton, CertificateAnswer::Cancel},
    };
    for (const Case& test : cases) {
        dirtest::ScriptedDialogs dialogs;
        dialogs.queueDialog([&test](QDialog& dialog) {
            (dynamic_cast<CDialogServerCertificate&>(dialog).*test.button)()->click();
        });
        EXPECT_EQ(CDialogServerCertificate::ask(review(L"", kNotBefore + 100)), test.answer);
        EXPECT_EQ(dialogs.dialogClasses(), std::vector<QString>{QStringLiteral("CDialogServerCertificate")});
    }
}

} // namespace
