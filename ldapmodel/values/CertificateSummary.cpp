#include "values/CertificateSummary.h"

#include "utilities/Util.h"

#include <gnutls/gnutls.h>
#include <gnutls/x509.h>

#include <arpa/inet.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace ldapmodel {

namespace {

// The GnuTLS objects and buffers, each freed by its owner.
struct CertificateDeleter {
    void operator()(gnutls_x509_crt_int* certificate) const { gnutls_x509_crt_deinit(certificate); }
};
using CertificateHandle = std::unique_ptr<gnutls_x509_crt_int, CertificateDeleter>;

class OwnedDatum {
public:
    OwnedDatum() = default;
    ~OwnedDatum() { gnutls_free(m_datum.data); }
    OwnedDatum(const OwnedDatum&) = delete;
    OwnedDatum& operator=(const OwnedDatum&) = delete;

    gnutls_datum_t* get() { return &m_datum; }
    std::string bytes() const
    {
        return m_datum.data == nullptr
                   ? std::string()
                   : std::string(reinterpret_cast<const char*>(m_datum.data), m_datum.size);
    }

private:
    gnutls_datum_t m_datum{nullptr, 0};
};

std::wstring wideError(int code)
{
    return util::fromUtf8(gnutls_strerror(code));
}

std::wstring hexBytes(const unsigned char* bytes, std::size_t length)
{
    static const wchar_t kDigits[] = L"0123456789ABCDEF";
    std::wstring text;
    for (std::size_t i = 0; i < length; ++i) {
        if (!text.empty())
            text += L':';
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0x0F];
    }
    return text;
}

std::wstring fingerprint(gnutls_x509_crt_t certificate, gnutls_digest_algorithm_t algorithm)
{
    unsigned char digest[64];
    std::size_t size = sizeof digest;
    if (gnutls_x509_crt_get_fingerprint(certificate, algorithm, digest, &size) != GNUTLS_E_SUCCESS)
        return std::wstring();
    return hexBytes(digest, size);
}

std::wstring serialNumber(gnutls_x509_crt_t certificate)
{
    std::size_t size = 0;
    int result = gnutls_x509_crt_get_serial(certificate, nullptr, &size);
    if (result != GNUTLS_E_SHORT_MEMORY_BUFFER && result != GNUTLS_E_SUCCESS)
        return std::wstring();
    std::vector<unsigned char> serial(size + 1);
    size = serial.size();
    if (gnutls_x509_crt_get_serial(certificate, serial.data(), &size) != GNUTLS_E_SUCCESS)
        return std::wstring();
    std::size_t first = 0;
    while (first + 1 < size && serial[first] == 0)
        ++first;
    return hexBytes(serial.data() + first, size - first);
}

std::vector<std::wstring> keyUsage(gnutls_x509_crt_t certificate)
{
    struct Bit {
        unsigned int bit;
        const wchar_t* name;
    };
    static const Bit kBits[] = {
        {GNUTLS_KEY_DIGITAL_SIGNATURE, L"Digital Signature"},
        {GNUTLS_KEY_NON_REPUDIATION, L"Non Repudiation"},
        {GNUTLS_KEY_KEY_ENCIPHERMENT, L"Key Encipherment"},
        {GNUTLS_KEY_DATA_ENCIPHERMENT, L"Data Encipherment"},
        {GNUTLS_KEY_KEY_AGREEMENT, L"Key Agreement"},
        {GNUTLS_KEY_KEY_CERT_SIGN, L"Certificate Sign"},
        {GNUTLS_KEY_CRL_SIGN, L"CRL Sign"},
        {GNUTLS_KEY_ENCIPHER_ONLY, L"Encipher Only"},
        {GNUTLS_KEY_DECIPHER_ONLY, L"Decipher Only"},
    };
    std::vector<std::wstring> names;
    unsigned int usage = 0;
    if (gnutls_x509_crt_get_key_usage(certificate, &usage, nullptr) < 0)
        return names;
    for (const Bit& bit : kBits) {
        if ((usage & bit.bit) != 0)
            names.push_back(bit.name);
    }
    return names;
}

std::vector<std::wstring> extendedKeyUsage(gnutls_x509_crt_t certificate)
{
    struct Purpose {
        const char* oid;
        const wchar_t* name;
    };
    static const Purpose kPurposes[] = {
        {GNUTLS_KP_TLS_WWW_SERVER, L"TLS Web Server Authentication"},
        {GNUTLS_KP_TLS_WWW_CLIENT, L"TLS Web Client Authentication"},
        {GNUTLS_KP_CODE_SIGNING, L"Code Signing"},
        {GNUTLS_KP_EMAIL_PROTECTION, L"E-mail Protection"},
        {GNUTLS_KP_TIME_STAMPING, L"Time Stamping"},
        {GNUTLS_KP_OCSP_SIGNING, L"OCSP Signing"},
        {GNUTLS_KP_ANY, L"Any Extended Key Usage"},
    };
    std::vector<std::wstring> names;
    for (unsigned int index = 0;; ++index) {
        char oid[256];
        std::size_t size = sizeof oid;
        if (gnutls_x509_crt_get_key_purpose_oid(certificate, index, oid, &size, nullptr)
            != GNUTLS_E_SUCCESS)
            break;
        std::wstring name = util::fromUtf8(std::string(oid, ::strnlen(oid, sizeof oid)));
        for (const Purpose& purpose : kPurposes) {
            if (std::strcmp(oid, purpose.oid) == 0)
                name = purpose.name;
        }
        names.push_back(name);
    }
    return names;
}

std::wstring ipAddress(const std::string& raw)
{
    char text[INET6_ADDRSTRLEN] = {};
    if (raw.size() == 4 && ::inet_ntop(AF_INET, raw.data(), text, sizeof text) != nullptr)
        return util::fromUtf8(text);
    if (raw.size() == 16 && ::inet_ntop(AF_INET6, raw.data(), text, sizeof text) != nullptr)
        return util::fromUtf8(text);
    return L"<invalid>";
}

std::vector<std::wstring> subjectAltNames(gnutls_x509_crt_t certificate)
{
    std::vector<std::wstring> names;
    std::vector<char> buffer(1024);
    for (unsigned int index = 0;; ++index) {
        std::size_t size = buffer.size();
        unsigned int type = 0;
        int result = gnutls_x509_crt_get_subject_alt_name2(certificate, index, buffer.data(),
                                                           &size, &type, nullptr);
        if (result == GNUTLS_E_SHORT_MEMORY_BUFFER) {
            buffer.resize(size + 1);
            size = buffer.size();
            result = gnutls_x509_crt_get_subject_alt_name2(certificate, index, buffer.data(),
                                                           &size, &type, nullptr);
        }
        if (result == GNUTLS_E_REQUESTED_DATA_NOT_AVAILABLE)
            break;
        if (result < 0) {
            names.push_back(L"<unreadable>");
            break;
        }
        const std::string value(buffer.data(), std::min(size, buffer.size()));
        switch (result) {
        case GNUTLS_SAN_DNSNAME:
            names.push_back(L"DNS:" + util::fromUtf8(value));
            break;
        case GNUTLS_SAN_RFC822NAME:
            names.push_back(L"email:" + util::fromUtf8(value));
            break;
        case GNUTLS_SAN_URI:
            names.push_back(L"URI:" + util::fromUtf8(value));
            break;
        case GNUTLS_SAN_IPADDRESS:
            names.push_back(L"IP Address:" + ipAddress(value));
            break;
        case GNUTLS_SAN_DN:
            names.push_back(L"DirName:" + util::fromUtf8(value));
            break;
        case GNUTLS_SAN_REGISTERED_ID:
            names.push_back(L"RID:" + util::fromUtf8(value));
            break;
        default:
            names.push_back(L"othername:<unsupported>");
            break;
        }
    }
    return names;
}

std::wstring signatureAlgorithm(gnutls_x509_crt_t certificate)
{
    const int algorithm = gnutls_x509_crt_get_signature_algorithm(certificate);
    if (algorithm > 0) {
        if (const char* name = gnutls_sign_get_name(static_cast<gnutls_sign_algorithm_t>(algorithm)))
            return util::fromUtf8(name);
    }
    char oid[256];
    std::size_t size = sizeof oid;
    if (gnutls_x509_crt_get_signature_oid(certificate, oid, &size) == GNUTLS_E_SUCCESS)
        return util::fromUtf8(std::string(oid, ::strnlen(oid, sizeof oid)));
    return std::wstring();
}

} // namespace

void CertificateSummary::clear()
{
    *this = CertificateSummary();
}

bool CertificateSummary::read(const unsigned char* bytes, std::size_t length)
{
    clear();
    if (bytes == nullptr || length == 0) {
        m_strError = L"The value is empty.";
        return false;
    }
    if (length > 0xFFFFFFFFu) {
        m_strError = L"The value is too large.";
        return false;
    }
    gnutls_x509_crt_t raw = nullptr;
    int result = gnutls_x509_crt_init(&raw);
    if (result != GNUTLS_E_SUCCESS) {
        m_strError = wideError(result);
        return false;
    }
    CertificateHandle certificate(raw);
    gnutls_datum_t datum{const_cast<unsigned char*>(bytes), static_cast<unsigned int>(length)};
    result = gnutls_x509_crt_import(certificate.get(), &datum, GNUTLS_X509_FMT_DER);
    static const char kPemStart[] = "-----BEGIN";
    if (result != GNUTLS_E_SUCCESS && length > sizeof kPemStart
        && ::memmem(bytes, length, kPemStart, sizeof kPemStart - 1) != nullptr) {
        gnutls_x509_crt_deinit(certificate.release());
        if (gnutls_x509_crt_init(&raw) != GNUTLS_E_SUCCESS) {
            m_strError = wideError(result);
            return false;
        }
        certificate.reset(raw);
        result = gnutls_x509_crt_import(certificate.get(), &datum, GNUTLS_X509_FMT_PEM);
    }
    if (result != GNUTLS_E_SUCCESS) {
        m_strError = wideError(result);
        return false;
    }
    gnutls_x509_crt_t crt = certificate.get();

    OwnedDatum der;
    OwnedDatum pem;
    result = gnutls_x509_crt_export2(crt, GNUTLS_X509_FMT_DER, der.get());
    if (result == GNUTLS_E_SUCCESS)
        result = gnutls_x509_crt_export2(crt, GNUTLS_X509_FMT_PEM, pem.get());
    if (result != GNUTLS_E_SUCCESS) {
        m_strError = wideError(result);
        return false;
    }
    m_der = der.bytes();
    m_pem = pem.bytes();

    m_iVersion = gnutls_x509_crt_get_version(crt);
    OwnedDatum subject;
    if (gnutls_x509_crt_get_dn3(crt, subject.get(), 0) == GNUTLS_E_SUCCESS)
        m_strSubject = util::fromUtf8(subject.bytes());
    OwnedDatum issuer;
    if (gnutls_x509_crt_get_issuer_dn3(crt, issuer.get(), 0) == GNUTLS_E_SUCCESS)
        m_strIssuer = util::fromUtf8(issuer.bytes());
    m_strSerialNumber = serialNumber(crt);
    m_iNotBefore = static_cast<std::int64_t>(gnutls_x509_crt_get_activation_time(crt));
    m_iNotAfter = static_cast<std::int64_t>(gnutls_x509_crt_get_expiration_time(crt));

    unsigned int bits = 0;
    const int keyAlgorithm = gnutls_x509_crt_get_pk_algorithm(crt, &bits);
    if (keyAlgorithm > 0) {
        const char* name = gnutls_pk_algorithm_get_name(static_cast<gnutls_pk_algorithm_t>(keyAlgorithm));
        m_strKeyAlgorithm = name != nullptr ? util::fromUtf8(name) : std::wstring();
        m_uKeyBits = bits;
        gnutls_ecc_curve_t curve = GNUTLS_ECC_CURVE_INVALID;
        OwnedDatum x;
        OwnedDatum y;
        if (gnutls_x509_crt_get_pk_ecc_raw(crt, &curve, x.get(), y.get()) == GNUTLS_E_SUCCESS) {
            if (const char* curveName = gnutls_ecc_curve_get_name(curve))
                m_strKeyCurve = util::fromUtf8(curveName);
        }
    }
    m_strSignatureAlgorithm = signatureAlgorithm(crt);
    m_strSha1Fingerprint = fingerprint(crt, GNUTLS_DIG_SHA1);
    m_strSha256Fingerprint = fingerprint(crt, GNUTLS_DIG_SHA256);
    m_listKeyUsage = keyUsage(crt);
    m_listExtendedKeyUsage = extendedKeyUsage(crt);
    m_listSubjectAltNames = subjectAltNames(crt);
    unsigned int critical = 0;
    unsigned int ca = 0;
    int pathLength = 0;
    m_bCertificateAuthority =
        gnutls_x509_crt_get_basic_constraints(crt, &critical, &ca, &pathLength) > 0;
    m_bValid = true;
    return true;
}

} // namespace ldapmodel
