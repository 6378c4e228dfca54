#pragma once

#include "handles/gc_ptr.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

struct ldapmod;

namespace ldapmodel {

class LDAPAttributeValue;

enum class LdapModOperation { Add, Delete, Replace };

// Owns a modification list for ldap_add_ext / ldap_modify_ext: records
// of (operation with counted values, attribute type in UTF-8, values). The
// values are referenced in place and kept alive by the list until it dies.
class LdapModList {
public:
    LdapModList();
    ~LdapModList();
    LdapModList(LdapModList&&) noexcept;
    LdapModList& operator=(LdapModList&&) noexcept;
    LdapModList(const LdapModList&) = delete;
    LdapModList& operator=(const LdapModList&) = delete;

    // Appends one record. An empty value list gives a record without
    // values (with Delete: the whole attribute). An empty value handle
    // gives -1 and adds nothing; otherwise 0.
    int addRecord(LdapModOperation operation, const std::wstring& attributeType,
                  const std::vector<memorylib::gc_ptr<LDAPAttributeValue>>& values);
    int addRecord(LdapModOperation operation, const std::wstring& attributeType,
                  const memorylib::gc_ptr<LDAPAttributeValue>& value);

    std::size_t size() const;
    // The null-terminated array, valid until the list changes or dies.
    ldapmod** get();

private:
    struct Record;
    std::vector<std::unique_ptr<Record>> m_records;
    std::vector<ldapmod*> m_pointers;
};

} // namespace ldapmodel
