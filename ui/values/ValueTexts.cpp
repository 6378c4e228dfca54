#include "values/ValueTexts.h"

#include "values/CertificateSummary.h"
#include "values/GeneralizedTime.h"

#include <QDateTime>
#include <QTimeZone>

namespace ui {

QString utcTimeText(std::int64_t secondsSinceEpoch)
{
    return QDateTime::fromSecsSinceEpoch(secondsSinceEpoch, QTimeZone::utc())
               .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
           + QStringLiteral(" UTC");
}

QString localTimeText(std::int64_t secondsSinceEpoch, int milliseconds)
{
    const QDateTime local =
        QDateTime::fromMSecsSinceEpoch(secondsSinceEpoch * 1000 + milliseconds).toLocalTime();
    return local.toString(milliseconds != 0 ? QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz t")
                                            : QStringLiteral("yyyy-MM-dd HH:mm:ss t"));
}

QString generalizedTimeToolTip(const std::string& text)
{
    ldapmodel::GeneralizedTime time;
    if (!time.parse(text))
        return QString();
    return QStringLiteral("Local time: ")
           + localTimeText(time.getSecondsSinceEpoch(), time.getMilliseconds());
}

QString validityMark(const ldapmodel::CertificateSummary& certificate, std::int64_t now)
{
    if (certificate.isExpiredAt(now))
        return QStringLiteral(" (expired)");
    if (certificate.isNotYetValidAt(now))
        return QStringLiteral(" (not yet valid)");
    return QString();
}

QStringList certificateLines(const ldapmodel::CertificateSummary& certificate, std::int64_t now)
{
    return {
        QStringLiteral("Subject: ") + QString::fromStdWString(certificate.getSubject()),
        QStringLiteral("Issuer: ") + QString::fromStdWString(certificate.getIssuer()),
        QStringLiteral("Valid until: ") + utcTimeText(certificate.getNotAfter())
            + validityMark(certificate, now),
    };
}

QString unreadableImageLine(const QString& reason)
{
    return QStringLiteral("Not a readable image: ") + reason;
}

QString unreadableCertificateLine(const QString& reason)
{
    return QStringLiteral("Not a readable certificate: ") + reason;
}

} // namespace ui
