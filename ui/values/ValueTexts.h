#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <string>

namespace ldapmodel {
class CertificateSummary;
}

// The texts the value viewers show: times, certificate lines and the lines
// that say why a value could not be shown.
namespace ui {

// "2026-12-08 05:03:27 UTC".
QString utcTimeText(std::int64_t secondsSinceEpoch);
// The same moment in the local time zone: "2026-12-08 06:03:27 CET";
// milliseconds are shown when there are any.
QString localTimeText(std::int64_t secondsSinceEpoch, int milliseconds = 0);
// "Local time: ..." for a GeneralizedTime value; empty when text is not one.
QString generalizedTimeToolTip(const std::string& text);

// Subject, issuer and validity, the expiry marked: one entry per line.
QStringList certificateLines(const ldapmodel::CertificateSummary& certificate,
                             std::int64_t now);
// " (expired)", " (not yet valid)" or "".
QString validityMark(const ldapmodel::CertificateSummary& certificate, std::int64_t now);

// "Not a readable image: <reason>", "Not a readable certificate: <reason>".
QString unreadableImageLine(const QString& reason);
QString unreadableCertificateLine(const QString& reason);

} // namespace ui
