#pragma once

#include "RefCount.h"

#include <cstdint>
#include <string>

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

    void setOid(const std::wstring& value) { m_strOid = value; }
    void setName(const std::wstring& value) { m_strName = value; }
    void setDescription(const std::wstring& value) { m_strDescription = value; }
    void setObsolete(bool value) { m_bObsolete = value; }
    void setSuperior(const std::wstring& value) { m_strSuperior = value; }
    void setEqualityRule(const std::wstring& value) { m_strEqualityRule = value; }
    void setOrderingRule(const std::wstring& value) { m_strOrderingRule = value; }
    void setSubstringRule(const std::wstring& value) { m_strSubstringRule = value; }
    void setSyntaxOid(const std::wstring& value) { m_strSyntaxOid = value; }
    void setSyntaxLength(std::int32_t value) { m_iSyntaxLength = value; }
    void setCollective(bool value) { m_bCollective = value; }
    void setSingleValued(bool value) { m_bSingleValued = value; }
    void setNoUserModification(bool value) { m_bNoUserModification = value; }
    void setUsage(const std::wstring& value) { m_strUsage = value; }

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
