#include "ldif/LDAPLdifFile.h"
#include "ldif/LdifImportReport.h"
#include "model/Model.h"
#include "model/ModelObserver.h"
#include "records/LDAPAttributeValue.h"
#include "records/LDAPEntry.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestFiles.h"
#include "utilities/Util.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using dirtest::crlf;
using dirtest::readFile;
using dirtest::writeFile;
using ldapmodel::LDAPAttributeValue;
using ldapmodel::LDAPEntry;
using ldapmodel::LDAPLdifFile;
using ldapmodel::Model;
using memorylib::gc_ptr;

class CountingObserver : public ldapmodel::ModelObserver {
public:
    void updateFromModel(int) override {}
    bool step() override
    {
        ++steps;
        return true;
    }
    int steps = 0;
};

class LdifFileTest : public testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/dirlook-ldif-test-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_directory = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(m_directory); }

    std::wstring path(const char* name) const { return (m_directory / name).wstring(); }

    // The records of a file as readRecords hands them over.
    std::vector<std::pair<std::string, std::string>> recordsOf(const std::string& content)
    {
        writeFile(m_directory / "records.ldif", content);
        LDAPLdifFile file(path("records.ldif"));
        std::vector<std::pair<std::string, std::string>> records;
        EXPECT_EQ(file.readRecords([&](const std::string& record, const std::string& linesAsRead) {
            records.emplace_back(record, linesAsRead);
            return true;
        }),
                  0);
        return records;
    }

    static std::vector<std::string> recordTexts(const std::vector<std::pair<std::string, std::string>>& records)
    {
        std::vector<std::string> texts;
        for (const auto& record : records)
            texts.push_back(record.first);
        return texts;
    }

    std::filesystem::path m_directory;
};

// A Model that cannot connect (port 0): every add fails at once, reporting
// "LDAPError 81".
class LdifImportTest : public LdifFileTest {
protected:
    void SetUp() override
    {
        LdifFileTest::SetUp();
        Model& model = Model::instance();
        model.disconnect();
        model.setHost(L"127.0.0.1");
        model.setPort(0);
        model.clearStopRequest();
        model.getBackgroundState().resetProgressCount();
        m_observer = new CountingObserver();
        model.setProgressObserver(m_observer);
    }
    void TearDown() override
    {
        Model::instance().setProgressObserver(gc_ptr<ldapmodel::ModelObserver>());
        Model::instance().clearStopRequest();
        LdifFileTest::TearDown();
    }

    // Imports content from import.ldif, through file when given.
    int import(const std::string& content, int pause = 0, LDAPLdifFile* file = nullptr)
    {
        writeFile(m_directory / "import.ldif", content);
        LDAPLdifFile own(path("import.ldif"));
        LDAPLdifFile& used = file != nullptr ? *file : own;
        used.setErrorFileName(path("errors.ldif"));
        used.setEntryPause(pause);
        return used.readEntries(Model::instance());
    }

    std::string errors() const { return readFile(m_directory / "errors.ldif"); }

    dirtest::ScriptedMessageBoxes m_boxes;
    gc_ptr<CountingObserver> m_observer;
};

TEST_F(LdifFileTest, DefaultsAreTheErrorFileNameAndWidth78)
{
    LDAPLdifFile unnamed;
    EXPECT_EQ(unnamed.getFileName(), L"LDIFError.txt");
    EXPECT_EQ(unnamed.getLineWidth(), 78);
    EXPECT_EQ(unnamed.getErrorFileName(), L"LDIFError.txt");
    EXPECT_EQ(unnamed.getEntryPause(), 10);
    EXPECT_EQ(LDAPLdifFile(L"").getFileName(), L"LDIFError.txt");
    EXPECT_EQ(LDAPLdifFile(L"out.ldif").getFileName(), L"out.ldif");
}

TEST_F(LdifFileTest, AppendKeepsWhatTheFileHolds)
{
    gc_ptr<LDAPEntry> entry = new LDAPEntry();
    entry->setDN(L"cn=test,o=example");
    entry->addAttributeValue(L"cn", new LDAPAttributeValue(std::wstring(L"test")));
    gc_ptr<LDAPEntry> other = new LDAPEntry();
    other->setDN(L"cn=other,o=example");
    other->addAttributeValue(L"description", new LDAPAttributeValue(std::wstring(100, L'd')));

    LDAPLdifFile file(path("out.ldif"));
    ASSERT_EQ(file.appendEntry(entry), 0);
    EXPECT_EQ(readFile(m_directory / "out.ldif"), "dn: cn=test,o=example\ncn: test\n\n");
    // Exports may hold password values: a new file is the owner's alone.
    const auto ownerOnly = std::filesystem::perms::owner_read | std::filesystem::perms::owner_write;
    EXPECT_EQ(std::filesystem::status(m_directory / "out.ldif").permissions(), ownerOnly);

    // A second export into the same file: both records stay, and the mode
    // the user gave the file.
    std::filesystem::permissions(m_directory / "out.ldif", ownerOnly | std::filesystem::perms::group_read);
    LDAPLdifFile again(path("out.ldif"));
    again.setLineWidth(70);
    ASSERT_EQ(again.appendEntry(other), 0);
    EXPECT_EQ(readFile(m_directory / "out.ldif"), "dn: cn=test,o=example\ncn: test\n\n"
                                                  "dn: cn=other,o=example\ndescription: " +
                                                      std::string(57, 'd') + "\n " + std::string(43, 'd') + "\n\n");
    EXPECT_EQ(std::filesystem::status(m_directory / "out.ldif").permissions(),
              ownerOnly | std::filesystem::perms::group_read);
}

TEST_F(LdifFileTest, AppendFailsWithoutEntryOrFile)
{
    LDAPLdifFile file(path("no-such-directory/out.ldif"));
    gc_ptr<LDAPEntry> entry = new LDAPEntry();
    EXPECT_EQ(file.appendEntry(entry), -1);
    LDAPLdifFile good(path("out.ldif"));
    EXPECT_EQ(good.appendEntry(gc_ptr<LDAPEntry>()), -1);
    EXPECT_FALSE(std::filesystem::exists(m_directory / "out.ldif"));
}

TEST_F(LdifFileTest, RecordsAreSeparatedByEmptyOrBlankLines)
{
    EXPECT_EQ(recordTexts(recordsOf("version: 1\n\ndn: cn=a\ncn: a\n\n\n\ndn: cn=b\ncn: b\n   \ndn: cn=c\ncn: c")),
              (std::vector<std::string>{"version: 1\n", "dn: cn=a\ncn: a\n", "dn: cn=b\ncn: b\n", "dn: cn=c\ncn: c\n"}));
    EXPECT_TRUE(recordsOf("").empty());
    EXPECT_TRUE(recordsOf("\n  \n\n").empty());
}

TEST_F(LdifFileTest, CommentsAreDropped)
{
    const std::string content = "# header comment\n"
                                "#  folded over\n"
                                "  two lines\n"
                                "  # indented comment before a record\n"
                                "dn: cn=a\n"
                                "# inside\n"
                                " continued comment\n"
                                "description: first part\n"
                                " #second part\n"
                                "cn: a\n";
    auto records = recordsOf(content);
    ASSERT_EQ(records.size(), 1U);
    // A continuation that starts with "#" inside a value is data.
    EXPECT_EQ(records[0].first, "dn: cn=a\ndescription: first part\n #second part\ncn: a\n");
    // The lines as read keep the comments inside the record.
    EXPECT_EQ(records[0].second,
              "dn: cn=a\n# inside\n continued comment\ndescription: first part\n #second part\ncn: a\n");
}

TEST_F(LdifFileTest, CrLfFilesGiveTheSameRecords)
{
    const std::string content = "version: 1\n\n# c\ndn: cn=a\ndescription: x\n y\n\ndn: cn=b\ncn: b\n";
    auto lf = recordsOf(content);
    auto crlfRecords = recordsOf(crlf(content));
    EXPECT_EQ(recordTexts(crlfRecords), recordTexts(lf));
    for (const auto& record : crlfRecords)
        EXPECT_EQ(record.first.find('\r'), std::string::npos);
    // The lines as read keep their ends.
    EXPECT_EQ(crlfRecords[1].second, "dn: cn=a\r\ndescription: x\r\n y\r\n");
    // A carriage return that is not part of a line end stays.
    EXPECT_EQ(recordTexts(recordsOf("dn: cn=a\ncn: a\rb\r\r\n")), (std::vector<std::string>{"dn: cn=a\ncn: a\rb\r\n"}));
}

TEST_F(LdifFileTest, APipeGivesTheSameRecordsAsAFile)
{
    const std::string content = "dn: cn=a\r\n# inside\r\ncn: a\r\n folded\r\n\r\ndn: cn=b\ncn: b\n# after\n\ndn: cn=c\ncn: c";
    const auto fromFile = recordsOf(content);
    ASSERT_EQ(fromFile.size(), 3u);
    EXPECT_EQ(fromFile[2].second, "dn: cn=c\ncn: c\n");
    ASSERT_EQ(::mkfifo((m_directory / "pipe.ldif").c_str(), 0600), 0);
    std::thread writer([&] { writeFile(m_directory / "pipe.ldif", content); });
    LDAPLdifFile file(path("pipe.ldif"));
    std::vector<std::pair<std::string, std::string>> fromPipe;
    EXPECT_EQ(file.readRecords([&](const std::string& record, const std::string& linesAsRead) {
        fromPipe.emplace_back(record, linesAsRead);
        return true;
    }),
              0);
    writer.join();
    EXPECT_EQ(fromPipe, fromFile);
}

TEST_F(LdifFileTest, HandlerCanStopAndMissingFileFails)
{
    writeFile(m_directory / "two.ldif", "dn: cn=a\n\ndn: cn=b\n");
    LDAPLdifFile file(path("two.ldif"));
    int calls = 0;
    EXPECT_EQ(file.readRecords([&](const std::string&, const std::string&) { return ++calls < 1; }), 0);
    EXPECT_EQ(calls, 1);
    calls = 0;
    EXPECT_EQ(file.readRecords([&](const std::string&, const std::string&) { return ++calls; }, [] { return true; }),
              0);
    EXPECT_EQ(calls, 0);
    LDAPLdifFile missing(path("missing.ldif"));
    EXPECT_EQ(missing.readRecords([](const std::string&, const std::string&) { return true; }), -1);
}

TEST_F(LdifImportTest, MissingFileFailsWithoutNotifying)
{
    LDAPLdifFile file(path("missing.ldif"));
    EXPECT_EQ(file.readEntries(Model::instance()), -1);
    EXPECT_EQ(m_observer->steps, 0);
    EXPECT_FALSE(std::filesystem::exists(m_directory / "missing.ldif"));
}

TEST_F(LdifImportTest, RefusedRecordsGoToTheErrorFileUnchanged)
{
    const std::string first = "dn: cn=a,o=x\r\ncn: a\r\n# kept\r\ndescription: folded\r\n  value\r\n";
    const std::string second = "dn:: Y249xYF1a2FzeixvPXg=\nobjectClass: device\n";
    const int countBefore = LDAPLdifFile::getImportedEntryCount();

    LDAPLdifFile file(path("import.ldif"));
    EXPECT_EQ(import("version: 1\n\n# about a\n" + first + "\n" + second, 0, &file), -1);
    EXPECT_EQ(errors(), "# dn: cn=a,o=x refused: LDAPError 81: Can't contact LDAP server\n" + first + "\n" +
                            "# dn: cn=\xC5\x81ukasz,o=x refused: LDAPError 81: Can't contact LDAP server\n" + second +
                            "\n");
    // The version record is no entry: two entries, one step before the first line.
    EXPECT_EQ(LDAPLdifFile::getImportedEntryCount(), countBefore + 2);
    EXPECT_EQ(Model::instance().getProgressCount(), 2);
    EXPECT_EQ(Model::instance().getCurrentDN(), L"cn=\u0141ukasz,o=x");
    EXPECT_EQ(m_observer->steps, 3);
    // Counted for one summary at the end instead of a box each.
    EXPECT_TRUE(m_boxes.boxes().empty());
    const ldapmodel::LdifImportReport* report = file.getImportReport();
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(report->getAddedCount(), 0);
    EXPECT_EQ(report->getRefusedCount(), 2);
    EXPECT_EQ(report->getRefusals(),
              (std::map<std::pair<int, std::wstring>, int>{{{81, L"LDAPError 81: Can't contact LDAP server"}, 2}}));
    EXPECT_EQ(report->getErrorFile().getPath(), path("errors.ldif"));
    EXPECT_TRUE(report->needsAttention());
}

TEST_F(LdifImportTest, RecordWithAZeroByteIsRefusedAndTheImportGoesOn)
{
    const std::string zero = std::string("dn: cn=a,o=x\ncn: a\0b\n", 21);
    LDAPLdifFile file(path("import.ldif"));
    EXPECT_EQ(import(zero + "\ndn: cn=c,o=x\ncn: c\n", 0, &file), -1);
    EXPECT_EQ(errors(), "# dn: cn=a,o=x refused: a line holds a zero byte\n" + zero + "\n" +
                            "# dn: cn=c,o=x refused: LDAPError 81: Can't contact LDAP server\ndn: cn=c,o=x\ncn: c\n\n");
    EXPECT_EQ(Model::instance().getProgressCount(), 2);
    EXPECT_EQ(file.getImportReport()->getRefusedCount(), 2);
    EXPECT_FALSE(file.getImportReport()->isStoppedAtUnreadable());
}

TEST_F(LdifImportTest, TheErrorFileIsAlwaysANewFile)
{
    // Taken names, whatever stands there, are passed over.
    writeFile(m_directory / "errors.ldif", "dn: cn=kept,o=x\ncn: kept\n\n");
    std::filesystem::create_directory(m_directory / "errors-2.ldif");
    std::filesystem::create_symlink(m_directory / "decoy", m_directory / "errors-3.ldif");
    LDAPLdifFile file(path("import.ldif"));
    EXPECT_EQ(import("dn: cn=a,o=x\ncn: a\n", 0, &file), -1);
    EXPECT_EQ(file.getImportReport()->getErrorFile().getPath(), path("errors-4.ldif"));
    EXPECT_EQ(readFile(m_directory / "errors-4.ldif"),
              "# dn: cn=a,o=x refused: LDAPError 81: Can't contact LDAP server\ndn: cn=a,o=x\ncn: a\n\n");
    EXPECT_EQ(errors(), "dn: cn=kept,o=x\ncn: kept\n\n");
    EXPECT_FALSE(std::filesystem::exists(m_directory / "decoy"));
    EXPECT_EQ(std::filesystem::status(m_directory / "errors-4.ldif").permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

    // The file being imported is never its own error file.
    LDAPLdifFile again(path("errors-4.ldif"));
    again.setErrorFileName(path("errors-4.ldif"));
    again.setEntryPause(0);
    const std::string before = readFile(m_directory / "errors-4.ldif");
    EXPECT_EQ(again.readEntries(Model::instance()), -1);
    EXPECT_EQ(readFile(m_directory / "errors-4.ldif"), before);
    EXPECT_EQ(again.getImportReport()->getErrorFile().getPath(), path("errors-4-2.ldif"));
}

TEST_F(LdifImportTest, UnreadableRecordStopsTheImport)
{
    // A change record with a line that is no modification.
    const std::string modify = "dn: cn=a,o=x\nchangetype: modify\nreplace: cn\ncn: b\n-\nbogus\n";
    LDAPLdifFile file(path("import.ldif"));
    EXPECT_EQ(import("dn: cn=first,o=x\ncn: first\n\n" + modify + "\ndn: cn=last,o=x\ncn: last\n", 0, &file), -1);
    EXPECT_EQ(errors(), "# dn: cn=first,o=x refused: LDAPError 81: Can't contact LDAP server\n"
                        "dn: cn=first,o=x\ncn: first\n\n"
                        "# dn: cn=a,o=x not read: the import stopped at this record\n" +
                            modify + "\n");
    EXPECT_EQ(Model::instance().getProgressCount(), 1);
    EXPECT_EQ(m_observer->steps, 2);
    EXPECT_TRUE(file.getImportReport()->isStoppedAtUnreadable());
    EXPECT_EQ(file.getImportReport()->getRefusedCount(), 1);
}

TEST_F(LdifImportTest, StopRequestEndsTheImportBeforeTheNextLine)
{
    Model::instance().requestStop();
    LDAPLdifFile file(path("import.ldif"));
    EXPECT_EQ(import("dn: cn=a,o=x\ncn: a\n", 0, &file), 0);
    EXPECT_EQ(Model::instance().getProgressCount(), 0);
    EXPECT_FALSE(std::filesystem::exists(m_directory / "errors.ldif"));
    EXPECT_TRUE(file.getImportReport()->isStopped());
    EXPECT_FALSE(file.getImportReport()->needsAttention());
    // Notified before the first line all the same.
    EXPECT_EQ(m_observer->steps, 1);
}

TEST_F(LdifImportTest, EmptyFileAddsNothing)
{
    EXPECT_EQ(import("# nothing\n\n   \n"), 0);
    EXPECT_EQ(Model::instance().getProgressCount(), 0);
    EXPECT_EQ(m_observer->steps, 1);
}

TEST_F(LdifImportTest, EachEntryPausesTenMilliseconds)
{
    std::string content;
    for (int i = 0; i < 5; ++i)
        content += "dn: cn=e" + std::to_string(i) + ",o=x\ncn: e\n\n";
    auto start = std::chrono::steady_clock::now();
    import(content, LDAPLdifFile::DEFAULT_ENTRY_PAUSE_MILLISECONDS);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
    EXPECT_EQ(Model::instance().getProgressCount(), 5);
}

} // namespace
