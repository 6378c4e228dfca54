#pragma once

#include "session/ServerCertificateService.h"

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

namespace ldapmodel {

class CertificateReview;

// The user's answer about a server certificate that did not verify.
enum class CertificateAnswer {
    Cancel,      // no connection
    TrustOnce,   // this connection only
    AlwaysTrust  // this connection, and later ones while the server keeps it
};

// The program's server certificate service: a certificate the user chose to
// always trust for the server (TrustedCertificates) is accepted without a
// question; any other is reviewed and put to the question (the user
// interface's certificate dialog; tests answer themselves). Always trust
// pins the certificate for the server; should that file not be written, a
// box says so and the connection goes on this once.
class CertificateTrustService : public ServerCertificateService {
public:
    using Question = std::function<CertificateAnswer(const CertificateReview& review)>;
    using FileName = std::function<std::wstring()>;

    // fileName: where the pins are kept (read at each certificate).
    explicit CertificateTrustService(Question question,
                                     FileName fileName = FileName());

    bool accept(const ServerCertificate& certificate) override;

    // Seconds since 1970 that the reviews take for now; tests set it.
    void setClock(std::function<std::int64_t()> clock) { m_clock = std::move(clock); }

private:
    Question m_question;
    FileName m_fileName;
    std::function<std::int64_t()> m_clock;
};

} // namespace ldapmodel
