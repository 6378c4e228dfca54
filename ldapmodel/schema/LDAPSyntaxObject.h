#pragma once

#include "handles/RefCount.h"
#include "schema/ValueKind.h"

#include <cstdint>
#include <string>
#include <utility>

namespace ldapmodel {

// One LDAP syntax: OID, description, human-readable flag and value kind.
// Always allocate with new: the registering constructor hands the object to
// the process-wide syntax registry, which keeps it for the process's life.
class LDAPSyntaxObject : public memorylib::RefCount {
public:
    // Unregistered, empty syntax (filled by the parser, registered by the loader).
    LDAPSyntaxObject() = default;
    // Filled syntax; also added to the syntax registry.
    LDAPSyntaxObject(const std::wstring& description, bool humanReadable,
                     const std::wstring& oid, std::int32_t valueKind);
    ~LDAPSyntaxObject() override = default;

    const std::wstring& getOid() const { return m_strOid; }
    const std::wstring& getDescription() const { return m_strDescription; }
    bool isHumanReadable() const { return m_bHumanReadable; }
    std::int32_t getValueKind() const { return m_iValueKind; }

    void setOid(std::wstring oid) { m_strOid = std::move(oid); }
    void setDescription(std::wstring description) { m_strDescription = std::move(description); }
    void setHumanReadable(bool humanReadable) { m_bHumanReadable = humanReadable; }
    void setValueKind(std::int32_t valueKind) { m_iValueKind = valueKind; }

private:
    std::wstring m_strOid;
    std::wstring m_strDescription;
    bool m_bHumanReadable = false;
    std::int32_t m_iValueKind = VALUEKIND_UNKNOWN;
};

} // namespace ldapmodel
