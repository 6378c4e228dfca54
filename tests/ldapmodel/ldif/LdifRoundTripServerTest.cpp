// Writing the sample directory as LDIF and importing LDIF files (ours,
// ldapsearch's, slapcat's) into empty test servers.
#include "ldapmodel/support/ModelTestSupport.h"
#include "ldif/LDAPLdifFile.h"
#include "ldif/LdifImportReport.h"
#include "model/Model.h"
#include "records/LDAPEntry.h"
#include "schema/LDAPSchema.h"
#include "session/LdapSession.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestDirectoryServer.h"
#include "support/TestFiles.h"
#include "utilities/Util.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

using dirtest::TestDirectoryServer;
using dirtest::crlf;
using dirtest::readFile;
using dirtest::writeFile;
using ldapmodel::LDAPEntry;
using ldapmodel::LDAPLdifFile;
using ldapmodel::LdapSession;
using ldapmodel::Model;
using memorylib::gc_ptr;
using modeltest::directoryOf;
namespace sample = dirtest::sample;

std::wstring wide(const std::string& text) { return util::fromUtf8(text); }

TestDirectoryServer& shared() { return TestDirectoryServer::shared(); }

std::string base64(const std::string& bytes)
{
    return util::base64Encode(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

class LdifRoundTripServerTest : public testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/dirlook-ldif-server-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_directory = pattern;
    }

    void TearDown() override
    {
        Model::instance().disconnect();
        std::filesystem::remove_all(m_directory);
    }

    std::wstring path(const char* name) const { return (m_directory / name).wstring(); }

    // The Model bound as the admin to server.
    static void connectModel(const TestDirectoryServer& server)
    {
        Model& model = Model::instance();
        model.setHost(wide(server.host()));
        model.setPort(server.port());
        model.setBindDN(wide(TestDirectoryServer::adminDn()));
        model.setPassword(wide(TestDirectoryServer::adminPassword()));
        model.setBaseDN(wide(TestDirectoryServer::baseDn()));
        ASSERT_EQ(model.connect(false), 0);
        model.clearStopRequest();
    }

    // Imports the file into server through the Model; refused records go to
    // errors.ldif.
    int import(const TestDirectoryServer& server, const std::wstring& fileName)
    {
        connectModel(server);
        // Only what the import shows counts (a bare server has no base entry
        // for the connect to read).
        m_connectBoxes = m_boxes.boxes();
        m_boxes.clear();
        m_lastImport = new LDAPLdifFile(fileName);
        m_lastImport->setErrorFileName(path("errors.ldif"));
        const int result = m_lastImport->readEntries(Model::instance());
        EXPECT_NE(m_lastImport->getImportReport(), nullptr);
        return result;
    }

    // Reads every entry of the shared server with LDAPEntry::readFromServer
    // (schema loaded) and appends it to the file, in the server's order.
    std::vector<gc_ptr<LDAPEntry>> exportSample(const std::wstring& fileName)
    {
        std::string output;
        EXPECT_TRUE(shared().runLdapsearch({"-D", TestDirectoryServer::adminDn(), "-w",
                                            TestDirectoryServer::adminPassword(), "-b", TestDirectoryServer::baseDn(),
                                            "(objectClass=*)", "1.1"},
                                           output));
        LdapSession session;
        EXPECT_EQ(session.connect(wide(shared().host()), shared().port(), wide(TestDirectoryServer::adminDn()),
                                  wide(TestDirectoryServer::adminPassword()), false),
                  0);
        ldapmodel::LDAPSchema::instance().clear();
        EXPECT_EQ(ldapmodel::LDAPSchema::instance().load(session, L""), 0);
        LDAPLdifFile file(fileName);
        std::vector<gc_ptr<LDAPEntry>> entries;
        for (const std::string& dn : TestDirectoryServer::ldifDns(output)) {
            gc_ptr<LDAPEntry> entry = new LDAPEntry();
            entry->setDN(wide(dn));
            EXPECT_TRUE(entry->readFromServer(session, 0)) << dn;
            EXPECT_EQ(file.appendEntry(entry), 0);
            entries.push_back(entry);
        }
        return entries;
    }

    dirtest::ScriptedMessageBoxes m_boxes;
    std::vector<util::MessageBoxRequest> m_connectBoxes;
    gc_ptr<LDAPLdifFile> m_lastImport;
    std::filesystem::path m_directory;
};

TEST_F(LdifRoundTripServerTest, SampleWrittenAndImportedIntoAnEmptyServerIsTheSame)
{
    std::vector<gc_ptr<LDAPEntry>> entries = exportSample(path("sample.ldif"));
    ASSERT_EQ(entries.size(), static_cast<std::size_t>(sample::kEntryCount));

    // The written file: Latin-1 DN plain, the DN above U+00FF in Base64,
    // binary and unsafe values in Base64, no operational attributes.
    const std::string written = readFile(m_directory / "sample.ldif");
    EXPECT_NE(written.find("\ndn: cn=Jos\xE9 M\xFC" "ller,ou=People,dc=example,dc=com\n"), std::string::npos);
    EXPECT_NE(written.find("\ndn:: " + base64(sample::kLukaszDn).substr(0, 74) + "\n"), std::string::npos);
    EXPECT_NE(written.find("\njpegPhoto:: "), std::string::npos);
    EXPECT_NE(written.find("\nuserCertificate;binary:: "), std::string::npos);
    EXPECT_NE(written.find("\ndescription:: bGluZSBvbmUKbGluZSB0d28=\n"), std::string::npos);
    EXPECT_NE(written.find("\ndescription:: IHN0YXJ0cyB3aXRoIGEgc3BhY2U=\n"), std::string::npos);
    EXPECT_FALSE(entries[0]->getOperationalAttributes().empty());
    EXPECT_EQ(written.find("createTimestamp"), std::string::npos);
    EXPECT_EQ(written.find("entryUUID"), std::string::npos);
    std::istringstream lines(written);
    std::string line;
    while (std::getline(lines, line))
        EXPECT_LE(line.size(), line.rfind("dn:: ", 0) == 0 ? 79U : 78U) << line;

    TestDirectoryServer target(TestDirectoryServer::Content::Bare);
    ASSERT_TRUE(target.start()) << target.lastError();
    EXPECT_EQ(import(target, path("sample.ldif")), 0);
    EXPECT_FALSE(std::filesystem::exists(m_directory / "errors.ldif"));
    EXPECT_TRUE(m_boxes.boxes().empty());

    std::map<std::string, std::string> expected = directoryOf(shared());
    std::map<std::string, std::string> imported = directoryOf(target);
    ASSERT_EQ(imported.size(), static_cast<std::size_t>(sample::kEntryCount));
    EXPECT_EQ(imported, expected);
    EXPECT_EQ(TestDirectoryServer::ldifValues(target.entryLdif(sample::kPhotoDn), "jpegPhoto"),
              std::vector<std::string>{TestDirectoryServer::readDataFile(sample::kPhotoFile)});
    EXPECT_TRUE(target.entryExists(sample::kJoseDn));
    EXPECT_TRUE(target.entryExists(sample::kLukaszDn));

    // The same file again: every record is refused and kept, unchanged,
    // after a comment with the server's answer.
    EXPECT_EQ(import(target, path("sample.ldif")), -1);
    std::string expectedErrors;
    std::size_t start = 0;
    for (const gc_ptr<LDAPEntry>& entry : entries) {
        std::size_t end = written.find("\n\n", start) + 2;
        expectedErrors += "# dn: " + util::toUtf8(entry->getDN()) + " refused: LDAPError 68: Already exists\n" +
                          written.substr(start, end - start);
        start = end;
    }
    EXPECT_EQ(readFile(m_directory / "errors.ldif"), expectedErrors);
    // Counted for the summary, not shown one by one.
    EXPECT_TRUE(m_boxes.boxes().empty());
    EXPECT_EQ(m_lastImport->getImportReport()->getRefusals(),
              (std::map<std::pair<int, std::wstring>, int>{
                  {{68, L"LDAPError 68: Already exists"}, static_cast<int>(entries.size())}}));
}

TEST_F(LdifRoundTripServerTest, CrLfFileImportsLikeTheLfFile)
{
    exportSample(path("sample.ldif"));
    writeFile(m_directory / "crlf.ldif", crlf(readFile(m_directory / "sample.ldif")));
    TestDirectoryServer target(TestDirectoryServer::Content::Bare);
    ASSERT_TRUE(target.start()) << target.lastError();
    EXPECT_EQ(import(target, path("crlf.ldif")), 0);
    EXPECT_FALSE(std::filesystem::exists(m_directory / "errors.ldif"));
    std::map<std::string, std::string> imported = directoryOf(target);
    EXPECT_EQ(imported, directoryOf(shared()));
    for (const auto& record : imported)
        EXPECT_EQ(record.second.find('\r'), std::string::npos) << record.first;
}

TEST_F(LdifRoundTripServerTest, LdapsearchOutputImports)
{
    std::string output;
    ASSERT_EQ(TestDirectoryServer::runProcess({"ldapsearch", "-x", "-LLL", "-H", shared().uri(), "-D",
                                               TestDirectoryServer::adminDn(), "-w",
                                               TestDirectoryServer::adminPassword(), "-b",
                                               TestDirectoryServer::baseDn(), "(objectClass=*)"},
                                              "", output),
              0);
    // Folded at ldapsearch's own width.
    ASSERT_NE(output.find("\n "), std::string::npos);
    writeFile(m_directory / "ldapsearch.ldif", output);

    TestDirectoryServer target(TestDirectoryServer::Content::Bare);
    ASSERT_TRUE(target.start()) << target.lastError();
    EXPECT_EQ(import(target, path("ldapsearch.ldif")), 0);
    EXPECT_FALSE(std::filesystem::exists(m_directory / "errors.ldif"));
    EXPECT_EQ(directoryOf(target), directoryOf(shared()));
}

TEST_F(LdifRoundTripServerTest, SlapcatOutputIsRefusedWholeAndImportsOnceFixed)
{
    std::string output;
    ASSERT_EQ(TestDirectoryServer::runProcess({"/usr/sbin/slapcat", "-F", shared().directory() + "/slapd.d", "-b",
                                               TestDirectoryServer::baseDn()},
                                              "", output),
              0)
        << output;
    ASSERT_NE(output.find("\nentryUUID: "), std::string::npos);
    writeFile(m_directory / "slapcat.ldif", output);

    // Every record carries operational attributes, which the server does
    // not take from a client: all go to the error file, none is lost.
    TestDirectoryServer target(TestDirectoryServer::Content::Bare);
    ASSERT_TRUE(target.start()) << target.lastError();
    EXPECT_EQ(import(target, path("slapcat.ldif")), -1);
    EXPECT_FALSE(target.entryExists(TestDirectoryServer::baseDn()));
    const std::string errors = readFile(m_directory / "errors.ldif");
    std::vector<std::string> refused;
    std::istringstream lines(errors);
    std::string line;
    std::string fixed;
    static const std::vector<std::string> operational = {"structuralObjectClass:", "entryUUID:", "creatorsName:",
                                                         "createTimestamp:", "entryCSN:", "modifiersName:",
                                                         "modifyTimestamp:"};
    while (std::getline(lines, line)) {
        if (line.rfind("# dn: ", 0) == 0)
            refused.push_back(line);
        bool drop = false;
        for (const std::string& name : operational)
            drop = drop || line.rfind(name, 0) == 0;
        if (!drop)
            fixed += line + "\n";
    }
    ASSERT_EQ(refused.size(), static_cast<std::size_t>(sample::kEntryCount));
    EXPECT_NE(refused[0].find("refused: LDAPError 19: Constraint violation"), std::string::npos) << refused[0];
    EXPECT_EQ(TestDirectoryServer::ldifDns(errors), TestDirectoryServer::ldifDns(output));

    // The error file, fixed, imports; its comments are skipped.
    writeFile(m_directory / "fixed.ldif", fixed);
    std::filesystem::remove(m_directory / "errors.ldif");
    EXPECT_EQ(import(target, path("fixed.ldif")), 0);
    EXPECT_FALSE(std::filesystem::exists(m_directory / "errors.ldif"));
    EXPECT_EQ(directoryOf(target), directoryOf(shared()));
}

TEST_F(LdifRoundTripServerTest, VersionLineAndTwoRecordsGiveTwoEntries)
{
    writeFile(m_directory / "two.ldif", "version: 1\n\n"
                                        "dn: cn=first,dc=example,dc=com\nobjectClass: device\ncn: first\n\n"
                                        "dn: cn=second,dc=example,dc=com\nobjectClass: device\ncn: second\n");
    TestDirectoryServer target(TestDirectoryServer::Content::Empty);
    ASSERT_TRUE(target.start()) << target.lastError();
    EXPECT_EQ(import(target, path("two.ldif")), 0);
    EXPECT_TRUE(m_boxes.boxes().empty());
    EXPECT_TRUE(target.entryExists("cn=first,dc=example,dc=com"));
    EXPECT_TRUE(target.entryExists("cn=second,dc=example,dc=com"));
    EXPECT_EQ(directoryOf(target).size(), 3U);
}

TEST_F(LdifRoundTripServerTest, ModifyRecordIsAppliedBetweenContentRecords)
{
    writeFile(m_directory / "modify.ldif", "dn: cn=before,dc=example,dc=com\nobjectClass: device\ncn: before\n\n"
                                           "dn: cn=before,dc=example,dc=com\nchangetype: modify\n"
                                           "replace: description\ndescription: changed\n-\n\n"
                                           "dn: cn=after,dc=example,dc=com\nobjectClass: device\ncn: after\n");
    TestDirectoryServer target(TestDirectoryServer::Content::Empty);
    ASSERT_TRUE(target.start()) << target.lastError();
    EXPECT_EQ(import(target, path("modify.ldif")), 0);
    EXPECT_TRUE(target.entryExists("cn=before,dc=example,dc=com"));
    EXPECT_TRUE(target.entryExists("cn=after,dc=example,dc=com"));
    EXPECT_EQ(TestDirectoryServer::ldifValues(target.entryLdif("cn=before,dc=example,dc=com"), "description"),
              std::vector<std::string>{"changed"});
    EXPECT_FALSE(std::filesystem::exists(m_directory / "errors.ldif"));
}

TEST_F(LdifRoundTripServerTest, RefusedRecordsGoToLdifErrorTxtInTheWorkingDirectory)
{
    writeFile(m_directory / "dup.ldif", "dn: dc=example,dc=com\nobjectClass: dcObject\nobjectClass: organization\n"
                                        "dc: example\no: Again\n");
    TestDirectoryServer target(TestDirectoryServer::Content::Empty);
    ASSERT_TRUE(target.start()) << target.lastError();
    connectModel(target);
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(m_directory);
    LDAPLdifFile file(L"dup.ldif");
    int result = file.readEntries();
    std::filesystem::current_path(previous);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(readFile(m_directory / "LDIFError.txt"),
              "# dn: dc=example,dc=com refused: LDAPError 68: Already exists\n" + readFile(m_directory / "dup.ldif") +
                  "\n");
}

} // namespace
