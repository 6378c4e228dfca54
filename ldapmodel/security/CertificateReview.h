#pragma once

#include "values/CertificateSummary.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ldapmodel {

struct ServerCertificate;

// What the user is shown about a server certificate that did not verify:
// the certificate's fields, why it did not verify (checked again here with
// GnuTLS against the CAs the connection trusted), and whether it is the one
// the user chose to always trust for this server.
class CertificateReview {
public:
    enum class Problem {
        UnknownIssuer,  // no trusted CA signed it (self-signed ones included)
        Expired,
        NotYetValid,
        WrongHost,      // it names other hosts
        Unverified      // it did not verify for another reason
    };

    // pinnedFingerprint: the SHA-256 fingerprint the user always trusts for
    // this server, empty when none. now: seconds since 1970-01-01 UTC.
    CertificateReview(const ServerCertificate& certificate, const std::wstring& pinnedFingerprint,
                      std::int64_t now);

    const std::wstring& getHost() const { return m_strHost; }
    int getPort() const { return m_iPort; }
    // Not valid when the server's bytes are no certificate.
    const CertificateSummary& getCertificate() const { return m_certificate; }
    const std::vector<Problem>& getProblems() const { return m_problems; }
    bool hasProblem(Problem problem) const;
    // One sentence per problem, in order ("It has expired.").
    std::vector<std::wstring> getProblemTexts() const;
    // The host names and addresses the certificate is for: its alternative
    // names, else its common name.
    const std::vector<std::wstring>& getNames() const { return m_names; }

    // The user always trusts a certificate for this server...
    bool isPinned() const { return !m_strPinnedFingerprint.empty(); }
    // ...and it is this one.
    bool matchesPin() const;
    // ...and it is another one: the server's certificate changed.
    bool hasChanged() const { return isPinned() && !matchesPin(); }
    const std::wstring& getPinnedFingerprint() const { return m_strPinnedFingerprint; }

private:
    void examine(const ServerCertificate& certificate, std::int64_t now);

    std::wstring m_strHost;
    int m_iPort = 0;
    CertificateSummary m_certificate;
    std::vector<Problem> m_problems;
    std::vector<std::wstring> m_names;
    std::wstring m_strPinnedFingerprint;
};

} // namespace ldapmodel
