#include "schema/LDAPAttributeType.h"

namespace ldapmodel {

void LDAPAttributeType::reset()
{
    m_strOid.clear();
    m_strName.clear();
    m_strDescription.clear();
    m_bObsolete = false;
    m_strSuperior.clear();
    m_strEqualityRule.clear();
    m_strOrderingRule.clear();
    m_strSubstringRule.clear();
    m_strSyntaxOid.clear();
    m_iSyntaxLength = -1;
    m_bCollective = false;
    m_bSingleValued = false;
    m_bNoUserModification = false;
    m_strUsage.clear();
}

} // namespace ldapmodel
