#include "values/ValueToolTip.h"

#include "records/LDAPAttributeValue.h"
#include "values/AttributeRoles.h"
#include "values/CertificateSummary.h"
#include "values/ImageKind.h"
#include "values/ValueTexts.h"
#include "values/ValueThumbnail.h"

#include <ctime>

namespace {

QString noticeAndLine(const QString& notice, const QString& line)
{
    return QStringLiteral("<p>") + notice.toHtmlEscaped() + QStringLiteral("<br>")
           + line.toHtmlEscaped() + QStringLiteral("</p>");
}

} // namespace

QString ValueToolTip::forValue(const std::wstring& attributeName,
                               const ldapmodel::LDAPAttributeValue& value, bool shownAsBinary,
                               const QString& notice)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(value.getBytes());
    const std::size_t length = value.getLength();
    if (ldapmodel::isCertificateAttribute(attributeName)) {
        ldapmodel::CertificateSummary certificate;
        if (!certificate.read(bytes, length))
            return noticeAndLine(notice, ui::unreadableCertificateLine(
                                             QString::fromStdWString(certificate.getError())));
        QStringList lines = ui::certificateLines(certificate, std::time(nullptr));
        lines << QStringLiteral("Double-click to view the certificate.");
        for (QString& line : lines)
            line = line.toHtmlEscaped();
        return QStringLiteral("<p>") + lines.join(QStringLiteral("<br>")) + QStringLiteral("</p>");
    }
    if (ldapmodel::isPhotoAttribute(attributeName)
        || (shownAsBinary && ldapmodel::detectImageKind(bytes, length) != ldapmodel::ImageKind::None)) {
        const ValueThumbnail thumbnail =
            ValueThumbnail::decode(value.getBytes(), static_cast<qsizetype>(length));
        if (!thumbnail.isValid())
            return noticeAndLine(notice, ui::unreadableImageLine(thumbnail.error()));
        return thumbnail.toHtml();
    }
    if (!shownAsBinary && ldapmodel::isGeneralizedTimeAttribute(attributeName))
        return ui::generalizedTimeToolTip(value.getByteString());
    return QString();
}
