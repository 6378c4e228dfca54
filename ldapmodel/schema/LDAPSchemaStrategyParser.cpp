#include "schema/LDAPSchemaStrategyParser.h"

#include <climits>
#include <cstdint>

namespace ldapmodel {

namespace {

// Every operation below works on wide text and, for the loader, on ASCII
// bytes; ASCII text gives exactly what its widened form gives.
template <class CharT>
using ViewOf = std::basic_string_view<CharT>;
constexpr std::size_t NONE = std::wstring_view::npos;

enum Keyword {
    KW_NAME,
    KW_DESC,
    KW_OBSOLETE,
    KW_SUP,
    KW_EQUALITY,
    KW_ORDERING,
    KW_SUBSTR,
    KW_SYNTAX,
    KW_COLLECTIVE,
    KW_SINGLE_VALUE,
    KW_NO_USER_MODIFICATION,
    KW_USAGE,
    KW_ABSTRACT,
    KW_STRUCTURAL,
    KW_AUXILIARY,
    KW_MUST,
    KW_MAY,
    KW_NOT_HUMAN_READABLE,
    KW_COUNT
};

constexpr std::string_view KEYWORDS[KW_COUNT] = {
    "NAME",       "DESC",         "OBSOLETE",    "SUP",
    "EQUALITY",   "ORDERING",     "SUBSTR",      "SYNTAX",
    "COLLECTIVE", "SINGLE-VALUE", "NO-USER-MODIFICATION",
    "USAGE",      "ABSTRACT",     "STRUCTURAL",  "AUXILIARY",
    "MUST",       "MAY",          "X-NOT-HUMAN-READABLE",
};

// Keywords by first letter ('A' to 'X'), each list ended by KW_COUNT.
struct FirstLetterTable {
    signed char entries[24][6];
    constexpr FirstLetterTable() : entries()
    {
        for (auto& row : entries)
            for (auto& cell : row)
                cell = KW_COUNT;
        for (int k = 0; k < KW_COUNT; ++k) {
            auto& row = entries[KEYWORDS[k][0] - 'A'];
            int n = 0;
            while (row[n] != KW_COUNT)
                ++n;
            row[n] = static_cast<signed char>(k);
        }
    }
};
constexpr FirstLetterTable BY_FIRST_LETTER;

// Bit (c - 'A') is set for every first letter of a keyword.
constexpr std::uint32_t firstLetterMask()
{
    std::uint32_t mask = 0;
    for (const std::string_view& keyword : KEYWORDS)
        mask |= 1u << (keyword[0] - 'A');
    return mask;
}
constexpr std::uint32_t FIRST_LETTERS = firstLetterMask();

template <class CharT>
bool matchesAt(ViewOf<CharT> text, std::size_t position, std::string_view keyword)
{
    if (text.size() - position < keyword.size())
        return false;
    for (std::size_t i = 1; i < keyword.size(); ++i) {
        if (text[position + i] != static_cast<CharT>(keyword[i]))
            return false;
    }
    return true;
}

// First position of every keyword in the text, found in one pass; the same
// answers as a separate substring search per keyword.
class KeywordScan {
public:
    template <class CharT>
    explicit KeywordScan(ViewOf<CharT> text)
    {
        for (std::size_t& position : m_positions)
            position = NONE;
        for (std::size_t i = 0; i < text.size(); ++i)
            check(text, i);
    }
    std::size_t operator[](Keyword keyword) const { return m_positions[keyword]; }
    bool has(Keyword keyword) const { return m_positions[keyword] != NONE; }

private:
    template <class CharT>
    void check(ViewOf<CharT> text, std::size_t i)
    {
        std::uint32_t letter = static_cast<std::uint32_t>(text[i]) - 'A';
        if (letter >= 24 || ((FIRST_LETTERS >> letter) & 1u) == 0)
            return;
        for (const signed char* k = BY_FIRST_LETTER.entries[letter]; *k != KW_COUNT; ++k) {
            if (m_positions[*k] == NONE && matchesAt(text, i, KEYWORDS[*k]))
                m_positions[*k] = i;
        }
    }

    std::size_t m_positions[KW_COUNT];
};

template <class CharT>
std::wstring toWide(ViewOf<CharT> text)
{
    return std::wstring(text.begin(), text.end());
}

template <class CharT>
std::size_t findFirstOf(ViewOf<CharT> text, ViewOf<CharT> set, std::size_t from)
{
    if (set.size() == 1)
        return text.find(set[0], from);
    return text.find_first_of(set, from);
}

// The value after a keyword found at position (NONE: absent, empty value).
template <class CharT>
ViewOf<CharT> valueAt(ViewOf<CharT> text, std::size_t position, ViewOf<CharT> delimiters,
                      bool* failed)
{
    if (position == NONE)
        return ViewOf<CharT>();
    std::size_t delimiter = findFirstOf(text, delimiters, position);
    if (delimiter == NONE) {
        if (failed != nullptr)
            *failed = true;
        return ViewOf<CharT>();
    }
    std::size_t start = text.find_first_not_of(delimiters, delimiter);
    if (start == NONE)
        return ViewOf<CharT>();
    std::size_t end = findFirstOf(text, delimiters, start);
    return text.substr(start, end == NONE ? NONE : end - start);
}

template <class CharT>
std::wstring textAt(ViewOf<CharT> text, std::size_t position, ViewOf<CharT> delimiters,
                    bool* failed)
{
    return toWide(valueAt(text, position, delimiters, failed));
}

// Splits "( a $ b " into its words: "(" and the separator are skipped, also
// inside a word; any other character than a blank starts a word; a blank or
// ")" ends it; a word still open at the end of the text is dropped.
template <class CharT>
void splitList(ViewOf<CharT> text, CharT separator, std::vector<std::wstring>& list)
{
    auto skipped = [separator](CharT c) { return c == CharT('(') || c == separator; };
    std::size_t i = 0;
    while (i < text.size()) {
        CharT c = text[i];
        if (skipped(c) || c == CharT(' ')) {
            ++i;
            continue;
        }
        std::size_t start = i++;
        bool hasSkipped = false;
        for (; i < text.size(); ++i) {
            if (skipped(text[i]))
                hasSkipped = true;
            else if (text[i] == CharT(' ') || text[i] == CharT(')'))
                break;
        }
        if (i == text.size())
            return;  // still open
        ViewOf<CharT> word = text.substr(start, i - start);
        if (!hasSkipped) {
            list.push_back(toWide(word));
        } else {
            std::wstring kept;
            for (CharT w : word) {
                if (!skipped(w))
                    kept.push_back(static_cast<wchar_t>(w));
            }
            list.push_back(std::move(kept));
        }
        ++i;
    }
}

// The names of a list whose keyword was found at position; -1 when no
// space follows the keyword.
template <class CharT>
int listAt(ViewOf<CharT> text, std::size_t position, CharT separator,
           std::vector<std::wstring>& list)
{
    if (position == NONE)
        return 0;
    std::size_t space = text.find(CharT(' '), position);
    if (space == NONE)
        return -1;
    if (space + 1 < text.size() && text[space + 1] == CharT('(')) {
        std::size_t open = space + 1;
        std::size_t close = text.find(CharT(')'), open);
        ViewOf<CharT> inside = text.substr(open, close == NONE ? NONE : close - open);
        std::size_t separators = 0;
        for (CharT c : inside)
            separators += c == separator ? 1 : 0;
        list.reserve(list.size() + separators + 1);
        splitList(inside, separator, list);
        return 0;
    }
    std::size_t start = text.find_first_not_of(CharT(' '), space);
    if (start == NONE)
        return 0;  // nothing after the keyword: no name to add
    std::size_t end = text.find(CharT(' '), start);
    list.push_back(toWide(text.substr(start, end == NONE ? NONE : end - start)));
    return 0;
}

template <class CharT>
std::wstring oidOf(ViewOf<CharT> text)
{
    std::size_t start = text.find_first_not_of(CharT('('));
    if (start == NONE)
        return std::wstring();
    start = text.find_first_not_of(CharT(' '), start);
    if (start == NONE)
        return std::wstring();
    std::size_t end = text.find(CharT(' '), start);
    ViewOf<CharT> oid = text.substr(start, end == NONE ? NONE : end - start);
    std::size_t first = oid.find(CharT('\''));
    if (first != NONE) {
        std::size_t last = oid.rfind(CharT('\''));
        if (last - first < 2)
            return std::wstring();
        oid = oid.substr(1, last - first - 1);
    }
    return toWide(oid);
}

// The text from its first "(" on; false when there is none.
template <class CharT>
bool cutAtParenthesis(ViewOf<CharT> text, ViewOf<CharT>& rest)
{
    std::size_t open = text.find(CharT('('));
    if (open == NONE)
        return false;
    rest = text.substr(open);
    return true;
}

template <class CharT>
ViewOf<CharT> trimApostrophes(ViewOf<CharT> word)
{
    std::size_t first = word.find_first_not_of(CharT('\''));
    if (first == NONE)
        return ViewOf<CharT>();
    std::size_t last = word.find_last_not_of(CharT('\''));
    return word.substr(first, last - first + 1);
}

// Leading blanks, an optional sign and decimal digits; clamped to 32 bits.
template <class CharT>
std::int32_t toInt32(ViewOf<CharT> text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == CharT(' ') || text[i] == CharT('\t')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == CharT('+') || text[i] == CharT('-'))) {
        negative = text[i] == CharT('-');
        ++i;
    }
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= CharT('0') && text[i] <= CharT('9'); ++i) {
        value = value * 10 + (text[i] - CharT('0'));
        if (value > static_cast<std::int64_t>(INT32_MAX) + 1)
            value = static_cast<std::int64_t>(INT32_MAX) + 1;
    }
    if (negative)
        value = -value;
    if (value > INT32_MAX)
        value = INT32_MAX;
    return static_cast<std::int32_t>(value);
}

template <class CharT>
struct Delimiters {
    static constexpr CharT apostrophe[1] = {CharT('\'')};
    static constexpr CharT space[1] = {CharT(' ')};
    static constexpr ViewOf<CharT> APOSTROPHE{apostrophe, 1};
    static constexpr ViewOf<CharT> SPACE{space, 1};
};

// The OID, NAME, DESC and OBSOLETE that attribute types, object classes and
// matching rules all start with.
template <class CharT, class Definition>
void readCommonFields(Definition* definition, ViewOf<CharT> rest, const KeywordScan& at,
                      bool* failed)
{
    constexpr ViewOf<CharT> APOSTROPHE = Delimiters<CharT>::APOSTROPHE;
    definition->setOid(oidOf(rest));
    definition->setName(textAt(rest, at[KW_NAME], APOSTROPHE, failed));
    definition->setDescription(textAt(rest, at[KW_DESC], APOSTROPHE, failed));
    definition->setObsolete(at.has(KW_OBSOLETE));
}

template <class CharT>
int parseAttributeTypeText(LDAPAttributeType* type, ViewOf<CharT> text)
{
    if (type == nullptr)
        return -1;
    type->reset();
    ViewOf<CharT> rest;
    if (!cutAtParenthesis(text, rest))
        return -1;

    constexpr ViewOf<CharT> SPACE = Delimiters<CharT>::SPACE;
    const KeywordScan at(rest);
    bool failed = false;
    readCommonFields(type, rest, at, &failed);
    type->setSuperior(textAt(rest, at[KW_SUP], SPACE, &failed));
    type->setEqualityRule(textAt(rest, at[KW_EQUALITY], SPACE, &failed));
    type->setOrderingRule(textAt(rest, at[KW_ORDERING], SPACE, &failed));
    type->setSubstringRule(textAt(rest, at[KW_SUBSTR], SPACE, &failed));

    ViewOf<CharT> syntax = trimApostrophes(valueAt(rest, at[KW_SYNTAX], SPACE, &failed));
    std::size_t brace = syntax.find(CharT('{'));
    if (brace == NONE) {
        type->setSyntaxOid(toWide(syntax));
    } else {
        type->setSyntaxOid(toWide(syntax.substr(0, brace)));
        std::size_t close = syntax.find(CharT('}'), brace);
        if (close != NONE)
            type->setSyntaxLength(toInt32(syntax.substr(brace + 1, close - brace - 1)));
    }

    type->setCollective(at.has(KW_COLLECTIVE));
    type->setSingleValued(at.has(KW_SINGLE_VALUE));
    type->setNoUserModification(at.has(KW_NO_USER_MODIFICATION));
    type->setUsage(textAt(rest, at[KW_USAGE], SPACE, &failed));
    return failed ? -1 : 0;
}

template <class CharT>
int parseObjectClassText(LDAPObjectClass* objectClass, ViewOf<CharT> text)
{
    if (objectClass == nullptr)
        return -1;
    objectClass->reset();
    ViewOf<CharT> rest;
    if (!cutAtParenthesis(text, rest))
        return -1;

    constexpr ViewOf<CharT> SPACE = Delimiters<CharT>::SPACE;
    const KeywordScan at(rest);
    bool failed = false;
    readCommonFields(objectClass, rest, at, &failed);
    objectClass->setSuperior(textAt(rest, at[KW_SUP], SPACE, &failed));

    // Position 0 is the "(" itself, so any occurrence counts.
    for (Keyword kind : {KW_ABSTRACT, KW_STRUCTURAL, KW_AUXILIARY}) {
        if (at.has(kind) && at[kind] > 0)
            objectClass->setKind(toWide(KEYWORDS[kind]));
    }

    if (listAt(rest, at[KW_MUST], CharT('$'), objectClass->mustList()) != 0)
        failed = true;
    if (listAt(rest, at[KW_MAY], CharT('$'), objectClass->mayList()) != 0)
        failed = true;
    return failed ? -1 : 0;
}

template <class CharT>
int parseMatchingRuleText(LDAPMatchingRule* rule, ViewOf<CharT> text)
{
    if (rule == nullptr)
        return -1;
    rule->reset();
    ViewOf<CharT> rest;
    if (!cutAtParenthesis(text, rest))
        return -1;

    constexpr ViewOf<CharT> SPACE = Delimiters<CharT>::SPACE;
    const KeywordScan at(rest);
    bool failed = false;
    readCommonFields(rule, rest, at, &failed);
    rule->setSyntaxOid(textAt(rest, at[KW_SYNTAX], SPACE, &failed));
    return failed ? -1 : 0;
}

template <class CharT>
int parseSyntaxText(LDAPSyntaxObject* syntax, ViewOf<CharT> text)
{
    if (syntax == nullptr)
        return -1;
    ViewOf<CharT> rest;
    if (!cutAtParenthesis(text, rest))
        return -1;

    constexpr ViewOf<CharT> APOSTROPHE = Delimiters<CharT>::APOSTROPHE;
    const KeywordScan at(rest);
    bool failed = false;
    syntax->setOid(oidOf(rest));
    syntax->setDescription(textAt(rest, at[KW_DESC], APOSTROPHE, &failed));
    ViewOf<CharT> flag = valueAt(rest, at[KW_NOT_HUMAN_READABLE], APOSTROPHE, &failed);
    const CharT trueText[] = {CharT('T'), CharT('R'), CharT('U'), CharT('E')};
    bool notHumanReadable = flag == ViewOf<CharT>(trueText, 4);
    syntax->setHumanReadable(!notHumanReadable);
    syntax->setValueKind(notHumanReadable ? VALUEKIND_BINARY : VALUEKIND_TEXT);
    return failed ? -1 : 0;
}

} // namespace

std::wstring LDAPSchemaStrategyParser::readOid(const std::wstring& text)
{
    return oidOf(std::wstring_view(text));
}

std::wstring LDAPSchemaStrategyParser::readKeywordValue(const std::wstring& text,
                                                        const std::wstring& keyword,
                                                        const std::wstring& delimiters,
                                                        bool* failed)
{
    return textAt(std::wstring_view(text), text.find(keyword), std::wstring_view(delimiters),
                  failed);
}

bool LDAPSchemaStrategyParser::hasKeyword(const std::wstring& text, const std::wstring& keyword)
{
    return text.find(keyword) != std::wstring::npos;
}

int LDAPSchemaStrategyParser::readKeywordList(const std::wstring& text, const std::wstring& keyword,
                                              wchar_t separator, std::vector<std::wstring>& list)
{
    return listAt(std::wstring_view(text), text.find(keyword), separator, list);
}

int LDAPSchemaStrategyParser::parseAttributeType(const memorylib::gc_ptr<LDAPAttributeType>& element,
                                                 const std::wstring& text)
{
    return parseAttributeTypeText(element.getObject(), std::wstring_view(text));
}

int LDAPSchemaStrategyParser::parseObjectClass(const memorylib::gc_ptr<LDAPObjectClass>& element,
                                               const std::wstring& text)
{
    return parseObjectClassText(element.getObject(), std::wstring_view(text));
}

int LDAPSchemaStrategyParser::parseMatchingRule(const memorylib::gc_ptr<LDAPMatchingRule>& element,
                                                const std::wstring& text)
{
    return parseMatchingRuleText(element.getObject(), std::wstring_view(text));
}

int LDAPSchemaStrategyParser::parseSyntax(const memorylib::gc_ptr<LDAPSyntaxObject>& element,
                                          const std::wstring& text)
{
    return parseSyntaxText(element.getObject(), std::wstring_view(text));
}

int LDAPSchemaStrategyParser::parseAttributeType(const memorylib::gc_ptr<LDAPAttributeType>& element,
                                                 std::string_view asciiText)
{
    return parseAttributeTypeText(element.getObject(), asciiText);
}

int LDAPSchemaStrategyParser::parseObjectClass(const memorylib::gc_ptr<LDAPObjectClass>& element,
                                               std::string_view asciiText)
{
    return parseObjectClassText(element.getObject(), asciiText);
}

int LDAPSchemaStrategyParser::parseMatchingRule(const memorylib::gc_ptr<LDAPMatchingRule>& element,
                                                std::string_view asciiText)
{
    return parseMatchingRuleText(element.getObject(), asciiText);
}

int LDAPSchemaStrategyParser::parseSyntax(const memorylib::gc_ptr<LDAPSyntaxObject>& element,
                                          std::string_view asciiText)
{
    return parseSyntaxText(element.getObject(), asciiText);
}

} // namespace ldapmodel
