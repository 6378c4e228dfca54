#pragma once

#include "RefCount.h"

#include <string>

namespace ldapmodel {

// One matching rule description of the server's schema.
class LDAPMatchingRule : public memorylib::RefCount {
public:
    LDAPMatchingRule() = default;
    ~LDAPMatchingRule() override = default;

    // Empty texts, obsolete false.
    void reset();

    const std::wstring& getOid() const { return m_strOid; }
    const std::wstring& getName() const { return m_strName; }
    const std::wstring& getDescription() const { return m_strDescription; }
    bool isObsolete() const { return m_bObsolete; }
    // The word after SYNTAX as written.
    const std::wstring& getSyntaxOid() const { return m_strSyntaxOid; }

    void setOid(const std::wstring& value) { m_strOid = value; }
    void setName(const std::wstring& value) { m_strName = value; }
    void setDescription(const std::wstring& value) { m_strDescription = value; }
    void setObsolete(bool value) { m_bObsolete = value; }
    void setSyntaxOid(const std::wstring& value) { m_strSyntaxOid = value; }

private:
    std::wstring m_strOid;
    std::wstring m_strName;
    std::wstring m_strDescription;
    bool m_bObsolete = false;
    std::wstring m_strSyntaxOid;
};

} // namespace ldapmodel
