#include "records/LDAPEntry.h"
#include "schema/ValueKind.h"
#include "session/LdapSession.h"
#include "support/ScriptedMessageBoxes.h"

#include <gtest/gtest.h>

namespace {

using ldapmodel::LDAPAttribute;
using ldapmodel::LDAPAttributeValue;
using ldapmodel::LDAPEntry;
using memorylib::gc_ptr;

gc_ptr<LDAPAttributeValue> text(const wchar_t* value) { return new LDAPAttributeValue(std::wstring(value)); }

gc_ptr<LDAPAttribute> attributeWith(const wchar_t* name, const wchar_t* value)
{
    gc_ptr<LDAPAttribute> attribute = new LDAPAttribute(name, ldapmodel::VALUEKIND_UNKNOWN);
    if (value != nullptr)
        attribute->addValue(text(value));
    return attribute;
}

TEST(LDAPEntryTest, NewEntry)
{
    gc_ptr<LDAPEntry> entry = new LDAPEntry();
    EXPECT_EQ(entry->getDN(), L"");
    EXPECT_TRUE(entry->isOld());
    EXPECT_FALSE(entry->isChildrenComplete());
    EXPECT_FALSE(entry->isCutShort());
    EXPECT_EQ(entry->getUserAttributeCount(), 0);
    EXPECT_TRUE(entry->getOperationalAttributes().empty());
    EXPECT_TRUE(entry->getChildren().empty());
}

TEST(LDAPEntryTest, SetDnRemovesBlanksAroundCommasAndAtTheEnds)
{
    LDAPEntry entry;
    entry.setDN(L"  cn=John Smith , ou=People ,  dc=example , dc=com  ");
    EXPECT_EQ(entry.getDN(), L"cn=John Smith,ou=People,dc=example,dc=com");
    entry.setDN(L"  dc=com  ");
    EXPECT_EQ(entry.getDN(), L"dc=com");
    entry.setDN(L"   ");
    EXPECT_EQ(entry.getDN(), L"");
    entry.setDN(L"");
    EXPECT_EQ(entry.getDN(), L"");
    // An escaped comma belongs to the value: it neither splits nor loses
    // the blank after it.
    entry.setDN(L"cn=Smith\\, John , dc=com");
    EXPECT_EQ(entry.getDN(), L"cn=Smith\\, John,dc=com");
    entry.setDN(L" cn=a\\  ");
    EXPECT_EQ(entry.getDN(), L"cn=a\\ ");
    // Only U+0020 is a blank here.
    entry.setDN(L"\tcn=a ,dc=com");
    EXPECT_EQ(entry.getDN(), L"\tcn=a,dc=com");
}

TEST(LDAPEntryTest, ParentDnIsTheTextAfterTheFirstComma)
{
    LDAPEntry entry;
    entry.setDN(L"ou=People,dc=com");
    EXPECT_EQ(entry.getParentDN(), L"dc=com");
    entry.setDN(L"cn=a,ou=People,dc=com");
    EXPECT_EQ(entry.getParentDN(), L"ou=People,dc=com");
    entry.setDN(L"dc=com");
    EXPECT_EQ(entry.getParentDN(), L"dc=com");
    entry.setDN(L"");
    EXPECT_EQ(entry.getParentDN(), L"");
}

TEST(LDAPEntryTest, RdnIsTheFirstComponentWithItsType)
{
    LDAPEntry entry;
    entry.setDN(L"cn=John Smith,ou=People,dc=example,dc=com");
    EXPECT_EQ(entry.getRDN(), L"cn=John Smith");
    entry.setDN(L"cn=Jos\u00E9 M\u00FCller,dc=com");
    EXPECT_EQ(entry.getRDN(), L"cn=Jos\u00E9 M\u00FCller");
    entry.setDN(L"dc=com");
    EXPECT_EQ(entry.getRDN(), L"dc=com");
    entry.setDN(L"not a dn");
    EXPECT_EQ(entry.getRDN(), L"");
    entry.setDN(L"");
    EXPECT_EQ(entry.getRDN(), L"");
}

TEST(LDAPEntryTest, RdnAndParentKeepSeparatorsInsideValues)
{
    LDAPEntry entry;
    entry.setDN(L"cn=Smith\\, John,ou=People,dc=com");
    EXPECT_EQ(entry.getRDN(), L"cn=Smith\\, John");
    EXPECT_EQ(entry.getParentDN(), L"ou=People,dc=com");
    entry.setDN(L"cn=\"Doe, Jane\" , ou=People,dc=com");
    EXPECT_EQ(entry.getDN(), L"cn=\"Doe, Jane\",ou=People,dc=com");
    EXPECT_EQ(entry.getRDN(), L"cn=\"Doe, Jane\"");
    EXPECT_EQ(entry.getParentDN(), L"ou=People,dc=com");
    entry.setDN(L"cn=a+sn=b,dc=com");
    EXPECT_EQ(entry.getRDN(), L"cn=a+sn=b");
    EXPECT_EQ(entry.getParentDN(), L"dc=com");
}

TEST(LDAPEntryTest, AddAttributeValueCreatesThenExtends)
{
    gc_ptr<LDAPEntry> entry = new LDAPEntry();
    entry->addAttribute(attributeWith(L"sn", L"Smith"));
    EXPECT_EQ(entry->addAttributeValue(L"mail", text(L"a@example.com")), 0);
    ASSERT_EQ(entry->getUserAttributeCount(), 2);
    gc_ptr<LDAPAttribute> mail = entry->getUserAttributes()[1];
    EXPECT_EQ(mail->getName(), L"mail");
    EXPECT_EQ(mail->getState(), LDAPAttribute::ATTRIBUTE_NEW);
    EXPECT_EQ(mail->getValueCount(), 1);

    EXPECT_EQ(entry->addAttributeValue(L"MAIL", text(L"b@example.com")), 0);
    EXPECT_EQ(entry->getUserAttributeCount(), 2);
    EXPECT_EQ(mail->getValueCount(), 2);
    EXPECT_EQ(mail->getValue(1)->toString(), L"b@example.com");
    EXPECT_EQ(mail->getState(), LDAPAttribute::ATTRIBUTE_EXISTING);
    EXPECT_EQ(mail->getName(), L"mail");
}

TEST(LDAPEntryTest, AddAttributeValueWithAnEmptyHandleChangesNothing)
{
    gc_ptr<LDAPEntry> entry = new LDAPEntry();
    EXPECT_EQ(entry->addAttributeValue(L"cn", gc_ptr<LDAPAttributeValue>()), -1);
    EXPECT_EQ(entry->getUserAttributeCount(), 0);
    entry->addAttributeValue(L"cn", text(L"a"));
    EXPECT_EQ(entry->addAttributeValue(L"cn", gc_ptr<LDAPAttributeValue>()), -1);
    EXPECT_EQ(entry->getAttribute(L"cn")->getValueCount(), 1);
    EXPECT_EQ(entry->getAttribute(L"cn")->getState(), LDAPAttribute::ATTRIBUTE_NEW);
}

TEST(LDAPEntryTest, AddAttributeSkipsEmptyAndDuplicateNames)
{
    gc_ptr<LDAPEntry> entry = new LDAPEntry();
    entry->addAttribute(gc_ptr<LDAPAttribute>());
    entry->addAttribute(attributeWith(L"cn", nullptr));
    EXPECT_EQ(entry->getUserAttributeCount(), 0);

    gc_ptr<LDAPAttribute> cn = attributeWith(L"cn", L"first");
    entry->addAttribute(cn);
    entry->addAttribute(attributeWith(L"CN", L"second"));
    ASSERT_EQ(entry->getUserAttributeCount(), 1);
    EXPECT_EQ(entry->getUserAttributes()[0], cn);
    EXPECT_EQ(entry->getAttribute(L"Cn"), cn);
    EXPECT_EQ(entry->getAttribute(L"sn").getObject(), nullptr);
}

TEST(LDAPEntryTest, ClearAndChildren)
{
    gc_ptr<LDAPEntry> entry = new LDAPEntry();
    entry->addAttributeValue(L"cn", text(L"a"));
    entry->addChild(L"cn=x,dc=com");
    entry->addChild(L"cn=y,dc=com");
    entry->addChild(L"cn=x,dc=com");
    entry->removeChild(L"cn=x,dc=com");
    EXPECT_EQ(entry->getChildren(), std::vector<std::wstring>{L"cn=y,dc=com"});

    entry->setChildrenComplete(true);
    EXPECT_TRUE(entry->isChildrenComplete());
    EXPECT_EQ(entry->getChildren().size(), 1u);
    entry->setChildrenComplete(false);
    EXPECT_TRUE(entry->getChildren().empty());

    entry->addChild(L"cn=z,dc=com");
    entry->clear();
    EXPECT_EQ(entry->getUserAttributeCount(), 0);
    EXPECT_TRUE(entry->getChildren().empty());

    entry->setCutShort(true);
    EXPECT_TRUE(entry->isCutShort());
    entry->setOld(false);
    EXPECT_FALSE(entry->isOld());
}

TEST(LDAPEntryTest, OperationalAttributeNamesInOrder)
{
    EXPECT_EQ(LDAPEntry::operationalAttributeNames(),
              (std::vector<std::wstring>{L"createTimestamp", L"modifytimestamp", L"structuralObjectClass",
                                         L"entryUUID", L"creatorsName", L"entryCSN", L"modifiersName",
                                         L"subschemaSubentry", L"hasSubordinates", L"namingContexts"}));
}

TEST(LDAPEntryTest, ReadWithoutASessionFailsQuietlyAndKeepsTheEntry)
{
    dirtest::ScriptedMessageBoxes boxes;
    ldapmodel::LdapSession session;
    gc_ptr<LDAPEntry> entry = new LDAPEntry();
    entry->setDN(L"dc=com");
    entry->addAttributeValue(L"cn", text(L"a"));
    EXPECT_FALSE(entry->readFromServer(session, 0));
    EXPECT_EQ(entry->getUserAttributeCount(), 1);
    EXPECT_TRUE(entry->isOld());
    EXPECT_TRUE(boxes.boxes().empty());
}

} // namespace
