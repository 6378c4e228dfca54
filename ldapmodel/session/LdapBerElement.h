#pragma once

struct berelement;

namespace ldapmodel {

// Owns the BerElement of an attribute walk; frees it with ber_free(ber, 0)
// (the buffer belongs to the message).
class LdapBerElement {
public:
    LdapBerElement() = default;
    ~LdapBerElement();
    LdapBerElement(const LdapBerElement&) = delete;
    LdapBerElement& operator=(const LdapBerElement&) = delete;

    berelement* get() const { return m_pElement; }
    berelement** receive();
    void reset();

private:
    berelement* m_pElement = nullptr;
};

} // namespace ldapmodel
