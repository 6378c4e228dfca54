#include "schema/LDAPSchemaStrategyParser.h"

#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

using ldapmodel::LDAPAttributeType;
using ldapmodel::LDAPMatchingRule;
using ldapmodel::LDAPObjectClass;
using ldapmodel::LDAPSchemaStrategyParser;
using ldapmodel::LDAPSyntaxObject;
using memorylib::gc_ptr;
using Names = std::vector<std::wstring>;

namespace {

const std::wstring APOSTROPHE = L"'";
const std::wstring SPACE = L" ";

gc_ptr<LDAPAttributeType> attributeType(const std::wstring& text, int expected = 0)
{
    gc_ptr<LDAPAttributeType> type(new LDAPAttributeType());
    EXPECT_EQ(expected, LDAPSchemaStrategyParser::parseAttributeType(type, text));
    return type;
}

gc_ptr<LDAPObjectClass> objectClass(const std::wstring& text, int expected = 0)
{
    gc_ptr<LDAPObjectClass> oc(new LDAPObjectClass());
    EXPECT_EQ(expected, LDAPSchemaStrategyParser::parseObjectClass(oc, text));
    return oc;
}

Names keywordList(const std::wstring& text, const std::wstring& keyword)
{
    Names list;
    EXPECT_EQ(0, LDAPSchemaStrategyParser::readKeywordList(text, keyword, L'$', list));
    return list;
}

// ---- primitives --------------------------------------------------------

TEST(SchemaParserPrimitives, ReadOidSkipsParenthesesAndSpaces)
{
    EXPECT_EQ(L"2.5.4.3", LDAPSchemaStrategyParser::readOid(L"( 2.5.4.3 NAME 'cn' )"));
    EXPECT_EQ(L"2.5.4.3", LDAPSchemaStrategyParser::readOid(L"((   2.5.4.3 NAME 'cn' )"));
    EXPECT_EQ(L"2.5.4.3", LDAPSchemaStrategyParser::readOid(L"(2.5.4.3"));
    EXPECT_EQ(L"", LDAPSchemaStrategyParser::readOid(L""));
    EXPECT_EQ(L"", LDAPSchemaStrategyParser::readOid(L"((("));
    EXPECT_EQ(L"", LDAPSchemaStrategyParser::readOid(L"(    "));
}

TEST(SchemaParserPrimitives, ReadOidUnquotes)
{
    EXPECT_EQ(L"1.2.3", LDAPSchemaStrategyParser::readOid(L"( '1.2.3' NAME 'x' )"));
    // From the second character, as long as first-to-last apostrophe less one.
    EXPECT_EQ(L"'", LDAPSchemaStrategyParser::readOid(L"( x'a' )"));
    EXPECT_EQ(L"", LDAPSchemaStrategyParser::readOid(L"( ' )"));
    EXPECT_EQ(L"", LDAPSchemaStrategyParser::readOid(L"( '' )"));
    EXPECT_EQ(L"", LDAPSchemaStrategyParser::readOid(L"( 1.2' )"));
}

TEST(SchemaParserPrimitives, ReadKeywordValue)
{
    const std::wstring text = L"( 2.5.4.3 NAME ( 'cn' 'commonName' ) DESC 'a b' SUP name )";
    EXPECT_EQ(L"cn", LDAPSchemaStrategyParser::readKeywordValue(text, L"NAME", APOSTROPHE));
    EXPECT_EQ(L"a b", LDAPSchemaStrategyParser::readKeywordValue(text, L"DESC", APOSTROPHE));
    EXPECT_EQ(L"name", LDAPSchemaStrategyParser::readKeywordValue(text, L"SUP", SPACE));
    EXPECT_EQ(L"", LDAPSchemaStrategyParser::readKeywordValue(text, L"SYNTAX", SPACE));
    // Case-sensitive.
    EXPECT_EQ(L"", LDAPSchemaStrategyParser::readKeywordValue(text, L"desc", APOSTROPHE));
    // A run of delimiters is skipped; the rest of the text ends the value.
    EXPECT_EQ(L"x", LDAPSchemaStrategyParser::readKeywordValue(L"SUP    x", L"SUP", SPACE));
    EXPECT_EQ(L"open", LDAPSchemaStrategyParser::readKeywordValue(L"DESC 'open", L"DESC",
                                                                  APOSTROPHE));
    EXPECT_EQ(L"", LDAPSchemaStrategyParser::readKeywordValue(L"DESC '''", L"DESC", APOSTROPHE));
}

TEST(SchemaParserPrimitives, ReadKeywordValueWithoutDelimiterFails)
{
    bool failed = false;
    EXPECT_EQ(L"", LDAPSchemaStrategyParser::readKeywordValue(L"( 1 DESC x )", L"DESC",
                                                              APOSTROPHE, &failed));
    EXPECT_TRUE(failed);
    failed = false;
    EXPECT_EQ(L"", LDAPSchemaStrategyParser::readKeywordValue(L"( 1 SUP", L"SUP", SPACE, &failed));
    EXPECT_TRUE(failed);
    failed = false;
    LDAPSchemaStrategyParser::readKeywordValue(L"( 1 )", L"SUP", SPACE, &failed);
    EXPECT_FALSE(failed);
    // Without a flag to set it answers the empty value all the same.
    EXPECT_EQ(L"", LDAPSchemaStrategyParser::readKeywordValue(L"( 1 SUP", L"SUP", SPACE));
}

TEST(SchemaParserPrimitives, HasKeywordMatchesAnywhere)
{
    EXPECT_TRUE(LDAPSchemaStrategyParser::hasKeyword(L"( 1 SINGLE-VALUE )", L"SINGLE-VALUE"));
    EXPECT_TRUE(LDAPSchemaStrategyParser::hasKeyword(L"( 1 DESC 'not OBSOLETE' )", L"OBSOLETE"));
    EXPECT_FALSE(LDAPSchemaStrategyParser::hasKeyword(L"( 1 obsolete )", L"OBSOLETE"));
    EXPECT_FALSE(LDAPSchemaStrategyParser::hasKeyword(L"", L"OBSOLETE"));
}

TEST(SchemaParserPrimitives, KeywordListForms)
{
    EXPECT_EQ((Names{L"cn", L"sn"}), keywordList(L"MUST ( cn $ sn ) )", L"MUST"));
    EXPECT_EQ((Names{L"cn"}), keywordList(L"MUST cn MAY x )", L"MUST"));
    // Two spaces before the parenthesis: the single-word form gives "(".
    EXPECT_EQ((Names{L"("}), keywordList(L"MUST  ( sn $ cn ) )", L"MUST"));
    // Without spaces every word stays open to the end and is dropped.
    EXPECT_EQ(Names{}, keywordList(L"MUST (cn$sn) )", L"MUST"));
    // "(" and "$" do not end a word.
    EXPECT_EQ((Names{L"ab"}), keywordList(L"MUST ( a$b ) ", L"MUST"));
    // ")" ends a word; the last word before the end of text is dropped.
    EXPECT_EQ((Names{L"cn"}), keywordList(L"MUST ( cn $ sn", L"MUST"));
    EXPECT_EQ(Names{}, keywordList(L"( 1 )", L"MUST"));
    // A keyword and a space with nothing after it adds no name.
    EXPECT_EQ(Names{}, keywordList(L"MUST   ", L"MUST"));
}

TEST(SchemaParserPrimitives, KeywordListAppendsToCallersList)
{
    Names list{L"keep"};
    EXPECT_EQ(0, LDAPSchemaStrategyParser::readKeywordList(L"MAY ( a $ b )", L"MAY", L'$', list));
    EXPECT_EQ((Names{L"keep", L"a", L"b"}), list);
    EXPECT_EQ(-1, LDAPSchemaStrategyParser::readKeywordList(L"( 1 MAY", L"MAY", L'$', list));
    EXPECT_EQ(3u, list.size());
}

// ---- attribute types ---------------------------------------------------

TEST(SchemaParserAttributeType, AllFields)
{
    auto type = attributeType(
        L"( 1.2.3.4 NAME 'fooBar' DESC 'a test type' OBSOLETE SUP name EQUALITY caseIgnoreMatch "
        L"ORDERING caseIgnoreOrderingMatch SUBSTR caseIgnoreSubstringsMatch "
        L"SYNTAX 1.3.6.1.4.1.1466.115.121.1.15{64} COLLECTIVE SINGLE-VALUE NO-USER-MODIFICATION "
        L"USAGE directoryOperation )");
    EXPECT_EQ(L"1.2.3.4", type->getOid());
    EXPECT_EQ(L"fooBar", type->getName());
    EXPECT_EQ(L"a test type", type->getDescription());
    EXPECT_TRUE(type->isObsolete());
    EXPECT_EQ(L"name", type->getSuperior());
    EXPECT_EQ(L"caseIgnoreMatch", type->getEqualityRule());
    EXPECT_EQ(L"caseIgnoreOrderingMatch", type->getOrderingRule());
    EXPECT_EQ(L"caseIgnoreSubstringsMatch", type->getSubstringRule());
    EXPECT_EQ(L"1.3.6.1.4.1.1466.115.121.1.15", type->getSyntaxOid());
    EXPECT_EQ(64, type->getSyntaxLength());
    EXPECT_TRUE(type->isCollective());
    EXPECT_TRUE(type->isSingleValued());
    EXPECT_TRUE(type->isNoUserModification());
    EXPECT_EQ(L"directoryOperation", type->getUsage());
}

TEST(SchemaParserAttributeType, ResetValuesWhenAbsent)
{
    auto type = attributeType(L"( 1.2.3 )");
    EXPECT_EQ(L"1.2.3", type->getOid());
    EXPECT_EQ(L"", type->getName());
    EXPECT_EQ(L"", type->getDescription());
    EXPECT_EQ(L"", type->getSuperior());
    EXPECT_EQ(L"", type->getSyntaxOid());
    EXPECT_EQ(-1, type->getSyntaxLength());
    EXPECT_FALSE(type->isObsolete());
    EXPECT_FALSE(type->isSingleValued());
    EXPECT_EQ(L"", type->getUsage());
}

TEST(SchemaParserAttributeType, OnlyTheFirstName)
{
    auto type = attributeType(L"( 2.5.4.3 NAME ( 'cn' 'commonName' ) SUP name )");
    EXPECT_EQ(L"cn", type->getName());
    EXPECT_EQ(L"name", type->getSuperior());
}

TEST(SchemaParserAttributeType, SyntaxLengthBound)
{
    auto bounded = attributeType(L"( 1 SYNTAX 1.3.6.1.4.1.1466.115.121.1.15{32768} )");
    EXPECT_EQ(L"1.3.6.1.4.1.1466.115.121.1.15", bounded->getSyntaxOid());
    EXPECT_EQ(32768, bounded->getSyntaxLength());

    auto plain = attributeType(L"( 1 SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 )");
    EXPECT_EQ(L"1.3.6.1.4.1.1466.115.121.1.15", plain->getSyntaxOid());
    EXPECT_EQ(-1, plain->getSyntaxLength());

    auto quoted = attributeType(L"( 1 SYNTAX '1.3.6.1.4.1.1466.115.121.1.15' )");
    EXPECT_EQ(L"1.3.6.1.4.1.1466.115.121.1.15", quoted->getSyntaxOid());

    auto quotedBound = attributeType(L"( 1 SYNTAX '1.3.6.1.4.1.1466.115.121.1.26{256}' )");
    EXPECT_EQ(L"1.3.6.1.4.1.1466.115.121.1.26", quotedBound->getSyntaxOid());
    EXPECT_EQ(256, quotedBound->getSyntaxLength());

    auto unclosed = attributeType(L"( 1 SYNTAX 1.2.3{12 )");
    EXPECT_EQ(L"1.2.3", unclosed->getSyntaxOid());
    EXPECT_EQ(-1, unclosed->getSyntaxLength());

    auto huge = attributeType(L"( 1 SYNTAX 1.2.3{99999999999999999999} )");
    EXPECT_EQ(2147483647, huge->getSyntaxLength());
    auto junk = attributeType(L"( 1 SYNTAX 1.2.3{x} )");
    EXPECT_EQ(0, junk->getSyntaxLength());
}

TEST(SchemaParserAttributeType, KeywordsFoundInsideOtherText)
{
    // SINGLE-VALUE inside the description makes the type single-valued.
    auto single = attributeType(L"( 1 NAME 'a' DESC 'never SINGLE-VALUE here' )");
    EXPECT_TRUE(single->isSingleValued());
    // SUP inside SUPERIOR is taken where it first occurs.
    auto superior = attributeType(L"( 1 NAME 'a' DESC 'the SUPERIOR one' SUP name )");
    EXPECT_EQ(L"one'", superior->getSuperior());
    // NAME inside a longer word.
    auto name = attributeType(L"( 1 DESC 'RENAMED' NAME 'a' )");
    EXPECT_EQ(L" NAME ", name->getName());
}

TEST(SchemaParserAttributeType, TextBeforeParenthesisIsCut)
{
    auto type = attributeType(L"attributetype SUP x {3}( 1.2 NAME 'a' )");
    EXPECT_EQ(L"1.2", type->getOid());
    EXPECT_EQ(L"", type->getSuperior());
}

TEST(SchemaParserAttributeType, NoParenthesisFailsAndResets)
{
    gc_ptr<LDAPAttributeType> type(new LDAPAttributeType());
    type->setName(L"old");
    type->setSyntaxLength(7);
    EXPECT_EQ(-1, LDAPSchemaStrategyParser::parseAttributeType(type, L"1.2.3 NAME 'cn'"));
    EXPECT_EQ(L"", type->getName());
    EXPECT_EQ(-1, type->getSyntaxLength());
    EXPECT_EQ(-1, LDAPSchemaStrategyParser::parseAttributeType(type, L""));
    EXPECT_EQ(-1, LDAPSchemaStrategyParser::parseAttributeType(gc_ptr<LDAPAttributeType>(),
                                                               L"( 1 )"));
}

TEST(SchemaParserAttributeType, KeywordWithoutDelimiterFails)
{
    // The fields before and after the broken keyword are still read.
    auto type = attributeType(L"( 1.2 NAME 'a' SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 DESC x )", -1);
    EXPECT_EQ(L"1.2", type->getOid());
    EXPECT_EQ(L"a", type->getName());
    EXPECT_EQ(L"", type->getDescription());
    EXPECT_EQ(L"1.3.6.1.4.1.1466.115.121.1.15", type->getSyntaxOid());
    attributeType(L"( 1.2 NAME", -1);
    attributeType(L"( 1.2 USAGE", -1);
    attributeType(L"( 1.2 NAME 'a' SUP", -1);
}

// ---- object classes ----------------------------------------------------

TEST(SchemaParserObjectClass, PersonLike)
{
    auto oc = objectClass(
        L"( 2.5.6.6 NAME 'person' DESC 'RFC2256: a person' SUP top STRUCTURAL MUST ( sn $ cn ) "
        L"MAY ( userPassword $ telephoneNumber ) )");
    EXPECT_EQ(L"2.5.6.6", oc->getOid());
    EXPECT_EQ(L"person", oc->getName());
    EXPECT_EQ(L"RFC2256: a person", oc->getDescription());
    EXPECT_EQ(L"top", oc->getSuperior());
    EXPECT_EQ(L"STRUCTURAL", oc->getKind());
    EXPECT_EQ((Names{L"sn", L"cn"}), oc->getMustList());
    EXPECT_EQ((Names{L"userPassword", L"telephoneNumber"}), oc->getMayList());
    EXPECT_FALSE(oc->isObsolete());

    Names copy{L"first"};
    oc->copyMustList(copy);
    oc->copyMayList(copy);
    EXPECT_EQ((Names{L"first", L"sn", L"cn", L"userPassword", L"telephoneNumber"}), copy);
}

TEST(SchemaParserObjectClass, Kinds)
{
    EXPECT_EQ(L"ABSTRACT", objectClass(L"( 2.5.6.0 NAME 'top' ABSTRACT MUST objectClass )")->getKind());
    EXPECT_EQ(L"AUXILIARY", objectClass(L"( 1 NAME 'x' AUXILIARY )")->getKind());
    EXPECT_EQ(L"", objectClass(L"( 1 NAME 'x' )")->getKind());
    // The last one found in the order ABSTRACT, STRUCTURAL, AUXILIARY wins.
    EXPECT_EQ(L"AUXILIARY", objectClass(L"( 1 AUXILIARY DESC 'STRUCTURAL' )")->getKind());
    // Position 0 does not count; only text from the "(" on is searched.
    EXPECT_EQ(L"", objectClass(L"STRUCTURAL( 1 )")->getKind());
}

TEST(SchemaParserObjectClass, ListQuirks)
{
    EXPECT_EQ((Names{L"cn"}), objectClass(L"( 1 MUST cn )")->getMustList());
    EXPECT_EQ((Names{L"("}), objectClass(L"( 1 MUST  ( sn $ cn ) )")->getMustList());
    EXPECT_EQ(Names{}, objectClass(L"( 1 MUST (sn$cn) )")->getMustList());
    // A parenthesised list of superiors yields "(".
    EXPECT_EQ(L"(", objectClass(L"( 1 SUP ( a $ b ) )")->getSuperior());
    // MAY inside a description is taken where it first occurs.
    auto oc = objectClass(L"( 1 DESC 'MAYBE' MAY ( a ) )");
    EXPECT_EQ((Names{L"MAY"}), oc->getMayList());
}

TEST(SchemaParserObjectClass, ParseResetsLists)
{
    gc_ptr<LDAPObjectClass> oc(new LDAPObjectClass());
    ASSERT_EQ(0, LDAPSchemaStrategyParser::parseObjectClass(oc, L"( 1 MUST ( a $ b ) )"));
    ASSERT_EQ(0, LDAPSchemaStrategyParser::parseObjectClass(oc, L"( 1 MUST ( c ) )"));
    EXPECT_EQ((Names{L"c"}), oc->getMustList());
    EXPECT_EQ(-1, LDAPSchemaStrategyParser::parseObjectClass(oc, L"no parenthesis"));
    EXPECT_TRUE(oc->getMustList().empty());
    EXPECT_EQ(L"", oc->getOid());
}

TEST(SchemaParserObjectClass, KeywordWithoutDelimiterFails)
{
    objectClass(L"( 1 NAME 'x' MUST", -1);
    objectClass(L"( 1 NAME 'x' MAY", -1);
    auto oc = objectClass(L"( 1 NAME 'x' MUST cn DESC", -1);
    EXPECT_EQ(L"x", oc->getName());
    EXPECT_EQ((Names{L"cn"}), oc->getMustList());
}

// ---- matching rules and syntaxes ----------------------------------------

TEST(SchemaParserMatchingRule, Fields)
{
    gc_ptr<LDAPMatchingRule> rule(new LDAPMatchingRule());
    ASSERT_EQ(0, LDAPSchemaStrategyParser::parseMatchingRule(
                     rule, L"( 2.5.13.2 NAME 'caseIgnoreMatch' DESC 'case' OBSOLETE "
                           L"SYNTAX '1.3.6.1.4.1.1466.115.121.1.15{9}' )"));
    EXPECT_EQ(L"2.5.13.2", rule->getOid());
    EXPECT_EQ(L"caseIgnoreMatch", rule->getName());
    EXPECT_EQ(L"case", rule->getDescription());
    EXPECT_TRUE(rule->isObsolete());
    // As written: no trimming, no length split.
    EXPECT_EQ(L"'1.3.6.1.4.1.1466.115.121.1.15{9}'", rule->getSyntaxOid());

    EXPECT_EQ(-1, LDAPSchemaStrategyParser::parseMatchingRule(rule, L"2.5.13.2"));
    EXPECT_EQ(L"", rule->getName());
    EXPECT_EQ(-1, LDAPSchemaStrategyParser::parseMatchingRule(rule, L"( 2.5.13.2 SYNTAX"));
    EXPECT_EQ(-1, LDAPSchemaStrategyParser::parseMatchingRule(gc_ptr<LDAPMatchingRule>(), L"( 1 )"));
}

TEST(SchemaParserSyntax, HumanReadableFlagAndKind)
{
    gc_ptr<LDAPSyntaxObject> syntax(new LDAPSyntaxObject());
    ASSERT_EQ(0, LDAPSchemaStrategyParser::parseSyntax(
                     syntax, L"( 1.3.6.1.4.1.1466.115.121.1.5 DESC 'Binary' "
                             L"X-NOT-HUMAN-READABLE 'TRUE' )"));
    EXPECT_EQ(L"1.3.6.1.4.1.1466.115.121.1.5", syntax->getOid());
    EXPECT_EQ(L"Binary", syntax->getDescription());
    EXPECT_FALSE(syntax->isHumanReadable());
    EXPECT_EQ(ldapmodel::VALUEKIND_BINARY, syntax->getValueKind());

    ASSERT_EQ(0, LDAPSchemaStrategyParser::parseSyntax(
                     syntax, L"( 1.2.3 DESC 'Text' X-NOT-HUMAN-READABLE 'FALSE' )"));
    EXPECT_TRUE(syntax->isHumanReadable());
    EXPECT_EQ(ldapmodel::VALUEKIND_TEXT, syntax->getValueKind());

    ASSERT_EQ(0, LDAPSchemaStrategyParser::parseSyntax(syntax, L"( 1.2.4 DESC 'Plain' )"));
    EXPECT_EQ(L"1.2.4", syntax->getOid());
    EXPECT_TRUE(syntax->isHumanReadable());
    EXPECT_EQ(ldapmodel::VALUEKIND_TEXT, syntax->getValueKind());

    // Only exactly TRUE counts; other extensions are not read.
    ASSERT_EQ(0, LDAPSchemaStrategyParser::parseSyntax(
                     syntax, L"( 1.2.5 DESC 'x' X-NOT-HUMAN-READABLE 'true' "
                             L"X-BINARY-TRANSFER-REQUIRED 'TRUE' )"));
    EXPECT_TRUE(syntax->isHumanReadable());
}

TEST(SchemaParserSyntax, Failures)
{
    EXPECT_EQ(-1, LDAPSchemaStrategyParser::parseSyntax(gc_ptr<LDAPSyntaxObject>(), L"( 1 )"));
    gc_ptr<LDAPSyntaxObject> syntax(new LDAPSyntaxObject());
    EXPECT_EQ(-1, LDAPSchemaStrategyParser::parseSyntax(syntax, L"1.2.3 DESC 'x'"));
    EXPECT_EQ(L"", syntax->getOid());
    EXPECT_EQ(-1, LDAPSchemaStrategyParser::parseSyntax(syntax, L"( 1.2 DESC"));
    EXPECT_EQ(-1, LDAPSchemaStrategyParser::parseSyntax(syntax, L"( 1.2 X-NOT-HUMAN-READABLE"));
}

// ---- ASCII bytes parse as their widened text ----------------------------

std::string narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

void expectSameAttributeType(const std::wstring& text)
{
    gc_ptr<LDAPAttributeType> wide(new LDAPAttributeType());
    gc_ptr<LDAPAttributeType> bytes(new LDAPAttributeType());
    const std::string ascii = narrow(text);
    EXPECT_EQ(LDAPSchemaStrategyParser::parseAttributeType(wide, text),
              LDAPSchemaStrategyParser::parseAttributeType(bytes, std::string_view(ascii)));
    EXPECT_EQ(wide->getOid(), bytes->getOid()) << ascii;
    EXPECT_EQ(wide->getName(), bytes->getName()) << ascii;
    EXPECT_EQ(wide->getDescription(), bytes->getDescription()) << ascii;
    EXPECT_EQ(wide->isObsolete(), bytes->isObsolete()) << ascii;
    EXPECT_EQ(wide->getSuperior(), bytes->getSuperior()) << ascii;
    EXPECT_EQ(wide->getEqualityRule(), bytes->getEqualityRule()) << ascii;
    EXPECT_EQ(wide->getOrderingRule(), bytes->getOrderingRule()) << ascii;
    EXPECT_EQ(wide->getSubstringRule(), bytes->getSubstringRule()) << ascii;
    EXPECT_EQ(wide->getSyntaxOid(), bytes->getSyntaxOid()) << ascii;
    EXPECT_EQ(wide->getSyntaxLength(), bytes->getSyntaxLength()) << ascii;
    EXPECT_EQ(wide->isCollective(), bytes->isCollective()) << ascii;
    EXPECT_EQ(wide->isSingleValued(), bytes->isSingleValued()) << ascii;
    EXPECT_EQ(wide->isNoUserModification(), bytes->isNoUserModification()) << ascii;
    EXPECT_EQ(wide->getUsage(), bytes->getUsage()) << ascii;
}

void expectSameObjectClass(const std::wstring& text)
{
    gc_ptr<LDAPObjectClass> wide(new LDAPObjectClass());
    gc_ptr<LDAPObjectClass> bytes(new LDAPObjectClass());
    const std::string ascii = narrow(text);
    EXPECT_EQ(LDAPSchemaStrategyParser::parseObjectClass(wide, text),
              LDAPSchemaStrategyParser::parseObjectClass(bytes, std::string_view(ascii)));
    EXPECT_EQ(wide->getOid(), bytes->getOid()) << ascii;
    EXPECT_EQ(wide->getName(), bytes->getName()) << ascii;
    EXPECT_EQ(wide->getDescription(), bytes->getDescription()) << ascii;
    EXPECT_EQ(wide->getSuperior(), bytes->getSuperior()) << ascii;
    EXPECT_EQ(wide->getKind(), bytes->getKind()) << ascii;
    EXPECT_EQ(wide->getMustList(), bytes->getMustList()) << ascii;
    EXPECT_EQ(wide->getMayList(), bytes->getMayList()) << ascii;
}

TEST(SchemaParserAscii, KeywordsAtEveryOffset)
{
    // Keywords placed at every position modulo the scan's word size, joined
    // to other capitals, at the very end and cut short.
    const std::vector<std::wstring> keywords = {
        L"NAME 'n'", L"DESC 'd'", L"OBSOLETE", L"SUP s", L"EQUALITY e", L"ORDERING o",
        L"SUBSTR b", L"SYNTAX 1.2{3}", L"COLLECTIVE", L"SINGLE-VALUE", L"NO-USER-MODIFICATION",
        L"USAGE u", L"ABSTRACT", L"STRUCTURAL", L"AUXILIARY", L"MUST ( a $ b )", L"MAY m",
        L"X-NOT-HUMAN-READABLE 'TRUE'", L"XSUPERIOR y", L"aNAME", L"SYNTAX", L"SINGLE-"};
    for (std::size_t pad = 0; pad < 17; ++pad) {
        for (const std::wstring& keyword : keywords) {
            const std::wstring padding(pad, L'x');
            expectSameAttributeType(L"( 1.2 " + padding + keyword + L" )");
            expectSameAttributeType(L"( 1.2 " + padding + keyword);
            expectSameAttributeType(L"(" + padding + L"AB" + keyword + L"CD" + keyword);
            expectSameObjectClass(L"( 1.2 " + padding + keyword + L" MUST x )");
            expectSameObjectClass(L"(" + padding + keyword);
        }
    }
}

// ---- the schema files OpenLDAP ships -------------------------------------

const char* const SCHEMA_DIR = "/etc/ldap/schema/";

std::wstring widen(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

std::string collapseBlanks(const std::string& text)
{
    std::string out;
    bool blank = false;
    for (char c : text) {
        if (std::isspace(static_cast<unsigned char>(c))) {
            blank = true;
            continue;
        }
        if (blank && !out.empty())
            out.push_back(' ');
        blank = false;
        out.push_back(c);
    }
    return out;
}

struct SchemaFile {
    std::vector<std::wstring> attributeTypes;
    std::vector<std::wstring> objectClasses;
};

bool readLines(const std::string& name, std::vector<std::string>& lines)
{
    std::ifstream in(SCHEMA_DIR + name);
    if (!in)
        return false;
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return true;
}

// slapd.conf form: a statement and its indented continuation lines, with
// runs of blanks made single as the server returns them.
SchemaFile readSchemaFile(const std::string& name)
{
    SchemaFile file;
    std::vector<std::string> lines;
    EXPECT_TRUE(readLines(name, lines)) << name;
    std::vector<std::string> statements;
    for (const std::string& line : lines) {
        if (line.empty() || line[0] == '#')
            continue;
        if (std::isspace(static_cast<unsigned char>(line[0])) && !statements.empty())
            statements.back() += " " + line;
        else
            statements.push_back(line);
    }
    for (const std::string& statement : statements) {
        std::string text = collapseBlanks(statement);
        std::string keyword = text.substr(0, text.find(' '));
        for (char& c : keyword)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (keyword == "attributetype")
            file.attributeTypes.push_back(widen(text));
        else if (keyword == "objectclass")
            file.objectClasses.push_back(widen(text));
    }
    return file;
}

// cn=config LDIF form: unfolded values, each still prefixed by nothing but
// the attribute name; no other normalisation.
SchemaFile readLdifFile(const std::string& name)
{
    SchemaFile file;
    std::vector<std::string> lines;
    EXPECT_TRUE(readLines(name, lines)) << name;
    std::vector<std::string> records;
    for (const std::string& line : lines) {
        if (!line.empty() && line[0] == '#')
            continue;
        if (!line.empty() && line[0] == ' ' && !records.empty())
            records.back() += line.substr(1);
        else
            records.push_back(line);
    }
    const std::string types = "olcAttributeTypes:";
    const std::string classes = "olcObjectClasses:";
    for (const std::string& record : records) {
        if (record.compare(0, types.size(), types) == 0)
            file.attributeTypes.push_back(widen(record.substr(types.size() + 1)));
        else if (record.compare(0, classes.size(), classes) == 0)
            file.objectClasses.push_back(widen(record.substr(classes.size() + 1)));
    }
    return file;
}

struct ParsedSchema {
    std::map<std::wstring, gc_ptr<LDAPAttributeType>> types;
    std::map<std::wstring, gc_ptr<LDAPObjectClass>> classes;
};

ParsedSchema parseAll(const SchemaFile& file)
{
    ParsedSchema parsed;
    for (const std::wstring& text : file.attributeTypes) {
        gc_ptr<LDAPAttributeType> type(new LDAPAttributeType());
        EXPECT_EQ(0, LDAPSchemaStrategyParser::parseAttributeType(type, text));
        EXPECT_FALSE(type->getOid().empty());
        EXPECT_FALSE(type->getName().empty());
        EXPECT_TRUE(parsed.types.emplace(type->getName(), type).second);
    }
    for (const std::wstring& text : file.objectClasses) {
        gc_ptr<LDAPObjectClass> oc(new LDAPObjectClass());
        EXPECT_EQ(0, LDAPSchemaStrategyParser::parseObjectClass(oc, text));
        EXPECT_FALSE(oc->getOid().empty());
        EXPECT_FALSE(oc->getKind().empty());
        EXPECT_TRUE(parsed.classes.emplace(oc->getName(), oc).second);
    }
    return parsed;
}

void expectType(const ParsedSchema& schema, const std::wstring& name, const std::wstring& oid,
                const std::wstring& syntax, int length, const std::wstring& superior)
{
    auto found = schema.types.find(name);
    ASSERT_NE(found, schema.types.end()) << std::string(name.begin(), name.end());
    EXPECT_EQ(oid, found->second->getOid());
    EXPECT_EQ(syntax, found->second->getSyntaxOid());
    EXPECT_EQ(length, found->second->getSyntaxLength());
    EXPECT_EQ(superior, found->second->getSuperior());
}

void expectClass(const ParsedSchema& schema, const std::wstring& name, const std::wstring& oid,
                 const std::wstring& superior, const std::wstring& kind, const Names& must,
                 const Names& may)
{
    auto found = schema.classes.find(name);
    ASSERT_NE(found, schema.classes.end()) << std::string(name.begin(), name.end());
    EXPECT_EQ(oid, found->second->getOid());
    EXPECT_EQ(superior, found->second->getSuperior());
    EXPECT_EQ(kind, found->second->getKind());
    EXPECT_EQ(must, found->second->getMustList());
    EXPECT_EQ(may, found->second->getMayList());
}

const std::wstring DIRECTORY_STRING = L"1.3.6.1.4.1.1466.115.121.1.15";

void checkCore(const ParsedSchema& core)
{
    // slapd builds in cn, name, description, uid and others; the file has the rest.
    EXPECT_EQ(52u, core.types.size());
    EXPECT_EQ(27u, core.classes.size());
    expectType(core, L"sn", L"2.5.4.4", L"", -1, L"name");
    EXPECT_EQ(0u, core.types.count(L"surname"));
    expectType(core, L"knowledgeInformation", L"2.5.4.2", DIRECTORY_STRING, 32768, L"");
    expectType(core, L"userCertificate", L"2.5.4.36", L"1.3.6.1.4.1.1466.115.121.1.8", -1, L"");
    expectType(core, L"serialNumber", L"2.5.4.5", L"1.3.6.1.4.1.1466.115.121.1.44", 64, L"");
    expectType(core, L"c", L"2.5.4.6", L"1.3.6.1.4.1.1466.115.121.1.11", -1, L"name");
    expectType(core, L"mail", L"0.9.2342.19200300.100.1.3", L"1.3.6.1.4.1.1466.115.121.1.26",
               256, L"");
    expectType(core, L"email", L"1.2.840.113549.1.9.1", L"1.3.6.1.4.1.1466.115.121.1.26", 128,
               L"");
    expectType(core, L"member", L"2.5.4.31", L"", -1, L"distinguishedName");
    expectType(core, L"dc", L"0.9.2342.19200300.100.1.25", L"1.3.6.1.4.1.1466.115.121.1.26",
               -1, L"");
    expectType(core, L"facsimileTelephoneNumber", L"2.5.4.23",
               L"1.3.6.1.4.1.1466.115.121.1.22", -1, L"");
    EXPECT_EQ(0u, core.types.count(L"fax"));
    EXPECT_TRUE(core.types.at(L"c")->isSingleValued());
    EXPECT_TRUE(core.types.at(L"dc")->isSingleValued());
    EXPECT_FALSE(core.types.at(L"sn")->isSingleValued());
    EXPECT_EQ(L"caseIgnoreIA5Match", core.types.at(L"dc")->getEqualityRule());
    EXPECT_EQ(L"caseIgnoreIA5SubstringsMatch", core.types.at(L"dc")->getSubstringRule());
    EXPECT_EQ(L"RFC2256: last (family) name(s) for which the entity is known by",
              core.types.at(L"sn")->getDescription());

    expectClass(core, L"person", L"2.5.6.6", L"top", L"STRUCTURAL", {L"sn", L"cn"},
                {L"userPassword", L"telephoneNumber", L"seeAlso", L"description"});
    expectClass(core, L"strongAuthenticationUser", L"2.5.6.15", L"top", L"AUXILIARY",
                {L"userCertificate"}, {});
    expectClass(core, L"certificationAuthority", L"2.5.6.16", L"top", L"AUXILIARY",
                {L"authorityRevocationList", L"certificateRevocationList", L"cACertificate"},
                {L"crossCertificatePair"});
    expectClass(core, L"dcObject", L"1.3.6.1.4.1.1466.344", L"top", L"AUXILIARY", {L"dc"}, {});
    expectClass(core, L"groupOfNames", L"2.5.6.9", L"top", L"STRUCTURAL", {L"member", L"cn"},
                {L"businessCategory", L"seeAlso", L"owner", L"ou", L"o", L"description"});
}

TEST(SchemaParserRealSchema, CoreSchema)
{
    checkCore(parseAll(readSchemaFile("core.schema")));
}

TEST(SchemaParserRealSchema, CoreLdifGivesTheSameElements)
{
    SchemaFile schema = readSchemaFile("core.schema");
    SchemaFile ldif = readLdifFile("core.ldif");
    ParsedSchema fromLdif = parseAll(ldif);
    checkCore(fromLdif);
    ParsedSchema fromSchema = parseAll(schema);
    ASSERT_EQ(fromSchema.types.size(), fromLdif.types.size());
    for (const auto& entry : fromSchema.types) {
        const auto& other = fromLdif.types.at(entry.first);
        EXPECT_EQ(entry.second->getOid(), other->getOid());
        EXPECT_EQ(entry.second->getDescription(), other->getDescription());
        EXPECT_EQ(entry.second->getSyntaxOid(), other->getSyntaxOid());
        EXPECT_EQ(entry.second->getSyntaxLength(), other->getSyntaxLength());
        EXPECT_EQ(entry.second->getSuperior(), other->getSuperior());
        EXPECT_EQ(entry.second->isSingleValued(), other->isSingleValued());
    }
    for (const auto& entry : fromSchema.classes) {
        const auto& other = fromLdif.classes.at(entry.first);
        EXPECT_EQ(entry.second->getMustList(), other->getMustList());
        EXPECT_EQ(entry.second->getMayList(), other->getMayList());
        EXPECT_EQ(entry.second->getKind(), other->getKind());
    }
}

TEST(SchemaParserRealSchema, Cosine)
{
    ParsedSchema cosine = parseAll(readSchemaFile("cosine.schema"));
    expectType(cosine, L"homePhone", L"0.9.2342.19200300.100.1.20",
               L"1.3.6.1.4.1.1466.115.121.1.50", -1, L"");
    EXPECT_EQ(0u, cosine.types.count(L"homeTelephoneNumber"));
    expectType(cosine, L"photo", L"0.9.2342.19200300.100.1.7", L"1.3.6.1.4.1.1466.115.121.1.23",
               25000, L"");
    expectType(cosine, L"audio", L"0.9.2342.19200300.100.1.55", L"1.3.6.1.4.1.1466.115.121.1.4",
               25000, L"");
    // The list keeps the names as written, the second name of a type included.
    expectClass(cosine, L"account", L"0.9.2342.19200300.100.4.5", L"top", L"STRUCTURAL",
                {L"userid"}, {L"description", L"seeAlso", L"localityName",
                              L"organizationName", L"organizationalUnitName", L"host"});
    expectClass(cosine, L"domain", L"0.9.2342.19200300.100.4.13", L"top", L"STRUCTURAL",
                {L"domainComponent"},
                {L"associatedName", L"organizationName", L"description", L"businessCategory",
                 L"seeAlso", L"searchGuide", L"userPassword", L"localityName",
                 L"stateOrProvinceName", L"streetAddress", L"physicalDeliveryOfficeName",
                 L"postalAddress", L"postalCode", L"postOfficeBox", L"streetAddress",
                 L"facsimileTelephoneNumber", L"internationalISDNNumber", L"telephoneNumber",
                 L"teletexTerminalIdentifier", L"telexNumber", L"preferredDeliveryMethod",
                 L"destinationIndicator", L"registeredAddress", L"x121Address"});
}

TEST(SchemaParserRealSchema, InetOrgPerson)
{
    ParsedSchema inet = parseAll(readSchemaFile("inetorgperson.schema"));
    EXPECT_EQ(9u, inet.types.size());
    expectType(inet, L"jpegPhoto", L"0.9.2342.19200300.100.1.60",
               L"1.3.6.1.4.1.1466.115.121.1.28", -1, L"");
    expectType(inet, L"userSMIMECertificate", L"2.16.840.1.113730.3.1.40",
               L"1.3.6.1.4.1.1466.115.121.1.5", -1, L"");
    expectType(inet, L"displayName", L"2.16.840.1.113730.3.1.241", DIRECTORY_STRING, -1, L"");
    EXPECT_TRUE(inet.types.at(L"displayName")->isSingleValued());
    expectClass(inet, L"inetOrgPerson", L"2.16.840.1.113730.3.2.2", L"organizationalPerson",
                L"STRUCTURAL", {},
                {L"audio", L"businessCategory", L"carLicense", L"departmentNumber",
                 L"displayName", L"employeeNumber", L"employeeType", L"givenName",
                 L"homePhone", L"homePostalAddress", L"initials", L"jpegPhoto",
                 L"labeledURI", L"mail", L"manager", L"mobile", L"o", L"pager", L"photo",
                 L"roomNumber", L"secretary", L"uid", L"userCertificate",
                 L"x500uniqueIdentifier", L"preferredLanguage", L"userSMIMECertificate",
                 L"userPKCS12"});
}

TEST(SchemaParserRealSchema, Nis)
{
    ParsedSchema nis = parseAll(readSchemaFile("nis.schema"));
    expectType(nis, L"shadowLastChange", L"1.3.6.1.1.1.1.5", L"1.3.6.1.4.1.1466.115.121.1.27", -1,
               L"");
    EXPECT_TRUE(nis.types.at(L"shadowLastChange")->isSingleValued());
    EXPECT_EQ(L"integerMatch", nis.types.at(L"shadowLastChange")->getEqualityRule());
    expectType(nis, L"gecos", L"1.3.6.1.1.1.1.2", L"1.3.6.1.4.1.1466.115.121.1.26", -1, L"");
    EXPECT_EQ(L"The GECOS field; the common name", nis.types.at(L"gecos")->getDescription());
    expectType(nis, L"memberUid", L"1.3.6.1.1.1.1.12", L"1.3.6.1.4.1.1466.115.121.1.26", -1, L"");
    expectClass(nis, L"posixAccount", L"1.3.6.1.1.1.2.0", L"top", L"AUXILIARY",
                {L"cn", L"uid", L"uidNumber", L"gidNumber", L"homeDirectory"},
                {L"userPassword", L"loginShell", L"gecos", L"description"});
    expectClass(nis, L"posixGroup", L"1.3.6.1.1.1.2.2", L"top", L"STRUCTURAL",
                {L"cn", L"gidNumber"}, {L"userPassword", L"memberUid", L"description"});
    // The cn=config form of the same file agrees.
    ParsedSchema ldif = parseAll(readLdifFile("nis.ldif"));
    EXPECT_EQ(nis.types.size(), ldif.types.size());
    EXPECT_EQ(nis.classes.at(L"posixAccount")->getMustList(),
              ldif.classes.at(L"posixAccount")->getMustList());
}

TEST(SchemaParserRealSchema, AsciiBytesParseAsWideText)
{
    for (const auto& name : {"core.schema", "cosine.schema", "inetorgperson.schema", "nis.schema"}) {
        SchemaFile file = readSchemaFile(name);
        for (const std::wstring& text : file.attributeTypes)
            expectSameAttributeType(text);
        for (const std::wstring& text : file.objectClasses)
            expectSameObjectClass(text);
    }
}

} // namespace
