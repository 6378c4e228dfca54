// Export of the active entry and of its subtree to an LDIF file, checked
// against the file's bytes and a second connection to the server.

#include "ldapmodel/support/ModelTestSupport.h"
#include "ldif/LDAPLdifFile.h"
#include "ldif/LdifRecordReader.h"
#include "ldif/LdifRecordWriter.h"
#include "model/Model.h"
#include "records/LDAPEntry.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestDirectoryServer.h"
#include "support/TestFiles.h"
#include "utilities/Util.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

using dirtest::TestDirectoryServer;
using dirtest::readFile;
using ldapmodel::LDAPEntry;
using ldapmodel::LDAPLdifFile;
using ldapmodel::Model;
using memorylib::gc_ptr;
using modeltest::serverDns;
using modeltest::wide;
namespace sample = dirtest::sample;

namespace {

// The entries of an LDIF file, read back record by record.
std::vector<gc_ptr<LDAPEntry>> fileEntries(const std::filesystem::path& path)
{
    std::vector<gc_ptr<LDAPEntry>> entries;
    LDAPLdifFile file(path.wstring());
    EXPECT_EQ(file.readRecords([&](const std::string& record, const std::string&) {
        gc_ptr<LDAPEntry> entry = new LDAPEntry();
        EXPECT_EQ(ldapmodel::LdifRecordReader::createFromLdifString(*entry, record), 0) << record;
        entries.push_back(entry);
        return true;
    }),
              0);
    return entries;
}

std::vector<std::wstring> dnsOf(const std::vector<gc_ptr<LDAPEntry>>& entries)
{
    std::vector<std::wstring> dns;
    for (const gc_ptr<LDAPEntry>& entry : entries)
        dns.push_back(entry->getDN());
    return dns;
}

// Attribute names of one entry as the server gives them, in order.
std::vector<std::string> serverAttributeNames(const std::string& dn)
{
    std::istringstream lines(TestDirectoryServer::shared().entryLdif(dn));
    std::vector<std::string> names;
    std::string line;
    std::getline(lines, line);  // dn
    while (std::getline(lines, line)) {
        std::string name = line.substr(0, line.find(':'));
        if (!name.empty() && (names.empty() || names.back() != name))
            names.push_back(name);
    }
    return names;
}

std::vector<std::string> valueBytes(const LDAPEntry& entry, const std::wstring& name)
{
    std::vector<std::string> values;
    gc_ptr<ldapmodel::LDAPAttribute> attribute = entry.getAttribute(name);
    if (attribute.getObject() == nullptr)
        return values;
    for (const gc_ptr<ldapmodel::LDAPAttributeValue>& value : attribute->getValues())
        values.push_back(value->getByteString());
    return values;
}

std::vector<util::MessageBoxRequest> boxesTitled(const dirtest::ScriptedMessageBoxes& boxes,
                                                 const std::wstring& caption)
{
    std::vector<util::MessageBoxRequest> titled;
    for (const util::MessageBoxRequest& box : boxes.boxes()) {
        if (box.caption == caption)
            titled.push_back(box);
    }
    return titled;
}

class ModelLdifServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        modeltest::mainObserver();
        model = &Model::instance();
        model->disconnect();
        modeltest::pointAtServer(*model, TestDirectoryServer::shared());
        ASSERT_EQ(model->connect(false), 0);
        std::string pattern = (std::filesystem::temp_directory_path() / "dirlook-modelldif-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        directory = pattern;
        boxes.clear();
    }
    void TearDown() override
    {
        model->disconnect();
        std::error_code ignored;
        std::filesystem::remove_all(directory, ignored);
    }

    std::wstring path(const char* name) const { return (directory / name).wstring(); }
    bool nothingWritten() const { return std::filesystem::is_empty(directory); }

    dirtest::ScriptedMessageBoxes boxes;
    Model* model = nullptr;
    std::filesystem::path directory;
};

TEST_F(ModelLdifServerTest, NoFileNameOrNoActiveEntryWritesNothing)
{
    // Connected, nothing selected.
    EXPECT_EQ(model->getActiveEntryDN(), L"");
    EXPECT_EQ(model->exportLdif(path("none.ldif"), false), -1);
    EXPECT_EQ(model->exportLdif(path("none.ldif"), true), -1);
    EXPECT_TRUE(nothingWritten());

    // An empty name neither writes nor falls back to a default file.
    ASSERT_EQ(model->setActiveEntry(wide(sample::kUser01Dn)), 0);
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(directory);
    const int single = model->exportLdif(L"", false);
    const int subtree = model->exportLdif(L"", true);
    std::filesystem::current_path(previous);
    EXPECT_EQ(single, -1);
    EXPECT_EQ(subtree, -1);
    EXPECT_TRUE(nothingWritten());

    // Not connected: the active entry is gone.
    model->disconnect();
    EXPECT_EQ(model->exportLdif(path("none.ldif"), false), -1);
    EXPECT_EQ(model->exportLdif(path("none.ldif"), true), -1);
    EXPECT_TRUE(nothingWritten());
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(ModelLdifServerTest, SingleEntryExportWritesExactlyOneRecordAtTheModelsWidth)
{
    ASSERT_EQ(model->setActiveEntry(wide(sample::kUser01Dn)), 0);
    ASSERT_EQ(model->exportLdif(path("one.ldif"), false), 0);
    const std::string written = readFile(directory / "one.ldif");
    EXPECT_EQ(written, ldapmodel::LdifRecordWriter::entryRecord(*model->getActiveEntry(), 70) + "\n");
    EXPECT_EQ(written.rfind("dn: uid=user01,ou=People,dc=example,dc=com\n", 0), 0u);

    std::vector<gc_ptr<LDAPEntry>> entries = fileEntries(directory / "one.ldif");
    ASSERT_EQ(entries.size(), 1u);
    const LDAPEntry& entry = *entries[0];
    EXPECT_EQ(entry.getDN(), wide(sample::kUser01Dn));
    // Every user attribute, with the values the server holds, and nothing
    // operational.
    std::vector<std::string> names = serverAttributeNames(sample::kUser01Dn);
    ASSERT_EQ(entry.getUserAttributeCount(), static_cast<int>(names.size()));
    for (const std::string& name : names)
        EXPECT_EQ(valueBytes(entry, wide(name)), modeltest::serverValues(sample::kUser01Dn, name)) << name;
    EXPECT_EQ(valueBytes(entry, L"mail"),
              (std::vector<std::string>{sample::kUser01Mail1, sample::kUser01Mail2}));
    EXPECT_EQ(written.find("createTimestamp"), std::string::npos);
    EXPECT_TRUE(boxes.boxes().empty());

    // A second export appends to the file.
    ASSERT_EQ(model->exportLdif(path("one.ldif"), false), 0);
    EXPECT_EQ(readFile(directory / "one.ldif"), written + written);

    // The 275-character description is folded at 70 characters.
    ASSERT_EQ(model->setActiveEntry(wide(sample::kUser05Dn)), 0);
    ASSERT_EQ(model->exportLdif(path("long.ldif"), false), 0);
    std::istringstream lines(readFile(directory / "long.ldif"));
    std::string line;
    int full = 0;
    while (std::getline(lines, line)) {
        EXPECT_LE(line.size(), 70u) << line;
        full += line.size() == 70u ? 1 : 0;
    }
    EXPECT_GE(full, 3);
    std::vector<gc_ptr<LDAPEntry>> folded = fileEntries(directory / "long.ldif");
    ASSERT_EQ(folded.size(), 1u);
    EXPECT_EQ(valueBytes(*folded[0], L"description"), modeltest::serverValues(sample::kUser05Dn, "description"));
}

TEST_F(ModelLdifServerTest, SubtreeExportWritesEveryEntryWithOneBoxEach)
{
    ASSERT_EQ(model->setActiveEntry(wide(sample::kDeptDn)), 0);
    // The answers are not used: Cancel goes on like OK.
    boxes.queueAnswer(util::BoxAnswer::Cancel);
    boxes.queueAnswer(util::BoxAnswer::Cancel);
    ASSERT_EQ(model->exportLdif(path("dept.ldif"), true), 0);

    const std::vector<std::wstring> expected = serverDns(TestDirectoryServer::shared(), sample::kDeptDn);
    ASSERT_EQ(expected.size(), static_cast<std::size_t>(sample::kDeptSubtreeCount));
    std::vector<gc_ptr<LDAPEntry>> entries = fileEntries(directory / "dept.ldif");
    EXPECT_EQ(dnsOf(entries), expected);

    std::vector<util::MessageBoxRequest> shown = boxes.boxes();
    ASSERT_EQ(shown.size(), expected.size());
    for (std::size_t i = 0; i < shown.size(); ++i) {
        EXPECT_EQ(shown[i].caption, L"Entry exported");
        EXPECT_EQ(shown[i].text, expected[i]);
        EXPECT_EQ(shown[i].buttons, util::BoxButtons::OkCancel);
    }
    // With their values: the devices' descriptions as the server has them.
    for (const gc_ptr<LDAPEntry>& entry : entries) {
        const std::string dn = util::toUtf8(entry->getDN());
        EXPECT_EQ(valueBytes(*entry, L"objectClass"), modeltest::serverValues(dn, "objectClass")) << dn;
        EXPECT_EQ(valueBytes(*entry, L"description"), modeltest::serverValues(dn, "description")) << dn;
    }
}

TEST_F(ModelLdifServerTest, SubtreeExportKeepsBinaryValuesAndNonAsciiDns)
{
    ASSERT_EQ(model->setActiveEntry(wide(sample::kPeopleDn)), 0);
    ASSERT_EQ(model->exportLdif(path("people.ldif"), true), 0);

    const std::vector<std::wstring> expected = serverDns(TestDirectoryServer::shared(), sample::kPeopleDn);
    ASSERT_EQ(expected.size(), static_cast<std::size_t>(sample::kPeopleChildCount + 1));
    std::vector<gc_ptr<LDAPEntry>> entries = fileEntries(directory / "people.ldif");
    ASSERT_EQ(dnsOf(entries), expected);
    EXPECT_EQ(boxesTitled(boxes, L"Entry exported").size(), expected.size());
    EXPECT_EQ(boxes.boxes().size(), expected.size());

    // Latin-1 DN in plain 8-bit form, the other one in Base64.
    const std::string written = readFile(directory / "people.ldif");
    EXPECT_NE(written.find("\ndn: cn=Jos\xE9 M\xFCller,ou=People,dc=example,dc=com\n"), std::string::npos);
    const std::string lukasz = sample::kLukaszDn;
    const std::string encoded =
        util::base64Encode(reinterpret_cast<const unsigned char*>(lukasz.data()), lukasz.size());
    EXPECT_NE(written.find("\ndn:: " + encoded.substr(0, 66)), std::string::npos);

    for (const gc_ptr<LDAPEntry>& entry : entries) {
        const std::wstring& dn = entry->getDN();
        if (dn == sample::kJoseDnWide || dn == sample::kLukaszDnWide) {
            EXPECT_EQ(valueBytes(*entry, L"cn"), modeltest::serverValues(util::toUtf8(dn), "cn"));
        } else if (dn == wide(sample::kPhotoDn)) {
            EXPECT_EQ(valueBytes(*entry, L"jpegPhoto"),
                      std::vector<std::string>{TestDirectoryServer::readDataFile(sample::kPhotoFile)});
        } else if (dn == wide(sample::kCertDn)) {
            EXPECT_EQ(valueBytes(*entry, L"userCertificate;binary"),
                      std::vector<std::string>{TestDirectoryServer::readDataFile(sample::kCertFile)});
        }
    }
    EXPECT_EQ(valueBytes(*entries[0], L"ou"), std::vector<std::string>{"People"});
}

TEST_F(ModelLdifServerTest, SizeLimitIsReportedAndTheEntriesThatArrivedAreWritten)
{
    model->setSizeLimit(5);
    ASSERT_EQ(model->setActiveEntry(wide(sample::kPeopleDn)), 0);
    EXPECT_EQ(model->exportLdif(path("limited.ldif"), true), 0);

    std::vector<util::MessageBoxRequest> shown = boxes.boxes();
    ASSERT_EQ(shown.size(), 6u);
    EXPECT_EQ(shown[0].caption, L"LDAP Message");
    EXPECT_EQ(shown[0].text.rfind(L"Search DN Subtree. LDAPError 4: ", 0), 0u) << util::toUtf8(shown[0].text);

    std::vector<std::wstring> dns = dnsOf(fileEntries(directory / "limited.ldif"));
    ASSERT_EQ(dns.size(), 5u);
    const std::vector<std::wstring> subtree = serverDns(TestDirectoryServer::shared(), sample::kPeopleDn);
    const std::set<std::wstring> all(subtree.begin(), subtree.end());
    for (std::size_t i = 0; i < dns.size(); ++i) {
        EXPECT_EQ(all.count(dns[i]), 1u) << util::toUtf8(dns[i]);
        EXPECT_EQ(shown[i + 1].caption, L"Entry exported");
        EXPECT_EQ(shown[i + 1].text, dns[i]);
    }
}

TEST_F(ModelLdifServerTest, SearchFailureIsReportedWithItsCode)
{
    const std::string dn = "cn=vanishing,dc=example,dc=com";
    std::string output;
    ASSERT_TRUE(TestDirectoryServer::shared().runLdapmodify(
        "dn: " + dn + "\nchangetype: add\nobjectClass: device\ncn: vanishing\n", output))
        << output;
    ASSERT_EQ(model->setActiveEntry(wide(dn)), 0);
    ASSERT_EQ(model->getActiveEntryDN(), wide(dn));
    ASSERT_TRUE(TestDirectoryServer::shared().runLdapmodify("dn: " + dn + "\nchangetype: delete\n", output))
        << output;

    EXPECT_EQ(model->exportLdif(path("gone.ldif"), true), 32);
    std::vector<util::MessageBoxRequest> shown = boxes.boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, L"LDAP Message");
    EXPECT_EQ(shown[0].text, L"Search DN Subtree. LDAPError 32: No such object");
    EXPECT_TRUE(nothingWritten());

    // The entry alone is written as the model holds it.
    EXPECT_EQ(model->exportLdif(path("gone.ldif"), false), 0);
    EXPECT_EQ(dnsOf(fileEntries(directory / "gone.ldif")), std::vector<std::wstring>{wide(dn)});
}

TEST_F(ModelLdifServerTest, FileThatCannotBeWrittenIsReportedOnce)
{
    const std::wstring unwritable = path("missing/out.ldif");
    ASSERT_EQ(model->setActiveEntry(wide(sample::kDeptDn)), 0);

    EXPECT_EQ(model->exportLdif(unwritable, false), -1);
    std::vector<util::MessageBoxRequest> shown = boxes.boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, L"Export to ldif file");
    EXPECT_EQ(shown[0].text, L"Can't write the file\n" + unwritable);
    EXPECT_EQ(shown[0].icon, util::BoxIcon::Warning);

    // The subtree export stops at the first entry.
    boxes.clear();
    EXPECT_EQ(model->exportLdif(unwritable, true), -1);
    shown = boxes.boxes();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].caption, L"Entry exported");
    EXPECT_EQ(shown[0].text, wide(sample::kDeptDn));
    EXPECT_EQ(shown[1].caption, L"Export to ldif file");
    EXPECT_TRUE(nothingWritten());
}

} // namespace
