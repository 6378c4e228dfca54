#pragma once

#include <string>

namespace ldapmodel {

// What the Host field of a connection profile takes, as administrators
// paste it: a host name or IPv4 address, "host:port", an IPv6 address (bare,
// or in brackets with or without ":port"), or an ldap:// or ldaps:// URL
// ("ldaps://ldap.example.com:636/"). Leading and trailing blanks are
// dropped; anything else is refused.
struct HostAddress {
    enum class Scheme {
        None,  // no URL
        Ldap,  // ldap://
        Ldaps  // ldaps://
    };

    std::wstring host;  // an IPv6 address without its brackets
    int port = 0;       // 0: none given
    Scheme scheme = Scheme::None;

    // False (address unchanged) for text of any other form.
    static bool parse(const std::wstring& text, HostAddress& address);

    // The sentence that says what the Host field takes.
    static const wchar_t* const kAccepted;
};

} // namespace ldapmodel
