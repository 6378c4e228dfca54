#pragma once

#include "handles/RefCount.h"

#include <cstdint>
#include <string>
#include <utility>

namespace ldapmodel {

// One attribute type description of the server's schema.
class LDAPAttributeType : public memorylib::RefCount {
public:
    LDAPAttributeType() = default;
    ~LDAPAttributeType() override = default;

    // Empty texts, false flags, syntax length -1.
    void reset();

    const std::wstring& getOid() const { return m_strOid; }
    const std::wstring& getName() const { return m_strName; }
    const std::wstring& getDescription() const { return m_strDescription; }
    bool isObsolete() const { return m_bObsolete; }
    const std::wstring& getSuperior() const { return m_strSuperior; }
    const std::wstring& getEqualityRule() const { return m_strEqualityRule; }
    const std::wstring& getOrderingRule() const { return m_strOrderingRule; }
    const std::wstring& getSubstringRule() const { return m_strSubstringRule; }
    const std::wstring& getSyntaxOid() const { return m_strSyntaxOid; }
    std::int32_t getSyntaxLength() const { return m_iSyntaxLength; }
    bool isCollective() const { return m_bCollective; }
    bool isSingleValued() const { return m_bSingleValued; }
    bool isNoUserModification() const { return m_bNoUserModification; }
    const std::wstring& getUsage() const { return m_strUsage; }

    void setOid(std::wstring value) { m_strOid = std::move(value); }
    void setName(std::wstring value) { m_strName = std::move(value); }
    void setDescription(std::wstring value) { m_strDescription = std::move(value); }
    void setObsolete(bool value) { m_bObsolete = value; }
    void setSuperior(std::wstring value) { m_strSuperior = std::move(value); }
    void setEqualityRule(std::wstring value) { m_strEqualityRule = std::move(value); }
    void setOrderingRule(std::wstring value) { m_strOrderingRule = std::move(value); }
    void setSubstringRule(std::wstring value) { m_strSubstringRule = std::move(value); }
    void setSyntaxOid(std::wstring value) { m_strSyntaxOid = std::move(value); }
    void setSyntaxLength(std::int32_t value) { m_iSyntaxLength = value; }
    void setCollective(bool value) { m_bCollective = value; }
    void setSingleValued(bool value) { m_bSingleValued = value; }
    void setNoUserModification(bool value) { m_bNoUserModification = value; }
    void setUsage(std::wstring value) { m_strUsage = std::move(value); }

private:
    std::wstring m_strOid;
    std::wstring m_strName;
    std::wstring m_strDescription;
    bool m_bObsolete = false;
    std::wstring m_strSuperior;
    std::wstring m_strEqualityRule;
    std::wstring m_strOrderingRule;
    std::wstring m_strSubstringRule;
    std::wstring m_strSyntaxOid;
    std::int32_t m_iSyntaxLength = -1;
    bool m_bCollective = false;
    bool m_bSingleValued = false;
    bool m_bNoUserModification = false;
    std::wstring m_strUsage;
};

} // namespace ldapmodel
