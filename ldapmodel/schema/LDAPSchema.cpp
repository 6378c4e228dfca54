#include "schema/LDAPSchema.h"

#include "faults/FaultGuard.h"
#include "logging/Log.h"
#include "logging/Trace.h"
#include "schema/LDAPSchemaStrategyParser.h"
#include "session/LdapErrorReport.h"
#include "session/LdapResultCode.h"
#include "session/LdapSession.h"

#include <cstring>
#include <string_view>
#include <unordered_set>

namespace ldapmodel {

namespace {

const wchar_t* const READ_SCHEMA_DN = L"Read schema DN";

// A description value: its bytes up to the first zero byte when they are
// all ASCII (parsed as they are), otherwise the value decoded from UTF-8.
class DescriptionText {
public:
    explicit DescriptionText(const LDAPAttributeValue& value)
    {
        const char* bytes = value.getBytes();
        if (bytes == nullptr)
            return;
        std::size_t length = value.getLength();
        const void* zero = std::memchr(bytes, 0, length);
        if (zero != nullptr)
            length = static_cast<std::size_t>(static_cast<const char*>(zero) - bytes);
        std::uint64_t high = 0;
        std::size_t i = 0;
        for (; i + 8 <= length; i += 8) {
            std::uint64_t word;
            std::memcpy(&word, bytes + i, sizeof(word));
            high |= word;
        }
        for (; i < length; ++i)
            high |= static_cast<unsigned char>(bytes[i]);
        if ((high & 0x8080808080808080ULL) == 0) {
            m_ascii = std::string_view(bytes, length);
        } else {
            m_wide = value.toString();
            m_bWide = true;
        }
    }

    template <class Element>
    int parse(int (*parseWide)(const memorylib::gc_ptr<Element>&, const std::wstring&),
              int (*parseAscii)(const memorylib::gc_ptr<Element>&, std::string_view),
              const memorylib::gc_ptr<Element>& element) const
    {
        return m_bWide ? parseWide(element, m_wide) : parseAscii(element, m_ascii);
    }

private:
    std::string_view m_ascii;
    std::wstring m_wide;
    bool m_bWide = false;
};

} // namespace

int LDAPSchema::readSchemaDn(LdapSession& session, std::wstring& schemaDn)
{
    DIRLOOK_GUARD(L"LDAPSchema");
    util::TraceScope trace(L"LDAPSchema::readSchemaDn");
    std::vector<memorylib::gc_ptr<LDAPAttribute>> attributes;
    int code = session.readAttributes(L"", {L"subschemaSubentry"}, 0, attributes);
    if (code != resultcode::Success) {
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
            reportLdapError(resultcode::NoSuchObject, L"Read Schema DN");
            return -1;
        }
    }
    util::Log::getLog(L"ldapmodel")->write(L"LDAPSchema::load %s", dn.c_str());

    std::vector<memorylib::gc_ptr<LDAPAttribute>> attributes;
    int code = session.readAttributes(dn, {L"+", L"*"}, 0, attributes);
    if (code != resultcode::Success) {
        util::Log::getLog(L"ldapmodel")->write(L"LDAPSchema::load failed %d", code);
        reportLdapError(code, READ_SCHEMA_DN);
        return -1;
    }
    addDefinitions(attributes);
    return 0;
}

void LDAPSchema::addDefinitions(const std::vector<memorylib::gc_ptr<LDAPAttribute>>& attributes)
{
    using Parser = LDAPSchemaStrategyParser;
    for (const auto& attribute : attributes) {
        const std::wstring name = attribute->getName();
        const auto& values = attribute->getValues();
        if (equalsIgnoreCase(name, L"attributeTypes")) {
            reserveAttributeTypes(values.size());
            for (const auto& value : values) {
                memorylib::gc_ptr<LDAPAttributeType> element(new LDAPAttributeType());
                DescriptionText(*value).parse(&Parser::parseAttributeType, &Parser::parseAttributeType,
                                              element);
                addAttributeType(element);
            }
        } else if (equalsIgnoreCase(name, L"objectClasses")) {
            reserveObjectClasses(values.size());
            for (const auto& value : values) {
                memorylib::gc_ptr<LDAPObjectClass> element(new LDAPObjectClass());
                DescriptionText(*value).parse(&Parser::parseObjectClass, &Parser::parseObjectClass,
                                              element);
                addObjectClass(element);
            }
        } else if (equalsIgnoreCase(name, L"matchingRules")) {
            for (const auto& value : values) {
                memorylib::gc_ptr<LDAPMatchingRule> element(new LDAPMatchingRule());
                DescriptionText(*value).parse(&Parser::parseMatchingRule, &Parser::parseMatchingRule,
                                              element);
                addMatchingRule(element);
            }
        } else if (equalsIgnoreCase(name, L"ldapSyntaxes")) {
            for (const auto& value : values) {
                memorylib::gc_ptr<LDAPSyntaxObject> element(new LDAPSyntaxObject());
                DescriptionText(*value).parse(&Parser::parseSyntax, &Parser::parseSyntax, element);
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
    m_listResolvedSyntaxes.clear();
    m_listObjectClasses.clear();
    m_listMatchingRules.clear();
    m_indexAttributeTypes.clear();
    m_indexObjectClasses.clear();
    m_iLoaded = 0;
    return 0;
}

void LDAPSchema::reserveAttributeTypes(std::size_t more)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_listAttributeTypes.reserve(m_listAttributeTypes.size() + more);
    m_listResolvedSyntaxes.reserve(m_listResolvedSyntaxes.size() + more);
    m_indexAttributeTypes.reserve(m_indexAttributeTypes.size() + more);
}

void LDAPSchema::reserveObjectClasses(std::size_t more)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_listObjectClasses.reserve(m_listObjectClasses.size() + more);
    m_indexObjectClasses.reserve(m_indexObjectClasses.size() + more);
}

void LDAPSchema::addAttributeType(const memorylib::gc_ptr<LDAPAttributeType>& attributeType)
{
    if (attributeType.get() == nullptr)
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_indexAttributeTypes.insert(attributeType->getName(), m_listAttributeTypes.size());
    m_listAttributeTypes.push_back(attributeType);
    m_listResolvedSyntaxes.push_back(nullptr);
}

void LDAPSchema::addObjectClass(const memorylib::gc_ptr<LDAPObjectClass>& objectClass)
{
    if (objectClass.get() == nullptr)
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_indexObjectClasses.insert(objectClass->getName(), m_listObjectClasses.size());
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
    std::size_t found = m_indexAttributeTypes.find(name);
    if (found == SchemaNameIndex::NOT_FOUND)
        return memorylib::gc_ptr<LDAPAttributeType>();
    return m_listAttributeTypes[found];
}

memorylib::gc_ptr<LDAPObjectClass> LDAPSchema::findObjectClass(const std::wstring& name) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::size_t found = m_indexObjectClasses.find(name);
    if (found == SchemaNameIndex::NOT_FOUND)
        return memorylib::gc_ptr<LDAPObjectClass>();
    return m_listObjectClasses[found];
}

bool LDAPSchema::collectClassAttributes(const std::wstring& className, std::vector<std::wstring>& must,
                                        std::vector<std::wstring>& may) const
{
    std::vector<memorylib::gc_ptr<LDAPObjectClass>> chain;
    std::unordered_set<std::wstring_view, CaseInsensitiveHash, CaseInsensitiveEqual> visited;
    for (memorylib::gc_ptr<LDAPObjectClass> current = findObjectClass(className);
         current.getObject() != nullptr && visited.insert(current->getName()).second;
         current = findObjectClass(current->getSuperior()))
        chain.push_back(current);
    if (chain.empty())
        return false;

    std::unordered_set<std::wstring, CaseInsensitiveHash, CaseInsensitiveEqual> required;
    for (const auto& objectClass : chain) {
        for (const std::wstring& name : objectClass->getMustList()) {
            if (required.insert(name).second)
                must.push_back(name);
        }
    }
    std::unordered_set<std::wstring, CaseInsensitiveHash, CaseInsensitiveEqual> allowed;
    for (const auto& objectClass : chain) {
        for (const std::wstring& name : objectClass->getMayList()) {
            if (required.count(name) == 0 && allowed.insert(name).second)
                may.push_back(name);
        }
    }
    return true;
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

std::vector<std::wstring> LDAPSchema::getAttributeTypeNames() const
{
    std::vector<std::wstring> names;
    getAttributeTypeNames(names);
    return names;
}

std::vector<std::wstring> LDAPSchema::getObjectClassNames() const
{
    std::vector<std::wstring> names;
    getObjectClassNames(names);
    return names;
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
    std::size_t found = m_indexAttributeTypes.find(name);
    if (found == SchemaNameIndex::NOT_FOUND)
        return false;
    syntaxOid = m_listAttributeTypes[found]->getSyntaxOid();
    return true;
}

std::int32_t LDAPSchema::getValueKindOfAttribute(const std::wstring& name) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::size_t found = m_indexAttributeTypes.find(name);
    if (found == SchemaNameIndex::NOT_FOUND)
        return VALUEKIND_UNKNOWN;
    const std::wstring& syntaxOid = m_listAttributeTypes[found]->getSyntaxOid();
    // A syntax once found stays the answer: the registry keeps its syntaxes
    // for the life of the process and the first one with an OID wins.
    const LDAPSyntaxObject* syntax = m_listResolvedSyntaxes[found];
    if (syntax == nullptr || !equalsIgnoreCase(syntax->getOid(), syntaxOid)) {
        // Lock order is always schema, then registry.
        syntax = SyntaxRegistry::instance().findRegistered(syntaxOid);
        if (syntax == nullptr)
            return VALUEKIND_UNKNOWN;
        m_listResolvedSyntaxes[found] = syntax;
    }
    return syntax->getValueKind();
}

} // namespace ldapmodel
