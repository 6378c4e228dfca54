#include "ldif/LdifRecordReader.h"
#include "ldif/LdifRecordWriter.h"
#include "records/LDAPAttribute.h"
#include "records/LDAPAttributeValue.h"
#include "records/LDAPEntry.h"
#include "schema/LDAPAttributeType.h"
#include "schema/LDAPSchema.h"
#include "schema/SyntaxRegistry.h"
#include "support/ScriptedMessageBoxes.h"
#include "utilities/Util.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using ldapmodel::LDAPAttribute;
using ldapmodel::LDAPAttributeValue;
using ldapmodel::LDAPEntry;
using ldapmodel::LdifRecordReader;
using ldapmodel::LdifRecordWriter;
using memorylib::gc_ptr;

const char kRecord[] =
    "dn: cn=Jos\xE9 M\xFCller,ou=People,dc=example,dc=com\n"
    "objectClass: inetOrgPerson\n"
    "cn: Jos\xE9 M\xFCller\n"
    "sn: M\xFCller\n"
    "description: A description long enough to be folded over several lines at small widths\n"
    "description:: bGluZSBvbmUKbGluZSB0d28=\n"
    "cn;lang-en: Joseph Miller\n";

std::string bytesOf(const LDAPAttributeValue& value)
{
    return value.getLength() == 0 ? std::string() : std::string(value.getBytes(), value.getLength());
}

// Name and values of every user attribute, for comparing entries.
std::vector<std::string> contentOf(const LDAPEntry& entry)
{
    std::vector<std::string> content = {"dn=" + util::toUtf8(entry.getDN())};
    for (const gc_ptr<LDAPAttribute>& attribute : entry.getUserAttributes()) {
        for (const gc_ptr<LDAPAttributeValue>& value : attribute->getValues())
            content.push_back(util::toUtf8(attribute->getName()) + "=" + bytesOf(*value));
    }
    return content;
}

// Folds every line of record after each width characters of it.
std::string foldEvery(const std::string& record, std::size_t width)
{
    std::string folded;
    std::size_t start = 0;
    while (start < record.size()) {
        std::size_t end = record.find('\n', start);
        std::string line = record.substr(start, end - start);
        folded += line.substr(0, width);
        for (std::size_t at = width; at < line.size(); at += width)
            folded += "\n " + line.substr(at, width);
        folded += '\n';
        start = end + 1;
    }
    return folded;
}

TEST(LdifRecordReaderTest, SplitUnfoldsContinuationLines)
{
    std::vector<std::string> lines;
    EXPECT_EQ(LdifRecordReader::splitLdifStringInLines("dn: a\n b\ncn: c\n  d\ncn: e", lines), 0);
    EXPECT_EQ(lines, (std::vector<std::string>{"dn: ab", "cn: c d", "cn: e"}));

    lines.clear();
    EXPECT_EQ(LdifRecordReader::splitLdifStringInLines("dn: a\n", lines), 0);
    EXPECT_EQ(lines, (std::vector<std::string>{"dn: a"}));

    lines.clear();
    EXPECT_EQ(LdifRecordReader::splitLdifStringInLines("", lines), -1);
    EXPECT_EQ(LdifRecordReader::splitLdifStringInLines("dn: no line feed", lines), -1);
    EXPECT_TRUE(lines.empty());
}

TEST(LdifRecordReaderTest, RecordGivesDnAndValuesInOrder)
{
    gc_ptr<LDAPEntry> entry = new LDAPEntry();
    ASSERT_EQ(LdifRecordReader::createFromLdifString(*entry, kRecord), 0);
    EXPECT_EQ(entry->getDN(), L"cn=Jos\u00E9 M\u00FCller,ou=People,dc=example,dc=com");
    const LDAPEntry::AttributeList& attributes = entry->getUserAttributes();
    ASSERT_EQ(attributes.size(), 5U);
    EXPECT_EQ(attributes[1]->getName(), L"cn");
    // Plain text is Latin-1 and is kept as UTF-8.
    EXPECT_EQ(bytesOf(*attributes[1]->getValue(0)), "Jos\xC3\xA9 M\xC3\xBCller");
    ASSERT_EQ(attributes[3]->getValueCount(), 2);
    EXPECT_EQ(attributes[3]->getValue(1)->toString(), L"line one\nline two");
    // An option makes a name of its own.
    EXPECT_EQ(attributes[4]->getName(), L"cn;lang-en");
    EXPECT_EQ(attributes[4]->getValue(0)->toString(), L"Joseph Miller");
    EXPECT_EQ(entry->getAttribute(L"cn")->getValueCount(), 1);
}

TEST(LdifRecordReaderTest, FoldedAtAnyWidthReadsLikeUnfolded)
{
    gc_ptr<LDAPEntry> unfolded = new LDAPEntry();
    ASSERT_EQ(LdifRecordReader::createFromLdifString(*unfolded, kRecord), 0);
    for (std::size_t width = 2; width <= 90; ++width) {
        gc_ptr<LDAPEntry> folded = new LDAPEntry();
        ASSERT_EQ(LdifRecordReader::createFromLdifString(*folded, foldEvery(kRecord, width)), 0) << width;
        EXPECT_EQ(contentOf(*folded), contentOf(*unfolded)) << width;
    }
}

TEST(LdifRecordReaderTest, WrittenRecordReadsBackAtEveryWidth)
{
    gc_ptr<LDAPEntry> original = new LDAPEntry();
    original->setDN(L"cn=\u0141ukasz \u017B\u00F3\u0142kiewski,ou=People,dc=example,dc=com");
    original->addAttributeValue(L"cn", new LDAPAttributeValue(std::wstring(L"\u0141ukasz")));
    original->addAttributeValue(L"description", new LDAPAttributeValue(std::wstring(300, L'w')));
    original->addAttributeValue(L"description", new LDAPAttributeValue(std::wstring(L" a:< b \n c ")));
    original->addAttributeValue(L"x-data", new LDAPAttributeValue(std::string("\0\1\2\xFF", 4).data(), 4));
    original->addAttributeValue(L"x-spaces", new LDAPAttributeValue(std::wstring(L"a") + std::wstring(200, L' ') + L"b"));
    original->addAttributeValue(L"version", new LDAPAttributeValue(std::wstring(L"2")));
    for (int width = -1; width <= 100; ++width) {
        gc_ptr<LDAPEntry> copy = new LDAPEntry();
        ASSERT_EQ(LdifRecordReader::createFromLdifString(*copy, LdifRecordWriter::entryRecord(*original, width)), 0)
            << width;
        EXPECT_EQ(contentOf(*copy), contentOf(*original)) << width;
    }
}

TEST(LdifRecordReaderTest, FileReferenceIsRefusedWithAWarning)
{
    dirtest::ScriptedMessageBoxes boxes;
    gc_ptr<LDAPEntry> entry = new LDAPEntry();
    EXPECT_EQ(LdifRecordReader::readLdifLine(*entry, "jpegPhoto:< file:///etc/passwd"), -1);
    ASSERT_EQ(boxes.boxes().size(), 1U);
    const util::MessageBoxRequest box = boxes.boxes()[0];
    EXPECT_EQ(box.caption, L"File reference");
    EXPECT_EQ(box.text, L"For security reasons LDIF import doesn't accept file references.\n"
                        L"This would allow LDIF import to access local resources and it is not recommended.\n"
                        L"For more information please check RFC2849.");
    EXPECT_EQ(box.icon, util::BoxIcon::Warning);
    EXPECT_EQ(entry->getUserAttributeCount(), 0);
}

TEST(LdifRecordReaderTest, VersionOneIsIgnoredOtherVersionsAreRefused)
{
    dirtest::ScriptedMessageBoxes boxes;
    gc_ptr<LDAPEntry> entry = new LDAPEntry();
    EXPECT_EQ(LdifRecordReader::readLdifLine(*entry, "version: 1"), 0);
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_EQ(entry->getUserAttributeCount(), 0);

    for (const char* line : {"version: 2", "version: 1 ", "version: 10"}) {
        boxes.clear();
        EXPECT_EQ(LdifRecordReader::readLdifLine(*entry, line), -1) << line;
        ASSERT_EQ(boxes.boxes().size(), 1U) << line;
        EXPECT_EQ(boxes.boxes()[0].caption, L"Incompatible version");
        EXPECT_EQ(boxes.boxes()[0].text, L"Unsupported version file. It should be 1.\n");
        EXPECT_EQ(boxes.boxes()[0].icon, util::BoxIcon::Warning);
    }
    EXPECT_EQ(entry->getUserAttributeCount(), 0);
}

TEST(LdifRecordReaderTest, MalformedLinesFailWithoutAMessage)
{
    dirtest::ScriptedMessageBoxes boxes;
    gc_ptr<LDAPEntry> entry = new LDAPEntry();
    for (const char* line : {"-", "", "cn:value", "cn:", " cn: a", ": a", ";x: a", "c n: a", "cn : a"})
        EXPECT_EQ(LdifRecordReader::readLdifLine(*entry, line), -1) << line;
    // A zero byte anywhere: taking the text up to it would read something else.
    for (const std::string& line : {std::string("c\0n: a", 6), std::string("cn: a\0b", 8),
                                    std::string("dn: cn=a\0,o=x", 14), std::string("cn:: YQ\0==", 11)}) {
        EXPECT_EQ(LdifRecordReader::readLdifLine(*entry, line), -1);
        EXPECT_TRUE(LdifRecordReader::holdsZeroByte(line));
    }
    EXPECT_FALSE(LdifRecordReader::holdsZeroByte("dn: cn=a\ncn: a\n"));
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_EQ(entry->getUserAttributeCount(), 0);
    EXPECT_EQ(entry->getDN(), L"");
}

TEST(LdifRecordReaderTest, NamesDifferingInLetterCaseAreOneAttribute)
{
    gc_ptr<LDAPEntry> entry = new LDAPEntry();
    ASSERT_EQ(LdifRecordReader::createFromLdifString(*entry, "dn: cn=a,o=x\ncn: a\nsn: s\nCN: b\nCn;x-o: c\n"), 0);
    const LDAPEntry::AttributeList& attributes = entry->getUserAttributes();
    ASSERT_EQ(attributes.size(), 3u);
    EXPECT_EQ(attributes[0]->getName(), L"cn");
    EXPECT_EQ(attributes[0]->getValueCount(), 2);
    EXPECT_EQ(attributes[0]->getState(), LDAPAttribute::ATTRIBUTE_EXISTING);
    EXPECT_EQ(attributes[1]->getState(), LDAPAttribute::ATTRIBUTE_NEW);
    EXPECT_EQ(attributes[2]->getName(), L"Cn;x-o");
    // Line by line, on an entry that already holds the name.
    ASSERT_EQ(LdifRecordReader::readLdifLine(*entry, "SN: t"), 0);
    EXPECT_EQ(entry->getUserAttributeCount(), 3);
    EXPECT_EQ(entry->getAttribute(L"sn")->getValueCount(), 2);
}

TEST(LdifRecordReaderTest, ValueIsTheTextAfterTheFirstSpaceWithoutLeadingSpaces)
{
    gc_ptr<LDAPEntry> entry = new LDAPEntry();
    ASSERT_EQ(LdifRecordReader::readLdifLine(*entry, "cn:    padded value  "), 0);
    ASSERT_EQ(LdifRecordReader::readLdifLine(*entry, "sn: "), 0);
    ASSERT_EQ(LdifRecordReader::readLdifLine(*entry, "cn:x y: z"), 0);
    EXPECT_EQ(entry->getAttribute(L"cn")->getValue(0)->toString(), L"padded value  ");
    EXPECT_EQ(entry->getAttribute(L"cn")->getValue(1)->toString(), L"y: z");
    EXPECT_EQ(entry->getAttribute(L"sn")->getValue(0)->getLength(), 0U);
}

TEST(LdifRecordReaderTest, Base64DnAndTextValuesAreUtf8)
{
    gc_ptr<LDAPEntry> entry = new LDAPEntry();
    const std::string dn = util::toUtf8(L"cn=\u0141ukasz,o=x");
    ASSERT_EQ(LdifRecordReader::readLdifLine(
                  *entry, "dn:: " + util::base64Encode(reinterpret_cast<const unsigned char*>(dn.data()), dn.size())),
              0);
    EXPECT_EQ(entry->getDN(), L"cn=\u0141ukasz,o=x");
    ASSERT_EQ(LdifRecordReader::readLdifLine(*entry, "description:: Y2Fmw6k="), 0);
    EXPECT_EQ(entry->getAttribute(L"description")->getValue(0)->toString(), L"caf\u00E9");
    // ":: " after the first ":" is not the Base64 form.
    ASSERT_EQ(LdifRecordReader::readLdifLine(*entry, "cn:x:: Y2Fmw6k="), 0);
    EXPECT_EQ(entry->getAttribute(L"cn")->getValue(0)->toString(), L"Y2Fmw6k=");
    // The DN line's name ignores letter case.
    ASSERT_EQ(LdifRecordReader::readLdifLine(*entry, "DN: cn=upper"), 0);
    EXPECT_EQ(entry->getDN(), L"cn=upper");
    // A plain DN line is Latin-1.
    ASSERT_EQ(LdifRecordReader::readLdifLine(*entry, "dn: cn=Jos\xE9"), 0);
    EXPECT_EQ(entry->getDN(), L"cn=Jos\u00E9");
}

TEST(LdifRecordReaderTest, Base64ValuesKeepTheirBytes)
{
    ldapmodel::SyntaxRegistry::instance().seedKnownSyntaxes();
    gc_ptr<ldapmodel::LDAPAttributeType> photo = new ldapmodel::LDAPAttributeType();
    photo->setName(L"jpegPhoto");
    photo->setSyntaxOid(L"1.3.6.1.4.1.1466.115.121.1.28");
    ldapmodel::LDAPSchema::instance().addAttributeType(photo);

    const std::string jpeg("\xFF\xD8\xFF\xE0\0\x10JFIF\0", 11);
    const std::string encoded = util::base64Encode(reinterpret_cast<const unsigned char*>(jpeg.data()), jpeg.size());
    gc_ptr<LDAPEntry> entry = new LDAPEntry();
    ASSERT_EQ(LdifRecordReader::readLdifLine(*entry, "jpegPhoto:: " + encoded), 0);
    ASSERT_EQ(LdifRecordReader::readLdifLine(*entry, "jpegPhoto;x-small:: " + encoded), 0);
    // Bytes that are not UTF-8 are not replaced in a text attribute either.
    ASSERT_EQ(LdifRecordReader::readLdifLine(*entry, "description:: " + encoded), 0);
    EXPECT_EQ(bytesOf(*entry->getAttribute(L"jpegPhoto")->getValue(0)), jpeg);
    EXPECT_EQ(bytesOf(*entry->getAttribute(L"jpegPhoto;x-small")->getValue(0)), jpeg);
    EXPECT_EQ(bytesOf(*entry->getAttribute(L"description")->getValue(0)), jpeg);
    ldapmodel::LDAPSchema::instance().clear();
}

TEST(LdifRecordReaderTest, ModifyRecordStopsAtItsFirstSeparator)
{
    const std::string record = "dn: cn=a,o=x\n"
                               "changetype: modify\n"
                               "replace: description\n"
                               "description: new\n"
                               "-\n"
                               "add: cn\n"
                               "cn: b\n";
    gc_ptr<LDAPEntry> entry = new LDAPEntry();
    EXPECT_EQ(LdifRecordReader::createFromLdifString(*entry, record), -1);
    // Everything before the "-" was taken as attributes, nothing after it.
    EXPECT_EQ(contentOf(*entry), (std::vector<std::string>{"dn=cn=a,o=x", "changetype=modify",
                                                            "replace=description", "description=new"}));
}

TEST(LdifRecordReaderTest, FirstFailingLineEndsTheRecord)
{
    dirtest::ScriptedMessageBoxes boxes;
    gc_ptr<LDAPEntry> entry = new LDAPEntry();
    EXPECT_EQ(LdifRecordReader::createFromLdifString(*entry, "dn: cn=a\ncn: a\nphoto:< file:///x\ncn: b\n"), -1);
    EXPECT_EQ(contentOf(*entry), (std::vector<std::string>{"dn=cn=a", "cn=a"}));
    EXPECT_EQ(boxes.boxes().size(), 1U);
}

} // namespace

namespace {

TEST(LdifRecordReaderTest, EntryReadsThroughTheReader)
{
    gc_ptr<LDAPEntry> entry = new LDAPEntry();
    ASSERT_EQ(entry->createFromLdifString(kRecord), 0);
    gc_ptr<LDAPEntry> direct = new LDAPEntry();
    ASSERT_EQ(LdifRecordReader::createFromLdifString(*direct, kRecord), 0);
    EXPECT_EQ(contentOf(*entry), contentOf(*direct));

    std::vector<std::string> lines;
    EXPECT_EQ(LDAPEntry::splitLdifStringInLines("dn: a\n b\n", lines), 0);
    EXPECT_EQ(lines, std::vector<std::string>{"dn: ab"});
    EXPECT_EQ(LDAPEntry::splitLdifStringInLines("", lines), -1);

    gc_ptr<LDAPEntry> single = new LDAPEntry();
    EXPECT_EQ(single->readLdifLine("cn: x"), 0);
    EXPECT_EQ(single->readLdifLine("-"), -1);
    EXPECT_EQ(single->getAttribute(L"cn")->getValue(0)->toString(), L"x");
}

} // namespace
