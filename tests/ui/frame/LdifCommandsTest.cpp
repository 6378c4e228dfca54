// The main window's LDIF export and import against the test server: the
// question, the file dialogs with their types and proposed name, the files
// written, the entries imported and the tree left alone until refreshed.

#include "frame/CMainFrame.h"
#include "frame/CProgressBar.h"
#include "model/Model.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestDirectoryServer.h"
#include "ui/support/MainFrameFixture.h"
#include "ui/support/ScriptedDialogs.h"
#include "ui/support/UiTestSupport.h"
#include "utilities/Util.h"
#include "views/TreeControlView.h"

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidgetItem>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

using dirtest::deleteTree;
using dirtest::ldapModify;
using dirtest::readBytes;
using dirtest::ScriptedDialogs;
using dirtest::ScriptedMessageBoxes;
using dirtest::sorted;
using dirtest::TestDirectoryServer;
using dirtest::writeBytes;
using ldapmodel::Model;
using util::BoxAnswer;

namespace {

const std::string kScratch = "ou=LdifCommands,dc=example,dc=com";
const std::string kTree = "ou=Tree," + kScratch;
const std::wstring kBase = L"dc=example,dc=com";

std::wstring wide(const std::string& utf8) { return util::fromUtf8(utf8); }
QString qs(const std::string& utf8) { return QString::fromStdString(utf8); }

// The DNs of the subtree below base, through the second connection.
std::vector<std::string> subtreeDns(const std::string& base)
{
    std::string output;
    EXPECT_TRUE(TestDirectoryServer::shared().runLdapsearch(
        {"-D", TestDirectoryServer::adminDn(), "-w", TestDirectoryServer::adminPassword(), "-b", base,
         "-s", "sub", "(objectclass=*)", "1.1"},
        output))
        << output;
    return TestDirectoryServer::ldifDns(output);
}

// Lines of an LDIF file that start a record.
int recordCount(const std::string& ldif)
{
    int count = 0;
    std::istringstream in(ldif);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("dn:", 0) == 0)
            ++count;
    }
    return count;
}

class LdifCommandsTest : public dirtest::MainFrameFixture {
protected:
    static void SetUpTestSuite()
    {
        deleteTree(kScratch);
        ldapModify("dn: " + kScratch
                   + "\nchangetype: add\nobjectClass: organizationalUnit\nou: LdifCommands\n\n"
                     "dn: " + kTree + "\nchangetype: add\nobjectClass: organizationalUnit\nou: Tree\n"
                     "description: the exported subtree\n\n"
                     "dn: cn=a," + kTree + "\nchangetype: add\nobjectClass: device\ncn: a\n\n"
                     "dn: cn=b," + kTree + "\nchangetype: add\nobjectClass: device\ncn: b\n"
                     "description: b\n\n"
                     "dn: ou=Sub," + kTree + "\nchangetype: add\nobjectClass: organizationalUnit\nou: Sub\n\n"
                     "dn: cn=c,ou=Sub," + kTree + "\nchangetype: add\nobjectClass: device\ncn: c\n");
    }
    static void TearDownTestSuite() { tearDownScratch(kScratch); }

    void SetUp() override
    {
        ASSERT_TRUE(m_files.isValid());
        MainFrameFixture::SetUp();
    }

    std::string path(const char* name) const { return m_files.filePath(QString::fromLatin1(name)).toStdString(); }

    int progressWindows() const
    {
        const auto& run = m_dialogs.dialogClasses();
        return static_cast<int>(std::count(run.begin(), run.end(), QStringLiteral("CProgressBar")));
    }

    QTemporaryDir m_files;
    ScriptedMessageBoxes m_boxes;
    ScriptedDialogs m_dialogs;
};

const QStringList kFileTypes{QStringLiteral("Text Files (*.ldif)"), QStringLiteral("All Files (*.*)")};

// ---- export --------------------------------------------------------------------

TEST_F(LdifCommandsTest, NoToTheQuestionExportsExactlyTheActiveEntry)
{
    open(wide(kTree));
    const int progressBefore = progressWindows();
    const std::string file = path("single.ldif");
    m_boxes.queueAnswer(BoxAnswer::No);
    m_dialogs.queueFile(qs(file));
    EXPECT_EQ(m_frame->OnLdifExport(), 0);

    const auto boxes = m_boxes.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, L"Export to ldif file");
    EXPECT_EQ(boxes[0].text, L"Include children records?");
    EXPECT_EQ(boxes[0].buttons, util::BoxButtons::YesNo);
    EXPECT_EQ(boxes[0].icon, util::BoxIcon::Question);

    ASSERT_EQ(m_dialogs.fileCalls().size(), 1u);
    const auto& call = m_dialogs.fileCalls()[0];
    EXPECT_EQ(call.kind, ScriptedDialogs::FileDialogCall::Save);
    EXPECT_EQ(call.request.proposedName,
              qs(TestDirectoryServer::shared().host() + "(" + kTree + ")"));
    EXPECT_EQ(call.request.filters, kFileTypes);
    EXPECT_EQ(call.request.defaultSuffix, QStringLiteral("ldif"));

    const std::string ldif = readBytes(file);
    EXPECT_EQ(recordCount(ldif), 1) << ldif;
    EXPECT_EQ(TestDirectoryServer::ldifDns(ldif), std::vector<std::string>{kTree});
    EXPECT_EQ(TestDirectoryServer::ldifValues(ldif, "description"),
              std::vector<std::string>{"the exported subtree"});
    // No progress window for a single entry.
    EXPECT_EQ(progressWindows(), progressBefore);
}

TEST_F(LdifCommandsTest, YesExportsEveryEntryOfTheSubtreeInTheBackground)
{
    open(wide(kTree));
    const int progressBefore = progressWindows();
    const std::string file = path("subtree.ldif");
    // The save dialog has asked before replacing this file.
    ASSERT_TRUE(writeBytes(file, "dn: cn=stale,dc=example,dc=com\ncn: stale\n\n"));
    m_boxes.queueAnswer(BoxAnswer::Yes);
    m_dialogs.queueFile(qs(file));
    EXPECT_EQ(m_frame->OnLdifExport(), 0);
    EXPECT_EQ(progressWindows(), progressBefore + 1);
    EXPECT_FALSE(m_model->isRunning());

    const std::string ldif = readBytes(file);
    const std::vector<std::string> expected = subtreeDns(kTree);
    ASSERT_EQ(expected.size(), 5u);
    EXPECT_EQ(sorted(TestDirectoryServer::ldifDns(ldif)), sorted(expected));
    EXPECT_EQ(recordCount(ldif), 5);
    EXPECT_EQ(TestDirectoryServer::ldifValues(ldif, "cn"), (std::vector<std::string>{"a", "b", "c"}));
    // Only the question; no box per entry.
    EXPECT_EQ(m_boxes.boxes().size(), 1u);
}

TEST_F(LdifCommandsTest, AStoppedSubtreeExportKeepsOnlyWholeRecordsOfTheSubtree)
{
    open(wide(kTree));
    const std::string file = path("stopped.ldif");
    m_boxes.queueAnswer(BoxAnswer::Yes);
    m_dialogs.queueFile(qs(file));
    m_dialogs.queueDialog([](QDialog& dialog) {
        dynamic_cast<CProgressBar&>(dialog).getStopButton()->click();
    });
    m_frame->OnLdifExport();
    EXPECT_FALSE(m_model->isRunning());
    EXPECT_FALSE(m_model->isStopRequested());
    const std::vector<std::string> subtree = subtreeDns(kTree);
    const std::string ldif = readBytes(file);
    for (const std::string& dn : TestDirectoryServer::ldifDns(ldif))
        EXPECT_NE(std::find(subtree.begin(), subtree.end(), dn), subtree.end()) << dn;
    EXPECT_EQ(recordCount(ldif), static_cast<int>(TestDirectoryServer::ldifDns(ldif).size()));
}

TEST_F(LdifCommandsTest, AnExportCutShortSaysHowFarItGotAndWhy)
{
    open(wide(kTree));
    m_model->setSizeLimit(2);
    const std::string file = path("limited.ldif");
    m_boxes.queueAnswer(BoxAnswer::Yes);
    m_dialogs.queueFile(qs(file));
    EXPECT_EQ(m_frame->OnLdifExport(), -1);
    m_model->setSizeLimit(0);
    EXPECT_EQ(recordCount(readBytes(file)), 2);
    const auto boxes = m_boxes.boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].caption, L"Export to ldif file");
    EXPECT_EQ(boxes[1].text, L"The export to " + wide(file) +
                                 L" stopped early: 2 entries written.\n"
                                 L"The search ended with LDAPError 4: Size limit exceeded");
    EXPECT_EQ(boxes[1].icon, util::BoxIcon::Warning);
}

TEST_F(LdifCommandsTest, ACancelledSaveDialogWritesNothing)
{
    open(wide(kTree));
    const int progressBefore = progressWindows();
    m_boxes.queueAnswer(BoxAnswer::Yes);
    m_dialogs.queueFile(std::nullopt);
    EXPECT_EQ(m_frame->OnLdifExport(), -1);
    EXPECT_EQ(m_dialogs.fileCalls().size(), 1u);
    EXPECT_EQ(m_boxes.boxes().size(), 1u);
    EXPECT_EQ(progressWindows(), progressBefore);
    EXPECT_TRUE(QDir(m_files.path()).isEmpty());
}

TEST_F(LdifCommandsTest, WithoutAnActiveEntryNothingIsAsked)
{
    ASSERT_TRUE(m_model->getActiveEntryDN().empty());
    EXPECT_EQ(m_frame->OnLdifExport(), -1);
    EXPECT_TRUE(m_boxes.boxes().empty());
    EXPECT_TRUE(m_dialogs.fileCalls().empty());
}

TEST(LdifFileName, HostAndDnCutToThePathLengthWithoutPathSeparators)
{
    EXPECT_EQ(CMainFrame::proposedLdifFileName(L"ldap1", L"cn=a,dc=x"), L"ldap1(cn=a,dc=x)");
    EXPECT_EQ(CMainFrame::proposedLdifFileName(L"h", L"cn=a/b,dc=x"), L"h(cn=a_b,dc=x)");
    const std::wstring dn = L"cn=" + std::wstring(300, L'z');
    const std::wstring name = CMainFrame::proposedLdifFileName(L"host", dn);
    EXPECT_EQ(name.size(), 260u);
    EXPECT_EQ(name, (L"host(" + dn).substr(0, 260));
}

// ---- import --------------------------------------------------------------------

TEST_F(LdifCommandsTest, ImportAddsTheEntriesAndLeavesTheTreeUntilTheNodeIsRefreshed)
{
    const std::string imported = "ou=Imported," + kScratch;
    const std::string file = path("import.ldif");
    ASSERT_TRUE(writeBytes(file, "version: 1\n\n"
                                 "dn: " + imported + "\nobjectClass: organizationalUnit\nou: Imported\n\n"
                                 "dn: cn=x," + imported + "\nobjectClass: device\ncn: x\n"
                                 "description: imported from a file\n"));
    open(wide(kScratch));
    const QStringList before = childLabels(kScratch);
    ASSERT_TRUE(before.contains(QStringLiteral("ou=Tree")));
    const int progressBefore = progressWindows();

    m_dialogs.queueFile(qs(file));
    EXPECT_EQ(m_frame->OnLdifImport(), 0);
    ASSERT_EQ(m_dialogs.fileCalls().size(), 1u);
    const auto& call = m_dialogs.fileCalls()[0];
    EXPECT_EQ(call.kind, ScriptedDialogs::FileDialogCall::Open);
    EXPECT_EQ(call.request.filters, kFileTypes);
    EXPECT_EQ(call.request.defaultSuffix, QStringLiteral("ldif"));
    EXPECT_EQ(progressWindows(), progressBefore + 1);
    EXPECT_TRUE(m_boxes.boxes().empty());

    const TestDirectoryServer& server = TestDirectoryServer::shared();
    ASSERT_TRUE(server.entryExists(imported));
    EXPECT_EQ(TestDirectoryServer::ldifValues(server.entryLdif("cn=x," + imported), "description"),
              std::vector<std::string>{"imported from a file"});
    // The tree is as it was.
    EXPECT_EQ(childLabels(kScratch), before);
    EXPECT_EQ(tree()->findNode(wide(imported)), nullptr);

    // Refreshing the node shows the new entry.
    m_frame->getAction(QStringLiteral("OnTreeRefresh"))->trigger();
    EXPECT_TRUE(childLabels(kScratch).contains(QStringLiteral("ou=Imported")));
    deleteTree(imported);
}

TEST_F(LdifCommandsTest, ImportingTheErrorFileGivesOneSummaryThatNamesTheNewErrorFile)
{
    // The error file of an earlier import, in the working directory as the
    // connection chooser leaves it: records whose parent is missing.
    std::string refused;
    for (int n = 0; n < 100; ++n) {
        const std::string dn = "cn=orphan" + std::to_string(n) + ",ou=Missing," + kScratch;
        refused += "# dn: " + dn + " refused: LDAPError 32: No such object\ndn: " + dn +
                   "\nobjectClass: device\ndescription: " + std::string(1000, 'x') + "\n\n";
    }
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(m_files.path()));
    ASSERT_TRUE(writeBytes("LDIFError.txt", refused));
    m_dialogs.queueFile(QStringLiteral("LDIFError.txt"));
    const int result = m_frame->OnLdifImport();
    QDir::setCurrent(previous);

    EXPECT_EQ(result, -1);
    EXPECT_EQ(readBytes(path("LDIFError.txt")), refused);
    EXPECT_EQ(TestDirectoryServer::ldifDns(readBytes(path("LDIFError-2.txt"))),
              TestDirectoryServer::ldifDns(refused));
    const auto boxes = m_boxes.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, L"Import ldif file");
    EXPECT_EQ(boxes[0].text, L"Import of LDIFError.txt\n0 records added, 100 refused.\n"
                             L"    100 x LDAPError 32: No such object\n"
                             L"The records that were not added are in\n" +
                                 wide(path("LDIFError-2.txt")));
    EXPECT_EQ(boxes[0].icon, util::BoxIcon::Warning);
}

TEST_F(LdifCommandsTest, ACancelledOpenDialogImportsNothing)
{
    m_dialogs.queueFile(std::nullopt);
    EXPECT_EQ(m_frame->OnLdifImport(), -1);
    EXPECT_EQ(m_dialogs.fileCalls().size(), 1u);
    EXPECT_EQ(progressWindows(), 0);
    EXPECT_TRUE(m_boxes.boxes().empty());
}

} // namespace
