#include "dialogs/CDialogCertificate.h"

#include "faults/FaultGuard.h"
#include "handles/gc_ptr.h"
#include "logging/Trace.h"
#include "records/LDAPAttributeValue.h"
#include "services/DialogService.h"
#include "utilities/MessageBox.h"
#include "values/ValueTexts.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <ctime>

namespace {

const QStringList& fieldLabels()
{
    static const QStringList labels = {
        QStringLiteral("Subject:"),
        QStringLiteral("Issuer:"),
        QStringLiteral("Serial number:"),
        QStringLiteral("Version:"),
        QStringLiteral("Valid from:"),
        QStringLiteral("Valid until:"),
        QStringLiteral("Public key:"),
        QStringLiteral("Signature algorithm:"),
        QStringLiteral("SHA-1 fingerprint:"),
        QStringLiteral("SHA-256 fingerprint:"),
        QStringLiteral("Key usage:"),
        QStringLiteral("Extended key usage:"),
        QStringLiteral("Subject alternative names:"),
        QStringLiteral("Certificate authority:"),
    };
    return labels;
}

QString joined(const std::vector<std::wstring>& items)
{
    if (items.empty())
        return QStringLiteral("(none)");
    QStringList texts;
    for (const std::wstring& item : items)
        texts << QString::fromStdWString(item);
    return texts.join(QStringLiteral(", "));
}

QString keyText(const ldapmodel::CertificateSummary& certificate)
{
    QString text = QString::fromStdWString(certificate.getKeyAlgorithm());
    if (!certificate.getKeyCurve().empty())
        text += QLatin1Char(' ') + QString::fromStdWString(certificate.getKeyCurve());
    if (certificate.getKeyBits() != 0)
        text += QStringLiteral(", %1 bits").arg(certificate.getKeyBits());
    return text;
}

} // namespace

CDialogCertificate::CDialogCertificate(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("DialogCertificate"));
    setWindowTitle(QStringLiteral("Certificate"));
    setModal(true);

    m_pFields = new QFormLayout;
    m_pFields->setLabelAlignment(Qt::AlignLeft);
    for (const QString& label : fieldLabels())
        addField(label);

    m_pSavePemButton = new QPushButton(QStringLiteral("Save as &PEM..."), this);
    m_pSavePemButton->setAutoDefault(false);
    m_pSaveDerButton = new QPushButton(QStringLiteral("Save as &DER..."), this);
    m_pSaveDerButton->setAutoDefault(false);
    m_pCloseButton = new QPushButton(QStringLiteral("Close"), this);
    m_pCloseButton->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_pSavePemButton);
    buttons->addWidget(m_pSaveDerButton);
    buttons->addStretch(1);
    buttons->addWidget(m_pCloseButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(m_pFields);
    layout->addLayout(buttons);

    connect(m_pSavePemButton, &QPushButton::clicked, this, [this]() { OnSavePem(); });
    connect(m_pSaveDerButton, &QPushButton::clicked, this, [this]() { OnSaveDer(); });
    connect(m_pCloseButton, &QPushButton::clicked, this, &QDialog::accept);
}

CDialogCertificate::~CDialogCertificate() = default;

int CDialogCertificate::showValue(QWidget* parent, const ldapmodel::LDAPAttributeValue& value)
{
    DIRLOOK_GUARD(L"DialogCertificate");
    util::TraceScope trace(L"CDialogCertificate::showValue");
    ldapmodel::CertificateSummary certificate;
    if (!certificate.read(reinterpret_cast<const unsigned char*>(value.getBytes()),
                          value.getLength())) {
        util::messageBox(L"Certificate",
                         L"The value is not a certificate that can be read.\n"
                             + certificate.getError(),
                         util::BoxIcon::Warning, util::BoxButtons::Ok);
        return -1;
    }
    CDialogCertificate dialog(parent);
    dialog.setCertificate(certificate, static_cast<std::int64_t>(std::time(nullptr)));
    ui::dialogs().exec(dialog);
    return 0;
}

void CDialogCertificate::addField(const QString& label)
{
    auto* value = new QLabel(this);
    value->setTextFormat(Qt::PlainText);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    value->setWordWrap(true);
    value->setMinimumWidth(420);
    m_pFields->addRow(label, value);
    m_listLabels << label;
    m_listValues << value;
}

void CDialogCertificate::setField(const QString& label, const QString& text, bool warning)
{
    QLabel* value = getFieldLabel(label);
    if (value == nullptr)
        return;
    value->setText(text);
    value->setStyleSheet(warning ? QStringLiteral("color: #c00000; font-weight: bold;") : QString());
}

bool CDialogCertificate::setCertificate(const ldapmodel::CertificateSummary& certificate,
                                        std::int64_t now)
{
    if (!certificate.isValid())
        return false;
    m_certificate = certificate;
    auto wide = [](const std::wstring& text) { return QString::fromStdWString(text); };
    setField(QStringLiteral("Subject:"), wide(certificate.getSubject()));
    setField(QStringLiteral("Issuer:"), wide(certificate.getIssuer()));
    setField(QStringLiteral("Serial number:"), wide(certificate.getSerialNumber()));
    setField(QStringLiteral("Version:"), QString::number(certificate.getVersion()));
    setField(QStringLiteral("Valid from:"),
             ui::utcTimeText(certificate.getNotBefore())
                 + (certificate.isNotYetValidAt(now) ? QStringLiteral(" (not yet valid)") : QString()),
             certificate.isNotYetValidAt(now));
    setField(QStringLiteral("Valid until:"),
             ui::utcTimeText(certificate.getNotAfter())
                 + (certificate.isExpiredAt(now) ? QStringLiteral(" (expired)") : QString()),
             certificate.isExpiredAt(now));
    setField(QStringLiteral("Public key:"), keyText(certificate));
    setField(QStringLiteral("Signature algorithm:"), wide(certificate.getSignatureAlgorithm()));
    setField(QStringLiteral("SHA-1 fingerprint:"), wide(certificate.getSha1Fingerprint()));
    setField(QStringLiteral("SHA-256 fingerprint:"), wide(certificate.getSha256Fingerprint()));
    setField(QStringLiteral("Key usage:"), joined(certificate.getKeyUsage()));
    setField(QStringLiteral("Extended key usage:"), joined(certificate.getExtendedKeyUsage()));
    setField(QStringLiteral("Subject alternative names:"), joined(certificate.getSubjectAltNames()));
    setField(QStringLiteral("Certificate authority:"),
             certificate.isCertificateAuthority() ? QStringLiteral("Yes") : QStringLiteral("No"));
    return true;
}

QStringList CDialogCertificate::getFieldLabels() const
{
    return m_listLabels;
}

QLabel* CDialogCertificate::getFieldLabel(const QString& label) const
{
    const int index = m_listLabels.indexOf(label);
    return index < 0 ? nullptr : m_listValues.at(index);
}

QString CDialogCertificate::getFieldText(const QString& label) const
{
    const QLabel* value = getFieldLabel(label);
    return value == nullptr ? QString() : value->text();
}

int CDialogCertificate::save(const QStringList& filters, const std::string& bytes)
{
    ui::FileDialogRequest request;
    request.filters = filters;
    request.filters << QStringLiteral("All Files (*.*)");
    std::optional<QString> path = ui::dialogs().getSaveFileName(this, request);
    if (!path || bytes.empty())
        return -1;
    const memorylib::gc_ptr<ldapmodel::LDAPAttributeValue> value =
        new ldapmodel::LDAPAttributeValue(bytes.data(), bytes.size());
    return value->saveToFile(path->toStdWString()) == 0 ? 0 : -1;
}

int CDialogCertificate::OnSavePem()
{
    DIRLOOK_GUARD(L"DialogCertificate");
    util::TraceScope trace(L"CDialogCertificate::OnSavePem");
    return save({QStringLiteral("PEM Certificates (*.pem *.crt)")}, m_certificate.getPem());
}

int CDialogCertificate::OnSaveDer()
{
    DIRLOOK_GUARD(L"DialogCertificate");
    util::TraceScope trace(L"CDialogCertificate::OnSaveDer");
    return save({QStringLiteral("DER Certificates (*.der *.cer)")}, m_certificate.getDer());
}
