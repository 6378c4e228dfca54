#include "records/LDAPAttribute.h"
#include "records/LDAPAttributeValue.h"
#include "schema/LDAPSchema.h"
#include "schema/LDAPSchemaStrategyParser.h"
#include "schema/SyntaxRegistry.h"
#include "schema/ValueKind.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

using namespace ldapmodel;
using memorylib::gc_ptr;

namespace {

const std::wstring PREFIX = L"1.3.6.1.4.1.1466.115.121.1.";

gc_ptr<LDAPAttributeType> addType(const std::wstring& text)
{
    gc_ptr<LDAPAttributeType> type(new LDAPAttributeType());
    EXPECT_EQ(0, LDAPSchemaStrategyParser::parseAttributeType(type, text));
    LDAPSchema::instance().addAttributeType(type);
    return type;
}

gc_ptr<LDAPAttribute> schemaAttribute(const std::wstring& name,
                                      const std::vector<std::wstring>& values)
{
    gc_ptr<LDAPAttribute> attribute(new LDAPAttribute(name, VALUEKIND_UNKNOWN));
    for (const std::wstring& value : values)
        attribute->addValue(new LDAPAttributeValue(value));
    return attribute;
}

class SchemaLookupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SyntaxRegistry::instance().seedKnownSyntaxes();
        LDAPSchema::instance().clear();
    }
    void TearDown() override { LDAPSchema::instance().clear(); }
};

// ---- the built-in table -------------------------------------------------

TEST(SyntaxRegistryTable, SeedingRegistersEveryRowOnce)
{
    SyntaxRegistry& registry = SyntaxRegistry::instance();
    registry.seedKnownSyntaxes();
    const std::size_t seeded = registry.size();
    EXPECT_GE(seeded, 65u);
    registry.seedKnownSyntaxes();
    registry.seedKnownSyntaxes();
    EXPECT_EQ(seeded, registry.size());
    gc_ptr<LDAPSyntaxObject> first = registry.findSyntax(PREFIX + L"15");
    registry.seedKnownSyntaxes();
    EXPECT_EQ(first, registry.findSyntax(PREFIX + L"15"));
}

TEST(SyntaxRegistryTable, Rows)
{
    struct Row {
        std::wstring oid;
        std::wstring description;
        bool humanReadable;
        std::int32_t kind;
    };
    const Row rows[] = {
        {PREFIX + L"1", L"ACI Item", false, VALUEKIND_BINARY},
        {PREFIX + L"2", L"Access Point", true, VALUEKIND_TEXT},
        {PREFIX + L"4", L"Audio", false, VALUEKIND_BINARY},
        {PREFIX + L"5", L"Binary", false, VALUEKIND_BINARY},
        {PREFIX + L"6", L"Bit String", true, VALUEKIND_BINARY},
        {PREFIX + L"7", L"Boolean", true, VALUEKIND_BOOLEAN},
        {PREFIX + L"8", L"Certificate", false, VALUEKIND_BINARY},
        {PREFIX + L"9", L"Certificate List", false, VALUEKIND_BINARY},
        {PREFIX + L"10", L"Certificate Pair", false, VALUEKIND_BINARY},
        {PREFIX + L"11", L"Country String", true, VALUEKIND_COUNTRY_STRING},
        {PREFIX + L"12", L"DN", true, VALUEKIND_DN},
        {PREFIX + L"15", L"Directory String", true, VALUEKIND_TEXT},
        {PREFIX + L"22", L"Facsimile Telephone Number", true, VALUEKIND_FAX_NUMBER},
        {PREFIX + L"23", L"Fax", false, VALUEKIND_BINARY},
        {PREFIX + L"24", L"Generalized Time", true, VALUEKIND_TIME},
        {PREFIX + L"26", L"IA5 String", true, VALUEKIND_IA5_STRING},
        {PREFIX + L"27", L"INTEGER", true, VALUEKIND_INTEGER},
        {PREFIX + L"28", L"JPEG", false, VALUEKIND_BINARY},
        {PREFIX + L"40", L"Octet String", true, VALUEKIND_OCTET_STRING},
        {PREFIX + L"41", L"Postal Address", true, VALUEKIND_POSTAL_ADDRESS},
        {PREFIX + L"49", L"Supported Algorithm", false, VALUEKIND_BINARY},
        {PREFIX + L"50", L"Telephone Number", true, VALUEKIND_TELEPHONE_NUMBER},
        {PREFIX + L"53", L"UTC Time", true, VALUEKIND_TIME},
        {PREFIX + L"55", L"Modify Rights", true, VALUEKIND_TEXT},
        {PREFIX + L"57", L"LDAP Schema Description", true, VALUEKIND_TEXT},
        {PREFIX + L"58", L"Substring Assertion", true, VALUEKIND_TEXT},
        {L"0.9.2342.19200300.100.1.7", L"photo", false, VALUEKIND_BINARY},
        {L"0.9.2342.19200300.100.1.53", L"personalSignature", false, VALUEKIND_BINARY},
        {L"0.9.2342.19200300.100.1.55", L"audio", false, VALUEKIND_BINARY},
        {L"0.9.2342.19200300.100.1.60", L"jpegPhoto", false, VALUEKIND_BINARY},
        {L"1.3.6.1.4.1.42.2.27.4.1.8", L"javaSerializedData", false, VALUEKIND_BINARY},
        {L"1.3.6.1.4.1.1466.101.120.35", L"thumbnailPhoto", false, VALUEKIND_BINARY},
        {L"1.3.6.1.4.1.1466.101.120.36", L"thumbnailLogo", false, VALUEKIND_BINARY},
    };
    SyntaxRegistry::instance().seedKnownSyntaxes();
    for (const Row& row : rows) {
        gc_ptr<LDAPSyntaxObject> syntax = SyntaxRegistry::instance().findSyntax(row.oid);
        ASSERT_NE(nullptr, syntax.getObject()) << std::string(row.oid.begin(), row.oid.end());
        EXPECT_EQ(row.oid, syntax->getOid());
        EXPECT_EQ(row.description, syntax->getDescription());
        EXPECT_EQ(row.humanReadable, syntax->isHumanReadable());
        EXPECT_EQ(row.kind, syntax->getValueKind());
    }
    // Every standard syntax from .1 to .58 is there.
    for (int i = 1; i <= 58; ++i)
        EXPECT_NE(nullptr, SyntaxRegistry::instance().findSyntax(PREFIX + std::to_wstring(i)).get())
            << i;
    EXPECT_EQ(nullptr, SyntaxRegistry::instance().findSyntax(PREFIX + L"59").get());
    EXPECT_EQ(nullptr, SyntaxRegistry::instance().findSyntax(L"").get());
    EXPECT_EQ(VALUEKIND_UNKNOWN, SyntaxRegistry::instance().findValueKind(L"9.9.9"));
}

TEST(SyntaxRegistryTable, OnlyBinaryIsBinary)
{
    EXPECT_TRUE(isBinaryKind(VALUEKIND_BINARY));
    for (std::int32_t kind : {VALUEKIND_BOOLEAN, VALUEKIND_TEXT, VALUEKIND_OCTET_STRING,
                              VALUEKIND_UNKNOWN, VALUEKIND_DN})
        EXPECT_FALSE(isBinaryKind(kind));
}

// ---- registration --------------------------------------------------------

TEST(SyntaxRegistryRegister, ServerSyntaxOnlyWithANewExactOid)
{
    SyntaxRegistry& registry = SyntaxRegistry::instance();
    registry.seedKnownSyntaxes();
    const std::size_t before = registry.size();

    gc_ptr<LDAPSyntaxObject> redefined(new LDAPSyntaxObject());
    LDAPSchemaStrategyParser::parseSyntax(
        redefined, L"( " + PREFIX + L"15 DESC 'Mine' X-NOT-HUMAN-READABLE 'TRUE' )");
    EXPECT_FALSE(registry.registerSyntax(redefined));
    EXPECT_EQ(before, registry.size());
    gc_ptr<LDAPSyntaxObject> builtIn = registry.findSyntax(PREFIX + L"15");
    EXPECT_EQ(L"Directory String", builtIn->getDescription());
    EXPECT_TRUE(builtIn->isHumanReadable());
    EXPECT_EQ(VALUEKIND_TEXT, builtIn->getValueKind());

    // Another letter case is a new exact OID: it is added, but lookups,
    // which ignore case, still answer the first one.
    gc_ptr<LDAPSyntaxObject> upper(new LDAPSyntaxObject());
    upper->setOid(L"1.2.840.TEST.A");
    upper->setValueKind(VALUEKIND_TEXT);
    EXPECT_TRUE(registry.registerSyntax(upper));
    gc_ptr<LDAPSyntaxObject> lower(new LDAPSyntaxObject());
    lower->setOid(L"1.2.840.test.a");
    lower->setValueKind(VALUEKIND_BINARY);
    EXPECT_TRUE(registry.registerSyntax(lower));
    EXPECT_FALSE(registry.registerSyntax(lower));
    EXPECT_EQ(before + 2, registry.size());
    EXPECT_EQ(upper, registry.findSyntax(L"1.2.840.test.a"));
    EXPECT_EQ(VALUEKIND_TEXT, registry.findValueKind(L"1.2.840.Test.A"));

    EXPECT_FALSE(registry.registerSyntax(gc_ptr<LDAPSyntaxObject>()));
}

TEST(SyntaxRegistryRegister, ConstructingAFilledSyntaxRegistersIt)
{
    SyntaxRegistry& registry = SyntaxRegistry::instance();
    const std::size_t before = registry.size();
    gc_ptr<LDAPSyntaxObject> made(
        new LDAPSyntaxObject(L"Hand made", false, L"1.2.840.test.made", VALUEKIND_BINARY));
    EXPECT_EQ(before + 1, registry.size());
    EXPECT_EQ(made, registry.findSyntax(L"1.2.840.TEST.MADE"));
    // Unconditional: a second object with the same OID is kept too, and the
    // first one still answers.
    gc_ptr<LDAPSyntaxObject> again(
        new LDAPSyntaxObject(L"Again", true, L"1.2.840.test.made", VALUEKIND_TEXT));
    EXPECT_EQ(before + 2, registry.size());
    EXPECT_EQ(made, registry.findSyntax(L"1.2.840.test.made"));
}

// ---- value kinds of attributes ------------------------------------------

TEST_F(SchemaLookupTest, NoSchemaMeansUnknown)
{
    EXPECT_EQ(VALUEKIND_UNKNOWN, getValueKindOfAttribute(L"cn"));
    EXPECT_EQ(VALUEKIND_UNKNOWN, getValueKindOfAttribute(L""));
    EXPECT_EQ(nullptr, getSyntaxOfAttribute(L"cn").get());
    EXPECT_EQ(nullptr, LDAPSchema::instance().findAttributeType(L"cn").get());
}

TEST_F(SchemaLookupTest, KindsFollowTheSyntax)
{
    addType(L"( 1.1 NAME 'octets' SYNTAX 1.3.6.1.4.1.1466.115.121.1.40 )");
    addType(L"( 1.2 NAME 'blob' SYNTAX 1.3.6.1.4.1.1466.115.121.1.5 )");
    addType(L"( 1.3 NAME 'picture' SYNTAX 1.3.6.1.4.1.1466.115.121.1.28 )");
    addType(L"( 1.4 NAME 'mixedCase' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15{64} )");
    addType(L"( 1.5 NAME 'child' SUP blob )");
    addType(L"( 1.6 NAME ( 'first' 'second' ) SYNTAX 1.3.6.1.4.1.1466.115.121.1.27 )");
    addType(L"( 1.7 NAME 'odd' SYNTAX 9.9.9.9 )");

    EXPECT_EQ(VALUEKIND_OCTET_STRING, getValueKindOfAttribute(L"octets"));
    EXPECT_FALSE(isBinaryKind(getValueKindOfAttribute(L"octets")));
    EXPECT_EQ(VALUEKIND_BINARY, getValueKindOfAttribute(L"blob"));
    EXPECT_EQ(VALUEKIND_BINARY, getValueKindOfAttribute(L"picture"));
    // Names and syntax OIDs ignore letter case.
    EXPECT_EQ(VALUEKIND_TEXT, getValueKindOfAttribute(L"MIXEDCASE"));
    EXPECT_EQ(VALUEKIND_BINARY, getValueKindOfAttribute(L"Picture"));
    // Superiors are not followed.
    EXPECT_EQ(VALUEKIND_UNKNOWN, getValueKindOfAttribute(L"child"));
    // Only the first name is known.
    EXPECT_EQ(VALUEKIND_INTEGER, getValueKindOfAttribute(L"first"));
    EXPECT_EQ(VALUEKIND_UNKNOWN, getValueKindOfAttribute(L"second"));
    EXPECT_EQ(VALUEKIND_UNKNOWN, getValueKindOfAttribute(L"odd"));
    EXPECT_EQ(VALUEKIND_UNKNOWN, getValueKindOfAttribute(L"nothing"));

    gc_ptr<LDAPSyntaxObject> syntax = getSyntaxOfAttribute(L"PICTURE");
    ASSERT_NE(nullptr, syntax.get());
    EXPECT_EQ(L"JPEG", syntax->getDescription());
    EXPECT_EQ(nullptr, getSyntaxOfAttribute(L"child").get());
    EXPECT_EQ(nullptr, getSyntaxOfAttribute(L"odd").get());
}

TEST_F(SchemaLookupTest, SyntaxOidInAnotherCase)
{
    addType(L"( 1.1 NAME 'upper' SYNTAX 1.3.6.1.4.1.1466.115.121.1.28 )");
    gc_ptr<LDAPSyntaxObject> server(new LDAPSyntaxObject());
    LDAPSchemaStrategyParser::parseSyntax(server, L"( 1.2.840.TEST.CASE DESC 'x' )");
    SyntaxRegistry::instance().registerSyntax(server);
    addType(L"( 1.2 NAME 'lowerRef' SYNTAX 1.2.840.test.case )");
    EXPECT_EQ(VALUEKIND_TEXT, getValueKindOfAttribute(L"lowerRef"));
}

TEST_F(SchemaLookupTest, FirstTypeWithANameWins)
{
    addType(L"( 1.1 NAME 'twice' SYNTAX 1.3.6.1.4.1.1466.115.121.1.5 )");
    addType(L"( 1.2 NAME 'TWICE' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 )");
    EXPECT_EQ(L"1.1", LDAPSchema::instance().findAttributeType(L"Twice")->getOid());
    EXPECT_EQ(VALUEKIND_BINARY, getValueKindOfAttribute(L"twice"));
    LDAPSchema::instance().clear();
    EXPECT_EQ(VALUEKIND_UNKNOWN, getValueKindOfAttribute(L"twice"));
    addType(L"( 1.2 NAME 'TWICE' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 )");
    EXPECT_EQ(VALUEKIND_TEXT, getValueKindOfAttribute(L"twice"));
}

TEST_F(SchemaLookupTest, ServerSyntaxKinds)
{
    // Marked not human readable: binary; anything else: text.
    std::vector<gc_ptr<LDAPAttribute>> attributes{
        schemaAttribute(L"ldapSyntaxes",
                        {L"( 1.2.840.test.nhr DESC 'Opaque' X-NOT-HUMAN-READABLE 'TRUE' )",
                         L"( 1.2.840.test.hr DESC 'Readable' X-NOT-HUMAN-READABLE 'FALSE' )",
                         L"( 1.2.840.test.plain DESC 'Plain' )",
                         L"( " + PREFIX + L"15 DESC 'Override' X-NOT-HUMAN-READABLE 'TRUE' )"}),
        schemaAttribute(L"attributeTypes",
                        {L"( 1.1 NAME 'opaque' SYNTAX 1.2.840.test.nhr )",
                         L"( 1.2 NAME 'readable' SYNTAX 1.2.840.test.hr )",
                         L"( 1.3 NAME 'plain' SYNTAX 1.2.840.test.plain )",
                         L"( 1.4 NAME 'dirString' SYNTAX " + PREFIX + L"15 )"}),
    };
    LDAPSchema::instance().addDefinitions(attributes);
    EXPECT_EQ(VALUEKIND_BINARY, getValueKindOfAttribute(L"opaque"));
    EXPECT_FALSE(getSyntaxOfAttribute(L"opaque")->isHumanReadable());
    EXPECT_EQ(VALUEKIND_TEXT, getValueKindOfAttribute(L"readable"));
    EXPECT_EQ(VALUEKIND_TEXT, getValueKindOfAttribute(L"plain"));
    EXPECT_TRUE(getSyntaxOfAttribute(L"plain")->isHumanReadable());
    // The built-in row wins over the server's description.
    EXPECT_EQ(VALUEKIND_TEXT, getValueKindOfAttribute(L"dirString"));
    EXPECT_EQ(L"Directory String", getSyntaxOfAttribute(L"dirString")->getDescription());
    EXPECT_TRUE(getSyntaxOfAttribute(L"dirString")->isHumanReadable());
}

// ---- the schema's lists --------------------------------------------------

TEST_F(SchemaLookupTest, DefinitionsByAttributeNameIgnoringCase)
{
    std::vector<gc_ptr<LDAPAttribute>> attributes{
        schemaAttribute(L"attributetypes", {L"( 2.5.4.3 NAME ( 'cn' 'commonName' ) SUP name )",
                                            L"( 2.5.4.41 NAME 'name' SYNTAX " + PREFIX + L"15 )"}),
        schemaAttribute(L"OBJECTCLASSES",
                        {L"( 2.5.6.6 NAME 'person' SUP top STRUCTURAL MUST ( sn $ cn ) )",
                         L"( 2.5.6.0 NAME 'top' ABSTRACT MUST objectClass )",
                         L"( 9.9 NAME 'Zeta' )", L"( 9.8 NAME 'alpha' )",
                         L"( 9.7 NAME 'top' )"}),
        schemaAttribute(L"MatchingRules", {L"( 2.5.13.2 NAME 'caseIgnoreMatch' SYNTAX " + PREFIX +
                                           L"15 )"}),
        schemaAttribute(L"matchingRuleUse", {L"( 2.5.13.2 NAME 'caseIgnoreMatch' APPLIES cn )"}),
        schemaAttribute(L"nameForms", {L"( 1.1 NAME 'x' OC person MUST cn )"}),
        schemaAttribute(L"cn", {L"Subschema"}),
        // A broken value is appended with what its parse filled in.
        schemaAttribute(L"attributeTypes", {L"no parenthesis", L"( 3.3 NAME 'broken' DESC )"}),
    };
    LDAPSchema& schema = LDAPSchema::instance();
    schema.addDefinitions(attributes);

    ASSERT_EQ(4u, schema.getAttributeTypes().size());
    ASSERT_EQ(5u, schema.getObjectClasses().size());
    ASSERT_EQ(1u, schema.getMatchingRules().size());
    EXPECT_EQ(L"cn", schema.getAttributeTypes()[0]->getName());
    EXPECT_EQ(L"", schema.getAttributeTypes()[2]->getOid());
    EXPECT_EQ(L"broken", schema.getAttributeTypes()[3]->getName());
    EXPECT_EQ(L"caseIgnoreMatch", schema.getMatchingRules()[0]->getName());

    std::vector<std::wstring> names{L"existing"};
    schema.getAttributeTypeNames(names);
    EXPECT_EQ((std::vector<std::wstring>{L"existing", L"cn", L"name", L"", L"broken"}), names);
    std::vector<std::wstring> classes;
    schema.getObjectClassNames(classes);
    EXPECT_EQ((std::vector<std::wstring>{L"person", L"top", L"Zeta", L"alpha", L"top"}), classes);
    EXPECT_EQ(classes, schema.getObjectClassNames());
    EXPECT_EQ((std::vector<std::wstring>{L"cn", L"name", L"", L"broken"}),
              schema.getAttributeTypeNames());
    std::set<std::wstring> classSet;
    schema.getObjectClassNameSet(classSet);
    EXPECT_EQ((std::set<std::wstring>{L"Zeta", L"alpha", L"person", L"top"}), classSet);
    EXPECT_EQ(L"Zeta", *classSet.begin());  // character-code order

    EXPECT_EQ(L"2.5.6.0", schema.findObjectClass(L"TOP")->getOid());
    EXPECT_EQ(nullptr, schema.findObjectClass(L"commonName").get());
    EXPECT_EQ(L"2.5.4.3", schema.findAttributeType(L"CN")->getOid());
    EXPECT_EQ(nullptr, schema.findAttributeType(L"commonName").get());

    EXPECT_EQ(0, schema.clear());
    EXPECT_FALSE(schema.isLoaded());
    EXPECT_TRUE(schema.getAttributeTypes().empty());
    EXPECT_TRUE(schema.getObjectClasses().empty());
    EXPECT_TRUE(schema.getMatchingRules().empty());
    EXPECT_EQ(nullptr, schema.findObjectClass(L"top").get());
}

TEST_F(SchemaLookupTest, NonAsciiAndOddValues)
{
    gc_ptr<LDAPAttribute> types(new LDAPAttribute(L"attributeTypes", VALUEKIND_UNKNOWN));
    // UTF-8 text, decoded.
    types->addValue(new LDAPAttributeValue(
        std::wstring(L"( 1.1 NAME 'caf\u00E9' DESC 'Stra\u00DFe \u0141\u00F3d\u017A' )")));
    // Bytes after a zero byte are not part of the text.
    const char withZero[] = "( 1.2 NAME 'zero' )\0 DESC 'hidden' )";
    types->addValue(new LDAPAttributeValue(withZero, sizeof(withZero) - 1));
    // An empty value: no "(", nothing filled in.
    types->addValue(new LDAPAttributeValue());
    LDAPSchema::instance().addDefinitions({types});

    const auto& list = LDAPSchema::instance().getAttributeTypes();
    ASSERT_EQ(3u, list.size());
    EXPECT_EQ(L"caf\u00E9", list[0]->getName());
    EXPECT_EQ(L"Stra\u00DFe \u0141\u00F3d\u017A", list[0]->getDescription());
    EXPECT_EQ(L"zero", list[1]->getName());
    EXPECT_EQ(L"", list[1]->getDescription());
    EXPECT_EQ(L"", list[2]->getOid());
    EXPECT_EQ(L"1.1", LDAPSchema::instance().findAttributeType(L"CAF\u00E9")->getOid());
}

TEST_F(SchemaLookupTest, SyntaxFoundOnceFollowsLaterChanges)
{
    gc_ptr<LDAPAttributeType> type =
        addType(L"( 1.1 NAME 'late' SYNTAX 1.2.840.test.late )");
    EXPECT_EQ(VALUEKIND_UNKNOWN, getValueKindOfAttribute(L"late"));
    // A syntax registered after the first lookup is found by the next.
    gc_ptr<LDAPSyntaxObject> server(new LDAPSyntaxObject());
    LDAPSchemaStrategyParser::parseSyntax(server, L"( 1.2.840.test.late DESC 'x' "
                                                  L"X-NOT-HUMAN-READABLE 'TRUE' )");
    SyntaxRegistry::instance().registerSyntax(server);
    EXPECT_EQ(VALUEKIND_BINARY, getValueKindOfAttribute(L"late"));
    EXPECT_EQ(VALUEKIND_BINARY, getValueKindOfAttribute(L"LATE"));
    // An element changed after it was added is answered as it is now.
    type->setSyntaxOid(L"1.3.6.1.4.1.1466.115.121.1.27");
    EXPECT_EQ(VALUEKIND_INTEGER, getValueKindOfAttribute(L"late"));
}

TEST_F(SchemaLookupTest, SingleInstance)
{
    gc_ptr<LDAPSchema> first = LDAPSchema::getInstance();
    gc_ptr<LDAPSchema> second = LDAPSchema::getInstance();
    EXPECT_EQ(first, second);
    EXPECT_EQ(first.get(), &LDAPSchema::instance());
    EXPECT_FALSE(first->isLoaded());
}

TEST_F(SchemaLookupTest, ManyTypesAndRepeatedSeeding)
{
    for (int i = 0; i < 20000; ++i)
        addType(L"( 1.9." + std::to_wstring(i) + L" NAME 'type" + std::to_wstring(i) +
                L"' SYNTAX 1.3.6.1.4.1.1466.115.121.1.5 )");
    for (int i = 0; i < 1000; ++i)
        SyntaxRegistry::instance().seedKnownSyntaxes();
    std::int32_t binary = 0;
    for (int round = 0; round < 10; ++round)
        for (int i = 0; i < 20000; i += 7)
            binary += isBinaryKind(getValueKindOfAttribute(L"TYPE" + std::to_wstring(i))) ? 1 : 0;
    EXPECT_EQ(10 * ((20000 + 6) / 7), binary);
}

} // namespace
