// Reads one entry (user attributes, then the operational attributes) 1,000
// times through LDAPEntry::readFromServer and, beside it, with the same two
// searches in bare libldap calls; prints both times and their ratio.

#include "BenchTiming.h"
#include "records/LDAPEntry.h"
#include "session/LdapSession.h"
#include "support/TestDirectoryServer.h"
#include "utilities/Util.h"

#include <ldap.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kRounds = 1000;

using Clock = std::chrono::steady_clock;
using bench::millisecondsSince;

// One base search and a walk over every value; returns the bytes seen.
std::size_t bareRead(LDAP* ld, const char* dn, char** attributes)
{
    LDAPMessage* result = nullptr;
    std::size_t bytes = 0;
    int rc = ldap_search_ext_s(ld, dn, LDAP_SCOPE_BASE, "objectclass=*", attributes, 0, nullptr, nullptr,
                               nullptr, 0, &result);
    if (rc == LDAP_SUCCESS) {
        LDAPMessage* entry = ldap_first_entry(ld, result);
        if (entry != nullptr) {
            BerElement* ber = nullptr;
            for (char* name = ldap_first_attribute(ld, entry, &ber); name != nullptr;
                 name = ldap_next_attribute(ld, entry, ber)) {
                berval** values = ldap_get_values_len(ld, entry, name);
                if (values != nullptr) {
                    for (berval** value = values; *value != nullptr; ++value)
                        bytes += (*value)->bv_len;
                    ldap_value_free_len(values);
                }
                ldap_memfree(name);
            }
            if (ber != nullptr)
                ber_free(ber, 0);
        }
    }
    ldap_msgfree(result);
    return bytes;
}

} // namespace

int main()
{
    dirtest::TestDirectoryServer server(dirtest::TestDirectoryServer::Content::Sample);
    if (!server.start()) {
        std::fprintf(stderr, "Cannot start the test directory server.\n%s\n", server.lastError().c_str());
        return 1;
    }
    const std::string dn = dirtest::sample::kUser01Dn;

    ldapmodel::LdapSession session;
    if (session.connect(util::fromUtf8(server.host()), server.port(),
                        util::fromUtf8(dirtest::TestDirectoryServer::adminDn()),
                        util::fromUtf8(dirtest::TestDirectoryServer::adminPassword()), false) != 0)
        return 1;

    LDAP* ld = nullptr;
    if (ldap_initialize(&ld, server.uri().c_str()) != LDAP_SUCCESS)
        return 1;
    int version = LDAP_VERSION3;
    ldap_set_option(ld, LDAP_OPT_PROTOCOL_VERSION, &version);
    std::string password = dirtest::TestDirectoryServer::adminPassword();
    berval credentials{};
    credentials.bv_len = password.size();
    credentials.bv_val = password.data();
    if (ldap_sasl_bind_s(ld, dirtest::TestDirectoryServer::adminDn(), LDAP_SASL_SIMPLE, &credentials, nullptr,
                         nullptr, nullptr) != LDAP_SUCCESS) {
        ldap_unbind_ext_s(ld, nullptr, nullptr);
        return 1;
    }
    std::string all = "*";
    std::vector<char*> userAttributes{all.data(), nullptr};
    std::vector<std::string> operationalNames;
    for (const auto& name : ldapmodel::LDAPEntry::operationalAttributeNames())
        operationalNames.push_back(util::toUtf8(name));
    std::vector<char*> operationalAttributes;
    for (auto& name : operationalNames)
        operationalAttributes.push_back(name.data());
    operationalAttributes.push_back(nullptr);

    // Warm both paths up once.
    memorylib::gc_ptr<ldapmodel::LDAPEntry> entry = new ldapmodel::LDAPEntry();
    entry->setDN(util::fromUtf8(dn));
    bool ok = entry->readFromServer(session, 0);
    std::size_t bytes = bareRead(ld, dn.c_str(), userAttributes.data());

    Clock::time_point start = Clock::now();
    for (int i = 0; i < kRounds && ok; ++i) {
        memorylib::gc_ptr<ldapmodel::LDAPEntry> fresh = new ldapmodel::LDAPEntry();
        fresh->setDN(util::fromUtf8(dn));
        ok = fresh->readFromServer(session, 0);
    }
    double modelTime = millisecondsSince(start);

    start = Clock::now();
    for (int i = 0; i < kRounds; ++i) {
        bytes += bareRead(ld, dn.c_str(), userAttributes.data());
        bytes += bareRead(ld, dn.c_str(), operationalAttributes.data());
    }
    double bareTime = millisecondsSince(start);
    ldap_unbind_ext_s(ld, nullptr, nullptr);

    if (!ok || bytes == 0) {
        std::fprintf(stderr, "An entry read failed.\n");
        return 1;
    }
    std::printf("entry reads: %d of %s (%d user, %zu operational attributes)\n", kRounds, dn.c_str(),
                entry->getUserAttributeCount(), entry->getOperationalAttributes().size());
    std::printf("LDAPEntry::readFromServer: %.1f ms (%.1f us per read)\n", modelTime, modelTime * 1000 / kRounds);
    std::printf("bare libldap:              %.1f ms (%.1f us per read)\n", bareTime, bareTime * 1000 / kRounds);
    std::printf("ratio: %.2f\n", modelTime / bareTime);
    return 0;
}
