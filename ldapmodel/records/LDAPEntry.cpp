#include "records/LDAPEntry.h"

#include "faults/FaultGuard.h"
#include "ldif/LdifRecordReader.h"
#include "ldif/LdifRecordWriter.h"
#include "logging/Log.h"
#include "logging/Trace.h"
#include "schema/ValueKind.h"
#include "session/DistinguishedName.h"
#include "session/LdapErrorReport.h"
#include "session/LdapSession.h"

#include <algorithm>

namespace ldapmodel {

const std::vector<std::wstring>& LDAPEntry::operationalAttributeNames()
{
    static const std::vector<std::wstring> names = {
        L"createTimestamp", L"modifytimestamp", L"structuralObjectClass", L"entryUUID",
        L"creatorsName",    L"entryCSN",        L"modifiersName",         L"subschemaSubentry",
        L"hasSubordinates", L"namingContexts"};
    return names;
}

LDAPEntry::LDAPEntry() = default;

void LDAPEntry::setDN(const std::wstring& dn)
{
    DIRLOOK_GUARD(L"LDAPEntry");
    // Each RDN is trimmed; the separators inside values stay.
    m_strDN = DistinguishedName::normalized(dn);
}

std::wstring LDAPEntry::getParentDN()
{
    DIRLOOK_GUARD(L"LDAPEntry");
    m_strParentDN = DistinguishedName::parent(m_strDN);
    // A single RDN is its own parent.
    if (m_strParentDN.empty())
        m_strParentDN = m_strDN;
    return m_strParentDN;
}

std::wstring LDAPEntry::getRDN() const
{
    DIRLOOK_GUARD(L"LDAPEntry");
    return DistinguishedName::rdn(m_strDN);
}

memorylib::gc_ptr<LDAPAttribute> LDAPEntry::getAttribute(const std::wstring& name) const
{
    DIRLOOK_GUARD(L"LDAPEntry");
    for (const AttributeList* list : {&m_userAttributes, &m_operationalAttributes}) {
        for (const auto& attribute : *list) {
            if (attribute.getObject() != nullptr && attribute->hasName(name))
                return attribute;
        }
    }
    return memorylib::gc_ptr<LDAPAttribute>();
}

void LDAPEntry::addAttribute(const memorylib::gc_ptr<LDAPAttribute>& attribute)
{
    DIRLOOK_GUARD(L"LDAPEntry");
    if (attribute.getObject() == nullptr || attribute->getValueCount() == 0)
        return;
    if (getAttribute(attribute->getName()).getObject() != nullptr)
        return;
    m_userAttributes.push_back(attribute);
}

int LDAPEntry::addAttributeValue(const std::wstring& name,
                                 const memorylib::gc_ptr<LDAPAttributeValue>& value)
{
    DIRLOOK_GUARD(L"LDAPEntry");
    if (value.getObject() == nullptr)
        return -1;
    memorylib::gc_ptr<LDAPAttribute> attribute = getAttribute(name);
    if (attribute.getObject() == nullptr) {
        attribute = new LDAPAttribute(name, VALUEKIND_UNKNOWN);
        attribute->setState(LDAPAttribute::ATTRIBUTE_NEW);
        attribute->addValue(value);
        addAttribute(attribute);
        return 0;
    }
    if (attribute->addValue(value) != 0)
        return -1;
    attribute->setState(LDAPAttribute::ATTRIBUTE_EXISTING);
    return 0;
}

void LDAPEntry::appendUserAttributes(const AttributeList& attributes)
{
    m_userAttributes.insert(m_userAttributes.end(), attributes.begin(), attributes.end());
}

void LDAPEntry::clear()
{
    m_userAttributes.clear();
    m_operationalAttributes.clear();
    m_childDNs.clear();
}

void LDAPEntry::removeChild(const std::wstring& dn)
{
    m_childDNs.erase(std::remove(m_childDNs.begin(), m_childDNs.end(), dn), m_childDNs.end());
}

void LDAPEntry::setChildrenComplete(bool complete)
{
    m_bChildrenComplete = complete;
    if (!complete)
        m_childDNs.clear();
}

bool LDAPEntry::readFromServer(LdapSession& session, unsigned int sizeLimit)
{
    DIRLOOK_GUARD(L"LDAPEntry");
    util::TraceScope trace(L"LDAPEntry::readFromServer");
    util::Log::getLog(L"ldapmodel")->write(L"LDAPEntry::readFromServer %s", m_strDN.c_str());

    static const std::vector<std::wstring> allUserAttributes = {L"*"};
    AttributeList userAttributes;
    int code = session.readAttributes(m_strDN, allUserAttributes, sizeLimit, userAttributes);
    if (code != 0) {
        reportLdapError(code, L"Read entry from server");
        return false;
    }
    clear();
    m_userAttributes = std::move(userAttributes);

    AttributeList operationalAttributes;
    code = session.readAttributes(m_strDN, operationalAttributeNames(), 0, operationalAttributes);
    if (code != 0) {
        reportLdapError(code, L"Read structural attributes");
        return false;
    }
    m_operationalAttributes = std::move(operationalAttributes);
    m_bOld = false;
    return true;
}

std::string LDAPEntry::toLdif(int lineWidth) const
{
    DIRLOOK_GUARD(L"LDAPEntry");
    return LdifRecordWriter::entryRecord(*this, lineWidth);
}

std::wstring LDAPEntry::toLdifText() const
{
    DIRLOOK_GUARD(L"LDAPEntry");
    return LdifRecordWriter::entryRecordText(*this);
}

int LDAPEntry::createFromLdifString(const std::string& record)
{
    return LdifRecordReader::createFromLdifString(*this, record);
}

int LDAPEntry::splitLdifStringInLines(const std::string& record, std::vector<std::string>& lines)
{
    return LdifRecordReader::splitLdifStringInLines(record, lines);
}

int LDAPEntry::readLdifLine(const std::string& line)
{
    return LdifRecordReader::readLdifLine(*this, line);
}

} // namespace ldapmodel
