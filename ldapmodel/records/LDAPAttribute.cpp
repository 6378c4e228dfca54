#include "records/LDAPAttribute.h"

#include "faults/FaultGuard.h"
#include "ldif/LdifRecordWriter.h"
#include "schema/ValueKind.h"

namespace ldapmodel {

namespace {

wchar_t foldAscii(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + (L'a' - L'A')) : c; }

const wchar_t* stateWord(std::int32_t state)
{
    switch (state) {
    case LDAPAttribute::ATTRIBUTE_NEW:
        return L",ATTRIBUTE_NEW";
    case LDAPAttribute::ATTRIBUTE_MODIFY:
        return L",ATTRIBUTE_MODIFY";
    case LDAPAttribute::ATTRIBUTE_DELETED:
        return L",ATTRIBUTE_DELETED";
    case LDAPAttribute::ATTRIBUTE_BVALUES:
        return L",ATTRIBUTE_BVALUES";
    default:
        return L"";
    }
}

} // namespace

LDAPAttribute::LDAPAttribute() : m_iValueKind(getValueKindOfAttribute(std::wstring())) {}

LDAPAttribute::LDAPAttribute(const std::wstring& name, std::int32_t valueKind)
    : m_strName(name), m_iValueKind(valueKind)
{
}

bool LDAPAttribute::hasName(const std::wstring& name) const
{
    if (name.size() != m_strName.size())
        return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (foldAscii(name[i]) != foldAscii(m_strName[i]))
            return false;
    }
    return true;
}

std::int32_t LDAPAttribute::getValueKind()
{
    DIRLOOK_GUARD(L"LDAPAttribute");
    m_iValueKind = getValueKindOfAttribute(m_strName);
    return m_iValueKind;
}

void LDAPAttribute::setState(std::int32_t state)
{
    if (state >= 0)
        m_iState = state;
}

int LDAPAttribute::addValue(const memorylib::gc_ptr<LDAPAttributeValue>& value)
{
    DIRLOOK_GUARD(L"LDAPAttribute");
    if (value.getObject() == nullptr)
        return -1;
    m_values.push_back(value);
    return 0;
}

memorylib::gc_ptr<LDAPAttributeValue> LDAPAttribute::getValue(int index) const
{
    if (index < 0 || index >= getValueCount())
        return memorylib::gc_ptr<LDAPAttributeValue>();
    return m_values[static_cast<std::size_t>(index)];
}

void LDAPAttribute::copyValues(ValueList* target) const
{
    DIRLOOK_GUARD(L"LDAPAttribute");
    if (target == nullptr)
        return;
    for (const auto& value : m_values) {
        if (value.getObject() != nullptr)
            target->push_back(value);
    }
}

std::wstring LDAPAttribute::toString() const
{
    DIRLOOK_GUARD(L"LDAPAttribute");
    std::wstring text = L"[LDAPAttribute:name=" + m_strName + stateWord(m_iState) + L"\n\t\t";
    for (const auto& value : m_values) {
        if (value.getObject() == nullptr)
            continue;
        text += value->toString();
        text += L",\n\t\t";
    }
    return text;
}

std::string LDAPAttribute::toLdif(int lineWidth) const
{
    DIRLOOK_GUARD(L"LDAPAttribute");
    return LdifRecordWriter::attributeText(*this, lineWidth);
}

} // namespace ldapmodel
