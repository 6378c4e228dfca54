#pragma once

#include "values/CertificateSummary.h"

#include <QDialog>
#include <QStringList>

#include <cstdint>

class QFormLayout;
class QLabel;
class QPushButton;

namespace ldapmodel {
class LDAPAttributeValue;
}

// "Certificate": the fields of one X.509 certificate (subject, issuer,
// serial number, validity with an expired one marked, key, fingerprints,
// key usage, alternative names) and saving it as PEM or DER.
//
// Use: setCertificate with a summary that read its bytes, run the dialog
// through the dialog service.
class CDialogCertificate : public QDialog {
    Q_OBJECT
public:
    explicit CDialogCertificate(QWidget* parent = nullptr);
    ~CDialogCertificate() override;

    // Reads value and runs the dialog on it; a value that is not a
    // certificate gets a box titled "Certificate" with the reason instead.
    // 0, or -1 for such a value.
    static int showValue(QWidget* parent, const ldapmodel::LDAPAttributeValue& value);

    // Fills the fields; now decides the expiry marks. False (nothing shown)
    // for a summary that did not read a certificate.
    bool setCertificate(const ldapmodel::CertificateSummary& certificate, std::int64_t now);
    const ldapmodel::CertificateSummary& getCertificate() const { return m_certificate; }

    // The field labels in order ("Subject:", ...), and the text beside one.
    QStringList getFieldLabels() const;
    QString getFieldText(const QString& label) const;
    QLabel* getFieldLabel(const QString& label) const;

    // "Save as &PEM..." and "Save as &DER...": 0 when saved, -1 when
    // cancelled or not written (the file write reports that).
    int OnSavePem();
    int OnSaveDer();

    QPushButton* getSavePemButton() const { return m_pSavePemButton; }
    QPushButton* getSaveDerButton() const { return m_pSaveDerButton; }
    QPushButton* getCloseButton() const { return m_pCloseButton; }

private:
    void addField(const QString& label);
    void setField(const QString& label, const QString& text, bool warning = false);
    int save(const QStringList& filters, const std::string& bytes);

    ldapmodel::CertificateSummary m_certificate;
    QFormLayout* m_pFields = nullptr;
    QStringList m_listLabels;
    QList<QLabel*> m_listValues;
    QPushButton* m_pSavePemButton = nullptr;
    QPushButton* m_pSaveDerButton = nullptr;
    QPushButton* m_pCloseButton = nullptr;
};
