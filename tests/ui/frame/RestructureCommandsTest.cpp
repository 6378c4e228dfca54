// Restructuring the tree from the main window against the test server:
// drag and drop, Entry > Move..., the subtree delete after a refusal (and
// its Stop), copy and paste, the clipboard commands and the LDIF-for-other-
// tools preference. The directory is read back through a second connection.

#include "dialogs/CDialogMoveEntry.h"
#include "dialogs/CDialogPreferences.h"
#include "frame/CMainFrame.h"
#include "frame/CProgressBar.h"
#include "ldif/LdifRecordWriter.h"
#include "model/Model.h"
#include "services/PreferenceStore.h"
#include "services/Settings.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestDirectoryServer.h"
#include "ui/support/MainFrameFixture.h"
#include "ui/support/ScriptedDialogs.h"
#include "ui/support/UiTestSupport.h"
#include "utilities/Util.h"
#include "views/CListEntryAttributes.h"
#include "views/TreeControlView.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <QTreeWidgetItem>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <vector>

using dirtest::ScriptedDialogs;
using dirtest::ScriptedMessageBoxes;
using dirtest::TestDirectoryServer;
using util::BoxAnswer;

namespace {

const std::string kScratch = "ou=Restructure,dc=example,dc=com";

std::wstring wide(const std::string& utf8) { return util::fromUtf8(utf8); }

std::string ou(const std::string& name, const std::string& parent)
{
    return "dn: ou=" + name + "," + parent + "\nchangetype: add\nobjectClass: organizationalUnit\nou: " + name +
           "\n\n";
}

std::string device(const std::string& cn, const std::string& parent)
{
    return "dn: cn=" + cn + "," + parent + "\nchangetype: add\nobjectClass: device\ncn: " + cn + "\n\n";
}

// The DNs below dn on the server, one level.
std::set<std::string> serverChildren(const std::string& dn)
{
    std::string output;
    EXPECT_TRUE(TestDirectoryServer::shared().runLdapsearch(
        {"-D", TestDirectoryServer::adminDn(), "-w", TestDirectoryServer::adminPassword(), "-b", dn, "-s", "one",
         "(objectclass=*)", "1.1"},
        output))
        << output;
    const std::vector<std::string> dns = TestDirectoryServer::ldifDns(output);
    return std::set<std::string>(dns.begin(), dns.end());
}

class RestructureCommandsTest : public dirtest::MainFrameFixture {
protected:
    void SetUp() override
    {
        dirtest::deleteTree(kScratch);
        ASSERT_TRUE(dirtest::ldapModify(ou("Restructure", "dc=example,dc=com")));
        dirtest::MainFrameFixture::SetUp();
    }
    void TearDown() override
    {
        dirtest::MainFrameFixture::TearDown();
        m_model->setPreferences(ldapmodel::Preferences());
        tearDownScratch(kScratch);
    }

    // The labels of the node's children, the hint aside, as a set.
    std::set<std::string> nodeChildren(const std::string& dn) const
    {
        std::set<std::string> labels;
        for (const QString& label : childLabels(dn)) {
            if (!label.startsWith(QStringLiteral("...")))
                labels.insert(label.toStdString());
        }
        return labels;
    }

    // Sends a drag of the node of dn over the node of targetDN and drops it
    // there; true when the view took the drop.
    bool dragAndDrop(const std::string& dn, const std::string& targetDN, bool drop = true)
    {
        QTreeWidgetItem* node = tree()->findNode(wide(dn));
        QTreeWidgetItem* target = tree()->findNode(wide(targetDN));
        EXPECT_NE(node, nullptr);
        EXPECT_NE(target, nullptr);
        if (node == nullptr || target == nullptr)
            return false;
        std::unique_ptr<QMimeData> data(tree()->mimeData({node}));
        EXPECT_EQ(data->text(), QString::fromStdString(dn));
        QWidget* viewport = tree()->viewport();
        const QPoint from = tree()->visualItemRect(node).center();
        const QPoint to = tree()->visualItemRect(target).center();
        QDragEnterEvent enter(from, Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDragMoveEvent move(to, Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &move);
        if (!drop || !move.isAccepted())
            return move.isAccepted();
        QDropEvent dropped(QPointF(to), Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton,
                           Qt::NoModifier);
        QApplication::sendEvent(viewport, &dropped);
        // The view removes nothing itself: the drag ends as a copy.
        EXPECT_EQ(dropped.dropAction(), Qt::CopyAction);
        // The question comes once the drag is over.
        const std::size_t before = m_boxes.boxes().size();
        EXPECT_TRUE(dirtest::waitFor([&]() { return m_boxes.boxes().size() > before; }));
        QCoreApplication::processEvents();
        return dropped.isAccepted();
    }

    ScriptedMessageBoxes m_boxes;
    ScriptedDialogs m_dialogs;
};

// ---- drag and drop and Entry > Move... ---------------------------------------------------

TEST_F(RestructureCommandsTest, ANodeDroppedOnAnotherMovesThereOnlyWhenTheQuestionIsAnsweredYes)
{
    const std::string from = "ou=From," + kScratch;
    const std::string to = "ou=To," + kScratch;
    const std::string leaf = "cn=leaf," + from;
    ASSERT_TRUE(dirtest::ldapModify(ou("From", kScratch) + ou("To", kScratch) + device("leaf", from) +
                                    device("other", from) + device("present", to)));
    open(wide(to));
    open(wide(leaf));

    // Not onto itself, nor where it already is.
    EXPECT_FALSE(dragAndDrop(leaf, leaf, false));
    EXPECT_FALSE(dragAndDrop(leaf, from, false));
    EXPECT_TRUE(dragAndDrop(leaf, to, false));

    m_boxes.queueAnswer(BoxAnswer::No);
    EXPECT_TRUE(dragAndDrop(leaf, to));
    ASSERT_EQ(m_boxes.boxes().size(), 1u);
    EXPECT_EQ(m_boxes.boxes()[0].caption, L"Move entry");
    EXPECT_EQ(m_boxes.boxes()[0].text, wide("Move " + leaf + " under " + to + "?"));
    EXPECT_EQ(m_boxes.boxes()[0].defaultButton, BoxAnswer::No);
    EXPECT_TRUE(TestDirectoryServer::shared().entryExists(leaf));
    EXPECT_EQ(nodeChildren(from), (std::set<std::string>{"cn=leaf", "cn=other"}));
    EXPECT_EQ(nodeChildren(to), (std::set<std::string>{"cn=present"}));

    m_boxes.queueAnswer(BoxAnswer::Yes);
    EXPECT_TRUE(dragAndDrop(leaf, to));
    const std::string moved = "cn=leaf," + to;
    EXPECT_FALSE(TestDirectoryServer::shared().entryExists(leaf));
    EXPECT_TRUE(TestDirectoryServer::shared().entryExists(moved));
    // Both parents, the current node, the active entry and the views follow.
    EXPECT_EQ(nodeChildren(from), (std::set<std::string>{"cn=other"}));
    EXPECT_EQ(nodeChildren(to), (std::set<std::string>{"cn=leaf", "cn=present"}));
    EXPECT_EQ(tree()->getDN(tree()->currentItem()), wide(moved));
    EXPECT_EQ(m_model->getActiveEntryDN(), wide(moved));
    EXPECT_EQ(m_frame->getRecordView()->getItemString(1, 0), QStringLiteral("cn"));
    EXPECT_EQ(m_boxes.boxes().size(), 2u);
}

TEST_F(RestructureCommandsTest, MoveTakesTheParentFromThePickerAndARefusedMoveChangesNothingOnScreen)
{
    const std::string from = "ou=From," + kScratch;
    const std::string to = "ou=To," + kScratch;
    ASSERT_TRUE(dirtest::ldapModify(ou("From", kScratch) + ou("To", kScratch) + ou("Sub", from) +
                                    device("below", "ou=Sub," + from)));
    open(wide("cn=below,ou=Sub," + from));
    open(wide("ou=Sub," + from));

    // Refused: the new parent does not exist.
    m_dialogs.queueDialog([&](QDialog& dialog) {
        auto& move = dynamic_cast<CDialogMoveEntry&>(dialog);
        EXPECT_EQ(move.getEdit()->text().toStdString(), from);
        move.getEdit()->setText(QString::fromStdString("ou=Nowhere," + kScratch));
        move.getOkButton()->click();
    });
    EXPECT_EQ(m_frame->OnEntryMove(), -1);
    ASSERT_EQ(m_boxes.boxes().size(), 1u);
    EXPECT_EQ(m_boxes.boxes()[0].text.rfind(L"Move Entry. LDAPError 32: No such object", 0), 0u);
    EXPECT_EQ(nodeChildren(from), (std::set<std::string>{"ou=Sub"}));
    EXPECT_EQ(nodeChildren("ou=Sub," + from), (std::set<std::string>{"cn=below"}));
    EXPECT_EQ(m_model->getActiveEntryDN(), wide("ou=Sub," + from));

    // The picker reads nodes as they open; the entry and its subtree are no
    // place for it.
    m_dialogs.queueDialog([&](QDialog& dialog) {
        auto& move = dynamic_cast<CDialogMoveEntry&>(dialog);
        QTreeWidget* picker = move.getPicker();
        ASSERT_EQ(picker->topLevelItemCount(), 1);
        QTreeWidgetItem* base = picker->topLevelItem(0);
        EXPECT_EQ(CDialogMoveEntry::dnOf(base), wide(TestDirectoryServer::baseDn()));
        base->setExpanded(true);
        QTreeWidgetItem* scratch = nullptr;
        for (int i = 0; i < base->childCount(); ++i) {
            if (CDialogMoveEntry::dnOf(base->child(i)) == wide(kScratch))
                scratch = base->child(i);
        }
        ASSERT_NE(scratch, nullptr);
        scratch->setExpanded(true);
        QStringList labels;
        QTreeWidgetItem* target = nullptr;
        for (int i = 0; i < scratch->childCount(); ++i) {
            labels << scratch->child(i)->text(0);
            if (CDialogMoveEntry::dnOf(scratch->child(i)) == wide(to))
                target = scratch->child(i);
        }
        EXPECT_EQ(labels.size(), 2);
        ASSERT_NE(target, nullptr);
        QTreeWidgetItem* fromNode = scratch->child(target == scratch->child(0) ? 1 : 0);
        fromNode->setExpanded(true);
        EXPECT_EQ(fromNode->childCount(), 0);  // ou=Sub itself is left out
        picker->setCurrentItem(target);
        EXPECT_EQ(move.getEdit()->text().toStdString(), to);
        move.getOkButton()->click();
    });
    EXPECT_EQ(m_frame->OnEntryMove(), 0);
    EXPECT_TRUE(TestDirectoryServer::shared().entryExists("cn=below,ou=Sub," + to));
    EXPECT_FALSE(TestDirectoryServer::shared().entryExists("ou=Sub," + from));
    // To was never opened: it reads its children, the moved entry among them.
    EXPECT_TRUE(nodeChildren(from).empty());
    EXPECT_EQ(nodeChildren(to), (std::set<std::string>{"ou=Sub"}));
    EXPECT_EQ(m_model->getActiveEntryDN(), wide("ou=Sub," + to));
    EXPECT_EQ(m_boxes.boxes().size(), 1u);
}

// ---- subtree delete ------------------------------------------------------------------

TEST_F(RestructureCommandsTest, ANonLeafIsDeletedWithItsSubtreeLeavesFirstAfterTheCount)
{
    const std::string branch = "ou=Branch," + kScratch;
    ASSERT_TRUE(dirtest::ldapModify(ou("Branch", kScratch) + device("a", branch) + ou("Sub", branch) +
                                    device("b", "ou=Sub," + branch) + device("c", "ou=Sub," + branch)));
    open(wide("ou=Sub," + branch));
    open(wide(branch));
    const std::size_t dialogsBefore = m_dialogs.dialogClasses().size();

    m_boxes.queueAnswer(BoxAnswer::Yes);
    m_boxes.queueAnswer(BoxAnswer::Yes);
    EXPECT_EQ(m_frame->OnEntryDelete(), 0);
    const auto boxes = m_boxes.boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].caption, L"Warning");
    EXPECT_EQ(boxes[1].text, wide("Delete " + branch + " and its 4 entries below it? This cannot be undone."));
    EXPECT_EQ(boxes[1].buttons, util::BoxButtons::YesNo);
    EXPECT_EQ(boxes[1].defaultButton, BoxAnswer::No);
    // The leaves-first delete ran in the background behind the progress window.
    EXPECT_EQ(std::vector<QString>(m_dialogs.dialogClasses().begin() + static_cast<long>(dialogsBefore),
                                   m_dialogs.dialogClasses().end()),
              std::vector<QString>{QStringLiteral("CProgressBar")});
    EXPECT_FALSE(TestDirectoryServer::shared().entryExists(branch));
    EXPECT_EQ(tree()->findNode(wide(branch)), nullptr);
    EXPECT_EQ(tree()->getDN(tree()->currentItem()), wide(kScratch));
    EXPECT_EQ(m_model->getActiveEntryDN(), wide(kScratch));
}

TEST_F(RestructureCommandsTest, AStoppedSubtreeDeleteLeavesTheTreeShowingWhatRemains)
{
    const std::string many = "ou=Many," + kScratch;
    std::string ldif = ou("Many", kScratch);
    for (int n = 0; n < 40; ++n)
        ldif += device("d" + std::to_string(n), many);
    ASSERT_TRUE(dirtest::ldapModify(ldif));
    open(wide(many));
    ASSERT_EQ(nodeChildren(many).size(), 40u);
    ldapmodel::Preferences slow;
    slow.resultPauseMilliseconds = 20;
    m_model->setPreferences(slow);

    m_boxes.queueAnswer(BoxAnswer::Yes);
    m_boxes.queueAnswer(BoxAnswer::Yes);
    m_dialogs.queueDialog([](QDialog& dialog) {
        auto& progress = static_cast<CProgressBar&>(dialog);
        dirtest::waitFor([&]() { return progress.getCount() >= 5 || progress.isClosed(); });
        progress.getStopButton()->click();
    });
    EXPECT_EQ(m_frame->OnEntryDelete(), -1);

    const std::set<std::string> remaining = serverChildren(many);
    EXPECT_GE(remaining.size(), 1u);
    EXPECT_LE(remaining.size(), 35u);
    std::set<std::string> shown;
    for (const std::string& label : nodeChildren(many))
        shown.insert(label + "," + many);
    EXPECT_EQ(shown, remaining);
    EXPECT_TRUE(TestDirectoryServer::shared().entryExists(many));
    EXPECT_EQ(m_model->getActiveEntryDN(), wide(many));
    const auto boxes = m_boxes.boxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[2].caption, L"Delete Subtree");
    EXPECT_EQ(boxes[2].text, wide("Deleting " + many + " was stopped.\n" + std::to_string(40 - remaining.size()) +
                                  " of 41 entries were deleted; the others are still there."));
}

// ---- copy and paste ------------------------------------------------------------------

TEST_F(RestructureCommandsTest, PasteCopiesTheEntryOrItsSubtreeUnderTheSelectedEntry)
{
    const std::string tpl = "ou=Template," + kScratch;
    const std::string to = "ou=To," + kScratch;
    ASSERT_TRUE(dirtest::ldapModify(ou("Template", kScratch) + ou("To", kScratch) + device("x", tpl) +
                                    ou("Inner", tpl) + device("y", "ou=Inner," + tpl)));
    // Nothing copied yet.
    open(wide(to));
    EXPECT_EQ(m_frame->OnEntryPaste(), -1);
    ASSERT_EQ(m_boxes.boxes().size(), 1u);
    EXPECT_EQ(m_boxes.boxes()[0].caption, L"Paste");
    m_boxes.clear();

    open(wide(tpl));
    EXPECT_EQ(m_frame->OnEntryCopy(), 0);
    EXPECT_EQ(m_frame->getCopiedDN(), wide(tpl));
    open(wide(to));
    m_boxes.queueAnswer(BoxAnswer::Yes);
    EXPECT_EQ(m_frame->OnEntryPaste(), 0);
    ASSERT_EQ(m_boxes.boxes().size(), 1u);
    EXPECT_EQ(m_boxes.boxes()[0].buttons, util::BoxButtons::YesNoCancel);
    EXPECT_EQ(m_boxes.boxes()[0].text,
              wide("Paste a copy of\n" + tpl + "\nunder\n" + to + "\n\nCopy the entries below it too?"));
    const std::string copy = "ou=Template," + to;
    EXPECT_EQ(serverChildren(copy), (std::set<std::string>{"cn=x," + copy, "ou=Inner," + copy}));
    EXPECT_EQ(serverChildren("ou=Inner," + copy), (std::set<std::string>{"cn=y,ou=Inner," + copy}));
    EXPECT_EQ(nodeChildren(to), (std::set<std::string>{"ou=Template"}));
    EXPECT_EQ(m_model->getActiveEntryDN(), wide(copy));

    // Once more under the same parent: the server refuses the RDN, for the
    // entry alone too.
    open(wide(to));
    m_boxes.clear();
    m_boxes.queueAnswer(BoxAnswer::No);
    EXPECT_EQ(m_frame->OnEntryPaste(), -1);
    ASSERT_EQ(m_boxes.boxes().size(), 2u);
    EXPECT_EQ(m_boxes.boxes()[1].text.rfind(L"Paste Entry. LDAPError 68: Already exists", 0), 0u);
    m_boxes.clear();
    m_boxes.queueAnswer(BoxAnswer::Yes);
    EXPECT_EQ(m_frame->OnEntryPaste(), -1);
    ASSERT_EQ(m_boxes.boxes().size(), 2u);
    EXPECT_EQ(m_boxes.boxes()[1].text.rfind(L"Paste Entry. LDAPError 68: Already exists", 0), 0u);
    EXPECT_EQ(serverChildren(to), (std::set<std::string>{copy}));
}

// ---- clipboard and the LDIF preference ---------------------------------------------------

TEST_F(RestructureCommandsTest, CtrlCCopiesTheDnInTheTreeAndTheWholeValueInTheRecordView)
{
    open(wide(dirtest::sample::kUser01Dn));
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    QTest::keyClick(tree(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard->text().toStdString(), dirtest::sample::kUser01Dn);
    EXPECT_EQ(m_frame->OnCopyRDN(), 0);
    EXPECT_EQ(clipboard->text(), QStringLiteral("uid=user01"));
    EXPECT_EQ(m_frame->OnCopyEntryLdif(), 0);
    const std::string record = ldapmodel::LdifRecordWriter::entryRecord(*m_model->getActiveEntry(), 70);
    EXPECT_EQ(clipboard->text(), QString::fromLatin1(record.data(), static_cast<int>(record.size())));
    EXPECT_EQ(clipboard->text().left(4), QStringLiteral("dn: "));

    CListEntryAttributes* recordView = m_frame->getRecordView();
    int mailRow = -1;
    for (int row = 0; row < recordView->getRowCount() && mailRow < 0; ++row) {
        if (recordView->getItemString(row, 0) == QStringLiteral("mail"))
            mailRow = row;
    }
    ASSERT_GE(mailRow, 0);
    recordView->selectRow(mailRow);
    QTest::keyClick(recordView, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard->text().toStdString(), dirtest::sample::kUser01Mail1);

    // A photo is no text: its bytes in Base64.
    open(wide(dirtest::sample::kPhotoDn));
    for (int row = 0; row < recordView->getRowCount(); ++row) {
        if (recordView->getItemString(row, 0) == QStringLiteral("jpegPhoto"))
            recordView->selectRow(row);
    }
    QTest::keyClick(recordView, Qt::Key_C, Qt::ControlModifier);
    const std::string photo = TestDirectoryServer::readDataFile(dirtest::sample::kPhotoFile);
    EXPECT_EQ(clipboard->text().toStdString(),
              QByteArray(photo.data(), static_cast<int>(photo.size())).toBase64().toStdString());
    EXPECT_TRUE(m_boxes.boxes().empty());
}

TEST_F(RestructureCommandsTest, TheLdifForOtherToolsPreferenceWritesLatin1DnsInBase64)
{
    QTemporaryDir files;
    open(wide(dirtest::sample::kJoseDn));
    const auto exportActive = [&](const QString& name) {
        m_boxes.queueAnswer(BoxAnswer::No);
        m_dialogs.queueFile(files.filePath(name));
        EXPECT_EQ(m_frame->OnLdifExport(), 0);
        return dirtest::readBytes(files.filePath(name).toStdString());
    };
    // Off by default: the DN goes out in ISO-8859-1.
    EXPECT_EQ(exportActive(QStringLiteral("plain.ldif")).rfind("dn: cn=Jos\xE9 M\xFCller,", 0), 0u);

    m_dialogs.queueDialog([](QDialog& dialog) {
        auto& preferences = dynamic_cast<CDialogPreferences&>(dialog);
        ASSERT_EQ(preferences.getSwitches().size(), 1u);
        EXPECT_FALSE(preferences.getSwitches()[0]->isChecked());
        preferences.getSwitches()[0]->setChecked(true);
        preferences.getOkButton()->click();
    });
    EXPECT_EQ(m_frame->OnViewPreferences(), 0);
    EXPECT_TRUE(m_model->getPreferences().ldifAsciiOnly);
    {
        QSettings file(ui::settingsFilePath(), QSettings::IniFormat);
        EXPECT_EQ(file.value("Preferences/LdifAsciiOnly").toString(), QStringLiteral("true"));
    }
    const std::string encoded = exportActive(QStringLiteral("ascii.ldif"));
    const std::string dn = dirtest::sample::kJoseDn;
    EXPECT_EQ(encoded.rfind("dn:: " + QByteArray(dn.data(), static_cast<int>(dn.size())).toBase64().toStdString(), 0),
              0u)
        << encoded;
    for (char c : encoded)
        EXPECT_TRUE(c == '\n' || (c >= 0x20 && c <= 0x7E));
    EXPECT_EQ(m_frame->OnCopyEntryLdif(), 0);
    EXPECT_EQ(QGuiApplication::clipboard()->text().left(5), QStringLiteral("dn:: "));

    // Stored until changed: a new window starts with it.
    m_model->setPreferences(ldapmodel::Preferences());
    auto second = std::make_unique<CMainFrame>();
    EXPECT_TRUE(m_model->getPreferences().ldifAsciiOnly);
    second.reset();
    ui::PreferenceStore::save(ldapmodel::Preferences());
}

} // namespace
