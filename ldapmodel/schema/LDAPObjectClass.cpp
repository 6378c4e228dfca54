#include "schema/LDAPObjectClass.h"

namespace ldapmodel {

void LDAPObjectClass::reset()
{
    m_strOid.clear();
    m_strName.clear();
    m_strDescription.clear();
    m_bObsolete = false;
    m_strSuperior.clear();
    m_strKind.clear();
    m_listMust.clear();
    m_listMay.clear();
}

void LDAPObjectClass::copyMustList(std::vector<std::wstring>& names) const
{
    names.insert(names.end(), m_listMust.begin(), m_listMust.end());
}

void LDAPObjectClass::copyMayList(std::vector<std::wstring>& names) const
{
    names.insert(names.end(), m_listMay.begin(), m_listMay.end());
}

} // namespace ldapmodel
