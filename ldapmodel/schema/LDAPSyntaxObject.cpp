#include "schema/LDAPSyntaxObject.h"

#include "schema/SyntaxRegistry.h"

namespace ldapmodel {

LDAPSyntaxObject::LDAPSyntaxObject(const std::wstring& description, bool humanReadable,
                                   const std::wstring& oid, std::int32_t valueKind)
    : m_strOid(oid), m_strDescription(description), m_bHumanReadable(humanReadable),
      m_iValueKind(valueKind)
{
    SyntaxRegistry::instance().add(this);
}

} // namespace ldapmodel
