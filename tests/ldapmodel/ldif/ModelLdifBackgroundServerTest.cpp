// Background subtree export and LDIF import on the model's worker: round trip
// into an empty server, stops, second requests and failures.

#include "ldapmodel/support/ModelTestSupport.h"
#include "ldif/LDAPLdifFile.h"
#include "ldif/LdifRecordReader.h"
#include "model/Model.h"
#include "records/LDAPEntry.h"
#include "support/FakeDirectory.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestDirectoryServer.h"
#include "support/TestFiles.h"
#include "utilities/Util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using dirtest::TestDirectoryServer;
using dirtest::readFile;
using dirtest::writeFile;
using ldapmodel::LDAPEntry;
using ldapmodel::LDAPLdifFile;
using ldapmodel::Model;
using memorylib::gc_ptr;
using modeltest::RecordingObserver;
using modeltest::StoppingObserver;
using modeltest::directoryOf;
using modeltest::serverDns;
using modeltest::wide;
namespace sample = dirtest::sample;

namespace {

// DNs of the records of an LDIF file, read back.
std::vector<std::wstring> fileDns(const std::filesystem::path& path)
{
    std::vector<std::wstring> dns;
    LDAPLdifFile file(path.wstring());
    file.readRecords([&](const std::string& record, const std::string&) {
        LDAPEntry entry;
        EXPECT_EQ(ldapmodel::LdifRecordReader::createFromLdifString(entry, record), 0) << record;
        dns.push_back(entry.getDN());
        return true;
    });
    return dns;
}

std::string deviceDn(const std::string& prefix, int n)
{
    char number[16];
    std::snprintf(number, sizeof number, "%02d", n);
    return "cn=" + prefix + number + "," + TestDirectoryServer::baseDn();
}

// count device records named <prefix>01, <prefix>02, ...
std::string deviceLdif(const std::string& prefix, int count)
{
    std::string ldif;
    for (int n = 1; n <= count; ++n) {
        const std::string dn = deviceDn(prefix, n);
        ldif += "dn: " + dn + "\nobjectClass: device\ncn: " + dn.substr(3, dn.find(',') - 3) + "\n\n";
    }
    return ldif;
}

std::vector<std::wstring> deviceDns(const std::string& prefix, int count)
{
    std::vector<std::wstring> dns;
    for (int n = 1; n <= count; ++n)
        dns.push_back(wide(deviceDn(prefix, n)));
    return dns;
}

// The devices of prefix that the server holds, in number order.
std::vector<std::wstring> importedDevices(const TestDirectoryServer& server, const std::string& prefix)
{
    std::vector<std::wstring> held;
    for (const std::wstring& dn : serverDns(server, TestDirectoryServer::baseDn(), "one")) {
        if (dn.rfind(wide("cn=" + prefix), 0) == 0)
            held.push_back(dn);
    }
    std::sort(held.begin(), held.end());
    return held;
}

class ModelLdifBackgroundServerTest : public ::testing::Test {
protected:
    // One server with the base entry alone for the imports; each test
    // imports entries of its own.
    static void SetUpTestSuite()
    {
        s_target = std::make_unique<TestDirectoryServer>(TestDirectoryServer::Content::Empty);
        ASSERT_TRUE(s_target->start()) << s_target->lastError();
    }
    static void TearDownTestSuite() { s_target.reset(); }

    void SetUp() override
    {
        ASSERT_NE(s_target, nullptr);
        modeltest::mainObserver();
        model = &Model::instance();
        model->disconnect();
        modeltest::pointAtServer(*model, TestDirectoryServer::shared());
        ASSERT_EQ(model->connect(false), 0);
        progress = new RecordingObserver();
        model->setProgressObserver(progress);
        // Refused records go to LDIFError.txt in the working directory.
        directory = scratch.emplace("dirlook-modelldif-bg").path();
        ASSERT_FALSE(directory.empty());
        boxes.clear();
    }
    void TearDown() override
    {
        model->waitBackground();
        model->disconnect();
        model->setProgressObserver(gc_ptr<ldapmodel::ModelObserver>());
        model->setLdifFileName(L"");
        model->waitBackground();  // drops the retired observers
        scratch.reset();
    }

    std::wstring path(const char* name) const { return (directory / name).wstring(); }

    void connectTo(const TestDirectoryServer& server)
    {
        modeltest::pointAtServer(*model, server);
        ASSERT_EQ(model->connect(false), 0);
    }

    // Waits for the worker and checks the end every operation shares.
    void expectFinishedAndIdle()
    {
        EXPECT_TRUE(progress->waitFinished());
        model->waitBackground();
        EXPECT_EQ(progress->finishedCount(), 1);
        for (std::thread::id id : progress->callbackThreads())
            EXPECT_NE(id, std::this_thread::get_id());
        EXPECT_FALSE(model->isRunning());
        EXPECT_FALSE(model->isStopRequested());
        EXPECT_EQ(model->getProgressCount(), 0);
        EXPECT_EQ(model->getCurrentDN(), L"");
        EXPECT_EQ(model->getBackgroundState().getMessageId(), 0);
        EXPECT_EQ(model->getBackgroundState().getBaseDN(), L"");
        EXPECT_EQ(model->getBackgroundState().getFileName(), L"");
    }

    static std::unique_ptr<TestDirectoryServer> s_target;
    dirtest::ScriptedMessageBoxes boxes;
    Model* model = nullptr;
    gc_ptr<RecordingObserver> progress;
    std::optional<dirtest::ScratchWorkingDirectory> scratch;
    std::filesystem::path directory;
};

std::unique_ptr<TestDirectoryServer> ModelLdifBackgroundServerTest::s_target;

// ---- export --------------------------------------------------------------------

TEST_F(ModelLdifBackgroundServerTest, ExportedSubtreeImportsIntoAnEmptyServerEntryByEntry)
{
    model->setLdifFileName(path("sample.ldif"));
    EXPECT_EQ(model->exportSubtree(wide(sample::kBaseDn), L"(objectclass=*)", {L"*"}), 0);
    expectFinishedAndIdle();
    EXPECT_EQ(model->getLdifResult(), 0);
    EXPECT_TRUE(boxes.boxes().empty());
    // Written whole: nothing to tell.
    EXPECT_TRUE(model->getLdifReport().isEmpty());

    // Every entry in the server's order, one step per message.
    const std::vector<std::wstring> expected = serverDns(TestDirectoryServer::shared(), sample::kBaseDn);
    ASSERT_EQ(expected.size(), static_cast<std::size_t>(sample::kEntryCount));
    EXPECT_EQ(fileDns(directory / "sample.ldif"), expected);
    std::vector<int> counts = progress->stepCounts();
    ASSERT_EQ(counts.size(), expected.size() + 1);
    for (std::size_t i = 0; i < counts.size(); ++i)
        EXPECT_EQ(counts[i], static_cast<int>(i + 1));
    // The LDIF file's own width, 78.
    const std::string written = readFile(directory / "sample.ldif");
    std::istringstream lines(written);
    std::string line;
    bool full = false;
    while (std::getline(lines, line)) {
        EXPECT_LE(line.size(), line.rfind("dn:: ", 0) == 0 ? 79u : 78u) << line;
        full = full || line.size() == 78u;
    }
    EXPECT_TRUE(full);
    EXPECT_NE(written.find("\njpegPhoto:: "), std::string::npos);

    // Into a server without entries, on the worker.
    TestDirectoryServer bare(TestDirectoryServer::Content::Bare);
    ASSERT_TRUE(bare.start()) << bare.lastError();
    modeltest::pointAtServer(*model, bare);
    model->connect(false);  // the base entry does not exist yet
    ASSERT_TRUE(model->isConnected());
    boxes.clear();
    progress->clear();
    EXPECT_EQ(model->importLdif(path("sample.ldif")), 0);
    expectFinishedAndIdle();
    EXPECT_EQ(model->getLdifResult(), 0);
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_FALSE(std::filesystem::exists(directory / "LDIFError.txt"));
    EXPECT_EQ(progress->progressAtFinish(), sample::kEntryCount);
    EXPECT_EQ(progress->steps(), sample::kEntryCount + 1);
    EXPECT_TRUE(model->getLdifReport().isEmpty());

    std::map<std::string, std::string> original = directoryOf(TestDirectoryServer::shared());
    std::map<std::string, std::string> imported = directoryOf(bare);
    ASSERT_EQ(imported.size(), original.size());
    for (const auto& record : original) {
        auto found = imported.find(record.first);
        ASSERT_NE(found, imported.end()) << record.first;
        EXPECT_EQ(found->second, record.second);
    }
    EXPECT_EQ(serverDns(bare, sample::kBaseDn), expected);
    EXPECT_TRUE(bare.entryExists(sample::kJoseDn));
    EXPECT_TRUE(bare.entryExists(sample::kLukaszDn));
    EXPECT_EQ(TestDirectoryServer::ldifValues(bare.entryLdif(sample::kLukaszDn), "cn"),
              std::vector<std::string>{sample::kLukaszCn});
    EXPECT_EQ(TestDirectoryServer::ldifValues(bare.entryLdif(sample::kPhotoDn), "jpegPhoto"),
              std::vector<std::string>{TestDirectoryServer::readDataFile(sample::kPhotoFile)});
    EXPECT_EQ(TestDirectoryServer::ldifValues(bare.entryLdif(sample::kCertDn), "userCertificate;binary"),
              std::vector<std::string>{TestDirectoryServer::readDataFile(sample::kCertFile)});
    model->disconnect();
}

TEST_F(ModelLdifBackgroundServerTest, ExportAppendsWithTheFilterAndAttributesGiven)
{
    writeFile(directory / "devices.ldif", "dn: cn=kept,dc=example,dc=com\ncn: kept\n\n");
    model->setLdifFileName(path("devices.ldif"));
    EXPECT_EQ(model->exportSubtree(wide(sample::kDeptDn), L"(objectclass=device)", {L"cn"}), 0);
    expectFinishedAndIdle();
    EXPECT_EQ(model->getLdifResult(), 0);

    std::vector<std::wstring> dns = fileDns(directory / "devices.ldif");
    ASSERT_EQ(dns.size(), 5u);
    EXPECT_EQ(dns[0], L"cn=kept,dc=example,dc=com");
    const std::string written = readFile(directory / "devices.ldif");
    EXPECT_NE(written.find("\ndn: cn=printer,ou=Dept,dc=example,dc=com\ncn: printer\n\n"), std::string::npos);
    EXPECT_EQ(written.find("objectClass"), std::string::npos);
    EXPECT_EQ(written.find("description"), std::string::npos);
}

TEST_F(ModelLdifBackgroundServerTest, ExportSizeLimitKeepsWhatArrived)
{
    model->setSizeLimit(10);
    model->setLdifFileName(path("limited.ldif"));
    EXPECT_EQ(model->exportSubtree(wide(sample::kBaseDn), L"(objectclass=*)", {L"*"}), 0);
    expectFinishedAndIdle();
    // Not reported as it happens; the result keeps the code, and the end
    // tells how far the export got and why it stopped.
    EXPECT_EQ(model->getLdifResult(), 4);
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_EQ(fileDns(directory / "limited.ldif").size(), 10u);
    const ldapmodel::LdifReport report = model->getLdifReport();
    EXPECT_EQ(report.getCaption(), L"Export to ldif file");
    EXPECT_EQ(report.getText(), L"The export to " + path("limited.ldif") +
                                    L" stopped early: 10 entries written.\n"
                                    L"The search ended with LDAPError 4: Size limit exceeded");
}

TEST_F(ModelLdifBackgroundServerTest, StopDuringTheExportKeepsTheEntriesWritten)
{
    const std::vector<std::wstring> all = serverDns(TestDirectoryServer::shared(), sample::kBaseDn);

    // Stop at the fifth message: five entries written, nothing more.
    progress = new StoppingObserver(5);
    model->setProgressObserver(progress);
    model->setLdifFileName(path("stopped.ldif"));
    EXPECT_EQ(model->exportSubtree(wide(sample::kBaseDn), L"(objectclass=*)", {L"*"}), 0);
    expectFinishedAndIdle();
    EXPECT_EQ(fileDns(directory / "stopped.ldif"), std::vector<std::wstring>(all.begin(), all.begin() + 5));
    EXPECT_EQ(model->getLdifReport().getText(), L"The export to " + path("stopped.ldif") +
                                                    L" stopped early: 5 entries written.\n"
                                                    L"It was stopped before the search ended.");

    // From this thread while the worker runs.
    progress = new RecordingObserver();
    model->setProgressObserver(progress);
    model->setLdifFileName(path("user.ldif"));
    EXPECT_EQ(model->exportSubtree(wide(sample::kBaseDn), L"(objectclass=*)", {L"*"}), 0);
    ASSERT_TRUE(progress->waitSteps(5));
    model->requestStop();
    expectFinishedAndIdle();
    std::vector<std::wstring> written = fileDns(directory / "user.ldif");
    EXPECT_GE(written.size(), 5u);
    EXPECT_LT(written.size(), all.size());
    EXPECT_EQ(written, std::vector<std::wstring>(all.begin(), all.begin() + written.size()));
    EXPECT_EQ(progress->progressAtFinish(), static_cast<int>(written.size()));

    // The abandoned search leaves the connection usable.
    EXPECT_TRUE(model->entryExists(wide(sample::kPeopleDn)));
    EXPECT_TRUE(boxes.boxes().empty());
}

// ---- servers that answer differently ----------------------------------------------

class FakeServerExportTest : public ModelLdifBackgroundServerTest {
protected:
    // The fake's entries: the base and three hosts below it.
    void SetUp() override
    {
        ModelLdifBackgroundServerTest::SetUp();
        const std::string base = TestDirectoryServer::baseDn();
        fake.setEntry(base, {{"objectClass", {"dcObject", "organization"}}, {"dc", {"example"}}, {"o", {"Fake"}}});
        for (const char* host : {"alpha", "beta", "gamma"})
            fake.setEntry(std::string("cn=") + host + "," + base, {{"objectClass", {"device"}}, {"cn", {host}}});
        model->disconnect();
        model->setHost(L"127.0.0.1");
        model->setPort(fake.port());
        ASSERT_EQ(model->connect(false), 0);
        boxes.clear();  // the fake has no schema to tell of
    }

    void exportAll(const char* name)
    {
        model->setLdifFileName(path(name));
        EXPECT_EQ(model->exportSubtree(wide(TestDirectoryServer::baseDn()), L"(objectclass=*)", {L"*"}), 0);
        expectFinishedAndIdle();
    }

    dirtest::FakeDirectory fake;
};

TEST_F(FakeServerExportTest, AServerThatDiesOrRunsOutOfTimeCutsTheExportShortAndSaysSo)
{
    // The connection closes after two entries.
    fake.setDropAfterEntries(2);
    exportAll("dropped.ldif");
    EXPECT_EQ(fileDns(directory / "dropped.ldif").size(), 2u);
    std::wstring text = model->getLdifReport().getText();
    EXPECT_EQ(text.rfind(L"The export to " + path("dropped.ldif") +
                             L" stopped early: 2 entries written.\nThe search ended with LDAPError ",
                         0),
              0u)
        << util::toUtf8(text);
    EXPECT_TRUE(boxes.boxes().empty());

    // A time limit after every entry was sent.
    model->disconnect();
    model->setHost(L"127.0.0.1");
    model->setPort(fake.port());
    ASSERT_EQ(model->connect(false), 0);
    fake.setDropAfterEntries(-1);
    fake.setSearchResultCode(3);
    progress->clear();
    exportAll("timed.ldif");
    EXPECT_EQ(fileDns(directory / "timed.ldif").size(), 4u);
    EXPECT_EQ(model->getLdifReport().getText(), L"The export to " + path("timed.ldif") +
                                                    L" stopped early: 4 entries written.\n"
                                                    L"The search ended with LDAPError 3: Time limit exceeded");
}

TEST_F(FakeServerExportTest, AHostileAttributeNamePlantsNothingAndIsTold)
{
    const std::string base = TestDirectoryServer::baseDn();
    const std::string hostile = "description: x\n\ndn: cn=injected," + base + "\nobjectClass: device\ncn";
    fake.setEntry("cn=beta," + base, {{"objectClass", {"device"}}, {hostile, {"injected"}}, {"cn", {"beta"}}});
    exportAll("hostile.ldif");

    const std::vector<std::wstring> written = fileDns(directory / "hostile.ldif");
    ASSERT_EQ(written.size(), 4u);
    for (const std::wstring& dn : written)
        EXPECT_EQ(dn.find(L"injected"), std::wstring::npos) << util::toUtf8(dn);
    EXPECT_EQ(readFile(directory / "hostile.ldif").find("injected"), std::string::npos);
    EXPECT_EQ(model->getLdifReport().getText(),
              L"Attributes left out of the records, their names are not valid attribute descriptions:\n"
              L"    description: x\\x0A\\x0Adn: cn=injected,dc=example,dc=com\\x0Aobjec...");

    // Imported into a real server, the file adds what the fake holds and nothing more.
    connectTo(*s_target);
    progress->clear();
    EXPECT_EQ(model->importLdif(path("hostile.ldif")), 0);
    expectFinishedAndIdle();
    EXPECT_TRUE(s_target->entryExists("cn=beta," + base));
    EXPECT_FALSE(s_target->entryExists("cn=injected," + base));
    std::string output;
    for (const char* host : {"alpha", "beta", "gamma"})
        s_target->runLdapmodify(std::string("dn: cn=") + host + "," + base + "\nchangetype: delete\n", output);
}

TEST_F(FakeServerExportTest, TheActiveEntryAloneLeavesAHostileNameOutToo)
{
    const std::string dn = "cn=beta," + std::string(TestDirectoryServer::baseDn());
    fake.setEntry(dn, {{"objectClass", {"device"}}, {"cn\n\ndn: cn=injected", {"x"}}, {"cn", {"beta"}}});
    ASSERT_EQ(model->setActiveEntry(wide(dn)), 0);
    ASSERT_EQ(model->getActiveEntryDN(), wide(dn));
    EXPECT_EQ(model->exportLdif(path("single.ldif"), false), 0);
    EXPECT_EQ(readFile(directory / "single.ldif"), "dn: " + dn + "\nobjectClass: device\ncn: beta\n\n");
    EXPECT_EQ(model->getLdifReport().getText(),
              L"Attributes left out of the records, their names are not valid attribute descriptions:\n"
              L"    cn\\x0A\\x0Adn: cn=injected");
}

TEST_F(ModelLdifBackgroundServerTest, ExportFailuresStillFinish)
{
    // No file name: nothing is searched or written.
    EXPECT_EQ(model->exportSubtree(wide(sample::kDeptDn), L"(objectclass=*)", {L"*"}), -1);
    expectFinishedAndIdle();
    EXPECT_EQ(model->getLdifResult(), -1);
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_TRUE(std::filesystem::is_empty(directory));

    // A search that does not start is reported.
    progress->clear();
    model->setLdifFileName(path("bad.ldif"));
    EXPECT_EQ(model->exportSubtree(wide(sample::kDeptDn), L"(((", {L"*"}), 87);
    expectFinishedAndIdle();
    EXPECT_EQ(model->getLdifResult(), 87);
    std::vector<util::MessageBoxRequest> shown = boxes.boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text.rfind(L"Bad search filter. LDAPError 87: Bad search filter", 0), 0u);
    EXPECT_TRUE(std::filesystem::is_empty(directory));

    // A file that can't be written: reported once, the search abandoned.
    progress->clear();
    boxes.clear();
    const std::wstring unwritable = path("missing/out.ldif");
    model->setLdifFileName(unwritable);
    EXPECT_EQ(model->exportSubtree(wide(sample::kBaseDn), L"(objectclass=*)", {L"*"}), 0);
    expectFinishedAndIdle();
    EXPECT_EQ(model->getLdifResult(), -1);
    EXPECT_EQ(progress->progressAtFinish(), 1);
    shown = boxes.boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, L"Export to ldif file");
    EXPECT_EQ(shown[0].text, L"Can't write the file\n" + unwritable);
    EXPECT_TRUE(model->entryExists(wide(sample::kPeopleDn)));

    // Without a connection.
    model->disconnect();
    progress->clear();
    boxes.clear();
    model->setLdifFileName(path("offline.ldif"));
    EXPECT_EQ(model->exportSubtree(wide(sample::kDeptDn), L"(objectclass=*)", {L"*"}), -1);
    expectFinishedAndIdle();
    EXPECT_EQ(progress->steps(), 0);
    EXPECT_TRUE(std::filesystem::is_empty(directory));
}

TEST_F(ModelLdifBackgroundServerTest, SecondRequestDuringAnExportOnlyStopsIt)
{
    const std::vector<std::wstring> all = serverDns(TestDirectoryServer::shared(), sample::kBaseDn);
    writeFile(directory / "other.ldif", deviceLdif("exportsecond", 3));
    model->setLdifFileName(path("first.ldif"));
    EXPECT_EQ(model->exportSubtree(wide(sample::kBaseDn), L"(objectclass=*)", {L"*"}), 0);
    ASSERT_TRUE(progress->waitSteps(3));
    EXPECT_TRUE(model->isRunning());
    // Neither an import nor another export starts.
    EXPECT_EQ(model->importLdif(path("other.ldif")), 0);
    model->setLdifFileName(path("second.ldif"));
    EXPECT_EQ(model->exportSubtree(wide(sample::kDeptDn), L"(objectclass=*)", {L"*"}), 0);
    expectFinishedAndIdle();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(progress->finishedCount(), 1);

    std::vector<std::wstring> written = fileDns(directory / "first.ldif");
    EXPECT_LT(written.size(), all.size());
    EXPECT_EQ(written, std::vector<std::wstring>(all.begin(), all.begin() + written.size()));
    EXPECT_FALSE(std::filesystem::exists(directory / "second.ldif"));
    EXPECT_FALSE(TestDirectoryServer::shared().entryExists(deviceDn("exportsecond", 1)));
    EXPECT_TRUE(boxes.boxes().empty());
}

// ---- import --------------------------------------------------------------------

TEST_F(ModelLdifBackgroundServerTest, StopFromTheProgressWindowEndsTheImportBeforeTheNextRecord)
{
    writeFile(directory / "devices.ldif", deviceLdif("stopstep", 10));
    connectTo(*s_target);
    // The stop arrives while the third entry is being counted.
    progress = new StoppingObserver(3);
    model->setProgressObserver(progress);
    EXPECT_EQ(model->importLdif(path("devices.ldif")), 0);
    expectFinishedAndIdle();
    EXPECT_EQ(model->getLdifResult(), 0);
    EXPECT_EQ(importedDevices(*s_target, "stopstep"), deviceDns("stopstep", 3));
    EXPECT_EQ(progress->stepCounts(), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(progress->progressAtFinish(), 3);
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(ModelLdifBackgroundServerTest, StopFromTheUserInterfaceThreadEndsTheImport)
{
    const int count = 40;
    writeFile(directory / "devices.ldif", deviceLdif("stopui", count));
    connectTo(*s_target);
    EXPECT_EQ(model->importLdif(path("devices.ldif")), 0);
    ASSERT_TRUE(progress->waitSteps(6));
    model->requestStop();
    expectFinishedAndIdle();

    // A leading part of the file, as many entries as were counted.
    const int imported = progress->progressAtFinish();
    EXPECT_GE(imported, 5);
    EXPECT_LT(imported, count);
    EXPECT_EQ(importedDevices(*s_target, "stopui"), deviceDns("stopui", imported));

    // stopBackground does the same.
    progress->clear();
    writeFile(directory / "more.ldif", deviceLdif("stopagain", count));
    EXPECT_EQ(model->importLdif(path("more.ldif")), 0);
    ASSERT_TRUE(progress->waitSteps(3));
    EXPECT_EQ(model->stopBackground(), 0);
    EXPECT_EQ(progress->finishedCount(), 1);
    const std::vector<std::wstring> again = importedDevices(*s_target, "stopagain");
    EXPECT_LT(again.size(), static_cast<std::size_t>(count));
    EXPECT_EQ(again, deviceDns("stopagain", static_cast<int>(again.size())));
    EXPECT_FALSE(model->isRunning());
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(ModelLdifBackgroundServerTest, SecondRequestDuringAnImportOnlyStopsIt)
{
    const int count = 40;
    writeFile(directory / "first.ldif", deviceLdif("importfirst", count));
    writeFile(directory / "second.ldif", deviceLdif("importsecond", 3));
    connectTo(*s_target);
    EXPECT_EQ(model->importLdif(path("first.ldif")), 0);
    ASSERT_TRUE(progress->waitSteps(3));
    EXPECT_TRUE(model->isRunning());
    EXPECT_EQ(model->importLdif(path("second.ldif")), 0);
    expectFinishedAndIdle();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(progress->finishedCount(), 1);

    const std::vector<std::wstring> first = importedDevices(*s_target, "importfirst");
    EXPECT_LT(first.size(), static_cast<std::size_t>(count));
    EXPECT_EQ(first, deviceDns("importfirst", static_cast<int>(first.size())));
    EXPECT_TRUE(importedDevices(*s_target, "importsecond").empty());

    // An export or a child read asked for during an import stops it too.
    for (int round = 0; round < 2; ++round) {
        progress->clear();
        const std::string prefix = round == 0 ? "importthird" : "importfourth";
        writeFile(directory / "third.ldif", deviceLdif(prefix, count));
        EXPECT_EQ(model->importLdif(path("third.ldif")), 0);
        ASSERT_TRUE(progress->waitSteps(3));
        if (round == 0) {
            model->setLdifFileName(path("export.ldif"));
            EXPECT_EQ(model->exportSubtree(wide(sample::kBaseDn), L"(objectclass=*)", {L"*"}), 0);
        } else {
            EXPECT_EQ(model->readChildren(wide(sample::kBaseDn)), 0);
        }
        expectFinishedAndIdle();
        EXPECT_LT(importedDevices(*s_target, prefix).size(), static_cast<std::size_t>(count));
    }
    EXPECT_FALSE(std::filesystem::exists(directory / "export.ldif"));
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(ModelLdifBackgroundServerTest, RefusedRecordIsSummarisedAndTheImportGoesOn)
{
    writeFile(directory / "mixed.ldif", "dn: dc=example,dc=com\nobjectClass: dcObject\nobjectClass: organization\n"
                                        "dc: example\no: Again\n\n" +
                                            deviceLdif("refusedthen", 2));
    connectTo(*s_target);
    EXPECT_EQ(model->importLdif(path("mixed.ldif")), 0);
    expectFinishedAndIdle();
    EXPECT_EQ(model->getLdifResult(), 0);
    EXPECT_EQ(importedDevices(*s_target, "refusedthen"), deviceDns("refusedthen", 2));
    EXPECT_TRUE(boxes.boxes().empty());
    // Kept in the working directory's error file, which the summary names.
    const std::string errors = readFile(directory / "LDIFError.txt");
    EXPECT_EQ(errors.rfind("# dn: dc=example,dc=com refused: LDAPError 68: Already exists\n", 0), 0u) << errors;
    EXPECT_EQ(progress->progressAtFinish(), 3);
    const ldapmodel::LdifReport report = model->getLdifReport();
    EXPECT_EQ(report.getCaption(), L"Import ldif file");
    EXPECT_EQ(report.getText(), L"Import of " + path("mixed.ldif") +
                                    L"\n2 records added, 1 refused.\n    1 x LDAPError 68: Already exists\n"
                                    L"The record that was not added is in\n" +
                                    path("LDIFError.txt"));
}

TEST_F(ModelLdifBackgroundServerTest, RefusalsOfAServerThatDiesShowNoBoxesButOneSummary)
{
    const int count = 40;
    TestDirectoryServer dying(TestDirectoryServer::Content::Empty);
    ASSERT_TRUE(dying.start()) << dying.lastError();
    writeFile(directory / "devices.ldif", deviceLdif("dying", count));
    connectTo(dying);
    boxes.clear();
    EXPECT_EQ(model->importLdif(path("devices.ldif")), 0);
    ASSERT_TRUE(progress->waitSteps(6));
    dying.stop();
    expectFinishedAndIdle();

    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_EQ(progress->progressAtFinish(), count);
    ASSERT_TRUE(dying.start()) << dying.lastError();
    // The add in flight when the server died may have been stored without
    // its answer arriving: it counts as refused and stays in the error file.
    const std::wstring text = model->getLdifReport().getText();
    const std::wstring head = L"Import of " + path("devices.ldif") + L"\n";
    ASSERT_EQ(text.rfind(head, 0), 0u) << util::toUtf8(text);
    const int added = std::stoi(text.substr(head.size()));
    const int stored = static_cast<int>(importedDevices(dying, "dying").size());
    EXPECT_GE(added, 5);
    EXPECT_LT(added, count);
    EXPECT_TRUE(stored == added || stored == added + 1) << stored << " stored, " << added << " reported";
    // Every record not known to be added is in the error file, once.
    EXPECT_EQ(fileDns(directory / "LDIFError.txt").size(), static_cast<std::size_t>(count - added));
    EXPECT_EQ(text.rfind(head + std::to_wstring(added) + L" records added, " + std::to_wstring(count - added) +
                             L" refused.\n    ",
                         0),
              0u)
        << util::toUtf8(text);
    EXPECT_NE(text.find(L" x LDAPError "), std::wstring::npos) << util::toUtf8(text);
    EXPECT_NE(text.find(L"The records that were not added are in\n" + path("LDIFError.txt")), std::wstring::npos);
}

TEST_F(ModelLdifBackgroundServerTest, ImportingTheErrorFileItselfEndsAndLeavesItUnchanged)
{
    // About 100 KiB of records the server refuses (their parent is missing),
    // as an earlier import left them.
    std::string refused;
    for (int n = 0; n < 100; ++n) {
        const std::string dn = "cn=orphan" + std::to_string(n) + ",ou=Nowhere,dc=example,dc=com";
        refused += "# dn: " + dn + " refused: LDAPError 32: No such object\n"
                   "dn: " + dn + "\nobjectClass: device\ncn: orphan" + std::to_string(n) +
                   "\ndescription: " + std::string(900, 'd') + "\n\n";
    }
    ASSERT_GT(refused.size(), 100u * 1024u);
    writeFile(directory / "LDIFError.txt", refused);
    connectTo(*s_target);
    // Chosen as the user would, beside the working directory's other files.
    EXPECT_EQ(model->importLdif(L"LDIFError.txt"), 0);
    expectFinishedAndIdle();

    EXPECT_EQ(readFile(directory / "LDIFError.txt"), refused);
    EXPECT_EQ(fileDns(directory / "LDIFError-2.txt"), fileDns(directory / "LDIFError.txt"));
    EXPECT_EQ(progress->progressAtFinish(), 100);
    const std::wstring text = model->getLdifReport().getText();
    EXPECT_NE(text.find(L"0 records added, 100 refused.\n    100 x LDAPError 32: No such object\n"),
              std::wstring::npos)
        << util::toUtf8(text);
    EXPECT_NE(text.find(L"are in\n" + path("LDIFError-2.txt")), std::wstring::npos) << util::toUtf8(text);
}

TEST_F(ModelLdifBackgroundServerTest, AnErrorFileThatCantBeMadeIsReportedWithTheRecordsLost)
{
    writeFile(directory / "devices.ldif", "dn: dc=example,dc=com\nobjectClass: dcObject\nobjectClass: organization\n"
                                          "dc: example\no: Again\n\n" + deviceLdif("lostafter", 1));
    // The working directory is gone: no error file can be made in it.
    std::filesystem::create_directory(directory / "gone");
    std::filesystem::current_path(directory / "gone");
    std::filesystem::remove(directory / "gone");
    connectTo(*s_target);
    EXPECT_EQ(model->importLdif(path("devices.ldif")), 0);
    expectFinishedAndIdle();
    std::filesystem::current_path(directory);

    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_EQ(importedDevices(*s_target, "lostafter"), deviceDns("lostafter", 1));
    const std::wstring text = model->getLdifReport().getText();
    EXPECT_NE(text.find(L"1 record added, 1 refused.\n    1 x LDAPError 68: Already exists\n"
                        L"1 record could not be kept in the error file and is lost:\nCan't create "),
              std::wstring::npos)
        << util::toUtf8(text);
}

TEST_F(ModelLdifBackgroundServerTest, ARecordHoldingAZeroByteIsRefusedNotCutShort)
{
    const std::string base = TestDirectoryServer::baseDn();
    const std::string valueCut = "dn: cn=zerovalue," + base + "\nobjectClass: device\ncn: zerovalue\n" +
                                 std::string("description: kept\0lost\n", 23);
    const std::string dnCut = std::string("dn: cn=zerodn,") + base + std::string("\0,ou=elsewhere\n", 15) +
                              "objectClass: device\ncn: zerodn\n";
    writeFile(directory / "zero.ldif", valueCut + "\n" + dnCut + "\n" + deviceLdif("zeroafter", 1));
    connectTo(*s_target);
    EXPECT_EQ(model->importLdif(path("zero.ldif")), 0);
    expectFinishedAndIdle();

    EXPECT_FALSE(s_target->entryExists("cn=zerovalue," + base));
    EXPECT_FALSE(s_target->entryExists("cn=zerodn," + base));
    EXPECT_EQ(importedDevices(*s_target, "zeroafter"), deviceDns("zeroafter", 1));
    EXPECT_EQ(readFile(directory / "LDIFError.txt"),
              "# dn: cn=zerovalue," + base + " refused: a line holds a zero byte\n" + valueCut + "\n" +
                  "# record refused: a line holds a zero byte\n" + dnCut + "\n");
    EXPECT_NE(model->getLdifReport().getText().find(L"1 record added, 2 refused.\n    2 x a line holds a zero byte"),
              std::wstring::npos);
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(ModelLdifBackgroundServerTest, ImportFailuresStillFinish)
{
    connectTo(*s_target);

    // No file name.
    EXPECT_EQ(model->importLdif(L""), -1);
    expectFinishedAndIdle();
    EXPECT_EQ(model->getLdifResult(), -1);
    EXPECT_EQ(progress->steps(), 0);
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_TRUE(std::filesystem::is_empty(directory));

    // A file that is not there, and a directory.
    for (const char* name : {"missing.ldif", "folder"}) {
        if (std::string(name) == "folder")
            std::filesystem::create_directory(directory / name);
        progress->clear();
        boxes.clear();
        EXPECT_EQ(model->importLdif(path(name)), 0);
        expectFinishedAndIdle();
        EXPECT_EQ(model->getLdifResult(), -1);
        std::vector<util::MessageBoxRequest> shown = boxes.boxes();
        ASSERT_EQ(shown.size(), 1u) << name;
        EXPECT_EQ(shown[0].caption, L"Import ldif file");
        EXPECT_EQ(shown[0].text, L"Can't open the file\n" + path(name));
        EXPECT_EQ(progress->steps(), 0);
    }

    // A record that can't be read ends the import after the ones before it.
    progress->clear();
    boxes.clear();
    writeFile(directory / "broken.ldif", deviceLdif("brokenbefore", 2) + "dn: cn=x,dc=example,dc=com\nno colon here\n\n" +
                                             deviceLdif("brokenafter", 2));
    EXPECT_EQ(model->importLdif(path("broken.ldif")), 0);
    expectFinishedAndIdle();
    EXPECT_EQ(model->getLdifResult(), -1);
    EXPECT_EQ(importedDevices(*s_target, "brokenbefore"), deviceDns("brokenbefore", 2));
    EXPECT_TRUE(importedDevices(*s_target, "brokenafter").empty());

    // No connection to be had.
    model->disconnect();
    model->setPort(1);
    progress->clear();
    boxes.clear();
    writeFile(directory / "offline.ldif", deviceLdif("offline", 1));
    EXPECT_EQ(model->importLdif(path("offline.ldif")), -1);
    expectFinishedAndIdle();
    EXPECT_EQ(model->getLdifResult(), -1);
    EXPECT_FALSE(boxes.boxes().empty());  // the failed connect
    EXPECT_TRUE(importedDevices(*s_target, "offline").empty());
}

} // namespace
