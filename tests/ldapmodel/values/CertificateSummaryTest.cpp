// Certificates read with GnuTLS against what "openssl x509" prints for the
// same bytes: the sample's certificate and certificates made here with
// alternative names, key usages, an RSA key and a serial number with its
// high bit set. Broken and truncated bytes give an error, never a crash.

#include "values/CertificateSummary.h"

#include "support/TestDirectoryServer.h"
#include "support/TestFiles.h"
#include "utilities/Util.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

using dirtest::TestDirectoryServer;
using ldapmodel::CertificateSummary;

namespace {

// Runs openssl x509 over DER bytes; the output, or "" when it failed.
std::string openssl(const std::string& der, const std::vector<std::string>& options)
{
    std::vector<std::string> argv = {"openssl", "x509", "-inform", "DER", "-noout"};
    argv.insert(argv.end(), options.begin(), options.end());
    std::string output;
    const int status = TestDirectoryServer::runProcess(argv, der, output);
    EXPECT_EQ(status, 0) << output;
    return status == 0 ? output : std::string();
}

std::string trimmed(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ' || text.back() == '\r'))
        text.pop_back();
    std::size_t first = 0;
    while (first < text.size() && text[first] == ' ')
        ++first;
    return text.substr(first);
}

// "key=value" of a one-line answer.
std::string afterEquals(const std::string& line)
{
    return trimmed(line.substr(line.find('=') + 1));
}

// The line after the heading of "-ext name"; "" without the extension.
std::string extensionLine(const std::string& der, const char* name)
{
    std::istringstream lines(openssl(der, {"-ext", name}));
    std::string line;
    std::getline(lines, line);
    std::getline(lines, line);
    return trimmed(line);
}

std::time_t isoTime(const std::string& text)
{
    std::tm fields{};
    std::istringstream in(text);
    in >> std::get_time(&fields, "%Y-%m-%d %H:%M:%S");
    return ::timegm(&fields);
}

std::string joined(const std::vector<std::wstring>& items)
{
    std::string text;
    for (const std::wstring& item : items)
        text += (text.empty() ? "" : ", ") + util::toUtf8(item);
    return text;
}

// IPv6 addresses as one canonical text, so that openssl's "0:0:...:1" and
// "::1" compare equal.
std::string canonicalNames(const std::string& names)
{
    std::string result;
    std::istringstream in(names);
    std::string item;
    while (std::getline(in, item, ',')) {
        item = trimmed(item);
        const std::string prefix = "IP Address:";
        unsigned char address[16];
        if (item.rfind(prefix, 0) == 0
            && ::inet_pton(AF_INET6, item.c_str() + prefix.size(), address) == 1) {
            char text[INET6_ADDRSTRLEN];
            ::inet_ntop(AF_INET6, address, text, sizeof text);
            item = prefix + text;
        }
        result += (result.empty() ? "" : ", ") + item;
    }
    return result;
}

CertificateSummary readSummary(const std::string& bytes)
{
    CertificateSummary summary;
    EXPECT_TRUE(summary.read(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()))
        << util::toUtf8(summary.getError());
    return summary;
}

void expectSameAsOpenssl(const std::string& der)
{
    const CertificateSummary summary = readSummary(der);
    EXPECT_EQ(util::toUtf8(summary.getSubject()),
              afterEquals(openssl(der, {"-subject", "-nameopt", "RFC2253,-esc_msb"})));
    EXPECT_EQ(util::toUtf8(summary.getIssuer()),
              afterEquals(openssl(der, {"-issuer", "-nameopt", "RFC2253,-esc_msb"})));
    std::string serial = util::toUtf8(summary.getSerialNumber());
    serial.erase(std::remove(serial.begin(), serial.end(), ':'), serial.end());
    EXPECT_EQ(serial, afterEquals(openssl(der, {"-serial"})));

    std::istringstream dates(openssl(der, {"-dates", "-dateopt", "iso_8601"}));
    std::string notBefore;
    std::string notAfter;
    std::getline(dates, notBefore);
    std::getline(dates, notAfter);
    EXPECT_EQ(summary.getNotBefore(), isoTime(afterEquals(notBefore)));
    EXPECT_EQ(summary.getNotAfter(), isoTime(afterEquals(notAfter)));

    EXPECT_EQ(util::toUtf8(summary.getSha1Fingerprint()),
              afterEquals(openssl(der, {"-fingerprint", "-sha1"})));
    EXPECT_EQ(util::toUtf8(summary.getSha256Fingerprint()),
              afterEquals(openssl(der, {"-fingerprint", "-sha256"})));

    const std::string text = openssl(der, {"-text"});
    const std::string bits = "Public-Key: (" + std::to_string(summary.getKeyBits()) + " bit)";
    if (text.find("ED25519 Public-Key") != std::string::npos) {
        EXPECT_EQ(summary.getKeyAlgorithm(), L"EdDSA (Ed25519)");
    } else {
        EXPECT_NE(text.find(bits), std::string::npos) << bits << "\n" << text;
    }
    EXPECT_NE(text.find("Version: " + std::to_string(summary.getVersion())), std::string::npos);

    EXPECT_EQ(joined(summary.getKeyUsage()), extensionLine(der, "keyUsage"));
    EXPECT_EQ(joined(summary.getExtendedKeyUsage()), extensionLine(der, "extendedKeyUsage"));
    EXPECT_EQ(canonicalNames(joined(summary.getSubjectAltNames())),
              canonicalNames(extensionLine(der, "subjectAltName")));
    EXPECT_EQ(summary.isCertificateAuthority(),
              extensionLine(der, "basicConstraints").find("CA:TRUE") != std::string::npos);
}

class CertificateSummaryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/dirlook-cert-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_directory = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(m_directory); }

    // A self-signed certificate made by openssl req with these options.
    std::string makeCertificate(const std::vector<std::string>& options)
    {
        const std::string path = m_directory + "/made.der";
        std::vector<std::string> argv = {"openssl", "req", "-x509", "-nodes", "-keyout",
                                         m_directory + "/key.pem", "-days", "30", "-outform",
                                         "DER", "-out", path};
        argv.insert(argv.end(), options.begin(), options.end());
        std::string output;
        EXPECT_EQ(TestDirectoryServer::runProcess(argv, "", output), 0) << output;
        return dirtest::readFile(path);
    }

    std::string m_directory;
};

TEST_F(CertificateSummaryTest, TheSampleCertificateReadsAsOpensslPrintsIt)
{
    const std::string der = TestDirectoryServer::readDataFile(dirtest::sample::kCertFile);
    ASSERT_FALSE(der.empty());
    expectSameAsOpenssl(der);
    const CertificateSummary summary = readSummary(der);
    EXPECT_EQ(summary.getSubject(), L"CN=Carl Cert,O=Example Corp");
    EXPECT_EQ(summary.getKeyCurve(), L"SECP256R1");
    EXPECT_EQ(summary.getKeyBits(), 256u);
    EXPECT_EQ(summary.getSignatureAlgorithm(), L"ECDSA-SHA256");
    EXPECT_EQ(summary.getDer(), der);
}

TEST_F(CertificateSummaryTest, MadeCertificatesReadAsOpensslPrintsThem)
{
    const std::vector<std::vector<std::string>> cases = {
        {"-utf8", "-newkey", "rsa:2048", "-subj", "/O=Example Corp/CN=www.example.com", "-set_serial",
         "0x8000000000000001", "-addext",
         "subjectAltName=DNS:www.example.com,email:admin@example.com,IP:192.0.2.7,"
         "URI:https://example.com/,IP:::1",
         "-addext", "keyUsage=critical,digitalSignature,keyEncipherment", "-addext",
         "extendedKeyUsage=serverAuth,clientAuth"},
        {"-utf8", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-384", "-subj",
         "/C=DE/L=M\xC3\xBCnchen/CN=J\xC3\xBCrgen, the \"admin\"", "-set_serial", "7",
         "-addext", "keyUsage=keyCertSign,cRLSign", "-addext",
         "extendedKeyUsage=codeSigning,emailProtection,timeStamping,OCSPSigning", "-addext",
         "basicConstraints=critical,CA:TRUE,pathlen:0"},
        {"-utf8", "-newkey", "ed25519", "-subj", "/CN=edwards", "-addext",
         "keyUsage=digitalSignature,nonRepudiation,dataEncipherment,keyAgreement,encipherOnly,"
         "decipherOnly",
         "-addext", "basicConstraints=CA:FALSE"},
    };
    for (const auto& options : cases) {
        SCOPED_TRACE(options[2]);
        const std::string der = makeCertificate(options);
        ASSERT_FALSE(der.empty());
        expectSameAsOpenssl(der);
    }
}

TEST_F(CertificateSummaryTest, PemTextReadsLikeItsDerBytes)
{
    const std::string der = TestDirectoryServer::readDataFile(dirtest::sample::kCertFile);
    std::string pem;
    ASSERT_EQ(TestDirectoryServer::runProcess(
                  {"openssl", "x509", "-inform", "DER", "-outform", "PEM"}, der, pem),
              0);
    const CertificateSummary fromPem = readSummary(pem);
    EXPECT_EQ(fromPem.getDer(), der);
    EXPECT_EQ(fromPem.getPem(), pem);
    EXPECT_EQ(fromPem.getSha256Fingerprint(), readSummary(der).getSha256Fingerprint());
}

TEST_F(CertificateSummaryTest, BrokenBytesGiveAnErrorAndNoFields)
{
    const std::string der = TestDirectoryServer::readDataFile(dirtest::sample::kCertFile);
    std::string flipped = der;
    flipped[1] = static_cast<char>(flipped[1] ^ 0x40);
    const std::vector<std::string> cases = {
        der.substr(0, der.size() / 2), der.substr(0, 1), flipped, std::string(300, '\0'),
        "-----BEGIN CERTIFICATE-----\nAAAA\n-----END CERTIFICATE-----\n",
        TestDirectoryServer::readDataFile(dirtest::sample::kPhotoFile)};
    for (const std::string& bytes : cases) {
        CertificateSummary summary;
        EXPECT_FALSE(summary.read(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()));
        EXPECT_FALSE(summary.isValid());
        EXPECT_FALSE(summary.getError().empty());
        EXPECT_TRUE(summary.getSubject().empty());
        EXPECT_TRUE(summary.getDer().empty());
    }
    CertificateSummary empty;
    EXPECT_FALSE(empty.read(nullptr, 0));
    EXPECT_EQ(empty.getError(), L"The value is empty.");
}

TEST_F(CertificateSummaryTest, ExpiryIsJudgedAgainstTheGivenTime)
{
    const CertificateSummary summary =
        readSummary(TestDirectoryServer::readDataFile(dirtest::sample::kCertFile));
    EXPECT_TRUE(summary.isNotYetValidAt(summary.getNotBefore() - 1));
    EXPECT_FALSE(summary.isNotYetValidAt(summary.getNotBefore()));
    EXPECT_FALSE(summary.isExpiredAt(summary.getNotAfter()));
    EXPECT_TRUE(summary.isExpiredAt(summary.getNotAfter() + 1));
}

} // namespace
