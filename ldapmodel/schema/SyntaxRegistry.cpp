#include "schema/SyntaxRegistry.h"

#include "schema/LDAPSchema.h"


namespace ldapmodel {

namespace {

struct KnownSyntax {
    const wchar_t* oid;
    const wchar_t* description;
    bool humanReadable;
    std::int32_t valueKind;
};

// Standard syntaxes, then attribute types whose values are always binary.
const KnownSyntax knownSyntaxes[] = {
    {L"1.3.6.1.4.1.1466.115.121.1.1", L"ACI Item", false, VALUEKIND_BINARY},
    {L"1.3.6.1.4.1.1466.115.121.1.2", L"Access Point", true, VALUEKIND_TEXT},
    {L"1.3.6.1.4.1.1466.115.121.1.3", L"Attribute Type Description", true, VALUEKIND_TEXT},
    {L"1.3.6.1.4.1.1466.115.121.1.4", L"Audio", false, VALUEKIND_BINARY},
    {L"1.3.6.1.4.1.1466.115.121.1.5", L"Binary", false, VALUEKIND_BINARY},
    {L"1.3.6.1.4.1.1466.115.121.1.6", L"Bit String", true, VALUEKIND_BINARY},
    {L"1.3.6.1.4.1.1466.115.121.1.7", L"Boolean", true, VALUEKIND_BOOLEAN},
    {L"1.3.6.1.4.1.1466.115.121.1.8", L"Certificate", false, VALUEKIND_BINARY},
    {L"1.3.6.1.4.1.1466.115.121.1.9", L"Certificate List", false, VALUEKIND_BINARY},
    {L"1.3.6.1.4.1.1466.115.121.1.10", L"Certificate Pair", false, VALUEKIND_BINARY},
    {L"1.3.6.1.4.1.1466.115.121.1.11", L"Country String", true, VALUEKIND_COUNTRY_STRING},
    {L"1.3.6.1.4.1.1466.115.121.1.12", L"DN", true, VALUEKIND_DN},
    {L"1.3.6.1.4.1.1466.115.121.1.13", L"Data Quality Syntax", true, VALUEKIND_TEXT},
    {L"1.3.6.1.4.1.1466.115.121.1.14", L"Delivery Method", true, VALUEKIND_TEXT},
    {L"1.3.6.1.4.1.1466.115.121.1.15", L"Directory String", true, VALUEKIND_TEXT},
    {L"1.3.6.1.4.1.1466.115.121.1.16", L"DIT Content Rule Description", true, VALUEKIND_TEXT},
    {L"1.3.6.1.4.1.1466.115.121.1.17", L"DIT Structure Rule Description", true, VALUEKIND_TEXT},
    {L"1.3.6.1.4.1.1466.115.121.1.18", L"DL Submit Permission", true, VALUEKIND_TEXT},
    {L"1.3.6.1.4.1.1466.115.121.1.19", L"DSA Quality Syntax", true, VALUEKIND_TEXT},
    {L"1.3.6.1.4.1.1466.115.121.1.20", L"DSE Type", true, VALUEKIND_TEXT},
    {L"1.3.6.1.4.1.1466.115.121.1.21", L"Enhanced Guide", true, VALUEKIND_TEXT},
    {L"1.3.6.1.4.1.1466.115.121.1.22", L"Facsimile Telephone Number", true, VALUEKIND_FAX_NUMBER},
    {L"1.3.6.1.4.1.1466.115.121.1.23", L"Fax", false, VALUEKIND_BINARY},
    {L"1.3.6.1.4.1.1466.115.121.1.24", L"Generalized Time", true, VALUEKIND_TIME},
    {L"1.3.6.1.4.1.1466.115.121.1.25", L"Guide", true, VALUEKIND_TEXT},
    {L"1.3.6.1.4.1.1466.115.121.1.26", L"IA5 String", true, VALUEKIND_IA5_STRING},
    {L"1.3.6.1.4.1.1466.115.121.1.27", L"INTEGER", true, VALUEKIND_INTEGER},
    {L"1.3.6.1.4.1.1466.115.121.1.28", L"JPEG", false, VALUEKIND_BINARY},
    {L"1.3.6.1.4.1.1466.115.121.1.29", L"Master And Shadow Access Points", true, VALUEKIND_TEXT},
    {L"1.3.6.1.4.1.1466.115.121.1.30", L"Matching Rule Description", true, VALUEKIND_TEXT},
    {L"1.3.6.1.4.1.1466.115.121.1.31", L"Matching Rule Use Description", true, VALUEKIND_TEXT},
    {L"1.3.6.1.4.1.1466.115.121.1.32", L"Mail Preference", true, VALUEKIND_TEXT},
    {L"1.3.6.1.4.1.1466.115.121.1.33", L"MHS OR Address", true, VALUEKIND_TEXT},
    {L"1.3.6.1.4.1.1466.115.121.1.55", L"Modify Rights", true, VALUEKIND_TEXT},
    {L"1.3.6.1.4.1.1466.115.121.1.34", L"Name And Optional UID", true, VALUEKIND_TEXT},
    {L"1.3.6.1.4.1.1466.115.121.1.35", L"Name Form Description", true, VALUEKIND_TEXT},
    {L"1.3.6.1.4.1.1466.115.121.1.36", L"Numeric String", true, VALUEKIND_TEXT},
    {L"1.3.6.1.4.1.1466.115.121.1.37", L"Object Class Description", true, VALUEKIND_TEXT},
    {L"1.3.6.1.4.1.1466.115.121.1.40", L"Octet String", true, VALUEKIND_OCTET_STRING},
    {L"1.3.6.1.4.1.1466.115.121.1.38", L"OID", true, VALUEKIND_TEXT},
    {L"1.3.6.1.4.1.1466.115.121.1.39", L"Other Mailbox", true, VALUEKIND_TEXT},
    {L"1.3.6.1.4.1.1466.115.121.1.41", L"Postal Address", true, VALUEKIND_POSTAL_ADDRESS},
    {L"1.3.6.1.4.1.1466.115.121.1.42", L"Protocol Information", true, VALUEKIND_TEXT},
    {L"1.3.6.1.4.1.1466.115.121.1.43", L"Presentation Address", true, VALUEKIND_TEXT},
    {L"1.3.6.1.4.1.1466.115.121.1.44", L"Printable String", true, VALUEKIND_TEXT},
    {L"1.3.6.1.4.1.1466.115.121.1.58", L"Substring Assertion", true, VALUEKIND_TEXT},
    {L"1.3.6.1.4.1.1466.115.121.1.45", L"Subtree Specification", true, VALUEKIND_TEXT},
    {L"1.3.6.1.4.1.1466.115.121.1.46", L"Supplier Information", true, VALUEKIND_TEXT},
    {L"1.3.6.1.4.1.1466.115.121.1.47", L"Supplier Or Consumer", true, VALUEKIND_TEXT},
    {L"1.3.6.1.4.1.1466.115.121.1.48", L"Supplier And Consumer", true, VALUEKIND_TEXT},
    {L"1.3.6.1.4.1.1466.115.121.1.49", L"Supported Algorithm", false, VALUEKIND_BINARY},
    {L"1.3.6.1.4.1.1466.115.121.1.50", L"Telephone Number", true, VALUEKIND_TELEPHONE_NUMBER},
    {L"1.3.6.1.4.1.1466.115.121.1.51", L"Teletex Terminal Identifier", true, VALUEKIND_TEXT},
    {L"1.3.6.1.4.1.1466.115.121.1.52", L"Telex Number", true, VALUEKIND_TEXT},
    {L"1.3.6.1.4.1.1466.115.121.1.53", L"UTC Time", true, VALUEKIND_TIME},
    {L"1.3.6.1.4.1.1466.115.121.1.54", L"LDAP Syntax Description", true, VALUEKIND_TEXT},
    {L"1.3.6.1.4.1.1466.115.121.1.56", L"LDAP Schema Definition", true, VALUEKIND_TEXT},
    {L"1.3.6.1.4.1.1466.115.121.1.57", L"LDAP Schema Description", true, VALUEKIND_TEXT},
    {L"0.9.2342.19200300.100.1.7", L"photo", false, VALUEKIND_BINARY},
    {L"0.9.2342.19200300.100.1.53", L"personalSignature", false, VALUEKIND_BINARY},
    {L"0.9.2342.19200300.100.1.55", L"audio", false, VALUEKIND_BINARY},
    {L"0.9.2342.19200300.100.1.60", L"jpegPhoto", false, VALUEKIND_BINARY},
    {L"1.3.6.1.4.1.42.2.27.4.1.8", L"javaSerializedData", false, VALUEKIND_BINARY},
    {L"1.3.6.1.4.1.1466.101.120.35", L"thumbnailPhoto", false, VALUEKIND_BINARY},
    {L"1.3.6.1.4.1.1466.101.120.36", L"thumbnailLogo", false, VALUEKIND_BINARY},
};

} // namespace

SyntaxRegistry& SyntaxRegistry::instance()
{
    static SyntaxRegistry registry;
    return registry;
}

void SyntaxRegistry::addLocked(LDAPSyntaxObject* syntax)
{
    if (!m_setSyntaxes.insert(memorylib::gc_ptr<LDAPSyntaxObject>(syntax)).second)
        return;
    m_indexByOid.insert(syntax->getOid(), m_listInOrder.size());  // keeps the first one
    m_listInOrder.push_back(syntax);
    m_setExactOids.insert(syntax->getOid());
}

void SyntaxRegistry::add(const memorylib::gc_ptr<LDAPSyntaxObject>& syntax)
{
    if (syntax.get() == nullptr)
        return;
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    addLocked(syntax.get());
}

bool SyntaxRegistry::registerSyntax(const memorylib::gc_ptr<LDAPSyntaxObject>& syntax)
{
    if (syntax.get() == nullptr)
        return false;
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (m_setExactOids.count(syntax->getOid()) != 0)
        return false;
    addLocked(syntax.get());
    return true;
}

memorylib::gc_ptr<LDAPSyntaxObject> SyntaxRegistry::findSyntax(const std::wstring& oid) const
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    std::size_t found = m_indexByOid.find(oid);
    if (found == SchemaNameIndex::NOT_FOUND)
        return memorylib::gc_ptr<LDAPSyntaxObject>();
    return memorylib::gc_ptr<LDAPSyntaxObject>(m_listInOrder[found]);
}

const LDAPSyntaxObject* SyntaxRegistry::findRegistered(const std::wstring& oid) const
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    std::size_t found = m_indexByOid.find(oid);
    return found == SchemaNameIndex::NOT_FOUND ? nullptr : m_listInOrder[found];
}

std::int32_t SyntaxRegistry::findValueKind(const std::wstring& oid) const
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    std::size_t found = m_indexByOid.find(oid);
    if (found == SchemaNameIndex::NOT_FOUND)
        return VALUEKIND_UNKNOWN;
    return m_listInOrder[found]->getValueKind();
}

void SyntaxRegistry::seedKnownSyntaxes()
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (m_bSeeded)
        return;
    m_bSeeded = true;
    for (const KnownSyntax& row : knownSyntaxes)
        new LDAPSyntaxObject(row.description, row.humanReadable, row.oid, row.valueKind);
}

std::size_t SyntaxRegistry::size() const
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return m_setSyntaxes.size();
}

memorylib::gc_ptr<LDAPSyntaxObject> getSyntaxOfAttribute(const std::wstring& attributeName)
{
    std::wstring syntaxOid;
    if (!LDAPSchema::instance().getSyntaxOidOfAttribute(attributeName, syntaxOid))
        return memorylib::gc_ptr<LDAPSyntaxObject>();
    return SyntaxRegistry::instance().findSyntax(syntaxOid);
}

} // namespace ldapmodel
