#pragma once

#include <cstddef>
#include <string>

namespace ldapmodel {

// The certificate authorities one TLS connection trusts: the system's CA
// bundle and the user's CA file, if any. libldap reads the bundle as its CA
// file and takes a CA file of one certificate as DER bytes beside it; for a
// CA file of several certificates it reads an anonymous in-memory file
// (memfd) holding the bundle and all of them, open while this object lives.
class TrustAnchors {
public:
    static constexpr const char* kSystemBundle = "/etc/ssl/certs/ca-certificates.crt";
    // Longest CA file read.
    static constexpr std::size_t kMaxFileSize = 4 * 1024 * 1024;

    TrustAnchors() = default;
    ~TrustAnchors();
    TrustAnchors(const TrustAnchors&) = delete;
    TrustAnchors& operator=(const TrustAnchors&) = delete;

    // Reads the user's CA file (PEM or DER; empty: none). False, with error
    // saying why, when it can't be read or holds no certificate.
    bool prepare(const std::wstring& caFile, std::wstring& error);
    // The file for LDAP_OPT_X_TLS_CACERTFILE; empty when there is nothing
    // to trust (no bundle, no CA file).
    const std::string& libraryFile() const { return m_strLibraryFile; }
    // The one certificate of the user's CA file as DER, for
    // LDAP_OPT_X_TLS_CACERT; empty otherwise.
    const std::string& libraryCertificate() const { return m_strCaDer; }
    // Every trusted certificate as PEM text.
    std::string pem() const;

private:
    std::string m_strCaPem;
    std::string m_strCaDer;
    std::string m_strLibraryFile;
    int m_iMemoryFile = -1;
};

} // namespace ldapmodel
