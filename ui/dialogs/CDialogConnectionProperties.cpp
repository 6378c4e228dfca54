#include "dialogs/CDialogConnectionProperties.h"

#include "faults/FaultGuard.h"
#include "logging/Log.h"
#include "logging/Trace.h"
#include "model/Server.h"
#include "profiles/Directories.h"
#include "profiles/HostAddress.h"
#include "services/DialogService.h"
#include "utilities/MessageBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <optional>
#include <vector>

using memorylib::gc_ptr;
using ldapmodel::ConnectionFiles;
using ldapmodel::ConnectionPropertyFile;
using Security = ldapmodel::ConnectionPropertyFile::Security;

namespace {

// The Security list's lines.
const Security kSecurityLines[] = {Security::None, Security::Ldaps, Security::StartTls};

int securityLine(Security security)
{
    for (int line = 0; line < 3; ++line) {
        if (kSecurityLines[line] == security)
            return line;
    }
    return -1;
}

int defaultPortOfLine(int line)
{
    return line == 1 ? ldapmodel::kLdapsPort : ldapmodel::kLdapPort;
}

QString wide(const std::wstring& text)
{
    return QString::fromStdWString(text);
}

// A profile name becomes a file name in the connections directory: it must
// name a file there and nothing else.
bool isUsableProfileName(const std::wstring& name)
{
    return !name.empty() && name != L"." && name != L".." && name.find(L'/') == std::wstring::npos
           && name.find(L'\0') == std::wstring::npos;
}

// Why the field's value would not load back from the profile file as it is,
// or an empty text when it would.
struct ProfileField {
    const wchar_t* label;
    const std::wstring& value;
    std::size_t maxLength;
    bool secret;     // its characters are not shown
    bool dashEmpty;  // the file reads "-" back as an empty value
};

std::wstring unstorableReason(const ProfileField& field)
{
    const std::wstring start = std::wstring(L"The ") + field.label + L" field ";
    const wchar_t unstorable = ConnectionPropertyFile::firstUnstorableCharacter(field.value);
    if (unstorable != 0)
        return start + L"holds "
               + (field.secret ? std::wstring(L"a character") : L"\"" + std::wstring(1, unstorable) + L"\", a character")
               + L" that a connection file can't store.\nPlease use only Latin-1 characters (up to U+00FF).";
    if (!field.value.empty() && (field.value[0] == L' ' || field.value[0] == L'\t'))
        return start + L"can't start with a space or a tab.";
    if (field.value.size() > field.maxLength)
        return start + L"can't be longer than " + std::to_wstring(field.maxLength) + L" characters.";
    if (field.dashEmpty && field.value == L"-")
        return start + L"can't be \"-\" alone: a connection file reads it as empty.";
    return std::wstring();
}

} // namespace

CDialogConnectionProperties::CDialogConnectionProperties(
    const Values& values, bool newConnection, const gc_ptr<ConnectionFiles>& files, QWidget* parent)
    : QDialog(parent), m_values(values), m_bNewConnection(newConnection), m_pConnectionFiles(files)
{
    DIRLOOK_GUARD(L"CDialogConnectionProperties.cpp");
    util::TraceScope trace(L"CDialogConnectionProperties::CDialogConnectionProperties");
    setObjectName(QStringLiteral("DialogConnectionProperties"));
    setWindowTitle(QStringLiteral("Connection Properties"));

    auto makeEdit = [this](const QString& name) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(name);
        edit->setMaxLength(kMaxFieldLength);
        edit->setMinimumWidth(320);
        return edit;
    };
    m_pName = makeEdit(QStringLiteral("Name"));
    m_pName->setMaxLength(static_cast<int>(ConnectionPropertyFile::kMaxNameLength));
    m_pHost = makeEdit(QStringLiteral("Host"));
    m_pHost->setMaxLength(static_cast<int>(ConnectionPropertyFile::kMaxHostNameLength));
    m_pPort = makeEdit(QStringLiteral("Port"));
    m_pAnonymous = new QCheckBox(QStringLiteral("Anonymous"), this);
    m_pAnonymous->setObjectName(QStringLiteral("Anonymous"));
    m_pBaseDn = new QComboBox(this);
    m_pBaseDn->setObjectName(QStringLiteral("BaseDn"));
    m_pBaseDn->setEditable(true);
    m_pBaseDn->setInsertPolicy(QComboBox::NoInsert);
    m_pBaseDn->lineEdit()->setMaxLength(static_cast<int>(ConnectionPropertyFile::kMaxBaseDnLength));
    m_pGetBaseDn = new QPushButton(QStringLiteral("Get Base DN"), this);
    m_pGetBaseDn->setObjectName(QStringLiteral("GetBaseDn"));
    m_pGetBaseDn->setToolTip(QStringLiteral("Get using initial data, to change save then try again"));
    m_pGetBaseDn->setAutoDefault(false);
    m_pUserDn = makeEdit(QStringLiteral("UserDn"));
    m_pUserDn->setMaxLength(static_cast<int>(ConnectionPropertyFile::kMaxUserDnLength));
    m_pPassword = makeEdit(QStringLiteral("Password"));
    m_pPassword->setEchoMode(QLineEdit::Password);
    m_pSecurity = new QComboBox(this);
    m_pSecurity->setObjectName(QStringLiteral("Security"));
    m_pSecurity->addItems({QStringLiteral("None"), QStringLiteral("LDAPS"), QStringLiteral("StartTLS")});
    m_pSecurity->setToolTip(QStringLiteral("None sends everything, the password too, in clear text"));
    m_pCaFile = makeEdit(QStringLiteral("CaFile"));
    m_pCaFile->setMaxLength(static_cast<int>(ConnectionPropertyFile::kMaxCaCertificateLength));
    m_pCaFile->setPlaceholderText(QStringLiteral("The system's certificate authorities only"));
    m_pBrowseCaFile = new QPushButton(QStringLiteral("Browse..."), this);
    m_pBrowseCaFile->setObjectName(QStringLiteral("BrowseCaFile"));
    m_pBrowseCaFile->setAutoDefault(false);
    m_pSave = new QPushButton(QStringLiteral("&Save"), this);
    m_pSave->setObjectName(QStringLiteral("Save"));
    m_pSave->setDefault(true);
    m_pCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    m_pCancel->setObjectName(QStringLiteral("Cancel"));
    m_pCancel->setAutoDefault(false);

    auto* baseRow = new QHBoxLayout;
    baseRow->addWidget(m_pBaseDn, 1);
    baseRow->addWidget(m_pGetBaseDn);

    auto* caRow = new QHBoxLayout;
    caRow->addWidget(m_pCaFile, 1);
    caRow->addWidget(m_pBrowseCaFile);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Name"), m_pName);
    form->addRow(QStringLiteral("Host"), m_pHost);
    form->addRow(QStringLiteral("Port"), m_pPort);
    form->addRow(QStringLiteral("Security"), m_pSecurity);
    form->addRow(QStringLiteral("CA file"), caRow);
    form->addRow(QString(), m_pAnonymous);
    form->addRow(QStringLiteral("Base DN"), baseRow);
    form->addRow(QStringLiteral("User DN"), m_pUserDn);
    form->addRow(QStringLiteral("Password"), m_pPassword);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_pSave);
    buttons->addWidget(m_pCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);

    connect(m_pAnonymous, &QCheckBox::toggled, this,
            [this](bool anonymous) { onAnonymousToggled(anonymous); });
    connect(m_pGetBaseDn, &QPushButton::clicked, this, [this]() { OnGetBaseDn(); });
    connect(m_pHost, &QLineEdit::editingFinished, this, [this]() { applyHostField(); });
    connect(m_pPort, &QLineEdit::textEdited, this, [this]() { m_bPortTyped = true; });
    connect(m_pSecurity, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this](int index) { onSecurityChanged(index); });
    connect(m_pBrowseCaFile, &QPushButton::clicked, this, [this]() { OnBrowseCaFile(); });
    connect(m_pBaseDn, QOverload<int>::of(&QComboBox::activated), this, [this](int index) {
        if (index >= 0)
            m_values.baseDn = m_pBaseDn->itemText(index).toStdWString();
    });
    connect(m_pSave, &QPushButton::clicked, this, [this]() { OnSave(); });
    connect(m_pCancel, &QPushButton::clicked, this, &QDialog::reject);

    if (!m_bNewConnection) {
        m_pActiveConnection = new ConnectionPropertyFile(ConnectionFiles::profilePath(m_values.name));
        if (m_pActiveConnection->load() != -1) {
            m_values.name = m_pActiveConnection->getName();
            m_values.hostname = m_pActiveConnection->getHostName();
            m_values.portnumber = m_pActiveConnection->getPortNumber();
            m_values.baseDn = m_pActiveConnection->getBaseDn();
            m_values.anonymous = m_pActiveConnection->getAnonymous();
            m_values.userDn = m_pActiveConnection->getUserDn();
            m_values.password = m_pActiveConnection->getUserPassword();
            m_values.security = m_pActiveConnection->getSecurity();
            m_values.securityText = m_pActiveConnection->getSecurityText();
            m_values.caFile = m_pActiveConnection->getCaCertificate();
        }
    }
    fillControls();
}

CDialogConnectionProperties::~CDialogConnectionProperties() = default;

void CDialogConnectionProperties::fillControls()
{
    m_pName->setText(wide(m_values.name));
    m_pHost->setText(wide(m_values.hostname));
    m_pPort->setText(QString::number(m_values.portnumber));
    m_pBaseDn->clear();
    m_pBaseDn->addItem(wide(m_values.baseDn));
    m_pBaseDn->setCurrentIndex(0);
    m_pUserDn->setText(wide(m_values.userDn));
    m_pPassword->setText(wide(m_values.password));
    m_pAnonymous->setChecked(m_values.anonymous);
    onAnonymousToggled(m_values.anonymous);
    {
        // The stored port stays whatever the stored security is.
        const QSignalBlocker quiet(m_pSecurity);
        m_pSecurity->setCurrentIndex(securityLine(m_values.security));
    }
    m_iSecurityIndex = m_pSecurity->currentIndex();
    m_pCaFile->setText(wide(m_values.caFile));
    util::Log::getLog(L"ldapmodel")
        ->write(L"CDialogConnectionProperties %s host %s port %d user %s", m_values.name.c_str(),
                m_values.hostname.c_str(), m_values.portnumber, m_values.userDn.c_str());
}

void CDialogConnectionProperties::onAnonymousToggled(bool anonymous)
{
    // The typed user DN and password stay in the fields either way.
    m_pUserDn->setReadOnly(anonymous);
    m_pPassword->setReadOnly(anonymous);
}

void CDialogConnectionProperties::onSecurityChanged(int index)
{
    if (index >= 0 && !m_bPortTyped) {
        const QString text = m_pPort->text().trimmed();
        const bool usual = text.isEmpty() || (m_iSecurityIndex >= 0 && text.toInt() == defaultPortOfLine(m_iSecurityIndex));
        if (usual)
            m_pPort->setText(QString::number(defaultPortOfLine(index)));
    }
    m_iSecurityIndex = index;
}

bool CDialogConnectionProperties::applyHostField()
{
    ldapmodel::HostAddress address;
    if (!ldapmodel::HostAddress::parse(m_pHost->text().toStdWString(), address))
        return false;
    m_pHost->setText(wide(address.host));
    if (address.scheme == ldapmodel::HostAddress::Scheme::Ldaps)
        m_pSecurity->setCurrentIndex(securityLine(Security::Ldaps));
    else if (address.scheme == ldapmodel::HostAddress::Scheme::Ldap && m_pSecurity->currentIndex() == securityLine(Security::Ldaps))
        m_pSecurity->setCurrentIndex(securityLine(Security::None));
    if (address.port != 0) {
        m_pPort->setText(QString::number(address.port));
        m_bPortTyped = true;
    } else if (address.scheme != ldapmodel::HostAddress::Scheme::None) {
        // A URL without a port means its scheme's port.
        m_pPort->setText(QString::number(address.scheme == ldapmodel::HostAddress::Scheme::Ldaps ? ldapmodel::kLdapsPort
                                                                                                 : ldapmodel::kLdapPort));
    }
    return true;
}

int CDialogConnectionProperties::OnBrowseCaFile()
{
    ui::FileDialogRequest request;
    request.caption = QStringLiteral("Choose a CA certificate file");
    request.filters = QStringList{QStringLiteral("Certificates (*.pem *.crt *.cer *.der)"),
                                  QStringLiteral("All Files (*)")};
    const QString current = m_pCaFile->text().trimmed();
    if (!current.isEmpty())
        request.directory = QFileInfo(current).absolutePath();
    const std::optional<QString> chosen = ui::dialogs().getOpenFileName(this, request);
    if (!chosen)
        return -1;
    m_pCaFile->setText(*chosen);
    return 0;
}

bool CDialogConnectionProperties::tlsSettingsFor(const Values& values, ldapmodel::TlsSettings& tls)
{
    tls.caFile = values.caFile;
    switch (values.security) {
    case Security::None: tls.mode = ldapmodel::SecurityMode::None; return true;
    case Security::Ldaps: tls.mode = ldapmodel::SecurityMode::Ldaps; return true;
    case Security::StartTls: tls.mode = ldapmodel::SecurityMode::StartTls; return true;
    case Security::Unknown: break;
    }
    util::messageBox(L"Connection",
                     L"The connection asks for the security \"" + values.securityText
                         + L"\", which this version does not know.\nChoose None, LDAPS or StartTLS in its properties.",
                     util::BoxIcon::Warning, util::BoxButtons::Ok);
    return false;
}

int CDialogConnectionProperties::OnGetBaseDn()
{
    DIRLOOK_GUARD(L"CDialogConnectionProperties.cpp");
    util::TraceScope trace(L"CDialogConnectionProperties::OnGetBaseDn");
    if (!applyHostField()) {
        util::messageBox(L"Connection Properties", ldapmodel::HostAddress::kAccepted, util::BoxIcon::Warning,
                         util::BoxButtons::Ok);
        return 0;
    }
    Values fields = m_values;
    if (m_pSecurity->currentIndex() >= 0)
        fields.security = kSecurityLines[m_pSecurity->currentIndex()];
    fields.caFile = m_pCaFile->text().toStdWString();
    ldapmodel::TlsSettings tls;
    if (!tlsSettingsFor(fields, tls))
        return 0;
    gc_ptr<ldapmodel::Server> server = ldapmodel::Server::getInstance();
    server->setHost(m_pHost->text().toStdWString());
    server->setTlsSettings(tls);
    bool ok = false;
    const int port = m_pPort->text().trimmed().toInt(&ok);
    server->setPort(ok ? port : 0);
    std::vector<std::wstring> contexts;
    if (server->getNamingContexts(contexts) != 0 || contexts.empty())
        return 0;
    m_pBaseDn->clear();
    int added = 0;
    for (const std::wstring& context : contexts) {
        if (m_pBaseDn->count() >= m_pBaseDn->maxCount()) {
            util::messageBox(L"No space", L"No space in combo", util::BoxIcon::Warning,
                             util::BoxButtons::Ok);
            break;
        }
        m_pBaseDn->addItem(wide(context));
        ++added;
    }
    m_pBaseDn->setCurrentIndex(0);
    m_values.baseDn = m_pBaseDn->itemText(0).toStdWString();
    return added;
}

void CDialogConnectionProperties::readFields()
{
    m_values.name = m_pName->text().toStdWString();
    m_values.hostname = m_pHost->text().toStdWString();
    bool ok = false;
    const int port = m_pPort->text().trimmed().toInt(&ok);
    m_values.portnumber = ok ? port : 0;
    const QString baseDn = m_pBaseDn->currentText();
    if (!baseDn.isEmpty())
        m_values.baseDn = baseDn.toStdWString();
    m_values.userDn = m_pUserDn->text().toStdWString();
    m_values.password = m_pPassword->text().toStdWString();
    m_values.anonymous = m_pAnonymous->isChecked();
    // No line selected: a security this version does not know, kept.
    if (m_pSecurity->currentIndex() >= 0) {
        m_values.security = kSecurityLines[m_pSecurity->currentIndex()];
        m_values.securityText.clear();
    }
    m_values.caFile = m_pCaFile->text().toStdWString();
}

std::wstring CDialogConnectionProperties::getSavedFileName() const
{
    return ConnectionFiles::profilePath(m_values.name);
}

int CDialogConnectionProperties::OnSave()
{
    DIRLOOK_GUARD(L"CDialogConnectionProperties.cpp");
    util::TraceScope trace(L"CDialogConnectionProperties::OnSave");
    // A profile may still lack its host; anything typed must be one.
    if (!m_pHost->text().trimmed().isEmpty() && !applyHostField()) {
        util::messageBox(L"Connection Properties", ldapmodel::HostAddress::kAccepted, util::BoxIcon::Warning,
                         util::BoxButtons::Ok);
        return -1;
    }
    readFields();
    if (!isUsableProfileName(m_values.name)) {
        util::messageBox(L"Connection Properties",
                         L"The connection name can't be empty or contain \"/\"",
                         util::BoxIcon::Warning, util::BoxButtons::Ok);
        return -1;
    }
    // Refused rather than saved as something that no longer matches.
    const ProfileField fields[] = {
        {L"Name", m_values.name, ConnectionPropertyFile::kMaxNameLength, false, false},
        {L"Host", m_values.hostname, ConnectionPropertyFile::kMaxHostNameLength, false, false},
        {L"Base DN", m_values.baseDn, ConnectionPropertyFile::kMaxBaseDnLength, false, true},
        {L"User DN", m_values.userDn, ConnectionPropertyFile::kMaxUserDnLength, false, true},
        {L"Password", m_values.password, static_cast<std::size_t>(kMaxFieldLength), true, true},
        {L"CA file", m_values.caFile, ConnectionPropertyFile::kMaxCaCertificateLength, false, false},
    };
    for (const ProfileField& field : fields) {
        const std::wstring reason = unstorableReason(field);
        if (!reason.empty()) {
            util::messageBox(L"Connection Properties", reason, util::BoxIcon::Warning, util::BoxButtons::Ok);
            return -1;
        }
    }
    ldapmodel::Directories::ensureConnectionsDirectory();

    gc_ptr<ConnectionPropertyFile> profile(
        new ConnectionPropertyFile(ConnectionFiles::profilePath(m_values.name)));
    profile->setName(m_values.name);
    profile->setHostName(m_values.hostname);
    profile->setPortNumber(m_values.portnumber);
    profile->setBaseDn(m_values.baseDn);
    profile->setAnonymous(m_values.anonymous);
    profile->setUserDn(m_values.userDn);
    profile->setUserPassword(m_values.password);
    profile->setFilter(L"(|(objectclass=*))");
    profile->setServerName(L"ServerName...");
    if (m_values.security == Security::Unknown)
        profile->setSecurityText(m_values.securityText);
    else
        profile->setSecurity(m_values.security);
    profile->setCaCertificate(m_values.caFile);

    if (m_bNewConnection) {
        if (m_pConnectionFiles.get() == nullptr)
            m_pConnectionFiles = new ConnectionFiles(
                ldapmodel::Directories::getConnectionsDirectory(), ConnectionFiles::kPattern);
        if (m_pConnectionFiles->exists(m_values.name)) {
            util::messageBox(L"Connection exists",
                             L"The connection already exists, please change the name",
                             util::BoxIcon::Warning, util::BoxButtons::OkCancel);
            return -1;
        }
    }
    util::Log::getLog(L"ldapmodel")
        ->write(L"CDialogConnectionProperties::OnSave %s host %s port %d user %s",
                m_values.name.c_str(), m_values.hostname.c_str(), m_values.portnumber,
                m_values.userDn.c_str());
    if (profile->save() != 0) {
        util::messageBox(L"Connection Properties",
                         L"Can't save the connection file\n" + profile->getFileName() + L"\n"
                             + profile->getSaveError(),
                         util::BoxIcon::Warning, util::BoxButtons::Ok);
        return -1;
    }
    m_pActiveConnection = profile;
    done(SaveResult);
    return 0;
}
