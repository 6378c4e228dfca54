#include "views/TreeControlView.h"

#include "faults/FaultGuard.h"
#include "frame/CMainFrame.h"
#include "frame/CProgressBar.h"
#include "logging/Trace.h"
#include "model/Model.h"
#include "session/DistinguishedName.h"
#include "utilities/MessageBox.h"
#include "utilities/Util.h"
#include "views/CGridControl.h"
#include "views/CListEntryAttributes.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QTimer>

#include <algorithm>
#include <exception>
#include <memory>

using ldapmodel::DistinguishedName;
using ldapmodel::Model;
using memorylib::gc_ptr;

namespace {

constexpr wchar_t kSourceFile[] = L"TreeControlView.cpp";

// A tree node: its label (one DN component), the index of its children and
// how far they have been read.
class TreeNode : public QTreeWidgetItem {
public:
    static constexpr int NodeType = QTreeWidgetItem::UserType + 1;

    enum class Children { Unread, Read, Cut };

    explicit TreeNode(const QString& label) : QTreeWidgetItem(NodeType)
    {
        setText(0, label);
        setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    }

    Children children() const { return m_children; }
    void setChildren(Children children) { m_children = children; }

    // Every node shows the view's one image; nodes do not store it.
    QVariant data(int column, int role) const override
    {
        if (column == 0 && role == Qt::DecorationRole) {
            if (auto* view = qobject_cast<TreeControlView*>(treeWidget()))
                return view->nodeIcon();
        }
        return QTreeWidgetItem::data(column, role);
    }

    bool operator<(const QTreeWidgetItem& other) const override
    {
        return QString::compare(text(0), other.text(0), Qt::CaseInsensitive) < 0;
    }

    TreeControlView::ChildIndex& index()
    {
        if (!m_pIndex)
            m_pIndex = std::make_unique<TreeControlView::ChildIndex>();
        return *m_pIndex;
    }
    const TreeControlView::ChildIndex* findIndex() const { return m_pIndex.get(); }
    void dropIndex() { m_pIndex.reset(); }

private:
    std::unique_ptr<TreeControlView::ChildIndex> m_pIndex;
    Children m_children = Children::Unread;
};

// The last child of a node whose child list is incomplete: a hint, not an
// entry. It can't be selected or opened, and the highlight passes over it.
class MoreNode : public QTreeWidgetItem {
public:
    static constexpr int NodeType = QTreeWidgetItem::UserType + 2;

    MoreNode() : QTreeWidgetItem(NodeType)
    {
        setText(0, QStringLiteral("... more (refresh to read all)"));
        // Enabled, so that the keyboard moves over it rather than stopping.
        setFlags(Qt::ItemIsEnabled | Qt::ItemNeverHasChildren);
        setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
    }
};

bool isMoreNode(const QTreeWidgetItem* item)
{
    return item != nullptr && item->type() == MoreNode::NodeType;
}

TreeNode* asTreeNode(QTreeWidgetItem* item)
{
    return item != nullptr && item->type() == TreeNode::NodeType ? static_cast<TreeNode*>(item) : nullptr;
}

QTreeWidgetItem* moreNodeOf(const QTreeWidgetItem* node)
{
    const int count = node != nullptr ? node->childCount() : 0;
    if (count > 0 && isMoreNode(node->child(count - 1)))
        return node->child(count - 1);
    return nullptr;
}

// Labels that write the same RDN differently (cn=Smith\, John as the user
// typed it, cn=Smith\2C John as the server sends it) share one key.
QString indexKey(const QString& label)
{
    return QString::fromStdWString(DistinguishedName::rdnKey(label.toStdWString())).toCaseFolded();
}

} // namespace

TreeControlView::TreeControlView(QWidget* parent)
    : QTreeWidget(parent)
    , m_nodeIcon(CGridControl::createRowIcon())
{
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(true);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSortingEnabled(false);
    setExpandsOnDoubleClick(true);
    setIconSize(QSize(16, 16));
    setFrameShadow(QFrame::Sunken);
    // A node dragged onto another is moved under it; nothing else is dropped.
    setDragEnabled(true);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::MoveAction);
    m_pObserver = ui::ObserverBridge::create(this, Model::getInstance().get());
    // clear() empties the model in one reset; the top-level index goes with it.
    connect(model(), &QAbstractItemModel::modelAboutToBeReset, this,
            [this]() { m_topLevelIndex = ChildIndex(); });
    // Mouse, keyboard or program: the current node is the active entry.
    connect(this, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem* previous) { onCurrentNodeChanged(current, previous); });
    connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* node) { onNodeExpanded(node); });
}

// The bridge may outlive the view in the model's slot; it then drops calls.
TreeControlView::~TreeControlView()
{
    // The base class empties the model after this object's members are gone.
    disconnect(model(), nullptr, this, nullptr);
}

gc_ptr<ldapmodel::ModelObserver> TreeControlView::getObserver() const
{
    return m_pObserver;
}

// ---- indexes -----------------------------------------------------------------

TreeControlView::ChildIndex& TreeControlView::childIndex(QTreeWidgetItem* parent)
{
    if (parent == nullptr || parent == invisibleRootItem())
        return m_topLevelIndex;
    return static_cast<TreeNode*>(parent)->index();
}

const TreeControlView::ChildIndex* TreeControlView::childIndex(const QTreeWidgetItem* parent) const
{
    if (parent == nullptr || parent == invisibleRootItem())
        return &m_topLevelIndex;
    return static_cast<const TreeNode*>(parent)->findIndex();
}

QTreeWidgetItem* TreeControlView::childByLabel(const QTreeWidgetItem* parent, const QString& label) const
{
    const ChildIndex* index = childIndex(parent);
    if (index == nullptr)
        return nullptr;
    return index->nodes.value(indexKey(label), nullptr);
}

void TreeControlView::dropFromIndex(QTreeWidgetItem* parent, QTreeWidgetItem* node)
{
    ChildIndex& index = childIndex(parent);
    const QString key = indexKey(node->text(0));
    auto found = index.nodes.find(key);
    if (found == index.nodes.end() || found.value() != node)
        return;
    index.nodes.erase(found);
    if (!index.bDuplicates)
        return;
    // Another child may carry the same label since a rename.
    QTreeWidgetItem* owner = parent != nullptr ? parent : invisibleRootItem();
    for (int row = 0; row < owner->childCount(); ++row) {
        QTreeWidgetItem* sibling = owner->child(row);
        if (sibling != node && indexKey(sibling->text(0)) == key) {
            index.nodes.insert(key, sibling);
            break;
        }
    }
}

// ---- building ----------------------------------------------------------------

int TreeControlView::buildTree(const std::vector<std::wstring>& paths, const std::wstring& separator)
{
    util::TraceScope trace(L"TreeControlView::buildTree");
    DIRLOOK_GUARD(kSourceFile);
    for (const std::wstring& path : paths)
        insertPath(path, separator);
    return 0;
}

QTreeWidgetItem* TreeControlView::insertPath(const std::wstring& path, const std::wstring& separator)
{
    // A path is a DN with its RDNs in reverse order.
    if (separator == L",")
        return insertComponents(DistinguishedName::components(path));
    return insertComponents(util::splitList(path, separator));
}

QTreeWidgetItem* TreeControlView::insertComponents(const std::vector<std::wstring>& components)
{
    QTreeWidgetItem* parent = nullptr;
    for (const std::wstring& component : components) {
        if (component.empty())
            continue;
        const QString label = QString::fromStdWString(component);
        ChildIndex& index = childIndex(parent);
        const QString key = indexKey(label);
        QTreeWidgetItem* node = index.nodes.value(key, nullptr);
        if (node == nullptr) {
            node = new TreeNode(label);
            index.nodes.insert(key, node);
            if (parent == nullptr)
                addTopLevelItem(node);
            else if (QTreeWidgetItem* more = moreNodeOf(parent))
                parent->insertChild(parent->indexOfChild(more), node);
            else
                parent->addChild(node);
        }
        parent = node;
    }
    return parent;
}

void TreeControlView::deleteAllItems()
{
    clear();
}

// ---- nodes -------------------------------------------------------------------

std::wstring TreeControlView::getDN(const QTreeWidgetItem* node) const
{
    std::wstring dn;
    for (const QTreeWidgetItem* current = node; current != nullptr; current = current->parent()) {
        if (!dn.empty())
            dn += L',';
        dn += current->text(0).toStdWString();
    }
    return dn;
}

QTreeWidgetItem* TreeControlView::findNode(const std::wstring& dn) const
{
    const std::vector<std::wstring> components = DistinguishedName::components(dn);
    const QTreeWidgetItem* node = nullptr;
    bool any = false;
    for (auto it = components.rbegin(); it != components.rend(); ++it) {
        if (it->empty())
            continue;
        node = childByLabel(node, QString::fromStdWString(*it));
        if (node == nullptr)
            return nullptr;
        any = true;
    }
    return any ? const_cast<QTreeWidgetItem*>(node) : nullptr;
}

int TreeControlView::deleteNode(const std::wstring& dn)
{
    util::TraceScope trace(L"TreeControlView::deleteNode");
    DIRLOOK_GUARD(kSourceFile);
    QTreeWidgetItem* node = findNode(dn);
    if (node == nullptr)
        return -1;
    QTreeWidgetItem* parent = node->parent();
    m_strRemovedParentDN = getDN(parent);
    // The highlight leaves the subtree for the parent, not for whatever
    // node the tree would pick.
    if (parent != nullptr && isInSubtree(currentItem(), node))
        setCurrentItem(parent);
    dropFromIndex(parent, node);
    delete node;
    return 0;
}

bool TreeControlView::isInSubtree(const QTreeWidgetItem* item, const QTreeWidgetItem* top)
{
    for (const QTreeWidgetItem* current = item; current != nullptr; current = current->parent()) {
        if (current == top)
            return true;
    }
    return false;
}

int TreeControlView::selectParent()
{
    if (m_strRemovedParentDN.empty())
        return -1;
    QTreeWidgetItem* parent = findNode(m_strRemovedParentDN);
    if (parent == nullptr)
        return -1;
    setCurrentItem(parent);
    scrollToItem(parent);
    return 0;
}

int TreeControlView::renameNode(const std::wstring& dn, const std::wstring& newRDN)
{
    util::TraceScope trace(L"TreeControlView::renameNode");
    DIRLOOK_GUARD(kSourceFile);
    const QString label = QString::fromStdWString(util::trimListPiece(newRDN));
    QTreeWidgetItem* node = findNode(dn);
    if (node == nullptr || label.isEmpty())
        return -1;
    QTreeWidgetItem* parent = node->parent();
    dropFromIndex(parent, node);
    node->setText(0, label);
    ChildIndex& index = childIndex(parent);
    const QString key = indexKey(label);
    if (index.nodes.contains(key))
        index.bDuplicates = true;
    else
        index.nodes.insert(key, node);
    return 0;
}

QTreeWidgetItem* TreeControlView::moveNode(const std::wstring& dn, const std::wstring& newParentDN,
                                           const std::wstring& newDN)
{
    util::TraceScope trace(L"TreeControlView::moveNode");
    DIRLOOK_GUARD(kSourceFile);
    QTreeWidgetItem* node = findNode(dn);
    QTreeWidgetItem* oldParent = node != nullptr ? node->parent() : nullptr;
    const std::wstring oldParentDN = oldParent != nullptr ? getDN(oldParent) : DistinguishedName::parent(dn);
    TreeNode* target = asTreeNode(findNode(newParentDN));
    // The highlight moves while the node is taken out; only its new place
    // is activated, once.
    ++m_iClickDepth;
    if (node != nullptr) {
        QTreeWidgetItem* owner = oldParent != nullptr ? oldParent : invisibleRootItem();
        dropFromIndex(oldParent, node);
        owner->takeChild(owner->indexOfChild(node));
    }
    bool placed = false;
    if (node != nullptr && target != nullptr && target->children() != TreeNode::Children::Unread) {
        // Before the hint of an incomplete list.
        const int row = target->childCount() - (moreNodeOf(target) != nullptr ? 1 : 0);
        target->insertChild(row, node);
        ChildIndex& index = childIndex(target);
        const QString key = indexKey(node->text(0));
        if (index.nodes.contains(key))
            index.bDuplicates = true;
        else
            index.nodes.insert(key, node);
        target->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
        placed = true;
    } else {
        delete node;
        node = nullptr;
    }
    --m_iClickDepth;

    if (placed) {
        expandItem(target);
        ++m_iClickDepth;
        setCurrentItem(node);
        --m_iClickDepth;
        scrollToItem(node);
        activateNode(node, false);
        return node;
    }
    if (target != nullptr) {
        // Its children were never read: read them, the moved entry among them.
        removeChildNodes(target);
        fetchChildren(newParentDN);
        if (QTreeWidgetItem* again = findNode(newParentDN))
            expandItem(again);
        if (QTreeWidgetItem* moved = findNode(newDN)) {
            setCurrentItem(moved);
            scrollToItem(moved);
            return moved;
        }
        return nullptr;
    }
    // The new parent is not in the tree: the old parent takes the highlight.
    if (QTreeWidgetItem* fallback = findNode(oldParentDN)) {
        ++m_iClickDepth;
        setCurrentItem(fallback);
        --m_iClickDepth;
        activateNode(fallback, false);
    }
    return nullptr;
}

int TreeControlView::sortSelectedNode()
{
    util::TraceScope trace(L"TreeControlView::sortSelectedNode");
    return sortNode(currentItem());
}

int TreeControlView::sortNode(QTreeWidgetItem* node)
{
    DIRLOOK_GUARD(kSourceFile);
    if (node == nullptr)
        return -1;
    // Direct children only; TreeNode's order ignores letter case. The hint
    // of an incomplete list stays last.
    QTreeWidgetItem* more = moreNodeOf(node);
    if (more != nullptr)
        node->takeChild(node->indexOfChild(more));
    node->sortChildren(0, Qt::AscendingOrder);
    if (more != nullptr)
        node->addChild(more);
    return 0;
}

void TreeControlView::removeChildNodes(QTreeWidgetItem* node)
{
    // A highlighted child hands the highlight to its parent first.
    QTreeWidgetItem* current = currentItem();
    if (current != nullptr && current != node && isInSubtree(current, node))
        setCurrentItem(node);
    const QList<QTreeWidgetItem*> children = node->takeChildren();
    if (TreeNode* treeNode = asTreeNode(node)) {
        treeNode->dropIndex();
        treeNode->setChildren(TreeNode::Children::Unread);
        treeNode->setToolTip(0, QString());
    }
    qDeleteAll(children);
}

// ---- model -------------------------------------------------------------------

void TreeControlView::installTreeObserver()
{
    gc_ptr<Model> model = Model::getInstance();
    if (model.get() != nullptr && model->getTreeObserver().get() != m_pObserver.get())
        model->setTreeObserver(m_pObserver);
}

bool TreeControlView::activateNode(QTreeWidgetItem* node, bool clicked)
{
    if (asTreeNode(node) == nullptr)
        return false;
    gc_ptr<Model> model = Model::getInstance();
    if (model.get() == nullptr)
        return false;
    const std::wstring dn = getDN(node);
    // The session belongs to the background read while it runs.
    if (model->isRunning()) {
        activateLater(dn);
        return false;
    }
    m_strPendingDN.clear();
    // A click connects when needed, as every read does; a highlight moved
    // by the keyboard or the program does not.
    if (!clicked && !model->isConnected())
        return false;
    const bool exists = model->entryExists(dn);
    if (exists)
        model->setActiveEntry(dn);
    else
        model->clearActiveEntry();
    return exists;
}

void TreeControlView::onCurrentNodeChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous)
{
    if (current == nullptr)
        return;
    DIRLOOK_GUARD(kSourceFile);
    // The hint is no entry: the highlight moves on in the direction it came.
    if (isMoreNode(current)) {
        const bool down = previous == nullptr || visualItemRect(previous).top() < visualItemRect(current).top();
        QTreeWidgetItem* next = down ? itemBelow(current) : itemAbove(current);
        if (next == nullptr)
            next = previous != nullptr ? previous : current->parent();
        if (next != nullptr)
            setCurrentItem(next);
        return;
    }
    if (m_iClickDepth > 0)
        return;
    activateNode(current, false);
}

void TreeControlView::activateLater(const std::wstring& dn)
{
    m_strPendingDN = dn;
    if (m_bPendingQueued)
        return;
    m_bPendingQueued = true;
    QTimer::singleShot(50, this, [this]() {
        m_bPendingQueued = false;
        activatePending();
    });
}

void TreeControlView::activatePending()
{
    if (m_strPendingDN.empty())
        return;
    gc_ptr<Model> model = Model::getInstance();
    if (model.get() != nullptr && model->isRunning()) {
        activateLater(m_strPendingDN);
        return;
    }
    const std::wstring dn = m_strPendingDN;
    m_strPendingDN.clear();
    QTreeWidgetItem* node = findNode(dn);
    if (node != nullptr && node == currentItem())
        activateNode(node, false);
}

int TreeControlView::clickNode(QTreeWidgetItem* node)
{
    util::TraceScope trace(L"TreeControlView::clickNode");
    DIRLOOK_GUARD(kSourceFile);
    if (asTreeNode(node) == nullptr)
        return -1;
    const std::wstring dn = getDN(node);
    {
        // The click runs the activation itself, also on the current node.
        ++m_iClickDepth;
        setCurrentItem(node);
        --m_iClickDepth;
    }
    if (Model::getInstance().get() == nullptr)
        return -1;
    const bool exists = activateNode(node, true);
    // The model's notifications may have rebuilt the tree.
    node = findNode(dn);
    if (node == nullptr)
        return -1;
    if (node->childCount() > 0) {
        expandItem(node);
        return 0;
    }
    if (dn.empty())
        return 0;
    if (exists)
        removeChildNodes(node);
    fetchChildren(dn);
    if ((node = findNode(dn)) != nullptr)
        expandItem(node);
    return 0;
}

void TreeControlView::onNodeExpanded(QTreeWidgetItem* item)
{
    TreeNode* node = asTreeNode(item);
    if (node == nullptr || node->children() != TreeNode::Children::Unread || node->childCount() > 0)
        return;
    // Read once the tree has finished opening the node.
    const std::wstring dn = getDN(node);
    QMetaObject::invokeMethod(this, [this, dn]() { readExpandedNode(dn); }, Qt::QueuedConnection);
}

void TreeControlView::readExpandedNode(const std::wstring& dn)
{
    DIRLOOK_GUARD(kSourceFile);
    TreeNode* node = asTreeNode(findNode(dn));
    if (node == nullptr || !node->isExpanded() || node->children() != TreeNode::Children::Unread ||
        node->childCount() > 0)
        return;
    // Not while another read runs (the node stays unread and is read when
    // opened again); without a connection there is nothing to read (only a
    // click connects).
    gc_ptr<Model> model = Model::getInstance();
    if (model.get() == nullptr || model->isRunning() || !model->isConnected())
        return;
    fetchChildren(dn);
    if (QTreeWidgetItem* again = findNode(dn))
        expandItem(again);
}

void TreeControlView::expandReadSubtree(QTreeWidgetItem* top)
{
    if (asTreeNode(top) == nullptr)
        return;
    // Unread nodes below the top are left closed: opening each would read
    // each from the server.
    std::vector<QTreeWidgetItem*> pending{top};
    while (!pending.empty()) {
        QTreeWidgetItem* node = pending.back();
        pending.pop_back();
        expandItem(node);
        for (int row = 0; row < node->childCount(); ++row) {
            TreeNode* child = asTreeNode(node->child(row));
            if (child != nullptr && child->childCount() > 0)
                pending.push_back(child);
        }
    }
}

int TreeControlView::fetchChildren(const std::wstring& dn)
{
    util::TraceScope trace(L"TreeControlView::fetchChildren");
    DIRLOOK_GUARD(kSourceFile);
    gc_ptr<Model> model = Model::getInstance();
    if (model.get() == nullptr)
        return -1;
    const int result = model->entryExists(dn) ? 0 : -1;
    installTreeObserver();
    // Children that arrive under an open node make the view lay out all of
    // them again for every one; the callers open the node afterwards.
    if (QTreeWidgetItem* node = findNode(dn))
        collapseItem(node);
    Model& theModel = *model;
    const int ended = CProgressBar::runModal(this, theModel, [&theModel, &dn]() {
        const int code = theModel.readChildren(dn);
        // Without a session the model never reports the end; close the
        // progress window here instead of leaving it open for good.
        if (code < 0)
            theModel.progressFinished();
        return code;
    }, true);
    if (TreeNode* node = asTreeNode(findNode(dn)))
        markChildren(node, ended == CProgressBar::StopResult || theModel.isChildListCut(dn));
    activatePending();
    return result;
}

void TreeControlView::markChildren(QTreeWidgetItem* item, bool cut)
{
    TreeNode* node = asTreeNode(item);
    if (node == nullptr)
        return;
    if (QTreeWidgetItem* more = moreNodeOf(node))
        delete more;
    const int count = node->childCount();
    if (cut) {
        node->setChildren(TreeNode::Children::Cut);
        node->addChild(new MoreNode());
        node->setToolTip(0, QStringLiteral("%1 children read; refresh to read all").arg(count));
        node->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
        return;
    }
    node->setChildren(TreeNode::Children::Read);
    node->setToolTip(0, QString());
    // A node read to the end without children loses its expand button; one
    // that gets children later (a refresh) shows it again.
    node->setChildIndicatorPolicy(count == 0 ? QTreeWidgetItem::DontShowIndicatorWhenChildless
                                             : QTreeWidgetItem::ShowIndicator);
}

bool TreeControlView::isChildListCut(const QTreeWidgetItem* node)
{
    return moreNodeOf(node) != nullptr;
}

bool TreeControlView::isMoreHint(const QTreeWidgetItem* item)
{
    return isMoreNode(item);
}

int TreeControlView::refreshSelectedNode()
{
    util::TraceScope trace(L"TreeControlView::refreshSelectedNode");
    DIRLOOK_GUARD(kSourceFile);
    QTreeWidgetItem* node = currentItem();
    if (node == nullptr)
        return -1;
    m_strRefreshDN = getDN(node);
    gc_ptr<Model> model = Model::getInstance();
    if (model.get() == nullptr)
        return -1;
    if (model->entryExists(m_strRefreshDN)) {
        if ((node = findNode(m_strRefreshDN)) != nullptr)
            removeChildNodes(node);
    }
    const std::wstring dn = m_strRefreshDN;
    const int result = fetchChildren(dn);
    if ((node = findNode(dn)) != nullptr)
        expandItem(node);
    return result;
}

void TreeControlView::onEntryFound(const std::wstring& dn)
{
    onEntryFoundWithSubordinates(dn, ldapmodel::Subordinates::Unknown);
}

void TreeControlView::onEntryFoundWithSubordinates(const std::wstring& dn, ldapmodel::Subordinates subordinates)
{
    DIRLOOK_GUARD(kSourceFile);
    std::vector<std::wstring> components = DistinguishedName::components(dn);
    std::reverse(components.begin(), components.end());
    QTreeWidgetItem* node = insertComponents(components);
    // A leaf needs no read to know it has no children.
    if (node != nullptr && node->childCount() == 0 && subordinates == ldapmodel::Subordinates::None)
        node->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

// ---- drag and drop -----------------------------------------------------------------

namespace {

const QString kSourceMimeType = QStringLiteral("application/x-dirlook-tree");

} // namespace

QByteArray TreeControlView::sourceId() const
{
    return QByteArray::number(QCoreApplication::applicationPid()) + ':' +
           QByteArray::number(reinterpret_cast<quintptr>(this));
}

bool TreeControlView::isOwnDrag(const QMimeData* data) const
{
    return data != nullptr && data->hasFormat(dnMimeType()) && data->data(kSourceMimeType) == sourceId();
}

const QString& TreeControlView::dnMimeType()
{
    static const QString type = QStringLiteral("application/x-dirlook-dn");
    return type;
}

bool TreeControlView::canDrop(const std::wstring& dn, const std::wstring& targetDN)
{
    if (dn.empty() || targetDN.empty())
        return false;
    // Not onto itself or below it, and not where it already is.
    if (DistinguishedName::isWithin(targetDN, dn))
        return false;
    const std::wstring parent = DistinguishedName::parent(dn);
    return !(DistinguishedName::isWithin(targetDN, parent) && DistinguishedName::isWithin(parent, targetDN));
}

QStringList TreeControlView::mimeTypes() const
{
    return {dnMimeType()};
}

QMimeData* TreeControlView::mimeData(const QList<QTreeWidgetItem*>& items) const
{
    if (items.isEmpty() || asTreeNode(items.front()) == nullptr)
        return nullptr;
    auto* data = new QMimeData;
    const QString dn = QString::fromStdWString(getDN(items.front()));
    data->setData(dnMimeType(), dn.toUtf8());
    data->setData(kSourceMimeType, sourceId());
    data->setText(dn);
    return data;
}

bool TreeControlView::dropTarget(const QDropEvent* event, std::wstring& dn, std::wstring& targetDN) const
{
    dn.clear();
    targetDN.clear();
    if (!isOwnDrag(event->mimeData()))
        return false;
    QTreeWidgetItem* target = itemAt(event->position().toPoint());
    if (asTreeNode(target) == nullptr)
        return false;
    dn = QString::fromUtf8(event->mimeData()->data(dnMimeType())).toStdWString();
    targetDN = getDN(target);
    return canDrop(dn, targetDN);
}

void TreeControlView::dragEnterEvent(QDragEnterEvent* event)
{
    if (isOwnDrag(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void TreeControlView::dragMoveEvent(QDragMoveEvent* event)
{
    std::wstring dn;
    std::wstring targetDN;
    if (!dropTarget(event, dn, targetDN)) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::MoveAction);
    event->accept();
}

void TreeControlView::dropEvent(QDropEvent* event)
{
    std::wstring dn;
    std::wstring targetDN;
    if (!dropTarget(event, dn, targetDN)) {
        event->ignore();
        return;
    }
    // The view moves nothing itself (a copy leaves the dragged row where
    // it is); the question comes once the drag has ended.
    event->setDropAction(Qt::CopyAction);
    event->accept();
    QMetaObject::invokeMethod(this, [this, dn, targetDN]() { dropOnto(dn, targetDN); }, Qt::QueuedConnection);
}

int TreeControlView::dropOnto(const std::wstring& dn, const std::wstring& targetDN)
{
    DIRLOOK_GUARD(kSourceFile);
    CMainFrame* frame = requireMainFrame();
    if (frame == nullptr || !canDrop(dn, targetDN))
        return -1;
    if (util::messageBox(L"Move entry", L"Move " + dn + L" under " + targetDN + L"?", util::BoxIcon::Question,
                         util::BoxButtons::YesNo, util::BoxAnswer::No) != util::BoxAnswer::Yes)
        return -1;
    return frame->moveEntryTo(dn, targetDN);
}

// ---- frame ---------------------------------------------------------------------

CMainFrame* TreeControlView::mainFrame() const
{
    return CMainFrame::fromWidget(this);
}

CMainFrame* TreeControlView::requireMainFrame() const
{
    CMainFrame* frame = mainFrame();
    if (frame == nullptr)
        util::messageBox(L"Dirlook", L"No Frame window! Please restart the program",
                         util::BoxIcon::Error, util::BoxButtons::Ok);
    return frame;
}

void TreeControlView::runFrameCommand(int (CMainFrame::*handler)())
{
    if (CMainFrame* frame = requireMainFrame())
        (frame->*handler)();
}

QMenu* TreeControlView::createNodeMenu(QWidget* parent)
{
    auto* menu = new QMenu(parent);
    auto add = [this, menu](const QString& text, const QKeySequence& keys,
                            int (CMainFrame::*handler)()) {
        QAction* action = menu->addAction(text);
        if (!keys.isEmpty()) {
            action->setShortcut(keys);
            action->setShortcutContext(Qt::WidgetShortcut);
        }
        connect(action, &QAction::triggered, this, [this, handler]() { runFrameCommand(handler); });
    };
    add(QStringLiteral("&Search"), QKeySequence(Qt::CTRL | Qt::Key_F), &CMainFrame::OnEntrySearch);
    add(QStringLiteral("View-&Modify"), QKeySequence(Qt::CTRL | Qt::Key_M), &CMainFrame::OnEntryModify);
    add(QStringLiteral("&Add"), QKeySequence(Qt::CTRL | Qt::Key_A), &CMainFrame::OnEntryAdd);
    add(QStringLiteral("&Rename"), QKeySequence(Qt::CTRL | Qt::Key_R), &CMainFrame::OnEntryRename);
    add(QStringLiteral("&Delete"), QKeySequence(Qt::Key_Delete), &CMainFrame::OnEntryDelete);
    menu->addSeparator();
    add(QStringLiteral("&Import"), QKeySequence(Qt::CTRL | Qt::Key_I), &CMainFrame::OnLdifImport);
    add(QStringLiteral("&Export"), QKeySequence(Qt::CTRL | Qt::Key_E), &CMainFrame::OnLdifExport);
    menu->addSeparator();
    add(QStringLiteral("Refresh"), QKeySequence(Qt::CTRL | Qt::Key_F5), &CMainFrame::OnTreeRefresh);
    add(QStringLiteral("Search Props"), QKeySequence(Qt::CTRL | Qt::Key_S), &CMainFrame::OnSearchProperties);
    add(QStringLiteral("S&ort"), QKeySequence(), &CMainFrame::OnTreeSort);
    menu->addSeparator();
    add(QStringLiteral("Mo&ve..."), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_M), &CMainFrame::OnEntryMove);
    add(QStringLiteral("&Copy"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C), &CMainFrame::OnEntryCopy);
    add(QStringLiteral("&Paste"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_V), &CMainFrame::OnEntryPaste);
    menu->addSeparator();
    add(QStringLiteral("Copy D&N"), QKeySequence(QKeySequence::Copy), &CMainFrame::OnCopyDN);
    add(QStringLiteral("Copy RDN"), QKeySequence(), &CMainFrame::OnCopyRDN);
    add(QStringLiteral("Copy Entry as &LDIF"), QKeySequence(), &CMainFrame::OnCopyEntryLdif);
    return menu;
}

QMenu* TreeControlView::createBackgroundMenu(QWidget* parent)
{
    auto* menu = new QMenu(parent);
    QAction* connectAction = menu->addAction(QStringLiteral("&Connect"));
    connectAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    connectAction->setShortcutContext(Qt::WidgetShortcut);
    connect(connectAction, &QAction::triggered, this, [this]() { runFrameCommand(&CMainFrame::OnConnect); });
    QAction* disconnectAction = menu->addAction(QStringLiteral("&Disconnect"));
    disconnectAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    disconnectAction->setShortcutContext(Qt::WidgetShortcut);
    connect(disconnectAction, &QAction::triggered, this, [this]() { runFrameCommand(&CMainFrame::OnDisconnect); });
    return menu;
}

// ---- mouse and keyboard ----------------------------------------------------------

bool TreeControlView::isOnLabel(const QModelIndex& index, const QPoint& position) const
{
    if (!index.isValid())
        return false;
    const QRect cell = visualRect(index);
    const int labelWidth = iconSize().width() + 8 +
                           fontMetrics().horizontalAdvance(index.data(Qt::DisplayRole).toString());
    return cell.contains(position) && position.x() < cell.left() + labelWidth;
}

namespace {

// Unexpected failures in the mouse and keyboard handling end in the
// fatal-error report.
template <class Body>
void mouseGuarded(int line, Body&& body)
{
    DIRLOOK_GUARD(kSourceFile);
    try {
        body();
    } catch (const std::exception&) {
        util::reportErrorAndExit(kSourceFile, line, L"Problem with the mouse");
    } catch (...) {
        util::reportErrorAndExit(kSourceFile, line, L"Problem with the mouse");
    }
}

} // namespace

void TreeControlView::mousePressEvent(QMouseEvent* event)
{
    mouseGuarded(__LINE__, [this, event]() {
        m_strPressedDN.clear();
        m_bPressOnLabel = false;
        const QPoint position = event->position().toPoint();
        const QModelIndex index = indexAt(position);
        // The hint of an incomplete list takes no clicks.
        if (isMoreNode(itemFromIndex(index))) {
            event->accept();
            return;
        }
        if (event->button() == Qt::LeftButton && index.isValid()) {
            const QRect cell = visualRect(index);
            if (isOnLabel(index, position)) {
                m_bPressOnLabel = true;
                m_strPressedDN = getDN(itemFromIndex(index));
            } else if (position.x() >= cell.left()) {
                // Beside the label: the selection stays where it was.
                event->accept();
                return;
            }
        }
        QTreeWidget::mousePressEvent(event);
    });
}

void TreeControlView::mouseReleaseEvent(QMouseEvent* event)
{
    mouseGuarded(__LINE__, [this, event]() {
        QTreeWidget::mouseReleaseEvent(event);
        if (event->button() != Qt::LeftButton || !m_bPressOnLabel)
            return;
        m_bPressOnLabel = false;
        const QPoint position = event->position().toPoint();
        const QModelIndex index = indexAt(position);
        QTreeWidgetItem* node = itemFromIndex(index);
        if (asTreeNode(node) == nullptr || !isOnLabel(index, position) || getDN(node) != m_strPressedDN)
            return;
        clickNode(node);
    });
}

void TreeControlView::keyPressEvent(QKeyEvent* event)
{
    mouseGuarded(__LINE__, [this, event]() {
        if (event->key() == Qt::Key_Right && event->modifiers() == Qt::NoModifier) {
            event->accept();
            CMainFrame* frame = requireMainFrame();
            if (frame == nullptr || frame->getRecordView() == nullptr)
                return;
            CListEntryAttributes* recordView = frame->getRecordView();
            recordView->setFocus(Qt::TabFocusReason);
            recordView->selectRow(0);
            return;
        }
        // Ctrl+C: the current node's DN (the view would copy its label).
        if (event->matches(QKeySequence::Copy)) {
            event->accept();
            if (currentItem() != nullptr)
                runFrameCommand(&CMainFrame::OnCopyDN);
            return;
        }
        // The node menu's "&Delete" (Del) works without the menu too.
        if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier) {
            event->accept();
            if (currentItem() != nullptr)
                runFrameCommand(&CMainFrame::OnEntryDelete);
            return;
        }
        // "*" opens what has been read below the node; unread nodes below
        // it stay closed rather than each being read.
        if (event->key() == Qt::Key_Asterisk) {
            event->accept();
            expandReadSubtree(currentItem());
            return;
        }
        if (event->key() == Qt::Key_Left && event->modifiers() == Qt::NoModifier) {
            if (QTreeWidgetItem* node = currentItem()) {
                gc_ptr<Model> model = Model::getInstance();
                if (model.get() != nullptr)
                    model->entryExists(getDN(node));
            }
        }
        QTreeWidget::keyPressEvent(event);
    });
}

void TreeControlView::contextMenuEvent(QContextMenuEvent* event)
{
    mouseGuarded(__LINE__, [this, event]() {
        event->accept();
        QPoint position = event->pos();
        QTreeWidgetItem* node = nullptr;
        if (event->reason() == QContextMenuEvent::Keyboard) {
            node = currentItem();
            if (node != nullptr)
                position = visualItemRect(node).center();
        } else {
            node = itemAt(position);
        }
        std::unique_ptr<QMenu> menu;
        if (isMoreNode(node))
            return;
        if (node != nullptr) {
            const std::wstring dn = getDN(node);
            clickNode(node);
            if (findNode(dn) == nullptr)
                return;
            menu.reset(createNodeMenu(this));
        } else {
            menu.reset(createBackgroundMenu(this));
        }
        menu->exec(viewport()->mapToGlobal(position));
    });
}
