#pragma once

#include "services/ObserverBridge.h"

#include "handles/gc_ptr.h"
#include "model/Model.h"

#include <QMainWindow>
#include <QStringList>

#include <cstddef>
#include <map>
#include <string>

class CDialogConnection;
class QAction;
class QCloseEvent;
class QLabel;
class QSplitter;
class QToolBar;
class TreeControlView;
class CListEntryAttributes;
class CListEntryStructuralAttributes;

// The main window: directory tree on the left, the record view (user
// attributes) upper right, the structural view (operational attributes)
// lower right; menu, toolbar, accelerators and status bar; the connect and
// disconnect flows; the model's first observer.
//
// The views reach the frame with CMainFrame::fromWidget(this); their context
// menus call the frame's handlers. The frame uses these view operations:
//   TreeControlView: deleteAllItems(), buildTree(paths, L","),
//     refreshSelectedNode(), sortSelectedNode().
//   CListEntryAttributes: init(), fill(), reset(),
//     getSelection(name, value, index), selectRow(row).
//   CListEntryStructuralAttributes: init(), reset(), addEntryRows(entry).
class CMainFrame : public QMainWindow, public ui::ObserverTarget {
    Q_OBJECT
public:
    explicit CMainFrame(QWidget* parent = nullptr);
    ~CMainFrame() override;

    // The frame that holds widget (its top-level window), or null.
    static CMainFrame* fromWidget(const QWidget* widget);

    // ---- views -------------------------------------------------------------
    TreeControlView* getTreeView() const { return m_pTreeView; }
    CListEntryAttributes* getRecordView() const { return m_pRecordView; }
    CListEntryStructuralAttributes* getStructuralView() const { return m_pStructuralView; }
    QSplitter* getMainSplitter() const { return m_pMainSplitter; }
    QSplitter* getRightSplitter() const { return m_pRightSplitter; }
    QToolBar* getToolBar() const { return m_pToolBar; }
    // The status bar's word on the connection: the TLS version and cipher,
    // or a warning that it is not encrypted; empty while not connected.
    QLabel* getSecurityStatus() const { return m_pSecurityText; }
    memorylib::gc_ptr<ldapmodel::Model> getModel() const { return m_pModel; }
    // The action of a handler ("OnConnect", ...; "OnValueSearch" for
    // Value > Search), or null.
    QAction* getAction(const QString& handlerName) const;

    // ---- selection triple --------------------------------------------------
    const std::wstring& getActiveAttributeName() const { return m_strActiveAttributeName; }
    const std::wstring& getActiveAttributeValue() const { return m_strActiveAttributeValue; }
    int getActiveAttributeValueIndex() const { return m_iActiveAttributeValueIndex; }
    // Used by the modify-entry dialog: fills the triple and marks the next
    // attribute or value command as coming from that dialog, which skips the
    // selection check. The mark is taken by the next such command.
    void setSelectionFromDialog(const std::wstring& name, const std::wstring& value, int index);

    // ---- shared steps -------------------------------------------------------
    // 0 when connected; otherwise "Not connected." (Warning) and -1.
    int checkConnection();
    // Fills the selection triple from the record view. 0, or -1 after
    // "Please select an attribute, first" (no selection; OK/Cancel box
    // titled "Delete Attribute") or silently for a negative value index.
    int getSelection();
    // Takes the dialog mark (see setSelectionFromDialog); without it runs
    // getSelection.
    int checkSelection();
    // Queues OnSetTreeWindowFocus.
    void returnFocusToTree();
    // Shows what the model's last LDIF operation has to tell (a warning
    // box), if anything.
    void showLdifReport();

    // ---- command texts ------------------------------------------------------
    // The entry delete question, at most kMaxDeleteQuestion characters; a
    // longer DN is shortened in the middle ("...").
    static constexpr std::size_t kMaxDeleteQuestion = 255;
    static std::wstring formatDeleteQuestion(const std::wstring& dn);
    // host(dn), cut to kMaxPath characters, for the LDIF export's save dialog.
    static constexpr std::size_t kMaxPath = 260;
    static std::wstring proposedLdifFileName(const std::wstring& host, const std::wstring& dn);
    // The file types of the LDIF file dialogs.
    static QStringList ldifFileFilters();
    // The DN without its first RDN, empty for a one-component DN.
    static std::wstring parentDNOf(const std::wstring& dn);

    // ---- view refills ---------------------------------------------------------
    void FillTreeView();
    void FillStructuralView();
    void FillRecordView();
    // Removes every node from the tree.
    void disconnect();

    // Moves the entry dn under newParentDN (one rename request); the cache,
    // the tree, the active entry and the views follow. A refused move is
    // reported and changes nothing on screen. 0 or -1.
    int moveEntryTo(const std::wstring& dn, const std::wstring& newParentDN);
    // The entry Entry > Copy took, for Entry > Paste; empty before.
    const std::wstring& getCopiedDN() const { return m_strCopiedDN; }
    // The question before a subtree delete (complete: below is the whole
    // count, else a lower bound).
    static std::wstring formatSubtreeDeleteQuestion(const std::wstring& dn, int below, bool complete);

    // The connect flow with the named profile instead of the chooser's
    // choice; a missing profile is reported as the chooser reports it.
    // 0, or -1 when not connected.
    int connectToProfile(const std::wstring& name);

    // ---- model observer (user-interface thread) -------------------------------
    void updateFromModel(int kind) override;

public Q_SLOTS:
    // Command handlers: 0 when the command ran, -1 when it stopped early.
    int OnConnect();
    int OnDisconnect();
    int OnLdifImport();
    int OnLdifExport();
    int OnFileExit();
    int OnEntrySearch();
    int OnEntryAdd();
    int OnEntryModify();
    int OnEntryView();
    int OnEntryRename();
    int OnEntryDelete();
    int OnSearchProperties();
    int OnEntryRefresh();
    int OnTreeRefresh();
    int OnTreeSort();
    int OnAttributeAdd();
    int OnAttributeDelete();
    int OnValueAdd();
    int OnValueModify();
    int OnValueDelete();
    // The value viewers: the selected certificate, the active entry's
    // userPassword set through the specified value operations, a password
    // checked against it.
    int OnValueViewCertificate();
    int OnValueSetPassword();
    int OnValueCheckPassword();
    int OnSchemaView();
    int OnHelpContents();
    int OnHelpSearch();
    int OnHelpIndex();
    int OnAppAbout();
    int OnViewToolbar();
    int OnViewStatusBar();
    // View > Preferences...: the time-outs and the pause between background
    // results, handed to the model and stored in the settings file.
    int OnViewPreferences();
    int OnSetTreeWindowFocus();
    // Entry > Move...: the new parent from the move dialog.
    int OnEntryMove();
    // Entry > Copy and Entry > Paste: a copy of the copied entry, or of it
    // and its subtree (asked), under the active entry.
    int OnEntryCopy();
    int OnEntryPaste();
    // The clipboard: the current node's DN or RDN, the active entry as LDIF
    // (width 70), the selected value (Base64 when it is binary).
    int OnCopyDN();
    int OnCopyRDN();
    int OnCopyEntryLdif();
    int OnCopyValue();

private:
    void createViews();
    void createActions();
    void createMenus();
    void createToolBar();
    void createStatusBar();
    QAction* addCommand(const QString& handlerName, const QString& label,
                        const QKeySequence& keys, const QString& prompt,
                        const QString& tooltip, const QIcon& icon, int (CMainFrame::*handler)());
    void showHelp(const QString& anchor, bool search);
    // Connection check, then the selection check (skipped once for a
    // command raised from the modify-entry dialog). 0 or -1.
    int checkConnectionAndSelection();
    // Re-reads the active entry; the model's notifications refill the views.
    void refreshEntry();
    // The value the selection triple names in the active entry, or empty.
    memorylib::gc_ptr<ldapmodel::LDAPAttributeValue> selectedValue() const;
    // Refreshes the tree node of parentDN (keeping the selection), or the
    // selected node when parentDN has none.
    void refreshParentNode(const std::wstring& parentDN);
    void showEvent(QShowEvent* event) override;
    // Keeps the window's size, position and splitters for the next start.
    void closeEvent(QCloseEvent* event) override;
    void placeSplitters();
    // The connect flow after the chooser ended with Connect.
    int connectWith(const CDialogConnection& dialog);
    // After a delete refused with 66: counts the subtree, asks, and deletes
    // it (with the subtree delete control, else leaves first in the
    // background). The tree then shows what remains.
    int deleteSubtreeOf(const std::wstring& dn);
    // The tree's current node's DN, else the active entry's.
    std::wstring currentDN() const;
    // After the tree lost entries (deleted or moved away): makes the node of
    // dn's parent current and its entry active when dn's node went.
    void followToParent(const std::wstring& dn);
    // The model lost its connection: the title says so at once; the model is
    // disconnected and the views cleared once no modal window is open (it
    // may still be using what the model holds).
    void onConnectionLost();
    // The security word of the status bar from the model's connection.
    void updateSecurityStatus();

    memorylib::gc_ptr<ldapmodel::Model> m_pModel;
    TreeControlView* m_pTreeView = nullptr;
    CListEntryAttributes* m_pRecordView = nullptr;
    CListEntryStructuralAttributes* m_pStructuralView = nullptr;
    QSplitter* m_pMainSplitter = nullptr;
    QSplitter* m_pRightSplitter = nullptr;
    QToolBar* m_pToolBar = nullptr;
    QLabel* m_pStatusText = nullptr;
    QLabel* m_pSecurityText = nullptr;
    std::map<QString, QAction*> m_actions;

    std::wstring m_strActiveAttributeName;
    std::wstring m_strActiveAttributeValue;
    int m_iActiveAttributeValueIndex = 0;
    bool m_bCommandFromDialog = false;
    bool m_bToolbarVisible = true;
    bool m_bSplittersPlaced = false;
    // The name of the connected profile, for the title.
    std::wstring m_strConnectionName;
    // The entry Entry > Copy took.
    std::wstring m_strCopiedDN;
};
