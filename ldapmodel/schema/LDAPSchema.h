#pragma once

#include "handles/gc_ptr.h"
#include "records/LDAPAttribute.h"
#include "schema/LDAPAttributeType.h"
#include "schema/LDAPMatchingRule.h"
#include "schema/LDAPObjectClass.h"
#include "schema/SchemaNameIndex.h"
#include "schema/SyntaxRegistry.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace ldapmodel {

class LdapSession;

// The schema of the connected server: attribute types, object classes and
// matching rules in the order the server returned them. One per process.
// Lookups by name ignore letter case and answer the first element with that
// name; they go through hash indexes kept beside the lists.
class LDAPSchema : public memorylib::RefCount {
public:
    // The single schema, created empty and unloaded on first request.
    static memorylib::gc_ptr<LDAPSchema> getInstance();
    // The same object without taking a share; handle counts are not atomic,
    // so code off the user-interface thread uses this one.
    static LDAPSchema& instance();

    // Seeds the syntax registry, reads the subschema entry named by schemaDn
    // (read from the root entry first when empty) and appends its attribute
    // types, object classes and matching rules; new syntaxes go to the
    // registry. Failures are reported; 0 or -1. The loaded flag is set by
    // every attempt. The lists are not cleared first.
    int load(LdapSession& session, const std::wstring& schemaDn);
    // The root entry's subschemaSubentry (the last value wins); 0 or -1
    // (reported). schemaDn is left alone when the server names none.
    int readSchemaDn(LdapSession& session, std::wstring& schemaDn);
    // Parses the schema attributes among the given ones (names ignoring
    // case) and appends the elements; other attributes are skipped.
    void addDefinitions(const std::vector<memorylib::gc_ptr<LDAPAttribute>>& attributes);

    // Empties the lists and clears the loaded flag; returns 0.
    int clear();
    bool isLoaded() const { return m_iLoaded.load() != 0; }

    // Appends one element (the loader uses these).
    void addAttributeType(const memorylib::gc_ptr<LDAPAttributeType>& attributeType);
    void addObjectClass(const memorylib::gc_ptr<LDAPObjectClass>& objectClass);
    void addMatchingRule(const memorylib::gc_ptr<LDAPMatchingRule>& matchingRule);

    // First element whose name equals name ignoring case, or an empty handle.
    memorylib::gc_ptr<LDAPAttributeType> findAttributeType(const std::wstring& name) const;
    memorylib::gc_ptr<LDAPObjectClass> findObjectClass(const std::wstring& name) const;
    // Appends the MUST and the MAY names of the class and of its superiors
    // (SUP, followed up the chain): the class's own first, each name once
    // (letter case ignored), a name required anywhere in the chain under
    // MUST only. false, with nothing appended, when there is no such class.
    bool collectClassAttributes(const std::wstring& className, std::vector<std::wstring>& must,
                                std::vector<std::wstring>& may) const;

    // Names appended in list order to the caller's list, or in a new list.
    void getAttributeTypeNames(std::vector<std::wstring>& names) const;
    void getObjectClassNames(std::vector<std::wstring>& names) const;
    std::vector<std::wstring> getAttributeTypeNames() const;
    std::vector<std::wstring> getObjectClassNames() const;
    // Object class names inserted into the caller's sorted set.
    void getObjectClassNameSet(std::set<std::wstring>& names) const;

    // The lists themselves, for the user-interface thread.
    const std::vector<memorylib::gc_ptr<LDAPAttributeType>>& getAttributeTypes() const
    {
        return m_listAttributeTypes;
    }
    const std::vector<memorylib::gc_ptr<LDAPObjectClass>>& getObjectClasses() const
    {
        return m_listObjectClasses;
    }
    const std::vector<memorylib::gc_ptr<LDAPMatchingRule>>& getMatchingRules() const
    {
        return m_listMatchingRules;
    }

    // Value kind of the named attribute type's syntax; VALUEKIND_UNKNOWN when
    // there is no such type or syntax. Safe to call from the worker thread.
    std::int32_t getValueKindOfAttribute(const std::wstring& name) const;
    // Syntax OID of the named attribute type; false when there is no such type.
    bool getSyntaxOidOfAttribute(const std::wstring& name, std::wstring& syntaxOid) const;

    LDAPSchema(const LDAPSchema&) = delete;
    LDAPSchema& operator=(const LDAPSchema&) = delete;
    ~LDAPSchema() override = default;

private:
    LDAPSchema() = default;
    void reserveAttributeTypes(std::size_t more);
    void reserveObjectClasses(std::size_t more);

    std::atomic<std::int32_t> m_iLoaded{0};
    std::vector<memorylib::gc_ptr<LDAPAttributeType>> m_listAttributeTypes;
    std::vector<memorylib::gc_ptr<LDAPObjectClass>> m_listObjectClasses;
    std::vector<memorylib::gc_ptr<LDAPMatchingRule>> m_listMatchingRules;
    // Name -> position of the first element with that name.
    SchemaNameIndex m_indexAttributeTypes;
    // Per attribute type, the registered syntax found for it (null until found).
    mutable std::vector<const LDAPSyntaxObject*> m_listResolvedSyntaxes;
    SchemaNameIndex m_indexObjectClasses;
    mutable std::mutex m_mutex;
};

} // namespace ldapmodel
