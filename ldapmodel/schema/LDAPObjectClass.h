#pragma once

#include "handles/RefCount.h"

#include <string>
#include <utility>
#include <vector>

namespace ldapmodel {

// One object class description of the server's schema. The MUST and MAY
// lists hold only what the class itself names; superiors are not followed.
class LDAPObjectClass : public memorylib::RefCount {
public:
    LDAPObjectClass() = default;
    ~LDAPObjectClass() override = default;

    // Empty texts and lists, obsolete false.
    void reset();

    const std::wstring& getOid() const { return m_strOid; }
    const std::wstring& getName() const { return m_strName; }
    const std::wstring& getDescription() const { return m_strDescription; }
    bool isObsolete() const { return m_bObsolete; }
    const std::wstring& getSuperior() const { return m_strSuperior; }
    // "ABSTRACT", "STRUCTURAL", "AUXILIARY" or empty.
    const std::wstring& getKind() const { return m_strKind; }
    const std::vector<std::wstring>& getMustList() const { return m_listMust; }
    const std::vector<std::wstring>& getMayList() const { return m_listMay; }

    // Append the names in order to the caller's list.
    void copyMustList(std::vector<std::wstring>& names) const;
    void copyMayList(std::vector<std::wstring>& names) const;

    void setOid(std::wstring value) { m_strOid = std::move(value); }
    void setName(std::wstring value) { m_strName = std::move(value); }
    void setDescription(std::wstring value) { m_strDescription = std::move(value); }
    void setObsolete(bool value) { m_bObsolete = value; }
    void setSuperior(std::wstring value) { m_strSuperior = std::move(value); }
    void setKind(std::wstring value) { m_strKind = std::move(value); }
    std::vector<std::wstring>& mustList() { return m_listMust; }
    std::vector<std::wstring>& mayList() { return m_listMay; }

private:
    std::wstring m_strOid;
    std::wstring m_strName;
    std::wstring m_strDescription;
    bool m_bObsolete = false;
    std::wstring m_strSuperior;
    std::wstring m_strKind;
    std::vector<std::wstring> m_listMust;
    std::vector<std::wstring> m_listMay;
};

} // namespace ldapmodel
