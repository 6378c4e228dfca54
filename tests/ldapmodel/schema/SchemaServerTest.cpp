#include "schema/LDAPSchema.h"
#include "schema/SyntaxRegistry.h"
#include "schema/ValueKind.h"
#include "session/LdapSession.h"
#include "support/FakeDirectory.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestDirectoryServer.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

using namespace ldapmodel;
using dirtest::FakeDirectory;
using dirtest::TestDirectoryServer;
using memorylib::gc_ptr;

namespace {

std::wstring widen(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

class SchemaServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        LDAPSchema::instance().clear();
        TestDirectoryServer& server = TestDirectoryServer::shared();
        ASSERT_TRUE(server.isRunning() || server.start()) << server.lastError();
        ASSERT_EQ(0, m_session.connect(widen(server.host()), server.port(), L"", L"", true));
    }
    void TearDown() override
    {
        m_session.disconnect();
        LDAPSchema::instance().clear();
    }

    // The values of one attribute of the subschema entry, as ldapsearch reads them.
    static std::vector<std::string> subschemaValues(const std::string& attribute)
    {
        std::string output;
        EXPECT_TRUE(TestDirectoryServer::shared().runLdapsearch(
            {"-b", "cn=Subschema", "-s", "base", "(objectClass=*)", attribute}, output))
            << output;
        return TestDirectoryServer::ldifValues(output, attribute);
    }
    static std::wstring quotedName(const std::string& description)
    {
        std::size_t start = description.find("NAME ");
        if (start == std::string::npos)
            return L"";
        start = description.find('\'', start) + 1;
        return widen(description.substr(start, description.find('\'', start) - start));
    }

    LdapSession m_session;
    dirtest::ScriptedMessageBoxes m_boxes;
};

TEST_F(SchemaServerTest, ReadSchemaDn)
{
    std::wstring dn = L"unchanged";
    EXPECT_EQ(0, LDAPSchema::instance().readSchemaDn(m_session, dn));
    EXPECT_EQ(L"cn=Subschema", dn);
    EXPECT_TRUE(m_boxes.boxes().empty());
}

TEST_F(SchemaServerTest, LoadGivesTheValueKinds)
{
    LDAPSchema& schema = LDAPSchema::instance();
    EXPECT_FALSE(schema.isLoaded());
    ASSERT_EQ(0, schema.load(m_session, L""));
    EXPECT_TRUE(schema.isLoaded());
    EXPECT_TRUE(m_boxes.boxes().empty());

    EXPECT_EQ(VALUEKIND_BINARY, getValueKindOfAttribute(L"jpegPhoto"));
    EXPECT_EQ(VALUEKIND_BINARY, getValueKindOfAttribute(L"userCertificate"));
    EXPECT_EQ(VALUEKIND_BINARY, getValueKindOfAttribute(L"cACertificate"));
    EXPECT_EQ(VALUEKIND_TEXT, getValueKindOfAttribute(L"description"));
    EXPECT_EQ(VALUEKIND_TEXT, getValueKindOfAttribute(L"DESCRIPTION"));
    EXPECT_EQ(VALUEKIND_TEXT, getValueKindOfAttribute(L"name"));
    // cn, sn and member name a superior and no syntax of their own; superiors
    // are not followed, so their values are text (not binary) of unknown kind.
    EXPECT_FALSE(isBinaryKind(getValueKindOfAttribute(L"cn")));
    EXPECT_EQ(VALUEKIND_UNKNOWN, getValueKindOfAttribute(L"CN"));
    EXPECT_EQ(VALUEKIND_UNKNOWN, getValueKindOfAttribute(L"member"));
    EXPECT_EQ(VALUEKIND_TELEPHONE_NUMBER, getValueKindOfAttribute(L"telephoneNumber"));
    EXPECT_EQ(VALUEKIND_IA5_STRING, getValueKindOfAttribute(L"mail"));
    EXPECT_EQ(VALUEKIND_DN, getValueKindOfAttribute(L"distinguishedName"));
    EXPECT_EQ(VALUEKIND_OCTET_STRING, getValueKindOfAttribute(L"userPassword"));
    EXPECT_EQ(VALUEKIND_TIME, getValueKindOfAttribute(L"modifyTimestamp"));
    EXPECT_EQ(VALUEKIND_UNKNOWN, getValueKindOfAttribute(L"noSuchAttribute"));
    EXPECT_EQ(VALUEKIND_UNKNOWN, getValueKindOfAttribute(L"commonName"));
    EXPECT_EQ(VALUEKIND_UNKNOWN, getValueKindOfAttribute(L"sn"));

    gc_ptr<LDAPObjectClass> person = schema.findObjectClass(L"PERSON");
    ASSERT_NE(nullptr, person.get());
    EXPECT_EQ((std::vector<std::wstring>{L"sn", L"cn"}), person->getMustList());
    EXPECT_EQ(L"STRUCTURAL", person->getKind());
    gc_ptr<LDAPAttributeType> cn = schema.findAttributeType(L"cn");
    ASSERT_NE(nullptr, cn.get());
    EXPECT_EQ(L"2.5.4.3", cn->getOid());
    EXPECT_EQ(L"name", cn->getSuperior());
}

TEST_F(SchemaServerTest, ListsFollowTheServer)
{
    LDAPSchema& schema = LDAPSchema::instance();
    ASSERT_EQ(0, schema.load(m_session, L""));
    std::vector<std::string> types = subschemaValues("attributeTypes");
    std::vector<std::string> classes = subschemaValues("objectClasses");
    std::vector<std::string> rules = subschemaValues("matchingRules");
    ASSERT_GT(types.size(), 100u);
    EXPECT_EQ(types.size(), schema.getAttributeTypes().size());
    EXPECT_EQ(rules.size(), schema.getMatchingRules().size());
    ASSERT_EQ(classes.size(), schema.getObjectClasses().size());
    for (std::size_t i = 0; i < classes.size(); ++i)
        EXPECT_EQ(quotedName(classes[i]), schema.getObjectClasses()[i]->getName()) << i;
    for (std::size_t i = 0; i < types.size(); ++i)
        EXPECT_EQ(quotedName(types[i]), schema.getAttributeTypes()[i]->getName()) << i;

    std::vector<std::wstring> names;
    schema.getObjectClassNames(names);
    EXPECT_EQ(classes.size(), names.size());
    std::set<std::wstring> sorted;
    schema.getObjectClassNameSet(sorted);
    EXPECT_EQ(1u, sorted.count(L"inetOrgPerson"));
}

TEST_F(SchemaServerTest, LoadingTwiceWithoutClearDoublesTheLists)
{
    LDAPSchema& schema = LDAPSchema::instance();
    ASSERT_EQ(0, schema.load(m_session, L""));
    const std::size_t types = schema.getAttributeTypes().size();
    const std::size_t classes = schema.getObjectClasses().size();
    const std::size_t rules = schema.getMatchingRules().size();
    const std::size_t syntaxes = SyntaxRegistry::instance().size();
    ASSERT_EQ(0, schema.load(m_session, L"cn=Subschema"));
    EXPECT_EQ(2 * types, schema.getAttributeTypes().size());
    EXPECT_EQ(2 * classes, schema.getObjectClasses().size());
    EXPECT_EQ(2 * rules, schema.getMatchingRules().size());
    // Seeding again and the server's syntaxes add nothing to the registry.
    EXPECT_EQ(syntaxes, SyntaxRegistry::instance().size());
    // The first copy answers.
    EXPECT_EQ(schema.getAttributeTypes()[0], schema.findAttributeType(
                                                 schema.getAttributeTypes()[0]->getName()));
    EXPECT_EQ(VALUEKIND_BINARY, getValueKindOfAttribute(L"jpegPhoto"));

    EXPECT_EQ(0, schema.clear());
    EXPECT_FALSE(schema.isLoaded());
    EXPECT_TRUE(schema.getAttributeTypes().empty());
    EXPECT_EQ(VALUEKIND_UNKNOWN, getValueKindOfAttribute(L"jpegPhoto"));
}

TEST_F(SchemaServerTest, MissingSubschemaEntry)
{
    LDAPSchema& schema = LDAPSchema::instance();
    EXPECT_EQ(-1, schema.load(m_session, L"cn=Nowhere"));
    EXPECT_TRUE(schema.isLoaded());
    EXPECT_TRUE(schema.getAttributeTypes().empty());
    auto boxes = m_boxes.boxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(L"LDAP Message", boxes[0].caption);
    EXPECT_EQ(L"Read schema DN. LDAPError 32: No such object", boxes[0].text);
}

TEST_F(SchemaServerTest, FailedSearchKeepsTheLists)
{
    LDAPSchema& schema = LDAPSchema::instance();
    ASSERT_EQ(0, schema.load(m_session, L""));
    const std::size_t types = schema.getAttributeTypes().size();
    EXPECT_EQ(-1, schema.load(m_session, L"cn=Nowhere"));
    EXPECT_EQ(types, schema.getAttributeTypes().size());
    EXPECT_EQ(VALUEKIND_BINARY, getValueKindOfAttribute(L"jpegPhoto"));
}

TEST_F(SchemaServerTest, ServerGoneWhileReadingTheSchemaDn)
{
    TestDirectoryServer& server = TestDirectoryServer::shared();
    server.stop();
    std::wstring dn;
    EXPECT_EQ(-1, LDAPSchema::instance().readSchemaDn(m_session, dn));
    EXPECT_EQ(L"", dn);
    EXPECT_EQ(-1, LDAPSchema::instance().load(m_session, L""));
    ASSERT_TRUE(server.start()) << server.lastError();
    // The first read finds the server gone and the session lost; the second
    // fails at once instead of opening a new, unbound connection.
    auto boxes = m_boxes.boxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(0u, boxes[0].text.find(L"Read schema DN. LDAPError 81: ")) << std::string(
        boxes[0].text.begin(), boxes[0].text.end());
    EXPECT_TRUE(m_session.isLost());
    EXPECT_FALSE(m_session.hasHandle());
    EXPECT_TRUE(LDAPSchema::instance().getAttributeTypes().empty());
}

TEST_F(SchemaServerTest, NoSessionHandle)
{
    LdapSession unconnected;
    EXPECT_EQ(-1, LDAPSchema::instance().load(unconnected, L""));
    EXPECT_EQ(-1, LDAPSchema::instance().load(unconnected, L"cn=Subschema"));
    EXPECT_TRUE(LDAPSchema::instance().getAttributeTypes().empty());
}

// ---- servers that answer differently ----------------------------------

class FakeSchemaTest : public ::testing::Test {
protected:
    void SetUp() override { LDAPSchema::instance().clear(); }
    void TearDown() override { LDAPSchema::instance().clear(); }
    bool connect() { return m_session.connect(L"127.0.0.1", m_fake.port(), L"", L"", true) == 0; }

    FakeDirectory m_fake;
    LdapSession m_session;
    dirtest::ScriptedMessageBoxes m_boxes;
};

TEST_F(FakeSchemaTest, RootEntryWithoutSubschemaSubentry)
{
    m_fake.setEntry("", {{"namingContexts", {"dc=example,dc=com"}}});
    ASSERT_TRUE(connect());
    std::wstring dn;
    EXPECT_EQ(0, LDAPSchema::instance().readSchemaDn(m_session, dn));
    EXPECT_EQ(L"", dn);
    EXPECT_EQ(-1, LDAPSchema::instance().load(m_session, L""));
    EXPECT_TRUE(LDAPSchema::instance().isLoaded());
    auto boxes = m_boxes.boxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(L"Read Schema DN. LDAPError 32: No such object", boxes[0].text);
}

TEST_F(FakeSchemaTest, NoRootEntry)
{
    ASSERT_TRUE(connect());
    EXPECT_EQ(-1, LDAPSchema::instance().load(m_session, L""));
    auto boxes = m_boxes.boxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(L"Read schema DN. LDAPError 32: No such object", boxes[0].text);
}

TEST_F(FakeSchemaTest, SecondSubschemaSubentryAndLowerCaseNames)
{
    m_fake.setEntry("", {{"SubSchemaSubEntry", {"cn=First", "cn=Second"}}});
    m_fake.setEntry(
        "cn=Second",
        {{"objectClass", {"top", "subentry", "subschema"}},
         {"attributetypes",
          {"( 1.1 NAME 'opaqueValue' SYNTAX 1.2.840.fake.1 )",
           "( 1.2 NAME 'plainValue' SYNTAX 1.2.840.fake.2 )",
           "( 1.3 NAME 'dirString' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 )",
           "( 1.4 NAME 'broken' DESC )", "no parenthesis at all"}},
         {"objectclasses",
          {"( 2.3 NAME 'zulu' SUP top STRUCTURAL MUST cn )",
           "( 2.1 NAME 'alpha' SUP top AUXILIARY MAY ( a $ b ) )",
           "( 2.2 NAME 'mike' ABSTRACT )"}},
         {"ldapsyntaxes",
          {"( 1.2.840.fake.1 DESC 'Opaque' X-NOT-HUMAN-READABLE 'TRUE' )",
           "( 1.2.840.fake.2 DESC 'Plain' )",
           "( 1.3.6.1.4.1.1466.115.121.1.15 DESC 'Directory String' "
           "X-NOT-HUMAN-READABLE 'TRUE' )"}},
         {"matchingrules", {"( 3.1 NAME 'fakeMatch' SYNTAX 1.2.840.fake.2 )"}},
         {"matchingRuleUse", {"( 3.1 NAME 'fakeMatch' APPLIES plainValue )"}}});
    ASSERT_TRUE(connect());
    LDAPSchema& schema = LDAPSchema::instance();
    ASSERT_EQ(0, schema.load(m_session, L""));
    EXPECT_TRUE(m_boxes.boxes().empty());
    EXPECT_EQ((std::vector<std::string>{"", "cn=Second"}), m_fake.searchBases());

    ASSERT_EQ(5u, schema.getAttributeTypes().size());
    EXPECT_EQ(L"broken", schema.getAttributeTypes()[3]->getName());
    EXPECT_EQ(L"", schema.getAttributeTypes()[4]->getOid());
    std::vector<std::wstring> classes;
    schema.getObjectClassNames(classes);
    EXPECT_EQ((std::vector<std::wstring>{L"zulu", L"alpha", L"mike"}), classes);
    EXPECT_EQ((std::vector<std::wstring>{L"a", L"b"}), schema.getObjectClasses()[1]->getMayList());
    ASSERT_EQ(1u, schema.getMatchingRules().size());
    EXPECT_EQ(L"1.2.840.fake.2", schema.getMatchingRules()[0]->getSyntaxOid());

    // A syntax marked not human readable holds binary values; others text.
    EXPECT_EQ(VALUEKIND_BINARY, getValueKindOfAttribute(L"opaqueValue"));
    EXPECT_EQ(VALUEKIND_TEXT, getValueKindOfAttribute(L"plainValue"));
    // The built-in row stays.
    EXPECT_EQ(VALUEKIND_TEXT, getValueKindOfAttribute(L"dirString"));
    EXPECT_TRUE(getSyntaxOfAttribute(L"dirString")->isHumanReadable());
}

} // namespace
