#pragma once

#include "handles/gc_ptr.h"
#include "handles/RefCount.h"
#include "records/LDAPAttribute.h"
#include "records/LDAPAttributeValue.h"

#include <string>
#include <vector>

namespace ldapmodel {

class LdapSession;

// One directory entry: DN, user attributes and operational ("structural")
// attributes kept apart, the known child DNs and the cache's flags.
class LDAPEntry : public memorylib::RefCount {
public:
    using AttributeList = std::vector<memorylib::gc_ptr<LDAPAttribute>>;

    // The operational attributes read beside the user attributes, in order.
    static const std::vector<std::wstring>& operationalAttributeNames();

    LDAPEntry();

    // Stores the DN with blanks around its RDNs removed (DistinguishedName).
    void setDN(const std::wstring& dn);
    std::wstring getDN() const { return m_strDN; }
    // The DN without its first RDN (the whole DN when it has one RDN).
    std::wstring getParentDN();
    // First RDN of the DN as written; empty when it is no DN.
    std::wstring getRDN() const;

    // User attributes first, then operational; letter case ignored.
    memorylib::gc_ptr<LDAPAttribute> getAttribute(const std::wstring& name) const;
    // Appends to the user attributes unless empty, without values, or a
    // name already present in either list.
    void addAttribute(const memorylib::gc_ptr<LDAPAttribute>& attribute);
    // 0, or -1 for an empty value handle or a failed add.
    int addAttributeValue(const std::wstring& name, const memorylib::gc_ptr<LDAPAttributeValue>& value);

    const AttributeList& getUserAttributes() const { return m_userAttributes; }
    const AttributeList& getOperationalAttributes() const { return m_operationalAttributes; }
    int getUserAttributeCount() const { return static_cast<int>(m_userAttributes.size()); }
    // Attributes as a search result delivers them: appended to the user
    // attributes in order, without the name check.
    void appendUserAttributes(const AttributeList& attributes);

    // Empties both attribute lists and the child DNs.
    void clear();

    void addChild(const std::wstring& dn) { m_childDNs.push_back(dn); }
    const std::vector<std::wstring>& getChildren() const { return m_childDNs; }
    // Removes every child DN equal to the given one.
    void removeChild(const std::wstring& dn);

    // false also empties the child DNs.
    void setChildrenComplete(bool complete);
    bool isChildrenComplete() const { return m_bChildrenComplete; }
    void setCutShort(bool cutShort) { m_bCutShort = cutShort; }
    bool isCutShort() const { return m_bCutShort; }
    void setOld(bool old) { m_bOld = old; }
    bool isOld() const { return m_bOld; }

    // Reads the user attributes ("*"), then the operational attributes, of
    // the entry at this DN. Failures are reported; false then.
    bool readFromServer(LdapSession& session, unsigned int sizeLimit);

    // LDIF (see LdifRecordWriter and LdifRecordReader).
    // The record: DN line and the user attributes' values, folded to the width.
    std::string toLdif(int lineWidth) const;
    // The record at width 70, each byte as one character.
    std::wstring toLdifText() const;
    // Fills this new, empty entry from one record. 0, or -1 at the first
    // line that fails.
    int createFromLdifString(const std::string& record);
    // Unfolds a record into its logical lines. -1 for an empty record or
    // one without a line feed.
    static int splitLdifStringInLines(const std::string& record, std::vector<std::string>& lines);
    // Takes one logical line into the entry. 0 or -1.
    int readLdifLine(const std::string& line);

private:
    std::wstring m_strParentDN;
    std::vector<std::wstring> m_childDNs;
    bool m_bChildrenComplete = false;
    bool m_bCutShort = false;
    bool m_bOld = true;
    std::wstring m_strDN;
    AttributeList m_userAttributes;
    AttributeList m_operationalAttributes;
};

} // namespace ldapmodel
