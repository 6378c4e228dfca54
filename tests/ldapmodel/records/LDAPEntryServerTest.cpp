#include "records/LDAPAttributeValue.h"
#include "records/LDAPEntry.h"
#include "session/LdapModList.h"
#include "session/LdapSession.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestDirectoryServer.h"
#include "utilities/Util.h"

#include <ldap.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using dirtest::TestDirectoryServer;
using ldapmodel::LDAPAttribute;
using ldapmodel::LDAPAttributeValue;
using ldapmodel::LDAPEntry;
using ldapmodel::LdapModList;
using ldapmodel::LdapModOperation;
using ldapmodel::LdapSession;
using memorylib::gc_ptr;

std::wstring wide(const std::string& text) { return util::fromUtf8(text); }

TestDirectoryServer& server() { return TestDirectoryServer::shared(); }

class LDAPEntryServerTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(m_session.connect(wide(server().host()), server().port(), wide(TestDirectoryServer::adminDn()),
                                    wide(TestDirectoryServer::adminPassword()), false),
                  0);
    }

    gc_ptr<LDAPEntry> read(const std::wstring& dn)
    {
        gc_ptr<LDAPEntry> entry = new LDAPEntry();
        entry->setDN(dn);
        EXPECT_TRUE(entry->readFromServer(m_session, 0));
        return entry;
    }

    static std::vector<std::wstring> names(const LDAPEntry::AttributeList& attributes)
    {
        std::vector<std::wstring> result;
        for (const auto& attribute : attributes)
            result.push_back(attribute->getName());
        return result;
    }

    static bool contains(const std::vector<std::wstring>& list, const std::wstring& name)
    {
        for (const auto& item : list) {
            if (LDAPAttribute(item, 0).hasName(name))
                return true;
        }
        return false;
    }

    LdapSession m_session;
};

TEST_F(LDAPEntryServerTest, UserAndOperationalAttributesStayApart)
{
    dirtest::ScriptedMessageBoxes boxes;
    gc_ptr<LDAPEntry> entry = read(wide(dirtest::sample::kUser01Dn));
    EXPECT_FALSE(entry->isOld());
    std::vector<std::wstring> user = names(entry->getUserAttributes());
    std::vector<std::wstring> operational = names(entry->getOperationalAttributes());

    EXPECT_TRUE(contains(user, L"cn"));
    EXPECT_TRUE(contains(user, L"mail"));
    EXPECT_TRUE(contains(user, L"objectClass"));
    for (const wchar_t* name : {L"createTimestamp", L"modifyTimestamp", L"entryUUID", L"creatorsName",
                                L"structuralObjectClass", L"hasSubordinates"}) {
        EXPECT_FALSE(contains(user, name)) << util::toUtf8(name);
        EXPECT_TRUE(contains(operational, name)) << util::toUtf8(name);
    }
    EXPECT_TRUE(contains(operational, L"modifiersName"));
    EXPECT_TRUE(contains(operational, L"subschemaSubentry"));
    EXPECT_FALSE(contains(operational, L"namingContexts"));
    EXPECT_FALSE(contains(operational, L"cn"));

    gc_ptr<LDAPAttribute> mail = entry->getAttribute(L"MAIL");
    ASSERT_NE(mail.getObject(), nullptr);
    ASSERT_EQ(mail->getValueCount(), 2);
    EXPECT_EQ(mail->getValue(0)->toString(), wide(dirtest::sample::kUser01Mail1));
    EXPECT_EQ(mail->getValue(1)->toString(), wide(dirtest::sample::kUser01Mail2));
    EXPECT_EQ(entry->getAttribute(L"hasSubordinates")->getValue(0)->toString(), L"FALSE");
    EXPECT_EQ(entry->getAttribute(L"cn")->toString(),
              L"[LDAPAttribute:name=cn\n\t\t" + wide(dirtest::sample::kUser01Cn) + L",\n\t\t");
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(LDAPEntryServerTest, ReReadReplacesAttributesAndChildren)
{
    gc_ptr<LDAPEntry> entry = read(wide(dirtest::sample::kDeptDn));
    int userCount = entry->getUserAttributeCount();
    std::size_t operationalCount = entry->getOperationalAttributes().size();
    entry->addChild(L"cn=child");
    EXPECT_TRUE(entry->readFromServer(m_session, 0));
    EXPECT_EQ(entry->getUserAttributeCount(), userCount);
    EXPECT_EQ(entry->getOperationalAttributes().size(), operationalCount);
    EXPECT_TRUE(entry->getChildren().empty());
    EXPECT_EQ(entry->getAttribute(L"hasSubordinates")->getValue(0)->toString(), L"TRUE");
}

TEST_F(LDAPEntryServerTest, RootDseKeepsNamingContextsOperational)
{
    gc_ptr<LDAPEntry> root = read(L"");
    std::vector<std::wstring> operational = names(root->getOperationalAttributes());
    EXPECT_TRUE(contains(operational, L"namingContexts"));
    EXPECT_FALSE(contains(names(root->getUserAttributes()), L"namingContexts"));
    EXPECT_EQ(root->getAttribute(L"namingContexts")->getValue(0)->toString(),
              wide(TestDirectoryServer::baseDn()));
}

TEST_F(LDAPEntryServerTest, MissingEntryIsReportedAndLeftUnchanged)
{
    dirtest::ScriptedMessageBoxes boxes;
    gc_ptr<LDAPEntry> entry = new LDAPEntry();
    entry->setDN(L"cn=nobody," + wide(dirtest::sample::kPeopleDn));
    entry->addAttributeValue(L"cn", new LDAPAttributeValue(std::wstring(L"kept")));
    entry->addChild(L"cn=child");
    EXPECT_FALSE(entry->readFromServer(m_session, 0));
    EXPECT_TRUE(entry->isOld());
    EXPECT_EQ(entry->getUserAttributeCount(), 1);
    EXPECT_EQ(entry->getChildren().size(), 1u);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text,
              L"Read entry from server. LDAPError 32: " + wide(ldap_err2string(LDAP_NO_SUCH_OBJECT)));
    EXPECT_EQ(boxes.boxes()[0].caption, L"LDAP Message");
}

TEST_F(LDAPEntryServerTest, LostConnectionIsReportedAsServerDown)
{
    dirtest::ScriptedMessageBoxes boxes;
    TestDirectoryServer own(TestDirectoryServer::Content::Empty);
    ASSERT_TRUE(own.start());
    LdapSession session;
    ASSERT_EQ(session.connect(wide(own.host()), own.port(), L"", L"", true), 0);
    own.stop();
    gc_ptr<LDAPEntry> entry = new LDAPEntry();
    entry->setDN(wide(TestDirectoryServer::baseDn()));
    EXPECT_FALSE(entry->readFromServer(session, 0));
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text,
              L"Read entry from server. LDAPError 81: " + wide(ldap_err2string(LDAP_SERVER_DOWN)));
}

TEST_F(LDAPEntryServerTest, UnicodeDns)
{
    gc_ptr<LDAPEntry> jose = read(dirtest::sample::kJoseDnWide);
    EXPECT_EQ(jose->getDN(), dirtest::sample::kJoseDnWide);
    EXPECT_EQ(jose->getRDN(), L"cn=" + wide(dirtest::sample::kJoseCn));
    EXPECT_EQ(jose->getAttribute(L"cn")->getValue(0)->toString(), wide(dirtest::sample::kJoseCn));

    gc_ptr<LDAPEntry> lukasz = read(dirtest::sample::kLukaszDnWide);
    EXPECT_EQ(lukasz->getRDN(), L"cn=" + wide(dirtest::sample::kLukaszCn));
    EXPECT_EQ(lukasz->getAttribute(L"cn")->getValue(0)->toString(), wide(dirtest::sample::kLukaszCn));
    EXPECT_EQ(lukasz->getParentDN(), wide(dirtest::sample::kPeopleDn));
}

TEST_F(LDAPEntryServerTest, BinaryValuesKeepEveryByte)
{
    gc_ptr<LDAPEntry> photo = read(wide(dirtest::sample::kPhotoDn));
    gc_ptr<LDAPAttribute> jpeg = photo->getAttribute(L"jpegPhoto");
    ASSERT_NE(jpeg.getObject(), nullptr);
    std::string expected = TestDirectoryServer::readDataFile(dirtest::sample::kPhotoFile);
    ASSERT_EQ(expected.size(), 181u);
    EXPECT_EQ(jpeg->getValue(0)->getByteString(), expected);
}

TEST_F(LDAPEntryServerTest, OneMebibyteWithZeroBytesRoundTrips)
{
    std::string bytes(1024 * 1024, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i % 7 != 0)
            bytes[i] = static_cast<char>((i * 131) & 0xFF);
    }
    const std::wstring person = wide(dirtest::sample::kUser02Dn);
    LdapModList change;
    change.addRecord(LdapModOperation::Replace, L"jpegPhoto", new LDAPAttributeValue(bytes.data(), bytes.size()));
    ASSERT_EQ(m_session.modifyEntry(person, change), 0);

    gc_ptr<LDAPEntry> entry = read(person);
    gc_ptr<LDAPAttribute> jpeg = entry->getAttribute(L"jpegPhoto");
    ASSERT_NE(jpeg.getObject(), nullptr);
    ASSERT_EQ(jpeg->getValueCount(), 1);
    EXPECT_EQ(jpeg->getValue(0)->getLength(), bytes.size());
    EXPECT_TRUE(jpeg->getValue(0)->getByteString() == bytes);
    // toString stops at the first zero byte and does not crash.
    EXPECT_EQ(jpeg->getValue(0)->toString(), L"");

    std::vector<std::string> fromTool =
        TestDirectoryServer::ldifValues(server().entryLdif(dirtest::sample::kUser02Dn, {"jpegPhoto"}), "jpegPhoto");
    ASSERT_EQ(fromTool.size(), 1u);
    EXPECT_TRUE(fromTool[0] == bytes);

    LdapModList undo;
    undo.addRecord(LdapModOperation::Delete, L"jpegPhoto", std::vector<gc_ptr<LDAPAttributeValue>>());
    EXPECT_EQ(m_session.modifyEntry(person, undo), 0);
}

TEST_F(LDAPEntryServerTest, ValuesThatAreNotUtf8ShowReplacementCharacters)
{
    // userPassword is an octet string: the server takes any bytes.
    const std::wstring person = wide(dirtest::sample::kUser03Dn);
    std::string bytes("\xFF\xFE" "ab\xC3", 5);
    LdapModList change;
    change.addRecord(LdapModOperation::Replace, L"userPassword", new LDAPAttributeValue(bytes.data(), bytes.size()));
    ASSERT_EQ(m_session.modifyEntry(person, change), 0);

    gc_ptr<LDAPEntry> entry = read(person);
    gc_ptr<LDAPAttribute> password = entry->getAttribute(L"userPassword");
    ASSERT_NE(password.getObject(), nullptr);
    EXPECT_EQ(password->getValue(0)->getByteString(), bytes);
    std::wstring text = password->getValue(0)->toString();
    EXPECT_NE(text.find(L"ab"), std::wstring::npos);
    EXPECT_NE(text.find(L'\uFFFD'), std::wstring::npos);
    EXPECT_NE(password->toString().find(L"ab"), std::wstring::npos);

    LdapModList undo;
    undo.addRecord(LdapModOperation::Delete, L"userPassword", std::vector<gc_ptr<LDAPAttributeValue>>());
    EXPECT_EQ(m_session.modifyEntry(person, undo), 0);
}

} // namespace
