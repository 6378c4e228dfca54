// The search dialog against the shared test server: its subtree search runs
// on the model's worker while the dialog lists what it finds. The program
// runs under ThreadSanitizer as well.

#include "dialogs/CDialogSearchRecord.h"
#include "dialogs/ListLineSizer.h"
#include "frame/CProgressBar.h"
#include "support/ScriptedMessageBoxes.h"
#include "ui/support/DialogTestSupport.h"
#include "ui/support/ScriptedDialogs.h"

#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QLineEdit>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

using dialogtest::model;
using dialogtest::qs;
using dialogtest::wide;
using memorylib::gc_ptr;

// ---- lines ----------------------------------------------------------------------

TEST(SearchDialogLines, EachLineCarriesTheSizeTheListWouldMeasure)
{
    QListWidget measured;
    ListLineSizer sizer(measured);
    const std::vector<QString> texts = {
        qs(dirtest::sample::kUser01Dn), QString::fromWCharArray(dirtest::sample::kJoseDnWide),
        QString::fromWCharArray(dirtest::sample::kLukaszDnWide), QStringLiteral("WAVE=To,ou=AVATAR,dc=x"),
        QString(300, QLatin1Char('m'))};
    for (const QString& text : texts) {
        measured.clear();
        measured.addItem(text);
        const QSize own = measured.sizeHintForIndex(measured.model()->index(0, 0));
        // The first line a sizer sees gives it the list's margins.
        for (const QSize carried : {sizer.sizeFor(text), ListLineSizer(measured).sizeFor(text)}) {
            EXPECT_EQ(carried.height(), own.height()) << text.toStdString();
            // Never cut; wider by kerning at most.
            EXPECT_GE(carried.width(), own.width()) << text.toStdString();
            EXPECT_LE(carried.width(), own.width() + 8) << text.toStdString();
        }
    }
}

// ---- search -------------------------------------------------------------------

class SearchDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dialogtest::connectModel());
        model().setActiveEntry(wide(dirtest::sample::kBaseDn));
    }

    dirtest::ScriptedDialogs m_scripted;
    dirtest::ScriptedMessageBoxes m_boxes;
};

TEST_F(SearchDialog, OpensWithThePresetBaseAndTheDefaultFilter)
{
    dialogtest::RecordingFrame frame;
    CDialogSearchRecord dialog(ldapmodel::Model::getInstance(), nullptr, &frame);
    dialog.setBaseDN(wide(dirtest::sample::kSubDn));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Search"));
    EXPECT_EQ(dialog.getBaseDNEdit()->text(), qs(dirtest::sample::kSubDn));
    EXPECT_EQ(dialog.getFilterEdit()->text(), QStringLiteral("(objectclass=*)"));
    EXPECT_TRUE(dialog.getSearchButton()->isDefault());
    EXPECT_EQ(dialog.getSelectedIndex(), -1);
    EXPECT_EQ(dialog.getResultList()->count(), 0);
    EXPECT_EQ(model().getSearchObserver().get() != nullptr, true);
}

TEST_F(SearchDialog, ListsTheSubtreeAndMakesTheSelectedLineTheActiveEntry)
{
    dialogtest::RecordingFrame frame;
    CDialogSearchRecord dialog(ldapmodel::Model::getInstance(), nullptr, &frame);
    dialog.setBaseDN(wide(dirtest::sample::kSubDn));
    // No handler: the progress window runs until the search finishes.
    dialog.getSearchButton()->click();

    ASSERT_FALSE(m_scripted.dialogClasses().empty());
    EXPECT_EQ(m_scripted.dialogClasses().back(), QStringLiteral("CProgressBar"));
    EXPECT_EQ(dialog.getBaseDN(), wide(dirtest::sample::kSubDn));
    EXPECT_EQ(dialog.getFilter(), L"(objectclass=*)");
    const std::vector<std::wstring> results = dialog.getResults();
    ASSERT_EQ(results.size(), static_cast<std::size_t>(dirtest::sample::kSubSubtreeCount));
    const std::set<std::wstring> unique(results.begin(), results.end());
    EXPECT_EQ(unique.size(), results.size());
    EXPECT_TRUE(unique.count(wide(dirtest::sample::kSubDn)));
    EXPECT_TRUE(unique.count(wide(dirtest::sample::kGammaDn)));
    EXPECT_TRUE(unique.count(L"cn=alpha,ou=Sub,ou=Dept,dc=example,dc=com"));

    // The first line is selected and active.
    EXPECT_EQ(dialog.getResultList()->currentRow(), 0);
    EXPECT_EQ(dialog.getSelectedIndex(), 0);
    EXPECT_EQ(model().getActiveEntryDN(), results[0]);

    // Selecting another line shows that entry.
    const int gammaRow = static_cast<int>(
        std::find(results.begin(), results.end(), wide(dirtest::sample::kGammaDn)) - results.begin());
    dialog.getResultList()->setCurrentRow(gammaRow);
    EXPECT_EQ(dialog.getSelectedIndex(), gammaRow);
    EXPECT_EQ(model().getActiveEntryDN(), wide(dirtest::sample::kGammaDn));
    gc_ptr<ldapmodel::LDAPAttribute> cn = model().getActiveEntry()->getAttribute(L"cn");
    ASSERT_NE(cn.getObject(), nullptr);
    EXPECT_EQ(cn->getValue(0)->toString(), L"gamma");

    // A second search starts from an empty list.
    dialog.getFilterEdit()->setText(QStringLiteral("(cn=beta)"));
    dialog.getSearchButton()->click();
    EXPECT_EQ(dialog.getResults(),
              std::vector<std::wstring>{L"cn=beta,ou=Sub,ou=Dept,dc=example,dc=com"});
    EXPECT_TRUE(m_boxes.boxes().empty());
}

TEST_F(SearchDialog, SearchOnALeafListsThatOneEntry)
{
    CDialogSearchRecord dialog(ldapmodel::Model::getInstance(), nullptr, nullptr);
    dialog.setBaseDN(wide(dirtest::sample::kGammaDn));
    EXPECT_EQ(dialog.OnSearch(), 0);
    EXPECT_EQ(dialog.getResults(), std::vector<std::wstring>{wide(dirtest::sample::kGammaDn)});
    EXPECT_EQ(model().getActiveEntryDN(), wide(dirtest::sample::kGammaDn));
}

TEST_F(SearchDialog, StoppingKeepsTheEntriesAlreadyListed)
{
    CDialogSearchRecord dialog(ldapmodel::Model::getInstance(), nullptr, nullptr);
    dialog.setBaseDN(wide(dirtest::sample::kPeopleDn));
    std::vector<std::wstring> listedAtStop;
    bool stopped = false;
    m_scripted.queueDialog([&](QDialog& shown) {
        auto& progress = static_cast<CProgressBar&>(shown);
        dirtest::waitFor([&] { return dialog.getResultList()->count() >= 3 || progress.isClosed(); });
        if (progress.isClosed())
            return;
        listedAtStop = dialog.getResults();
        progress.getStopButton()->click();
        stopped = true;
    });
    EXPECT_EQ(dialog.OnSearch(), 0);
    ASSERT_TRUE(stopped) << "the search ended before it could be stopped";
    EXPECT_FALSE(model().isRunning());

    // Let anything still queued arrive: the list only grows.
    dirtest::waitFor([] { return false; }, 200);
    const std::vector<std::wstring> results = dialog.getResults();
    ASSERT_GE(results.size(), listedAtStop.size());
    EXPECT_TRUE(std::equal(listedAtStop.begin(), listedAtStop.end(), results.begin()));
    EXPECT_LT(results.size(), static_cast<std::size_t>(dirtest::sample::kPeopleChildCount + 1));
    EXPECT_EQ(model().getActiveEntryDN(), results[0]);
}

TEST_F(SearchDialog, RenameReplacesTheLineAndAFailedRenameLeavesIt)
{
    const std::wstring alpha = L"cn=alpha,ou=Sub,ou=Dept,dc=example,dc=com";
    const std::wstring delta = L"cn=delta,ou=Sub,ou=Dept,dc=example,dc=com";
    dialogtest::RecordingFrame frame;
    int renameResult = -1;
    frame.onCommand("OnEntryRename", [&] {
        const std::wstring dn = model().getActiveEntryDN();
        if (renameResult != 0 || model().renameEntry(dn, L"cn=delta") != 0)
            return -1;
        model().setActiveEntry(delta);
        return 0;
    });
    CDialogSearchRecord dialog(ldapmodel::Model::getInstance(), nullptr, &frame);
    dialog.setBaseDN(wide(dirtest::sample::kSubDn));
    dialog.OnSearch();
    const std::vector<std::wstring> results = dialog.getResults();
    const int row = static_cast<int>(std::find(results.begin(), results.end(), alpha) - results.begin());
    ASSERT_LT(row, static_cast<int>(results.size()));
    dialog.getResultList()->setCurrentRow(row);
    ASSERT_EQ(model().getActiveEntryDN(), alpha);

    // The frame's rename stops early: nothing changes.
    dialog.getRenameButton()->click();
    EXPECT_EQ(dialog.getResultList()->item(row)->text(), QString::fromStdWString(alpha));

    renameResult = 0;
    dialog.getRenameButton()->click();
    EXPECT_EQ(frame.commands(), (std::vector<std::string>{"OnEntryRename", "OnEntryRename"}));
    EXPECT_EQ(dialog.getResultList()->item(row)->text(), QString::fromStdWString(delta));
    EXPECT_EQ(dialog.getResultList()->currentRow(), row);
    EXPECT_EQ(dialog.getResults().size(), results.size());
    EXPECT_TRUE(dirtest::TestDirectoryServer::shared().entryExists(util::toUtf8(delta)));

    ASSERT_EQ(model().renameEntry(delta, L"cn=alpha"), 0);
    EXPECT_TRUE(dirtest::TestDirectoryServer::shared().entryExists(util::toUtf8(alpha)));
}

TEST_F(SearchDialog, DeleteRemovesTheLineOnlyWhenTheEntryIsGone)
{
    auto& server = dirtest::TestDirectoryServer::shared();
    const std::string tempDn = "cn=searchtemp,ou=Dept,dc=example,dc=com";
    std::string output;
    ASSERT_TRUE(server.runLdapmodify("dn: " + tempDn +
                                         "\nchangetype: add\nobjectClass: device\ncn: searchtemp\n",
                                     output))
        << output;

    dialogtest::RecordingFrame frame;
    bool reallyDelete = false;
    frame.onCommand("OnEntryDelete", [&] {
        if (!reallyDelete)
            return 0;  // answered No, but reports that it ran
        return model().removeEntry(model().getActiveEntryDN());
    });
    CDialogSearchRecord dialog(ldapmodel::Model::getInstance(), nullptr, &frame);
    dialog.setBaseDN(wide(dirtest::sample::kDeptDn));
    dialog.getFilterEdit()->setText(QStringLiteral("(|(cn=searchtemp)(cn=printer))"));
    dialog.OnSearch();
    std::vector<std::wstring> results = dialog.getResults();
    ASSERT_EQ(results.size(), 2u);
    const int row = results[0] == wide(tempDn) ? 0 : 1;
    dialog.getResultList()->setCurrentRow(row);
    ASSERT_EQ(model().getActiveEntryDN(), wide(tempDn));

    dialog.getDeleteButton()->click();
    EXPECT_EQ(dialog.getResults().size(), 2u);

    reallyDelete = true;
    dialog.getDeleteButton()->click();
    EXPECT_FALSE(server.entryExists(tempDn));
    results = dialog.getResults();
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0], L"cn=printer,ou=Dept,dc=example,dc=com");
    EXPECT_EQ(dialog.getSelectedIndex(), -1);
}

TEST_F(SearchDialog, ButtonsAndContextMenuRunTheFrameCommands)
{
    dialogtest::RecordingFrame frame;
    CDialogSearchRecord dialog(ldapmodel::Model::getInstance(), nullptr, &frame);
    dialog.setBaseDN(wide(dirtest::sample::kSubDn));
    dialog.OnSearch();
    ASSERT_EQ(dialog.getResults().size(), static_cast<std::size_t>(dirtest::sample::kSubSubtreeCount));

    dialog.getViewModifyButton()->click();
    dialog.getExportButton()->click();
    dialog.getPropertiesButton()->click();
    EXPECT_EQ(frame.commands(),
              (std::vector<std::string>{"OnEntryModify", "OnLdifExport", "OnSearchProperties"}));

    std::unique_ptr<QMenu> menu(dialog.createContextMenu(nullptr));
    EXPECT_EQ(menu->objectName(), QStringLiteral("ContextDialogSearch"));
    QStringList texts;
    for (QAction* action : menu->actions())
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    EXPECT_EQ(texts, (QStringList{QStringLiteral("&Modify-View Entry\tCtrl+M"),
                                  QStringLiteral("&Rename Entry\tCtrl+R"),
                                  QStringLiteral("&Delete Entry\tCtrl+Del"), QStringLiteral("-"),
                                  QStringLiteral("E&xport to Ldif file")}));
    menu->actions().at(0)->trigger();
    menu->actions().at(4)->trigger();
    EXPECT_EQ(frame.commands().at(3), "OnEntryModify");
    EXPECT_EQ(frame.commands().at(4), "OnLdifExport");

    // The line under the pointer is selected first; off the lines nothing.
    dialog.resize(600, 400);
    dialog.show();
    QListWidget* list = dialog.getResultList();
    const QPoint third = list->visualItemRect(list->item(2)).center();
    EXPECT_TRUE(dialog.selectLineAt(third));
    EXPECT_EQ(dialog.getSelectedIndex(), 2);
    EXPECT_EQ(model().getActiveEntryDN(), list->item(2)->text().toStdWString());
    EXPECT_FALSE(dialog.selectLineAt(QPoint(5, list->viewport()->height() - 2)));
    EXPECT_EQ(dialog.getSelectedIndex(), 2);
    dialog.hide();
}

TEST_F(SearchDialog, NoEntryIsReadOverTheSessionWhileTheSearchRuns)
{
    CDialogSearchRecord dialog(ldapmodel::Model::getInstance(), nullptr, nullptr);
    dialog.setBaseDN(wide(dirtest::sample::kPeopleDn));
    bool runningMeanwhile = false;
    int listedMeanwhile = 0;
    int selectedMeanwhile = -1;
    std::wstring activeMeanwhile;
    m_scripted.queueDialog([&](QDialog& shown) {
        auto& progress = static_cast<CProgressBar&>(shown);
        dirtest::waitFor([&] { return dialog.getResultList()->count() >= 3 || progress.isClosed(); });
        runningMeanwhile = model().isRunning();
        listedMeanwhile = dialog.getResultList()->count();
        selectedMeanwhile = dialog.getSelectedIndex();
        activeMeanwhile = model().getActiveEntryDN();
    });
    EXPECT_EQ(dialog.OnSearch(), 0);

    ASSERT_TRUE(runningMeanwhile) << "the search ended before it could be watched";
    EXPECT_GE(listedMeanwhile, 3);
    // The first line is selected at once, its entry read only after the end.
    EXPECT_EQ(selectedMeanwhile, 0);
    EXPECT_EQ(activeMeanwhile, wide(dirtest::sample::kBaseDn));
    const std::vector<std::wstring> results = dialog.getResults();
    ASSERT_EQ(results.size(), static_cast<std::size_t>(dirtest::sample::kPeopleChildCount + 1));
    EXPECT_EQ(model().getActiveEntryDN(), results[0]);
    EXPECT_TRUE(m_boxes.boxes().empty());
}
