#pragma once

struct berval;

namespace ldapmodel {

// Owns one berval that libldap allocated (ldap_whoami_s); frees it with
// ber_bvfree.
class LdapBerval {
public:
    LdapBerval() = default;
    ~LdapBerval();
    LdapBerval(const LdapBerval&) = delete;
    LdapBerval& operator=(const LdapBerval&) = delete;

    berval* get() const { return m_pValue; }
    berval** receive();
    void reset();

private:
    berval* m_pValue = nullptr;
};

} // namespace ldapmodel
