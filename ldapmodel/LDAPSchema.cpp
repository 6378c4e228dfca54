#include "LDAPSchema.h"

namespace ldapmodel {

LDAPSchema& LDAPSchema::instance()
{
    // Held here for the life of the process.
    static memorylib::gc_ptr<LDAPSchema> holder(new LDAPSchema());
    return *holder.get();
}

memorylib::gc_ptr<LDAPSchema> LDAPSchema::getInstance()
{
    return memorylib::gc_ptr<LDAPSchema>(&instance());
}

int LDAPSchema::clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_listAttributeTypes.clear();
    m_listObjectClasses.clear();
    m_listMatchingRules.clear();
    m_indexAttributeTypes.clear();
    m_indexObjectClasses.clear();
    m_iLoaded = 0;
    return 0;
}

void LDAPSchema::addAttributeType(const memorylib::gc_ptr<LDAPAttributeType>& attributeType)
{
    if (attributeType.get() == nullptr)
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_indexAttributeTypes.emplace(attributeType->getName(), m_listAttributeTypes.size());
    m_listAttributeTypes.push_back(attributeType);
}

void LDAPSchema::addObjectClass(const memorylib::gc_ptr<LDAPObjectClass>& objectClass)
{
    if (objectClass.get() == nullptr)
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_indexObjectClasses.emplace(objectClass->getName(), m_listObjectClasses.size());
    m_listObjectClasses.push_back(objectClass);
}

void LDAPSchema::addMatchingRule(const memorylib::gc_ptr<LDAPMatchingRule>& matchingRule)
{
    if (matchingRule.get() == nullptr)
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_listMatchingRules.push_back(matchingRule);
}

memorylib::gc_ptr<LDAPAttributeType> LDAPSchema::findAttributeType(const std::wstring& name) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto found = m_indexAttributeTypes.find(name);
    if (found == m_indexAttributeTypes.end())
        return memorylib::gc_ptr<LDAPAttributeType>();
    return m_listAttributeTypes[found->second];
}

memorylib::gc_ptr<LDAPObjectClass> LDAPSchema::findObjectClass(const std::wstring& name) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto found = m_indexObjectClasses.find(name);
    if (found == m_indexObjectClasses.end())
        return memorylib::gc_ptr<LDAPObjectClass>();
    return m_listObjectClasses[found->second];
}

void LDAPSchema::getAttributeTypeNames(std::vector<std::wstring>& names) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    names.reserve(names.size() + m_listAttributeTypes.size());
    for (const auto& attributeType : m_listAttributeTypes)
        names.push_back(attributeType->getName());
}

void LDAPSchema::getObjectClassNames(std::vector<std::wstring>& names) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    names.reserve(names.size() + m_listObjectClasses.size());
    for (const auto& objectClass : m_listObjectClasses)
        names.push_back(objectClass->getName());
}

void LDAPSchema::getObjectClassNameSet(std::set<std::wstring>& names) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const auto& objectClass : m_listObjectClasses)
        names.insert(objectClass->getName());
}

bool LDAPSchema::getSyntaxOidOfAttribute(const std::wstring& name, std::wstring& syntaxOid) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto found = m_indexAttributeTypes.find(name);
    if (found == m_indexAttributeTypes.end())
        return false;
    syntaxOid = m_listAttributeTypes[found->second]->getSyntaxOid();
    return true;
}

std::int32_t LDAPSchema::getValueKindOfAttribute(const std::wstring& name) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto found = m_indexAttributeTypes.find(name);
    if (found == m_indexAttributeTypes.end())
        return VALUEKIND_UNKNOWN;
    // Lock order is always schema, then registry.
    return SyntaxRegistry::instance().findValueKind(
        m_listAttributeTypes[found->second]->getSyntaxOid());
}

} // namespace ldapmodel
