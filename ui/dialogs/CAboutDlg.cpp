#include "dialogs/CAboutDlg.h"

#include "services/CommandIcons.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

const char* const CAboutDlg::kSupportAddress = "dirlook-support@example.org";

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutDlg"));
    setWindowTitle(QStringLiteral("About Dirlook"));

    auto* image = new QLabel(this);
    image->setPixmap(ui::applicationIcon().pixmap(48, 48));
    image->setAlignment(Qt::AlignTop);

    m_pName = new QLabel(QStringLiteral("<b>Dirlook</b> version %1").arg(QStringLiteral(DIRLOOK_VERSION)),
                         this);
    m_pName->setObjectName(QStringLiteral("ProgramName"));
    auto* purpose = new QLabel(QStringLiteral("A browser and editor for LDAP v3 directories"), this);
    m_pCopyright =
        new QLabel(QStringLiteral("Copyright \u00A9 2024-2025 The Dirlook developers"), this);
    m_pCopyright->setObjectName(QStringLiteral("Copyright"));
    const QString address = QString::fromLatin1(kSupportAddress);
    m_pMail = new QLabel(
        QStringLiteral("<a href=\"mailto:%1\">%1</a>").arg(address.toHtmlEscaped()), this);
    m_pMail->setObjectName(QStringLiteral("MailLink"));
    m_pMail->setTextFormat(Qt::RichText);
    m_pMail->setTextInteractionFlags(Qt::TextBrowserInteraction);
    m_pMail->setOpenExternalLinks(true);

    auto* text = new QVBoxLayout;
    text->addWidget(m_pName);
    text->addWidget(purpose);
    text->addWidget(m_pCopyright);
    text->addWidget(m_pMail);

    auto* top = new QHBoxLayout;
    top->addWidget(image);
    top->addSpacing(12);
    top->addLayout(text, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(buttons);
}

CAboutDlg::~CAboutDlg() = default;
