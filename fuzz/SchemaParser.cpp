// libFuzzer target: the schema description parsers over arbitrary text.
#include "LDAPSchemaStrategyParser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

using ldapmodel::LDAPSchemaStrategyParser;

namespace {

// Bytes below 0x80 map to themselves; a byte pair from 0x80 on makes one
// wide character, so the text can hold any code unit.
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

void checkWords(const std::vector<std::wstring>& words)
{
    for (const std::wstring& word : words) {
        if (word.empty() || word.find(L' ') != std::wstring::npos)
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::wstring text = toWide(data, size);

    memorylib::gc_ptr<ldapmodel::LDAPAttributeType> type(new ldapmodel::LDAPAttributeType());
    int result = LDAPSchemaStrategyParser::parseAttributeType(type, text);
    if (result != 0 && result != -1)
        std::abort();
    if (text.find(L'(') == std::wstring::npos && result != -1)
        std::abort();
    if (type->getSyntaxOid().find(L'{') != std::wstring::npos)
        std::abort();

    memorylib::gc_ptr<ldapmodel::LDAPObjectClass> objectClass(new ldapmodel::LDAPObjectClass());
    result = LDAPSchemaStrategyParser::parseObjectClass(objectClass, text);
    if (result != 0 && result != -1)
        std::abort();
    checkWords(objectClass->getMustList());
    checkWords(objectClass->getMayList());

    memorylib::gc_ptr<ldapmodel::LDAPMatchingRule> rule(new ldapmodel::LDAPMatchingRule());
    result = LDAPSchemaStrategyParser::parseMatchingRule(rule, text);
    if (result != 0 && result != -1)
        std::abort();

    memorylib::gc_ptr<ldapmodel::LDAPSyntaxObject> syntax(new ldapmodel::LDAPSyntaxObject());
    result = LDAPSchemaStrategyParser::parseSyntax(syntax, text);
    if (result != 0 && result != -1)
        std::abort();
    if (result == 0 && syntax->isHumanReadable() !=
                           (syntax->getValueKind() == ldapmodel::VALUEKIND_TEXT))
        std::abort();

    // The primitives on their own, over the raw text.
    const std::wstring oid = LDAPSchemaStrategyParser::readOid(text);
    if (oid.size() > text.size())
        std::abort();
    std::vector<std::wstring> list;
    LDAPSchemaStrategyParser::readKeywordList(text, L"MUST", L'$', list);
    checkWords(list);
    LDAPSchemaStrategyParser::readKeywordValue(text, L"DESC", L"'");
    LDAPSchemaStrategyParser::hasKeyword(text, L"OBSOLETE");
    return 0;
}
