#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ldapmodel {

// What a viewer shows of one X.509 certificate, read with GnuTLS from its
// DER bytes (as userCertificate and cACertificate hold them) or from PEM
// text. Texts are wide; names are RFC 4514 strings.
class CertificateSummary {
public:
    // Reads the certificate. False, with getError() set, when the bytes are
    // not one; the fields are then empty.
    bool read(const unsigned char* bytes, std::size_t length);
    bool isValid() const { return m_bValid; }
    // GnuTLS's reason why read failed.
    const std::wstring& getError() const { return m_strError; }

    int getVersion() const { return m_iVersion; }
    const std::wstring& getSubject() const { return m_strSubject; }
    const std::wstring& getIssuer() const { return m_strIssuer; }
    // Hexadecimal bytes joined by ":", leading zero bytes left out
    // ("4C:43:5E:...").
    const std::wstring& getSerialNumber() const { return m_strSerialNumber; }
    // Seconds since 1970-01-01 UTC.
    std::int64_t getNotBefore() const { return m_iNotBefore; }
    std::int64_t getNotAfter() const { return m_iNotAfter; }
    bool isExpiredAt(std::int64_t now) const { return now > m_iNotAfter; }
    bool isNotYetValidAt(std::int64_t now) const { return now < m_iNotBefore; }

    // "RSA", "EC/ECDSA", "EdDSA (Ed25519)", ... as GnuTLS names them.
    const std::wstring& getKeyAlgorithm() const { return m_strKeyAlgorithm; }
    unsigned int getKeyBits() const { return m_uKeyBits; }
    // The curve of an elliptic-curve key ("SECP256R1"); empty otherwise.
    const std::wstring& getKeyCurve() const { return m_strKeyCurve; }
    // "ECDSA-SHA256", "RSA-SHA256", ... or the algorithm's OID.
    const std::wstring& getSignatureAlgorithm() const { return m_strSignatureAlgorithm; }

    // Hexadecimal, upper case, bytes joined by ":".
    const std::wstring& getSha1Fingerprint() const { return m_strSha1Fingerprint; }
    const std::wstring& getSha256Fingerprint() const { return m_strSha256Fingerprint; }

    // "Digital Signature", "Key Encipherment", ...; empty without the
    // extension.
    const std::vector<std::wstring>& getKeyUsage() const { return m_listKeyUsage; }
    // "TLS Web Server Authentication", ... or the purpose's OID.
    const std::vector<std::wstring>& getExtendedKeyUsage() const { return m_listExtendedKeyUsage; }
    // "DNS:host", "email:address", "URI:uri", "IP Address:addr",
    // "DirName:dn", "RID:oid", "othername:<unsupported>".
    const std::vector<std::wstring>& getSubjectAltNames() const { return m_listSubjectAltNames; }
    // The basic constraints say it is a certificate authority.
    bool isCertificateAuthority() const { return m_bCertificateAuthority; }

    // The certificate as DER bytes, and as PEM text
    // ("-----BEGIN CERTIFICATE-----" ...).
    const std::string& getDer() const { return m_der; }
    const std::string& getPem() const { return m_pem; }

private:
    void clear();

    bool m_bValid = false;
    std::wstring m_strError;
    int m_iVersion = 0;
    std::wstring m_strSubject;
    std::wstring m_strIssuer;
    std::wstring m_strSerialNumber;
    std::int64_t m_iNotBefore = 0;
    std::int64_t m_iNotAfter = 0;
    std::wstring m_strKeyAlgorithm;
    unsigned int m_uKeyBits = 0;
    std::wstring m_strKeyCurve;
    std::wstring m_strSignatureAlgorithm;
    std::wstring m_strSha1Fingerprint;
    std::wstring m_strSha256Fingerprint;
    std::vector<std::wstring> m_listKeyUsage;
    std::vector<std::wstring> m_listExtendedKeyUsage;
    std::vector<std::wstring> m_listSubjectAltNames;
    bool m_bCertificateAuthority = false;
    std::string m_der;
    std::string m_pem;
};

} // namespace ldapmodel
