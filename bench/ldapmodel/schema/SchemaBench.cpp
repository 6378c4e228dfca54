// Schema load against a private test server, beside the same fetch made with
// bare libldap calls; then value-kind lookups over the loaded schema.
#include "schema/LDAPSchema.h"
#include "schema/ValueKind.h"
#include "session/LdapSession.h"
#include "support/TestDirectoryServer.h"

#include <ldap.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

using namespace ldapmodel;
using Clock = std::chrono::steady_clock;

namespace {

double median(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

template <class Body>
double timeMedianMs(int rounds, Body body)
{
    std::vector<double> samples;
    for (int i = 0; i < rounds; ++i) {
        Clock::time_point start = Clock::now();
        body();
        samples.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    return median(samples);
}

// The subschema entry read with libldap alone: one base search, every value
// of every attribute visited.
std::size_t bareFetch(LDAP* handle)
{
    char plus[] = "+";
    char star[] = "*";
    char* attributes[] = {plus, star, nullptr};
    LDAPMessage* result = nullptr;
    std::size_t bytes = 0;
    int code = ldap_search_ext_s(handle, "cn=Subschema", LDAP_SCOPE_BASE, "objectclass=*",
                                 attributes, 0, nullptr, nullptr, nullptr, 0, &result);
    if (code == LDAP_SUCCESS) {
        LDAPMessage* entry = ldap_first_entry(handle, result);
        BerElement* walk = nullptr;
        for (char* name = entry ? ldap_first_attribute(handle, entry, &walk) : nullptr;
             name != nullptr; name = ldap_next_attribute(handle, entry, walk)) {
            berval** values = ldap_get_values_len(handle, entry, name);
            for (berval** value = values; value != nullptr && *value != nullptr; ++value)
                bytes += (*value)->bv_len;
            ldap_value_free_len(values);
            ldap_memfree(name);
        }
        if (walk != nullptr)
            ber_free(walk, 0);
    }
    ldap_msgfree(result);
    return bytes;
}

// The root entry's subschemaSubentry, read the same bare way.
void bareReadSchemaDn(LDAP* handle)
{
    char name[] = "subschemaSubentry";
    char* attributes[] = {name, nullptr};
    LDAPMessage* result = nullptr;
    if (ldap_search_ext_s(handle, "", LDAP_SCOPE_BASE, "objectclass=*", attributes, 0, nullptr,
                          nullptr, nullptr, 0, &result) == LDAP_SUCCESS) {
        LDAPMessage* entry = ldap_first_entry(handle, result);
        berval** values = entry ? ldap_get_values_len(handle, entry, name) : nullptr;
        ldap_value_free_len(values);
    }
    ldap_msgfree(result);
}

} // namespace

int main()
{
    dirtest::TestDirectoryServer server(dirtest::TestDirectoryServer::Content::Empty);
    if (!server.start()) {
        std::fprintf(stderr, "Cannot start the test directory server.\n%s\n",
                     server.lastError().c_str());
        return 1;
    }

    LDAP* handle = nullptr;
    int version = LDAP_VERSION3;
    berval noPassword{0, nullptr};
    if (ldap_initialize(&handle, server.uri().c_str()) != LDAP_SUCCESS ||
        ldap_set_option(handle, LDAP_OPT_PROTOCOL_VERSION, &version) != LDAP_OPT_SUCCESS ||
        ldap_sasl_bind_s(handle, nullptr, LDAP_SASL_SIMPLE, &noPassword, nullptr, nullptr,
                         nullptr) != LDAP_SUCCESS) {
        std::fprintf(stderr, "bare bind failed\n");
        return 1;
    }
    LdapSession session;
    if (session.connect(L"127.0.0.1", server.port(), L"", L"", true) != 0)
        return 1;

    LDAPSchema& schema = LDAPSchema::instance();
    const int rounds = 200;
    // Warm both paths once.
    std::size_t bytes = bareFetch(handle);
    schema.clear();
    schema.load(session, L"");

    // Rounds interleaved, so both paths see the same machine load.
    std::vector<double> bareSamples;
    std::vector<double> bareWithDnSamples;
    std::vector<double> knownDnSamples;
    std::vector<double> readDnSamples;
    for (int i = 0; i < rounds; ++i) {
        bareSamples.push_back(timeMedianMs(1, [&] { bareFetch(handle); }));
        bareWithDnSamples.push_back(timeMedianMs(1, [&] {
            bareReadSchemaDn(handle);
            bareFetch(handle);
        }));
        // Clearing (freeing the previous copy) is not part of a load.
        schema.clear();
        knownDnSamples.push_back(timeMedianMs(1, [&] { schema.load(session, L"cn=Subschema"); }));
        schema.clear();
        readDnSamples.push_back(timeMedianMs(1, [&] { schema.load(session, L""); }));
    }
    double bare = median(bareSamples);
    double bareWithDn = median(bareWithDnSamples);
    double loadKnownDn = median(knownDnSamples);
    double loadReadDn = median(readDnSamples);
    std::printf("subschema entry: %zu value bytes, %zu attribute types, %zu object classes, "
                "%zu matching rules\n",
                bytes, schema.getAttributeTypes().size(), schema.getObjectClasses().size(),
                schema.getMatchingRules().size());
    std::printf("bare libldap fetch:                     %8.3f ms\n", bare);
    std::printf("load, schema DN given:                  %8.3f ms (%.2fx the bare fetch)\n",
                loadKnownDn, loadKnownDn / bare);
    std::printf("bare root entry read and fetch:         %8.3f ms\n", bareWithDn);
    std::printf("load, schema DN read from the root:     %8.3f ms (%.2fx the bare read and "
                "fetch)\n",
                loadReadDn, loadReadDn / bareWithDn);

    const std::vector<std::wstring> names = {L"cn", L"jpegPhoto", L"description", L"CN",
                                             L"userCertificate", L"telephoneNumber",
                                             L"noSuchAttribute", L"objectClass", L"mail",
                                             L"modifyTimestamp"};
    const int lookups = 1000000;
    int binary = 0;
    Clock::time_point start = Clock::now();
    for (int i = 0; i < lookups; ++i)
        binary += isBinaryKind(getValueKindOfAttribute(names[i % names.size()])) ? 1 : 0;
    double lookupMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    std::printf("%d value-kind lookups:              %8.3f ms (%.1f ns each, %d binary)\n", lookups,
                lookupMs, lookupMs * 1e6 / lookups, binary);

    ldap_unbind_ext_s(handle, nullptr, nullptr);
    session.disconnect();
    server.stop();
    return 0;
}
