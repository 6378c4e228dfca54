#include "services/WaitWindow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

WaitWindow::WaitWindow(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("WaitWindow"));
    setWindowTitle(QStringLiteral("Dirlook"));
    setWindowModality(Qt::ApplicationModal);
    m_pLabel = new QLabel(this);
    m_pLabel->setMinimumWidth(320);
    m_pLabel->setWordWrap(true);
    m_pCancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    m_pCancelButton->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_pCancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pLabel);
    layout->addLayout(buttons);

    connect(m_pCancelButton, &QPushButton::clicked, this, &WaitWindow::reject);
}

WaitWindow::~WaitWindow() = default;

void WaitWindow::setText(const QString& text)
{
    if (m_pLabel->text() != text)
        m_pLabel->setText(text);
}

void WaitWindow::reject()
{
    m_bCancelled = true;
    m_pCancelButton->setEnabled(false);
}
