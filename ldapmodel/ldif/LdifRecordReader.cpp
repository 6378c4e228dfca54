#include "ldif/LdifRecordReader.h"

#include "faults/FaultGuard.h"
#include "records/LDAPAttribute.h"
#include "records/LDAPAttributeValue.h"
#include "records/LDAPEntry.h"
#include "schema/ValueKind.h"
#include "utilities/MessageBox.h"
#include "utilities/Util.h"

#include <cstring>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace ldapmodel {

namespace {

const wchar_t FILE_REFERENCE_TEXT[] =
    L"For security reasons LDIF import doesn't accept file references.\n"
    L"This would allow LDIF import to access local resources and it is not recommended.\n"
    L"For more information please check RFC2849.";
const wchar_t VERSION_TEXT[] = L"Unsupported version file. It should be 1.\n";

bool isDnDescription(std::string_view description)
{
    return description.size() == 2 && (description[0] == 'd' || description[0] == 'D') &&
           (description[1] == 'n' || description[1] == 'N');
}

// ISO-8859-1 text as a value in UTF-8, built in the value's own buffer.
memorylib::gc_ptr<LDAPAttributeValue> latin1Value(std::string_view text)
{
    std::size_t length = text.size();
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80)
            ++length;
    }
    std::unique_ptr<char[]> buffer(new char[length + 1]);
    char* out = buffer.get();
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            *out++ = c;
        } else {
            *out++ = static_cast<char>(0xC0 | (byte >> 6));
            *out++ = static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return new LDAPAttributeValue(std::move(buffer), length);
}

// Base64 text decoded into the value's own buffer.
memorylib::gc_ptr<LDAPAttributeValue> base64Value(std::string_view text)
{
    std::unique_ptr<char[]> buffer(new char[util::base64DecodedBound(text.size()) + 1]);
    const std::size_t length =
        util::base64DecodeTo(text.data(), text.size(), reinterpret_cast<unsigned char*>(buffer.get()));
    return new LDAPAttributeValue(std::move(buffer), length);
}

std::string decodedBase64(std::string_view text)
{
    std::string bytes(util::base64DecodedBound(text.size()), '\0');
    bytes.resize(util::base64DecodeTo(text.data(), text.size(), reinterpret_cast<unsigned char*>(bytes.data())));
    return bytes;
}

// Adds values to one entry as LDAPEntry::addAttributeValue does, finding
// the attribute by its name (ASCII letter case ignored) through an index
// instead of a walk over every attribute.
class EntryFiller {
public:
    explicit EntryFiller(LDAPEntry& entry) : m_entry(entry)
    {
        // The first of a name wins, user attributes before operational ones.
        for (const LDAPEntry::AttributeList* list :
             {&entry.getUserAttributes(), &entry.getOperationalAttributes()}) {
            for (const memorylib::gc_ptr<LDAPAttribute>& attribute : *list) {
                if (attribute.getObject() != nullptr)
                    m_index.emplace(folded(attribute->getName()), attribute.getObject());
            }
        }
    }

    int add(const std::wstring& name, const memorylib::gc_ptr<LDAPAttributeValue>& value)
    {
        auto found = m_index.find(folded(name));
        if (found == m_index.end()) {
            memorylib::gc_ptr<LDAPAttribute> attribute = new LDAPAttribute(name, VALUEKIND_UNKNOWN);
            attribute->setState(LDAPAttribute::ATTRIBUTE_NEW);
            attribute->addValue(value);
            m_entry.appendUserAttributes({attribute});
            m_index.emplace(folded(name), attribute.getObject());
            return 0;
        }
        if (found->second->addValue(value) != 0)
            return -1;
        found->second->setState(LDAPAttribute::ATTRIBUTE_EXISTING);
        return 0;
    }

    LDAPEntry& entry() { return m_entry; }

private:
    static std::wstring folded(const std::wstring& name)
    {
        std::wstring key = name;
        for (wchar_t& c : key) {
            if (c >= L'A' && c <= L'Z')
                c = static_cast<wchar_t>(c + (L'a' - L'A'));
        }
        return key;
    }

    LDAPEntry& m_entry;
    std::unordered_map<std::wstring, LDAPAttribute*> m_index;
};

int readLine(EntryFiller& filler, std::string_view line)
{
    if (line.find(":< ") != std::string_view::npos) {
        LdifRecordReader::showFileReferenceWarning();
        return -1;
    }
    // A zero would end the DN or a value, or even turn a name into "dn".
    if (line.find('\0') != std::string_view::npos)
        return -1;
    if (line.find(": ") == std::string_view::npos)
        return -1;
    // The line holds ": ", so it has a first ":" and a first space.
    const char first = line[0];
    if (first == ' ' || first == ':' || first == ';')
        return -1;
    const std::size_t colon = line.find(':');
    const std::size_t space = line.find(' ');
    if (space < colon)
        return -1;

    const std::string_view description = line.substr(0, colon);
    const std::size_t valueStart = line.find_first_not_of(' ', space + 1);
    const std::string_view value =
        valueStart == std::string_view::npos ? std::string_view() : line.substr(valueStart);

    if (line.compare(0, 9, "version: ") == 0) {
        if (line == "version: 1")
            return 0;
        util::messageBox(util::fromAnsi(LdifRecordReader::VERSION_CAPTION), VERSION_TEXT, util::BoxIcon::Warning,
                         util::BoxButtons::Ok);
        return -1;
    }

    const bool base64 = line.compare(colon, 3, ":: ") == 0 && space == colon + 2;
    if (isDnDescription(description)) {
        filler.entry().setDN(base64 ? util::fromUtf8(decodedBase64(value)) : util::fromAnsi(std::string(value)));
        return 0;
    }
    // Base64 bytes stay as they are: a binary value, or text in UTF-8.
    return filler.add(util::fromAnsi(std::string(description)), base64 ? base64Value(value) : latin1Value(value));
}

} // namespace

int LdifRecordReader::splitLdifStringInLines(const std::string& record, std::vector<std::string>& lines)
{
    DIRLOOK_GUARD(L"LdifRecordReader");
    std::size_t end = record.find('\n');
    if (record.empty() || end == std::string::npos)
        return -1;
    std::string current(record, 0, end);
    std::size_t start = end + 1;
    while (start < record.size()) {
        end = record.find('\n', start);
        if (end == std::string::npos)
            end = record.size();
        if (record[start] == ' ') {
            current.append(record, start + 1, end - start - 1);
        } else {
            lines.push_back(std::move(current));
            current.assign(record, start, end - start);
        }
        start = end + 1;
    }
    lines.push_back(std::move(current));
    return 0;
}

int LdifRecordReader::readLdifLine(LDAPEntry& entry, const std::string& line)
{
    DIRLOOK_GUARD(L"LdifRecordReader");
    EntryFiller filler(entry);
    return readLine(filler, line);
}

void LdifRecordReader::showFileReferenceWarning()
{
    util::messageBox(util::fromAnsi(FILE_REFERENCE_CAPTION), FILE_REFERENCE_TEXT, util::BoxIcon::Warning,
                     util::BoxButtons::Ok);
}

bool LdifRecordReader::holdsZeroByte(const std::string& record)
{
    return std::memchr(record.data(), '\0', record.size()) != nullptr;
}

int LdifRecordReader::createFromLdifString(LDAPEntry& entry, const std::string& record)
{
    return createFromLdifString(entry, std::string(record));
}

int LdifRecordReader::createFromLdifString(LDAPEntry& entry, std::string&& record)
{
    DIRLOOK_GUARD(L"LdifRecordReader");
    if (record.empty() || record.find('\n') == std::string::npos)
        return -1;
    // Unfolds in place: every line feed followed by a space goes, with the
    // space. The first line stays as it is whatever it starts with.
    std::size_t kept = 0;
    for (std::size_t at = 0; at < record.size(); ++at) {
        if (record[at] == '\n' && at + 1 < record.size() && record[at + 1] == ' ') {
            ++at;
            continue;
        }
        record[kept++] = record[at];
    }
    record.resize(kept);

    EntryFiller filler(entry);
    std::string_view rest(record);
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        if (readLine(filler, line) != 0)
            return -1;
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    return 0;
}

} // namespace ldapmodel
