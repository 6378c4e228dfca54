#include "session/LdapBerElement.h"

#include <lber.h>

#include <utility>

namespace ldapmodel {

LdapBerElement::~LdapBerElement() { reset(); }

berelement** LdapBerElement::receive()
{
    reset();
    return &m_pElement;
}

void LdapBerElement::reset()
{
    berelement* previous = std::exchange(m_pElement, nullptr);
    if (previous != nullptr)
        ber_free(previous, 0);
}

} // namespace ldapmodel
