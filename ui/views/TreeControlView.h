#pragma once

#include "services/ObserverBridge.h"

#include "handles/gc_ptr.h"
#include "model/ModelObserver.h"

#include <QIcon>
#include <QTreeWidget>

#include <string>
#include <vector>

class CMainFrame;
class QMenu;

// The directory tree: one node per DN component, top-level nodes first. A
// node's DN is rebuilt from the labels on the way up. Children are read from
// the server when a node is first clicked or expanded; the model reports
// them through the view's observer (entry found). The current node is the
// model's active entry, however it became current (mouse, keyboard or
// program). A node whose last children read ended early ends its list with
// a hint that a refresh reads them all. A node dragged onto another node is
// moved under it after the question "Move DN under PARENT?" (the frame
// moves the entry); Ctrl+C copies the current node's DN.
class TreeControlView : public QTreeWidget, public ui::ObserverTarget {
    Q_OBJECT

public:
    explicit TreeControlView(QWidget* parent = nullptr);
    ~TreeControlView() override;

    // The observer for the model's tree slot.
    memorylib::gc_ptr<ldapmodel::ModelObserver> getObserver() const;

    // ---- building --------------------------------------------------------
    // Inserts every path (components top-down, joined by separator).
    int buildTree(const std::vector<std::wstring>& paths, const std::wstring& separator);
    // Inserts one path, creating the missing nodes; components are trimmed
    // and matched ignoring letter case, existing nodes are reused. The last
    // node of the path, or null for a path without components.
    QTreeWidgetItem* insertPath(const std::wstring& path, const std::wstring& separator = L",");
    // The same for the components of a path, top-down.
    QTreeWidgetItem* insertComponents(const std::vector<std::wstring>& components);
    // Removes every node.
    void deleteAllItems();

    // ---- nodes -----------------------------------------------------------
    // label, ",", parent's label, ... up to the top-level node.
    std::wstring getDN(const QTreeWidgetItem* node) const;
    // The node of a DN, or null.
    QTreeWidgetItem* findNode(const std::wstring& dn) const;
    // Removes the node of dn with its subtree and remembers its parent.
    // 0, or -1 when there is no such node.
    int deleteNode(const std::wstring& dn);
    // Selects the parent of the node removed last. 0, or -1 when it has
    // none (a top-level node was removed) or it is gone.
    int selectParent();
    // Gives the node of dn the label newRDN. 0 or -1.
    int renameNode(const std::wstring& dn, const std::wstring& newRDN);
    // After the entry dn moved to newDN under newParentDN: its node, with
    // what was read below it, goes under the new parent's node when that
    // node's children have been read; when they have not, that node reads
    // them. The moved node becomes current and its entry active. With no
    // node for the new parent the node goes and the old parent becomes
    // current. The moved node, or null.
    QTreeWidgetItem* moveNode(const std::wstring& dn, const std::wstring& newParentDN, const std::wstring& newDN);

    // ---- drag and drop -------------------------------------------------------
    // The drag's format: the dragged node's DN in UTF-8 (text/plain too).
    static const QString& dnMimeType();
    // A node of dn may be dropped onto the node of targetDN: not onto
    // itself, what lies below it or its own parent.
    static bool canDrop(const std::wstring& dn, const std::wstring& targetDN);
    // The drop's question, then the frame's move. 0, or -1 when it was
    // answered No or the move failed.
    int dropOnto(const std::wstring& dn, const std::wstring& targetDN);
    // Sorts the selected node's direct children by label, letter case
    // ignored. 0, or -1 without a selected node.
    int sortSelectedNode();
    int sortNode(QTreeWidgetItem* node);

    // ---- talking to the model ---------------------------------------------
    // What a click on the node does: make it current and its entry active,
    // then expand it, reading its children from the server first when it
    // has none yet.
    int clickNode(QTreeWidgetItem* node);
    // Reads the children of dn from the server into the tree, showing the
    // progress window. 0, or -1 when the entry does not exist (the read is
    // made all the same).
    int fetchChildren(const std::wstring& dn);
    // Reads the selected node's children again. -1 without a selected node.
    int refreshSelectedNode();
    // The DN of the node selected when the last refresh started.
    const std::wstring& getRefreshDN() const { return m_strRefreshDN; }
    // The node's last children read ended early (stopped, or cut by a
    // limit or the server): its list ends with the hint.
    static bool isChildListCut(const QTreeWidgetItem* node);
    // The hint at the end of an incomplete child list.
    static bool isMoreHint(const QTreeWidgetItem* item);

    // ---- context menus ------------------------------------------------------
    // The menu over a node and the one over empty space; their actions raise
    // the main frame's handlers.
    QMenu* createNodeMenu(QWidget* parent);
    QMenu* createBackgroundMenu(QWidget* parent);

    const QIcon& nodeIcon() const { return m_nodeIcon; }

    // ObserverTarget: the model found an entry (user-interface thread). A
    // new node whose entry has nothing below it (hasSubordinates FALSE)
    // shows no expand button.
    void onEntryFound(const std::wstring& dn) override;
    void onEntryFoundWithSubordinates(const std::wstring& dn, ldapmodel::Subordinates subordinates) override;

    // What a drag of the first item carries: its DN (dnMimeType, and as
    // text) and which view it comes from, so that only this view's nodes
    // are dropped here.
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QList<QTreeWidgetItem*>& items) const override;

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

public:
    // Children of one node (or the top-level nodes) by case-folded label;
    // the first node inserted under a label keeps it.
    struct ChildIndex {
        QHash<QString, QTreeWidgetItem*> nodes;
        // A rename gave two children the same label; removals then look
        // for the other one.
        bool bDuplicates = false;
    };

private:
    CMainFrame* mainFrame() const;
    // Shows "No Frame window! ..." when there is no frame.
    CMainFrame* requireMainFrame() const;
    void runFrameCommand(int (CMainFrame::*handler)());
    // This view among the views of every process, for its drags.
    QByteArray sourceId() const;
    bool isOwnDrag(const QMimeData* data) const;
    // The DN a drag carries, and the node's DN under position; both empty
    // when the drop can't be taken.
    bool dropTarget(const QDropEvent* event, std::wstring& dn, std::wstring& targetDN) const;
    // The icon or the text of the node's label at position (viewport).
    bool isOnLabel(const QModelIndex& index, const QPoint& position) const;
    void removeChildNodes(QTreeWidgetItem* node);
    static bool isInSubtree(const QTreeWidgetItem* item, const QTreeWidgetItem* top);
    // Makes the node's entry the active one (none when it has no entry);
    // true when the entry exists. While a background operation runs the
    // activation waits for its end.
    bool activateNode(QTreeWidgetItem* node, bool clicked);
    void onCurrentNodeChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous);
    void activateLater(const std::wstring& dn);
    void activatePending();
    void onNodeExpanded(QTreeWidgetItem* node);
    void readExpandedNode(const std::wstring& dn);
    // Expands the node and every node below it whose children were read.
    void expandReadSubtree(QTreeWidgetItem* top);
    // After a children read: the hint when it ended early, and the expand
    // button.
    void markChildren(QTreeWidgetItem* node, bool cut);
    ChildIndex& childIndex(QTreeWidgetItem* parent);
    const ChildIndex* childIndex(const QTreeWidgetItem* parent) const;
    QTreeWidgetItem* childByLabel(const QTreeWidgetItem* parent, const QString& label) const;
    void dropFromIndex(QTreeWidgetItem* parent, QTreeWidgetItem* node);
    void installTreeObserver();

    memorylib::gc_ptr<ui::ObserverBridge> m_pObserver;
    QIcon m_nodeIcon;
    // Each node keeps the index of its own children.
    ChildIndex m_topLevelIndex;
    std::wstring m_strRemovedParentDN;
    std::wstring m_strRefreshDN;
    // Node of the left-button press being handled, by DN.
    std::wstring m_strPressedDN;
    bool m_bPressOnLabel = false;
    // A click is making its node current; it activates the node itself.
    int m_iClickDepth = 0;
    // The current node while a background operation held the session.
    std::wstring m_strPendingDN;
    bool m_bPendingQueued = false;
};
