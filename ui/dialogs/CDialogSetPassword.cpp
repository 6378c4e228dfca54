#include "dialogs/CDialogSetPassword.h"

#include "faults/FaultGuard.h"
#include "logging/Trace.h"
#include "services/Settings.h"
#include "utilities/MessageBox.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

#include <algorithm>

using ldapmodel::PasswordHash;
using ldapmodel::PasswordScheme;

namespace {

const char kSchemeKey[] = "passwords/scheme";

struct SchemeChoice {
    PasswordScheme scheme;
    const char* label;
    const char* key;  // as remembered in the settings
};

const SchemeChoice kChoices[] = {
    {PasswordScheme::Ssha, "{SSHA}", "SSHA"},
    {PasswordScheme::Ssha256, "{SSHA256}", "SSHA256"},
    {PasswordScheme::Ssha512, "{SSHA512}", "SSHA512"},
    {PasswordScheme::CryptSha512, "{CRYPT} SHA-512 crypt", "CRYPT"},
    {PasswordScheme::ClearText, "Clear text", ""},
};

void warn(const wchar_t* text)
{
    util::messageBox(L"Set Password", text, util::BoxIcon::Warning, util::BoxButtons::Ok);
}

} // namespace

CDialogSetPassword::CDialogSetPassword(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("DialogSetPassword"));
    setWindowTitle(QStringLiteral("Set Password"));
    setModal(true);

    m_pEntryLabel = new QLabel(this);
    m_pEntryLabel->setTextFormat(Qt::PlainText);
    m_pPasswordEdit = new QLineEdit(this);
    m_pPasswordEdit->setEchoMode(QLineEdit::Password);
    m_pConfirmEdit = new QLineEdit(this);
    m_pConfirmEdit->setEchoMode(QLineEdit::Password);
    m_pSchemeBox = new QComboBox(this);
    for (const SchemeChoice& choice : kChoices)
        m_pSchemeBox->addItem(QString::fromLatin1(choice.label), static_cast<int>(choice.scheme));
    m_pWarningLabel = new QLabel(
        QStringLiteral("The password is stored as typed: whoever can read userPassword can read it."),
        this);
    m_pWarningLabel->setWordWrap(true);
    m_pWarningLabel->setStyleSheet(QStringLiteral("color: #c00000;"));
    m_pOkButton = new QPushButton(QStringLiteral("OK"), this);
    m_pOkButton->setDefault(true);
    m_pCancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    m_pCancelButton->setAutoDefault(false);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Entry:"), m_pEntryLabel);
    form->addRow(QStringLiteral("&New password:"), m_pPasswordEdit);
    form->addRow(QStringLiteral("&Confirm password:"), m_pConfirmEdit);
    form->addRow(QStringLiteral("&Scheme:"), m_pSchemeBox);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_pOkButton);
    buttons->addWidget(m_pCancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_pWarningLabel);
    layout->addLayout(buttons);

    connect(m_pSchemeBox, &QComboBox::currentIndexChanged, this, [this]() { updateWarning(); });
    connect(m_pOkButton, &QPushButton::clicked, this, &CDialogSetPassword::accept);
    connect(m_pCancelButton, &QPushButton::clicked, this, &CDialogSetPassword::reject);

    const QString remembered = ui::openSettings()->value(QLatin1String(kSchemeKey)).toString();
    setScheme(PasswordScheme::Ssha);
    for (const SchemeChoice& choice : kChoices) {
        if (*choice.key != '\0' && remembered == QLatin1String(choice.key))
            setScheme(choice.scheme);
    }
    updateWarning();
    m_pPasswordEdit->setFocus(Qt::OtherFocusReason);
}

CDialogSetPassword::~CDialogSetPassword() = default;

void CDialogSetPassword::setEntryDN(const std::wstring& dn)
{
    m_pEntryLabel->setText(QString::fromStdWString(dn));
}

PasswordScheme CDialogSetPassword::getScheme() const
{
    return static_cast<PasswordScheme>(m_pSchemeBox->currentData().toInt());
}

void CDialogSetPassword::setScheme(PasswordScheme scheme)
{
    const int index = m_pSchemeBox->findData(static_cast<int>(scheme));
    if (index >= 0)
        m_pSchemeBox->setCurrentIndex(index);
}

void CDialogSetPassword::updateWarning()
{
    m_pWarningLabel->setVisible(getScheme() == PasswordScheme::ClearText);
}

void CDialogSetPassword::accept()
{
    DIRLOOK_GUARD(L"DialogSetPassword");
    util::TraceScope trace(L"CDialogSetPassword::accept");
    const QString password = m_pPasswordEdit->text();
    if (password.isEmpty()) {
        warn(L"Please type the new password.");
        return;
    }
    if (password != m_pConfirmEdit->text()) {
        warn(L"The two passwords differ.");
        m_pConfirmEdit->clear();
        return;
    }
    const PasswordScheme scheme = getScheme();
    if (scheme == PasswordScheme::ClearText
        && util::messageBox(L"Set Password",
                            L"The password will be stored in clear text: whoever can read "
                            L"userPassword can read it.\nStore it in clear text?",
                            util::BoxIcon::Warning, util::BoxButtons::YesNo, util::BoxAnswer::No)
               != util::BoxAnswer::Yes)
        return;
    std::string bytes = password.toStdString();
    m_value = PasswordHash::make(scheme, bytes);
    std::fill(bytes.begin(), bytes.end(), '\0');
    if (m_value.empty()) {
        warn(L"The password could not be hashed.");
        return;
    }
    m_pPasswordEdit->clear();
    m_pConfirmEdit->clear();
    for (const SchemeChoice& choice : kChoices) {
        if (choice.scheme == scheme && *choice.key != '\0')
            ui::openSettings()->setValue(QLatin1String(kSchemeKey), QLatin1String(choice.key));
    }
    done(QDialog::Accepted);
}
