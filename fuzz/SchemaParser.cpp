// libFuzzer target: the schema description parsers over arbitrary text, the
// ASCII byte forms against the wide forms, and the list primitive against a
// plain transcription of its rules.
#include "schema/LDAPSchemaStrategyParser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

using ldapmodel::LDAPSchemaStrategyParser;
using memorylib::gc_ptr;

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

// Bytes below 0x80 map to themselves; a byte from 0x80 on and the byte after
// it make one wide character, so the text can hold any code unit.
std::wstring toWide(const std::uint8_t* data, std::size_t size)
{
    std::wstring text;
    text.reserve(size);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] < 0x80 || i + 1 == size) {
            text.push_back(static_cast<wchar_t>(data[i]));
        } else {
            text.push_back(static_cast<wchar_t>(((data[i] & 0x7F) << 8) | data[i + 1]));
            ++i;
        }
    }
    return text;
}

// The list rules step by step.
int referenceList(const std::wstring& text, const std::wstring& keyword, wchar_t separator,
                  std::vector<std::wstring>& list)
{
    std::size_t position = text.find(keyword);
    if (position == std::wstring::npos)
        return 0;
    std::size_t space = text.find(L' ', position);
    if (space == std::wstring::npos)
        return -1;
    if (space + 1 < text.size() && text[space + 1] == L'(') {
        std::size_t close = text.find(L')', space + 1);
        std::wstring inside = text.substr(space + 1, close == std::wstring::npos
                                                         ? std::wstring::npos
                                                         : close - space - 1);
        bool inWord = false;
        std::wstring word;
        for (wchar_t c : inside) {
            if (c == L'(' || c == separator)
                continue;
            if (!inWord) {
                if (c != L' ') {
                    inWord = true;
                    word.assign(1, c);
                }
            } else if (c == L' ' || c == L')') {
                list.push_back(word);
                inWord = false;
            } else {
                word.push_back(c);
            }
        }
        return 0;
    }
    std::size_t start = text.find_first_not_of(L' ', space);
    if (start == std::wstring::npos)
        return 0;
    std::size_t end = text.find(L' ', start);
    list.push_back(text.substr(start, end == std::wstring::npos ? std::wstring::npos
                                                                 : end - start));
    return 0;
}

void compareAttributeTypes(const ldapmodel::LDAPAttributeType& a,
                           const ldapmodel::LDAPAttributeType& b)
{
    require(a.getOid() == b.getOid() && a.getName() == b.getName() &&
            a.getDescription() == b.getDescription() && a.isObsolete() == b.isObsolete() &&
            a.getSuperior() == b.getSuperior() && a.getEqualityRule() == b.getEqualityRule() &&
            a.getOrderingRule() == b.getOrderingRule() &&
            a.getSubstringRule() == b.getSubstringRule() && a.getSyntaxOid() == b.getSyntaxOid() &&
            a.getSyntaxLength() == b.getSyntaxLength() && a.isCollective() == b.isCollective() &&
            a.isSingleValued() == b.isSingleValued() &&
            a.isNoUserModification() == b.isNoUserModification() && a.getUsage() == b.getUsage());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::wstring text = toWide(data, size);
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    bool ascii = true;
    for (std::uint8_t byte : bytes)
        ascii = ascii && byte < 0x80;

    gc_ptr<ldapmodel::LDAPAttributeType> type(new ldapmodel::LDAPAttributeType());
    int result = LDAPSchemaStrategyParser::parseAttributeType(type, text);
    require(result == 0 || result == -1);
    require(text.find(L'(') != std::wstring::npos || result == -1);
    require(type->getSyntaxOid().find(L'{') == std::wstring::npos);
    gc_ptr<ldapmodel::LDAPAttributeType> typeFromBytes(new ldapmodel::LDAPAttributeType());
    int bytesResult = LDAPSchemaStrategyParser::parseAttributeType(typeFromBytes, bytes);
    if (ascii) {
        require(bytesResult == result);
        compareAttributeTypes(*type, *typeFromBytes);
    }

    gc_ptr<ldapmodel::LDAPObjectClass> objectClass(new ldapmodel::LDAPObjectClass());
    result = LDAPSchemaStrategyParser::parseObjectClass(objectClass, text);
    require(result == 0 || result == -1);
    gc_ptr<ldapmodel::LDAPObjectClass> classFromBytes(new ldapmodel::LDAPObjectClass());
    bytesResult = LDAPSchemaStrategyParser::parseObjectClass(classFromBytes, bytes);
    if (ascii) {
        require(bytesResult == result);
        require(objectClass->getOid() == classFromBytes->getOid() &&
                objectClass->getName() == classFromBytes->getName() &&
                objectClass->getDescription() == classFromBytes->getDescription() &&
                objectClass->getSuperior() == classFromBytes->getSuperior() &&
                objectClass->getKind() == classFromBytes->getKind() &&
                objectClass->getMustList() == classFromBytes->getMustList() &&
                objectClass->getMayList() == classFromBytes->getMayList());
    }

    gc_ptr<ldapmodel::LDAPMatchingRule> rule(new ldapmodel::LDAPMatchingRule());
    result = LDAPSchemaStrategyParser::parseMatchingRule(rule, text);
    require(result == 0 || result == -1);
    gc_ptr<ldapmodel::LDAPMatchingRule> ruleFromBytes(new ldapmodel::LDAPMatchingRule());
    bytesResult = LDAPSchemaStrategyParser::parseMatchingRule(ruleFromBytes, bytes);
    if (ascii)
        require(bytesResult == result && rule->getOid() == ruleFromBytes->getOid() &&
                rule->getSyntaxOid() == ruleFromBytes->getSyntaxOid() &&
                rule->getName() == ruleFromBytes->getName());

    gc_ptr<ldapmodel::LDAPSyntaxObject> syntax(new ldapmodel::LDAPSyntaxObject());
    result = LDAPSchemaStrategyParser::parseSyntax(syntax, text);
    require(result == 0 || result == -1);
    if (result == 0)
        require(syntax->isHumanReadable() ==
                (syntax->getValueKind() == ldapmodel::VALUEKIND_TEXT));
    gc_ptr<ldapmodel::LDAPSyntaxObject> syntaxFromBytes(new ldapmodel::LDAPSyntaxObject());
    bytesResult = LDAPSchemaStrategyParser::parseSyntax(syntaxFromBytes, bytes);
    if (ascii)
        require(bytesResult == result && syntax->getOid() == syntaxFromBytes->getOid() &&
                syntax->getDescription() == syntaxFromBytes->getDescription() &&
                syntax->isHumanReadable() == syntaxFromBytes->isHumanReadable());

    // The primitives on their own; the list with a separator from the input.
    require(LDAPSchemaStrategyParser::readOid(text).size() <= text.size());
    const wchar_t separator = size > 0 ? static_cast<wchar_t>(data[size - 1] % 0x80) : L'$';
    for (const wchar_t* keyword : {L"MUST", L"MAY", L"M"}) {
        std::vector<std::wstring> list{L"kept"};
        std::vector<std::wstring> expected{L"kept"};
        require(LDAPSchemaStrategyParser::readKeywordList(text, keyword, separator, list) ==
                referenceList(text, keyword, separator, expected));
        require(list == expected);
    }
    LDAPSchemaStrategyParser::readKeywordValue(text, L"DESC", L"' ");
    LDAPSchemaStrategyParser::hasKeyword(text, L"OBSOLETE");
    return 0;
}
