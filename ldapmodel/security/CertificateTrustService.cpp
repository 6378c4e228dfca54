#include "security/CertificateTrustService.h"

#include "logging/Log.h"
#include "security/CertificateReview.h"
#include "security/TrustedCertificates.h"
#include "values/CertificateSummary.h"
#include "utilities/MessageBox.h"

#include <ctime>
#include <utility>

namespace ldapmodel {

CertificateTrustService::CertificateTrustService(Question question, FileName fileName)
    : m_question(std::move(question)), m_fileName(std::move(fileName))
{
    if (!m_fileName)
        m_fileName = &TrustedCertificates::defaultFileName;
    m_clock = []() { return static_cast<std::int64_t>(std::time(nullptr)); };
}

bool CertificateTrustService::accept(const ServerCertificate& certificate)
{
    TrustedCertificates trusted(m_fileName());
    const std::wstring pinned = trusted.pinnedFingerprint(certificate.host, certificate.port);
    const std::wstring server = certificate.host + L":" + std::to_wstring(certificate.port);
    // The pinned certificate needs no review (checking it against the CAs
    // would cost more than the handshake).
    CertificateSummary summary;
    if (!pinned.empty() && summary.read(reinterpret_cast<const unsigned char*>(certificate.der.data()),
                                        certificate.der.size())
        && summary.getSha256Fingerprint() == pinned) {
        util::Log::getLog(L"ldapmodel")->write(L"CertificateTrustService: %s has its trusted certificate", server.c_str());
        return true;
    }
    const CertificateReview review(certificate, pinned, m_clock());
    if (!review.getCertificate().isValid()) {
        util::messageBox(L"Secure connection", L"The server " + server + L" sent no readable certificate.",
                         util::BoxIcon::Warning, util::BoxButtons::Ok);
        return false;
    }
    const CertificateAnswer answer = m_question ? m_question(review) : CertificateAnswer::Cancel;
    util::Log::getLog(L"ldapmodel")
        ->write(L"CertificateTrustService: %s %s", server.c_str(),
                answer == CertificateAnswer::Cancel      ? L"cancelled"
                : answer == CertificateAnswer::TrustOnce ? L"trusted once"
                                                         : L"always trusted");
    if (answer == CertificateAnswer::Cancel)
        return false;
    if (answer == CertificateAnswer::AlwaysTrust) {
        std::wstring error;
        if (!trusted.pin(certificate.host, certificate.port, review.getCertificate().getSha256Fingerprint(), error))
            util::messageBox(L"Secure connection",
                             L"Can't remember the certificate of " + server + L" in\n" + trusted.getFileName() + L"\n"
                                 + error + L"\nIt is trusted for this connection only.",
                             util::BoxIcon::Warning, util::BoxButtons::Ok);
    }
    return true;
}

} // namespace ldapmodel
