#pragma once

#include "security/CertificateTrustService.h"

#include <QDialog>
#include <QStringList>

#include <cstdint>

class QFormLayout;
class QLabel;
class QPushButton;

namespace ldapmodel {
class CertificateReview;
}

// "Server Certificate": asked while connecting, before anything but the
// TLS handshake has gone to the server, when its certificate did not verify.
// Says why (unknown issuer, expired, wrong host name), or that a certificate
// the user always trusted has changed, and shows the host, subject, issuer,
// validity and SHA-256 fingerprint. "Trust &Once", "&Always Trust" and
// "Cancel", the default (also Esc and closing the window).
class CDialogServerCertificate : public QDialog {
    Q_OBJECT
public:
    static constexpr int TrustOnceResult = 2;
    static constexpr int AlwaysTrustResult = 3;

    CDialogServerCertificate(const ldapmodel::CertificateReview& review, std::int64_t now,
                             QWidget* parent = nullptr);
    ~CDialogServerCertificate() override;

    // Runs the dialog through the dialog service on the active window.
    static ldapmodel::CertificateAnswer ask(const ldapmodel::CertificateReview& review);
    // The answer a result of the dialog stands for.
    static ldapmodel::CertificateAnswer answerFor(int result);

    // The first line, the reasons, the field labels in order ("Host:", ...)
    // and the text beside one.
    QString getHeading() const;
    QStringList getReasons() const;
    QStringList getFieldLabels() const { return m_listLabels; }
    QString getFieldText(const QString& label) const;

    QPushButton* getTrustOnceButton() const { return m_pTrustOnceButton; }
    QPushButton* getAlwaysTrustButton() const { return m_pAlwaysTrustButton; }
    QPushButton* getCancelButton() const { return m_pCancelButton; }

private:
    void addField(const QString& label, const QString& text, bool warning = false);

    QLabel* m_pHeading = nullptr;
    QLabel* m_pReasons = nullptr;
    QFormLayout* m_pFields = nullptr;
    QStringList m_listLabels;
    QList<QLabel*> m_listValues;
    QPushButton* m_pTrustOnceButton = nullptr;
    QPushButton* m_pAlwaysTrustButton = nullptr;
    QPushButton* m_pCancelButton = nullptr;
};
