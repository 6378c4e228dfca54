#include "frame/CMainFrame.h"

#include "dialogs/CAboutDlg.h"
#include "dialogs/CDialogAddAttribute.h"
#include "dialogs/CDialogAddValue.h"
#include "dialogs/CDialogCertificate.h"
#include "dialogs/CDialogCheckPassword.h"
#include "dialogs/CDialogConnection.h"
#include "dialogs/CDialogConnectionProperties.h"
#include "dialogs/CDialogDeleteAttribute.h"
#include "dialogs/CDialogMaxNoRecords.h"
#include "dialogs/CDialogModifyEntry.h"
#include "dialogs/CDialogModifyValue.h"
#include "dialogs/CDialogMoveEntry.h"
#include "dialogs/CDialogPreferences.h"
#include "dialogs/CDialogRenameEntry.h"
#include "dialogs/CDialogSchema.h"
#include "dialogs/CDialogSearchRecord.h"
#include "dialogs/CDialogSetPassword.h"
#include "faults/FaultGuard.h"
#include "frame/CHelpWindow.h"
#include "frame/CProgressBar.h"
#include "frame/WindowPlacement.h"
#include "ldif/LdifRecordWriter.h"
#include "logging/Log.h"
#include "logging/Trace.h"
#include "model/SubtreeCopy.h"
#include "profiles/Directories.h"
#include "records/LDAPAttribute.h"
#include "records/LDAPEntry.h"
#include "services/CommandIcons.h"
#include "session/DistinguishedName.h"
#include "session/LdapErrorReport.h"
#include "session/LdapResultCode.h"
#include "session/LdapSession.h"
#include "services/DialogService.h"
#include "services/PreferenceStore.h"
#include "utilities/MessageBox.h"
#include "utilities/Util.h"
#include "values/AttributeRoles.h"
#include "views/CListEntryAttributes.h"
#include "views/CListEntryStructuralAttributes.h"
#include "views/TreeControlView.h"
#include "wizard/CWizardCreateEntry.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLabel>
#include <QMenuBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>


#include <exception>
#include <optional>

using memorylib::gc_ptr;

namespace {

// The model keeps its first observer for the life of the process and sends
// its notifications to that one alone, so the frames of a process share one
// bridge, pointed at the newest frame.
gc_ptr<ui::ObserverBridge>& frameObserver()
{
    static gc_ptr<ui::ObserverBridge> bridge;
    return bridge;
}

// An unexpected failure in one of the frame's own steps: reported, and the
// program goes on.
void reportUnexpected(const std::wstring& text, const char* what)
{
    util::Log::getLog(L"ldapmodel")->write(L"CMainFrame unexpected failure: %s", text.c_str());
    std::wstring detail = text;
    if (what != nullptr && *what != '\0')
        detail += L"\n" + util::fromUtf8(what);
    util::messageBox(L"Exception", detail, util::BoxIcon::Error, util::BoxButtons::Ok);
}

QString wide(const std::wstring& text)
{
    return QString::fromStdWString(text);
}

} // namespace

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent)
{
    DIRLOOK_GUARD(L"CMainFrame.cpp");
    util::TraceScope trace(L"CMainFrame::CMainFrame");
    setObjectName(QStringLiteral("MainFrame"));
    setWindowTitle(QStringLiteral("Dirlook"));
    m_pModel = ldapmodel::Model::getInstance();
    m_pModel->setPreferences(ui::PreferenceStore::load());

    gc_ptr<ui::ObserverBridge>& bridge = frameObserver();
    if (bridge.get() == nullptr) {
        bridge = new ui::ObserverBridge(this, this, m_pModel.get());
        m_pModel->addObserver(bridge);
    } else {
        bridge->retarget(this, this);
    }

    createViews();
    createActions();
    createMenus();
    createToolBar();
    createStatusBar();
    resize(1100, 720);
    WindowPlacement::restoreGeometry(*this);

    FillTreeView();
    getAction(QStringLiteral("OnViewToolbar"))->setChecked(true);
    getAction(QStringLiteral("OnViewStatusBar"))->setChecked(true);
}

CMainFrame::~CMainFrame()
{
    gc_ptr<ui::ObserverBridge>& bridge = frameObserver();
    if (bridge.get() != nullptr)
        bridge->retarget(nullptr, nullptr);
}

CMainFrame* CMainFrame::fromWidget(const QWidget* widget)
{
    for (const QWidget* current = widget; current != nullptr;
         current = current->parentWidget()) {
        if (auto* frame = qobject_cast<CMainFrame*>(const_cast<QWidget*>(current)))
            return frame;
    }
    return nullptr;
}

// ---- layout -----------------------------------------------------------------

void CMainFrame::createViews()
{
    m_pMainSplitter = new QSplitter(Qt::Horizontal, this);
    m_pMainSplitter->setObjectName(QStringLiteral("MainSplitter"));
    m_pMainSplitter->setChildrenCollapsible(false);

    m_pTreeView = new TreeControlView(m_pMainSplitter);
    m_pTreeView->setObjectName(QStringLiteral("TreeView"));
    m_pMainSplitter->addWidget(m_pTreeView);

    m_pRightSplitter = new QSplitter(Qt::Vertical, m_pMainSplitter);
    m_pRightSplitter->setObjectName(QStringLiteral("RightSplitter"));
    m_pRightSplitter->setChildrenCollapsible(false);
    m_pRecordView = new CListEntryAttributes(m_pRightSplitter);
    m_pRecordView->setObjectName(QStringLiteral("RecordView"));
    m_pRecordView->init();
    m_pStructuralView = new CListEntryStructuralAttributes(m_pRightSplitter);
    m_pStructuralView->setObjectName(QStringLiteral("StructuralView"));
    m_pStructuralView->init();
    m_pRightSplitter->addWidget(m_pRecordView);
    m_pRightSplitter->addWidget(m_pStructuralView);
    m_pMainSplitter->addWidget(m_pRightSplitter);

    setCentralWidget(m_pMainSplitter);
}

QAction* CMainFrame::addCommand(const QString& handlerName, const QString& label,
                                const QKeySequence& keys, const QString& prompt,
                                const QString& tooltip, const QIcon& icon,
                                int (CMainFrame::*handler)())
{
    auto* action = new QAction(icon, label, this);
    action->setObjectName(handlerName);
    if (!keys.isEmpty()) {
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WindowShortcut);
    }
    action->setStatusTip(prompt);
    action->setToolTip(tooltip);
    action->setIconVisibleInMenu(false);
    connect(action, &QAction::triggered, this, [this, handler]() { (this->*handler)(); });
    // Keys work even for commands that no menu or toolbar shows.
    addAction(action);
    m_actions[handlerName] = action;
    return action;
}

void CMainFrame::createActions()
{
    using ui::commandIcon;
    const QKeySequence none;
    addCommand("OnConnect", "&Connect", QKeySequence("Ctrl+O"), "Connect to an LDAP server",
               "Connect to an LDAP server", commandIcon("OnConnect"), &CMainFrame::OnConnect);
    addCommand("OnDisconnect", "&Disconnect", QKeySequence("Ctrl+D"), "Disconnect from Server",
               "Disconnect from Server", commandIcon("OnDisconnect"), &CMainFrame::OnDisconnect);
    addCommand("OnLdifImport", "&Import", QKeySequence("Ctrl+I"), "Import LDIF file",
               "Import LDIF file", commandIcon("OnLdifImport"), &CMainFrame::OnLdifImport);
    addCommand("OnLdifExport", "&Export", QKeySequence("Ctrl+E"), "Export to LDIF file",
               "Export to LDIF file", commandIcon("OnLdifExport"), &CMainFrame::OnLdifExport);
    addCommand("OnFileExit", "E&xit", QKeySequence("Alt+F4"),
               "Quit the application; prompts to save documents", "Exit", QIcon(),
               &CMainFrame::OnFileExit);
    addCommand("OnEntrySearch", "&Search", QKeySequence("Ctrl+F"), "Search the Directory",
               "Search the directory", commandIcon("OnEntrySearch"), &CMainFrame::OnEntrySearch);
    addCommand("OnEntryAdd", "&Add", QKeySequence("Ctrl+A"), "Add new entry", "Add new entry",
               commandIcon("OnEntryAdd"), &CMainFrame::OnEntryAdd);
    addCommand("OnEntryModify", "&Modify-View", QKeySequence("Ctrl+M"),
               "View-Modify the current entry", "View-Modify entry", commandIcon("OnEntryModify"),
               &CMainFrame::OnEntryModify);
    addCommand("OnEntryView", "View", none, "View current entry", "View entry",
               commandIcon("OnEntryView"), &CMainFrame::OnEntryView);
    addCommand("OnEntryRename", "&Rename", QKeySequence("Ctrl+R"), "Rename the entry",
               "Rename the entry", commandIcon("OnEntryRename"), &CMainFrame::OnEntryRename);
    addCommand("OnEntryDelete", "&Delete", QKeySequence("Ctrl+Del"), "Delete the entry",
               "Delete the entry", commandIcon("OnEntryDelete"), &CMainFrame::OnEntryDelete);
    addCommand("OnSearchProperties", "Search Properties", QKeySequence("Ctrl+S"),
               "Search limits parameters: records, timeout, values", "Search limits",
               commandIcon("OnSearchProperties"), &CMainFrame::OnSearchProperties);
    addCommand("OnEntryRefresh", "Refresh", QKeySequence("F5"),
               "Refreshes the contents of the active entry", "Refresh Entry",
               commandIcon("OnEntryRefresh"), &CMainFrame::OnEntryRefresh);
    addCommand("OnTreeRefresh", "Refresh &Tree Node", QKeySequence("Ctrl+F5"),
               "Refreshes the active branch of the tree", "Refresh tree",
               commandIcon("OnTreeRefresh"), &CMainFrame::OnTreeRefresh);
    addCommand("OnTreeSort", "S&ort", none, "Sort the entry names", "Sort entries",
               commandIcon("OnTreeSort"), &CMainFrame::OnTreeSort);
    addCommand("OnAttributeAdd", "&Add", QKeySequence("Alt+A"), "Add new attribute to this entry",
               "Add new attribute", commandIcon("OnAttributeAdd"), &CMainFrame::OnAttributeAdd);
    addCommand("OnAttributeDelete", "&Delete", QKeySequence("Alt+D"), "Delete the attribute",
               "Delete the attribute", commandIcon("OnAttributeDelete"),
               &CMainFrame::OnAttributeDelete);
    addCommand("OnValueAdd", "&Add", QKeySequence("Shift+A"), "Add a new value to this attribute",
               "Add new value", commandIcon("OnValueAdd"), &CMainFrame::OnValueAdd);
    addCommand("OnValueModify", "&Modify-Save", QKeySequence("Shift+M"),
               "Modify-Save to File this value", "Modify-Save the value",
               commandIcon("OnValueModify"), &CMainFrame::OnValueModify);
    addCommand("OnValueDelete", "&Delete", QKeySequence("Shift+D"), "Delete this value",
               "Delete the value", commandIcon("OnValueDelete"), &CMainFrame::OnValueDelete);
    // Value > Search runs the entry search.
    addCommand("OnValueSearch", "&Search", QKeySequence("Shift+F"),
               "Search value within attribute", "Search Value", commandIcon("OnValueSearch"),
               &CMainFrame::OnEntrySearch);
    addCommand("OnValueViewCertificate", "View &Certificate...", none,
               "Show the selected certificate", "View certificate", QIcon(),
               &CMainFrame::OnValueViewCertificate);
    addCommand("OnValueSetPassword", "Set &Password...", none,
               "Set the password of the active entry", "Set password", QIcon(),
               &CMainFrame::OnValueSetPassword);
    addCommand("OnValueCheckPassword", "Chec&k Password...", none,
               "Check a password against the active entry's userPassword", "Check password",
               QIcon(), &CMainFrame::OnValueCheckPassword);
    addCommand("OnSchemaView", "&View", QKeySequence("Ctrl+Shift+S"), "Show the schema objects",
               "Schema description", commandIcon("OnSchemaView"), &CMainFrame::OnSchemaView);
    addCommand("OnHelpContents", "&Contents", QKeySequence("F1"), "Display the help contents",
               "Display help content", commandIcon("OnHelpContents"),
               &CMainFrame::OnHelpContents);
    addCommand("OnHelpSearch", "Search Help", QKeySequence("F2"),
               "Searches the help documentation", "Search help", QIcon(),
               &CMainFrame::OnHelpSearch);
    addCommand("OnHelpIndex", "Help Index", none, "Help Index", "Help index", QIcon(),
               &CMainFrame::OnHelpIndex);
    addCommand("OnAppAbout", "&About Dirlook", none,
               "Display program information, version number and copyright", "About",
               commandIcon("OnAppAbout"), &CMainFrame::OnAppAbout);
    addCommand("OnViewToolbar", "&Toolbar", none, "Show or hide the toolbar", "Toggle ToolBar",
               QIcon(), &CMainFrame::OnViewToolbar)
        ->setCheckable(true);
    addCommand("OnViewStatusBar", "&Status Bar", none, "Show or hide the status bar",
               "Toggle StatusBar", QIcon(), &CMainFrame::OnViewStatusBar)
        ->setCheckable(true);
    addCommand("OnViewPreferences", "&Preferences...", none,
               "Time-outs and the pause between background results", "Preferences", QIcon(),
               &CMainFrame::OnViewPreferences);
    addCommand("OnEntryMove", "Mo&ve...", QKeySequence("Ctrl+Shift+M"), "Move the entry under another parent",
               "Move entry", QIcon(), &CMainFrame::OnEntryMove);
    addCommand("OnEntryCopy", "&Copy", QKeySequence("Ctrl+Shift+C"),
               "Copy the entry, to paste a copy of it under another entry", "Copy entry", QIcon(),
               &CMainFrame::OnEntryCopy);
    addCommand("OnEntryPaste", "&Paste", QKeySequence("Ctrl+Shift+V"),
               "Paste a copy of the copied entry under this entry", "Paste entry", QIcon(),
               &CMainFrame::OnEntryPaste);
    // Ctrl+C belongs to the views: the tree copies the DN, the record view
    // the value.
    addCommand("OnCopyDN", "Copy D&N", none, "Copy the DN of the entry to the clipboard", "Copy DN", QIcon(),
               &CMainFrame::OnCopyDN);
    addCommand("OnCopyRDN", "Copy RDN", none, "Copy the RDN of the entry to the clipboard", "Copy RDN", QIcon(),
               &CMainFrame::OnCopyRDN);
    addCommand("OnCopyEntryLdif", "Copy Entry as &LDIF", none, "Copy the entry to the clipboard as LDIF",
               "Copy entry as LDIF", QIcon(), &CMainFrame::OnCopyEntryLdif);
    addCommand("OnCopyValue", "&Copy Value", none, "Copy the selected value to the clipboard", "Copy value",
               QIcon(), &CMainFrame::OnCopyValue);
    // The View menu's own refresh items: same handlers; their keys belong to
    // the Entry menu's items (one key, one action) and are only shown here.
    addCommand("OnViewEntryRefresh", "Refresh &Entrry\tF5", none,
               "Refreshes the contents of the active entry", "Refresh Entry", QIcon(),
               &CMainFrame::OnEntryRefresh);
    addCommand("OnViewTreeRefresh", "Refresh Tree &Node\tCtrl+F5", none,
               "Refreshes the active branch of the tree", "Refresh tree", QIcon(),
               &CMainFrame::OnTreeRefresh);
}

QAction* CMainFrame::getAction(const QString& handlerName) const
{
    auto found = m_actions.find(handlerName);
    return found == m_actions.end() ? nullptr : found->second;
}

void CMainFrame::createMenus()
{
    QMenuBar* bar = menuBar();
    auto add = [this](QMenu* menu, const char* handler) { menu->addAction(getAction(handler)); };

    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    add(file, "OnConnect");
    add(file, "OnDisconnect");
    file->addSeparator();
    add(file, "OnLdifImport");
    add(file, "OnLdifExport");
    file->addSeparator();
    add(file, "OnFileExit");

    QMenu* entry = bar->addMenu(QStringLiteral("&Entry"));
    add(entry, "OnEntrySearch");
    add(entry, "OnEntryAdd");
    add(entry, "OnEntryModify");
    add(entry, "OnEntryRename");
    add(entry, "OnEntryDelete");
    entry->addSeparator();
    add(entry, "OnSearchProperties");
    add(entry, "OnEntryRefresh");
    add(entry, "OnTreeRefresh");
    entry->addSeparator();
    add(entry, "OnEntryMove");
    add(entry, "OnEntryCopy");
    add(entry, "OnEntryPaste");
    entry->addSeparator();
    add(entry, "OnCopyDN");
    add(entry, "OnCopyRDN");
    add(entry, "OnCopyEntryLdif");

    QMenu* attribute = bar->addMenu(QStringLiteral("A&ttribute"));
    add(attribute, "OnAttributeAdd");
    add(attribute, "OnAttributeDelete");

    QMenu* value = bar->addMenu(QStringLiteral("Va&lue"));
    add(value, "OnValueAdd");
    add(value, "OnValueModify");
    add(value, "OnValueDelete");
    value->addSeparator();
    add(value, "OnValueSearch");
    value->addSeparator();
    add(value, "OnValueViewCertificate");
    add(value, "OnValueSetPassword");
    add(value, "OnValueCheckPassword");
    value->addSeparator();
    add(value, "OnCopyValue");

    QMenu* ldif = bar->addMenu(QStringLiteral("Ld&if"));
    add(ldif, "OnLdifImport");
    add(ldif, "OnLdifExport");

    QMenu* schema = bar->addMenu(QStringLiteral("&Schema"));
    add(schema, "OnSchemaView");

    QMenu* view = bar->addMenu(QStringLiteral("&View"));
    add(view, "OnViewToolbar");
    add(view, "OnViewStatusBar");
    view->addSeparator();
    add(view, "OnViewEntryRefresh");
    add(view, "OnViewTreeRefresh");
    view->addSeparator();
    add(view, "OnViewPreferences");

    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    add(help, "OnHelpContents");
    help->addSeparator();
    add(help, "OnAppAbout");
}

void CMainFrame::createToolBar()
{
    m_pToolBar = new QToolBar(QStringLiteral("Toolbar"), this);
    m_pToolBar->setObjectName(QStringLiteral("ToolBar"));
    m_pToolBar->setMovable(false);
    m_pToolBar->setFloatable(false);
    m_pToolBar->setIconSize(QSize(21, 21));
    m_pToolBar->setContextMenuPolicy(Qt::PreventContextMenu);
    // Button order; an empty name is a separator.
    static const char* const kButtons[] = {
        "OnConnect",      "OnDisconnect",   "",
        "OnLdifImport",   "OnLdifExport",   "OnTreeRefresh",     "OnTreeSort",
        "",               "OnEntryRefresh", "OnEntryView",       "OnEntrySearch",
        "OnEntryAdd",     "OnEntryModify",  "OnEntryRename",     "OnEntryDelete",
        "",               "OnAttributeAdd", "OnAttributeDelete", "",
        "OnValueAdd",     "OnValueModify",  "OnValueDelete",     "OnValueSearch",
        "",               "OnSchemaView",   "OnSearchProperties", "",
        "OnHelpContents", "OnAppAbout",
    };
    for (const char* name : kButtons) {
        if (*name == '\0')
            m_pToolBar->addSeparator();
        else
            m_pToolBar->addAction(getAction(QString::fromLatin1(name)));
    }
    addToolBar(Qt::TopToolBarArea, m_pToolBar);
}

void CMainFrame::createStatusBar()
{
    // "Ready" stands in the bar; a highlighted command's prompt covers it
    // while the command is highlighted.
    m_pStatusText = new QLabel(QStringLiteral("Ready"), this);
    m_pStatusText->setObjectName(QStringLiteral("StatusText"));
    statusBar()->addWidget(m_pStatusText, 1);
    m_pSecurityText = new QLabel(this);
    m_pSecurityText->setObjectName(QStringLiteral("SecurityText"));
    m_pSecurityText->setTextFormat(Qt::PlainText);
    statusBar()->addPermanentWidget(m_pSecurityText);
}

void CMainFrame::updateSecurityStatus()
{
    const ldapmodel::LdapSession* session = m_pModel->isConnected() ? m_pModel->getSession() : nullptr;
    QString text;
    QString tip;
    bool warning = false;
    if (session != nullptr && session->isEncrypted()) {
        text = QStringLiteral("Encrypted: ") + wide(session->getTlsVersion());
        if (!session->getTlsCipher().empty())
            text += QStringLiteral(", ") + wide(session->getTlsCipher());
        tip = QStringLiteral("The connection is encrypted with TLS");
    } else if (session != nullptr && !m_pModel->isAnonymous()) {
        text = QStringLiteral("Not encrypted: the password was sent in clear text");
        tip = QStringLiteral("Choose LDAPS or StartTLS in the connection's properties");
        warning = true;
    } else if (session != nullptr) {
        text = QStringLiteral("Not encrypted");
        tip = QStringLiteral("Everything goes over the network in clear text");
    }
    m_pSecurityText->setText(text);
    m_pSecurityText->setToolTip(tip);
    m_pSecurityText->setStyleSheet(warning ? QStringLiteral("color: #c00000; font-weight: bold;") : QString());
}

void CMainFrame::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_bSplittersPlaced) {
        m_bSplittersPlaced = true;
        if (!WindowPlacement::restoreSplitters({m_pMainSplitter, m_pRightSplitter}))
            placeSplitters();
    }
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    WindowPlacement::save(*this, {m_pMainSplitter, m_pRightSplitter});
    QMainWindow::closeEvent(event);
}

void CMainFrame::placeSplitters()
{
    const int width = m_pMainSplitter->width();
    const int treeWidth = static_cast<int>(width / 3.5);
    m_pMainSplitter->setSizes({treeWidth, width - treeWidth});
    const int height = m_pRightSplitter->height();
    const int topHeight = static_cast<int>(height / 3.0 * 1.7);
    m_pRightSplitter->setSizes({topHeight, height - topHeight});
}

// ---- shared steps ------------------------------------------------------------

int CMainFrame::checkConnection()
{
    DIRLOOK_GUARD(L"CMainFrame.cpp");
    if (m_pModel->isConnected())
        return 0;
    util::messageBox(L"Warning", L"Not connected.", util::BoxIcon::Warning, util::BoxButtons::Ok);
    return -1;
}

int CMainFrame::getSelection()
{
    DIRLOOK_GUARD(L"CMainFrame.cpp");
    std::wstring name;
    std::wstring value;
    int index = -1;
    if (m_pRecordView->getSelection(name, value, index) != 0) {
        util::messageBox(L"Delete Attribute", L"Please select an attribute, first",
                         util::BoxIcon::Warning, util::BoxButtons::OkCancel);
        return -1;
    }
    m_strActiveAttributeName = name;
    m_strActiveAttributeValue = value;
    m_iActiveAttributeValueIndex = index;
    return index < 0 ? -1 : 0;
}

void CMainFrame::setSelectionFromDialog(const std::wstring& name, const std::wstring& value,
                                        int index)
{
    m_strActiveAttributeName = name;
    m_strActiveAttributeValue = value;
    m_iActiveAttributeValueIndex = index;
    m_bCommandFromDialog = true;
}

int CMainFrame::checkSelection()
{
    if (m_bCommandFromDialog) {
        m_bCommandFromDialog = false;
        return 0;
    }
    return getSelection();
}

void CMainFrame::returnFocusToTree()
{
    QMetaObject::invokeMethod(this, [this]() { OnSetTreeWindowFocus(); }, Qt::QueuedConnection);
}

// ---- view refills ---------------------------------------------------------------

void CMainFrame::FillTreeView()
{
    DIRLOOK_GUARD(L"CMainFrame.cpp");
    util::TraceScope trace(L"CMainFrame::FillTreeView");
    m_pTreeView->deleteAllItems();
    const std::vector<std::wstring> paths = m_pModel->getRootList();
    m_pTreeView->buildTree(paths, L",");
}

void CMainFrame::FillStructuralView()
{
    DIRLOOK_GUARD(L"CMainFrame.cpp");
    util::TraceScope trace(L"CMainFrame::FillStructuralView");
    m_pStructuralView->reset();
    gc_ptr<ldapmodel::LDAPEntry> entry = m_pModel->getActiveEntry();
    if (entry.get() == nullptr || entry->getDN().empty())
        return;
    m_pStructuralView->addEntryRows(entry);
}

void CMainFrame::FillRecordView()
{
    DIRLOOK_GUARD(L"CMainFrame.cpp");
    m_pRecordView->fill();
}

void CMainFrame::disconnect()
{
    m_pTreeView->deleteAllItems();
}

void CMainFrame::updateFromModel(int kind)
{
    DIRLOOK_GUARD(L"CMainFrame.cpp");
    util::TraceScope trace(L"CMainFrame::updateFromModel");
    switch (kind) {
    case ldapmodel::MODEL_UPDATE_ALL:
        FillStructuralView();
        FillRecordView();
        FillTreeView();
        updateSecurityStatus();
        break;
    case ldapmodel::MODEL_UPDATE_TREE:
        FillTreeView();
        break;
    case ldapmodel::MODEL_UPDATE_OPERATIONAL:
        FillStructuralView();
        break;
    case ldapmodel::MODEL_UPDATE_USER:
        FillRecordView();
        break;
    case ldapmodel::MODEL_UPDATE_RESET:
        disconnect();
        m_pStructuralView->reset();
        m_pRecordView->reset();
        break;
    case ldapmodel::MODEL_UPDATE_CONNECTION_LOST:
        // Told in the middle of a model call: act once it has returned.
        QMetaObject::invokeMethod(this, [this]() { onConnectionLost(); }, Qt::QueuedConnection);
        break;
    default:
        break;
    }
}

// ---- connection ---------------------------------------------------------------------

int CMainFrame::OnConnect()
{
    DIRLOOK_GUARD(L"CMainFrame.cpp");
    util::TraceScope trace(L"CMainFrame::OnConnect");
    CDialogConnection dialog(this);
    if (ui::dialogs().exec(dialog) != CDialogConnection::ConnectResult)
        return -1;
    return connectWith(dialog);
}

int CMainFrame::connectToProfile(const std::wstring& name)
{
    DIRLOOK_GUARD(L"CMainFrame.cpp");
    util::TraceScope trace(L"CMainFrame::connectToProfile");
    CDialogConnection chooser(this);
    if (chooser.connectTo(name) != 0)
        return -1;
    return connectWith(chooser);
}

int CMainFrame::connectWith(const CDialogConnection& dialog)
{
    CDialogConnectionProperties::Values chosen;
    chosen.security = dialog.getSecurity();
    chosen.securityText = dialog.getSecurityText();
    chosen.caFile = dialog.getCaFile();
    ldapmodel::TlsSettings tls;
    // A security this version does not know is no reason to send in clear.
    if (!CDialogConnectionProperties::tlsSettingsFor(chosen, tls))
        return -1;
    try {
        if (m_pModel->isConnected())
            m_pModel->disconnect();
        disconnect();
    } catch (const std::exception& e) {
        reportUnexpected(L"Server error, can't disconnect\n. You may need to restart the program.",
                         e.what());
    }
    setWindowTitle(QStringLiteral("Dirlook: Connecting... please wait"));
    disconnect();
    m_pStructuralView->reset();
    m_pRecordView->reset();

    m_strConnectionName = dialog.getConnectionName();
    m_pModel->setHost(dialog.getHostname());
    m_pModel->setPort(dialog.getPortnumber());
    m_pModel->setBaseDN(dialog.getBaseDn());
    m_pModel->setFilter(dialog.getFilter());
    m_pModel->setBindDN(dialog.getUserDn());
    m_pModel->setPassword(dialog.getPassword());
    m_pModel->setTlsSettings(tls);
    util::Log::getLog(L"ldapmodel")
        ->write(L"CMainFrame::OnConnect %s %s/%d", m_strConnectionName.c_str(),
                dialog.getHostname().c_str(), dialog.getPortnumber());

    const int result = m_pModel->connect(dialog.getAnonymous());
    updateSecurityStatus();
    if (result != 0) {
        setWindowTitle(QStringLiteral("Dirlook: Not connected"));
        return -1;
    }
    m_pTreeView->setFocus();
    setWindowTitle(QStringLiteral("Dirlook: ") + wide(m_strConnectionName) + QStringLiteral(" ")
                   + wide(dialog.getHostname()) + QStringLiteral("/")
                   + QString::number(dialog.getPortnumber()) + QStringLiteral("/")
                   + wide(dialog.getUserDn()));
    return 0;
}

int CMainFrame::OnDisconnect()
{
    DIRLOOK_GUARD(L"CMainFrame.cpp");
    util::TraceScope trace(L"CMainFrame::OnDisconnect");
    if (checkConnection() != 0)
        return -1;
    try {
        m_pModel->disconnect();
        disconnect();
    } catch (const std::exception& e) {
        reportUnexpected(L"Server error, can't disconnect\n. You may need to restart the program.",
                         e.what());
    }
    setWindowTitle(QStringLiteral("Dirlook: Not connected"));
    return 0;
}

void CMainFrame::onConnectionLost()
{
    DIRLOOK_GUARD(L"CMainFrame.cpp");
    if (!m_pModel->isConnectionLost())
        return;  // connected again, or disconnected, meanwhile
    setWindowTitle(QStringLiteral("Dirlook: Not connected"));
    m_pSecurityText->clear();
    if (QApplication::activeModalWidget() != nullptr) {
        QTimer::singleShot(200, this, [this]() { onConnectionLost(); });
        return;
    }
    util::Log::getLog(L"ldapmodel")->write(L"CMainFrame: connection lost, disconnecting");
    m_pModel->disconnect();
    disconnect();
    m_pStructuralView->reset();
    m_pRecordView->reset();
}

int CMainFrame::OnFileExit()
{
    close();
    return 0;
}

// ---- entry, attribute, value, LDIF, search and schema commands -------------------

std::wstring CMainFrame::formatDeleteQuestion(const std::wstring& dn)
{
    static const std::wstring prefix = L"Are you sure you want to delete:\n";
    static const std::wstring suffix = L" ?";
    static const std::wstring ellipsis = L"...";
    const std::size_t room = kMaxDeleteQuestion - prefix.size() - suffix.size();
    if (dn.size() <= room)
        return prefix + dn + suffix;
    // Both ends of a long DN stay readable: its RDN and its top.
    const std::size_t kept = room - ellipsis.size();
    const std::size_t head = (kept + 1) / 2;
    const std::size_t tail = kept - head;
    return prefix + dn.substr(0, head) + ellipsis + dn.substr(dn.size() - tail) + suffix;
}

std::wstring CMainFrame::proposedLdifFileName(const std::wstring& host, const std::wstring& dn)
{
    std::wstring name = host + L"(" + dn + L")";
    // A "/" of the DN would turn the name into a path.
    for (wchar_t& c : name) {
        if (c == L'/')
            c = L'_';
    }
    if (name.size() > kMaxPath)
        name.resize(kMaxPath);
    return name;
}

QStringList CMainFrame::ldifFileFilters()
{
    return {QStringLiteral("Text Files (*.ldif)"), QStringLiteral("All Files (*.*)")};
}

std::wstring CMainFrame::parentDNOf(const std::wstring& dn)
{
    return ldapmodel::DistinguishedName::parent(dn);
}

int CMainFrame::checkConnectionAndSelection()
{
    if (checkConnection() != 0) {
        // A hand-over from the modify-entry dialog must not reach a later command.
        m_bCommandFromDialog = false;
        return -1;
    }
    return checkSelection();
}

void CMainFrame::refreshEntry()
{
    m_pModel->refreshActiveEntry(true);
}

void CMainFrame::refreshParentNode(const std::wstring& parentDN)
{
    QTreeWidgetItem* parent = parentDN.empty() ? nullptr : m_pTreeView->findNode(parentDN);
    if (parent == nullptr) {
        m_pTreeView->refreshSelectedNode();
        return;
    }
    const QTreeWidgetItem* selected = m_pTreeView->currentItem();
    const std::wstring selectedDN = selected != nullptr ? m_pTreeView->getDN(selected) : std::wstring();
    m_pTreeView->setCurrentItem(parent);
    m_pTreeView->refreshSelectedNode();
    if (selectedDN.empty())
        return;
    if (QTreeWidgetItem* again = m_pTreeView->findNode(selectedDN))
        m_pTreeView->setCurrentItem(again);
}

void CMainFrame::showLdifReport()
{
    const ldapmodel::LdifReport report = m_pModel->getLdifReport();
    if (!report.isEmpty())
        util::messageBox(report.getCaption(), report.getText(), util::BoxIcon::Warning, util::BoxButtons::Ok);
}

int CMainFrame::OnLdifImport()
{
    DIRLOOK_GUARD(L"CMainFrame.cpp");
    util::TraceScope trace(L"CMainFrame::OnLdifImport");
    if (checkConnection() != 0)
        return -1;
    int result = -1;
    try {
        ui::FileDialogRequest request;
        request.caption = QStringLiteral("Import LDIF file");
        request.filters = ldifFileFilters();
        request.defaultSuffix = QStringLiteral("ldif");
        request.kind = ui::FileDialogRequest::kLdifFiles;
        const std::optional<QString> chosen = ui::dialogs().getOpenFileName(this, request);
        if (!chosen || chosen->isEmpty()) {
            returnFocusToTree();
            return -1;
        }
        const std::wstring fileName = chosen->toStdWString();
        util::Log::getLog(L"ldapmodel")->write(L"CMainFrame::OnLdifImport %s", fileName.c_str());
        ldapmodel::Model& model = *m_pModel;
        CProgressBar::runModal(this, model, [&model, &fileName]() { return model.importLdif(fileName); },
                               true);
        model.waitBackground();
        // One summary for all the records refused.
        showLdifReport();
        // Change records may have changed or removed the entry shown.
        const std::wstring active = model.getActiveEntryDN();
        if (model.getImportChangeCount() > 0 && !active.empty()) {
            if (model.entryExists(active))
                model.refreshActiveEntry(true);
            else
                model.clearActiveEntry();
        }
        // The tree is left alone: imported entries show when their parent
        // node is opened or refreshed.
        result = model.getLdifResult() < 0 ? -1 : 0;
    } catch (const std::exception& e) {
        reportUnexpected(L"Can't import the LDIF file", e.what());
    }
    returnFocusToTree();
    return result;
}

int CMainFrame::OnLdifExport()
{
    DIRLOOK_GUARD(L"CMainFrame.cpp");
    util::TraceScope trace(L"CMainFrame::OnLdifExport");
    if (checkConnection() != 0)
        return -1;
    const std::wstring dn = m_pModel->getActiveEntryDN();
    // Without an active entry there is nothing to write.
    if (dn.empty())
        return -1;
    int result = -1;
    try {
        const bool subtree =
            util::messageBox(L"Export to ldif file", L"Include children records?",
                             util::BoxIcon::Question, util::BoxButtons::YesNo) == util::BoxAnswer::Yes;
        ui::FileDialogRequest request;
        request.caption = QStringLiteral("Export to LDIF file");
        request.proposedName = wide(proposedLdifFileName(m_pModel->getHost(), dn));
        request.filters = ldifFileFilters();
        request.defaultSuffix = QStringLiteral("ldif");
        request.kind = ui::FileDialogRequest::kLdifFiles;
        const std::optional<QString> chosen = ui::dialogs().getSaveFileName(this, request);
        if (!chosen || chosen->isEmpty()) {
            returnFocusToTree();
            return -1;
        }
        // The save dialog has confirmed replacing an existing file, and the
        // writer appends: the file starts empty.
        QFile existing(*chosen);
        if (existing.exists())
            existing.resize(0);
        const std::wstring fileName = chosen->toStdWString();
        util::Log::getLog(L"ldapmodel")
            ->write(L"CMainFrame::OnLdifExport %s to %s subtree %d", dn.c_str(), fileName.c_str(),
                    subtree ? 1 : 0);
        ldapmodel::Model& model = *m_pModel;
        if (subtree) {
            model.setLdifFileName(fileName);
            CProgressBar::runModal(
                this, model,
                [&model, &dn]() { return model.exportSubtree(dn, L"(objectclass=*)", {L"*"}); }, true);
            model.waitBackground();
            result = model.getLdifResult() == 0 ? 0 : -1;
        } else {
            result = model.exportLdif(fileName, false) == 0 ? 0 : -1;
        }
        showLdifReport();
    } catch (const std::exception& e) {
        reportUnexpected(L"Can't export to the LDIF file", e.what());
    }
    returnFocusToTree();
    return result;
}

int CMainFrame::OnEntrySearch()
{
    DIRLOOK_GUARD(L"CMainFrame.cpp");
    util::TraceScope trace(L"CMainFrame::OnEntrySearch");
    if (checkConnection() != 0)
        return -1;
    std::wstring base = m_pModel->getActiveEntryDN();
    if (base.empty())
        base = m_pModel->getBaseDN();
    {
        CDialogSearchRecord dialog(m_pModel, this);
        dialog.setBaseDN(base);
        ui::dialogs().exec(dialog);
    }
    m_pModel->setActiveEntry(base);
    returnFocusToTree();
    return 0;
}

int CMainFrame::OnEntryAdd()
{
    DIRLOOK_GUARD(L"CMainFrame.cpp");
    util::TraceScope trace(L"CMainFrame::OnEntryAdd");
    if (checkConnection() != 0)
        return -1;
    const std::wstring parentDN = m_pModel->getActiveEntryDN();
    if (parentDN.empty())
        return -1;
    CWizardCreateEntry wizard(parentDN, this);
    wizard.run();
    if (wizard.getNewLDAPRelativeDn().empty()) {
        returnFocusToTree();
        return -1;
    }
    try {
        // The parent as the user left it on the wizard's first page.
        m_pModel->entryExists(wizard.getNewDN());
        refreshParentNode(wizard.getParentDNText());
    } catch (const std::exception& e) {
        reportUnexpected(L"Please refresh the tree", e.what());
    }
    returnFocusToTree();
    return wizard.isEntryCreated() ? 0 : -1;
}

int CMainFrame::OnEntryModify()
{
    DIRLOOK_GUARD(L"CMainFrame.cpp");
    util::TraceScope trace(L"CMainFrame::OnEntryModify");
    if (checkConnection() != 0)
        return -1;
    if (m_pModel->getActiveEntryDN().empty())
        return -1;
    {
        CDialogModifyEntry dialog(m_pModel, this);
        ui::dialogs().exec(dialog);
    }
    m_bCommandFromDialog = false;
    returnFocusToTree();
    return 0;
}

int CMainFrame::OnEntryView()
{
    return OnEntryModify();
}

int CMainFrame::OnEntryRename()
{
    DIRLOOK_GUARD(L"CMainFrame.cpp");
    util::TraceScope trace(L"CMainFrame::OnEntryRename");
    if (checkConnection() != 0)
        return -1;
    const std::wstring dn = m_pModel->getActiveEntryDN();
    if (dn.empty())
        return -1;
    CDialogRenameEntry dialog(this);
    dialog.setInitialText(m_pModel->getActiveRDNType() + L"=");
    const std::wstring parentDN = parentDNOf(dn);
    if (ui::dialogs().exec(dialog) != QDialog::Accepted) {
        returnFocusToTree();
        return -1;
    }
    const std::wstring newRDN = dialog.getNewRDN();
    if (util::messageBox(L"Rename", L"Rename:\n" + dn + L"\nto:\n" + newRDN + L"?",
                         util::BoxIcon::Question, util::BoxButtons::OkCancel)
        != util::BoxAnswer::Ok) {
        returnFocusToTree();
        return -1;
    }
    if (m_pModel->renameEntry(dn, newRDN) != 0) {
        returnFocusToTree();
        return -1;
    }
    m_pTreeView->renameNode(dn, newRDN);
    // The old name is gone from the server.
    m_pModel->forgetEntry(dn);
    const std::wstring newDN = parentDN.empty() ? newRDN : newRDN + L"," + parentDN;
    m_pModel->setActiveEntry(newDN);
    returnFocusToTree();
    return 0;
}

int CMainFrame::OnEntryDelete()
{
    DIRLOOK_GUARD(L"CMainFrame.cpp");
    util::TraceScope trace(L"CMainFrame::OnEntryDelete");
    if (checkConnection() != 0)
        return -1;
    const std::wstring dn = m_pModel->getActiveEntryDN();
    if (dn.empty())
        return -1;
    if (util::messageBox(L"Warning", formatDeleteQuestion(dn), util::BoxIcon::Warning,
                         util::BoxButtons::YesNo, util::BoxAnswer::No)
        != util::BoxAnswer::Yes) {
        returnFocusToTree();
        return -1;
    }
    const int result = m_pModel->removeEntry(dn, false);
    // Not a leaf: the entry may go with everything below it.
    if (result == ldapmodel::resultcode::NotAllowedOnNonLeaf) {
        const int subtree = deleteSubtreeOf(dn);
        returnFocusToTree();
        return subtree;
    }
    const bool gone = result == ldapmodel::resultcode::Success || result == ldapmodel::resultcode::NoSuchObject;
    if (gone) {
        if (result == ldapmodel::resultcode::NoSuchObject)
            m_pModel->forgetEntry(dn);
        followToParent(dn);
    }
    returnFocusToTree();
    return gone ? 0 : -1;
}

void CMainFrame::followToParent(const std::wstring& dn)
{
    if (m_pTreeView->deleteNode(dn) == 0)
        m_pTreeView->selectParent();
    // The views follow the tree to the parent instead of showing an
    // entry that no longer exists.
    const std::wstring parentDN = parentDNOf(dn);
    if (!parentDN.empty())
        m_pModel->setActiveEntry(parentDN);
}

std::wstring CMainFrame::formatSubtreeDeleteQuestion(const std::wstring& dn, int below, bool complete)
{
    const std::wstring count = std::to_wstring(below) + (below == 1 ? L" entry" : L" entries");
    return L"Delete " + dn + (complete ? L" and its " : L" and at least ") + count +
           L" below it? This cannot be undone.";
}

namespace {

// "LDAPError 50: Insufficient access" and the server's message below it.
std::wstring failureText(const ldapmodel::SubtreeOutcome& outcome)
{
    if (outcome.code <= 0)
        return L"The connection to the server is lost.";
    std::wstring text = L"LDAPError " + std::to_wstring(outcome.code) + L": " + ldapmodel::ldapErrorText(outcome.code);
    if (!outcome.diagnostic.empty())
        text += L"\n" + outcome.diagnostic;
    return text;
}

std::wstring entriesOf(const ldapmodel::SubtreeOutcome& outcome)
{
    return std::to_wstring(outcome.done.size()) + L" of " + std::to_wstring(outcome.total) +
           (outcome.total == 1 ? L" entry" : L" entries");
}

} // namespace

int CMainFrame::deleteSubtreeOf(const std::wstring& dn)
{
    DIRLOOK_GUARD(L"CMainFrame.cpp");
    util::TraceScope trace(L"CMainFrame::deleteSubtreeOf");
    int below = 0;
    const int counted = m_pModel->countSubtree(dn, below);
    if (counted != ldapmodel::resultcode::Success && counted != ldapmodel::resultcode::SizeLimitExceeded)
        return -1;
    if (util::messageBox(L"Warning", formatSubtreeDeleteQuestion(dn, below, counted == ldapmodel::resultcode::Success),
                         util::BoxIcon::Warning, util::BoxButtons::YesNo, util::BoxAnswer::No)
        != util::BoxAnswer::Yes)
        return -1;
    if (m_pModel->supportsSubtreeDelete()) {
        if (m_pModel->removeSubtree(dn) != 0)
            return -1;
        followToParent(dn);
        return 0;
    }
    ldapmodel::Model& model = *m_pModel;
    CProgressBar::runModal(this, model, [&model, &dn]() { return model.deleteSubtree(dn); }, true);
    model.waitBackground();
    const ldapmodel::SubtreeOutcome outcome = model.takeSubtreeOutcome();
    // The tree shows what remains: the node of every entry deleted goes.
    bool rootGone = false;
    for (const std::wstring& deleted : outcome.done) {
        if (ldapmodel::DistinguishedName::isWithin(dn, deleted))
            rootGone = true;
        else
            m_pTreeView->deleteNode(deleted);
    }
    if (rootGone)
        followToParent(dn);
    if (outcome.end == ldapmodel::SubtreeOutcome::End::Complete)
        return 0;
    const std::wstring what = outcome.end == ldapmodel::SubtreeOutcome::End::Stopped
                                  ? L"Deleting " + dn + L" was stopped."
                                  : L"Deleting " + dn + L" stopped at\n" + outcome.failedDN + L"\n" + failureText(outcome);
    util::messageBox(L"Delete Subtree",
                     what + L"\n" + entriesOf(outcome) + L" were deleted; the others are still there.",
                     util::BoxIcon::Warning, util::BoxButtons::Ok);
    return -1;
}

int CMainFrame::OnSearchProperties()
{
    DIRLOOK_GUARD(L"CMainFrame.cpp");
    util::TraceScope trace(L"CMainFrame::OnSearchProperties");
    if (checkConnection() != 0)
        return -1;
    CDialogMaxNoRecords dialog(this);
    dialog.setMaxNoRecords(m_pModel->getSizeLimit());
    dialog.setMaxNoSeconds(m_pModel->getTimeLimit());
    if (ui::dialogs().exec(dialog) != QDialog::Accepted) {
        returnFocusToTree();
        return -1;
    }
    m_pModel->setSizeLimit(dialog.getMaxNoRecords());
    m_pModel->setTimeLimit(dialog.getMaxNoSeconds());
    returnFocusToTree();
    return 0;
}

int CMainFrame::OnEntryRefresh()
{
    DIRLOOK_GUARD(L"CMainFrame.cpp");
    util::TraceScope trace(L"CMainFrame::OnEntryRefresh");
    // Nothing to re-read; the model would connect again first.
    if (m_pModel->getActiveEntryDN().empty())
        return 0;
    return m_pModel->refreshActiveEntry(true);
}

int CMainFrame::OnTreeRefresh()
{
    DIRLOOK_GUARD(L"CMainFrame.cpp");
    util::TraceScope trace(L"CMainFrame::OnTreeRefresh");
    return m_pTreeView->refreshSelectedNode();
}

int CMainFrame::OnTreeSort()
{
    DIRLOOK_GUARD(L"CMainFrame.cpp");
    return m_pTreeView->sortSelectedNode();
}

int CMainFrame::OnAttributeAdd()
{
    DIRLOOK_GUARD(L"CMainFrame.cpp");
    util::TraceScope trace(L"CMainFrame::OnAttributeAdd");
    if (checkConnection() != 0)
        return -1;
    CDialogAddAttribute dialog(m_pModel, this);
    if (ui::dialogs().exec(dialog) != QDialog::Accepted) {
        returnFocusToTree();
        return -1;
    }
    refreshEntry();
    returnFocusToTree();
    return dialog.getAddResult() == 0 ? 0 : -1;
}

int CMainFrame::OnAttributeDelete()
{
    DIRLOOK_GUARD(L"CMainFrame.cpp");
    util::TraceScope trace(L"CMainFrame::OnAttributeDelete");
    if (checkConnectionAndSelection() != 0)
        return -1;
    int result = -1;
    try {
        const std::wstring dn = m_pModel->getActiveEntryDN();
        CDialogDeleteAttribute dialog(this);
        if (ui::dialogs().exec(dialog) != QDialog::Accepted) {
            returnFocusToTree();
            return -1;
        }
        if (!dialog.isAllValues()) {
            if (m_iActiveAttributeValueIndex < 0) {
                returnFocusToTree();
                return -1;
            }
            result = m_pModel->syn_deleteAttributeValue(dn, m_iActiveAttributeValueIndex,
                                                        m_strActiveAttributeName);
        } else if (util::messageBox(
                       L"WARNING",
                       L"This will delete all the vales of the attribute.\nThe operation can't be "
                       L"undone.\nMake sure you have a backup (ldif file) before proceeding.\nWould "
                       L"you like to proceed?",
                       util::BoxIcon::Warning, util::BoxButtons::YesNo)
                   == util::BoxAnswer::Yes) {
            result = m_pModel->sys_deleteAttribute(dn, m_strActiveAttributeName);
        }
        refreshEntry();
    } catch (const std::exception& e) {
        reportUnexpected(L"Please refresh active entry", e.what());
        result = -1;
    }
    returnFocusToTree();
    return result == 0 ? 0 : -1;
}

int CMainFrame::OnValueAdd()
{
    DIRLOOK_GUARD(L"CMainFrame.cpp");
    util::TraceScope trace(L"CMainFrame::OnValueAdd");
    if (checkConnectionAndSelection() != 0)
        return -1;
    int result = -1;
    try {
        const std::wstring dn = m_pModel->getActiveEntryDN();
        CDialogAddValue dialog(this);
        dialog.setAttributeName(m_strActiveAttributeName);
        dialog.setBinary(CListEntryAttributes::isBinaryAttribute(m_strActiveAttributeName));
        if (ui::dialogs().exec(dialog) != QDialog::Accepted) {
            returnFocusToTree();
            return -1;
        }
        const gc_ptr<ldapmodel::LDAPAttributeValue> value = dialog.getAttributeValue();
        if (value.getObject() == nullptr) {
            returnFocusToTree();
            return -1;
        }
        result = m_pModel->syn_addAttributeValue(dn, value, m_strActiveAttributeName);
        refreshEntry();
    } catch (const std::exception& e) {
        reportUnexpected(L"Please refresh the active entry", e.what());
        result = -1;
    }
    returnFocusToTree();
    return result == 0 ? 0 : -1;
}

int CMainFrame::OnValueModify()
{
    DIRLOOK_GUARD(L"CMainFrame.cpp");
    util::TraceScope trace(L"CMainFrame::OnValueModify");
    if (checkConnectionAndSelection() != 0)
        return -1;
    const std::wstring dn = m_pModel->getActiveEntryDN();
    const std::wstring name = m_strActiveAttributeName;
    const int index = m_iActiveAttributeValueIndex;

    CDialogModifyValue dialog(this);
    dialog.setAttributeName(name);
    gc_ptr<ldapmodel::LDAPAttributeValue> oldValue;
    const gc_ptr<ldapmodel::LDAPEntry> entry = m_pModel->getActiveEntry();
    if (entry.getObject() != nullptr) {
        const gc_ptr<ldapmodel::LDAPAttribute> attribute = entry->getAttribute(name);
        if (attribute.getObject() != nullptr && index >= 0 && index < attribute->getValueCount())
            oldValue = attribute->getValue(index);
    }
    // The record view's rule: a value it shows as binary is edited as a file.
    const bool binary = CListEntryAttributes::isBinaryAttribute(name);
    // The whole value, not the cell: the cell shows only its beginning, and
    // a password row only its scheme.
    const std::wstring presetText =
        !binary && oldValue.getObject() != nullptr ? oldValue->toString() : m_strActiveAttributeValue;
    dialog.setTextValue(presetText);
    dialog.setBinary(binary);
    dialog.setAttributeValue(oldValue);
    if (ui::dialogs().exec(dialog) != QDialog::Accepted) {
        returnFocusToTree();
        return -1;
    }
    const gc_ptr<ldapmodel::LDAPAttributeValue> newValue = dialog.getAttributeValue();
    if (newValue.getObject() == nullptr) {
        returnFocusToTree();
        return -1;
    }
    // An untouched text counts as the same value even where the bytes have
    // no exact text form.
    const bool same = (oldValue.getObject() != nullptr && oldValue->equals(*newValue))
                      || (!binary && oldValue.getObject() != nullptr && dialog.getText() == presetText);
    if (same) {
        util::Log::getLog(L"ldapmodel")
            ->write(L"CMainFrame::OnValueModify same value, no modifications, return now");
        returnFocusToTree();
        return -1;
    }
    if (index < 0) {
        returnFocusToTree();
        return -1;
    }
    if (m_pModel->modifyAttributeValue(dn, name, newValue, index) != 0) {
        returnFocusToTree();
        return -1;
    }
    refreshEntry();
    returnFocusToTree();
    return 0;
}

int CMainFrame::OnValueDelete()
{
    DIRLOOK_GUARD(L"CMainFrame.cpp");
    util::TraceScope trace(L"CMainFrame::OnValueDelete");
    if (checkConnectionAndSelection() != 0)
        return -1;
    if (util::messageBox(L"Delete Value", L"Delete the current value?", util::BoxIcon::Question,
                         util::BoxButtons::OkCancel)
        != util::BoxAnswer::Ok) {
        returnFocusToTree();
        return -1;
    }
    if (m_iActiveAttributeValueIndex < 0) {
        returnFocusToTree();
        return -1;
    }
    const int result = m_pModel->syn_deleteAttributeValue(
        m_pModel->getActiveEntryDN(), m_iActiveAttributeValueIndex, m_strActiveAttributeName);
    refreshEntry();
    returnFocusToTree();
    return result == 0 ? 0 : -1;
}

gc_ptr<ldapmodel::LDAPAttributeValue> CMainFrame::selectedValue() const
{
    const gc_ptr<ldapmodel::LDAPEntry> entry = m_pModel->getActiveEntry();
    if (entry.getObject() == nullptr)
        return gc_ptr<ldapmodel::LDAPAttributeValue>();
    const gc_ptr<ldapmodel::LDAPAttribute> attribute = entry->getAttribute(m_strActiveAttributeName);
    if (attribute.getObject() == nullptr)
        return gc_ptr<ldapmodel::LDAPAttributeValue>();
    return attribute->getValue(m_iActiveAttributeValueIndex);
}

int CMainFrame::OnValueViewCertificate()
{
    DIRLOOK_GUARD(L"CMainFrame.cpp");
    util::TraceScope trace(L"CMainFrame::OnValueViewCertificate");
    if (checkConnectionAndSelection() != 0)
        return -1;
    const gc_ptr<ldapmodel::LDAPAttributeValue> value = selectedValue();
    if (!ldapmodel::isCertificateAttribute(m_strActiveAttributeName) || value.getObject() == nullptr) {
        util::messageBox(L"View Certificate", L"Please select a certificate value, first",
                         util::BoxIcon::Warning, util::BoxButtons::Ok);
        returnFocusToTree();
        return -1;
    }
    const int result = CDialogCertificate::showValue(this, *value);
    returnFocusToTree();
    return result;
}

int CMainFrame::OnValueSetPassword()
{
    DIRLOOK_GUARD(L"CMainFrame.cpp");
    util::TraceScope trace(L"CMainFrame::OnValueSetPassword");
    if (checkConnection() != 0)
        return -1;
    const std::wstring dn = m_pModel->getActiveEntryDN();
    const gc_ptr<ldapmodel::LDAPEntry> entry = m_pModel->getActiveEntry();
    if (dn.empty() || entry.getObject() == nullptr)
        return -1;
    // The value replaced: the selected userPassword value, else the only
    // one; without any, one is added.
    std::wstring name = L"userPassword";
    int index = -1;
    std::wstring selectedName;
    std::wstring selectedText;
    int selectedIndex = -1;
    const gc_ptr<ldapmodel::LDAPAttribute> passwords = entry->getAttribute(name);
    if (m_pRecordView->getSelection(selectedName, selectedText, selectedIndex) == 0
        && ldapmodel::isPasswordAttribute(selectedName) && selectedIndex >= 0) {
        name = selectedName;
        index = selectedIndex;
    } else if (passwords.getObject() != nullptr && passwords->getValueCount() == 1) {
        name = passwords->getName();
        index = 0;
    } else if (passwords.getObject() != nullptr && passwords->getValueCount() > 1) {
        util::messageBox(L"Set Password", L"Please select the userPassword value to replace, first",
                         util::BoxIcon::Warning, util::BoxButtons::Ok);
        returnFocusToTree();
        return -1;
    }
    CDialogSetPassword dialog(this);
    dialog.setEntryDN(dn);
    if (ui::dialogs().exec(dialog) != QDialog::Accepted) {
        returnFocusToTree();
        return -1;
    }
    const std::string& bytes = dialog.getValue();
    const gc_ptr<ldapmodel::LDAPAttributeValue> value =
        new ldapmodel::LDAPAttributeValue(bytes.data(), bytes.size());
    const int result = index >= 0 ? m_pModel->modifyAttributeValue(dn, name, value, index)
                                  : m_pModel->syn_addAttributeValue(dn, value, name);
    refreshEntry();
    returnFocusToTree();
    return result == 0 ? 0 : -1;
}

int CMainFrame::OnValueCheckPassword()
{
    DIRLOOK_GUARD(L"CMainFrame.cpp");
    util::TraceScope trace(L"CMainFrame::OnValueCheckPassword");
    if (checkConnection() != 0)
        return -1;
    const std::wstring dn = m_pModel->getActiveEntryDN();
    const gc_ptr<ldapmodel::LDAPEntry> entry = m_pModel->getActiveEntry();
    if (dn.empty() || entry.getObject() == nullptr)
        return -1;
    // The selected userPassword value, else every one.
    std::vector<std::string> stored;
    std::wstring selectedName;
    std::wstring selectedText;
    int selectedIndex = -1;
    const gc_ptr<ldapmodel::LDAPAttribute> passwords = entry->getAttribute(L"userPassword");
    if (m_pRecordView->getSelection(selectedName, selectedText, selectedIndex) == 0
        && ldapmodel::isPasswordAttribute(selectedName)) {
        const gc_ptr<ldapmodel::LDAPAttribute> selected = entry->getAttribute(selectedName);
        const gc_ptr<ldapmodel::LDAPAttributeValue> value =
            selected.getObject() != nullptr ? selected->getValue(selectedIndex)
                                            : gc_ptr<ldapmodel::LDAPAttributeValue>();
        if (value.getObject() != nullptr)
            stored.push_back(value->getByteString());
    } else if (passwords.getObject() != nullptr) {
        for (const auto& value : passwords->getValues()) {
            if (value.getObject() != nullptr)
                stored.push_back(value->getByteString());
        }
    }
    if (stored.empty()) {
        util::messageBox(L"Check Password", L"The entry has no userPassword value that can be read.",
                         util::BoxIcon::Warning, util::BoxButtons::Ok);
        returnFocusToTree();
        return -1;
    }
    CDialogCheckPassword dialog(this);
    dialog.setEntryDN(dn);
    dialog.setStoredValues(std::move(stored));
    ui::dialogs().exec(dialog);
    returnFocusToTree();
    return 0;
}

int CMainFrame::OnSchemaView()
{
    DIRLOOK_GUARD(L"CMainFrame.cpp");
    util::TraceScope trace(L"CMainFrame::OnSchemaView");
    if (checkConnection() != 0)
        return -1;
    CDialogSchema dialog(m_pModel->getSchema(), this);
    ui::dialogs().exec(dialog);
    returnFocusToTree();
    return 0;
}

// ---- help, about, view ---------------------------------------------------------------

void CMainFrame::showHelp(const QString& anchor, bool search)
{
    // The base directory's help first, then an installed copy's.
    QStringList folders;
    for (const std::wstring& folder : ldapmodel::Directories::getHelpDirectories())
        folders << QString::fromStdWString(folder);
    CHelpWindow::showHelp(this, CHelpWindow::folderWithHelp(folders), anchor, search);
}

int CMainFrame::OnHelpContents()
{
    DIRLOOK_GUARD(L"CMainFrame.cpp");
    showHelp(QString(), false);
    return 0;
}

int CMainFrame::OnHelpSearch()
{
    DIRLOOK_GUARD(L"CMainFrame.cpp");
    showHelp(QString(), true);
    return 0;
}

int CMainFrame::OnHelpIndex()
{
    DIRLOOK_GUARD(L"CMainFrame.cpp");
    showHelp(QStringLiteral("index"), false);
    return 0;
}

int CMainFrame::OnAppAbout()
{
    DIRLOOK_GUARD(L"CMainFrame.cpp");
    CAboutDlg about(this);
    ui::dialogs().exec(about);
    return 0;
}

int CMainFrame::OnViewToolbar()
{
    m_bToolbarVisible = !m_bToolbarVisible;
    m_pToolBar->setVisible(m_bToolbarVisible);
    getAction(QStringLiteral("OnViewToolbar"))->setChecked(m_bToolbarVisible);
    return 0;
}

int CMainFrame::OnViewStatusBar()
{
    const bool show = statusBar()->isHidden();
    statusBar()->setVisible(show);
    getAction(QStringLiteral("OnViewStatusBar"))->setChecked(show);
    return 0;
}

int CMainFrame::OnViewPreferences()
{
    DIRLOOK_GUARD(L"CMainFrame.cpp");
    util::TraceScope trace(L"CMainFrame::OnViewPreferences");
    CDialogPreferences dialog(this);
    dialog.setPreferences(m_pModel->getPreferences());
    if (ui::dialogs().exec(dialog) != QDialog::Accepted)
        return -1;
    const ldapmodel::Preferences preferences = dialog.getPreferences();
    m_pModel->setPreferences(preferences);
    ui::PreferenceStore::save(preferences);
    return 0;
}

int CMainFrame::OnSetTreeWindowFocus()
{
    if (m_pTreeView != nullptr)
        m_pTreeView->setFocus();
    return 0;
}

// ---- restructuring and the clipboard ----------------------------------------------

int CMainFrame::moveEntryTo(const std::wstring& dn, const std::wstring& newParentDN)
{
    DIRLOOK_GUARD(L"CMainFrame.cpp");
    util::TraceScope trace(L"CMainFrame::moveEntryTo");
    std::wstring newDN;
    // A refusal is reported by the model and leaves everything as it was.
    if (m_pModel->moveEntry(dn, newParentDN, newDN) != 0) {
        returnFocusToTree();
        return -1;
    }
    m_pTreeView->moveNode(dn, newParentDN, newDN);
    returnFocusToTree();
    return 0;
}

int CMainFrame::OnEntryMove()
{
    DIRLOOK_GUARD(L"CMainFrame.cpp");
    util::TraceScope trace(L"CMainFrame::OnEntryMove");
    if (checkConnection() != 0)
        return -1;
    const std::wstring dn = m_pModel->getActiveEntryDN();
    if (dn.empty())
        return -1;
    const std::wstring parentDN = parentDNOf(dn);
    CDialogMoveEntry dialog(this);
    dialog.setEntry(dn, parentDN);
    // The picker starts at the connection's base, else at the tree's top.
    std::vector<std::wstring> roots;
    if (!m_pModel->getBaseDN().empty()) {
        roots.push_back(m_pModel->getBaseDN());
    } else {
        for (int row = 0; row < m_pTreeView->topLevelItemCount(); ++row)
            roots.push_back(m_pTreeView->getDN(m_pTreeView->topLevelItem(row)));
    }
    ldapmodel::Model& model = *m_pModel;
    dialog.setRoots(roots, [&model](const std::wstring& parent) {
        std::vector<std::wstring> children;
        model.listChildren(parent, model.getSizeLimit(), children);
        return children;
    });
    if (ui::dialogs().exec(dialog) != QDialog::Accepted) {
        returnFocusToTree();
        return -1;
    }
    const std::wstring newParentDN = dialog.getNewParentDN();
    // Where it already is: nothing to do.
    if (ldapmodel::DistinguishedName::isWithin(newParentDN, parentDN) &&
        ldapmodel::DistinguishedName::isWithin(parentDN, newParentDN)) {
        returnFocusToTree();
        return 0;
    }
    return moveEntryTo(dn, newParentDN);
}

int CMainFrame::OnEntryCopy()
{
    DIRLOOK_GUARD(L"CMainFrame.cpp");
    if (checkConnection() != 0)
        return -1;
    const std::wstring dn = m_pModel->getActiveEntryDN();
    if (dn.empty())
        return -1;
    m_strCopiedDN = dn;
    statusBar()->showMessage(QStringLiteral("Copied ") + wide(dn) +
                                 QStringLiteral("; Entry > Paste puts a copy under the selected entry"),
                             8000);
    return 0;
}

int CMainFrame::OnEntryPaste()
{
    DIRLOOK_GUARD(L"CMainFrame.cpp");
    util::TraceScope trace(L"CMainFrame::OnEntryPaste");
    if (checkConnection() != 0)
        return -1;
    const std::wstring parentDN = m_pModel->getActiveEntryDN();
    if (parentDN.empty())
        return -1;
    const std::wstring source = m_strCopiedDN;
    if (source.empty()) {
        util::messageBox(L"Paste", L"Nothing to paste: copy an entry first (Entry > Copy).",
                         util::BoxIcon::Information, util::BoxButtons::Ok);
        returnFocusToTree();
        return -1;
    }
    // One child tells whether there is a subtree to ask about.
    std::vector<std::wstring> children;
    const int listed = m_pModel->listChildren(source, 1, children);
    if (listed != ldapmodel::resultcode::Success && listed != ldapmodel::resultcode::SizeLimitExceeded) {
        returnFocusToTree();
        return -1;
    }
    bool subtree = false;
    if (!children.empty()) {
        const util::BoxAnswer answer =
            util::messageBox(L"Paste",
                             L"Paste a copy of\n" + source + L"\nunder\n" + parentDN +
                                 L"\n\nCopy the entries below it too?",
                             util::BoxIcon::Question, util::BoxButtons::YesNoCancel, util::BoxAnswer::No);
        if (answer == util::BoxAnswer::Cancel) {
            returnFocusToTree();
            return -1;
        }
        subtree = answer == util::BoxAnswer::Yes;
    }
    std::wstring newDN = ldapmodel::SubtreeCopy::copyDN(source, parentDN);
    bool added = false;
    int result = -1;
    if (subtree) {
        ldapmodel::Model& model = *m_pModel;
        CProgressBar::runModal(this, model, [&model, &source, &parentDN]() {
            return model.copySubtree(source, parentDN);
        }, true);
        model.waitBackground();
        const ldapmodel::SubtreeOutcome outcome = model.takeSubtreeOutcome();
        added = !outcome.done.empty();
        if (outcome.end == ldapmodel::SubtreeOutcome::End::Complete) {
            result = 0;
        } else if (outcome.end == ldapmodel::SubtreeOutcome::End::Failed && !added) {
            // Refused at once (an RDN that exists there): the server's word.
            ldapmodel::setLastDiagnostic(outcome.code, outcome.diagnostic);
            ldapmodel::reportLdapError(outcome.code, L"Paste Entry");
        } else {
            const std::wstring what =
                outcome.end == ldapmodel::SubtreeOutcome::End::Stopped
                    ? L"The copy was stopped."
                    : L"The copy stopped at\n" + outcome.failedDN + L"\n" + failureText(outcome);
            util::messageBox(L"Paste", what + L"\n" + entriesOf(outcome) + L" were copied.", util::BoxIcon::Warning,
                             util::BoxButtons::Ok);
        }
    } else {
        result = m_pModel->copyEntry(source, parentDN, newDN) == 0 ? 0 : -1;
        added = result == 0;
    }
    if (added) {
        // The parent reads its children again, the copy among them.
        refreshParentNode(parentDN);
        if (QTreeWidgetItem* copy = m_pTreeView->findNode(newDN))
            m_pTreeView->setCurrentItem(copy);
    }
    returnFocusToTree();
    return result;
}

std::wstring CMainFrame::currentDN() const
{
    const QTreeWidgetItem* node = m_pTreeView->currentItem();
    if (node != nullptr && !TreeControlView::isMoreHint(node))
        return m_pTreeView->getDN(node);
    return m_pModel->getActiveEntryDN();
}

int CMainFrame::OnCopyDN()
{
    const std::wstring dn = currentDN();
    if (dn.empty())
        return -1;
    QGuiApplication::clipboard()->setText(wide(dn));
    return 0;
}

int CMainFrame::OnCopyRDN()
{
    const std::wstring dn = currentDN();
    std::vector<std::wstring> rdns = ldapmodel::DistinguishedName::components(dn);
    if (rdns.empty())
        return -1;
    QGuiApplication::clipboard()->setText(wide(rdns.front()));
    return 0;
}

int CMainFrame::OnCopyEntryLdif()
{
    const gc_ptr<ldapmodel::LDAPEntry> entry = m_pModel->getActiveEntry();
    if (entry.getObject() == nullptr || entry->getDN().empty())
        return -1;
    // The record writer's bytes: ISO-8859-1 text and Base64.
    const std::string record = ldapmodel::LdifRecordWriter::entryRecord(
        *entry, ldapmodel::LdifRecordWriter::DISPLAY_LINE_WIDTH, nullptr, m_pModel->getPreferences().ldifAsciiOnly);
    QGuiApplication::clipboard()->setText(QString::fromLatin1(record.data(), static_cast<int>(record.size())));
    return 0;
}

int CMainFrame::OnCopyValue()
{
    DIRLOOK_GUARD(L"CMainFrame.cpp");
    if (getSelection() != 0)
        return -1;
    const gc_ptr<ldapmodel::LDAPAttributeValue> value = selectedValue();
    if (value.getObject() == nullptr)
        return -1;
    const QByteArray bytes(value->getBytes(), static_cast<int>(value->getLength()));
    // Text goes as text; bytes that are no text (a photo, a certificate) in Base64.
    const bool text = !CListEntryAttributes::isBinaryAttribute(m_strActiveAttributeName) && !bytes.contains('\0') &&
                      QString::fromUtf8(bytes).toUtf8() == bytes;
    QGuiApplication::clipboard()->setText(text ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes.toBase64()));
    return 0;
}
