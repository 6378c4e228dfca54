// Secure connections against a slapd with TLS of its own: LDAPS and StartTLS
// with the server's CA, certificates the user is asked about (nothing is
// sent beyond the handshake until the answer, checked in slapd's own log),
// pinned certificates, StartTLS refused, and peers that speak no TLS or
// nothing at all. The handshake runs on a helper thread, so this program
// also runs under ThreadSanitizer.

#include "security/CertificateReview.h"
#include "security/CertificateTrustService.h"
#include "security/TrustedCertificates.h"
#include "session/LdapSession.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/ScriptedWaits.h"
#include "support/SilentListener.h"
#include "support/TestDirectoryServer.h"
#include "utilities/Util.h"

#include <ldap.h>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using dirtest::ScriptedMessageBoxes;
using dirtest::ScriptedWaits;
using dirtest::SilentListener;
using dirtest::TestDirectoryServer;
using ldapmodel::CertificateAnswer;
using ldapmodel::CertificateReview;
using ldapmodel::CertificateTrustService;
using ldapmodel::LdapSession;
using ldapmodel::SecurityMode;
using ldapmodel::TlsSettings;
using Problem = ldapmodel::CertificateReview::Problem;
using Clock = std::chrono::steady_clock;

std::wstring wide(const std::string& text) { return util::fromUtf8(text); }

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

const std::wstring kAdminIdentity = L"dn:" + wide(TestDirectoryServer::adminDn());

// A TLS server of the program's own whose log shows each connection.
TestDirectoryServer& tlsServer()
{
    static TestDirectoryServer* server = [] {
        auto* started = new TestDirectoryServer(TestDirectoryServer::Content::Empty, TestDirectoryServer::Tls::On);
        started->setLogLevel("stats");
        return started;
    }();
    return *server;
}

// Answers certificate questions from a queue (Cancel when empty) and keeps
// every review; pins go to a scratch file. Installed while it lives.
class ScriptedTrust {
public:
    ScriptedTrust()
        : m_directory(std::filesystem::temp_directory_path() / ("dirlook-pins-" + std::to_string(::getpid()) + "-"
                                                                  + std::to_string(s_counter++))),
          m_service([this](const CertificateReview& review) { return answer(review); },
                    [this]() { return pinFile(); })
    {
        std::filesystem::create_directories(m_directory);
        ldapmodel::setServerCertificateService(&m_service);
    }
    ~ScriptedTrust()
    {
        ldapmodel::setServerCertificateService(nullptr);
        std::error_code ignored;
        std::filesystem::remove_all(m_directory, ignored);
    }
    ScriptedTrust(const ScriptedTrust&) = delete;
    ScriptedTrust& operator=(const ScriptedTrust&) = delete;

    void queue(CertificateAnswer answer) { m_answers.push_back(answer); }
    const std::vector<CertificateReview>& reviews() const { return m_reviews; }
    std::wstring pinFile() const { return (m_directory / "trusted-certificates").wstring(); }
    std::string pins() const
    {
        std::ifstream in(m_directory / "trusted-certificates");
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    CertificateAnswer answer(const CertificateReview& review)
    {
        m_reviews.push_back(review);
        if (m_answers.empty())
            return CertificateAnswer::Cancel;
        const CertificateAnswer next = m_answers.front();
        m_answers.pop_front();
        return next;
    }

    static inline int s_counter = 0;
    std::filesystem::path m_directory;
    CertificateTrustService m_service;
    std::deque<CertificateAnswer> m_answers;
    std::vector<CertificateReview> m_reviews;
};

// The part of a server's log written since a mark, once the server has
// logged every connection in it as closed (or after two seconds).
class LogSince {
public:
    explicit LogSince(const TestDirectoryServer& server) : m_server(server), m_offset(server.log().size()) {}

    std::string settled() const
    {
        const Clock::time_point start = Clock::now();
        std::string text;
        for (;;) {
            text = m_server.log().substr(m_offset);
            if (count(text, " ACCEPT ") == count(text, " closed") || secondsSince(start) > 2.0)
                return text;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    static std::size_t count(const std::string& text, const std::string& what)
    {
        std::size_t found = 0;
        for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
            ++found;
        return found;
    }

private:
    const TestDirectoryServer& m_server;
    std::size_t m_offset;
};

class TlsSessionTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(tlsServer().start()) << tlsServer().lastError(); }

    static int portFor(const TestDirectoryServer& server, SecurityMode mode)
    {
        return mode == SecurityMode::Ldaps ? server.tlsPort() : server.port();
    }

    static int connectAsAdmin(LdapSession& session, const TestDirectoryServer& server, SecurityMode mode,
                              const std::string& caFile, const std::wstring& host = L"127.0.0.1")
    {
        session.setTlsSettings(TlsSettings{mode, wide(caFile)});
        return session.connect(host, portFor(server, mode), wide(TestDirectoryServer::adminDn()),
                               wide(TestDirectoryServer::adminPassword()), false);
    }
};

const SecurityMode kModes[] = {SecurityMode::Ldaps, SecurityMode::StartTls};

const char* modeName(SecurityMode mode) { return mode == SecurityMode::Ldaps ? "LDAPS" : "StartTLS"; }

TEST_F(TlsSessionTest, WithTheServersCaBothModesBindWithoutAQuestion)
{
    for (SecurityMode mode : kModes) {
        SCOPED_TRACE(modeName(mode));
        ScriptedMessageBoxes boxes;
        ScriptedTrust trust;
        LogSince log(tlsServer());
        LdapSession session;
        ASSERT_EQ(connectAsAdmin(session, tlsServer(), mode, tlsServer().caCertificateFile()), 0);
        EXPECT_TRUE(trust.reviews().empty());
        EXPECT_TRUE(boxes.boxes().empty());
        EXPECT_TRUE(session.isEncrypted());
        EXPECT_EQ(session.getTlsVersion().rfind(L"TLS1.", 0), 0u) << util::toUtf8(session.getTlsVersion());
        EXPECT_FALSE(session.getTlsCipher().empty());
        std::wstring identity;
        EXPECT_EQ(session.whoAmI(identity), 0);
        EXPECT_EQ(identity, kAdminIdentity);
        session.disconnect();

        const std::string text = log.settled();
        const std::size_t handshake = text.find("TLS established");
        const std::size_t bind = text.find("BIND dn=\"cn=admin,dc=example,dc=com\"");
        ASSERT_NE(handshake, std::string::npos) << text;
        EXPECT_NE(bind, std::string::npos) << text;
        EXPECT_LT(handshake, bind);
        EXPECT_EQ(LogSince::count(text, " ACCEPT "), 1u) << text;
        if (mode == SecurityMode::StartTls) {
            EXPECT_LT(text.find("STARTTLS"), handshake);
        }
    }
}

TEST_F(TlsSessionTest, AnUnknownCaAsksAndCancelSendsNoBind)
{
    for (SecurityMode mode : kModes) {
        SCOPED_TRACE(modeName(mode));
        ScriptedMessageBoxes boxes;
        ScriptedTrust trust;
        trust.queue(CertificateAnswer::Cancel);
        LogSince log(tlsServer());
        LdapSession session;
        EXPECT_EQ(connectAsAdmin(session, tlsServer(), mode, ""), -1);
        EXPECT_EQ(session.getConnectResult(), 88);
        EXPECT_FALSE(session.hasHandle());
        EXPECT_TRUE(boxes.boxes().empty());  // the user's own choice
        ASSERT_EQ(trust.reviews().size(), 1u);
        const CertificateReview& review = trust.reviews()[0];
        EXPECT_EQ(review.getHost(), L"127.0.0.1");
        EXPECT_EQ(review.getPort(), portFor(tlsServer(), mode));
        EXPECT_EQ(review.getProblems(), std::vector<Problem>{Problem::UnknownIssuer});
        EXPECT_EQ(review.getCertificate().getSubject(), L"CN=127.0.0.1");
        EXPECT_FALSE(review.hasChanged());
        EXPECT_EQ(review.getCertificate().getSha256Fingerprint().size(), 95u);

        // The handshakes happened; nothing was bound over them.
        const std::string text = log.settled();
        EXPECT_GE(LogSince::count(text, "TLS established"), 1u) << text;
        EXPECT_EQ(text.find("BIND"), std::string::npos) << text;
    }
}

TEST_F(TlsSessionTest, AlwaysTrustPinsTheCertificateAndTheNextConnectAsksNothing)
{
    ScriptedMessageBoxes boxes;
    ScriptedTrust trust;
    trust.queue(CertificateAnswer::AlwaysTrust);
    LdapSession session;
    ASSERT_EQ(connectAsAdmin(session, tlsServer(), SecurityMode::Ldaps, ""), 0);
    ASSERT_EQ(trust.reviews().size(), 1u);
    std::wstring identity;
    EXPECT_EQ(session.whoAmI(identity), 0);
    EXPECT_EQ(identity, kAdminIdentity);
    EXPECT_TRUE(session.isEncrypted());
    session.disconnect();

    const std::wstring fingerprint = trust.reviews()[0].getCertificate().getSha256Fingerprint();
    EXPECT_EQ(trust.pins(),
              "127.0.0.1 " + std::to_string(tlsServer().tlsPort()) + " " + util::toUtf8(fingerprint) + "\n");
    struct stat info {};
    ASSERT_EQ(::stat(util::toUtf8(trust.pinFile()).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    LdapSession again;
    ASSERT_EQ(connectAsAdmin(again, tlsServer(), SecurityMode::Ldaps, ""), 0);
    EXPECT_EQ(trust.reviews().size(), 1u);
    EXPECT_TRUE(boxes.boxes().empty());
    // The pin is for that port: StartTLS on the other port asks.
    LdapSession other;
    EXPECT_EQ(connectAsAdmin(other, tlsServer(), SecurityMode::StartTls, ""), -1);
    EXPECT_EQ(trust.reviews().size(), 2u);
}

TEST_F(TlsSessionTest, ANewCertificateAsksAgainAndAWrongHostNameSaysSo)
{
    TestDirectoryServer server(TestDirectoryServer::Content::Empty, TestDirectoryServer::Tls::On);
    server.setLogLevel("stats");
    ASSERT_TRUE(server.start()) << server.lastError();
    ScriptedMessageBoxes boxes;
    ScriptedTrust trust;
    trust.queue(CertificateAnswer::AlwaysTrust);
    {
        LdapSession session;
        ASSERT_EQ(connectAsAdmin(session, server, SecurityMode::Ldaps, ""), 0);
    }
    const std::wstring pinned = trust.reviews().at(0).getCertificate().getSha256Fingerprint();

    // Same CA, same name, new key: the pinned server shows another certificate.
    ASSERT_TRUE(server.reissueCertificate({"127.0.0.1"})) << server.lastError();
    {
        LogSince log(server);
        LdapSession session;
        EXPECT_EQ(connectAsAdmin(session, server, SecurityMode::Ldaps, ""), -1);
        ASSERT_EQ(trust.reviews().size(), 2u);
        const CertificateReview& review = trust.reviews()[1];
        EXPECT_TRUE(review.hasChanged());
        EXPECT_EQ(review.getPinnedFingerprint(), pinned);
        EXPECT_NE(review.getCertificate().getSha256Fingerprint(), pinned);
        EXPECT_EQ(log.settled().find("BIND"), std::string::npos);
    }

    // A certificate for another name, from the trusted CA: only the name is wrong.
    ASSERT_TRUE(server.reissueCertificate({"other.example"})) << server.lastError();
    trust.queue(CertificateAnswer::TrustOnce);
    LdapSession session;
    ASSERT_EQ(connectAsAdmin(session, server, SecurityMode::StartTls, server.caCertificateFile()), 0);
    ASSERT_EQ(trust.reviews().size(), 3u);
    const CertificateReview& review = trust.reviews()[2];
    EXPECT_EQ(review.getProblems(), std::vector<Problem>{Problem::WrongHost});
    EXPECT_EQ(review.getNames(), std::vector<std::wstring>{L"other.example"});
    EXPECT_EQ(review.getProblemTexts(),
              std::vector<std::wstring>{L"It was issued for other.example, not for 127.0.0.1."});
    std::wstring identity;
    EXPECT_EQ(session.whoAmI(identity), 0);
    EXPECT_EQ(identity, kAdminIdentity);
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(TlsSessionTest, StartTlsRefusedByTheServerEndsTheConnectWithoutABind)
{
    TestDirectoryServer plain(TestDirectoryServer::Content::Empty);
    plain.setLogLevel("stats");
    ASSERT_TRUE(plain.start()) << plain.lastError();
    ScriptedMessageBoxes boxes;
    ScriptedTrust trust;
    LogSince log(plain);
    LdapSession session;
    EXPECT_EQ(connectAsAdmin(session, plain, SecurityMode::StartTls, ""), -1);
    EXPECT_EQ(session.getConnectResult(), LDAP_PROTOCOL_ERROR);
    EXPECT_FALSE(session.hasHandle());
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, L"The server refused StartTLS; no bind was sent. LDAPError 2: "
                                         + wide(ldap_err2string(LDAP_PROTOCOL_ERROR))
                                         + L"\nunsupported extended operation");
    const std::string text = log.settled();
    EXPECT_NE(text.find("EXT oid=1.3.6.1.4.1.1466.20037"), std::string::npos) << text;
    EXPECT_EQ(text.find("BIND"), std::string::npos) << text;
}

TEST_F(TlsSessionTest, PeersThatSpeakNoTlsFailWithinTheConnectTimeout)
{
    // A plain profile pointed at the LDAPS port.
    {
        ScriptedMessageBoxes boxes;
        LdapSession session;
        session.setTimeouts({3, 30});
        const Clock::time_point start = Clock::now();
        session.setTlsSettings(TlsSettings{});
        EXPECT_EQ(session.connect(L"127.0.0.1", tlsServer().tlsPort(), wide(TestDirectoryServer::adminDn()),
                                  wide(TestDirectoryServer::adminPassword()), false),
                  -1);
        EXPECT_LT(secondsSince(start), 3.5);
        ASSERT_EQ(boxes.boxes().size(), 1u);
        EXPECT_EQ(boxes.boxes()[0].text, L"Bind to server. LDAPError 81: " + wide(ldap_err2string(LDAP_SERVER_DOWN)));
    }
    // An LDAPS profile pointed at the plain port.
    {
        ScriptedMessageBoxes boxes;
        LdapSession session;
        session.setTimeouts({3, 30});
        session.setTlsSettings(TlsSettings{SecurityMode::Ldaps, L""});
        const Clock::time_point start = Clock::now();
        EXPECT_EQ(session.connect(L"127.0.0.1", tlsServer().port(), L"", L"", true), -1);
        EXPECT_LT(secondsSince(start), 3.5);
        ASSERT_EQ(boxes.boxes().size(), 1u);
        // The middle line is GnuTLS's or ours, as the timing of the hang-up has it.
        const std::wstring text = boxes.boxes()[0].text;
        const std::wstring head = L"TLS handshake with 127.0.0.1:" + std::to_wstring(tlsServer().port())
                                  + L". LDAPError 91: " + wide(ldap_err2string(LDAP_CONNECT_ERROR)) + L"\n";
        const std::wstring end =
            L"\nDoes the server take LDAPS on this port? LDAPS is usually on port 636, StartTLS on 389.";
        EXPECT_EQ(text.rfind(head, 0), 0u) << util::toUtf8(text);
        ASSERT_GT(text.size(), head.size() + end.size());
        EXPECT_EQ(text.substr(text.size() - end.size()), end);
    }
}

TEST_F(TlsSessionTest, ASilentPeerFailsTheHandshakeWithinTheConnectTimeoutAndCancelEndsItAtOnce)
{
    {
        SilentListener listener;
        ScriptedMessageBoxes boxes;
        ScriptedWaits waits;
        LdapSession session;
        session.setTimeouts({1, 30});
        session.setTlsSettings(TlsSettings{SecurityMode::Ldaps, L""});
        const Clock::time_point start = Clock::now();
        EXPECT_EQ(session.connect(L"127.0.0.1", listener.port(), L"", L"", true), -1);
        const double seconds = secondsSince(start);
        EXPECT_GE(seconds, 0.9);
        EXPECT_LT(seconds, 2.0);
        EXPECT_EQ(session.getConnectResult(), 85);
        ASSERT_EQ(boxes.boxes().size(), 1u);
        EXPECT_EQ(boxes.boxes()[0].text, L"TLS handshake with 127.0.0.1:" + std::to_wstring(listener.port())
                                             + L". LDAPError 85: " + wide(ldap_err2string(LDAP_TIMEOUT)));
    }
    {
        SilentListener listener;
        ScriptedMessageBoxes boxes;
        ScriptedWaits waits(util::WaitAnswer::Cancel, std::chrono::milliseconds(200));
        LdapSession session;
        session.setTimeouts({30, 30});
        session.setTlsSettings(TlsSettings{SecurityMode::Ldaps, L""});
        const Clock::time_point start = Clock::now();
        EXPECT_EQ(session.connect(L"127.0.0.1", listener.port(), L"", L"", true), -1);
        EXPECT_LT(secondsSince(start), 1.0);
        EXPECT_EQ(session.getConnectResult(), 88);
        EXPECT_TRUE(boxes.boxes().empty());
        EXPECT_EQ(waits.waits().back(),
                  L"Securing the connection to 127.0.0.1:" + std::to_wstring(listener.port()) + L"...");
    }
}

TEST_F(TlsSessionTest, ACaFileThatCantBeReadIsReportedBeforeAnyConnection)
{
    ScriptedMessageBoxes boxes;
    LdapSession session;
    EXPECT_EQ(connectAsAdmin(session, tlsServer(), SecurityMode::Ldaps, "/nonexistent/ca.pem"), -1);
    EXPECT_EQ(session.getConnectResult(), 82);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].caption, L"Secure connection");
    EXPECT_EQ(boxes.boxes()[0].text,
              L"Can't read the CA certificate file\n/nonexistent/ca.pem\nNo such file or directory");
}

} // namespace
