#include "profiles/HostAddress.h"

#include "utilities/Util.h"

#include <gtest/gtest.h>

namespace {

using ldapmodel::HostAddress;
using Scheme = ldapmodel::HostAddress::Scheme;

TEST(HostAddressTest, TakesWhatAdministratorsPaste)
{
    struct Case {
        std::wstring text;
        std::wstring host;
        int port;
        Scheme scheme;
    };
    const Case cases[] = {
        {L"ldap.example.com", L"ldap.example.com", 0, Scheme::None},
        {L"  ldap.example.com\t", L"ldap.example.com", 0, Scheme::None},
        {L"10.0.0.7:10389", L"10.0.0.7", 10389, Scheme::None},
        {L"dc_1.corp-x.example:636", L"dc_1.corp-x.example", 636, Scheme::None},
        {L"[2001:db8::1]", L"2001:db8::1", 0, Scheme::None},
        {L"[2001:db8::1]:636", L"2001:db8::1", 636, Scheme::None},
        {L"2001:db8::1", L"2001:db8::1", 0, Scheme::None},
        {L"::1", L"::1", 0, Scheme::None},
        {L"[fe80::1%eth0]:389", L"fe80::1%eth0", 389, Scheme::None},
        {L"ldap://ldap.example.com", L"ldap.example.com", 0, Scheme::Ldap},
        {L"LDAPS://ldap.example.com:10636/", L"ldap.example.com", 10636, Scheme::Ldaps},
        {L" ldaps://[::1]:636 ", L"::1", 636, Scheme::Ldaps},
        {L"ldap://127.0.0.1:389/", L"127.0.0.1", 389, Scheme::Ldap},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(util::toUtf8(c.text));
        HostAddress address;
        ASSERT_TRUE(HostAddress::parse(c.text, address));
        EXPECT_EQ(address.host, c.host);
        EXPECT_EQ(address.port, c.port);
        EXPECT_EQ(address.scheme, c.scheme);
    }
}

TEST(HostAddressTest, RefusesAnythingElseAndLeavesTheAddressAlone)
{
    const std::wstring refused[] = {
        L"",
        L"   ",
        L"ldap.example.com:0",
        L"ldap.example.com:65536",
        L"ldap.example.com:389x",
        L"ldap.example.com:",
        L"host name",
        L"host/path",
        L"-leading.dash",
        L"[2001:db8::1",
        L"[not-an-address]:389",
        L"[::1]389",
        L"1:2:3",
        L"ldapi:///var/run/slapd.sock",
        L"ldap://",
        L"ldap://host/dc=example,dc=com",
        L"ldaps://host:636?base",
        L"http://host",
        L"h\u00F6st.example",
    };
    for (const std::wstring& text : refused) {
        SCOPED_TRACE(util::toUtf8(text));
        HostAddress address;
        address.host = L"kept";
        address.port = 7;
        EXPECT_FALSE(HostAddress::parse(text, address));
        EXPECT_EQ(address.host, L"kept");
        EXPECT_EQ(address.port, 7);
    }
}

} // namespace
