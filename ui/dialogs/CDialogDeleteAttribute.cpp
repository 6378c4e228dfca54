#include "dialogs/CDialogDeleteAttribute.h"

#include "faults/FaultGuard.h"
#include "frame/DialogFrameCommands.h"
#include "logging/Trace.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

CDialogDeleteAttribute::CDialogDeleteAttribute(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("DialogDeleteAttribute"));
    setWindowTitle(QStringLiteral("Delete Attribute"));
    setModal(true);

    m_pSelectedValueButton = new QRadioButton(QStringLiteral("SelectedValue"), this);
    m_pAllValuesButton = new QRadioButton(QStringLiteral("AllValues"), this);
    m_pSelectedValueButton->setChecked(true);
    m_pOkButton = new QPushButton(QStringLiteral("OK"), this);
    m_pOkButton->setDefault(true);
    m_pCancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    m_pCancelButton->setAutoDefault(false);

    auto* choices = new QVBoxLayout;
    choices->addWidget(m_pSelectedValueButton);
    choices->addWidget(m_pAllValuesButton);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(m_pOkButton);
    buttons->addWidget(m_pCancelButton);
    buttons->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(choices, 1);
    layout->addLayout(buttons);
    resize(ui::dialogUnits(*this, 186, 71).expandedTo(sizeHint()));

    connect(m_pOkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_pCancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

CDialogDeleteAttribute::~CDialogDeleteAttribute() = default;

void CDialogDeleteAttribute::done(int result)
{
    DIRLOOK_GUARD(L"DialogDeleteAttribute");
    util::TraceScope trace(L"CDialogDeleteAttribute::done");
    m_bAllValues = !m_pSelectedValueButton->isChecked() && m_pAllValuesButton->isChecked();
    QDialog::done(result);
}
