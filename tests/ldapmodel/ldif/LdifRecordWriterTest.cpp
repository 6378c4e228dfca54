#include "ldif/LdifRecordWriter.h"
#include "records/LDAPAttribute.h"
#include "records/LDAPAttributeValue.h"
#include "records/LDAPEntry.h"
#include "schema/LDAPAttributeType.h"
#include "schema/LDAPSchema.h"
#include "schema/SyntaxRegistry.h"
#include "schema/ValueKind.h"
#include "utilities/Util.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

using ldapmodel::LDAPAttribute;
using ldapmodel::LDAPAttributeValue;
using ldapmodel::LDAPEntry;
using ldapmodel::LdifRecordWriter;
using memorylib::gc_ptr;

gc_ptr<LDAPAttributeValue> text(const std::wstring& value) { return new LDAPAttributeValue(value); }
gc_ptr<LDAPAttributeValue> bytes(const std::string& value)
{
    return new LDAPAttributeValue(value.data(), value.size());
}

gc_ptr<LDAPEntry> entryWith(const std::wstring& dn,
                            const std::vector<std::pair<std::wstring, gc_ptr<LDAPAttributeValue>>>& values)
{
    gc_ptr<LDAPEntry> entry = new LDAPEntry();
    entry->setDN(dn);
    for (const auto& value : values)
        entry->addAttributeValue(value.first, value.second);
    return entry;
}

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

std::string base64(const std::string& bytes)
{
    return util::base64Encode(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

// Registers jpegPhoto (JPEG syntax, binary kind) in the process's schema for
// the lifetime of the object.
class PhotoSchema {
public:
    PhotoSchema()
    {
        ldapmodel::SyntaxRegistry::instance().seedKnownSyntaxes();
        gc_ptr<ldapmodel::LDAPAttributeType> photo = new ldapmodel::LDAPAttributeType();
        photo->setName(L"jpegPhoto");
        photo->setSyntaxOid(L"1.3.6.1.4.1.1466.115.121.1.28");
        ldapmodel::LDAPSchema::instance().addAttributeType(photo);
    }
    ~PhotoSchema() { ldapmodel::LDAPSchema::instance().clear(); }
};

TEST(LdifRecordWriterTest, SmallEntryIsTheDnLineAndOneLinePerValue)
{
    gc_ptr<LDAPEntry> entry = entryWith(L"cn=test,o=example", {{L"cn", text(L"test")}});
    EXPECT_EQ(LdifRecordWriter::entryRecord(*entry, 78), "dn: cn=test,o=example\ncn: test\n");

    entry->addAttributeValue(L"objectClass", text(L"top"));
    entry->addAttributeValue(L"objectClass", text(L"device"));
    entry->addAttributeValue(L"CN", text(L"second"));
    EXPECT_EQ(LdifRecordWriter::entryRecord(*entry, 78),
              "dn: cn=test,o=example\ncn: test\ncn: second\nobjectClass: top\nobjectClass: device\n");
}

TEST(LdifRecordWriterTest, LongValueFoldsAtTheLineWidth)
{
    const std::string value(100, 'x');
    gc_ptr<LDAPAttribute> attribute = new LDAPAttribute(L"description", ldapmodel::VALUEKIND_UNKNOWN);
    attribute->addValue(bytes(value));

    // 13 characters of prefix, 65 of value, then continuation lines.
    EXPECT_EQ(LdifRecordWriter::attributeText(*attribute, 78),
              "description: " + std::string(65, 'x') + "\n " + std::string(35, 'x') + "\n");
    EXPECT_EQ(LdifRecordWriter::attributeText(*attribute, 70),
              "description: " + std::string(57, 'x') + "\n " + std::string(43, 'x') + "\n");

    // Every line but the last is exactly the width; unfolded it is the value.
    const std::string long300(300, 'y');
    attribute = new LDAPAttribute(L"description", ldapmodel::VALUEKIND_UNKNOWN);
    attribute->addValue(bytes(long300));
    for (int width : {50, 70, 78, 120}) {
        std::vector<std::string> lines = linesOf(LdifRecordWriter::attributeText(*attribute, width));
        ASSERT_GE(lines.size(), 2U) << width;
        std::string unfolded = lines[0];
        for (std::size_t i = 0; i + 1 < lines.size(); ++i)
            EXPECT_EQ(lines[i].size(), static_cast<std::size_t>(width)) << width;
        for (std::size_t i = 1; i < lines.size(); ++i) {
            ASSERT_EQ(lines[i][0], ' ');
            unfolded += lines[i].substr(1);
        }
        EXPECT_EQ(unfolded, "description: " + long300);
    }
}

TEST(LdifRecordWriterTest, AttributeWidthIsRaisedTo50ButTheDnLineKeepsItsWidth)
{
    gc_ptr<LDAPAttribute> attribute = new LDAPAttribute(L"cn", ldapmodel::VALUEKIND_UNKNOWN);
    attribute->addValue(bytes(std::string(60, 'a')));
    EXPECT_EQ(LdifRecordWriter::attributeText(*attribute, 20),
              "cn: " + std::string(46, 'a') + "\n " + std::string(14, 'a') + "\n");
    EXPECT_EQ(LdifRecordWriter::attributeText(*attribute, 20), LdifRecordWriter::attributeText(*attribute, 50));

    EXPECT_EQ(LdifRecordWriter::dnLine(L"cn=abcdefghijklmnopqrstuvwxyz", 20),
              "dn: cn=abcdefghijklm\n nopqrstuvwxyz\n");
    // Widths too small for the prefix still give at least one character a line.
    EXPECT_EQ(LdifRecordWriter::dnLine(L"cn=ab", 3), "dn: c\n n=\n ab\n");
    EXPECT_EQ(LdifRecordWriter::dnLine(L"", -5), "dn: \n");
}

TEST(LdifRecordWriterTest, DnLineFormDependsOnTheHighestCharacter)
{
    // Latin-1 letters stay plain, one byte each.
    EXPECT_EQ(LdifRecordWriter::dnLine(L"cn=Jos\u00E9 M\u00FCller,o=x", 78), "dn: cn=Jos\xE9 M\xFCller,o=x\n");
    // Above U+00FF: the UTF-8 bytes in Base64.
    const std::wstring lukasz = L"cn=\u0141ukasz \u017B\u00F3\u0142kiewski,o=x";
    EXPECT_EQ(LdifRecordWriter::dnLine(lukasz, 78), "dn:: " + base64(util::toUtf8(lukasz)) + "\n");
}

TEST(LdifRecordWriterTest, Base64DnLineIsOneLongerThanTheWidth)
{
    const std::wstring dn =
        L"cn=\u0141ukasz \u017B\u00F3\u0142kiewski,ou=People,dc=example,dc=com,ou=" + std::wstring(60, L'z');
    const std::string encoded = base64(util::toUtf8(dn));
    ASSERT_GT(encoded.size(), 74U + 77U);
    std::vector<std::string> lines = linesOf(LdifRecordWriter::dnLine(dn, 78));
    ASSERT_EQ(lines.size(), 3U);
    // The prefix counts 4 although "dn:: " is 5 long.
    EXPECT_EQ(lines[0], "dn:: " + encoded.substr(0, 74));
    EXPECT_EQ(lines[0].size(), 79U);
    EXPECT_EQ(lines[1], " " + encoded.substr(74, 77));
    EXPECT_EQ(lines[1].size(), 78U);
    EXPECT_EQ(lines[2], " " + encoded.substr(151));

    // A plain DN line is exactly the width.
    std::vector<std::string> plain = linesOf(LdifRecordWriter::dnLine(std::wstring(100, L'd'), 78));
    ASSERT_EQ(plain.size(), 2U);
    EXPECT_EQ(plain[0].size(), 78U);
}

TEST(LdifRecordWriterTest, TextWithUtf8AccentsIsWrittenInBase64)
{
    gc_ptr<LDAPAttribute> attribute = new LDAPAttribute(L"description", ldapmodel::VALUEKIND_UNKNOWN);
    attribute->addValue(text(L"caf\u00E9"));
    EXPECT_EQ(LdifRecordWriter::attributeText(*attribute, 78), "description:: Y2Fmw6k=\n");
}

TEST(LdifRecordWriterTest, UnknownAttributeIsTextUnlessAByteIsHigh)
{
    gc_ptr<LDAPAttribute> attribute = new LDAPAttribute(L"x-unknown", ldapmodel::VALUEKIND_UNKNOWN);
    attribute->addValue(bytes("plain"));
    attribute->addValue(bytes("\x80"));
    EXPECT_EQ(LdifRecordWriter::attributeText(*attribute, 78), "x-unknown: plain\nx-unknown:: gA==\n");
}

TEST(LdifRecordWriterTest, BinaryKindIsWrittenInBase64WhateverTheBytes)
{
    PhotoSchema schema;
    gc_ptr<LDAPAttribute> attribute = new LDAPAttribute(L"jpegPhoto", ldapmodel::VALUEKIND_UNKNOWN);
    attribute->addValue(bytes("abc"));
    EXPECT_EQ(LdifRecordWriter::attributeText(*attribute, 78), "jpegPhoto:: YWJj\n");
    // Options do not hide the type.
    attribute->setName(L"JPEGPHOTO;x-small");
    EXPECT_EQ(LdifRecordWriter::attributeText(*attribute, 78), "JPEGPHOTO;x-small:: YWJj\n");
    // Base64 lines count the extra ":" in the prefix.
    attribute = new LDAPAttribute(L"jpegPhoto", ldapmodel::VALUEKIND_UNKNOWN);
    attribute->addValue(bytes(std::string(90, '\0')));
    std::vector<std::string> lines = linesOf(LdifRecordWriter::attributeText(*attribute, 78));
    ASSERT_EQ(lines.size(), 2U);
    EXPECT_EQ(lines[0].size(), 78U);
    EXPECT_EQ(lines[0].substr(0, 12), "jpegPhoto:: ");
}

TEST(LdifRecordWriterTest, ValuesThatWouldNotReadBackArePutInBase64)
{
    const std::vector<std::string> unsafe = {"line one\nline two", "cr\rinside",       " leading space",
                                             ":leading colon",     "<leading less-than", "trailing space ",
                                             std::string("zero\0byte", 9), "a :< b"};
    for (const std::string& value : unsafe) {
        gc_ptr<LDAPAttribute> attribute = new LDAPAttribute(L"description", ldapmodel::VALUEKIND_UNKNOWN);
        attribute->addValue(bytes(value));
        EXPECT_EQ(LdifRecordWriter::attributeText(*attribute, 78), "description:: " + base64(value) + "\n");
    }
    // Inside a value these are harmless.
    gc_ptr<LDAPAttribute> attribute = new LDAPAttribute(L"description", ldapmodel::VALUEKIND_UNKNOWN);
    attribute->addValue(bytes("a: b :c <d # e"));
    EXPECT_EQ(LdifRecordWriter::attributeText(*attribute, 78), "description: a: b :c <d # e\n");

    // An attribute named version would be taken for the version line.
    attribute = new LDAPAttribute(L"version", ldapmodel::VALUEKIND_UNKNOWN);
    attribute->addValue(bytes("1"));
    EXPECT_EQ(LdifRecordWriter::attributeText(*attribute, 78), "version:: MQ==\n");

    // A continuation line of spaces only would end the record.
    const std::string spaced = std::string(46, 'b') + std::string(49, ' ') + "c";
    attribute = new LDAPAttribute(L"cn", ldapmodel::VALUEKIND_UNKNOWN);
    attribute->addValue(bytes(spaced));
    EXPECT_EQ(LdifRecordWriter::attributeText(*attribute, 50), "cn:: " + base64(spaced).substr(0, 45) + "\n " +
                                                                   base64(spaced).substr(45, 49) + "\n " +
                                                                   base64(spaced).substr(94) + "\n");
    EXPECT_TRUE(LdifRecordWriter::foldsToBlankLine(spaced.data(), spaced.size(), 4, 50));
    EXPECT_FALSE(LdifRecordWriter::foldsToBlankLine(spaced.data(), spaced.size(), 4, 78));

    // The DN goes to the Base64 form for the same reasons.
    EXPECT_EQ(LdifRecordWriter::dnLine(L"cn=a\\ ", 78), "dn:: " + base64("cn=a\\ ") + "\n");
    EXPECT_EQ(LdifRecordWriter::dnLine(L"cn=a\nb", 78), "dn:: " + base64("cn=a\nb") + "\n");
}

TEST(LdifRecordWriterTest, NamesThatAreNotAttributeDescriptionsAreLeftOutAndTold)
{
    for (const wchar_t* name : {L"cn", L"CN;lang-en", L"userCertificate;binary", L"2.5.4.3", L"x-my-attr",
                                L"cn;x-a;lang-de", L"version", L"dnQualifier", L"controls"})
        EXPECT_TRUE(LdifRecordWriter::isWritableName(name)) << util::toUtf8(name);
    for (const wchar_t* name : {L"", L"cn;", L"cn;;x", L";x", L"-cn", L".cn", L"a b", L"cn:", L"c\u00e9",
                                L"cn;lang_en", L"cn;x.y", L"dn", L"DN", L"dn;x", L"changetype", L"Control",
                                L"description: x\n\ndn: cn=injected,dc=example,dc=com"})
        EXPECT_FALSE(LdifRecordWriter::isWritableName(name)) << util::toUtf8(name);

    const std::wstring hostile = L"description: x\n\ndn: cn=injected,dc=example,dc=com\nobjectClass: device";
    gc_ptr<LDAPEntry> entry = entryWith(L"cn=a,dc=example,dc=com",
                                        {{L"cn", text(L"a")}, {hostile, text(L"y")}, {L"dn", text(L"cn=other")}});
    // Without values it writes nothing and is not told.
    entry->appendUserAttributes({new LDAPAttribute(L"no value;", ldapmodel::VALUEKIND_UNKNOWN)});
    std::vector<std::wstring> skipped;
    EXPECT_EQ(LdifRecordWriter::entryRecord(*entry, 78, &skipped), "dn: cn=a,dc=example,dc=com\ncn: a\n");
    EXPECT_EQ(skipped, (std::vector<std::wstring>{hostile, L"dn"}));
    EXPECT_EQ(LdifRecordWriter::entryRecord(*entry, 78), "dn: cn=a,dc=example,dc=com\ncn: a\n");
}

TEST(LdifRecordWriterTest, EmptyValuesAndAttributesWithoutValues)
{
    gc_ptr<LDAPAttribute> attribute = new LDAPAttribute(L"description", ldapmodel::VALUEKIND_UNKNOWN);
    EXPECT_EQ(LdifRecordWriter::attributeText(*attribute, 78), "");
    attribute->addValue(new LDAPAttributeValue());
    EXPECT_EQ(LdifRecordWriter::attributeText(*attribute, 78), "description: \n");
}

TEST(LdifRecordWriterTest, ValueFormsOnTheirOwn)
{
    gc_ptr<LDAPAttributeValue> value = text(L"caf\u00E9");
    EXPECT_EQ(LdifRecordWriter::valueTextForm(*value, L"cn", 78), "cn: caf\xE9\n");
    EXPECT_EQ(LdifRecordWriter::valueBase64Form(*value, L"cn", 78), "cn:: Y2Fmw6k=\n");
    // The text ends at the first zero byte.
    EXPECT_EQ(LdifRecordWriter::valueTextForm(*bytes(std::string("ab\0cd", 5)), L"cn", 78), "cn: ab\n");
    EXPECT_EQ(LdifRecordWriter::valueBase64Form(*bytes(std::string(60, 'z')), L"cn", 10),
              "cn:: " + base64(std::string(60, 'z')).substr(0, 45) + "\n " + base64(std::string(60, 'z')).substr(45) +
                  "\n");
    EXPECT_TRUE(LdifRecordWriter::mustBeBase64(*value, L"cn", 78));
    EXPECT_FALSE(LdifRecordWriter::mustBeBase64(*text(L"cafe"), L"cn", 78));
}

TEST(LdifRecordWriterTest, RecordTextIsTheRecordAtWidth70AsLatin1)
{
    gc_ptr<LDAPEntry> entry = entryWith(L"cn=Jos\u00E9,o=x", {{L"description", bytes(std::string(100, 'q'))}});
    const std::wstring record = LdifRecordWriter::entryRecordText(*entry);
    EXPECT_EQ(record, L"dn: cn=Jos\u00E9,o=x\ndescription: " + std::wstring(57, L'q') + L"\n " +
                          std::wstring(43, L'q') + L"\n");
    EXPECT_EQ(util::toAnsi(record), LdifRecordWriter::entryRecord(*entry, 70));
}

} // namespace

namespace {

TEST(LdifRecordWriterTest, RecordClassesWriteThroughTheWriter)
{
    gc_ptr<LDAPEntry> entry = entryWith(L"cn=Jos\u00E9,o=x", {{L"description", bytes(std::string(100, 'q'))},
                                                            {L"cn", text(L"caf\u00E9")}});
    EXPECT_EQ(entry->toLdif(78), LdifRecordWriter::entryRecord(*entry, 78));
    EXPECT_EQ(entry->toLdif(70), "dn: cn=Jos\xE9,o=x\ndescription: " + std::string(57, 'q') + "\n " +
                                     std::string(43, 'q') + "\ncn:: Y2Fmw6k=\n");
    EXPECT_EQ(entry->toLdifText(), util::fromAnsi(entry->toLdif(70)));
    EXPECT_EQ(entry->getAttribute(L"cn")->toLdif(78), "cn:: Y2Fmw6k=\n");
    EXPECT_EQ(LDAPAttribute(L"cn", ldapmodel::VALUEKIND_UNKNOWN).toLdif(78), "");
    gc_ptr<LDAPAttributeValue> value = text(L"caf\u00E9");
    EXPECT_EQ(value->toLdifText(L"cn", 78), "cn: caf\xE9\n");
    EXPECT_EQ(value->toLdifBase64(L"cn", 78), "cn:: Y2Fmw6k=\n");
}

TEST(LdifRecordWriterTest, AsciiOnlyPutsEveryByteOutsidePrintableAsciiInBase64)
{
    const std::wstring jose = L"cn=Jos\u00E9 M\u00FCller,o=x";
    gc_ptr<LDAPEntry> entry = entryWith(jose, {{L"cn", text(L"Jos\u00E9 M\u00FCller")},
                                               {L"description", bytes("tab\there")},
                                               {L"description", bytes("del\x7F")},
                                               {L"sn", text(L"M~ller ok")}});
    // By default the record is as before: the DN in ISO-8859-1, a tab plain.
    const std::string plain = LdifRecordWriter::entryRecord(*entry, 78);
    EXPECT_EQ(plain, "dn: cn=Jos\xE9 M\xFCller,o=x\ncn:: " + base64(util::toUtf8(L"Jos\u00E9 M\u00FCller")) +
                         "\ndescription: tab\there\ndescription: del\x7F\nsn: M~ller ok\n");
    EXPECT_EQ(LdifRecordWriter::entryRecord(*entry, 78, nullptr, false), plain);
    EXPECT_EQ(LdifRecordWriter::entryRecord(*entry, 78, nullptr, true),
              "dn:: " + base64(util::toUtf8(jose)) + "\ncn:: " + base64(util::toUtf8(L"Jos\u00E9 M\u00FCller")) +
                  "\ndescription:: " + base64("tab\there") + "\ndescription:: " + base64("del\x7F") +
                  "\nsn: M~ller ok\n");
    // A DN of printable ASCII stays plain.
    EXPECT_EQ(LdifRecordWriter::dnLine(L"cn=a b,o=x", 78, true), "dn: cn=a b,o=x\n");
}

} // namespace
