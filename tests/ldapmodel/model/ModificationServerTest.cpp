// The write operations of the model, checked through a second connection.

#include "ldapmodel/support/ModelTestSupport.h"
#include "model/Model.h"
#include "records/LDAPAttribute.h"
#include "records/LDAPAttributeValue.h"
#include "records/LDAPEntry.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestDirectoryServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using dirtest::TestDirectoryServer;
using ldapmodel::LDAPAttribute;
using ldapmodel::LDAPAttributeValue;
using ldapmodel::LDAPEntry;
using ldapmodel::Model;
using memorylib::gc_ptr;
using modeltest::serverValues;
using modeltest::wide;
namespace sample = dirtest::sample;

namespace {

const std::string kAreaDn = "ou=ModifyArea,dc=example,dc=com";
const std::string kPersonDn = "cn=Pat Person," + kAreaDn;
const std::string kUnitDn = "ou=x," + kAreaDn;
const std::string kLeafDn = "cn=a," + kUnitDn;

std::vector<std::string> sorted(std::vector<std::string> values)
{
    std::sort(values.begin(), values.end());
    return values;
}

gc_ptr<LDAPAttributeValue> textValue(const std::wstring& text) { return new LDAPAttributeValue(text); }

bool ldapmodify(const std::string& ldif)
{
    std::string output;
    bool ok = TestDirectoryServer::shared().runLdapmodify(ldif, output);
    EXPECT_TRUE(ok) << output;
    return ok;
}

void deleteTree(const std::string& dn)
{
    std::string output;
    TestDirectoryServer::runProcess({"ldapdelete", "-x", "-r", "-H", TestDirectoryServer::shared().uri(), "-D",
                                     TestDirectoryServer::adminDn(), "-w", TestDirectoryServer::adminPassword(),
                                     dn},
                                    "", output);
}

// A fresh area for every test: a person with one displayName and three
// descriptions, and ou=x holding cn=a.
class ModificationServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        deleteTree(kAreaDn);
        ASSERT_TRUE(ldapmodify("dn: " + kAreaDn +
                               "\nchangetype: add\nobjectClass: organizationalUnit\nou: ModifyArea\n\n"
                               "dn: " + kPersonDn +
                               "\nchangetype: add\nobjectClass: inetOrgPerson\ncn: Pat Person\nsn: Person\n"
                               "displayName: Old Name\ndescription: d1\ndescription: d2\ndescription: d3\n\n"
                               "dn: " + kUnitDn +
                               "\nchangetype: add\nobjectClass: organizationalUnit\nou: x\n\n"
                               "dn: " + kLeafDn +
                               "\nchangetype: add\nobjectClass: device\ncn: a\n"));
        modeltest::mainObserver();
        model = &Model::instance();
        model->disconnect();
        modeltest::pointAtServer(*model, TestDirectoryServer::shared());
        ASSERT_EQ(model->connect(false), 0);
        boxes.clear();
    }
    void TearDown() override
    {
        model->disconnect();
        deleteTree(kAreaDn);
    }

    std::vector<std::wstring> boxTexts() const
    {
        std::vector<std::wstring> texts;
        for (const auto& box : boxes.boxes()) {
            EXPECT_EQ(box.caption, L"LDAP Message");
            texts.push_back(box.text);
        }
        return texts;
    }

    dirtest::ScriptedMessageBoxes boxes;
    Model* model = nullptr;
};

bool startsWith(const std::wstring& text, const std::wstring& prefix) { return text.rfind(prefix, 0) == 0; }

// ---- syn_addEntry ----------------------------------------------------------------

TEST_F(ModificationServerTest, AddEntrySendsEveryUserAttributeWithFullBinaryValues)
{
    const std::string photo = TestDirectoryServer::readDataFile(sample::kPhotoFile);
    ASSERT_FALSE(photo.empty());
    ASSERT_NE(photo.find('\0'), std::string::npos);

    gc_ptr<LDAPEntry> entry = new LDAPEntry();
    const std::string dn = "cn=New Person," + kAreaDn;
    entry->setDN(wide(dn));
    entry->addAttributeValue(L"objectClass", textValue(L"inetOrgPerson"));
    entry->addAttributeValue(L"cn", textValue(L"New Person"));
    entry->addAttributeValue(L"sn", textValue(L"Person"));
    entry->addAttributeValue(L"description", textValue(L"first"));
    entry->addAttributeValue(L"description", textValue(L"second"));
    entry->addAttributeValue(L"jpegPhoto", new LDAPAttributeValue(photo.data(), photo.size()));

    EXPECT_EQ(model->syn_addEntry(entry), 0);
    EXPECT_TRUE(boxTexts().empty());
    EXPECT_EQ(serverValues(dn, "description"), (std::vector<std::string>{"first", "second"}));
    std::vector<std::string> photos = serverValues(dn, "jpegPhoto");
    ASSERT_EQ(photos.size(), 1u);
    EXPECT_EQ(photos[0], photo);
}

TEST_F(ModificationServerTest, AddEntryFailureReportsTheLibraryText)
{
    gc_ptr<LDAPEntry> entry = new LDAPEntry();
    entry->setDN(wide(kLeafDn));
    entry->addAttributeValue(L"objectClass", textValue(L"device"));
    entry->addAttributeValue(L"cn", textValue(L"a"));
    EXPECT_EQ(model->syn_addEntry(entry), -1);
    std::vector<std::wstring> texts = boxTexts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_TRUE(startsWith(texts[0], L"Already exists. LDAPError 68: Already exists")) << texts[0];
}

TEST_F(ModificationServerTest, AddEntryWithoutEntryOrWithAnEmptyValueSendsNothing)
{
    EXPECT_EQ(model->syn_addEntry(gc_ptr<LDAPEntry>()), -1);

    gc_ptr<LDAPEntry> entry = new LDAPEntry();
    const std::string dn = "cn=broken," + kAreaDn;
    entry->setDN(wide(dn));
    entry->addAttributeValue(L"objectClass", textValue(L"device"));
    gc_ptr<LDAPAttribute> cn = new LDAPAttribute(L"cn", 0);
    cn->addValue(textValue(L"broken"));
    entry->addAttribute(cn);
    // Only reachable by hand: a null value handle inside an attribute.
    const_cast<LDAPAttribute::ValueList&>(cn->getValues()).push_back(gc_ptr<LDAPAttributeValue>());
    EXPECT_EQ(model->syn_addEntry(entry), -1);
    EXPECT_TRUE(boxTexts().empty());
    EXPECT_FALSE(TestDirectoryServer::shared().entryExists(dn));
}

// ---- values -------------------------------------------------------------------------

TEST_F(ModificationServerTest, ReplacingTheOnlyValueSendsOneReplace)
{
    // displayName holds one value at most: an add beside the old value
    // would be refused, so success shows that a replace was sent.
    EXPECT_EQ(model->modifyAttributeValue(wide(kPersonDn), L"displayName", textValue(L"New Name"), 0), 0);
    EXPECT_TRUE(boxTexts().empty());
    EXPECT_EQ(serverValues(kPersonDn, "displayName"), (std::vector<std::string>{"New Name"}));
}

TEST_F(ModificationServerTest, ChangingOneOfThreeValuesAddsThenDeletes)
{
    EXPECT_EQ(model->modifyAttributeValue(wide(kPersonDn), L"description", textValue(L"d4"), 1), 0);
    EXPECT_TRUE(boxTexts().empty());
    EXPECT_EQ(sorted(serverValues(kPersonDn, "description")), (std::vector<std::string>{"d1", "d3", "d4"}));
}

TEST_F(ModificationServerTest, ChangingToAValueAlreadyThereFailsAndKeepsTheOldOne)
{
    EXPECT_EQ(model->modifyAttributeValue(wide(kPersonDn), L"description", textValue(L"d3"), 0), -1);
    std::vector<std::wstring> texts = boxTexts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_TRUE(startsWith(texts[0], L"Add Attribute Value. LDAPError 20: ")) << texts[0];
    EXPECT_TRUE(startsWith(texts[1], L"Modify Attribute Value. LDAPError 20: ")) << texts[1];
    EXPECT_EQ(sorted(serverValues(kPersonDn, "description")), (std::vector<std::string>{"d1", "d2", "d3"}));
}

TEST_F(ModificationServerTest, ModifyPreChecksSendNothing)
{
    const std::wstring dn = wide(kPersonDn);
    EXPECT_EQ(model->modifyAttributeValue(dn, L"description", textValue(L"x"), 3), -1);
    EXPECT_EQ(model->modifyAttributeValue(dn, L"description", textValue(L"x"), -1), -1);
    EXPECT_EQ(model->modifyAttributeValue(dn, L"title", textValue(L"x"), 0), -1);
    EXPECT_EQ(model->modifyAttributeValue(wide("cn=none," + kAreaDn), L"cn", textValue(L"x"), 0), -1);
    // The missing entry's read is reported; nothing else.
    std::vector<std::wstring> texts = boxTexts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_TRUE(startsWith(texts[0], L"Read entry from server. LDAPError 32: ")) << texts[0];
    EXPECT_EQ(sorted(serverValues(kPersonDn, "description")), (std::vector<std::string>{"d1", "d2", "d3"}));
}

TEST_F(ModificationServerTest, AddAndReplaceSingleValues)
{
    const std::wstring dn = wide(kPersonDn);
    EXPECT_EQ(model->syn_addAttributeValue(dn, textValue(L"d9"), L"description"), 0);
    EXPECT_EQ(sorted(serverValues(kPersonDn, "description")), (std::vector<std::string>{"d1", "d2", "d3", "d9"}));
    EXPECT_EQ(model->syn_addAttributeValue(dn, textValue(L"Engineer"), L"title"), 0);
    EXPECT_EQ(serverValues(kPersonDn, "title"), (std::vector<std::string>{"Engineer"}));

    EXPECT_EQ(model->syn_replaceSingleAttributeValue(dn, textValue(L"only"), L"description"), 0);
    EXPECT_EQ(serverValues(kPersonDn, "description"), (std::vector<std::string>{"only"}));
    EXPECT_TRUE(boxTexts().empty());

    // A refused replace is reported with the add context too.
    EXPECT_EQ(model->syn_replaceSingleAttributeValue(dn, textValue(L"x"), L"noSuchType"), 17);
    std::vector<std::wstring> texts = boxTexts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_TRUE(startsWith(texts[0], L"Add Attribute Value. LDAPError 17: ")) << texts[0];
}

TEST_F(ModificationServerTest, ValueOperationsOnAMissingEntrySendNothing)
{
    const std::wstring missing = wide("cn=none," + kAreaDn);
    EXPECT_EQ(model->syn_addAttributeValue(missing, textValue(L"v"), L"description"), -1);
    EXPECT_EQ(model->syn_replaceSingleAttributeValue(missing, textValue(L"v"), L"description"), -1);
    EXPECT_EQ(model->sys_deleteAttribute(missing, L"description"), -1);
    EXPECT_EQ(model->syn_addAttributeValue(wide(kPersonDn), gc_ptr<LDAPAttributeValue>(), L"description"), -1);
    EXPECT_TRUE(boxTexts().empty());
}

TEST_F(ModificationServerTest, DeleteOneValueByIndex)
{
    const std::wstring dn = wide(kPersonDn);
    EXPECT_EQ(model->syn_deleteAttributeValue(dn, -1, L"description"), -1);
    EXPECT_EQ(model->syn_deleteAttributeValue(dn, 3, L"description"), -1);
    EXPECT_EQ(model->syn_deleteAttributeValue(dn, 0, L"title"), -1);
    EXPECT_TRUE(boxTexts().empty());

    EXPECT_EQ(model->syn_deleteAttributeValue(dn, 1, L"description"), 0);
    EXPECT_EQ(sorted(serverValues(kPersonDn, "description")), (std::vector<std::string>{"d1", "d3"}));
    // The cached entry still has the old order: index 1 is d2 again, which
    // the server no longer has.
    EXPECT_EQ(model->syn_deleteAttributeValue(dn, 1, L"description"), 16);
    std::vector<std::wstring> texts = boxTexts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_TRUE(startsWith(texts[0], L"Modify Entry. LDAPError 16: ")) << texts[0];
}

TEST_F(ModificationServerTest, DeleteAttributeRemovesAllItsValues)
{
    EXPECT_EQ(model->sys_deleteAttribute(wide(kPersonDn), L"description"), 0);
    EXPECT_TRUE(serverValues(kPersonDn, "description").empty());
    EXPECT_EQ(serverValues(kPersonDn, "displayName"), (std::vector<std::string>{"Old Name"}));
    EXPECT_TRUE(boxTexts().empty());

    EXPECT_EQ(model->sys_deleteAttribute(wide(kPersonDn), L"description"), 16);
    std::vector<std::wstring> texts = boxTexts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_TRUE(startsWith(texts[0], L"Modify Entry. LDAPError 16: ")) << texts[0];
}

TEST_F(ModificationServerTest, BinaryValueKeepsItsZeroBytes)
{
    const std::string bytes("\x00\x01\x00\xff\x00", 5);
    EXPECT_EQ(model->syn_addAttributeValue(wide(kPersonDn), new LDAPAttributeValue(bytes.data(), bytes.size()),
                                           L"jpegPhoto"),
              0);
    EXPECT_EQ(serverValues(kPersonDn, "jpegPhoto"), (std::vector<std::string>{bytes}));
}

// ---- rename and remove ------------------------------------------------------------

TEST_F(ModificationServerTest, RenameKeepsTheParentAndDropsTheOldValue)
{
    ASSERT_NE(model->getEntry(wide(kLeafDn)).getObject(), nullptr);
    std::size_t cached = model->getCacheSize();
    EXPECT_EQ(model->renameEntry(wide(kLeafDn), L"cn=b"), 0);
    EXPECT_TRUE(boxTexts().empty());
    const std::string renamed = "cn=b," + kUnitDn;
    EXPECT_TRUE(TestDirectoryServer::shared().entryExists(renamed));
    EXPECT_FALSE(TestDirectoryServer::shared().entryExists(kLeafDn));
    EXPECT_EQ(serverValues(renamed, "cn"), (std::vector<std::string>{"b"}));
    // The cache is the caller's business.
    EXPECT_EQ(model->getCacheSize(), cached);
    EXPECT_NE(model->findCachedEntry(wide(kLeafDn)).getObject(), nullptr);
}

TEST_F(ModificationServerTest, RenameFailureIsReported)
{
    ASSERT_TRUE(ldapmodify("dn: cn=c," + kUnitDn + "\nchangetype: add\nobjectClass: device\ncn: c\n"));
    EXPECT_EQ(model->renameEntry(wide(kLeafDn), L"cn=c"), 68);
    std::vector<std::wstring> texts = boxTexts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_TRUE(startsWith(texts[0], L"Rename Entry. LDAPError 68: ")) << texts[0];
    EXPECT_TRUE(TestDirectoryServer::shared().entryExists(kLeafDn));
}

TEST_F(ModificationServerTest, RemovingAnEntryWithChildrenFailsWith66)
{
    ASSERT_EQ(model->searchEntries(wide(kUnitDn), L"objectclass=*", 1, false), 0);
    std::size_t cached = model->getCacheSize();
    ASSERT_EQ(model->setActiveEntry(wide(kUnitDn)), 0);

    EXPECT_EQ(model->removeEntry(wide(kUnitDn)), 66);
    std::vector<std::wstring> texts = boxTexts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_TRUE(startsWith(texts[0], L"Remove Entry. LDAPError 66: ")) << texts[0];
    EXPECT_EQ(model->getCacheSize(), cached);
    EXPECT_NE(model->findCachedEntry(wide(kUnitDn)).getObject(), nullptr);
    EXPECT_TRUE(TestDirectoryServer::shared().entryExists(kUnitDn));
    EXPECT_TRUE(TestDirectoryServer::shared().entryExists(kLeafDn));
}

TEST_F(ModificationServerTest, RemovingALeafForgetsItAndLeavesTheParentList)
{
    ASSERT_EQ(model->searchEntries(wide(kUnitDn), L"objectclass=*", 1, false), 0);
    gc_ptr<LDAPEntry> unit = model->findCachedEntry(wide(kUnitDn));
    ASSERT_NE(unit.getObject(), nullptr);
    ASSERT_EQ(unit->getChildren(), (std::vector<std::wstring>{wide(kLeafDn)}));
    ASSERT_EQ(model->setActiveEntry(wide(kLeafDn)), 0);

    testing::internal::CaptureStdout();
    EXPECT_EQ(model->removeEntry(wide(kLeafDn)), 0);
    std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(printed, kLeafDn + " entry deleted successfully.\n");
    EXPECT_TRUE(boxTexts().empty());
    EXPECT_FALSE(TestDirectoryServer::shared().entryExists(kLeafDn));
    EXPECT_EQ(model->findCachedEntry(wide(kLeafDn)).getObject(), nullptr);
    EXPECT_TRUE(unit->getChildren().empty());
}

} // namespace
