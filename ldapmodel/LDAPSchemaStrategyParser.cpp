#include "LDAPSchemaStrategyParser.h"

#include <climits>
#include <cstdint>

namespace ldapmodel {

namespace {

const std::wstring APOSTROPHE = L"'";
const std::wstring SPACE = L" ";

// The text from its first "(" on; false when there is none.
bool cutAtParenthesis(const std::wstring& text, std::wstring& rest)
{
    std::size_t open = text.find(L'(');
    if (open == std::wstring::npos)
        return false;
    rest = text.substr(open);
    return true;
}

std::wstring trimApostrophes(const std::wstring& word)
{
    std::size_t first = word.find_first_not_of(L'\'');
    if (first == std::wstring::npos)
        return std::wstring();
    std::size_t last = word.find_last_not_of(L'\'');
    return word.substr(first, last - first + 1);
}

// Leading spaces, an optional sign and decimal digits; clamped to 32 bits.
std::int32_t toInt32(const std::wstring& text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == L' ' || text[i] == L'\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
        negative = text[i] == L'-';
        ++i;
    }
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        value = value * 10 + (text[i] - L'0');
        if (value > static_cast<std::int64_t>(INT32_MAX) + 1)
            value = static_cast<std::int64_t>(INT32_MAX) + 1;
    }
    if (negative)
        value = -value;
    if (value > INT32_MAX)
        value = INT32_MAX;
    return static_cast<std::int32_t>(value);
}

// Splits "( a $ b " into its words; a word still open at the end is dropped.
void splitList(const std::wstring& text, wchar_t separator, std::vector<std::wstring>& list)
{
    std::wstring word;
    bool inWord = false;
    for (wchar_t c : text) {
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
}

} // namespace

std::wstring LDAPSchemaStrategyParser::readOid(const std::wstring& text)
{
    std::size_t start = text.find_first_not_of(L'(');
    if (start == std::wstring::npos)
        return std::wstring();
    start = text.find_first_not_of(L' ', start);
    if (start == std::wstring::npos)
        return std::wstring();
    std::size_t end = text.find(L' ', start);
    std::wstring oid = text.substr(start, end == std::wstring::npos ? std::wstring::npos
                                                                      : end - start);
    std::size_t first = oid.find(L'\'');
    if (first != std::wstring::npos) {
        std::size_t last = oid.rfind(L'\'');
        if (last - first < 2)
            return std::wstring();
        oid = oid.substr(1, last - first - 1);
    }
    return oid;
}

std::wstring LDAPSchemaStrategyParser::readKeywordValue(const std::wstring& text,
                                                        const std::wstring& keyword,
                                                        const std::wstring& delimiters,
                                                        bool* failed)
{
    std::size_t position = text.find(keyword);
    if (position == std::wstring::npos)
        return std::wstring();
    std::size_t delimiter = text.find_first_of(delimiters, position);
    if (delimiter == std::wstring::npos) {
        if (failed != nullptr)
            *failed = true;
        return std::wstring();
    }
    std::size_t start = text.find_first_not_of(delimiters, delimiter);
    if (start == std::wstring::npos)
        return std::wstring();
    std::size_t end = text.find_first_of(delimiters, start);
    return text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
}

bool LDAPSchemaStrategyParser::hasKeyword(const std::wstring& text, const std::wstring& keyword)
{
    return text.find(keyword) != std::wstring::npos;
}

int LDAPSchemaStrategyParser::readKeywordList(const std::wstring& text, const std::wstring& keyword,
                                              wchar_t separator, std::vector<std::wstring>& list)
{
    std::size_t position = text.find(keyword);
    if (position == std::wstring::npos)
        return 0;
    std::size_t space = text.find(L' ', position);
    if (space == std::wstring::npos)
        return -1;
    if (space + 1 < text.size() && text[space + 1] == L'(') {
        std::size_t open = space + 1;
        std::size_t close = text.find(L')', open);
        splitList(text.substr(open, close == std::wstring::npos ? std::wstring::npos
                                                                 : close - open),
                  separator, list);
        return 0;
    }
    std::size_t start = text.find_first_not_of(L' ', space);
    if (start == std::wstring::npos)
        return 0;  // nothing after the keyword: no name to add
    std::size_t end = text.find(L' ', start);
    list.push_back(text.substr(start, end == std::wstring::npos ? std::wstring::npos
                                                                 : end - start));
    return 0;
}

int LDAPSchemaStrategyParser::parseAttributeType(const memorylib::gc_ptr<LDAPAttributeType>& element,
                                                 const std::wstring& text)
{
    LDAPAttributeType* type = element.getObject();
    if (type == nullptr)
        return -1;
    type->reset();
    std::wstring rest;
    if (!cutAtParenthesis(text, rest))
        return -1;

    bool failed = false;
    type->setOid(readOid(rest));
    type->setName(readKeywordValue(rest, L"NAME", APOSTROPHE, &failed));
    type->setDescription(readKeywordValue(rest, L"DESC", APOSTROPHE, &failed));
    type->setObsolete(hasKeyword(rest, L"OBSOLETE"));
    type->setSuperior(readKeywordValue(rest, L"SUP", SPACE, &failed));
    type->setEqualityRule(readKeywordValue(rest, L"EQUALITY", SPACE, &failed));
    type->setOrderingRule(readKeywordValue(rest, L"ORDERING", SPACE, &failed));
    type->setSubstringRule(readKeywordValue(rest, L"SUBSTR", SPACE, &failed));

    std::wstring syntax = trimApostrophes(readKeywordValue(rest, L"SYNTAX", SPACE, &failed));
    std::size_t brace = syntax.find(L'{');
    if (brace == std::wstring::npos) {
        type->setSyntaxOid(syntax);
    } else {
        type->setSyntaxOid(syntax.substr(0, brace));
        std::size_t close = syntax.find(L'}', brace);
        if (close != std::wstring::npos)
            type->setSyntaxLength(toInt32(syntax.substr(brace + 1, close - brace - 1)));
    }

    type->setCollective(hasKeyword(rest, L"COLLECTIVE"));
    type->setSingleValued(hasKeyword(rest, L"SINGLE-VALUE"));
    type->setNoUserModification(hasKeyword(rest, L"NO-USER-MODIFICATION"));
    type->setUsage(readKeywordValue(rest, L"USAGE", SPACE, &failed));
    return failed ? -1 : 0;
}

int LDAPSchemaStrategyParser::parseObjectClass(const memorylib::gc_ptr<LDAPObjectClass>& element,
                                               const std::wstring& text)
{
    LDAPObjectClass* objectClass = element.getObject();
    if (objectClass == nullptr)
        return -1;
    objectClass->reset();
    std::wstring rest;
    if (!cutAtParenthesis(text, rest))
        return -1;

    bool failed = false;
    objectClass->setOid(readOid(rest));
    objectClass->setName(readKeywordValue(rest, L"NAME", APOSTROPHE, &failed));
    objectClass->setDescription(readKeywordValue(rest, L"DESC", APOSTROPHE, &failed));
    objectClass->setObsolete(hasKeyword(rest, L"OBSOLETE"));
    objectClass->setSuperior(readKeywordValue(rest, L"SUP", SPACE, &failed));

    for (const wchar_t* kind : {L"ABSTRACT", L"STRUCTURAL", L"AUXILIARY"}) {
        std::size_t position = rest.find(kind);
        if (position != std::wstring::npos && position > 0)
            objectClass->setKind(kind);
    }

    if (readKeywordList(rest, L"MUST", L'$', objectClass->mustList()) != 0)
        failed = true;
    if (readKeywordList(rest, L"MAY", L'$', objectClass->mayList()) != 0)
        failed = true;
    return failed ? -1 : 0;
}

int LDAPSchemaStrategyParser::parseMatchingRule(const memorylib::gc_ptr<LDAPMatchingRule>& element,
                                                const std::wstring& text)
{
    LDAPMatchingRule* rule = element.getObject();
    if (rule == nullptr)
        return -1;
    rule->reset();
    std::wstring rest;
    if (!cutAtParenthesis(text, rest))
        return -1;

    bool failed = false;
    rule->setOid(readOid(rest));
    rule->setName(readKeywordValue(rest, L"NAME", APOSTROPHE, &failed));
    rule->setDescription(readKeywordValue(rest, L"DESC", APOSTROPHE, &failed));
    rule->setObsolete(hasKeyword(rest, L"OBSOLETE"));
    rule->setSyntaxOid(readKeywordValue(rest, L"SYNTAX", SPACE, &failed));
    return failed ? -1 : 0;
}

int LDAPSchemaStrategyParser::parseSyntax(const memorylib::gc_ptr<LDAPSyntaxObject>& element,
                                          const std::wstring& text)
{
    LDAPSyntaxObject* syntax = element.getObject();
    if (syntax == nullptr)
        return -1;
    std::wstring rest;
    if (!cutAtParenthesis(text, rest))
        return -1;

    bool failed = false;
    syntax->setOid(readOid(rest));
    syntax->setDescription(readKeywordValue(rest, L"DESC", APOSTROPHE, &failed));
    bool notHumanReadable =
        readKeywordValue(rest, L"X-NOT-HUMAN-READABLE", APOSTROPHE, &failed) == L"TRUE";
    syntax->setHumanReadable(!notHumanReadable);
    syntax->setValueKind(notHumanReadable ? VALUEKIND_BINARY : VALUEKIND_TEXT);
    return failed ? -1 : 0;
}

} // namespace ldapmodel
