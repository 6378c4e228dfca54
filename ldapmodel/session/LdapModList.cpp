#include "session/LdapModList.h"

#include "records/LDAPAttributeValue.h"
#include "utilities/Util.h"

#include <ldap.h>

namespace ldapmodel {

struct LdapModList::Record {
    std::string type;
    std::vector<memorylib::gc_ptr<LDAPAttributeValue>> keep;
    std::vector<berval> values;
    std::vector<berval*> valuePointers;
    LDAPMod mod{};
};

LdapModList::LdapModList() = default;
LdapModList::~LdapModList() = default;
LdapModList::LdapModList(LdapModList&&) noexcept = default;
LdapModList& LdapModList::operator=(LdapModList&&) noexcept = default;

namespace {

int operationCode(LdapModOperation operation)
{
    switch (operation) {
    case LdapModOperation::Add:
        return LDAP_MOD_ADD | LDAP_MOD_BVALUES;
    case LdapModOperation::Delete:
        return LDAP_MOD_DELETE | LDAP_MOD_BVALUES;
    case LdapModOperation::Replace:
        break;
    }
    return LDAP_MOD_REPLACE | LDAP_MOD_BVALUES;
}

} // namespace

int LdapModList::addRecord(LdapModOperation operation, const std::wstring& attributeType,
                           const std::vector<memorylib::gc_ptr<LDAPAttributeValue>>& values)
{
    for (const auto& value : values) {
        if (value.getObject() == nullptr)
            return -1;
    }
    auto record = std::make_unique<Record>();
    record->type = util::toUtf8(attributeType);
    record->keep = values;
    record->values.reserve(values.size());
    for (const auto& value : record->keep) {
        berval bv{};
        bv.bv_len = value->getLength();
        bv.bv_val = const_cast<char*>(value->getBytes());
        record->values.push_back(bv);
    }
    record->valuePointers.reserve(values.size() + 1);
    for (berval& bv : record->values)
        record->valuePointers.push_back(&bv);
    record->valuePointers.push_back(nullptr);

    record->mod.mod_op = operationCode(operation);
    record->mod.mod_type = record->type.data();
    record->mod.mod_bvalues = record->valuePointers.data();
    m_records.push_back(std::move(record));
    return 0;
}

int LdapModList::addRecord(LdapModOperation operation, const std::wstring& attributeType,
                           const memorylib::gc_ptr<LDAPAttributeValue>& value)
{
    return addRecord(operation, attributeType,
                     std::vector<memorylib::gc_ptr<LDAPAttributeValue>>{value});
}

std::size_t LdapModList::size() const { return m_records.size(); }

ldapmod** LdapModList::get()
{
    m_pointers.clear();
    m_pointers.reserve(m_records.size() + 1);
    for (auto& record : m_records)
        m_pointers.push_back(&record->mod);
    m_pointers.push_back(nullptr);
    return m_pointers.data();
}

} // namespace ldapmodel
