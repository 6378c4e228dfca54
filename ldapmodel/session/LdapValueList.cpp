#include "session/LdapValueList.h"

#include <ldap.h>

#include <utility>

namespace ldapmodel {

LdapValueList::~LdapValueList() { reset(); }

void LdapValueList::reset(berval** values)
{
    berval** previous = std::exchange(m_ppValues, values);
    if (previous != nullptr)
        ldap_value_free_len(previous);
}

} // namespace ldapmodel
