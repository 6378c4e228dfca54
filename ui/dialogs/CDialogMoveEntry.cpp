#include "dialogs/CDialogMoveEntry.h"

#include "faults/FaultGuard.h"
#include "frame/DialogFrameCommands.h"
#include "session/DistinguishedName.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int kDnRole = Qt::UserRole;
constexpr int kReadRole = Qt::UserRole + 1;

} // namespace

CDialogMoveEntry::CDialogMoveEntry(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("DialogMoveEntry"));
    setWindowTitle(QStringLiteral("Move entry"));
    setModal(true);

    auto* entryCaption = new QLabel(QStringLiteral("Entry to move"), this);
    m_pEntryLabel = new QLabel(this);
    m_pEntryLabel->setTextFormat(Qt::PlainText);
    m_pEntryLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* parentCaption = new QLabel(QStringLiteral("&New parent DN"), this);
    m_pEdit = new QLineEdit(this);
    parentCaption->setBuddy(m_pEdit);
    m_pPicker = new QTreeWidget(this);
    m_pPicker->setObjectName(QStringLiteral("ParentPicker"));
    m_pPicker->setHeaderHidden(true);
    m_pPicker->setColumnCount(1);
    m_pPicker->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pOkButton = new QPushButton(QStringLiteral("OK"), this);
    m_pOkButton->setDefault(true);
    m_pCancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    m_pCancelButton->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_pOkButton);
    buttons->addWidget(m_pCancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(entryCaption);
    layout->addWidget(m_pEntryLabel);
    layout->addWidget(parentCaption);
    layout->addWidget(m_pEdit);
    layout->addWidget(m_pPicker, 1);
    layout->addLayout(buttons);
    resize(ui::dialogUnits(*this, 260, 220).expandedTo(sizeHint()));

    connect(m_pOkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_pCancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_pPicker, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) { readChildren(item); });
    connect(m_pPicker, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
        if (current != nullptr)
            m_pEdit->setText(QString::fromStdWString(dnOf(current)));
    });
    m_pEdit->setFocus(Qt::OtherFocusReason);
}

CDialogMoveEntry::~CDialogMoveEntry() = default;

void CDialogMoveEntry::setEntry(const std::wstring& dn, const std::wstring& parentDN)
{
    m_strDN = dn;
    m_pEntryLabel->setText(QString::fromStdWString(dn));
    m_pEdit->setText(QString::fromStdWString(parentDN));
}

std::wstring CDialogMoveEntry::dnOf(const QTreeWidgetItem* item)
{
    return item == nullptr ? std::wstring() : item->data(0, kDnRole).toString().toStdWString();
}

QTreeWidgetItem* CDialogMoveEntry::addNode(QTreeWidgetItem* parent, const std::wstring& dn, const QString& label)
{
    auto* item = parent != nullptr ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(m_pPicker);
    item->setText(0, label);
    item->setData(0, kDnRole, QString::fromStdWString(dn));
    item->setData(0, kReadRole, false);
    item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    return item;
}

void CDialogMoveEntry::setRoots(const std::vector<std::wstring>& rootDNs, ChildReader reader)
{
    m_reader = std::move(reader);
    m_pPicker->clear();
    for (const std::wstring& dn : rootDNs)
        addNode(nullptr, dn, QString::fromStdWString(dn));
}

void CDialogMoveEntry::readChildren(QTreeWidgetItem* item)
{
    DIRLOOK_GUARD(L"DialogMoveEntry");
    if (item == nullptr || item->data(0, kReadRole).toBool() || !m_reader)
        return;
    item->setData(0, kReadRole, true);
    for (const std::wstring& dn : m_reader(dnOf(item))) {
        // The entry itself and what lies below it can't take it.
        if (!m_strDN.empty() && ldapmodel::DistinguishedName::isWithin(dn, m_strDN))
            continue;
        addNode(item, dn, QString::fromStdWString(ldapmodel::DistinguishedName::rdn(dn)));
    }
    if (item->childCount() == 0)
        item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

void CDialogMoveEntry::done(int result)
{
    m_strNewParentDN = m_pEdit->text().trimmed().toStdWString();
    QDialog::done(m_strNewParentDN.empty() ? QDialog::Rejected : result);
}
