#include "ldif/LdifChangeRecord.h"

#include "faults/FaultGuard.h"
#include "ldif/LdifLine.h"
#include "ldif/LdifRecordReader.h"
#include "utilities/Util.h"

#include <string_view>

namespace ldapmodel {

namespace {

// The logical lines of a record, one at a time: a physical line that
// starts with a space continues the line before it, without the space.
class LogicalLines {
public:
    explicit LogicalLines(std::string_view record) : m_rest(record) {}

    bool next(std::string& line)
    {
        if (m_rest.empty())
            return false;
        line.clear();
        bool first = true;
        while (!m_rest.empty() && (first || m_rest.front() == ' ')) {
            const std::size_t end = m_rest.find('\n');
            const std::string_view physical = m_rest.substr(0, end);
            line.append(first ? physical : physical.substr(1));
            m_rest = end == std::string_view::npos ? std::string_view() : m_rest.substr(end + 1);
            first = false;
        }
        return true;
    }

private:
    std::string_view m_rest;
};

bool isVersionLine(const std::string& line)
{
    return line.compare(0, 9, "version: ") == 0;
}

// The line split by the content rules; a file reference gets the reader's
// box and counts as malformed.
bool splitLine(const std::string& line, LdifLine& out)
{
    switch (LdifLine::split(line, out)) {
    case LdifLine::Split::Ok:
        return true;
    case LdifLine::Split::FileReference:
        LdifRecordReader::showFileReferenceWarning();
        return false;
    case LdifLine::Split::Malformed:
        break;
    }
    return false;
}

// "control: <oid> [true|false][: value]": true when marked critical.
bool isCriticalControl(const std::wstring& text, std::wstring& oid)
{
    std::size_t end = text.find_first_of(L" :");
    oid = text.substr(0, end);
    if (end == std::wstring::npos)
        return false;
    const std::size_t flag = text.find_first_not_of(L' ', end);
    return flag != std::wstring::npos && text.compare(flag, 4, L"true") == 0;
}

} // namespace

bool LdifChangeRecord::isChangeRecord(const std::string& record)
{
    LogicalLines lines(record);
    std::string line;
    if (!lines.next(line))
        return false;
    if (isVersionLine(line)) {
        // Any other version is left to the content reader, which refuses it.
        if (line != "version: 1" || !lines.next(line))
            return false;
    }
    LdifLine split;
    if (LdifLine::split(line, split) != LdifLine::Split::Ok || !split.is("dn"))
        return false;
    while (lines.next(line)) {
        if (LdifLine::split(line, split) != LdifLine::Split::Ok)
            return false;
        if (split.is("changetype"))
            return true;
        if (!split.is("control"))
            return false;
    }
    return false;
}

int LdifChangeRecord::read(const std::string& record)
{
    DIRLOOK_GUARD(L"LdifChangeRecord");
    *this = LdifChangeRecord();
    std::vector<std::string> lines;
    LogicalLines walk(record);
    for (std::string line; walk.next(line);)
        lines.push_back(line);

    std::size_t next = 0;
    if (next < lines.size() && isVersionLine(lines[next])) {
        if (lines[next] != "version: 1")
            return -1;
        ++next;
    }
    LdifLine line;
    if (next >= lines.size() || !splitLine(lines[next], line) || !line.is("dn"))
        return -1;
    const std::size_t dnLine = next++;
    m_strDN = line.text();

    for (; next < lines.size(); ++next) {
        if (!splitLine(lines[next], line))
            return -1;
        if (!line.is("control"))
            break;
        std::wstring oid;
        if (isCriticalControl(line.text(), oid))
            m_criticalControls.push_back(oid);
    }
    if (next >= lines.size() || !line.is("changetype") || line.isBase64())
        return -1;
    const std::string type = line.bytes();
    ++next;
    auto named = [&type](const char* name) { return LdifLine::sameName(type, name); };
    if (named("add")) {
        m_type = Type::Add;
        return readAdd(lines, dnLine, next);
    }
    if (named("delete")) {
        m_type = Type::Delete;
        return next == lines.size() ? 0 : -1;
    }
    if (named("modify")) {
        m_type = Type::Modify;
        return readModifications(lines, next);
    }
    if (named("modrdn") || named("moddn")) {
        m_type = Type::ModDn;
        return readModDn(lines, next);
    }
    return -1;
}

int LdifChangeRecord::readAdd(const std::vector<std::string>& lines, std::size_t dnLine, std::size_t next)
{
    // The DN line and the attribute lines make the content record of the entry.
    std::string content = lines[dnLine] + '\n';
    for (std::size_t i = next; i < lines.size(); ++i)
        content.append(lines[i]).append(1, '\n');
    m_pEntry = new LDAPEntry();
    return LdifRecordReader::createFromLdifString(*m_pEntry, std::move(content));
}

int LdifChangeRecord::readModifications(const std::vector<std::string>& lines, std::size_t next)
{
    LdifLine line;
    while (next < lines.size()) {
        if (!splitLine(lines[next], line) || line.isBase64())
            return -1;
        Modification modification;
        if (line.is("add"))
            modification.operation = Operation::Add;
        else if (line.is("delete"))
            modification.operation = Operation::Delete;
        else if (line.is("replace"))
            modification.operation = Operation::Replace;
        else
            return -1;
        const std::string attribute = line.bytes();
        if (attribute.empty())
            return -1;
        modification.attribute = util::fromUtf8(attribute);
        for (++next; next < lines.size() && lines[next] != "-"; ++next) {
            if (!splitLine(lines[next], line) || !LdifLine::sameName(line.description(), attribute))
                return -1;
            modification.values.push_back(line.value());
        }
        m_modifications.push_back(std::move(modification));
        if (next < lines.size())
            ++next;  // the "-"
    }
    return 0;
}

int LdifChangeRecord::readModDn(const std::vector<std::string>& lines, std::size_t next)
{
    LdifLine line;
    if (next >= lines.size() || !splitLine(lines[next], line) || !line.is("newrdn"))
        return -1;
    m_strNewRdn = line.text();
    if (m_strNewRdn.empty())
        return -1;
    ++next;
    if (next >= lines.size() || !splitLine(lines[next], line) || !line.is("deleteoldrdn") || line.isBase64())
        return -1;
    const std::wstring flag = line.text();
    if (flag != L"0" && flag != L"1")
        return -1;
    m_bDeleteOldRdn = flag == L"1";
    ++next;
    if (next < lines.size()) {
        if (!splitLine(lines[next], line) || !line.is("newsuperior"))
            return -1;
        m_bHasNewSuperior = true;
        m_strNewSuperior = line.text();
        ++next;
    }
    return next == lines.size() ? 0 : -1;
}

} // namespace ldapmodel
