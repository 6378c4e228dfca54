#pragma once

#include "frame/DialogFrameCommands.h"
#include "services/ObserverBridge.h"

#include "handles/gc_ptr.h"
#include "model/Model.h"

#include <QDialog>

#include <memory>
#include <string>
#include <vector>

class ListLineSizer;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;

// "Search": a subtree search under a base DN with a filter, run in the
// background behind the progress window; the DNs found are listed as they
// arrive. Selecting a line makes that entry the model's active entry; the
// buttons and the list's context menu run the main frame's commands on it.
//
// Use: construct, preset the base DN (setBaseDN), run through the dialog
// service. The frame's commands go through the FrameCommands given, or,
// without one, through the main frame that holds the dialog.
class CDialogSearchRecord : public QDialog, public ui::ObserverTarget {
    Q_OBJECT
public:
    static const wchar_t* defaultFilter() { return L"(objectclass=*)"; }

    explicit CDialogSearchRecord(const memorylib::gc_ptr<ldapmodel::Model>& model,
                                 QWidget* parent = nullptr, ui::FrameCommands* commands = nullptr);
    ~CDialogSearchRecord() override;

    // Preset of the "&Base DN" field.
    void setBaseDN(const std::wstring& baseDN);
    // Base DN and filter as read by the last search.
    const std::wstring& getBaseDN() const { return m_strBaseDN; }
    const std::wstring& getFilter() const { return m_strFilter; }
    // The DNs listed, in arrival order.
    std::vector<std::wstring> getResults() const;
    // The selected line, -1 when none.
    int getSelectedIndex() const { return m_iSelectedIndex; }

    // "&Search": lists the DNs found under the base DN. 0 when the search
    // ran (stopped or not), -1 without a model or while setting up.
    int OnSearch();
    // The buttons; each returns the frame command's result.
    int OnViewModify();
    int OnRename();
    int OnDelete();
    int OnExport();
    int OnProperties();

    // ObserverTarget: a DN found by the running search.
    void onEntryFound(const std::wstring& dn) override;

    // "ContextDialogSearch" over the list, owned by parent.
    QMenu* createContextMenu(QWidget* parent);
    // Selects the line at the list viewport's point (a selection change);
    // false when no line is there.
    bool selectLineAt(const QPoint& viewportPoint);
    // selectLineAt, then the menu at that point; nothing off the lines.
    void showContextMenuAt(const QPoint& viewportPoint);

    QLineEdit* getBaseDNEdit() const { return m_pBaseDNEdit; }
    QLineEdit* getFilterEdit() const { return m_pFilterEdit; }
    QListWidget* getResultList() const { return m_pResultList; }
    QPushButton* getViewModifyButton() const { return m_pViewModifyButton; }
    QPushButton* getRenameButton() const { return m_pRenameButton; }
    QPushButton* getDeleteButton() const { return m_pDeleteButton; }
    QPushButton* getExportButton() const { return m_pExportButton; }
    QPushButton* getPropertiesButton() const { return m_pPropertiesButton; }
    QPushButton* getSearchButton() const { return m_pSearchButton; }
    QPushButton* getCloseButton() const { return m_pCloseButton; }

private:
    void onSelectionChanged();
    int selectedRow() const;
    int runFrameCommand(const char* handlerName);
    ui::FrameCommands& frameCommands();

    memorylib::gc_ptr<ldapmodel::Model> m_pModel;
    ui::FrameCommands* m_pCommands;
    std::unique_ptr<ui::MainFrameCommands> m_pFrameCommands;
    memorylib::gc_ptr<ui::ObserverBridge> m_pObserver;

    std::wstring m_strBaseDN;
    std::wstring m_strFilter;
    int m_iSelectedIndex = -1;
    bool m_bInitializing = true;
    // A search runs: selecting a line waits for its end.
    bool m_bSearching = false;

    QLineEdit* m_pBaseDNEdit = nullptr;
    QLineEdit* m_pFilterEdit = nullptr;
    QListWidget* m_pResultList = nullptr;
    std::unique_ptr<ListLineSizer> m_pLineSizer;
    QPushButton* m_pViewModifyButton = nullptr;
    QPushButton* m_pRenameButton = nullptr;
    QPushButton* m_pDeleteButton = nullptr;
    QPushButton* m_pExportButton = nullptr;
    QPushButton* m_pPropertiesButton = nullptr;
    QPushButton* m_pSearchButton = nullptr;
    QPushButton* m_pCloseButton = nullptr;
};
