#include "schema/LDAPMatchingRule.h"

namespace ldapmodel {

void LDAPMatchingRule::reset()
{
    m_strOid.clear();
    m_strName.clear();
    m_strDescription.clear();
    m_bObsolete = false;
    m_strSyntaxOid.clear();
}

} // namespace ldapmodel
