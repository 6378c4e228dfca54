#include "dialogs/CDialogModifyEntry.h"

#include "faults/FaultGuard.h"
#include "frame/CMainFrame.h"
#include "logging/Log.h"
#include "logging/Trace.h"
#include "records/LDAPAttribute.h"
#include "records/LDAPEntry.h"
#include "utilities/MessageBox.h"
#include "views/CGridControl.h"
#include "views/CListEntryAttributes.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

using memorylib::gc_ptr;

const QString& CDialogModifyEntry::binaryNote()
{
    static const QString note = QStringLiteral("Binary value. Use \"Modify-Save\" to save to file");
    return note;
}

CDialogModifyEntry::CDialogModifyEntry(const gc_ptr<ldapmodel::Model>& model, QWidget* parent,
                                       ui::FrameCommands* commands)
    : QDialog(parent), m_pModel(model), m_pCommands(commands)
{
    DIRLOOK_GUARD(L"DialogModifyEntry");
    util::TraceScope trace(L"CDialogModifyEntry::CDialogModifyEntry");
    setObjectName(QStringLiteral("DialogModifyEntry"));
    setWindowTitle(QStringLiteral("Modify Entry"));
    setModal(true);

    auto* dnCaption = new QLabel(QStringLiteral("Parent DN"), this);
    m_pDNEdit = new QLineEdit(this);
    m_pDNEdit->setReadOnly(true);
    dnCaption->setBuddy(m_pDNEdit);
    m_pGrid = new CGridControl(this);
    m_pGrid->setContextMenuPolicy(Qt::CustomContextMenu);

    static const char* const kLabels[8] = {"&Close",          "&1  Add Attribute",
                                           "  &2  Delete Attribute", "&3  Add Value",
                                           "&4  Modify-Save Value",  " &5  Delete Value",
                                           "&6 Export to LDIF",      "&7  Refresh"};
    for (int number = 0; number < 8; ++number) {
        m_pButtons[number] = new QPushButton(QString::fromLatin1(kLabels[number]), this);
        m_pButtons[number]->setAutoDefault(false);
    }
    m_pButtons[0]->setDefault(true);

    auto* top = new QHBoxLayout;
    top->addWidget(dnCaption);
    top->addWidget(m_pDNEdit, 1);
    auto* commandButtons = new QVBoxLayout;
    for (int number = 1; number < 8; ++number)
        commandButtons->addWidget(m_pButtons[number]);
    commandButtons->addStretch(1);
    commandButtons->addWidget(m_pButtons[0]);
    auto* middle = new QHBoxLayout;
    middle->addWidget(m_pGrid, 1);
    middle->addLayout(commandButtons);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(middle, 1);
    resize(ui::dialogUnits(*this, 380, 355).expandedTo(sizeHint()));

    connect(m_pButtons[0], &QPushButton::clicked, this, &QDialog::reject);
    connect(m_pButtons[1], &QPushButton::clicked, this, [this]() { OnAddAttribute(); });
    connect(m_pButtons[2], &QPushButton::clicked, this, [this]() { OnDeleteAttribute(); });
    connect(m_pButtons[3], &QPushButton::clicked, this, [this]() { OnAddValue(); });
    connect(m_pButtons[4], &QPushButton::clicked, this, [this]() { OnModifyValue(); });
    connect(m_pButtons[5], &QPushButton::clicked, this, [this]() { OnDeleteValue(); });
    connect(m_pButtons[6], &QPushButton::clicked, this, [this]() { OnExport(); });
    connect(m_pButtons[7], &QPushButton::clicked, this, [this]() { OnRefresh(); });
    connect(m_pGrid, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& point) { showContextMenuAt(point); });

    if (m_pModel.getObject() != nullptr)
        m_strDN = m_pModel->getActiveEntryDN();
    m_pDNEdit->setText(QString::fromStdWString(m_strDN));
    // Columns go in at the front: the value column first.
    const int width = ui::dialogUnits(*this, 4, 0).width();
    m_pGrid->insertColumn(QStringLiteral("Value"), 60 * width);
    m_pGrid->insertColumn(QStringLiteral("Attribute Name"), 25 * width);
    fill();
}

CDialogModifyEntry::~CDialogModifyEntry() = default;

QPushButton* CDialogModifyEntry::getButton(int number) const
{
    if (number < 0 || number >= 8)
        return nullptr;
    return m_pButtons[number];
}

int CDialogModifyEntry::fill()
{
    DIRLOOK_GUARD(L"DialogModifyEntry");
    util::TraceScope trace(L"CDialogModifyEntry::fill");
    m_pGrid->reset();
    if (m_pModel.getObject() == nullptr)
        return -1;
    gc_ptr<ldapmodel::LDAPEntry> entry = m_pModel->getActiveEntry();
    if (entry.getObject() == nullptr || entry->getDN().empty())
        return 0;
    m_pGrid->setUpdatesEnabled(false);
    for (const gc_ptr<ldapmodel::LDAPAttribute>& attribute : entry->getUserAttributes()) {
        if (attribute.getObject() == nullptr)
            continue;
        const QString name = QString::fromStdWString(attribute->getName());
        // The record view's rules.
        for (const gc_ptr<ldapmodel::LDAPAttributeValue>& value : attribute->getValues()) {
            const int row = m_pGrid->setCell(m_pGrid->getRowCount(), 0, name);
            QString text;
            if (value.getObject() != nullptr)
                text = CListEntryAttributes::cellText(attribute->getName(), *value);
            else if (CListEntryAttributes::isBinaryAttribute(attribute->getName()))
                text = binaryNote();
            m_pGrid->setCell(row, 1, text);
        }
    }
    m_pGrid->setUpdatesEnabled(true);
    return 0;
}

int CDialogModifyEntry::getValueIndex(int row) const
{
    if (row < 0 || row >= m_pGrid->getRowCount())
        return -1;
    const QString name = m_pGrid->getItemString(row, 0);
    int index = 0;
    for (int above = row - 1; above >= 0; --above) {
        if (m_pGrid->getItemString(above, 0).compare(name, Qt::CaseInsensitive) != 0)
            break;
        ++index;
    }
    return index;
}

int CDialogModifyEntry::handOverSelection()
{
    const int row = m_pGrid->getSelectedRowNumber();
    if (row < 0) {
        util::messageBox(L"Delete Attribute", L"Please select an attribute, first",
                         util::BoxIcon::None, util::BoxButtons::OkCancel);
        return -1;
    }
    frameCommands().setSelectionFromDialog(m_pGrid->getItemString(row, 0).toStdWString(),
                                           m_pGrid->getItemString(row, 1).toStdWString(),
                                           getValueIndex(row), row);
    return 0;
}

ui::FrameCommands& CDialogModifyEntry::frameCommands()
{
    if (m_pCommands != nullptr)
        return *m_pCommands;
    if (m_pFrameCommands == nullptr)
        m_pFrameCommands = std::make_unique<ui::MainFrameCommands>(CMainFrame::fromWidget(this));
    return *m_pFrameCommands;
}

int CDialogModifyEntry::runCommand(const char* handlerName, bool withSelection,
                                   bool refillOnSuccess)
{
    DIRLOOK_GUARD(L"DialogModifyEntry");
    util::Log::getLog(L"ldapmodel")->write(L"CDialogModifyEntry::runCommand %s",
                                          QString::fromLatin1(handlerName).toStdWString().c_str());
    if (withSelection && handOverSelection() != 0)
        return -1;
    const int result = frameCommands().runCommand(handlerName);
    if (refillOnSuccess && result == 0)
        fill();
    return result;
}

int CDialogModifyEntry::OnAddAttribute()
{
    util::TraceScope trace(L"CDialogModifyEntry::OnAddAttribute");
    return runCommand("OnAttributeAdd", false, true);
}

int CDialogModifyEntry::OnDeleteAttribute()
{
    util::TraceScope trace(L"CDialogModifyEntry::OnDeleteAttribute");
    return runCommand("OnAttributeDelete", true, true);
}

int CDialogModifyEntry::OnAddValue()
{
    util::TraceScope trace(L"CDialogModifyEntry::OnAddValue");
    return runCommand("OnValueAdd", true, true);
}

int CDialogModifyEntry::OnModifyValue()
{
    util::TraceScope trace(L"CDialogModifyEntry::OnModifyValue");
    return runCommand("OnValueModify", true, true);
}

int CDialogModifyEntry::OnDeleteValue()
{
    util::TraceScope trace(L"CDialogModifyEntry::OnDeleteValue");
    return runCommand("OnValueDelete", true, true);
}

int CDialogModifyEntry::OnExport()
{
    util::TraceScope trace(L"CDialogModifyEntry::OnExport");
    return runCommand("OnLdifExport", false, false);
}

int CDialogModifyEntry::OnRefresh()
{
    util::TraceScope trace(L"CDialogModifyEntry::OnRefresh");
    const int result = runCommand("OnEntryRefresh", false, false);
    fill();
    return result;
}

QMenu* CDialogModifyEntry::createContextMenu(QWidget* parent)
{
    auto* menu = new QMenu(QStringLiteral("&Modify"), parent);
    auto add = [this, menu](const char* text, int (CDialogModifyEntry::*command)()) {
        connect(menu->addAction(QString::fromLatin1(text)), &QAction::triggered, this,
                [this, command]() { (this->*command)(); });
    };
    add("&Add Attribute\tAlt+1", &CDialogModifyEntry::OnAddAttribute);
    add("&Delete Attribute\tAlt+2", &CDialogModifyEntry::OnDeleteAttribute);
    menu->addSeparator();
    add("Add Value\tAlt+3", &CDialogModifyEntry::OnAddValue);
    add("Modify-Save Value\tAlt+4", &CDialogModifyEntry::OnModifyValue);
    add("Delete Value\tAlt+5", &CDialogModifyEntry::OnDeleteValue);
    menu->addSeparator();
    add("&Export\tAlt+6", &CDialogModifyEntry::OnExport);
    menu->addSeparator();
    add("Refresh Entry\tAlt+7", &CDialogModifyEntry::OnRefresh);
    return menu;
}

bool CDialogModifyEntry::selectRowAt(const QPoint& viewportPoint)
{
    const QModelIndex index = m_pGrid->indexAt(viewportPoint);
    if (!index.isValid())
        return false;
    return m_pGrid->selectRow(index.row()) == 0;
}

void CDialogModifyEntry::showContextMenuAt(const QPoint& viewportPoint)
{
    DIRLOOK_GUARD(L"DialogModifyEntry");
    if (!selectRowAt(viewportPoint))
        return;
    std::unique_ptr<QMenu> menu(createContextMenu(this));
    menu->exec(m_pGrid->viewport()->mapToGlobal(viewportPoint));
}
