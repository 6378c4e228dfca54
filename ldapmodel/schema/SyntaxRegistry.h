#pragma once

#include "handles/gc_ptr.h"
#include "schema/LDAPSyntaxObject.h"
#include "schema/SchemaNameIndex.h"

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

namespace ldapmodel {

// Process-wide set of known syntaxes, shared by all connections and never
// emptied. Lookups by OID ignore letter case and answer the first syntax
// registered with that OID; the indexes are hash tables.
class SyntaxRegistry {
public:
    static SyntaxRegistry& instance();

    // Adds the syntax unconditionally (the registering constructor uses it).
    void add(const memorylib::gc_ptr<LDAPSyntaxObject>& syntax);
    // Adds a server-defined syntax only when no registered syntax has exactly
    // its OID; returns true when it was added. An empty handle is ignored.
    bool registerSyntax(const memorylib::gc_ptr<LDAPSyntaxObject>& syntax);
    // First registered syntax whose OID equals oid ignoring case, or empty.
    memorylib::gc_ptr<LDAPSyntaxObject> findSyntax(const std::wstring& oid) const;
    // The same without taking a share (registered syntaxes live as long as
    // the process); null when there is none.
    const LDAPSyntaxObject* findRegistered(const std::wstring& oid) const;
    // Value kind of that syntax, VALUEKIND_UNKNOWN when there is none.
    std::int32_t findValueKind(const std::wstring& oid) const;
    // Registers the built-in table. The rows are created by the first call;
    // later calls find them registered already and add nothing.
    void seedKnownSyntaxes();
    std::size_t size() const;

    SyntaxRegistry(const SyntaxRegistry&) = delete;
    SyntaxRegistry& operator=(const SyntaxRegistry&) = delete;

private:
    SyntaxRegistry() = default;
    void addLocked(LDAPSyntaxObject* syntax);

    mutable std::recursive_mutex m_mutex;
    std::set<memorylib::gc_ptr<LDAPSyntaxObject>> m_setSyntaxes;
    // Registration order; the set above owns them.
    std::vector<LDAPSyntaxObject*> m_listInOrder;
    // OID (case ignored) -> position of the first syntax with it.
    SchemaNameIndex m_indexByOid;
    std::unordered_set<std::wstring> m_setExactOids;
    bool m_bSeeded = false;
};

// Syntax of an attribute type of the loaded schema (name ignoring case), or
// an empty handle when there is no schema, no such type or no such syntax.
memorylib::gc_ptr<LDAPSyntaxObject> getSyntaxOfAttribute(const std::wstring& attributeName);

} // namespace ldapmodel
