// RDNs, parents and reversed paths of DNs as libldap reads them.

#include "session/DistinguishedName.h"
#include "utilities/Util.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using ldapmodel::DistinguishedName;

namespace {

struct DnCase {
    const wchar_t* dn;
    std::vector<std::wstring> components;
    const wchar_t* rdn;
    const wchar_t* parent;
};

void PrintTo(const DnCase& c, std::ostream* out)
{
    *out << util::toUtf8(c.dn);
}

class DistinguishedNameCases : public ::testing::TestWithParam<DnCase> {};

} // namespace

TEST_P(DistinguishedNameCases, SplitsWhereLibldapDoesAndKeepsEachRdnAsWritten)
{
    const DnCase& c = GetParam();
    EXPECT_EQ(DistinguishedName::components(c.dn), c.components);
    EXPECT_EQ(DistinguishedName::rdn(c.dn), c.rdn);
    EXPECT_EQ(DistinguishedName::parent(c.dn), c.parent);

    std::vector<std::wstring> reversed(c.components.rbegin(), c.components.rend());
    EXPECT_EQ(DistinguishedName::reversed(c.dn), DistinguishedName::join(reversed));
    EXPECT_EQ(DistinguishedName::normalized(c.dn), DistinguishedName::join(c.components));
    // A reversed DN is a path of the same RDNs; turned back it is the DN.
    EXPECT_EQ(DistinguishedName::reversed(DistinguishedName::reversed(c.dn)),
              DistinguishedName::normalized(c.dn));
}

INSTANTIATE_TEST_SUITE_P(
    Dns, DistinguishedNameCases,
    ::testing::Values(
        DnCase{L"cn=Smith\\, John,ou=People,dc=example,dc=com",
               {L"cn=Smith\\, John", L"ou=People", L"dc=example", L"dc=com"},
               L"cn=Smith\\, John",
               L"ou=People,dc=example,dc=com"},
        DnCase{L"cn=Smith\\2C John,ou=People", {L"cn=Smith\\2C John", L"ou=People"},
               L"cn=Smith\\2C John", L"ou=People"},
        DnCase{L"cn=\"Smith, John\",ou=People", {L"cn=\"Smith, John\"", L"ou=People"},
               L"cn=\"Smith, John\"", L"ou=People"},
        DnCase{L"cn=\\\"quoted\\\",dc=x", {L"cn=\\\"quoted\\\"", L"dc=x"}, L"cn=\\\"quoted\\\"", L"dc=x"},
        DnCase{L"cn=a+sn=b,dc=x", {L"cn=a+sn=b", L"dc=x"}, L"cn=a+sn=b", L"dc=x"},
        DnCase{L"cn=a\\+b , ou=x + l=y ,dc=z", {L"cn=a\\+b", L"ou=x + l=y", L"dc=z"}, L"cn=a\\+b",
               L"ou=x + l=y,dc=z"},
        DnCase{L"cn=\u0141ukasz \u017B\u00F3\u0142kiewski,ou=People,dc=x",
               {L"cn=\u0141ukasz \u017B\u00F3\u0142kiewski", L"ou=People", L"dc=x"},
               L"cn=\u0141ukasz \u017B\u00F3\u0142kiewski", L"ou=People,dc=x"},
        DnCase{L" cn=Jos\u00E9 M\u00FCller , dc=x ", {L"cn=Jos\u00E9 M\u00FCller", L"dc=x"},
               L"cn=Jos\u00E9 M\u00FCller", L"dc=x"},
        // An escaped backslash before a comma does not escape the comma; an
        // escaped trailing blank stays.
        DnCase{L"cn=a\\\\,dc=x", {L"cn=a\\\\", L"dc=x"}, L"cn=a\\\\", L"dc=x"},
        DnCase{L"cn=tail\\ ,dc=x", {L"cn=tail\\ ", L"dc=x"}, L"cn=tail\\ ", L"dc=x"},
        DnCase{L"cn=a;dc=x", {L"cn=a", L"dc=x"}, L"cn=a", L"dc=x"},
        DnCase{L"dc=com", {L"dc=com"}, L"dc=com", L""},
        DnCase{L"", {}, L"", L""},
        DnCase{L"   ", {}, L"", L""},
        // No DN: the pieces between unescaped commas, no RDN.
        DnCase{L"not a dn", {L"not a dn"}, L"", L""},
        DnCase{L"cn=a,,dc=x", {L"cn=a", L"", L"dc=x"}, L"", L",dc=x"},
        DnCase{L"junk, dc=x\\,y ,dc=z", {L"junk", L"dc=x\\,y", L"dc=z"}, L"", L"dc=x\\,y,dc=z"}));

TEST(DistinguishedName, ParseTellsADnFromOtherText)
{
    std::vector<std::wstring> rdns{L"left over"};
    EXPECT_TRUE(DistinguishedName::parse(L"uid=a\\,b,dc=x", rdns));
    EXPECT_EQ(rdns, (std::vector<std::wstring>{L"uid=a\\,b", L"dc=x"}));
    for (const wchar_t* text : {L"=a,dc=x", L"cn=a,", L"cn=a, ,dc=x", L"cn=a\\", L"cn=#zz"}) {
        EXPECT_FALSE(DistinguishedName::parse(text, rdns)) << util::toUtf8(text);
        EXPECT_TRUE(rdns.empty());
    }
    std::wstring withZero = L"cn=a,dc=x";
    withZero[4] = L'\0';
    EXPECT_FALSE(DistinguishedName::parse(withZero, rdns));
}

TEST(DistinguishedName, OneKeyForEveryWayOfWritingAnRdn)
{
    const std::wstring key = DistinguishedName::rdnKey(L"cn=Smith\\, John");
    for (const wchar_t* rdn : {L"cn=Smith\\2C John", L"cn=\"Smith, John\"", L" cn = Smith\\, John ", L"cn=Smith\\2c John"})
        EXPECT_EQ(DistinguishedName::rdnKey(rdn), key) << util::toUtf8(rdn);
    EXPECT_EQ(DistinguishedName::rdnKey(L"cn=\\C5\\81ukasz"), DistinguishedName::rdnKey(L"cn=\u0141ukasz"));
    EXPECT_NE(DistinguishedName::rdnKey(L"cn=Smith\\, Jane"), key);
    EXPECT_EQ(DistinguishedName::rdnKey(L"cn=a+sn=b"), L"cn=a+sn=b");
    // Not one RDN: the text itself.
    EXPECT_EQ(DistinguishedName::rdnKey(L" not an rdn "), L"not an rdn");
    EXPECT_EQ(DistinguishedName::rdnKey(L"cn=a,dc=x"), L"cn=a,dc=x");
    EXPECT_EQ(DistinguishedName::rdnKey(L""), L"");
}

TEST(DistinguishedNameWithin, ComparesRdnsAsLibldapWritesThemAndRebasesTheRest)
{
    const std::wstring base = L"ou=People,dc=example,dc=com";
    struct Case {
        const wchar_t* dn;
        bool within;
    };
    for (const Case& c : {Case{L"ou=People,dc=example,dc=com", true}, Case{L"OU=people, DC=Example,dc=com", true},
                          Case{L"uid=a,ou=People,dc=example,dc=com", true},
                          Case{L"cn=x,uid=a,ou=People,dc=example,dc=com", true},
                          Case{L"ou=Groups,dc=example,dc=com", false}, Case{L"dc=example,dc=com", false},
                          Case{L"ou=People,dc=example,dc=org", false}, Case{L"ou=People2,dc=example,dc=com", false}})
        EXPECT_EQ(DistinguishedName::isWithin(c.dn, base), c.within) << util::toUtf8(c.dn);
    // The same RDN written two ways, and the empty base that holds everything.
    EXPECT_TRUE(DistinguishedName::isWithin(L"cn=x,cn=Smith\\2C John,o=y", L"cn=Smith\\, John,o=y"));
    EXPECT_TRUE(DistinguishedName::isWithin(L"cn=x,o=y", L""));

    EXPECT_EQ(DistinguishedName::rebased(L"cn=x,uid=a,OU=people,dc=example,dc=com", base, L"uid=a,ou=Copy,o=y"),
              L"cn=x,uid=a,uid=a,ou=Copy,o=y");
    EXPECT_EQ(DistinguishedName::rebased(base, base, L"ou=People,o=y"), L"ou=People,o=y");
}
