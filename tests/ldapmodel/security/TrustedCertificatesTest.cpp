#include "security/TrustedCertificates.h"

#include "utilities/Util.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

using ldapmodel::TrustedCertificates;

const std::wstring kFingerprintA =
    L"AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:45:67:89";
const std::wstring kFingerprintB =
    L"00:11:22:33:44:55:66:77:88:99:AA:BB:CC:DD:EE:FF:00:11:22:33:44:55:66:77:88:99:AA:BB:CC:DD:EE:FF";

class TrustedCertificatesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/dirlook-pins-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_dir = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::string file() const { return m_dir + "/config/trusted-certificates"; }
    std::string read() const
    {
        std::ifstream in(file(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    std::string m_dir;
};

TEST_F(TrustedCertificatesTest, PinsOnePerServerInAnOwnerOnlyFile)
{
    TrustedCertificates pins(util::fromUtf8(file()));
    EXPECT_EQ(pins.pinnedFingerprint(L"ldap.example.com", 636), L"");
    std::wstring error;
    ASSERT_TRUE(pins.pin(L"LDAP.Example.com", 636, kFingerprintA, error)) << util::toUtf8(error);
    ASSERT_TRUE(pins.pin(L"ldap.example.com", 389, kFingerprintB, error));
    EXPECT_EQ(pins.pinnedFingerprint(L"ldap.EXAMPLE.com", 636), kFingerprintA);
    EXPECT_EQ(pins.pinnedFingerprint(L"ldap.example.com", 389), kFingerprintB);
    EXPECT_EQ(pins.pinnedFingerprint(L"other.example.com", 636), L"");

    // A new certificate for a pinned server replaces its pin.
    ASSERT_TRUE(pins.pin(L"ldap.example.com", 636, kFingerprintB, error));
    EXPECT_EQ(pins.pinnedFingerprint(L"ldap.example.com", 636), kFingerprintB);
    EXPECT_EQ(read(), "ldap.example.com 389 " + util::toUtf8(kFingerprintB) + "\n" + "ldap.example.com 636 "
                          + util::toUtf8(kFingerprintB) + "\n");
    struct stat info {};
    ASSERT_EQ(::stat(file().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(TrustedCertificatesTest, KeepsLinesItDoesNotUnderstandAndSkipsThemWhenReading)
{
    std::filesystem::create_directories(m_dir + "/config");
    const std::string lowerCase = "ab:cd:ef:01:23:45:67:89:ab:cd:ef:01:23:45:67:89:ab:cd:ef:01:23:45:67:89:ab:cd:ef:01:23:45:67:89";
    {
        std::ofstream out(file());
        out << "# comment\n"
            << "broken line\n"
            << "ldap.example.com 0 " << lowerCase << "\n"
            << "ldap.example.com 636 AB:CD\n"
            << "ldap.example.com 636 " << lowerCase << " extra\n"
            << "::1 636 " << lowerCase << "\r\n";
    }
    TrustedCertificates pins(util::fromUtf8(file()));
    EXPECT_EQ(pins.pinnedFingerprint(L"ldap.example.com", 636), L"");
    EXPECT_EQ(pins.pinnedFingerprint(L"::1", 636), kFingerprintA);  // read in upper case
    EXPECT_EQ(TrustedCertificates::parse(read()).size(), 1u);

    std::wstring error;
    ASSERT_TRUE(pins.pin(L"ldap.example.com", 636, kFingerprintA, error));
    EXPECT_EQ(read(), "# comment\nbroken line\nldap.example.com 0 " + lowerCase + "\nldap.example.com 636 AB:CD\n"
                          "ldap.example.com 636 " + lowerCase + " extra\n::1 636 " + lowerCase + "\n"
                          "ldap.example.com 636 " + util::toUtf8(kFingerprintA) + "\n");
}

TEST_F(TrustedCertificatesTest, RefusesWhatIsNoPinAndSaysWhyAFileCantBeWritten)
{
    TrustedCertificates pins(util::fromUtf8(file()));
    std::wstring error;
    EXPECT_FALSE(pins.pin(L"", 636, kFingerprintA, error));
    EXPECT_FALSE(pins.pin(L"host name", 636, kFingerprintA, error));
    EXPECT_FALSE(pins.pin(L"host", 0, kFingerprintA, error));
    EXPECT_FALSE(pins.pin(L"host", 636, L"AB:CD", error));
    EXPECT_FALSE(std::filesystem::exists(file()));

    std::filesystem::create_directories(file());  // a directory where the file belongs
    EXPECT_FALSE(pins.pin(L"host", 636, kFingerprintA, error));
    EXPECT_EQ(error, L"it is not a regular file");
}

} // namespace
