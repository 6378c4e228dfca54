#pragma once

#include <string>

namespace ldapmodel {

// A server certificate that did not verify: the server, the certificate as
// DER bytes, and the certificates the connection trusted (PEM), so that a
// judge can say why.
struct ServerCertificate {
    std::wstring host;
    int port = 0;
    std::string der;
    std::string trustAnchors;
};

// Decides whether a connection goes on with a certificate that did not
// verify. Until it says yes, the connection has sent nothing beyond the TLS
// handshake. Called on the connecting thread. The default refuses; the
// program installs one that knows the certificates the user trusts and asks
// about the others.
class ServerCertificateService {
public:
    virtual ~ServerCertificateService() = default;
    virtual bool accept(const ServerCertificate& certificate) = 0;
};

// The installed service, else the refusing default. Never null.
ServerCertificateService& serverCertificateService();
// Installs a service (not owned); null restores the default.
void setServerCertificateService(ServerCertificateService* service);

} // namespace ldapmodel
