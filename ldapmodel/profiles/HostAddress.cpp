#include "profiles/HostAddress.h"

#include "utilities/Util.h"

#include <arpa/inet.h>

#include <cwctype>

namespace ldapmodel {

const wchar_t* const HostAddress::kAccepted =
    L"The Host field takes a host name or IP address, host:port, an IPv6 address in brackets "
    L"([2001:db8::1] or [2001:db8::1]:636), or an ldap:// or ldaps:// URL (ldaps://ldap.example.com:636).";

namespace {

constexpr std::size_t kMaxHostLength = 253;

bool startsWithIgnoringCase(const std::wstring& text, const std::wstring& prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::towlower(static_cast<wint_t>(text[i])) != static_cast<wint_t>(prefix[i]))
            return false;
    }
    return true;
}

bool isHostName(const std::wstring& host)
{
    if (host.empty() || host.size() > kMaxHostLength || host.front() == L'.' || host.front() == L'-')
        return false;
    for (wchar_t c : host) {
        const bool allowed = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9')
                             || c == L'.' || c == L'-' || c == L'_';
        if (!allowed)
            return false;
    }
    return true;
}

// An IPv6 address, with an optional "%zone".
bool isIpv6Address(const std::wstring& text)
{
    const std::size_t percent = text.find(L'%');
    const std::wstring address = text.substr(0, percent);
    if (percent != std::wstring::npos && !isHostName(text.substr(percent + 1)))
        return false;
    for (wchar_t c : address) {
        if (c > 0x7F)
            return false;
    }
    unsigned char bytes[16];
    return ::inet_pton(AF_INET6, util::toUtf8(address).c_str(), bytes) == 1;
}

// 1 to 65535 in decimal digits; 0 for anything else.
int parsePort(const std::wstring& text)
{
    if (text.empty() || text.size() > 5)
        return 0;
    int port = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9')
            return 0;
        port = port * 10 + (c - L'0');
    }
    return port <= 65535 ? port : 0;
}

// "host", "host:port", "[v6]", "[v6]:port" or a bare IPv6 address.
bool parseAuthority(const std::wstring& text, HostAddress& address)
{
    if (!text.empty() && text.front() == L'[') {
        const std::size_t close = text.find(L']');
        if (close == std::wstring::npos || !isIpv6Address(text.substr(1, close - 1)))
            return false;
        address.host = text.substr(1, close - 1);
        if (close + 1 == text.size())
            return true;
        if (text[close + 1] != L':')
            return false;
        address.port = parsePort(text.substr(close + 2));
        return address.port != 0;
    }
    const std::size_t colon = text.find(L':');
    if (colon != std::wstring::npos && text.find(L':', colon + 1) != std::wstring::npos) {
        if (!isIpv6Address(text))
            return false;
        address.host = text;
        return true;
    }
    address.host = text.substr(0, colon);
    if (!isHostName(address.host))
        return false;
    if (colon == std::wstring::npos)
        return true;
    address.port = parsePort(text.substr(colon + 1));
    return address.port != 0;
}

} // namespace

bool HostAddress::parse(const std::wstring& text, HostAddress& address)
{
    std::wstring rest = util::trimChars(text, L" \t\r\n", L" \t\r\n");
    HostAddress parsed;
    if (startsWithIgnoringCase(rest, L"ldaps://")) {
        parsed.scheme = Scheme::Ldaps;
        rest = rest.substr(8);
    } else if (startsWithIgnoringCase(rest, L"ldap://")) {
        parsed.scheme = Scheme::Ldap;
        rest = rest.substr(7);
    }
    if (parsed.scheme != Scheme::None && !rest.empty() && rest.back() == L'/')
        rest.pop_back();
    if (!parseAuthority(rest, parsed))
        return false;
    address = parsed;
    return true;
}

} // namespace ldapmodel
