// Connect and bind over LDAPS and StartTLS, 200 times each, through
// LdapSession beside the same with bare libldap calls: a fresh TLS context
// per connection trusting the same certificates (the system's CA bundle and
// the test server's CA), the certificate verified, the administrator bound,
// then unbound. The two sides take turns connect by connect, so that both
// see the same machine; the ratio is that of the median connects (the
// totals are shown too). A last line times a server whose certificate the
// user pinned (two handshakes: libldap's verification fails, the second one
// is judged).

#include "BenchTiming.h"
#include "security/CertificateReview.h"
#include "security/CertificateTrustService.h"
#include "session/LdapSession.h"
#include "session/TrustAnchors.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestDirectoryServer.h"
#include "faults/FaultGuard.h"
#include "utilities/Util.h"

#include <ldap.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using bench::millisecondsSince;
using bench::median;
using dirtest::TestDirectoryServer;
using ldapmodel::SecurityMode;

constexpr int kConnects = 200;

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Bare libldap: the same options LdapSession sets, the synchronous calls.
bool bareConnect(const TestDirectoryServer& server, SecurityMode mode, const std::string& caFile)
{
    const std::string url = mode == SecurityMode::Ldaps ? server.ldapsUri() : server.uri();
    LDAP* handle = nullptr;
    if (ldap_initialize(&handle, url.c_str()) != LDAP_SUCCESS)
        return false;
    int version = LDAP_VERSION3;
    int require = LDAP_OPT_X_TLS_DEMAND;
    int client = 0;
    ldap_set_option(handle, LDAP_OPT_PROTOCOL_VERSION, &version);
    ldap_set_option(handle, LDAP_OPT_X_TLS_REQUIRE_CERT, &require);
    ldap_set_option(handle, LDAP_OPT_X_TLS_CACERTFILE, caFile.c_str());
    bool ok = ldap_set_option(handle, LDAP_OPT_X_TLS_NEWCTX, &client) == LDAP_OPT_SUCCESS;
    if (ok && mode == SecurityMode::StartTls)
        ok = ldap_start_tls_s(handle, nullptr, nullptr) == LDAP_SUCCESS;
    std::string password = TestDirectoryServer::adminPassword();
    berval credentials{password.size(), password.data()};
    if (ok)
        ok = ldap_sasl_bind_s(handle, TestDirectoryServer::adminDn(), LDAP_SASL_SIMPLE, &credentials, nullptr,
                              nullptr, nullptr) == LDAP_SUCCESS;
    ldap_unbind_ext_s(handle, nullptr, nullptr);
    return ok;
}

bool sessionConnect(const TestDirectoryServer& server, SecurityMode mode, const std::string& caFile)
{
    ldapmodel::LdapSession session;
    session.setTlsSettings(ldapmodel::TlsSettings{mode, util::fromUtf8(caFile)});
    const int port = mode == SecurityMode::Ldaps ? server.tlsPort() : server.port();
    const bool ok = session.connect(L"127.0.0.1", port, util::fromUtf8(TestDirectoryServer::adminDn()),
                                    util::fromUtf8(TestDirectoryServer::adminPassword()), false) == 0;
    session.disconnect();
    return ok;
}

double sum(const std::vector<double>& values)
{
    double total = 0;
    for (double value : values)
        total += value;
    return total;
}

struct Timing {
    std::vector<double> session;
    std::vector<double> bare;
    int failures = 0;
};

Timing compare(const TestDirectoryServer& server, SecurityMode mode, const std::string& caFile,
               const std::string& combinedFile)
{
    Timing timing;
    for (int i = 0; i < kConnects; ++i) {
        Clock::time_point start = Clock::now();
        timing.failures += sessionConnect(server, mode, caFile) ? 0 : 1;
        timing.session.push_back(millisecondsSince(start));
        start = Clock::now();
        timing.failures += bareConnect(server, mode, combinedFile) ? 0 : 1;
        timing.bare.push_back(millisecondsSince(start));
    }
    return timing;
}

} // namespace

int main()
{
    util::ignoreBrokenPipeSignal();
    dirtest::ScriptedMessageBoxes boxes;
    TestDirectoryServer server(TestDirectoryServer::Content::Empty, TestDirectoryServer::Tls::On);
    if (!server.start()) {
        std::fprintf(stderr, "Cannot start the test directory server: %s\n", server.lastError().c_str());
        return 1;
    }
    // The bare calls trust what the session trusts: the bundle and the CA.
    const std::string combinedFile = server.directory() + "/trusted-by-bench.pem";
    {
        std::ofstream out(combinedFile, std::ios::binary);
        out << readAll(ldapmodel::TrustAnchors::kSystemBundle) << "\n" << readAll(server.caCertificateFile());
    }

    std::printf("Connect and bind, %d times each (fresh TLS context each time, certificate verified)\n",
                kConnects);
    std::printf("%-10s %22s %22s %8s\n", "", "LdapSession", "bare libldap", "ratio");
    std::printf("%-10s %22s %22s %8s\n", "", "median / total", "median / total", "(median)");
    int failures = 0;
    for (SecurityMode mode : {SecurityMode::Ldaps, SecurityMode::StartTls}) {
        const Timing timing = compare(server, mode, server.caCertificateFile(), combinedFile);
        failures += timing.failures;
        std::printf("%-10s %7.2f ms / %7.1f ms %7.2f ms / %7.1f ms %7.2fx\n",
                    mode == SecurityMode::Ldaps ? "LDAPS" : "StartTLS", median(timing.session),
                    sum(timing.session), median(timing.bare), sum(timing.bare),
                    median(timing.session) / median(timing.bare));
    }

    // A pinned certificate: no CA file, the pin accepts the second handshake.
    const std::string pins = server.directory() + "/bench-pins";
    ldapmodel::CertificateTrustService trust([](const ldapmodel::CertificateReview&) {
        return ldapmodel::CertificateAnswer::AlwaysTrust;
    }, [&pins]() { return util::fromUtf8(pins); });
    ldapmodel::setServerCertificateService(&trust);
    failures += sessionConnect(server, SecurityMode::Ldaps, "") ? 0 : 1;  // pins it
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < kConnects; ++i)
        failures += sessionConnect(server, SecurityMode::Ldaps, "") ? 0 : 1;
    const double pinned = millisecondsSince(start);
    ldapmodel::setServerCertificateService(nullptr);
    std::printf("LDAPS, certificate pinned instead of verified: %.1f ms (%.2f ms per connect)\n", pinned,
                pinned / kConnects);

    if (failures != 0 || !boxes.boxes().empty()) {
        std::fprintf(stderr, "%d connects failed, %zu boxes\n", failures, boxes.boxes().size());
        return 1;
    }
    return 0;
}
