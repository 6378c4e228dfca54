#include "security/CertificateReview.h"

#include "session/ServerCertificateService.h"
#include "utilities/Util.h"

#include <gnutls/gnutls.h>
#include <gnutls/x509.h>

#include <arpa/inet.h>

#include <algorithm>
#include <cwctype>
#include <memory>

namespace ldapmodel {

namespace {

struct CertificateDeleter {
    void operator()(gnutls_x509_crt_int* certificate) const { gnutls_x509_crt_deinit(certificate); }
};
using CertificateHandle = std::unique_ptr<gnutls_x509_crt_int, CertificateDeleter>;

struct TrustListDeleter {
    void operator()(gnutls_x509_trust_list_st* list) const { gnutls_x509_trust_list_deinit(list, 1); }
};
using TrustListHandle = std::unique_ptr<gnutls_x509_trust_list_st, TrustListDeleter>;

CertificateHandle importDer(const std::string& der)
{
    gnutls_x509_crt_t raw = nullptr;
    if (der.empty() || der.size() > 0xFFFFFFFFu || gnutls_x509_crt_init(&raw) != GNUTLS_E_SUCCESS)
        return CertificateHandle();
    CertificateHandle certificate(raw);
    gnutls_datum_t datum{reinterpret_cast<unsigned char*>(const_cast<char*>(der.data())),
                         static_cast<unsigned int>(der.size())};
    if (gnutls_x509_crt_import(certificate.get(), &datum, GNUTLS_X509_FMT_DER) != GNUTLS_E_SUCCESS)
        return CertificateHandle();
    return certificate;
}

// The certificate names the host (an IP address is matched against the
// certificate's addresses).
bool namesHost(gnutls_x509_crt_t certificate, const std::wstring& host)
{
    const std::string name = util::toUtf8(host);
    unsigned char address[16];
    if (::inet_pton(AF_INET, name.c_str(), address) == 1)
        return gnutls_x509_crt_check_ip(certificate, address, 4, 0) != 0;
    if (::inet_pton(AF_INET6, name.c_str(), address) == 1)
        return gnutls_x509_crt_check_ip(certificate, address, 16, 0) != 0;
    return gnutls_x509_crt_check_hostname2(certificate, name.c_str(), 0) != 0;
}

// The verification status of the certificate alone against the trusted
// CAs, times left out (they are checked apart); -1 when it can't be run.
long long chainStatus(gnutls_x509_crt_t certificate, const std::string& trustAnchors)
{
    gnutls_x509_trust_list_t raw = nullptr;
    if (gnutls_x509_trust_list_init(&raw, 0) != GNUTLS_E_SUCCESS)
        return -1;
    TrustListHandle list(raw);
    if (!trustAnchors.empty() && trustAnchors.size() <= 0xFFFFFFFFu) {
        gnutls_datum_t pem{reinterpret_cast<unsigned char*>(const_cast<char*>(trustAnchors.data())),
                           static_cast<unsigned int>(trustAnchors.size())};
        gnutls_x509_trust_list_add_trust_mem(list.get(), &pem, nullptr, GNUTLS_X509_FMT_PEM, 0, 0);
    }
    unsigned int status = 0;
    gnutls_x509_crt_t chain[] = {certificate};
    if (gnutls_x509_trust_list_verify_crt2(list.get(), chain, 1, nullptr, 0,
                                           GNUTLS_VERIFY_DISABLE_TIME_CHECKS
                                               | GNUTLS_VERIFY_DISABLE_TRUSTED_TIME_CHECKS,
                                           &status, nullptr) < 0)
        return -1;
    return status;
}

std::wstring upper(std::wstring text)
{
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    return text;
}

// "CN=a,O=b" -> "a".
std::wstring commonName(const std::wstring& subject)
{
    std::size_t start = 0;
    while (start < subject.size()) {
        std::size_t end = subject.find(L',', start);
        if (end == std::wstring::npos)
            end = subject.size();
        const std::wstring piece = subject.substr(start, end - start);
        if (piece.size() > 3 && std::towupper(static_cast<wint_t>(piece[0])) == L'C'
            && std::towupper(static_cast<wint_t>(piece[1])) == L'N' && piece[2] == L'=')
            return piece.substr(3);
        start = end + 1;
    }
    return std::wstring();
}

std::wstring joined(const std::vector<std::wstring>& names)
{
    std::wstring text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0)
            text += i + 1 == names.size() ? L" and " : L", ";
        text += names[i];
    }
    return text;
}

} // namespace

CertificateReview::CertificateReview(const ServerCertificate& certificate, const std::wstring& pinnedFingerprint,
                                     std::int64_t now)
    : m_strHost(certificate.host), m_iPort(certificate.port), m_strPinnedFingerprint(upper(pinnedFingerprint))
{
    examine(certificate, now);
}

void CertificateReview::examine(const ServerCertificate& certificate, std::int64_t now)
{
    CertificateHandle parsed = importDer(certificate.der);
    if (parsed == nullptr
        || !m_certificate.read(reinterpret_cast<const unsigned char*>(certificate.der.data()), certificate.der.size())) {
        m_problems.push_back(Problem::Unverified);
        return;
    }
    for (const std::wstring& name : m_certificate.getSubjectAltNames()) {
        static const std::wstring kDns = L"DNS:";
        static const std::wstring kAddress = L"IP Address:";
        if (name.compare(0, kDns.size(), kDns) == 0)
            m_names.push_back(name.substr(kDns.size()));
        else if (name.compare(0, kAddress.size(), kAddress) == 0)
            m_names.push_back(name.substr(kAddress.size()));
    }
    if (m_names.empty() && !commonName(m_certificate.getSubject()).empty())
        m_names.push_back(commonName(m_certificate.getSubject()));

    const long long status = chainStatus(parsed.get(), certificate.trustAnchors);
    if (status < 0 || (status & GNUTLS_CERT_SIGNER_NOT_FOUND) != 0)
        m_problems.push_back(Problem::UnknownIssuer);
    if (m_certificate.isExpiredAt(now))
        m_problems.push_back(Problem::Expired);
    if (m_certificate.isNotYetValidAt(now))
        m_problems.push_back(Problem::NotYetValid);
    if (!namesHost(parsed.get(), m_strHost))
        m_problems.push_back(Problem::WrongHost);
    if (m_problems.empty())
        m_problems.push_back(Problem::Unverified);  // libldap refused it all the same
}

bool CertificateReview::hasProblem(Problem problem) const
{
    return std::find(m_problems.begin(), m_problems.end(), problem) != m_problems.end();
}

bool CertificateReview::matchesPin() const
{
    return isPinned() && m_certificate.isValid() && m_certificate.getSha256Fingerprint() == m_strPinnedFingerprint;
}

std::vector<std::wstring> CertificateReview::getProblemTexts() const
{
    std::vector<std::wstring> texts;
    for (Problem problem : m_problems) {
        switch (problem) {
        case Problem::UnknownIssuer:
            texts.push_back(m_certificate.isValid() && m_certificate.getIssuer() == m_certificate.getSubject()
                                ? L"It is self-signed: no trusted certificate authority issued it."
                                : L"Its issuer is not a trusted certificate authority.");
            break;
        case Problem::Expired:
            texts.push_back(L"It has expired.");
            break;
        case Problem::NotYetValid:
            texts.push_back(L"It is not valid yet.");
            break;
        case Problem::WrongHost:
            texts.push_back(m_names.empty() ? L"It names no host, so it is not for " + m_strHost + L"."
                                            : L"It was issued for " + joined(m_names) + L", not for " + m_strHost + L".");
            break;
        case Problem::Unverified:
            texts.push_back(m_certificate.isValid() ? L"It could not be verified."
                                                    : L"The server sent no readable certificate.");
            break;
        }
    }
    return texts;
}

} // namespace ldapmodel
