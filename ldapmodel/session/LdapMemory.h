#pragma once

namespace ldapmodel {

// Owns a string that libldap allocated (a DN, an attribute name); frees it
// with ldap_memfree.
class LdapMemory {
public:
    LdapMemory() = default;
    explicit LdapMemory(char* text) : m_pText(text) {}
    ~LdapMemory();
    LdapMemory(const LdapMemory&) = delete;
    LdapMemory& operator=(const LdapMemory&) = delete;

    char* get() const { return m_pText; }
    void reset(char* text = nullptr);

private:
    char* m_pText = nullptr;
};

} // namespace ldapmodel
