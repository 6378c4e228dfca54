#pragma once

struct ldapmsg;

namespace ldapmodel {

// Owns one LDAPMessage chain; frees it with ldap_msgfree.
class LdapMessage {
public:
    LdapMessage() = default;
    explicit LdapMessage(ldapmsg* message) : m_pMessage(message) {}
    ~LdapMessage();
    LdapMessage(LdapMessage&& other) noexcept;
    LdapMessage& operator=(LdapMessage&& other) noexcept;
    LdapMessage(const LdapMessage&) = delete;
    LdapMessage& operator=(const LdapMessage&) = delete;

    ldapmsg* get() const { return m_pMessage; }
    // Frees what is held and hands out the slot for a library call to fill.
    ldapmsg** receive();
    void reset(ldapmsg* message = nullptr);

private:
    ldapmsg* m_pMessage = nullptr;
};

} // namespace ldapmodel
