// The record view, the structural view and the grid: cells, columns and the
// selection query on their own; inside the main window against the test
// server, the rows a user sees after clicking a node, and the record view's
// menu.

#include "frame/CMainFrame.h"
#include "model/Model.h"
#include "records/LDAPEntry.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestDirectoryServer.h"
#include "ui/support/MainFrameFixture.h"
#include "ui/support/MenuProbe.h"
#include "ui/support/ScriptedDialogs.h"
#include "utilities/Util.h"
#include "views/CGridControl.h"
#include "views/CListEntryAttributes.h"
#include "views/CListEntryStructuralAttributes.h"
#include "views/TreeControlView.h"

#include <QApplication>
#include <QHeaderView>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QTreeWidgetItem>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using dirtest::MenuProbe;
using dirtest::rightClick;
using ldapmodel::Model;
using memorylib::gc_ptr;

namespace {

using Row = std::pair<QString, QString>;
using Rows = std::vector<Row>;

const std::wstring kBase = L"dc=example,dc=com";
const QString kNotice = QStringLiteral("Binary value. Use \"Modify-Save\" to save to file");

Rows rowsOf(const CGridControl& list)
{
    Rows rows;
    for (int row = 0; row < list.getRowCount(); ++row)
        rows.emplace_back(list.getItemString(row, 0), list.getItemString(row, 1));
    return rows;
}

QStringList headings(const CGridControl& list)
{
    QStringList texts;
    for (int column = 0; column < list.getColumnCount(); ++column)
        texts << list.headerItem()->text(column);
    return texts;
}

// "name: value" lines of ldapsearch output (-o ldif-wrap=no), Base64 values
// decoded, the dn line left out.
Rows ldifRows(const std::string& ldif)
{
    Rows rows;
    std::size_t start = 0;
    while (start < ldif.size()) {
        std::size_t end = ldif.find('\n', start);
        if (end == std::string::npos)
            end = ldif.size();
        const std::string line = ldif.substr(start, end - start);
        start = end + 1;
        const std::size_t colon = line.find(':');
        if (line.empty() || colon == std::string::npos || line.compare(0, 3, "dn:") == 0)
            continue;
        const std::string name = line.substr(0, colon);
        std::string value;
        if (colon + 1 < line.size() && line[colon + 1] == ':') {
            const std::vector<unsigned char> bytes = util::base64Decode(line.substr(colon + 2));
            value.assign(bytes.begin(), bytes.end());
        } else {
            value = line.substr(colon + 1);
        }
        if (!value.empty() && value[0] == ' ')
            value.erase(0, 1);
        rows.emplace_back(QString::fromStdString(name), QString::fromStdString(value));
    }
    return rows;
}

std::string adminSearch(const std::string& dn, const std::vector<std::string>& attributes = {})
{
    std::vector<std::string> args{"-D", dirtest::TestDirectoryServer::adminDn(), "-w",
                                  dirtest::TestDirectoryServer::adminPassword(), "-b", dn, "-s", "base",
                                  "(objectClass=*)"};
    args.insert(args.end(), attributes.begin(), attributes.end());
    std::string output;
    EXPECT_TRUE(dirtest::TestDirectoryServer::shared().runLdapsearch(args, output)) << output;
    return output;
}

} // namespace

// ---- the lists on their own -----------------------------------------------

TEST(GridControl, ColumnsGoInAtTheFrontAndColumnZeroInsertsRows)
{
    CGridControl grid;
    EXPECT_EQ(grid.insertColumn(QStringLiteral("second"), 120), 0);
    EXPECT_EQ(grid.insertColumn(QStringLiteral("first"), 80), 0);
    EXPECT_EQ(headings(grid), (QStringList{"first", "second"}));
    EXPECT_EQ(grid.columnWidth(0), 80);
    EXPECT_EQ(grid.columnWidth(1), 120);

    EXPECT_EQ(grid.setCell(0, 0, QStringLiteral("b")), 0);
    EXPECT_EQ(grid.setCell(0, 1, QStringLiteral("b1")), 0);
    EXPECT_EQ(grid.setCell(0, 0, QStringLiteral("a")), 0);  // in front of b
    EXPECT_EQ(grid.setCell(0, 1, QStringLiteral("a1")), 0);
    EXPECT_EQ(grid.setCell(5, 0, QStringLiteral("c")), 2);  // past the end: appended
    EXPECT_EQ(grid.setCell(7, 1, QStringLiteral("none")), -1);
    EXPECT_EQ(grid.setCell(0, 2, QStringLiteral("none")), -1);
    EXPECT_EQ(rowsOf(grid), (Rows{{"a", "a1"}, {"b", "b1"}, {"c", ""}}));

    EXPECT_EQ(grid.getItemString(3, 0), QString());
    EXPECT_EQ(grid.getItemString(-1, 0), QString());
    EXPECT_EQ(grid.getItemString(0, 5), QString());

    grid.reset();
    EXPECT_EQ(grid.getRowCount(), 0);
    EXPECT_EQ(headings(grid), (QStringList{"first", "second"}));
}

TEST(GridControl, CellTextsAreReadBackUpToTheirCapacity)
{
    CGridControl grid;
    grid.insertColumn(QStringLiteral("value"), 100);
    grid.insertColumn(QStringLiteral("name"), 100);
    grid.setCell(0, 0, QStringLiteral("long"));
    grid.setCell(0, 1, QString(20000, QLatin1Char('x')));
    grid.setCell(1, 0, QStringLiteral("fits"));
    grid.setCell(1, 1, QString(CGridControl::kCellTextCapacity, QLatin1Char('y')));

    EXPECT_EQ(grid.getItemString(0, 1).size(), 10239);
    EXPECT_EQ(grid.getItemString(1, 1).size(), 10239);
}

TEST(GridControl, SingleFullRowSelectionWithoutSorting)
{
    CGridControl grid;
    EXPECT_EQ(grid.selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(grid.selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_FALSE(grid.isSortingEnabled());
    EXPECT_FALSE(grid.header()->sectionsClickable());

    grid.insertColumn(QStringLiteral("name"), 100);
    grid.setCell(0, 0, QStringLiteral("a"));
    grid.setCell(1, 0, QStringLiteral("b"));
    EXPECT_EQ(grid.getSelectedRowNumber(), -1);
    EXPECT_EQ(grid.selectRow(1), 0);
    EXPECT_EQ(grid.getSelectedRowNumber(), 1);
    EXPECT_EQ(grid.selectRow(0), 0);
    EXPECT_EQ(grid.getSelectedRowNumber(), 0);
    EXPECT_EQ(grid.selectedItems().size(), 1);
    EXPECT_EQ(grid.selectRow(2), -1);
    EXPECT_EQ(grid.getSelectedRowNumber(), 0);
}

TEST(RecordView, ColumnsOfBothViews)
{
    CListEntryAttributes record;
    record.init();
    EXPECT_EQ(headings(record), (QStringList{"Attribute", "Description"}));
    EXPECT_EQ(record.columnWidth(0), 200);
    EXPECT_EQ(record.columnWidth(1), 300);

    CListEntryStructuralAttributes structural;
    structural.init();
    EXPECT_EQ(headings(structural), (QStringList{"Attribute - Structural", "Description"}));
    EXPECT_EQ(structural.columnWidth(0), 200);
    EXPECT_EQ(structural.columnWidth(1), 300);
}

TEST(RecordView, ValueIndexCountsTheRowsOfTheAttributeUpwardsIgnoringCase)
{
    dirtest::ScriptedMessageBoxes boxes;
    CListEntryAttributes record;
    record.init();
    const std::vector<Row> rows{{"cn", "x"}, {"mail", "m1"}, {"MAIL", "m2"}, {"Mail", "m3"}, {"sn", "y"}};
    for (const Row& row : rows)
        record.setCell(record.setCell(record.getRowCount(), 0, row.first), 1, row.second);

    std::wstring name;
    std::wstring value;
    int index = 7;
    EXPECT_EQ(record.getSelection(name, value, index), -1);
    EXPECT_EQ(index, 7);
    EXPECT_EQ(record.getValueIndexInAttribute(), -1);

    ASSERT_EQ(record.selectRow(3), 0);
    EXPECT_EQ(record.getRememberedRow(), 3);
    ASSERT_EQ(record.getSelection(name, value, index), 0);
    EXPECT_EQ(name, L"Mail");
    EXPECT_EQ(value, L"m3");
    EXPECT_EQ(index, 2);
    EXPECT_EQ(record.getValueIndexInAttribute(0), 0);
    EXPECT_EQ(record.getValueIndexInAttribute(1), 0);
    EXPECT_EQ(record.getValueIndexInAttribute(4), 0);
    EXPECT_EQ(record.getValueIndexInAttribute(9), -1);

    record.reset();
    EXPECT_EQ(record.getRowCount(), 0);
    EXPECT_EQ(record.getRememberedRow(), -1);
    EXPECT_EQ(record.getSelection(name, value, index), -1);
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST(RecordView, TheBinaryOptionMakesAValueBinary)
{
    EXPECT_TRUE(CListEntryAttributes::isBinaryAttribute(L"userCertificate;binary"));
    EXPECT_TRUE(CListEntryAttributes::isBinaryAttribute(L"x;lang-en;BINARY"));
    EXPECT_FALSE(CListEntryAttributes::isBinaryAttribute(L"x;binaryish"));
}

TEST(RecordView, MenuLabelsAndKeys)
{
    CListEntryAttributes record;
    std::unique_ptr<QMenu> menu(record.createContextMenu(nullptr));
    EXPECT_EQ(menu->title(), QStringLiteral("&Modify"));
    QStringList texts;
    QStringList keys;
    for (QAction* action : menu->actions()) {
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
        keys << action->shortcut().toString(QKeySequence::PortableText);
    }
    EXPECT_EQ(texts, (QStringList{"&Add Attribute", "&Delete Attribute", "-", "Add Value", "Modify-Save Value",
                                  "Delete Value", "-", "&Export", "-", "Refresh Entry", "-", "&Copy Value",
                                  "Copy D&N"}));
    EXPECT_EQ(keys, (QStringList{"Alt+A", "Alt+D", "", "Shift+A", "Shift+M", "Shift+D", "", "Ctrl+E", "",
                                 "F5", "", "Ctrl+C", ""}));
}

TEST(StructuralView, ItsOwnFillOnlyClearsIt)
{
    CListEntryStructuralAttributes structural;
    structural.init();
    structural.setItemText(0, 0, std::wstring(L"creatorsName"));
    structural.setItemText(0, 1, std::wstring(L"cn=admin"));
    ASSERT_EQ(structural.rowCount(), 1);
    structural.fill();
    EXPECT_EQ(structural.rowCount(), 0);
    structural.setItemText(0, 0, QStringLiteral("x"));
    structural.updateFromModel(2);
    EXPECT_EQ(structural.rowCount(), 0);
    EXPECT_EQ(structural.addEntryRows(gc_ptr<ldapmodel::LDAPEntry>()), 0);
}

// ---- in the main window, against the test server ------------------------------

class AttributeViewsServer : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_pModel = Model::getInstance();
        dirtest::useTestServerAsAdmin(*m_pModel);
        m_pFrame = std::make_unique<CMainFrame>();
        m_pFrame->show();
        m_pFrame->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_pFrame.get()));
        // Connecting refills the tree through the frame.
        ASSERT_EQ(m_pModel->connect(false), 0);
        tree()->expandAll();
    }

    void TearDown() override
    {
        m_pModel->waitBackground();
        m_pModel->disconnect();
        m_pFrame.reset();
    }

    TreeControlView* tree() const { return m_pFrame->getTreeView(); }
    CListEntryAttributes* record() const { return m_pFrame->getRecordView(); }
    CListEntryStructuralAttributes* structural() const { return m_pFrame->getStructuralView(); }

    void click(QTreeWidgetItem* node)
    {
        ASSERT_NE(node, nullptr);
        tree()->scrollToItem(node);
        const QRect rect = tree()->visualItemRect(node);
        QTest::mouseClick(tree()->viewport(), Qt::LeftButton, Qt::NoModifier,
                          QPoint(rect.left() + 8, rect.center().y()));
    }

    // Clicks the nodes from the base entry down to dn, opening each.
    void clickDown(const std::wstring& dn)
    {
        std::vector<std::wstring> chain;
        for (std::wstring current = dn; current.size() >= kBase.size();) {
            chain.insert(chain.begin(), current);
            const std::size_t comma = current.find(L',');
            if (current == kBase || comma == std::wstring::npos)
                break;
            current = current.substr(comma + 1);
        }
        for (const std::wstring& step : chain) {
            QTreeWidgetItem* node = tree()->findNode(step);
            ASSERT_NE(node, nullptr) << QString::fromStdWString(step).toStdString();
            click(node);
        }
    }

    gc_ptr<Model> m_pModel;
    dirtest::ScriptedMessageBoxes m_boxes;
    dirtest::ScriptedDialogs m_dialogs;
    std::unique_ptr<CMainFrame> m_pFrame;
};

TEST_F(AttributeViewsServer, ClickingANodeFillsBothViewsInEntryOrder)
{
    const std::string dn = dirtest::sample::kUser01Dn;
    clickDown(util::fromUtf8(dn));
    ASSERT_EQ(m_pModel->getActiveEntryDN(), util::fromUtf8(dn));

    // Record view: the user attributes as the server lists them.
    const Rows expected = ldifRows(adminSearch(dn));
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(rowsOf(*record()), expected);

    Rows descriptions;
    int firstDescription = -1;
    for (int row = 0; row < record()->getRowCount(); ++row) {
        if (record()->getItemString(row, 0) == QStringLiteral("description")) {
            if (firstDescription < 0)
                firstDescription = row;
            descriptions.emplace_back(record()->getItemString(row, 0), record()->getItemString(row, 1));
        }
    }
    ASSERT_EQ(descriptions.size(), 3u);
    ASSERT_EQ(record()->getItemString(firstDescription + 2, 0), QStringLiteral("description"));
    EXPECT_EQ(record()->getItemString(firstDescription + 2, 1), QStringLiteral("Has three descriptions"));

    // Structural view: the operational attributes, in the order read.
    std::vector<std::string> names;
    for (const std::wstring& name : ldapmodel::LDAPEntry::operationalAttributeNames())
        names.push_back(util::toUtf8(name));
    const Rows operational = ldifRows(adminSearch(dn, names));
    Rows expectedOperational;
    for (const Row& row : operational) {
        for (const std::string& name : names) {
            if (row.first.compare(QString::fromStdString(name), Qt::CaseInsensitive) == 0)
                expectedOperational.push_back(row);
        }
    }
    ASSERT_FALSE(expectedOperational.empty());
    Rows shown = rowsOf(*structural());
    std::stable_sort(shown.begin(), shown.end(), [](const Row& a, const Row& b) { return a.first < b.first; });
    std::stable_sort(expectedOperational.begin(), expectedOperational.end(),
                     [](const Row& a, const Row& b) { return a.first < b.first; });
    EXPECT_EQ(shown, expectedOperational);
    // Values of one attribute stand together.
    for (int row = 1; row + 1 < structural()->getRowCount(); ++row) {
        const QString name = structural()->getItemString(row, 0);
        if (name != structural()->getItemString(row - 1, 0)) {
            for (int later = row + 1; later < structural()->getRowCount(); ++later)
                EXPECT_NE(structural()->getItemString(later, 0), structural()->getItemString(row - 1, 0));
        }
    }

    // The third description is value 2 of its attribute.
    ASSERT_EQ(record()->selectRow(firstDescription + 2), 0);
    std::wstring name;
    std::wstring value;
    int index = -1;
    ASSERT_EQ(record()->getSelection(name, value, index), 0);
    EXPECT_EQ(name, L"description");
    EXPECT_EQ(value, L"Has three descriptions");
    EXPECT_EQ(index, 2);
    ASSERT_EQ(m_pFrame->getSelection(), 0);
    EXPECT_EQ(m_pFrame->getActiveAttributeValueIndex(), 2);
}

TEST_F(AttributeViewsServer, EveryValueOfABinaryAttributeShowsTheNotice)
{
    const std::string photo = dirtest::TestDirectoryServer::readDataFile(dirtest::sample::kPhotoFile);
    ASSERT_FALSE(photo.empty());
    const std::string second = photo + std::string("\x01\x02", 2);
    const std::string ldif =
        "dn: uid=album,ou=Dept,dc=example,dc=com\nchangetype: add\nobjectClass: inetOrgPerson\n"
        "uid: album\ncn: Album\nsn: Album\njpegPhoto:: " +
        util::base64Encode(reinterpret_cast<const unsigned char*>(photo.data()), photo.size()) +
        "\njpegPhoto:: " +
        util::base64Encode(reinterpret_cast<const unsigned char*>(second.data()), second.size()) +
        "\ndescription: text stays text\n\n";
    std::string output;
    ASSERT_TRUE(dirtest::TestDirectoryServer::shared().runLdapmodify(ldif, output)) << output;

    clickDown(L"uid=album,ou=Dept,dc=example,dc=com");
    int photos = 0;
    for (int row = 0; row < record()->getRowCount(); ++row) {
        if (record()->getItemString(row, 0) == QStringLiteral("jpegPhoto")) {
            ++photos;
            EXPECT_EQ(record()->getItemString(row, 1), kNotice);
        } else {
            EXPECT_NE(record()->getItemString(row, 1), kNotice);
        }
    }
    EXPECT_EQ(photos, 2);

    ASSERT_TRUE(dirtest::TestDirectoryServer::shared().runLdapmodify(
        "dn: uid=album,ou=Dept,dc=example,dc=com\nchangetype: delete\n\n", output))
        << output;
}

TEST_F(AttributeViewsServer, ACertificateWithTheBinaryOptionShowsTheNotice)
{
    clickDown(util::fromUtf8(dirtest::sample::kCertDn));
    ASSERT_EQ(m_pModel->getActiveEntryDN(), util::fromUtf8(dirtest::sample::kCertDn));
    int certificates = 0;
    for (int row = 0; row < record()->getRowCount(); ++row) {
        if (record()->getItemString(row, 0).startsWith(QStringLiteral("userCertificate"), Qt::CaseInsensitive)) {
            ++certificates;
            EXPECT_EQ(record()->getItemString(row, 1), kNotice);
        }
    }
    EXPECT_EQ(certificates, 1);
    // Options do not hide the type's syntax.
    EXPECT_TRUE(CListEntryAttributes::isBinaryAttribute(L"jpegPhoto;x-test"));
    EXPECT_TRUE(CListEntryAttributes::isBinaryAttribute(L"userCertificate"));
    EXPECT_FALSE(CListEntryAttributes::isBinaryAttribute(L"description;lang-en"));
    EXPECT_FALSE(CListEntryAttributes::isBinaryAttribute(L"cn"));
}

TEST_F(AttributeViewsServer, RightClickBelowTheLastRowOpensNoMenu)
{
    clickDown(util::fromUtf8(dirtest::sample::kDeptDn));
    ASSERT_GT(record()->getRowCount(), 0);
    const QRect last = record()->visualItemRect(record()->topLevelItem(record()->getRowCount() - 1));
    ASSERT_LT(last.bottom() + 20, record()->viewport()->height());

    MenuProbe probe;
    rightClick(record()->viewport(), QPoint(20, last.bottom() + 15));
    dirtest::waitFor([]() { return false; }, 100);
    EXPECT_FALSE(probe.shown);
    EXPECT_EQ(record()->getContextRow(), -1);
}

TEST_F(AttributeViewsServer, RightClickOnARowSelectsItAndItsMenuRaisesTheFrameHandlers)
{
    const std::string dn = dirtest::sample::kUser01Dn;
    clickDown(util::fromUtf8(dn));
    ASSERT_GT(record()->getRowCount(), 2);
    const QRect rect = record()->visualItemRect(record()->topLevelItem(2));

    // Change the entry behind the program's back; "Refresh Entry" shows it.
    std::string output;
    ASSERT_TRUE(dirtest::TestDirectoryServer::shared().runLdapmodify(
        "dn: " + dn + "\nchangetype: modify\nadd: description\ndescription: added meanwhile\n\n", output))
        << output;

    MenuProbe probe;
    rightClick(record()->viewport(), QPoint(rect.left() + 250, rect.center().y()));
    EXPECT_TRUE(probe.shown);
    EXPECT_EQ(probe.title, QStringLiteral("&Modify"));
    EXPECT_EQ(probe.texts.size(), 13);
    EXPECT_EQ(record()->getContextRow(), 2);
    EXPECT_EQ(record()->getContextColumn(), 1);
    EXPECT_EQ(record()->getRememberedRow(), 2);
    EXPECT_EQ(record()->getSelectedRowNumber(), 2);

    MenuProbe refresh(QStringLiteral("Refresh Entry"));
    rightClick(record()->viewport(), QPoint(rect.left() + 250, rect.center().y()));
    EXPECT_TRUE(refresh.shown);
    EXPECT_EQ(ldifRows(adminSearch(dn)), rowsOf(*record()));
    bool added = false;
    for (const Row& row : rowsOf(*record()))
        added = added || row.second == QStringLiteral("added meanwhile");
    EXPECT_TRUE(added);

    ASSERT_TRUE(dirtest::TestDirectoryServer::shared().runLdapmodify(
        "dn: " + dn + "\nchangetype: modify\ndelete: description\ndescription: added meanwhile\n\n", output))
        << output;
}

TEST_F(AttributeViewsServer, RightArrowInTheTreeMovesToTheFirstRow)
{
    clickDown(util::fromUtf8(dirtest::sample::kUser01Dn));
    ASSERT_GT(record()->getRowCount(), 0);
    tree()->setFocus();
    QTest::keyClick(tree(), Qt::Key_Right);

    EXPECT_TRUE(record()->hasFocus());
    EXPECT_EQ(record()->getSelectedRowNumber(), 0);
    EXPECT_EQ(record()->getRememberedRow(), 0);
    EXPECT_TRUE(m_boxes.boxes().empty());
}
