#include "dialogs/CDialogPreferences.h"

#include "services/PreferenceStore.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

CDialogPreferences::CDialogPreferences(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("DialogPreferences"));
    setWindowTitle(QStringLiteral("Preferences"));
    setModal(true);

    auto* rows = new QFormLayout;
    for (const ui::PreferenceStore::Field& field : ui::PreferenceStore::fields()) {
        auto* spin = new QSpinBox(this);
        spin->setObjectName(field.key);
        spin->setRange(field.minimum, field.maximum);
        rows->addRow(field.label, spin);
        m_fields.push_back(spin);
    }
    for (const ui::PreferenceStore::Switch& field : ui::PreferenceStore::switches()) {
        auto* check = new QCheckBox(field.label, this);
        check->setObjectName(field.key);
        rows->addRow(check);
        m_switches.push_back(check);
    }
    m_pOkButton = new QPushButton(QStringLiteral("OK"), this);
    m_pOkButton->setDefault(true);
    m_pCancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_pOkButton);
    buttons->addWidget(m_pCancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(rows);
    layout->addLayout(buttons);

    connect(m_pOkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_pCancelButton, &QPushButton::clicked, this, &QDialog::reject);
    setPreferences(ldapmodel::Preferences());
}

CDialogPreferences::~CDialogPreferences() = default;

void CDialogPreferences::setPreferences(const ldapmodel::Preferences& preferences)
{
    const auto& fields = ui::PreferenceStore::fields();
    for (std::size_t i = 0; i < fields.size(); ++i)
        m_fields[i]->setValue(preferences.*fields[i].member);
    const auto& switches = ui::PreferenceStore::switches();
    for (std::size_t i = 0; i < switches.size(); ++i)
        m_switches[i]->setChecked(preferences.*switches[i].member);
}

ldapmodel::Preferences CDialogPreferences::getPreferences() const
{
    ldapmodel::Preferences preferences;
    const auto& fields = ui::PreferenceStore::fields();
    for (std::size_t i = 0; i < fields.size(); ++i)
        preferences.*fields[i].member = m_fields[i]->value();
    const auto& switches = ui::PreferenceStore::switches();
    for (std::size_t i = 0; i < switches.size(); ++i)
        preferences.*switches[i].member = m_switches[i]->isChecked();
    return preferences;
}
