#include "dialogs/CDialogSearchRecord.h"

#include "dialogs/ListLineSizer.h"
#include "faults/FaultGuard.h"
#include "frame/CMainFrame.h"
#include "frame/CProgressBar.h"
#include "logging/Log.h"
#include "logging/Trace.h"
#include "services/DialogService.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

using ldapmodel::Model;
using memorylib::gc_ptr;

namespace {

memorylib::gc_ptr<util::Log> log()
{
    return util::Log::getLog(L"ldapmodel");
}

} // namespace

CDialogSearchRecord::CDialogSearchRecord(const gc_ptr<Model>& model, QWidget* parent,
                                         ui::FrameCommands* commands)
    : QDialog(parent), m_pModel(model), m_pCommands(commands)
{
    DIRLOOK_GUARD(L"DialogSearchRecord");
    util::TraceScope trace(L"CDialogSearchRecord::CDialogSearchRecord");
    m_bInitializing = true;
    m_iSelectedIndex = -1;
    setObjectName(QStringLiteral("DialogSearchRecord"));
    setWindowTitle(QStringLiteral("Search"));
    setModal(true);

    m_pBaseDNEdit = new QLineEdit(this);
    m_pFilterEdit = new QLineEdit(this);
    auto* baseLabel = new QLabel(QStringLiteral("&Base DN"), this);
    auto* filterLabel = new QLabel(QStringLiteral("&Filter"), this);
    baseLabel->setBuddy(m_pBaseDNEdit);
    filterLabel->setBuddy(m_pFilterEdit);
    m_pResultList = new QListWidget(this);
    m_pResultList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pResultList->setContextMenuPolicy(Qt::CustomContextMenu);
    m_pLineSizer = std::make_unique<ListLineSizer>(*m_pResultList);

    m_pViewModifyButton = new QPushButton(QStringLiteral("&View - Modify"), this);
    m_pRenameButton = new QPushButton(QStringLiteral("&Rename"), this);
    m_pDeleteButton = new QPushButton(QStringLiteral("&Delete"), this);
    m_pExportButton = new QPushButton(QStringLiteral("E&xport"), this);
    m_pPropertiesButton = new QPushButton(QStringLiteral("&Properties"), this);
    m_pSearchButton = new QPushButton(QStringLiteral("&Search"), this);
    m_pCloseButton = new QPushButton(QStringLiteral("&Close"), this);
    for (QPushButton* button : {m_pViewModifyButton, m_pRenameButton, m_pDeleteButton,
                                m_pExportButton, m_pPropertiesButton, m_pCloseButton})
        button->setAutoDefault(false);
    m_pSearchButton->setDefault(true);

    auto* fields = new QGridLayout;
    fields->addWidget(baseLabel, 0, 0);
    fields->addWidget(m_pBaseDNEdit, 0, 1);
    fields->addWidget(filterLabel, 1, 0);
    fields->addWidget(m_pFilterEdit, 1, 1);
    auto* commandButtons = new QVBoxLayout;
    commandButtons->addWidget(m_pViewModifyButton);
    commandButtons->addWidget(m_pRenameButton);
    commandButtons->addWidget(m_pDeleteButton);
    commandButtons->addWidget(m_pExportButton);
    commandButtons->addWidget(m_pPropertiesButton);
    commandButtons->addStretch(1);
    auto* middle = new QHBoxLayout;
    middle->addWidget(m_pResultList, 1);
    middle->addLayout(commandButtons);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(m_pSearchButton);
    bottom->addWidget(m_pCloseButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(middle, 1);
    layout->addLayout(bottom);
    resize(ui::dialogUnits(*this, 330, 230));

    connect(m_pSearchButton, &QPushButton::clicked, this, [this]() { OnSearch(); });
    connect(m_pCloseButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_pViewModifyButton, &QPushButton::clicked, this, [this]() { OnViewModify(); });
    connect(m_pRenameButton, &QPushButton::clicked, this, [this]() { OnRename(); });
    connect(m_pDeleteButton, &QPushButton::clicked, this, [this]() { OnDelete(); });
    connect(m_pExportButton, &QPushButton::clicked, this, [this]() { OnExport(); });
    connect(m_pPropertiesButton, &QPushButton::clicked, this, [this]() { OnProperties(); });
    // Selections, not the current line: a list taking the focus makes its
    // first line current without anyone choosing it.
    connect(m_pResultList, &QListWidget::itemSelectionChanged, this, [this]() { onSelectionChanged(); });
    connect(m_pResultList, &QListWidget::customContextMenuRequested, this,
            [this](const QPoint& point) { showContextMenuAt(point); });

    m_pBaseDNEdit->setText(QString());
    m_pFilterEdit->setText(QString::fromWCharArray(defaultFilter()));
    if (m_pModel.getObject() != nullptr) {
        m_pObserver = ui::ObserverBridge::create(this, m_pModel.getObject());
        m_pModel->setSearchObserver(m_pObserver);
    }
    m_bInitializing = false;
}

CDialogSearchRecord::~CDialogSearchRecord()
{
    // The bridge drops calls once the dialog is gone; leave no stale
    // observer in the model's slot all the same.
    if (m_pModel.getObject() != nullptr && m_pObserver.get() != nullptr &&
        m_pModel->getSearchObserver().get() == m_pObserver.get())
        m_pModel->setSearchObserver(gc_ptr<ldapmodel::ModelObserver>());
}

void CDialogSearchRecord::setBaseDN(const std::wstring& baseDN)
{
    m_pBaseDNEdit->setText(QString::fromStdWString(baseDN));
}

std::vector<std::wstring> CDialogSearchRecord::getResults() const
{
    std::vector<std::wstring> results;
    results.reserve(static_cast<std::size_t>(m_pResultList->count()));
    for (int row = 0; row < m_pResultList->count(); ++row)
        results.push_back(m_pResultList->item(row)->text().toStdWString());
    return results;
}

int CDialogSearchRecord::OnSearch()
{
    DIRLOOK_GUARD(L"DialogSearchRecord");
    util::TraceScope trace(L"CDialogSearchRecord::OnSearch");
    if (m_bInitializing)
        return -1;
    if (m_pModel.getObject() == nullptr)
        return -1;
    Model& model = *m_pModel;
    m_strBaseDN = m_pBaseDNEdit->text().toStdWString();
    m_strFilter = m_pFilterEdit->text().toStdWString();
    log()->write(L"CDialogSearchRecord::OnSearch base %s filter %s", m_strBaseDN.c_str(),
                 m_strFilter.c_str());
    m_pResultList->clear();
    m_iSelectedIndex = -1;

    model.setSearchObserver(m_pObserver);
    CProgressBar progress(model.getSizeLimit(), this);
    progress.getLabel()->setText(QStringLiteral("Searching: "));
    model.setProgressObserver(progress.getObserver());
    m_bSearching = true;
    model.searchSubtree(m_strBaseDN, m_strFilter, {L"description"});
    const int result = ui::dialogs().exec(progress);
    if (result == CProgressBar::StopResult || progress.isStopped()) {
        log()->write(L"CDialogSearchRecord::OnSearch stopped");
        model.requestStop();
        model.stopBackground();
    } else {
        model.clearStopRequest();
    }
    // The worker is done with the session once it has been joined.
    model.waitBackground();
    // Whatever the worker found before it ended is queued for this thread:
    // list it now, so that a later search starts from an empty list.
    QCoreApplication::sendPostedEvents(QCoreApplication::instance(), QEvent::MetaCall);
    m_bSearching = false;
    // The line selected while the search ran is shown now.
    if (selectedRow() >= 0)
        onSelectionChanged();
    m_pResultList->setFocus(Qt::OtherFocusReason);
    return 0;
}

void CDialogSearchRecord::onEntryFound(const std::wstring& dn)
{
    DIRLOOK_GUARD(L"DialogSearchRecord");
    // Lines that carry their size spare the list laying out every line
    // again whenever one more arrives.
    auto* line = new QListWidgetItem(QString::fromStdWString(dn));
    line->setSizeHint(m_pLineSizer->sizeFor(line->text()));
    m_pResultList->addItem(line);
    if (selectedRow() != 0)
        m_pResultList->setCurrentRow(0);  // a selection change
    else
        onSelectionChanged();
}

void CDialogSearchRecord::onSelectionChanged()
{
    DIRLOOK_GUARD(L"DialogSearchRecord");
    util::TraceScope trace(L"CDialogSearchRecord::onSelectionChanged");
    const int row = selectedRow();
    m_iSelectedIndex = row;
    // The running search owns the session: the entry is read once it ends.
    if (row < 0 || m_pModel.getObject() == nullptr || m_bSearching)
        return;
    m_pModel->setActiveEntry(m_pResultList->item(row)->text().toStdWString());
    m_pResultList->setFocus(Qt::OtherFocusReason);
}

ui::FrameCommands& CDialogSearchRecord::frameCommands()
{
    if (m_pCommands != nullptr)
        return *m_pCommands;
    if (m_pFrameCommands == nullptr)
        m_pFrameCommands = std::make_unique<ui::MainFrameCommands>(CMainFrame::fromWidget(this));
    return *m_pFrameCommands;
}

int CDialogSearchRecord::runFrameCommand(const char* handlerName)
{
    return frameCommands().runCommand(handlerName);
}

int CDialogSearchRecord::OnViewModify()
{
    util::TraceScope trace(L"CDialogSearchRecord::OnViewModify");
    return runFrameCommand("OnEntryModify");
}

int CDialogSearchRecord::selectedRow() const
{
    const QList<QListWidgetItem*> selected = m_pResultList->selectedItems();
    return selected.isEmpty() ? -1 : m_pResultList->row(selected.first());
}

int CDialogSearchRecord::OnRename()
{
    DIRLOOK_GUARD(L"DialogSearchRecord");
    util::TraceScope trace(L"CDialogSearchRecord::OnRename");
    const int row = selectedRow();
    const int result = runFrameCommand("OnEntryRename");
    if (result != 0 || row < 0 || row >= m_pResultList->count() || m_pModel.getObject() == nullptr)
        return result;
    // A rename that went through made the new DN the active entry.
    const std::wstring newDN = m_pModel->getActiveEntryDN();
    const QString text = QString::fromStdWString(newDN);
    if (newDN.empty() || text == m_pResultList->item(row)->text())
        return result;
    m_pResultList->item(row)->setText(text);
    m_pResultList->item(row)->setSizeHint(m_pLineSizer->sizeFor(text));
    m_pResultList->setCurrentRow(row);
    m_iSelectedIndex = row;
    return result;
}

int CDialogSearchRecord::OnDelete()
{
    DIRLOOK_GUARD(L"DialogSearchRecord");
    util::TraceScope trace(L"CDialogSearchRecord::OnDelete");
    const int row = selectedRow();
    const int result = runFrameCommand("OnEntryDelete");
    if (result != 0 || row < 0 || row >= m_pResultList->count() || m_pModel.getObject() == nullptr)
        return result;
    // Only a line whose entry is really gone is removed.
    const std::wstring dn = m_pResultList->item(row)->text().toStdWString();
    if (m_pModel->entryExists(dn))
        return result;
    const QSignalBlocker blocker(m_pResultList);
    delete m_pResultList->takeItem(row);
    m_pResultList->setCurrentRow(-1);
    m_iSelectedIndex = -1;
    return result;
}

int CDialogSearchRecord::OnExport()
{
    util::TraceScope trace(L"CDialogSearchRecord::OnExport");
    return runFrameCommand("OnLdifExport");
}

int CDialogSearchRecord::OnProperties()
{
    util::TraceScope trace(L"CDialogSearchRecord::OnProperties");
    return runFrameCommand("OnSearchProperties");
}

QMenu* CDialogSearchRecord::createContextMenu(QWidget* parent)
{
    auto* menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("ContextDialogSearch"));
    connect(menu->addAction(QStringLiteral("&Modify-View Entry\tCtrl+M")), &QAction::triggered, this,
            [this]() { OnViewModify(); });
    connect(menu->addAction(QStringLiteral("&Rename Entry\tCtrl+R")), &QAction::triggered, this,
            [this]() { OnRename(); });
    connect(menu->addAction(QStringLiteral("&Delete Entry\tCtrl+Del")), &QAction::triggered, this,
            [this]() { OnDelete(); });
    menu->addSeparator();
    connect(menu->addAction(QStringLiteral("E&xport to Ldif file")), &QAction::triggered, this,
            [this]() { OnExport(); });
    return menu;
}

bool CDialogSearchRecord::selectLineAt(const QPoint& viewportPoint)
{
    QListWidgetItem* item = m_pResultList->itemAt(viewportPoint);
    if (item == nullptr)
        return false;
    const int row = m_pResultList->row(item);
    if (selectedRow() != row)
        m_pResultList->setCurrentRow(row);
    else
        onSelectionChanged();
    return true;
}

void CDialogSearchRecord::showContextMenuAt(const QPoint& viewportPoint)
{
    DIRLOOK_GUARD(L"DialogSearchRecord");
    if (!selectLineAt(viewportPoint))
        return;
    std::unique_ptr<QMenu> menu(createContextMenu(this));
    menu->exec(m_pResultList->viewport()->mapToGlobal(viewportPoint));
}
