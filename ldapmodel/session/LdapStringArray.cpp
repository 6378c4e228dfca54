#include "session/LdapStringArray.h"

#include <ldap.h>

#include <utility>

namespace ldapmodel {

LdapStringArray::~LdapStringArray() { reset(); }

void LdapStringArray::reset(char** strings)
{
    char** previous = std::exchange(m_ppStrings, strings);
    if (previous != nullptr)
        ldap_memvfree(reinterpret_cast<void**>(previous));
}

} // namespace ldapmodel
