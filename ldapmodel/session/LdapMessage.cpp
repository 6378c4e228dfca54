#include "session/LdapMessage.h"

#include <ldap.h>

#include <utility>

namespace ldapmodel {

LdapMessage::~LdapMessage() { reset(); }

LdapMessage::LdapMessage(LdapMessage&& other) noexcept
    : m_pMessage(std::exchange(other.m_pMessage, nullptr))
{
}

LdapMessage& LdapMessage::operator=(LdapMessage&& other) noexcept
{
    if (this != &other)
        reset(std::exchange(other.m_pMessage, nullptr));
    return *this;
}

ldapmsg** LdapMessage::receive()
{
    reset();
    return &m_pMessage;
}

void LdapMessage::reset(ldapmsg* message)
{
    ldapmsg* previous = std::exchange(m_pMessage, message);
    if (previous != nullptr)
        ldap_msgfree(previous);
}

} // namespace ldapmodel
