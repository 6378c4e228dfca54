#include "values/AttributeRoles.h"

#include "schema/LDAPSchema.h"

#include <cwctype>
#include <initializer_list>

namespace ldapmodel {

namespace {

constexpr wchar_t kCertificateSyntax[] = L"1.3.6.1.4.1.1466.115.121.1.8";
constexpr wchar_t kJpegSyntax[] = L"1.3.6.1.4.1.1466.115.121.1.28";
constexpr wchar_t kGeneralizedTimeSyntax[] = L"1.3.6.1.4.1.1466.115.121.1.24";

bool sameIgnoringCase(const std::wstring& left, const wchar_t* right)
{
    std::size_t i = 0;
    for (; i < left.size() && right[i] != L'\0'; ++i) {
        if (std::towlower(left[i]) != std::towlower(right[i]))
            return false;
    }
    return i == left.size() && right[i] == L'\0';
}

bool isOneOf(const std::wstring& type, std::initializer_list<const wchar_t*> names)
{
    for (const wchar_t* name : names) {
        if (sameIgnoringCase(type, name))
            return true;
    }
    return false;
}

bool hasSyntax(const std::wstring& type, const wchar_t* syntaxOid)
{
    std::wstring oid;
    return !type.empty() && LDAPSchema::instance().getSyntaxOidOfAttribute(type, oid)
           && oid == syntaxOid;
}

} // namespace

std::wstring attributeTypeOf(const std::wstring& description)
{
    return description.substr(0, description.find(L';'));
}

bool isPasswordAttribute(const std::wstring& description)
{
    return isOneOf(attributeTypeOf(description), {L"userPassword", L"2.5.4.35"});
}

bool isCertificateAttribute(const std::wstring& description)
{
    const std::wstring type = attributeTypeOf(description);
    return isOneOf(type, {L"userCertificate", L"cACertificate", L"2.5.4.36", L"2.5.4.37"})
           || hasSyntax(type, kCertificateSyntax);
}

bool isPhotoAttribute(const std::wstring& description)
{
    const std::wstring type = attributeTypeOf(description);
    return isOneOf(type, {L"jpegPhoto", L"photo", L"0.9.2342.19200300.100.1.60",
                          L"0.9.2342.19200300.100.1.7"})
           || hasSyntax(type, kJpegSyntax);
}

bool isGeneralizedTimeAttribute(const std::wstring& description)
{
    const std::wstring type = attributeTypeOf(description);
    return hasSyntax(type, kGeneralizedTimeSyntax)
           || isOneOf(type, {L"createTimestamp", L"modifyTimestamp"});
}

} // namespace ldapmodel
