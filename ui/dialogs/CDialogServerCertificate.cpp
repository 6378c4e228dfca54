#include "dialogs/CDialogServerCertificate.h"

#include "faults/FaultGuard.h"
#include "logging/Trace.h"
#include "security/CertificateReview.h"
#include "services/DialogService.h"
#include "values/ValueTexts.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <ctime>

using ldapmodel::CertificateAnswer;
using ldapmodel::CertificateReview;

namespace {

QString wide(const std::wstring& text)
{
    return QString::fromStdWString(text);
}

QLabel* plainLabel(QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    return label;
}

} // namespace

CDialogServerCertificate::CDialogServerCertificate(const CertificateReview& review, std::int64_t now,
                                                   QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("DialogServerCertificate"));
    setWindowTitle(QStringLiteral("Server Certificate"));
    setModal(true);

    const QString server = wide(review.getHost()) + QLatin1Char(':') + QString::number(review.getPort());
    m_pHeading = plainLabel(this);
    m_pHeading->setStyleSheet(QStringLiteral("font-weight: bold;"));
    m_pHeading->setText(review.hasChanged()
                            ? QStringLiteral("The certificate of %1 has changed since you chose to always trust it, "
                                             "and it could not be verified:")
                                  .arg(server)
                            : QStringLiteral("The certificate of %1 could not be verified:").arg(server));
    m_pReasons = plainLabel(this);
    QStringList reasons;
    for (const std::wstring& reason : review.getProblemTexts())
        reasons << QStringLiteral("\u2022 ") + wide(reason);
    m_pReasons->setText(reasons.join(QLatin1Char('\n')));

    const ldapmodel::CertificateSummary& certificate = review.getCertificate();
    m_pFields = new QFormLayout;
    m_pFields->setLabelAlignment(Qt::AlignLeft);
    addField(QStringLiteral("Host:"), server);
    addField(QStringLiteral("Subject:"), wide(certificate.getSubject()));
    addField(QStringLiteral("Issuer:"), wide(certificate.getIssuer()));
    addField(QStringLiteral("Valid from:"), ui::utcTimeText(certificate.getNotBefore()),
             certificate.isNotYetValidAt(now));
    addField(QStringLiteral("Valid until:"), ui::utcTimeText(certificate.getNotAfter()),
             certificate.isExpiredAt(now));
    addField(QStringLiteral("SHA-256 fingerprint:"), wide(certificate.getSha256Fingerprint()));
    if (review.hasChanged())
        addField(QStringLiteral("Trusted before:"), wide(review.getPinnedFingerprint()), true);

    auto* note = plainLabel(this);
    note->setText(QStringLiteral("Nothing has been sent to the server yet. Trust the certificate only when you "
                                 "know it is the server's own: compare its fingerprint with the one the "
                                 "server's administrator gives you."));

    m_pTrustOnceButton = new QPushButton(QStringLiteral("Trust &Once"), this);
    m_pTrustOnceButton->setObjectName(QStringLiteral("TrustOnce"));
    m_pTrustOnceButton->setAutoDefault(false);
    m_pAlwaysTrustButton = new QPushButton(QStringLiteral("&Always Trust"), this);
    m_pAlwaysTrustButton->setObjectName(QStringLiteral("AlwaysTrust"));
    m_pAlwaysTrustButton->setAutoDefault(false);
    m_pCancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    m_pCancelButton->setObjectName(QStringLiteral("Cancel"));
    m_pCancelButton->setDefault(true);
    m_pCancelButton->setFocus();

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_pTrustOnceButton);
    buttons->addWidget(m_pAlwaysTrustButton);
    buttons->addWidget(m_pCancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pHeading);
    layout->addWidget(m_pReasons);
    layout->addSpacing(6);
    layout->addLayout(m_pFields);
    layout->addSpacing(6);
    layout->addWidget(note);
    layout->addLayout(buttons);

    connect(m_pTrustOnceButton, &QPushButton::clicked, this, [this]() { done(TrustOnceResult); });
    connect(m_pAlwaysTrustButton, &QPushButton::clicked, this, [this]() { done(AlwaysTrustResult); });
    connect(m_pCancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

CDialogServerCertificate::~CDialogServerCertificate() = default;

CertificateAnswer CDialogServerCertificate::answerFor(int result)
{
    switch (result) {
    case TrustOnceResult: return CertificateAnswer::TrustOnce;
    case AlwaysTrustResult: return CertificateAnswer::AlwaysTrust;
    default: return CertificateAnswer::Cancel;
    }
}

CertificateAnswer CDialogServerCertificate::ask(const CertificateReview& review)
{
    DIRLOOK_GUARD(L"CDialogServerCertificate.cpp");
    util::TraceScope trace(L"CDialogServerCertificate::ask");
    CDialogServerCertificate dialog(review, static_cast<std::int64_t>(std::time(nullptr)),
                                    QApplication::activeWindow());
    return answerFor(ui::dialogs().exec(dialog));
}

void CDialogServerCertificate::addField(const QString& label, const QString& text, bool warning)
{
    QLabel* value = plainLabel(this);
    value->setText(text);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    value->setMinimumWidth(420);
    if (label == QStringLiteral("SHA-256 fingerprint:") || label == QStringLiteral("Trusted before:"))
        value->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    if (warning)
        value->setStyleSheet(QStringLiteral("color: #c00000; font-weight: bold;"));
    m_pFields->addRow(label, value);
    m_listLabels << label;
    m_listValues << value;
}

QString CDialogServerCertificate::getHeading() const
{
    return m_pHeading->text();
}

QStringList CDialogServerCertificate::getReasons() const
{
    return m_pReasons->text().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString CDialogServerCertificate::getFieldText(const QString& label) const
{
    const int index = m_listLabels.indexOf(label);
    return index < 0 ? QString() : m_listValues[index]->text();
}
