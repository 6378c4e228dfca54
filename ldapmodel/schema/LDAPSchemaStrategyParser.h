#pragma once

#include "handles/gc_ptr.h"
#include "schema/LDAPAttributeType.h"
#include "schema/LDAPMatchingRule.h"
#include "schema/LDAPObjectClass.h"
#include "schema/LDAPSyntaxObject.h"

#include <string>
#include <string_view>
#include <vector>

namespace ldapmodel {

// Fills schema elements from the description texts of a subschema entry.
// Keywords are found by case-sensitive substring search over the whole text.
// Every operation accepts any text: nothing is read outside it.
class LDAPSchemaStrategyParser {
public:
    // 0 on success; -1 when the text holds no "(", when the element is empty,
    // or when a keyword present in the text has no delimiter after it (the
    // fields that could be read are filled all the same).
    static int parseAttributeType(const memorylib::gc_ptr<LDAPAttributeType>& element,
                                  const std::wstring& text);
    static int parseObjectClass(const memorylib::gc_ptr<LDAPObjectClass>& element,
                                const std::wstring& text);
    static int parseMatchingRule(const memorylib::gc_ptr<LDAPMatchingRule>& element,
                                 const std::wstring& text);
    // Sets OID, description and human-readable flag; the value kind is binary
    // for a syntax marked X-NOT-HUMAN-READABLE 'TRUE' and text otherwise.
    static int parseSyntax(const memorylib::gc_ptr<LDAPSyntaxObject>& element,
                           const std::wstring& text);

    // The same over ASCII text (every byte below 0x80), which parses exactly
    // as its widened form; the loader uses these on the server's bytes.
    static int parseAttributeType(const memorylib::gc_ptr<LDAPAttributeType>& element,
                                  std::string_view asciiText);
    static int parseObjectClass(const memorylib::gc_ptr<LDAPObjectClass>& element,
                                std::string_view asciiText);
    static int parseMatchingRule(const memorylib::gc_ptr<LDAPMatchingRule>& element,
                                 std::string_view asciiText);
    static int parseSyntax(const memorylib::gc_ptr<LDAPSyntaxObject>& element,
                           std::string_view asciiText);

    // The OID of a description (quoted OIDs lose their apostrophes).
    static std::wstring readOid(const std::wstring& text);
    // The value after the first occurrence of keyword: skip to the first
    // delimiter character, skip the run of delimiters, take up to the next
    // one. Empty when the keyword is absent. When the keyword has no
    // delimiter after it the value is empty and *failed is set.
    static std::wstring readKeywordValue(const std::wstring& text, const std::wstring& keyword,
                                         const std::wstring& delimiters, bool* failed = nullptr);
    static bool hasKeyword(const std::wstring& text, const std::wstring& keyword);
    // Appends the names of a MUST or MAY list ("KEYWORD name" or
    // "KEYWORD ( a $ b )"). Returns -1 when the keyword has no space after it.
    static int readKeywordList(const std::wstring& text, const std::wstring& keyword,
                               wchar_t separator, std::vector<std::wstring>& list);
};

} // namespace ldapmodel
