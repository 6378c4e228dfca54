#include "values/CValuePreview.h"

#include "records/LDAPAttributeValue.h"
#include "values/AttributeRoles.h"
#include "values/CertificateSummary.h"
#include "values/ImageKind.h"
#include "values/ValueTexts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include <ctime>

CValuePreview::CValuePreview(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("ValuePreview"));
    setFrameShape(QFrame::StyledPanel);
    m_pImage = new QLabel(this);
    m_pImage->setObjectName(QStringLiteral("PreviewImage"));
    m_pImage->setFixedSize(ValueThumbnail::kBoxSize, ValueThumbnail::kBoxSize);
    m_pImage->setAlignment(Qt::AlignCenter);
    m_pText = new QLabel(this);
    m_pText->setObjectName(QStringLiteral("PreviewText"));
    m_pText->setTextFormat(Qt::PlainText);
    m_pText->setWordWrap(true);
    m_pText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_pCertificateButton = new QPushButton(QStringLiteral("View &Certificate..."), this);
    m_pCertificateButton->setAutoDefault(false);

    auto* textColumn = new QVBoxLayout;
    textColumn->addWidget(m_pText, 1);
    textColumn->addWidget(m_pCertificateButton, 0, Qt::AlignLeft);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_pImage, 0, Qt::AlignTop);
    layout->addLayout(textColumn, 1);

    connect(m_pCertificateButton, &QPushButton::clicked, this,
            &CValuePreview::certificateRequested);
    showValue(std::wstring(), nullptr);
}

CValuePreview::~CValuePreview() = default;

void CValuePreview::showText(const QString& text)
{
    m_pText->setText(text);
}

void CValuePreview::showValue(const std::wstring& attributeName,
                              const ldapmodel::LDAPAttributeValue* value)
{
    m_thumbnail = ValueThumbnail();
    m_pImage->clear();
    m_pImage->hide();
    m_pCertificateButton->hide();
    if (value == nullptr || value->getLength() == 0) {
        showText(QStringLiteral("No value loaded."));
        return;
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(value->getBytes());
    const std::size_t length = value->getLength();
    if (ldapmodel::isCertificateAttribute(attributeName)) {
        ldapmodel::CertificateSummary certificate;
        if (!certificate.read(bytes, length)) {
            showText(m_strNotice + QLatin1Char('\n')
                     + ui::unreadableCertificateLine(QString::fromStdWString(certificate.getError())));
            return;
        }
        showText(ui::certificateLines(certificate, std::time(nullptr)).join(QLatin1Char('\n')));
        m_pCertificateButton->show();
        return;
    }
    if (ldapmodel::isPhotoAttribute(attributeName)
        || ldapmodel::detectImageKind(bytes, length) != ldapmodel::ImageKind::None) {
        m_thumbnail = ValueThumbnail::decode(value->getBytes(), static_cast<qsizetype>(length));
        if (!m_thumbnail.isValid()) {
            showText(m_strNotice + QLatin1Char('\n') + ui::unreadableImageLine(m_thumbnail.error()));
            return;
        }
        m_pImage->setPixmap(QPixmap::fromImage(m_thumbnail.thumbnail()));
        m_pImage->show();
        showText(m_thumbnail.caption());
        return;
    }
    showText(QStringLiteral("Binary value, %1 bytes").arg(static_cast<qulonglong>(length)));
}
