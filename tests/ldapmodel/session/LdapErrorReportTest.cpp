#include "session/LdapErrorReport.h"
#include "support/ScriptedMessageBoxes.h"

#include <ldap.h>

#include <gtest/gtest.h>

namespace {

using ldapmodel::ldapErrorText;
using ldapmodel::ldapResultCode;
using ldapmodel::reportLdapError;

std::wstring libraryText(int code)
{
    std::string text = ldap_err2string(code);
    return std::wstring(text.begin(), text.end());
}

TEST(LdapErrorReportTest, ShowsContextCodeAndLibraryText)
{
    dirtest::ScriptedMessageBoxes boxes;
    reportLdapError(LDAP_INVALID_CREDENTIALS, L"Bind to server");
    ASSERT_EQ(boxes.boxes().size(), 1u);
    const util::MessageBoxRequest box = boxes.boxes()[0];
    EXPECT_EQ(box.text, L"Bind to server. LDAPError 49: " + libraryText(LDAP_INVALID_CREDENTIALS));
    EXPECT_EQ(box.caption, L"LDAP Message");
    EXPECT_EQ(box.icon, util::BoxIcon::Warning);
    EXPECT_EQ(box.buttons, util::BoxButtons::Ok);

    boxes.clear();
    reportLdapError(LDAP_SIZELIMIT_EXCEEDED, L"");
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, L". LDAPError 4: Size limit exceeded");
}

TEST(LdapErrorReportTest, CodesAboveHundredAndNegativeCodesShowNothing)
{
    dirtest::ScriptedMessageBoxes boxes;
    reportLdapError(101, L"x");
    reportLdapError(0x4100, L"x");
    reportLdapError(-1, L"x");
    reportLdapError(-17, L"x");
    EXPECT_TRUE(boxes.boxes().empty());
    reportLdapError(100, L"x");
    reportLdapError(0, L"x");
    EXPECT_EQ(boxes.boxes().size(), 2u);
}

TEST(LdapErrorReportTest, ClientCodesMoveToEightyOneAndUp)
{
    EXPECT_EQ(ldapResultCode(LDAP_SERVER_DOWN), 81);
    EXPECT_EQ(ldapResultCode(LDAP_LOCAL_ERROR), 82);
    EXPECT_EQ(ldapResultCode(LDAP_TIMEOUT), 85);
    EXPECT_EQ(ldapResultCode(LDAP_FILTER_ERROR), 87);
    EXPECT_EQ(ldapResultCode(LDAP_CONNECT_ERROR), 91);
    EXPECT_EQ(ldapResultCode(LDAP_REFERRAL_LIMIT_EXCEEDED), 97);
    // Server codes and codes outside the client range stay.
    EXPECT_EQ(ldapResultCode(0), 0);
    EXPECT_EQ(ldapResultCode(49), 49);
    EXPECT_EQ(ldapResultCode(-18), -18);
    EXPECT_EQ(ldapResultCode(0x4100), 0x4100);

    EXPECT_EQ(ldapErrorText(81), libraryText(LDAP_SERVER_DOWN));
    EXPECT_EQ(ldapErrorText(85), libraryText(LDAP_TIMEOUT));
    EXPECT_EQ(ldapErrorText(97), libraryText(LDAP_REFERRAL_LIMIT_EXCEEDED));
    EXPECT_EQ(ldapErrorText(32), libraryText(LDAP_NO_SUCH_OBJECT));
}

TEST(LdapErrorReportTest, MovedClientCodesAreReportedWithTheLibraryText)
{
    dirtest::ScriptedMessageBoxes boxes;
    reportLdapError(ldapResultCode(LDAP_FILTER_ERROR), L"Search");
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, L"Search. LDAPError 87: " + libraryText(LDAP_FILTER_ERROR));
}

TEST(LdapErrorReportTest, OptionFailuresAreLocalErrors)
{
    EXPECT_EQ(ldapmodel::ldapOptionResultCode(LDAP_OPT_SUCCESS), 0);
    EXPECT_EQ(ldapmodel::ldapOptionResultCode(LDAP_OPT_ERROR), 82);
}

} // namespace
