#include "LDAPSchema.h"

#include "FaultGuard.h"
#include "LDAPSchemaStrategyParser.h"
#include "LdapErrorReport.h"
#include "LdapSession.h"
#include "Log.h"
#include "Trace.h"

#include <ldap.h>

namespace ldapmodel {

namespace {

const wchar_t* const READ_SCHEMA_DN = L"Read schema DN";

} // namespace

int LDAPSchema::readSchemaDn(LdapSession& session, std::wstring& schemaDn)
{
    DIRLOOK_GUARD(L"LDAPSchema");
    util::TraceScope trace(L"LDAPSchema::readSchemaDn");
    std::vector<memorylib::gc_ptr<LDAPAttribute>> attributes;
    int code = session.readAttributes(L"", {L"subschemaSubentry"}, 0, attributes);
    if (code != LDAP_SUCCESS) {
        util::Log::getLog(L"ldapmodel")->write(L"LDAPSchema::readSchemaDn failed %d", code);
        reportLdapError(code, READ_SCHEMA_DN);
        return -1;
    }
    for (const auto& attribute : attributes) {
        if (!equalsIgnoreCase(attribute->getName(), L"subschemaSubentry"))
            continue;
        for (const auto& value : attribute->getValues())
            schemaDn = value->toString();
    }
    return 0;
}

int LDAPSchema::load(LdapSession& session, const std::wstring& schemaDn)
{
    DIRLOOK_GUARD(L"LDAPSchema");
    util::TraceScope trace(L"LDAPSchema::load");
    SyntaxRegistry::instance().seedKnownSyntaxes();
    m_iLoaded = 1;

    std::wstring dn = schemaDn;
    if (dn.empty()) {
        if (readSchemaDn(session, dn) != 0)
            return -1;
        if (dn.empty()) {
            util::Log::getLog(L"ldapmodel")->write(L"LDAPSchema::load no subschema entry");
            reportLdapError(LDAP_NO_SUCH_OBJECT, L"Read Schema DN");
            return -1;
        }
    }
    util::Log::getLog(L"ldapmodel")->write(L"LDAPSchema::load %s", dn.c_str());

    std::vector<memorylib::gc_ptr<LDAPAttribute>> attributes;
    int code = session.readAttributes(dn, {L"+", L"*"}, 0, attributes);
    if (code != LDAP_SUCCESS) {
        util::Log::getLog(L"ldapmodel")->write(L"LDAPSchema::load failed %d", code);
        reportLdapError(code, READ_SCHEMA_DN);
        return -1;
    }
    addDefinitions(attributes);
    return 0;
}

void LDAPSchema::addDefinitions(const std::vector<memorylib::gc_ptr<LDAPAttribute>>& attributes)
{
    for (const auto& attribute : attributes) {
        const std::wstring name = attribute->getName();
        const auto& values = attribute->getValues();
        if (equalsIgnoreCase(name, L"attributeTypes")) {
            for (const auto& value : values) {
                memorylib::gc_ptr<LDAPAttributeType> element(new LDAPAttributeType());
                LDAPSchemaStrategyParser::parseAttributeType(element, value->toString());
                addAttributeType(element);
            }
        } else if (equalsIgnoreCase(name, L"objectClasses")) {
            for (const auto& value : values) {
                memorylib::gc_ptr<LDAPObjectClass> element(new LDAPObjectClass());
                LDAPSchemaStrategyParser::parseObjectClass(element, value->toString());
                addObjectClass(element);
            }
        } else if (equalsIgnoreCase(name, L"matchingRules")) {
            for (const auto& value : values) {
                memorylib::gc_ptr<LDAPMatchingRule> element(new LDAPMatchingRule());
                LDAPSchemaStrategyParser::parseMatchingRule(element, value->toString());
                addMatchingRule(element);
            }
        } else if (equalsIgnoreCase(name, L"ldapSyntaxes")) {
            for (const auto& value : values) {
                memorylib::gc_ptr<LDAPSyntaxObject> element(new LDAPSyntaxObject());
                LDAPSchemaStrategyParser::parseSyntax(element, value->toString());
                SyntaxRegistry::instance().registerSyntax(element);
            }
        }
    }
}

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
