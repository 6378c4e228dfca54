#include "dialogs/CDialogCheckPassword.h"

#include "faults/FaultGuard.h"
#include "logging/Trace.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

using ldapmodel::PasswordHash;

namespace {

QString schemeText(const std::string& stored)
{
    const std::string scheme = PasswordHash::schemeOf(stored);
    return scheme.empty() ? QStringLiteral("clear-text") : QString::fromStdString(scheme);
}

} // namespace

CDialogCheckPassword::CDialogCheckPassword(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("DialogCheckPassword"));
    setWindowTitle(QStringLiteral("Check Password"));
    setModal(true);

    m_pEntryLabel = new QLabel(this);
    m_pEntryLabel->setTextFormat(Qt::PlainText);
    m_pPasswordEdit = new QLineEdit(this);
    m_pPasswordEdit->setEchoMode(QLineEdit::Password);
    m_pResultLabel = new QLabel(this);
    m_pResultLabel->setObjectName(QStringLiteral("CheckResult"));
    m_pResultLabel->setTextFormat(Qt::PlainText);
    m_pResultLabel->setWordWrap(true);
    m_pCheckButton = new QPushButton(QStringLiteral("&Check"), this);
    m_pCheckButton->setDefault(true);
    m_pCloseButton = new QPushButton(QStringLiteral("Close"), this);
    m_pCloseButton->setAutoDefault(false);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Entry:"), m_pEntryLabel);
    form->addRow(QStringLiteral("&Password:"), m_pPasswordEdit);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_pCheckButton);
    buttons->addWidget(m_pCloseButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_pResultLabel);
    layout->addLayout(buttons);

    connect(m_pCheckButton, &QPushButton::clicked, this, [this]() { OnCheck(); });
    connect(m_pCloseButton, &QPushButton::clicked, this, &QDialog::accept);
    m_pPasswordEdit->setFocus(Qt::OtherFocusReason);
}

CDialogCheckPassword::~CDialogCheckPassword() = default;

void CDialogCheckPassword::setEntryDN(const std::wstring& dn)
{
    m_pEntryLabel->setText(QString::fromStdWString(dn));
}

void CDialogCheckPassword::setStoredValues(std::vector<std::string> values)
{
    m_listStoredValues = std::move(values);
}

PasswordHash::Check CDialogCheckPassword::OnCheck()
{
    DIRLOOK_GUARD(L"DialogCheckPassword");
    util::TraceScope trace(L"CDialogCheckPassword::OnCheck");
    std::string password = m_pPasswordEdit->text().toStdString();
    PasswordHash::Check overall = PasswordHash::Check::Unsupported;
    QString text = QStringLiteral("The entry has no stored password.");
    bool warning = true;
    // Match beats NoMatch beats Malformed beats Unsupported.
    auto rank = [](PasswordHash::Check check) {
        switch (check) {
        case PasswordHash::Check::Match:
            return 3;
        case PasswordHash::Check::NoMatch:
            return 2;
        case PasswordHash::Check::Malformed:
            return 1;
        case PasswordHash::Check::Unsupported:
            break;
        }
        return 0;
    };
    bool any = false;
    for (const std::string& stored : m_listStoredValues) {
        const PasswordHash::Check check = PasswordHash::check(stored, password);
        if (any && rank(check) <= rank(overall))
            continue;
        any = true;
        overall = check;
        switch (check) {
        case PasswordHash::Check::Match:
            text = QStringLiteral("The password matches the stored %1 value.").arg(schemeText(stored));
            warning = false;
            break;
        case PasswordHash::Check::NoMatch:
            text = QStringLiteral("The password does not match.");
            break;
        case PasswordHash::Check::Malformed:
            text = QStringLiteral("The stored %1 value is not a valid hash.").arg(schemeText(stored));
            break;
        case PasswordHash::Check::Unsupported:
            text = QStringLiteral("The stored %1 value can't be checked here.").arg(schemeText(stored));
            break;
        }
    }
    std::fill(password.begin(), password.end(), '\0');
    m_pResultLabel->setText(text);
    m_pResultLabel->setStyleSheet(warning ? QStringLiteral("color: #c00000;")
                                          : QStringLiteral("color: #007000;"));
    m_pPasswordEdit->selectAll();
    return overall;
}
