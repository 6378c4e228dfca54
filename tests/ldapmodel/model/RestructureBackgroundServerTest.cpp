// Moving, deleting and copying subtrees, and LDIF change records, against a
// server of the test's own; every change is read back through a second
// connection (ldapsearch). The subtree delete control, which slapd does not
// offer, is tried on the fake directory.

#include "ldapmodel/support/ModelTestSupport.h"
#include "ldif/LDAPLdifFile.h"
#include "model/Model.h"
#include "model/SubtreeOutcome.h"
#include "session/DistinguishedName.h"
#include "support/FakeDirectory.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestDirectoryServer.h"
#include "support/TestFiles.h"
#include "utilities/Util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

using dirtest::TestDirectoryServer;
using dirtest::readFile;
using dirtest::writeFile;
using ldapmodel::Model;
using ldapmodel::SubtreeOutcome;
using memorylib::gc_ptr;
using modeltest::RecordingObserver;
using modeltest::StoppingObserver;
using modeltest::wide;

namespace {

const std::string kBase = TestDirectoryServer::baseDn();

std::string ou(const std::string& name, const std::string& parent)
{
    return "dn: ou=" + name + "," + parent + "\nchangetype: add\nobjectClass: organizationalUnit\nou: " + name +
           "\n\n";
}

std::string device(const std::string& cn, const std::string& parent, const std::string& description = "")
{
    return "dn: cn=" + cn + "," + parent + "\nchangetype: add\nobjectClass: device\ncn: " + cn + "\n" +
           (description.empty() ? "" : "description: " + description + "\n") + "\n";
}

class RestructureBackgroundServerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_server = std::make_unique<TestDirectoryServer>(TestDirectoryServer::Content::Empty);
        ASSERT_TRUE(s_server->start()) << s_server->lastError();
    }
    static void TearDownTestSuite() { s_server.reset(); }

    void SetUp() override
    {
        ASSERT_NE(s_server, nullptr);
        modeltest::mainObserver();
        model = &Model::instance();
        model->disconnect();
        model->setPreferences(ldapmodel::Preferences());
        modeltest::pointAtServer(*model, *s_server);
        ASSERT_EQ(model->connect(false), 0);
        progress = new RecordingObserver();
        model->setProgressObserver(progress);
        directory = scratch.emplace("dirlook-restructure").path();
        ASSERT_FALSE(directory.empty());
        boxes.clear();
    }
    void TearDown() override
    {
        model->waitBackground();
        model->disconnect();
        model->setPreferences(ldapmodel::Preferences());
        model->setProgressObserver(gc_ptr<ldapmodel::ModelObserver>());
        model->waitBackground();
        scratch.reset();
    }

    static void add(const std::string& ldif)
    {
        std::string output;
        ASSERT_TRUE(s_server->runLdapmodify(ldif, output)) << output;
    }
    // The DNs at and below base, through a second connection, sorted.
    static std::set<std::wstring> held(const std::string& base)
    {
        const std::vector<std::wstring> dns = modeltest::serverDns(*s_server, base);
        return std::set<std::wstring>(dns.begin(), dns.end());
    }
    static bool exists(const std::string& dn) { return s_server->entryExists(dn); }
    static std::vector<std::string> values(const std::string& dn, const std::string& attribute)
    {
        return TestDirectoryServer::ldifValues(s_server->entryLdif(dn, {attribute}), attribute);
    }

    SubtreeOutcome runToEnd(int started)
    {
        EXPECT_EQ(started, 0);
        EXPECT_TRUE(progress->waitFinished());
        model->waitBackground();
        EXPECT_FALSE(model->isRunning());
        return model->takeSubtreeOutcome();
    }

    // ou=Tree: two leaves, ou=Sub with two leaves and ou=Deep with one.
    static void addTree(const std::string& name, const std::string& parent)
    {
        const std::string tree = "ou=" + name + "," + parent;
        add(ou(name, parent) + device("a", tree, "first") + device("b", tree) + ou("Sub", tree) +
            device("c", "ou=Sub," + tree) + device("d", "ou=Sub," + tree) + ou("Deep", "ou=Sub," + tree) +
            device("e", "ou=Deep,ou=Sub," + tree));
    }

    static std::unique_ptr<TestDirectoryServer> s_server;
    dirtest::ScriptedMessageBoxes boxes;
    Model* model = nullptr;
    gc_ptr<RecordingObserver> progress;
    std::optional<dirtest::ScratchWorkingDirectory> scratch;
    std::filesystem::path directory;
};

std::unique_ptr<TestDirectoryServer> RestructureBackgroundServerTest::s_server;

// ---- move --------------------------------------------------------------------------

TEST_F(RestructureBackgroundServerTest, MovingALeafOrAnEntryWithChildrenTakesOneRequestAndTheChildrenFollow)
{
    addTree("From", kBase);
    add(ou("To", kBase));
    const std::wstring from = wide("ou=From," + kBase);
    const std::wstring to = wide("ou=To," + kBase);
    // Cached, and the active entry is the one that moves.
    ASSERT_EQ(model->searchEntries(from, L"objectclass=*", 1, false), 0);
    ASSERT_EQ(model->setActiveEntry(wide("ou=Sub," + util::toUtf8(from))), 0);

    std::wstring newDN;
    EXPECT_EQ(model->moveEntry(wide("cn=a,ou=From," + kBase), to, newDN), 0);
    EXPECT_EQ(newDN, wide("cn=a,ou=To," + kBase));
    EXPECT_TRUE(exists("cn=a,ou=To," + kBase));
    EXPECT_FALSE(exists("cn=a,ou=From," + kBase));
    EXPECT_EQ(values("cn=a,ou=To," + kBase, "description"), std::vector<std::string>{"first"});

    EXPECT_EQ(model->moveEntry(wide("ou=Sub,ou=From," + kBase), to, newDN), 0);
    EXPECT_EQ(held("ou=To," + kBase),
              (std::set<std::wstring>{to, wide("cn=a,ou=To," + kBase), wide("ou=Sub,ou=To," + kBase),
                                      wide("cn=c,ou=Sub,ou=To," + kBase), wide("cn=d,ou=Sub,ou=To," + kBase),
                                      wide("ou=Deep,ou=Sub,ou=To," + kBase),
                                      wide("cn=e,ou=Deep,ou=Sub,ou=To," + kBase)}));
    EXPECT_EQ(held("ou=From," + kBase), (std::set<std::wstring>{from, wide("cn=b,ou=From," + kBase)}));
    // The cache holds nothing under the old names; the moved active entry is dropped.
    EXPECT_EQ(model->findCachedEntry(wide("ou=Sub,ou=From," + kBase)).getObject(), nullptr);
    EXPECT_EQ(model->getActiveEntryDN(), L"");
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(RestructureBackgroundServerTest, ARefusedMoveIsReportedWithTheServersWordAndChangesNothing)
{
    addTree("Stay", kBase);
    const std::wstring leaf = wide("cn=a,ou=Stay," + kBase);
    ASSERT_EQ(model->setActiveEntry(leaf), 0);
    const std::set<std::wstring> before = held(kBase);

    std::wstring newDN;
    EXPECT_EQ(model->moveEntry(leaf, wide("ou=Nowhere," + kBase), newDN), 32);
    // Under itself: the server will not.
    EXPECT_NE(model->moveEntry(wide("ou=Stay," + kBase), wide("ou=Sub,ou=Stay," + kBase), newDN), 0);
    EXPECT_EQ(newDN, L"");
    ASSERT_EQ(boxes.boxes().size(), 2u);
    EXPECT_EQ(boxes.boxes()[0].caption, L"LDAP Message");
    EXPECT_EQ(boxes.boxes()[0].text.rfind(L"Move Entry. LDAPError 32: No such object", 0), 0u);
    EXPECT_EQ(boxes.boxes()[1].text.rfind(L"Move Entry. LDAPError ", 0), 0u);
    EXPECT_EQ(held(kBase), before);
    EXPECT_EQ(model->getActiveEntryDN(), leaf);
    EXPECT_NE(model->findCachedEntry(leaf).getObject(), nullptr);
}

// ---- subtree delete ---------------------------------------------------------------------

TEST_F(RestructureBackgroundServerTest, WithoutTheControlTheSubtreeIsDeletedLeavesFirst)
{
    addTree("Gone", kBase);
    const std::wstring root = wide("ou=Gone," + kBase);
    ASSERT_EQ(model->searchEntries(root, L"objectclass=*", 2, false), 0);
    EXPECT_FALSE(model->supportsSubtreeDelete());
    // Refused as it is: not a leaf, and nothing reported when asked not to.
    EXPECT_EQ(model->removeEntry(root, false), 66);
    EXPECT_TRUE(boxes.boxes().empty());

    int below = 0;
    EXPECT_EQ(model->countSubtree(root, below), 0);
    EXPECT_EQ(below, 7);
    const SubtreeOutcome outcome = runToEnd(model->deleteSubtree(root));
    EXPECT_EQ(outcome.end, SubtreeOutcome::End::Complete);
    EXPECT_EQ(outcome.total, 8);
    ASSERT_EQ(outcome.done.size(), 8u);
    // Every entry went after the entries below it.
    for (std::size_t i = 0; i < outcome.done.size(); ++i) {
        for (std::size_t j = i + 1; j < outcome.done.size(); ++j)
            EXPECT_FALSE(ldapmodel::DistinguishedName::isWithin(outcome.done[j], outcome.done[i]))
                << util::toUtf8(outcome.done[j]) << " after " << util::toUtf8(outcome.done[i]);
    }
    EXPECT_EQ(outcome.done.back(), root);
    EXPECT_FALSE(exists("ou=Gone," + kBase));
    EXPECT_EQ(progress->steps(), 8);
    EXPECT_EQ(model->findCachedEntry(wide("cn=a,ou=Gone," + kBase)).getObject(), nullptr);
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(RestructureBackgroundServerTest, AStopPartWayLeavesExactlyWhatWasNotDeleted)
{
    std::string ldif = ou("Many", kBase);
    for (int n = 0; n < 40; ++n)
        ldif += device("d" + std::to_string(n), "ou=Many," + kBase);
    add(ldif);
    ldapmodel::Preferences slow;
    slow.resultPauseMilliseconds = 20;
    model->setPreferences(slow);
    gc_ptr<StoppingObserver> stopping = new StoppingObserver(5);
    progress = stopping;
    model->setProgressObserver(progress);

    const SubtreeOutcome outcome = runToEnd(model->deleteSubtree(wide("ou=Many," + kBase)));
    EXPECT_EQ(outcome.end, SubtreeOutcome::End::Stopped);
    EXPECT_GE(outcome.done.size(), 5u);
    EXPECT_LT(outcome.done.size(), 41u);
    // What the server holds is what the outcome says it did not delete.
    std::set<std::wstring> expected = held("ou=Many," + kBase);
    for (const std::wstring& dn : outcome.done)
        EXPECT_EQ(expected.count(dn), 0u) << util::toUtf8(dn);
    EXPECT_EQ(expected.size() + outcome.done.size(), 41u);
    EXPECT_TRUE(exists("ou=Many," + kBase));
    // The connection goes on.
    EXPECT_TRUE(model->entryExists(wide("ou=Many," + kBase)));
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(RestructureBackgroundServerTest, WithTheControlListedOneRequestDeletesTheSubtree)
{
    dirtest::FakeDirectory fake;
    fake.setEntry(kBase, {{"objectClass", {"dcObject", "organization"}}, {"dc", {"example"}}});
    const std::string root = "ou=Fake," + kBase;
    fake.setEntry(root, {{"objectClass", {"organizationalUnit"}}, {"ou", {"Fake"}}});
    fake.setEntry("cn=x," + root, {{"objectClass", {"device"}}, {"cn", {"x"}}});
    fake.setEntry("cn=y,cn=x," + root, {{"objectClass", {"device"}}, {"cn", {"y"}}});
    model->disconnect();
    model->setHost(L"127.0.0.1");
    model->setPort(fake.port());
    ASSERT_EQ(model->connect(false), 0);
    boxes.clear();  // the fake has no schema

    EXPECT_FALSE(model->supportsSubtreeDelete());
    fake.setEntry("", {{"objectClass", {"top"}}, {"supportedControl", {"1.2.840.113556.1.4.805"}}});
    EXPECT_TRUE(model->supportsSubtreeDelete());
    ASSERT_NE(model->getEntry(wide("cn=y,cn=x," + root)).getObject(), nullptr);

    EXPECT_EQ(model->removeSubtree(wide(root)), 0);
    ASSERT_EQ(fake.deletes().size(), 1u);
    EXPECT_EQ(fake.deletes()[0], std::make_pair(root, true));
    EXPECT_FALSE(fake.hasEntry("cn=y,cn=x," + root));
    EXPECT_FALSE(fake.hasEntry(root));
    EXPECT_TRUE(fake.hasEntry(kBase));
    EXPECT_EQ(model->findCachedEntry(wide("cn=y,cn=x," + root)).getObject(), nullptr);
    EXPECT_TRUE(boxes.boxes().empty());
}

// ---- copy --------------------------------------------------------------------------

TEST_F(RestructureBackgroundServerTest, ASubtreeIsCopiedWithItsUserAttributesParentsFirst)
{
    addTree("Source", kBase);
    add(ou("Target", kBase));
    const std::string copy = "ou=Source,ou=Target," + kBase;
    const SubtreeOutcome outcome =
        runToEnd(model->copySubtree(wide("ou=Source," + kBase), wide("ou=Target," + kBase)));
    EXPECT_EQ(outcome.end, SubtreeOutcome::End::Complete);
    EXPECT_EQ(outcome.done.size(), 8u);
    EXPECT_EQ(outcome.done.front(), wide(copy));

    // Every entry's user attributes, the DN aside, as the original's.
    for (const std::wstring& original : held("ou=Source," + kBase)) {
        const std::string dn = util::toUtf8(original);
        const std::string target = dn.substr(0, dn.size() - kBase.size()) + "ou=Target," + kBase;
        const std::string source = s_server->entryLdif(dn);
        const std::string copied = s_server->entryLdif(target);
        ASSERT_FALSE(copied.empty()) << target;
        EXPECT_EQ(copied.substr(copied.find('\n')), source.substr(source.find('\n'))) << target;
        // Operational attributes are the server's own for the copy.
        EXPECT_NE(values(target, "entryUUID"), values(dn, "entryUUID"));
    }
    EXPECT_TRUE(boxes.boxes().empty());

    // Once more: the RDN exists there, and the server says so.
    std::wstring newDN;
    EXPECT_EQ(model->copyEntry(wide("ou=Source," + kBase), wide("ou=Target," + kBase), newDN), 68);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text.rfind(L"Paste Entry. LDAPError 68: Already exists", 0), 0u);
    const SubtreeOutcome again = runToEnd(model->copySubtree(wide("ou=Source," + kBase), wide("ou=Target," + kBase)));
    EXPECT_EQ(again.end, SubtreeOutcome::End::Failed);
    EXPECT_EQ(again.code, 68);
    EXPECT_EQ(again.failedDN, wide(copy));
    EXPECT_TRUE(again.done.empty());

    // One entry alone.
    EXPECT_EQ(model->copyEntry(wide("cn=a,ou=Source," + kBase), wide("ou=Sub," + copy), newDN), 0);
    EXPECT_EQ(newDN, wide("cn=a,ou=Sub," + copy));
    EXPECT_EQ(values("cn=a,ou=Sub," + copy, "description"), std::vector<std::string>{"first"});
}

// ---- LDIF change records ---------------------------------------------------------------

class ChangeRecordImportTest : public RestructureBackgroundServerTest {
protected:
    int import(const std::string& content)
    {
        writeFile(directory / "changes.ldif", content);
        EXPECT_EQ(model->importLdif((directory / "changes.ldif").wstring()), 0);
        EXPECT_TRUE(progress->waitFinished());
        model->waitBackground();
        return model->getLdifResult();
    }
};

TEST_F(ChangeRecordImportTest, EachChangeTypeIsAppliedBesideContentRecords)
{
    addTree("Old", kBase);
    const std::string old = "ou=Old," + kBase;
    // Cached before the import, forgotten by it.
    ASSERT_NE(model->getEntry(wide("cn=a," + old)).getObject(), nullptr);
    const std::string changes = "version: 1\n"
                                "dn: ou=New," + kBase + "\nobjectClass: organizationalUnit\nou: New\n\n"
                                "dn: cn=f,ou=New," + kBase + "\nchangetype: add\nobjectClass: device\ncn: f\n\n"
                                "dn: cn=a," + old + "\nchangetype: modify\n"
                                "add: description\ndescription: second\n-\n"
                                "delete: description\ndescription: first\n-\n"
                                "replace: serialNumber\nserialNumber: 1\nserialNumber: 2\n-\n\n"
                                "dn: cn=b," + old + "\nchangetype: modrdn\nnewrdn: cn=b2\ndeleteoldrdn: 1\n\n"
                                "dn: ou=Sub," + old + "\nchangetype: moddn\nnewrdn: ou=Sub\ndeleteoldrdn: 0\n"
                                "newsuperior: ou=New," + kBase + "\n\n"
                                "# a comment between records\n"
                                "dn: cn=f,ou=New," + kBase + "\nchangetype: delete\n";
    EXPECT_EQ(import(changes), 0);
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_TRUE(model->getLdifReport().isEmpty());
    EXPECT_FALSE(std::filesystem::exists(directory / "LDIFError.txt"));

    EXPECT_EQ(values("cn=a," + old, "description"), std::vector<std::string>{"second"});
    EXPECT_EQ(values("cn=a," + old, "serialNumber"), (std::vector<std::string>{"1", "2"}));
    EXPECT_FALSE(exists("cn=b," + old));
    EXPECT_EQ(values("cn=b2," + old, "cn"), std::vector<std::string>{"b2"});
    EXPECT_EQ(held("ou=New," + kBase),
              (std::set<std::wstring>{wide("ou=New," + kBase), wide("ou=Sub,ou=New," + kBase),
                                      wide("cn=c,ou=Sub,ou=New," + kBase), wide("cn=d,ou=Sub,ou=New," + kBase),
                                      wide("ou=Deep,ou=Sub,ou=New," + kBase),
                                      wide("cn=e,ou=Deep,ou=Sub,ou=New," + kBase)}));
    EXPECT_EQ(model->getImportChangeCount(), 4);
    EXPECT_EQ(model->findCachedEntry(wide("cn=a," + old)).getObject(), nullptr);
}

TEST_F(ChangeRecordImportTest, RefusedChangesGoToTheErrorFileAndTheOthersAreApplied)
{
    addTree("Half", kBase);
    const std::string half = "ou=Half," + kBase;
    const std::string refusedDelete = "dn: cn=none," + half + "\nchangetype: delete\n";
    const std::string refusedModify = "dn: cn=a," + half + "\nchangetype: modify\n"
                                      "delete: description\ndescription: not there\n-\n";
    const std::string refusedRename = "dn: cn=a," + half + "\nchangetype: modrdn\nnewrdn: cn=b\ndeleteoldrdn: 1\n";
    const std::string refusedAdd = "dn: cn=b," + half + "\nchangetype: add\nobjectClass: device\ncn: b\n";
    const std::string critical = "dn: cn=a," + half + "\ncontrol: 1.2.3.4 true\nchangetype: delete\n";
    const std::string changes = refusedDelete + "\n" +
                                "dn: cn=a," + half + "\nchangetype: modify\nreplace: description\n"
                                "description: applied\n-\n\n" +
                                refusedModify + "\n" + refusedRename + "\n" +
                                "dn: cn=c,ou=Sub," + half + "\nchangetype: delete\n\n" + refusedAdd + "\n" + critical +
                                "\n" + "dn: cn=new," + half + "\nobjectClass: device\ncn: new\n";
    EXPECT_EQ(import(changes), 0);

    EXPECT_EQ(values("cn=a," + half, "description"), std::vector<std::string>{"applied"});
    EXPECT_FALSE(exists("cn=c,ou=Sub," + half));
    EXPECT_TRUE(exists("cn=new," + half));
    EXPECT_TRUE(exists("cn=a," + half));
    EXPECT_EQ(readFile(directory / "LDIFError.txt"),
              "# dn: cn=none," + half + " refused: LDAPError 32: No such object\n" + refusedDelete + "\n" +
                  "# dn: cn=a," + half + " refused: LDAPError 16: No such attribute\n" + refusedModify + "\n" +
                  "# dn: cn=a," + half + " refused: LDAPError 68: Already exists\n" + refusedRename + "\n" +
                  "# dn: cn=b," + half + " refused: LDAPError 68: Already exists\n" + refusedAdd + "\n" +
                  "# dn: cn=a," + half + " refused: the critical control 1.2.3.4 is not supported\n" + critical +
                  "\n");
    const std::wstring summary = model->getLdifReport().getText();
    EXPECT_EQ(summary.rfind(L"Import of " + (directory / "changes.ldif").wstring() +
                                L"\n1 record added, 2 changes applied, 5 refused.",
                            0),
              0u)
        << util::toUtf8(summary);
    EXPECT_NE(summary.find(L"2 x LDAPError 68: Already exists"), std::wstring::npos);
    EXPECT_TRUE(boxes.boxes().empty());
}

} // namespace
