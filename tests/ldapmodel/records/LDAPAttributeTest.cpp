#include "records/LDAPAttribute.h"
#include "schema/LDAPAttributeType.h"
#include "schema/LDAPSchema.h"
#include "schema/SyntaxRegistry.h"
#include "schema/ValueKind.h"

#include <gtest/gtest.h>

namespace {

using ldapmodel::LDAPAttribute;
using ldapmodel::LDAPAttributeValue;
using memorylib::gc_ptr;

gc_ptr<LDAPAttributeValue> text(const wchar_t* value) { return new LDAPAttributeValue(std::wstring(value)); }

TEST(LDAPAttributeTest, ConstructedEmptyOrFromNameAndKind)
{
    gc_ptr<LDAPAttribute> empty = new LDAPAttribute();
    EXPECT_EQ(empty->getName(), L"");
    EXPECT_EQ(empty->getValueCount(), 0);
    EXPECT_EQ(empty->getState(), LDAPAttribute::NO_STATE);
    EXPECT_EQ(empty->toString(), L"[LDAPAttribute:name=\n\t\t");

    gc_ptr<LDAPAttribute> named = new LDAPAttribute(L"cn", ldapmodel::VALUEKIND_TEXT);
    EXPECT_EQ(named->getName(), L"cn");
    EXPECT_EQ(named->getValueCount(), 0);
    named->setName(L"sn");
    EXPECT_EQ(named->getName(), L"sn");
}

TEST(LDAPAttributeTest, ToStringListsStateAndValues)
{
    gc_ptr<LDAPAttribute> attribute = new LDAPAttribute(L"cn", ldapmodel::VALUEKIND_TEXT);
    attribute->addValue(text(L"a"));
    attribute->addValue(text(L"b"));
    attribute->setState(LDAPAttribute::ATTRIBUTE_NEW);
    EXPECT_EQ(attribute->toString(), L"[LDAPAttribute:name=cn,ATTRIBUTE_NEW\n\t\ta,\n\t\tb,\n\t\t");

    attribute->setState(LDAPAttribute::ATTRIBUTE_EXISTING);
    EXPECT_EQ(attribute->toString(), L"[LDAPAttribute:name=cn\n\t\ta,\n\t\tb,\n\t\t");
    attribute->setState(LDAPAttribute::ATTRIBUTE_MODIFY);
    EXPECT_EQ(attribute->toString(), L"[LDAPAttribute:name=cn,ATTRIBUTE_MODIFY\n\t\ta,\n\t\tb,\n\t\t");
    attribute->setState(LDAPAttribute::ATTRIBUTE_DELETED);
    EXPECT_NE(attribute->toString().find(L",ATTRIBUTE_DELETED\n"), std::wstring::npos);
    attribute->setState(LDAPAttribute::ATTRIBUTE_BVALUES);
    EXPECT_NE(attribute->toString().find(L",ATTRIBUTE_BVALUES\n"), std::wstring::npos);
}

TEST(LDAPAttributeTest, NegativeStateIsIgnored)
{
    LDAPAttribute attribute(L"cn", ldapmodel::VALUEKIND_TEXT);
    attribute.setState(LDAPAttribute::ATTRIBUTE_NEW);
    attribute.setState(-5);
    EXPECT_EQ(attribute.getState(), LDAPAttribute::ATTRIBUTE_NEW);
    attribute.setState(0);
    EXPECT_EQ(attribute.getState(), 0);
}

TEST(LDAPAttributeTest, AddValueKeepsOrderAndDuplicates)
{
    LDAPAttribute attribute(L"mail", ldapmodel::VALUEKIND_IA5_STRING);
    gc_ptr<LDAPAttributeValue> a = text(L"a");
    EXPECT_EQ(attribute.addValue(gc_ptr<LDAPAttributeValue>()), -1);
    EXPECT_EQ(attribute.getValueCount(), 0);
    EXPECT_EQ(attribute.addValue(a), 0);
    EXPECT_EQ(attribute.addValue(a), 0);
    EXPECT_EQ(attribute.addValue(text(L"b")), 0);
    EXPECT_EQ(attribute.getValueCount(), 3);
    EXPECT_EQ(attribute.getState(), LDAPAttribute::NO_STATE);
    EXPECT_EQ(attribute.getValue(0), a);
    EXPECT_EQ(attribute.getValue(1), a);
    EXPECT_EQ(attribute.getValue(2)->toString(), L"b");
    EXPECT_EQ(attribute.getValue(-1).getObject(), nullptr);
    EXPECT_EQ(attribute.getValue(3).getObject(), nullptr);
}

TEST(LDAPAttributeTest, CopyValuesAppendsToTheTarget)
{
    LDAPAttribute attribute(L"cn", ldapmodel::VALUEKIND_TEXT);
    attribute.addValue(text(L"x"));
    attribute.addValue(text(L"y"));
    LDAPAttribute::ValueList target{text(L"first")};
    attribute.copyValues(&target);
    ASSERT_EQ(target.size(), 3u);
    EXPECT_EQ(target[1]->toString(), L"x");
    EXPECT_EQ(target[2]->toString(), L"y");
    attribute.copyValues(nullptr);
}

TEST(LDAPAttributeTest, NamesCompareWithoutLetterCase)
{
    LDAPAttribute attribute(L"objectClass", ldapmodel::VALUEKIND_UNKNOWN);
    EXPECT_TRUE(attribute.hasName(L"OBJECTCLASS"));
    EXPECT_TRUE(attribute.hasName(L"objectclass"));
    EXPECT_FALSE(attribute.hasName(L"objectClasses"));
    EXPECT_FALSE(attribute.hasName(L"cn"));
}

TEST(LDAPAttributeTest, ValueKindComesFromTheSchema)
{
    LDAPAttribute unknown(L"noSuchType", ldapmodel::VALUEKIND_TEXT);
    EXPECT_EQ(unknown.getValueKind(), ldapmodel::VALUEKIND_UNKNOWN);

    ldapmodel::SyntaxRegistry::instance().seedKnownSyntaxes();
    ldapmodel::LDAPSchema& schema = ldapmodel::LDAPSchema::instance();
    gc_ptr<ldapmodel::LDAPAttributeType> photo = new ldapmodel::LDAPAttributeType();
    photo->setName(L"jpegPhoto");
    photo->setSyntaxOid(L"1.3.6.1.4.1.1466.115.121.1.28");
    schema.addAttributeType(photo);
    LDAPAttribute attribute(L"JPEGPHOTO", ldapmodel::VALUEKIND_UNKNOWN);
    EXPECT_EQ(attribute.getValueKind(), ldapmodel::VALUEKIND_BINARY);
    attribute.setName(L"cn");
    EXPECT_EQ(attribute.getValueKind(), ldapmodel::VALUEKIND_UNKNOWN);
    schema.clear();
}

} // namespace
