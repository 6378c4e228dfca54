#include "records/LDAPAttributeValue.h"
#include "session/LdapModList.h"

#include <ldap.h>

#include <gtest/gtest.h>

#include <string>

namespace {

using ldapmodel::LDAPAttributeValue;
using ldapmodel::LdapModList;
using ldapmodel::LdapModOperation;
using memorylib::gc_ptr;

TEST(LdapModListTest, EmptyListIsJustTheTerminator)
{
    LdapModList list;
    EXPECT_EQ(list.size(), 0u);
    ASSERT_NE(list.get(), nullptr);
    EXPECT_EQ(list.get()[0], nullptr);
}

TEST(LdapModListTest, RecordsCarryOperationTypeAndCountedValues)
{
    LdapModList list;
    std::string binary("\x00\x01\x00\xFF", 4);
    gc_ptr<LDAPAttributeValue> photo = new LDAPAttributeValue(binary.data(), binary.size());
    EXPECT_EQ(list.addRecord(LdapModOperation::Add, L"jpegPhoto", photo), 0);
    EXPECT_EQ(list.addRecord(LdapModOperation::Replace, L"cn",
                             {new LDAPAttributeValue(std::wstring(L"Jos\u00E9")),
                              new LDAPAttributeValue(std::wstring(L"b"))}),
              0);
    EXPECT_EQ(list.addRecord(LdapModOperation::Delete, L"description", std::vector<gc_ptr<LDAPAttributeValue>>()), 0);
    ASSERT_EQ(list.size(), 3u);

    LDAPMod** mods = list.get();
    ASSERT_NE(mods[0], nullptr);
    EXPECT_EQ(mods[0]->mod_op, LDAP_MOD_ADD | LDAP_MOD_BVALUES);
    EXPECT_STREQ(mods[0]->mod_type, "jpegPhoto");
    ASSERT_NE(mods[0]->mod_bvalues[0], nullptr);
    EXPECT_EQ(std::string(mods[0]->mod_bvalues[0]->bv_val, mods[0]->mod_bvalues[0]->bv_len), binary);
    EXPECT_EQ(mods[0]->mod_bvalues[1], nullptr);

    EXPECT_EQ(mods[1]->mod_op, LDAP_MOD_REPLACE | LDAP_MOD_BVALUES);
    EXPECT_STREQ(mods[1]->mod_type, "cn");
    EXPECT_EQ(std::string(mods[1]->mod_bvalues[0]->bv_val, mods[1]->mod_bvalues[0]->bv_len),
              "Jos\xC3\xA9");
    EXPECT_EQ(std::string(mods[1]->mod_bvalues[1]->bv_val, mods[1]->mod_bvalues[1]->bv_len), "b");
    EXPECT_EQ(mods[1]->mod_bvalues[2], nullptr);

    EXPECT_EQ(mods[2]->mod_op, LDAP_MOD_DELETE | LDAP_MOD_BVALUES);
    ASSERT_NE(mods[2]->mod_bvalues, nullptr);
    EXPECT_EQ(mods[2]->mod_bvalues[0], nullptr);
    EXPECT_EQ(mods[3], nullptr);
}

TEST(LdapModListTest, ValuesStayAliveWithTheList)
{
    LdapModList list;
    {
        gc_ptr<LDAPAttributeValue> value = new LDAPAttributeValue(std::wstring(L"kept"));
        list.addRecord(LdapModOperation::Add, L"cn", value);
    }
    LDAPMod** mods = list.get();
    EXPECT_EQ(std::string(mods[0]->mod_bvalues[0]->bv_val, mods[0]->mod_bvalues[0]->bv_len), "kept");
}

TEST(LdapModListTest, AnEmptyValueHandleAddsNothing)
{
    LdapModList list;
    EXPECT_EQ(list.addRecord(LdapModOperation::Add, L"cn",
                             {new LDAPAttributeValue(std::wstring(L"a")), gc_ptr<LDAPAttributeValue>()}),
              -1);
    EXPECT_EQ(list.addRecord(LdapModOperation::Add, L"cn", gc_ptr<LDAPAttributeValue>()), -1);
    EXPECT_EQ(list.size(), 0u);
    EXPECT_EQ(list.get()[0], nullptr);
}

} // namespace
