#include "schema/ValueKind.h"

#include "schema/LDAPSchema.h"

namespace ldapmodel {

std::int32_t getValueKindOfAttribute(const std::wstring& attributeName)
{
    return LDAPSchema::instance().getValueKindOfAttribute(attributeName);
}

} // namespace ldapmodel
