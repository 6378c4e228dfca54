// Change records read into changes; which records are change records.

#include "ldif/LdifChangeRecord.h"
#include "records/LDAPAttribute.h"
#include "records/LDAPAttributeValue.h"
#include "records/LDAPEntry.h"
#include "support/ScriptedMessageBoxes.h"
#include "utilities/Util.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using ldapmodel::LdifChangeRecord;
using Type = LdifChangeRecord::Type;
using Operation = LdifChangeRecord::Operation;

std::string bytesOf(const ldapmodel::LDAPAttributeValue& value)
{
    return value.getLength() == 0 ? std::string() : std::string(value.getBytes(), value.getLength());
}

// "add cn=a|b" for each modification.
std::vector<std::string> modificationsOf(const LdifChangeRecord& change)
{
    std::vector<std::string> out;
    for (const LdifChangeRecord::Modification& modification : change.getModifications()) {
        std::string text = modification.operation == Operation::Add      ? "add "
                           : modification.operation == Operation::Delete ? "delete "
                                                                         : "replace ";
        text += util::toUtf8(modification.attribute) + "=";
        for (std::size_t i = 0; i < modification.values.size(); ++i)
            text += (i > 0 ? "|" : "") + bytesOf(*modification.values[i]);
        out.push_back(text);
    }
    return out;
}

TEST(LdifChangeRecordTest, ChangeRecordsAreThoseWithChangetypeAfterTheDnAndControls)
{
    struct Case {
        const char* record;
        bool change;
    };
    for (const Case& c : {
             Case{"dn: cn=a,o=x\nchangetype: delete\n", true},
             Case{"version: 1\ndn: cn=a,o=x\nChangeType: modify\nreplace: cn\ncn: b\n", true},
             Case{"dn: cn=a,o=x\ncontrol: 1.2.3 true\ncontrol: 1.2.4\nchangetype: delete\n", true},
             Case{"dn:: Y249YSxvPXg=\nchangetype: delete\n", true},
             // A folded DN line is one logical line.
             Case{"dn: cn=a,o=\n x\nchangetype: delete\n", true},
             // Content records, and a changetype that is only an attribute.
             Case{"dn: cn=a,o=x\ncn: a\n", false},
             Case{"dn: cn=a,o=x\ncn: a\nchangetype: delete\n", false},
             Case{"version: 1\n", false},
             Case{"version: 2\ndn: cn=a,o=x\nchangetype: delete\n", false},
             Case{"cn: a\nchangetype: delete\n", false},
             Case{"", false},
         })
        EXPECT_EQ(LdifChangeRecord::isChangeRecord(c.record), c.change) << c.record;
}

TEST(LdifChangeRecordTest, EachChangeTypeReadsIntoItsChange)
{
    LdifChangeRecord change;
    ASSERT_EQ(change.read("dn: cn=a,o=x\nchangetype: add\nobjectClass: device\ncn: a\ndescription:: bGluZQpicmVhaw==\n"),
              0);
    EXPECT_EQ(change.getType(), Type::Add);
    EXPECT_EQ(change.getEntry()->getDN(), L"cn=a,o=x");
    ASSERT_EQ(change.getEntry()->getUserAttributeCount(), 3);
    EXPECT_EQ(bytesOf(*change.getEntry()->getAttribute(L"description")->getValue(0)), "line\nbreak");

    ASSERT_EQ(change.read("version: 1\ndn: cn=a,o=x\nchangetype: delete\n"), 0);
    EXPECT_EQ(change.getType(), Type::Delete);
    EXPECT_EQ(change.getDN(), L"cn=a,o=x");

    // Groups end with "-" but the last may end with the record; a group
    // without values deletes or replaces the whole attribute; values are
    // ISO-8859-1 text or Base64 bytes; names match in any letter case.
    ASSERT_EQ(change.read("dn: cn=a,o=x\nchangetype: modify\n"
                          "add: mail\nmail: a@x\nMAIL: b@x\n-\n"
                          "delete: description\n-\n"
                          "delete: cn\ncn: old\n-\n"
                          "replace: sn\nsn: M\xFCller\nsn:: AAEC\n-\n"
                          "replace: telephoneNumber\n"),
              0);
    EXPECT_EQ(change.getType(), Type::Modify);
    EXPECT_EQ(modificationsOf(change),
              (std::vector<std::string>{"add mail=a@x|b@x", "delete description=", "delete cn=old",
                                        std::string("replace sn=M\xC3\xBCller|") + std::string("\0\1\2", 3),
                                        "replace telephoneNumber="}));

    ASSERT_EQ(change.read("dn: cn=a,o=x\nchangetype: modrdn\nnewrdn: cn=b\ndeleteoldrdn: 0\n"), 0);
    EXPECT_EQ(change.getType(), Type::ModDn);
    EXPECT_EQ(change.getNewRdn(), L"cn=b");
    EXPECT_FALSE(change.getDeleteOldRdn());
    EXPECT_FALSE(change.hasNewSuperior());

    ASSERT_EQ(change.read("dn: cn=a,o=x\ncontrol: 1.2.840.113556.1.4.805 true\ncontrol: 1.9 false: x\n"
                          "changetype: moddn\nnewrdn: cn=a\ndeleteoldrdn: 1\n"
                          "newsuperior:: b3U9Sm9zw6ksbz14\n"),
              0);
    EXPECT_EQ(change.getType(), Type::ModDn);
    EXPECT_TRUE(change.getDeleteOldRdn());
    ASSERT_TRUE(change.hasNewSuperior());
    EXPECT_EQ(change.getNewSuperior(), L"ou=Jos\u00E9,o=x");
    EXPECT_EQ(change.getCriticalControls(), std::vector<std::wstring>{L"1.2.840.113556.1.4.805"});
}

TEST(LdifChangeRecordTest, MalformedChangeRecordsAreNotRead)
{
    dirtest::ScriptedMessageBoxes boxes;
    for (const char* record : {
             "dn: cn=a,o=x\nchangetype: rename\n",
             "dn: cn=a,o=x\nchangetype: delete\ncn: a\n",
             "dn: cn=a,o=x\nchangetype: modify\nincrement: uidNumber\nuidNumber: 1\n-\n",
             "dn: cn=a,o=x\nchangetype: modify\nadd: mail\ncn: a\n-\n",
             "dn: cn=a,o=x\nchangetype: modify\nadd:\n-\n",
             "dn: cn=a,o=x\nchangetype: modify\n-\n",
             "dn: cn=a,o=x\nchangetype: modrdn\ndeleteoldrdn: 1\n",
             "dn: cn=a,o=x\nchangetype: modrdn\nnewrdn: cn=b\n",
             "dn: cn=a,o=x\nchangetype: modrdn\nnewrdn: cn=b\ndeleteoldrdn: yes\n",
             "dn: cn=a,o=x\nchangetype: modrdn\nnewrdn: cn=b\ndeleteoldrdn: 1\nnewsuperior: o=y\ncn: z\n",
             "dn: cn=a,o=x\nchangetype: add\ncn:value\n",
             "cn: a\nchangetype: delete\n",
         }) {
        LdifChangeRecord change;
        EXPECT_EQ(change.read(record), -1) << record;
    }
    EXPECT_TRUE(boxes.boxes().empty());

    // A file reference is refused with the content reader's box.
    LdifChangeRecord change;
    EXPECT_EQ(change.read("dn: cn=a,o=x\nchangetype: modify\nreplace: jpegPhoto\njpegPhoto:< file:///etc/shadow\n"), -1);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].caption, L"File reference");
}

} // namespace
