#pragma once

#include <string>
#include <vector>

namespace ldapmodel {

class LDAPEntry;

// Reads one LDIF add record into an entry. A record is 8-bit text whose
// lines end in line feeds; plain values are ISO-8859-1, Base64 values are
// bytes (the DN's read as UTF-8). Only "dn:" and attribute lines are
// understood: a "-" line, a line without ": " or a file reference fails.
//
// Work and memory grow linearly with the record: a record is unfolded in
// place, each value is built in its own buffer once, and the attributes are
// found by name through an index.
class LdifRecordReader {
public:
    static constexpr const char* FILE_REFERENCE_CAPTION = "File reference";
    static constexpr const char* VERSION_CAPTION = "Incompatible version";

    // Fills the (new, empty) entry from the record's logical lines, in
    // order. 0, or -1 at the first line that fails.
    static int createFromLdifString(LDAPEntry& entry, const std::string& record);
    // The same, unfolding the record in place (it is left unfolded).
    static int createFromLdifString(LDAPEntry& entry, std::string&& record);

    // Unfolds the record: a physical line that starts with a space continues
    // the logical line before it, without that space. The logical lines are
    // appended to lines. -1 for an empty record or one without a line feed.
    static int splitLdifStringInLines(const std::string& record, std::vector<std::string>& lines);

    // Interprets one logical line:
    //  - ":< " anywhere: "File reference" box (warning), -1;
    //  - a zero byte anywhere (it has no place in LDIF text and would cut
    //    the DN or value short), no ": ", a leading space, ":" or ";", or a
    //    space before the first ":": -1 without a message;
    //  - "version: 1" is accepted and ignored, any other "version: " line
    //    shows "Incompatible version" (warning) and gives -1;
    //  - "<description>:: <base64>": "dn" sets the DN from UTF-8, any other
    //    description gets the decoded bytes as they are;
    //  - "<description>: <text>": the DN or a text value, from ISO-8859-1.
    // The description is the text before the first ":" (options kept), the
    // value the text after the first space, leading spaces removed. 0 or -1.
    static int readLdifLine(LDAPEntry& entry, const std::string& line);

    // The "File reference" box a line with ":< " gets.
    static void showFileReferenceWarning();

    // True when some line of the record holds a zero byte.
    static bool holdsZeroByte(const std::string& record);
};

} // namespace ldapmodel
