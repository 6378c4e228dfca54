#include "dialogs/CDialogRenameEntry.h"

#include "faults/FaultGuard.h"
#include "frame/DialogFrameCommands.h"
#include "logging/Trace.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

CDialogRenameEntry::CDialogRenameEntry(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("DialogRenameEntry"));
    setWindowTitle(QStringLiteral("Rename entry"));
    setModal(true);

    auto* caption = new QLabel(QStringLiteral("Enter the new Relative DN"), this);
    m_pEdit = new QLineEdit(this);
    caption->setBuddy(m_pEdit);
    m_pOkButton = new QPushButton(QStringLiteral("OK"), this);
    m_pOkButton->setDefault(true);
    m_pCancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    m_pCancelButton->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_pOkButton);
    buttons->addWidget(m_pCancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(caption);
    layout->addWidget(m_pEdit);
    layout->addStretch(1);
    layout->addLayout(buttons);
    resize(ui::dialogUnits(*this, 186, 84).expandedTo(sizeHint()));

    connect(m_pOkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_pCancelButton, &QPushButton::clicked, this, &QDialog::reject);
    focusEdit();
}

CDialogRenameEntry::~CDialogRenameEntry() = default;

void CDialogRenameEntry::setInitialText(const std::wstring& text)
{
    m_strInitialText = text;
    m_pEdit->setText(QString::fromStdWString(text));
    m_pEdit->deselect();
    m_pEdit->end(false);
}

void CDialogRenameEntry::focusEdit()
{
    m_pEdit->setFocus(Qt::OtherFocusReason);
    m_pEdit->deselect();
    m_pEdit->end(false);
}

void CDialogRenameEntry::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Once the dialog is up: whatever focus the window gave first, the
    // edit box takes it, unselected, caret at the end.
    QTimer::singleShot(0, this, [this]() { focusEdit(); });
}

void CDialogRenameEntry::done(int result)
{
    DIRLOOK_GUARD(L"DialogRenameEntry");
    util::TraceScope trace(L"CDialogRenameEntry::done");
    m_strNewRDN = m_pEdit->text().toStdWString();
    QDialog::done(m_strNewRDN.empty() ? QDialog::Rejected : result);
}
