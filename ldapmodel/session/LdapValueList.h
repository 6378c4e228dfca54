#pragma once

#include <cstddef>

struct berval;

namespace ldapmodel {

// Owns the values of one attribute as ldap_get_values_len returns them;
// frees them with ldap_value_free_len.
class LdapValueList {
public:
    LdapValueList() = default;
    explicit LdapValueList(berval** values) : m_ppValues(values) {}
    ~LdapValueList();
    LdapValueList(const LdapValueList&) = delete;
    LdapValueList& operator=(const LdapValueList&) = delete;

    bool isNull() const { return m_ppValues == nullptr; }
    // The values in the server's order, ending with a null pointer.
    berval* const* get() const { return m_ppValues; }
    void reset(berval** values = nullptr);

private:
    berval** m_ppValues = nullptr;
};

} // namespace ldapmodel
