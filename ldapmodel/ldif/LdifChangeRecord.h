#pragma once

#include "handles/gc_ptr.h"
#include "records/LDAPAttributeValue.h"
#include "records/LDAPEntry.h"

#include <string>
#include <vector>

namespace ldapmodel {

// One LDIF change record (RFC 2849): an optional "version: 1" line, the DN,
// any "control:" lines, "changetype:" and what the change type asks for:
//   add      attribute lines, read as a content record's;
//   delete   nothing more;
//   modify   groups of "add: | delete: | replace: <attribute>", the values
//            (lines of that attribute, any letter case), each group ended
//            by "-" (the last one may end with the record instead);
//   modrdn / moddn   "newrdn:", "deleteoldrdn: 0 | 1", then optionally
//            "newsuperior:".
// Lines are read by the content record's rules (LdifLine): plain values are
// ISO-8859-1, Base64 ones bytes, a file reference (":< ") is refused with
// the record reader's box.
class LdifChangeRecord {
public:
    enum class Type { Add, Delete, Modify, ModDn };
    enum class Operation { Add, Delete, Replace };

    struct Modification {
        Operation operation = Operation::Add;
        std::wstring attribute;
        std::vector<memorylib::gc_ptr<LDAPAttributeValue>> values;
    };

    // The record (lines ended by line feeds, maybe folded) is a change
    // record: after an optional "version: 1" line and the DN line, any
    // control lines are followed by a "changetype:" line. Records without
    // one are content records.
    static bool isChangeRecord(const std::string& record);

    // Reads a change record. 0, or -1 when it is none or can't be read.
    int read(const std::string& record);

    Type getType() const { return m_type; }
    const std::wstring& getDN() const { return m_strDN; }
    // Add: the entry to add, DN included.
    const memorylib::gc_ptr<LDAPEntry>& getEntry() const { return m_pEntry; }
    // Modify: the modifications in the record's order.
    const std::vector<Modification>& getModifications() const { return m_modifications; }
    // ModDn.
    const std::wstring& getNewRdn() const { return m_strNewRdn; }
    bool getDeleteOldRdn() const { return m_bDeleteOldRdn; }
    bool hasNewSuperior() const { return m_bHasNewSuperior; }
    const std::wstring& getNewSuperior() const { return m_strNewSuperior; }
    // Controls marked critical, which the program does not send: the
    // change is refused rather than made without them. Non-critical ones
    // are left out, as a server may leave them out.
    const std::vector<std::wstring>& getCriticalControls() const { return m_criticalControls; }

private:
    int readModifications(const std::vector<std::string>& lines, std::size_t next);
    int readModDn(const std::vector<std::string>& lines, std::size_t next);
    int readAdd(const std::vector<std::string>& lines, std::size_t dnLine, std::size_t next);

    Type m_type = Type::Add;
    std::wstring m_strDN;
    memorylib::gc_ptr<LDAPEntry> m_pEntry;
    std::vector<Modification> m_modifications;
    std::wstring m_strNewRdn;
    bool m_bDeleteOldRdn = true;
    bool m_bHasNewSuperior = false;
    std::wstring m_strNewSuperior;
    std::vector<std::wstring> m_criticalControls;
};

} // namespace ldapmodel
