#pragma once

#include <string>
#include <vector>

namespace ldapmodel {

// The one place where a DN is taken apart into its RDNs: libldap reads it
// (ldap_str2rdn, RFC 4514 plus the older forms libldap accepts: quoted
// values, ";" between RDNs). Each RDN keeps the text it was written with,
// so an escaped comma, a quoted value, the "+" of a multi-valued RDN and
// UTF-8 letters stay as they were; only the blanks around the separators
// go (an escaped trailing blank stays). Joined again, RDNs are separated
// by "," alone.
class DistinguishedName {
public:
    // The RDNs of dn, first (leftmost) to last. false, with no RDNs, when
    // libldap can't read dn as a DN. An empty or blank dn has no RDNs.
    static bool parse(const std::wstring& dn, std::vector<std::wstring>& rdns);
    // parse; for text that is no DN, the pieces between commas that no
    // backslash escapes, each trimmed.
    static std::vector<std::wstring> components(const std::wstring& dn);
    // The first RDN; empty when dn is empty or no DN.
    static std::wstring rdn(const std::wstring& dn);
    // The components after the first, joined; empty for a single one.
    static std::wstring parent(const std::wstring& dn);
    // The components joined, in their order or last to first.
    static std::wstring normalized(const std::wstring& dn);
    static std::wstring reversed(const std::wstring& dn);
    static std::wstring join(const std::vector<std::wstring>& rdns);
    // One form for the ways of writing the same RDN (cn=Smith\, John,
    // cn=Smith\2C John, cn="Smith, John", cn = Smith\, John), for
    // comparing RDNs; letter case is left to the caller. The trimmed text
    // when it is no single RDN.
    static std::wstring rdnKey(const std::wstring& rdn);

    // dn is base or an entry below it: its last RDNs are base's, compared
    // by rdnKey with ASCII letter case ignored. An empty base holds every DN.
    static bool isWithin(const std::wstring& dn, const std::wstring& base);
    // dn, which isWithin oldBase, with oldBase's RDNs replaced by newBase's.
    static std::wstring rebased(const std::wstring& dn, const std::wstring& oldBase,
                                const std::wstring& newBase);
};

} // namespace ldapmodel
