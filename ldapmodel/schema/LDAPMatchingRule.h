#pragma once

#include "handles/RefCount.h"

#include <string>
#include <utility>

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

    void setOid(std::wstring value) { m_strOid = std::move(value); }
    void setName(std::wstring value) { m_strName = std::move(value); }
    void setDescription(std::wstring value) { m_strDescription = std::move(value); }
    void setObsolete(bool value) { m_bObsolete = value; }
    void setSyntaxOid(std::wstring value) { m_strSyntaxOid = std::move(value); }

private:
    std::wstring m_strOid;
    std::wstring m_strName;
    std::wstring m_strDescription;
    bool m_bObsolete = false;
    std::wstring m_strSyntaxOid;
};

} // namespace ldapmodel
