#include "session/DistinguishedName.h"

#include "utilities/Util.h"

#include <ldap.h>

#include <algorithm>
#include <memory>

namespace ldapmodel {

namespace {

struct RdnFree {
    void operator()(LDAPAVA** rdn) const { ldap_rdnfree(rdn); }
};
using RdnOwner = std::unique_ptr<LDAPAVA*, RdnFree>;

// Byte ranges of the RDNs of a UTF-8 DN as libldap reads it.
bool rdnRanges(const std::string& text, std::vector<std::pair<std::size_t, std::size_t>>& ranges)
{
    const char* start = text.c_str();
    const char* end = start + text.size();
    const char* position = start;
    while (position < end) {
        LDAPRDN parsed = nullptr;
        char* next = nullptr;
        // ldap_str2rdn asserts on an empty string: position < end keeps it off.
        const int code = ldap_str2rdn(position, &parsed, &next, LDAP_DN_FORMAT_LDAP);
        RdnOwner owner(parsed);
        if (code != LDAP_SUCCESS || next == nullptr || next <= position || next > end)
            return false;
        ranges.emplace_back(static_cast<std::size_t>(position - start), static_cast<std::size_t>(next - position));
        if (next == end)
            return true;
        if (*next != ',' && *next != ';')
            return false;
        position = next + 1;
        // A separator must be followed by another RDN.
        if (position == end)
            return false;
    }
    return true;
}

// Without these a DN's RDNs are the pieces between its commas, whether
// libldap reads it as a DN or not: the split needs no parse.
bool splitsAtCommasAlone(const std::wstring& dn)
{
    return dn.find_first_of(L"\\\";") == std::wstring::npos && dn.find(L'\0') == std::wstring::npos;
}

// An RDN that libldap writes back as it is (letter case aside): no escapes,
// quotes, values in hex or further values, no blanks around "=", printable.
bool isPlainRdn(const std::wstring& rdn)
{
    for (std::size_t i = 0; i < rdn.size(); ++i) {
        const wchar_t c = rdn[i];
        if (c < 0x20 || c == 0x7F || c == L'\\' || c == L'"' || c == L'+' || c == L'#' || c == L',' ||
            c == L';' || c == L'<' || c == L'>')
            return false;
        if (c == L'=' && ((i > 0 && rdn[i - 1] == L' ') || (i + 1 < rdn.size() && rdn[i + 1] == L' ')))
            return false;
    }
    return true;
}

} // namespace

bool DistinguishedName::parse(const std::wstring& dn, std::vector<std::wstring>& rdns)
{
    rdns.clear();
    if (util::trimListPiece(dn).empty())
        return true;
    // A zero character would end the text libldap sees early.
    if (dn.find(L'\0') != std::wstring::npos)
        return false;
    const std::string text = util::toUtf8(dn);
    std::vector<std::pair<std::size_t, std::size_t>> ranges;
    if (!rdnRanges(text, ranges))
        return false;
    rdns.reserve(ranges.size());
    for (const auto& range : ranges)
        rdns.push_back(util::trimListPiece(util::fromUtf8(text.substr(range.first, range.second))));
    return true;
}

std::vector<std::wstring> DistinguishedName::components(const std::wstring& dn)
{
    if (util::trimListPiece(dn).empty())
        return {};
    if (splitsAtCommasAlone(dn))
        return util::splitList(dn, L",");
    std::vector<std::wstring> rdns;
    if (parse(dn, rdns))
        return rdns;
    return util::splitList(dn, L",");
}

std::wstring DistinguishedName::rdn(const std::wstring& dn)
{
    std::vector<std::wstring> rdns;
    if (!parse(dn, rdns) || rdns.empty())
        return std::wstring();
    return rdns.front();
}

std::wstring DistinguishedName::parent(const std::wstring& dn)
{
    std::vector<std::wstring> pieces = components(dn);
    if (pieces.size() < 2)
        return std::wstring();
    pieces.erase(pieces.begin());
    return join(pieces);
}

std::wstring DistinguishedName::normalized(const std::wstring& dn)
{
    return join(components(dn));
}

std::wstring DistinguishedName::reversed(const std::wstring& dn)
{
    std::vector<std::wstring> pieces = components(dn);
    return join(std::vector<std::wstring>(pieces.rbegin(), pieces.rend()));
}

std::wstring DistinguishedName::rdnKey(const std::wstring& rdn)
{
    const std::wstring trimmed = util::trimListPiece(rdn);
    if (trimmed.empty() || isPlainRdn(trimmed))
        return trimmed;
    const std::string text = util::toUtf8(trimmed);
    LDAPRDN parsed = nullptr;
    char* next = nullptr;
    const int code = ldap_str2rdn(text.c_str(), &parsed, &next, LDAP_DN_FORMAT_LDAP);
    RdnOwner owner(parsed);
    if (code != LDAP_SUCCESS || parsed == nullptr || next != text.c_str() + text.size())
        return trimmed;
    char* rendered = nullptr;
    if (ldap_rdn2str(parsed, &rendered, LDAP_DN_FORMAT_LDAPV3 | LDAP_DN_PRETTY) != LDAP_SUCCESS ||
        rendered == nullptr)
        return trimmed;
    std::wstring key = util::fromUtf8(rendered);
    ldap_memfree(rendered);
    return key;
}

namespace {

bool sameRdn(const std::wstring& left, const std::wstring& right)
{
    std::wstring a = DistinguishedName::rdnKey(left);
    std::wstring b = DistinguishedName::rdnKey(right);
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        wchar_t x = a[i];
        wchar_t y = b[i];
        if (x >= L'A' && x <= L'Z')
            x = static_cast<wchar_t>(x + (L'a' - L'A'));
        if (y >= L'A' && y <= L'Z')
            y = static_cast<wchar_t>(y + (L'a' - L'A'));
        if (x != y)
            return false;
    }
    return true;
}

} // namespace

bool DistinguishedName::isWithin(const std::wstring& dn, const std::wstring& base)
{
    const std::vector<std::wstring> inner = components(dn);
    const std::vector<std::wstring> outer = components(base);
    if (outer.size() > inner.size())
        return false;
    const std::size_t offset = inner.size() - outer.size();
    for (std::size_t i = 0; i < outer.size(); ++i) {
        if (!sameRdn(inner[offset + i], outer[i]))
            return false;
    }
    return true;
}

std::wstring DistinguishedName::rebased(const std::wstring& dn, const std::wstring& oldBase,
                                        const std::wstring& newBase)
{
    std::vector<std::wstring> pieces = components(dn);
    const std::size_t below = pieces.size() - std::min(pieces.size(), components(oldBase).size());
    pieces.resize(below);
    for (const std::wstring& piece : components(newBase))
        pieces.push_back(piece);
    return join(pieces);
}

std::wstring DistinguishedName::join(const std::vector<std::wstring>& rdns)
{
    std::wstring result;
    for (std::size_t i = 0; i < rdns.size(); ++i) {
        if (i > 0)
            result += L',';
        result += rdns[i];
    }
    return result;
}

} // namespace ldapmodel
