// Splits 100,000 DNs into their RDNs through DistinguishedName, beside the
// same parse made with bare libldap (ldap_str2dn and ldap_dnfree on UTF-8),
// and times the RDN key the tree compares labels with beside a bare
// ldap_str2rdn and ldap_rdn2str. The helper adds the text conversions and
// keeps each RDN as written.

#include "session/DistinguishedName.h"
#include "utilities/Util.h"

#include <ldap.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

using ldapmodel::DistinguishedName;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kCount = 100000;

std::wstring dnOf(int n)
{
    switch (n % 4) {
    case 0:
        return L"uid=user" + std::to_wstring(n) + L",ou=People,dc=example,dc=com";
    case 1:
        return L"cn=Smith\\, John " + std::to_wstring(n) + L",ou=People,dc=example,dc=com";
    case 2:
        return L"cn=\u0141ukasz " + std::to_wstring(n) + L"+sn=\u017B\u00F3\u0142kiewski,ou=People,dc=example,dc=com";
    default:
        return L"cn=\"Doe, Jane " + std::to_wstring(n) + L"\",ou=People,dc=example,dc=com";
    }
}

template <class Body>
double medianMs(Body body)
{
    std::vector<double> samples;
    for (int round = 0; round < 5; ++round) {
        const Clock::time_point start = Clock::now();
        body();
        samples.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

void row(const char* what, double ours, double bare)
{
    std::printf("%-34s %9.1f ms  bare libldap %9.1f ms  ratio %5.2f  %6.2f us per DN\n", what, ours, bare,
                ours / bare, ours * 1000.0 / kCount);
}

} // namespace

int main()
{
    std::vector<std::wstring> dns;
    std::vector<std::string> utf8;
    std::vector<std::wstring> rdns;
    std::vector<std::string> utf8Rdns;
    for (int n = 0; n < kCount; ++n) {
        dns.push_back(dnOf(n));
        utf8.push_back(util::toUtf8(dns.back()));
        rdns.push_back(DistinguishedName::rdn(dns.back()));
        utf8Rdns.push_back(util::toUtf8(rdns.back()));
    }

    std::size_t parts = 0;
    const double ours = medianMs([&] {
        for (const std::wstring& dn : dns)
            parts += DistinguishedName::components(dn).size();
    });
    std::size_t bareParts = 0;
    const double bare = medianMs([&] {
        for (const std::string& dn : utf8) {
            LDAPDN parsed = nullptr;
            if (ldap_str2dn(dn.c_str(), &parsed, LDAP_DN_FORMAT_LDAP) == LDAP_SUCCESS && parsed != nullptr) {
                for (LDAPRDN* rdn = parsed; *rdn != nullptr; ++rdn)
                    ++bareParts;
                ldap_dnfree(parsed);
            }
        }
    });
    std::printf("%d DNs (plain, escaped comma, multi-valued UTF-8, quoted), %zu RDNs per round\n", kCount,
                parts / 5);
    row("DistinguishedName::components", ours, bare);

    std::size_t keyBytes = 0;
    const double keys = medianMs([&] {
        for (const std::wstring& rdn : rdns)
            keyBytes += DistinguishedName::rdnKey(rdn).size();
    });
    std::size_t bareKeyBytes = 0;
    const double bareKeys = medianMs([&] {
        for (const std::string& rdn : utf8Rdns) {
            LDAPRDN parsed = nullptr;
            char* next = nullptr;
            if (ldap_str2rdn(rdn.c_str(), &parsed, &next, LDAP_DN_FORMAT_LDAP) != LDAP_SUCCESS)
                continue;
            char* rendered = nullptr;
            if (ldap_rdn2str(parsed, &rendered, LDAP_DN_FORMAT_LDAPV3 | LDAP_DN_PRETTY) == LDAP_SUCCESS)
                bareKeyBytes += std::char_traits<char>::length(rendered);
            ldap_memfree(rendered);
            ldap_rdnfree(parsed);
        }
    });
    row("DistinguishedName::rdnKey", keys, bareKeys);
    const bool ok = parts / 5 == bareParts / 5 && keyBytes > 0 && bareKeyBytes > 0;
    if (!ok)
        std::printf("counts differ: %zu against %zu RDNs\n", parts / 5, bareParts / 5);
    return ok ? 0 : 1;
}
