#include "ldif/LdifLine.h"

#include "records/LDAPAttributeValue.h"
#include "utilities/Util.h"

namespace ldapmodel {

namespace {

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

} // namespace

LdifLine::Split LdifLine::split(std::string_view line, LdifLine& out)
{
    out = LdifLine();
    if (line.find(":< ") != std::string_view::npos)
        return Split::FileReference;
    if (line.find('\0') != std::string_view::npos || line.find(": ") == std::string_view::npos)
        return Split::Malformed;
    const char first = line[0];
    if (first == ' ' || first == ':' || first == ';')
        return Split::Malformed;
    const std::size_t colon = line.find(':');
    const std::size_t space = line.find(' ');
    if (space < colon)
        return Split::Malformed;
    out.m_description = line.substr(0, colon);
    out.m_bBase64 = line.compare(colon, 3, ":: ") == 0 && space == colon + 2;
    const std::size_t valueStart = line.find_first_not_of(' ', space + 1);
    out.m_value = valueStart == std::string_view::npos ? std::string_view() : line.substr(valueStart);
    return Split::Ok;
}

bool LdifLine::sameName(std::string_view left, std::string_view right)
{
    if (left.size() != right.size())
        return false;
    for (std::size_t i = 0; i < left.size(); ++i) {
        if (lower(left[i]) != lower(right[i]))
            return false;
    }
    return true;
}

bool LdifLine::is(std::string_view name) const
{
    return sameName(m_description, name);
}

std::string LdifLine::bytes() const
{
    if (!m_bBase64)
        return util::toUtf8(util::fromAnsi(std::string(m_value)));
    std::string decoded(util::base64DecodedBound(m_value.size()), '\0');
    decoded.resize(util::base64DecodeTo(m_value.data(), m_value.size(),
                                        reinterpret_cast<unsigned char*>(decoded.data())));
    return decoded;
}

std::wstring LdifLine::text() const
{
    return m_bBase64 ? util::fromUtf8(bytes()) : util::fromAnsi(std::string(m_value));
}

memorylib::gc_ptr<LDAPAttributeValue> LdifLine::value() const
{
    const std::string content = bytes();
    return new LDAPAttributeValue(content.data(), content.size());
}

} // namespace ldapmodel
