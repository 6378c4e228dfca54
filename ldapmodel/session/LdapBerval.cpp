#include "session/LdapBerval.h"

#include <lber.h>

#include <utility>

namespace ldapmodel {

LdapBerval::~LdapBerval() { reset(); }

berval** LdapBerval::receive()
{
    reset();
    return &m_pValue;
}

void LdapBerval::reset()
{
    berval* previous = std::exchange(m_pValue, nullptr);
    if (previous != nullptr)
        ber_bvfree(previous);
}

} // namespace ldapmodel
