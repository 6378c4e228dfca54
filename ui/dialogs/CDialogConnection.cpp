#include "dialogs/CDialogConnection.h"

#include "dialogs/CDialogConnectionProperties.h"
#include "faults/FaultGuard.h"
#include "logging/Log.h"
#include "logging/Trace.h"
#include "profiles/Directories.h"
#include "services/CommandGlyphs.h"
#include "services/DialogService.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <vector>

using memorylib::gc_ptr;
using ldapmodel::ConnectionFiles;
using ldapmodel::Directories;

CDialogConnection::CDialogConnection(QWidget* parent) : QDialog(parent)
{
    DIRLOOK_GUARD(L"CDialogConnection.cpp");
    util::TraceScope trace(L"CDialogConnection::CDialogConnection");
    setObjectName(QStringLiteral("DialogConnection"));
    setWindowTitle(QStringLiteral("Connection"));

    m_pList = new QListWidget(this);
    m_pList->setObjectName(QStringLiteral("ConnectionList"));
    m_pList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pList->setMinimumWidth(260);

    auto makeButton = [this](const QString& text, const QString& name) {
        auto* button = new QPushButton(text, this);
        button->setObjectName(name);
        button->setAutoDefault(false);
        return button;
    };
    m_pConnectButton = makeButton(QStringLiteral("C&onnect"), QStringLiteral("Connect"));
    m_pConnectButton->setDefault(true);
    m_pNewButton = makeButton(QStringLiteral("&New"), QStringLiteral("New"));
    m_pPropertiesButton = makeButton(QStringLiteral("&Properties"), QStringLiteral("Properties"));
    m_pCopyButton = makeButton(QStringLiteral("&Copy"), QStringLiteral("Copy"));
    m_pDeleteButton = makeButton(QStringLiteral("&Delete"), QStringLiteral("Delete"));
    m_pBrowseButton = makeButton(QStringLiteral("&Browse"), QStringLiteral("Browse"));
    m_pCancelButton = makeButton(QStringLiteral("Cancel"), QStringLiteral("Cancel"));

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(m_pConnectButton);
    buttons->addSpacing(8);
    buttons->addWidget(m_pNewButton);
    buttons->addWidget(m_pPropertiesButton);
    buttons->addWidget(m_pCopyButton);
    buttons->addWidget(m_pDeleteButton);
    buttons->addStretch(1);
    buttons->addWidget(new QLabel(QStringLiteral("Config directory"), this));
    buttons->addWidget(m_pBrowseButton);
    buttons->addSpacing(8);
    buttons->addWidget(m_pCancelButton);

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_pList, 1);
    layout->addLayout(buttons);

    connect(m_pList, &QListWidget::currentTextChanged, this, [this](const QString& text) {
        if (!text.isEmpty())
            m_strConnectionName = text.toStdWString();
    });
    connect(m_pList, &QListWidget::itemDoubleClicked, this, [this]() { OnConnect(); });
    connect(m_pConnectButton, &QPushButton::clicked, this, [this]() { OnConnect(); });
    connect(m_pNewButton, &QPushButton::clicked, this, [this]() { OnNew(); });
    connect(m_pPropertiesButton, &QPushButton::clicked, this, [this]() { OnProperties(); });
    connect(m_pCopyButton, &QPushButton::clicked, this, [this]() { OnCopy(); });
    connect(m_pDeleteButton, &QPushButton::clicked, this, [this]() { OnDelete(); });
    connect(m_pBrowseButton, &QPushButton::clicked, this, [this]() { OnBrowse(); });
    connect(m_pCancelButton, &QPushButton::clicked, this, &QDialog::reject);

    Directories::changeToBaseDirectory();
    readProfiles();
    lookUpActiveConnection();
    m_strFilter = L"(objectclass=*)";
}

CDialogConnection::~CDialogConnection() = default;

int CDialogConnection::readProfiles()
{
    DIRLOOK_GUARD(L"CDialogConnection.cpp");
    util::TraceScope trace(L"CDialogConnection::readProfiles");
    m_pList->clear();
    const std::wstring directory = Directories::getConnectionsDirectory();
    m_pConnectionFiles = new ConnectionFiles(directory, ConnectionFiles::kPattern);
    std::vector<std::wstring> fileNames;
    m_pConnectionFiles->listFileNames(fileNames);
    for (const std::wstring& fileName : fileNames) {
        std::wstring name;
        if (!ConnectionFiles::profileNameOf(fileName, name))
            continue;
        auto* line = new QListWidgetItem(QString::fromStdWString(name), m_pList);
        using Security = ldapmodel::ConnectionPropertyFile::Security;
        const gc_ptr<ldapmodel::ConnectionPropertyFile> profile = m_pConnectionFiles->findByName(name);
        const Security security = profile.get() != nullptr ? profile->getSecurity() : Security::None;
        if (security == Security::Ldaps || security == Security::StartTls) {
            line->setIcon(ui::drawnPadlockIcon());
            line->setToolTip(security == Security::Ldaps ? QStringLiteral("LDAPS: encrypted")
                                                         : QStringLiteral("StartTLS: encrypted"));
        } else if (security == Security::None) {
            line->setToolTip(QStringLiteral("Not encrypted: the password goes in clear text"));
        }
    }
    // A missing directory (every first start) or an empty one simply has no
    // profiles; one that is there but can't be read is reported.
    const QFileInfo connections(QString::fromStdWString(directory));
    const bool missing = !directory.empty() && !connections.exists() && !connections.isSymLink();
    if (!missing && (directory.empty() || !connections.isDir() || !connections.isReadable()
                     || !connections.isExecutable())) {
        util::messageBox(L"Connection", L"Can't read connection files, please reinstall the program",
                         util::BoxIcon::Warning, util::BoxButtons::Ok);
        return -1;
    }
    return 0;
}

void CDialogConnection::lookUpActiveConnection()
{
    m_pActiveConnection = m_pConnectionFiles.get() != nullptr
                              ? m_pConnectionFiles->findByName(m_strConnectionName)
                              : gc_ptr<ldapmodel::ConnectionPropertyFile>();
}

bool CDialogConnection::requireSelection()
{
    if (m_pList->currentItem() != nullptr && m_pList->currentItem()->isSelected()) {
        m_strConnectionName = m_pList->currentItem()->text().toStdWString();
        return true;
    }
    util::messageBox(L"Warning", L"Please select a connection", util::BoxIcon::Warning,
                     util::BoxButtons::Ok);
    return false;
}

bool CDialogConnection::takeProfileValues()
{
    lookUpActiveConnection();
    if (m_pActiveConnection.get() == nullptr)
        return false;
    m_strConnectionName = m_pActiveConnection->getName();
    m_strHostname = m_pActiveConnection->getHostName();
    m_iPortnumber = m_pActiveConnection->getPortNumber();
    m_strBaseDn = m_pActiveConnection->getBaseDn();
    m_bAnonymous = m_pActiveConnection->getAnonymous();
    m_strUserdn = m_pActiveConnection->getUserDn();
    m_strPassword = m_pActiveConnection->getUserPassword();
    m_security = m_pActiveConnection->getSecurity();
    m_strSecurityText = m_pActiveConnection->getSecurityText();
    m_strCaFile = m_pActiveConnection->getCaCertificate();
    util::Log::getLog(L"ldapmodel")
        ->write(L"CDialogConnection profile %s host %s port %d user %s",
                m_strConnectionName.c_str(), m_strHostname.c_str(), m_iPortnumber,
                m_strUserdn.c_str());
    return true;
}

int CDialogConnection::OnConnect()
{
    DIRLOOK_GUARD(L"CDialogConnection.cpp");
    util::TraceScope trace(L"CDialogConnection::OnConnect");
    if (!requireSelection())
        return -1;
    // A line whose file holds another name (or can no longer be read) has
    // nothing to connect with: stay open rather than connect to nowhere.
    if (!takeProfileValues()) {
        util::messageBox(L"Warning", L"Please select a connection", util::BoxIcon::Warning,
                         util::BoxButtons::Ok);
        return -1;
    }
    done(ConnectResult);
    return 0;
}

int CDialogConnection::connectTo(const std::wstring& name)
{
    const QList<QListWidgetItem*> lines =
        m_pList->findItems(QString::fromStdWString(name), Qt::MatchExactly);
    m_pList->setCurrentItem(lines.isEmpty() ? nullptr : lines.first());
    return OnConnect();
}

int CDialogConnection::OnNew()
{
    DIRLOOK_GUARD(L"CDialogConnection.cpp");
    util::TraceScope trace(L"CDialogConnection::OnNew");
    CDialogConnectionProperties::Values values;
    values.name = L"New Connection";
    values.portnumber = 389;
    values.anonymous = true;
    CDialogConnectionProperties editor(values, true, m_pConnectionFiles, this);
    if (ui::dialogs().exec(editor) != CDialogConnectionProperties::SaveResult)
        return -1;
    readProfiles();
    return 0;
}

int CDialogConnection::OnProperties()
{
    DIRLOOK_GUARD(L"CDialogConnection.cpp");
    util::TraceScope trace(L"CDialogConnection::OnProperties");
    if (!requireSelection())
        return -1;
    takeProfileValues();
    CDialogConnectionProperties::Values values;
    values.name = m_strConnectionName;
    values.hostname = m_strHostname;
    values.portnumber = m_iPortnumber;
    values.baseDn = m_strBaseDn;
    values.anonymous = m_bAnonymous;
    values.userDn = m_strUserdn;
    values.password = m_strPassword;
    values.security = m_security;
    values.securityText = m_strSecurityText;
    values.caFile = m_strCaFile;
    CDialogConnectionProperties editor(values, false, m_pConnectionFiles, this);
    if (ui::dialogs().exec(editor) != CDialogConnectionProperties::SaveResult)
        return -1;
    readProfiles();
    return 0;
}

int CDialogConnection::OnCopy()
{
    DIRLOOK_GUARD(L"CDialogConnection.cpp");
    if (!requireSelection())
        return -1;
    util::messageBox(L"Copy connection", L"In the following dialog change the name and click Save",
                     util::BoxIcon::Information, util::BoxButtons::Ok);
    return OnProperties();
}

int CDialogConnection::OnDelete()
{
    DIRLOOK_GUARD(L"CDialogConnection.cpp");
    util::TraceScope trace(L"CDialogConnection::OnDelete");
    if (!requireSelection())
        return -1;
    const std::wstring name = m_strConnectionName;
    const util::BoxAnswer answer =
        util::messageBox(L"Warning", L"Are you sure you want to delete entry:\n" + name + L" ?",
                         util::BoxIcon::Warning, util::BoxButtons::YesNo);
    if (answer == util::BoxAnswer::No)
        return -1;
    if (m_pConnectionFiles.get() != nullptr)
        m_pConnectionFiles->removeByName(name);
    m_pActiveConnection = gc_ptr<ldapmodel::ConnectionPropertyFile>();
    delete m_pList->currentItem();
    util::Log::getLog(L"ldapmodel")->write(L"CDialogConnection::OnDelete %s", name.c_str());
    readProfiles();
    return 0;
}

int CDialogConnection::OnBrowse()
{
    DIRLOOK_GUARD(L"CDialogConnection.cpp");
    util::TraceScope trace(L"CDialogConnection::OnBrowse");
    util::messageBox(
        L"Info",
        L"Select the \"config\" directory with the \"*.connectionProperties\" files\n"
        L"It is better to copy the config directory in the same directory with the executable.\n"
        L" The connectionProperties files should be in a directorynamed config at the same level "
        L"with the executable.",
        util::BoxIcon::Warning, util::BoxButtons::Ok);
    const std::optional<QString> folder = ui::dialogs().getExistingDirectory(
        this, QStringLiteral("Choose config directory"),
        QString::fromStdWString(Directories::getBaseDirectory()));
    std::optional<std::wstring> chosen;
    if (folder)
        chosen = folder->toStdWString();
    Directories::relocate(chosen);
    readProfiles();
    lookUpActiveConnection();
    return 0;
}
