#include "session/LdapMemory.h"

#include <ldap.h>

#include <utility>

namespace ldapmodel {

LdapMemory::~LdapMemory() { reset(); }

void LdapMemory::reset(char* text)
{
    char* previous = std::exchange(m_pText, text);
    if (previous != nullptr)
        ldap_memfree(previous);
}

} // namespace ldapmodel
