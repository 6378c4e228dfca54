#pragma once

namespace ldapmodel {

// Owns a null-terminated array of strings from libldap (ldap_explode_dn);
// frees it with ldap_memvfree.
class LdapStringArray {
public:
    LdapStringArray() = default;
    explicit LdapStringArray(char** strings) : m_ppStrings(strings) {}
    ~LdapStringArray();
    LdapStringArray(const LdapStringArray&) = delete;
    LdapStringArray& operator=(const LdapStringArray&) = delete;

    char* const* get() const { return m_ppStrings; }
    void reset(char** strings = nullptr);

private:
    char** m_ppStrings = nullptr;
};

} // namespace ldapmodel
