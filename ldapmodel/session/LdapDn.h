#pragma once

struct ldap_ava;

namespace ldapmodel {

// Owns a parsed DN from ldap_str2dn; frees it with ldap_dnfree.
class LdapDn {
public:
    using Rdn = ldap_ava**;
    using Dn = Rdn*;

    LdapDn() = default;
    ~LdapDn();
    LdapDn(const LdapDn&) = delete;
    LdapDn& operator=(const LdapDn&) = delete;

    Dn get() const { return m_dn; }
    Dn* receive();
    void reset();

private:
    Dn m_dn = nullptr;
};

} // namespace ldapmodel
