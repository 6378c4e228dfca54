#include "ldif/LdifRecordReader.h"

#include "faults/FaultGuard.h"
#include "records/LDAPAttributeValue.h"
#include "records/LDAPEntry.h"
#include "utilities/MessageBox.h"
#include "utilities/Util.h"

#include <vector>

namespace ldapmodel {

namespace {

const wchar_t FILE_REFERENCE_TEXT[] =
    L"For security reasons LDIF import doesn't accept file references.\n"
    L"This would allow LDIF import to access local resources and it is not recommended.\n"
    L"For more information please check RFC2849.";
const wchar_t VERSION_TEXT[] = L"Unsupported version file. It should be 1.\n";

bool isDnDescription(const std::string& description)
{
    return description.size() == 2 && (description[0] == 'd' || description[0] == 'D') &&
           (description[1] == 'n' || description[1] == 'N');
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
    if (line.find(":< ") != std::string::npos) {
        util::messageBox(util::fromAnsi(FILE_REFERENCE_CAPTION), FILE_REFERENCE_TEXT,
                         util::BoxIcon::Warning, util::BoxButtons::Ok);
        return -1;
    }
    if (line.find(": ") == std::string::npos)
        return -1;
    // The line holds ": ", so it has a first ":" and a first space.
    const char first = line[0];
    if (first == ' ' || first == ':' || first == ';')
        return -1;
    const std::size_t colon = line.find(':');
    const std::size_t space = line.find(' ');
    if (space < colon)
        return -1;

    const std::string description(line, 0, colon);
    // The name would end at the zero and could even become "dn".
    if (description.find('\0') != std::string::npos)
        return -1;
    std::size_t valueStart = line.find_first_not_of(' ', space + 1);
    const std::string value = valueStart == std::string::npos ? std::string() : line.substr(valueStart);

    if (line.compare(0, 9, "version: ") == 0) {
        if (line == "version: 1")
            return 0;
        util::messageBox(util::fromAnsi(VERSION_CAPTION), VERSION_TEXT, util::BoxIcon::Warning,
                         util::BoxButtons::Ok);
        return -1;
    }

    const bool base64 = line.compare(colon, 3, ":: ") == 0 && space == colon + 2;
    if (base64) {
        std::vector<unsigned char> bytes = util::base64Decode(value);
        const char* data = reinterpret_cast<const char*>(bytes.data());
        if (isDnDescription(description)) {
            entry.setDN(util::fromUtf8(std::string(data, bytes.size())));
            return 0;
        }
        // The bytes stay as they are: a binary value, or text in UTF-8.
        return entry.addAttributeValue(util::fromAnsi(description),
                                       new LDAPAttributeValue(data, bytes.size()));
    }
    if (isDnDescription(description)) {
        entry.setDN(util::fromAnsi(value));
        return 0;
    }
    return entry.addAttributeValue(util::fromAnsi(description), new LDAPAttributeValue(util::fromAnsi(value)));
}

int LdifRecordReader::createFromLdifString(LDAPEntry& entry, const std::string& record)
{
    DIRLOOK_GUARD(L"LdifRecordReader");
    std::vector<std::string> lines;
    if (splitLdifStringInLines(record, lines) != 0)
        return -1;
    for (const std::string& line : lines) {
        if (readLdifLine(entry, line) != 0)
            return -1;
    }
    return 0;
}

} // namespace ldapmodel
