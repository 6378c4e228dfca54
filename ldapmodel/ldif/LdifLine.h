#pragma once

#include "handles/gc_ptr.h"

#include <string>
#include <string_view>

namespace ldapmodel {

class LDAPAttributeValue;

// One logical line of an LDIF record taken apart by the rules content
// records are read with (LdifRecordReader::readLdifLine): the description
// before the first ":", then ": " and text in ISO-8859-1, or ":: " and
// Base64. The line's text must outlive the object.
class LdifLine {
public:
    enum class Split { Ok, Malformed, FileReference };

    // Malformed: no ": ", a zero byte, a leading space, ":" or ";", or a
    // space before the first ":". FileReference: ":< " anywhere (the caller
    // refuses it as the record reader does).
    static Split split(std::string_view line, LdifLine& out);

    std::string_view description() const { return m_description; }
    bool isBase64() const { return m_bBase64; }
    // The description is name, ASCII letter case ignored.
    bool is(std::string_view name) const;
    // The value's bytes: Base64 decoded, or the ISO-8859-1 text as UTF-8.
    std::string bytes() const;
    // The value as text: decoded Base64 read as UTF-8, or the ISO-8859-1 text.
    std::wstring text() const;
    memorylib::gc_ptr<LDAPAttributeValue> value() const;

    // ASCII letter case ignored.
    static bool sameName(std::string_view left, std::string_view right);

private:
    std::string_view m_description;
    std::string_view m_value;
    bool m_bBase64 = false;
};

} // namespace ldapmodel
