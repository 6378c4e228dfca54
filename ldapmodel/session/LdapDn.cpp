#include "session/LdapDn.h"

#include <ldap.h>

#include <type_traits>
#include <utility>

namespace ldapmodel {

static_assert(std::is_same_v<LdapDn::Dn, LDAPDN>, "LDAPDN layout");

LdapDn::~LdapDn() { reset(); }

LdapDn::Dn* LdapDn::receive()
{
    reset();
    return &m_dn;
}

void LdapDn::reset()
{
    Dn previous = std::exchange(m_dn, nullptr);
    if (previous != nullptr)
        ldap_dnfree(previous);
}

} // namespace ldapmodel
