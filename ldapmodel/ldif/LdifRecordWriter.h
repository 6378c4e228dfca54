#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace ldapmodel {

class LDAPAttribute;
class LDAPAttributeValue;
class LDAPEntry;

// Writes entries as LDIF content records: a DN line, then one line per value
// of each user attribute, each line folded to the line width and ended by a
// line feed. Plain text goes out in ISO-8859-1, Base64 text is the value's
// bytes (the DN's in UTF-8).
//
// Folding: with P the prefix length (name + 2, + 1 for the Base64 form; 4 for
// the DN line in either form) and W the width, while P plus the value's rest
// is longer than W, W - P value characters are written and the next piece
// goes on a line of its own after one space, with P = 1. So every line but
// the last of a value is W characters long, the first DN line in the "dn:: "
// form W + 1. Attribute lines use at least 50 as the width; the DN line uses
// the width as given. A piece holds at least one character.
//
// Never touches a reference count: safe on the worker thread with an entry
// that thread owns.
class LdifRecordWriter {
public:
    // Width of an LDIF file's lines, and of the text the wizard shows.
    static constexpr int FILE_LINE_WIDTH = 78;
    static constexpr int DISPLAY_LINE_WIDTH = 70;
    // Attribute lines are never folded narrower.
    static constexpr int MIN_ATTRIBUTE_LINE_WIDTH = 50;

    // The entry's record (DN line, attribute lines), without the empty line
    // that separates records. An attribute whose name isWritableName refuses
    // is left out, and its name appended to skippedNames when given. With
    // asciiOnly the DN and every value holding a byte outside printable
    // ASCII (0x20 to 0x7E) are written in Base64 as well, for LDIF tools
    // that take nothing else (RFC 2849's SAFE-STRING).
    static std::string entryRecord(const LDAPEntry& entry, int lineWidth,
                                   std::vector<std::wstring>* skippedNames = nullptr, bool asciiOnly = false);

    // A name that can stand as an attribute description in a record: an
    // attribute type of letters, digits, hyphens and dots that starts with a
    // letter or a digit, then options, each ";" and letters, digits and
    // hyphens; and none of "dn", "changetype" and "control" (any letter
    // case), which LDIF reads as lines of the record's own. Anything else
    // (a name from a hostile server holding ": " and line feeds) could plant
    // lines, or whole records, in the file.
    static bool isWritableName(const std::wstring& name);
    // The record at the display width, each byte as one character.
    static std::wstring entryRecordText(const LDAPEntry& entry);

    // "dn: " and the ISO-8859-1 text, or "dn:: " and the UTF-8 bytes in
    // Base64 when a character is above U+00FF or the plain line would not
    // read back as the DN (see mustBeBase64).
    static std::string dnLine(const std::wstring& dn, int lineWidth, bool asciiOnly = false);

    // One line per value ("" without values), each in the form that
    // mustBeBase64 picks.
    static std::string attributeText(const LDAPAttribute& attribute, int lineWidth);
    // "name: " and the value's text (up to its first zero) in ISO-8859-1.
    static std::string valueTextForm(const LDAPAttributeValue& value, const std::wstring& name,
                                     int lineWidth);
    // "name:: " and the value's bytes in Base64.
    static std::string valueBase64Form(const LDAPAttributeValue& value, const std::wstring& name,
                                       int lineWidth);

    // Base64 when the attribute type (options left out) has the binary value
    // kind, when a byte is 0x80 or above, or when a plain line would not read
    // back as the value: a zero byte, a line feed or a carriage return, a
    // leading space, ":" or "<", a trailing space, ":< " (a file reference),
    // a continuation line of spaces only (it would end the record), or the
    // attribute named "version" (its line would be taken for the version).
    static bool mustBeBase64(const LDAPAttributeValue& value, const std::wstring& name, int lineWidth);
    static bool isBinaryName(const std::wstring& name);
    static bool isVersionName(const std::wstring& name);
    // The byte rules above.
    static bool isSafePlainText(const char* bytes, std::size_t length);
    // Every byte is printable ASCII (0x20 to 0x7E).
    static bool isPrintableAscii(const char* bytes, std::size_t length);
    // Some line after the first of the folded value holds only spaces.
    static bool foldsToBlankLine(const char* value, std::size_t valueLength, std::size_t prefixLength,
                                 int lineWidth);

    // Appends prefix and value folded as above, then a line feed.
    static void appendFolded(std::string& out, const std::string& prefix, const char* value,
                             std::size_t valueLength, std::size_t prefixLength, int lineWidth);

private:
    static bool isPlainValue(const LDAPAttributeValue& value, const std::string& utf8Name, int lineWidth);
    static void appendAttributeText(std::string& out, const LDAPAttribute& attribute, int lineWidth,
                                    bool asciiOnly = false);
    static void appendTextForm(std::string& out, const LDAPAttributeValue& value,
                               const std::string& utf8Name, int lineWidth);
    static void appendBase64Form(std::string& out, const LDAPAttributeValue& value,
                                 const std::string& utf8Name, int lineWidth);
};

} // namespace ldapmodel
