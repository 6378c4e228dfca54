#include "views/CGridControl.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QPainter>
#include <QPixmap>
#include <QToolTip>
#include <QTreeWidgetItem>

CGridControl::CGridControl(QWidget* parent)
    : QTreeWidget(parent)
    , m_rowIcon(createRowIcon())
{
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setAllColumnsShowFocus(true);
    setSortingEnabled(false);
    header()->setSectionsClickable(false);
    header()->setSortIndicatorShown(false);
    setIconSize(QSize(16, 16));
    setColumnCount(0);
}

CGridControl::~CGridControl() = default;

int CGridControl::insertColumn(const QString& heading, int width)
{
    QStringList headings;
    QList<int> widths;
    headings.reserve(m_iColumnCount + 1);
    headings << heading;
    widths << width;
    for (int column = 0; column < m_iColumnCount; ++column) {
        headings << headerItem()->text(column);
        widths << columnWidth(column);
    }
    ++m_iColumnCount;
    setColumnCount(m_iColumnCount);
    setHeaderLabels(headings);
    for (int column = 0; column < m_iColumnCount; ++column)
        setColumnWidth(column, widths[column]);

    // Rows that exist already move their cells one column to the right.
    for (int row = 0; row < topLevelItemCount(); ++row) {
        QTreeWidgetItem* item = topLevelItem(row);
        for (int column = m_iColumnCount - 1; column > 0; --column)
            item->setText(column, item->text(column - 1));
        item->setText(0, QString());
        item->setIcon(1, QIcon());
        item->setIcon(0, m_rowIcon);
    }
    return 0;
}

int CGridControl::setCell(int row, int column, const QString& text)
{
    if (column < 0 || column >= std::max(m_iColumnCount, 1))
        return -1;
    if (column == 0) {
        const int count = topLevelItemCount();
        if (row < 0 || row > count)
            row = count;
        auto* item = new QTreeWidgetItem();
        item->setText(0, text);
        item->setIcon(0, m_rowIcon);
        insertTopLevelItem(row, item);
        return row;
    }
    QTreeWidgetItem* item = topLevelItem(row);
    if (row < 0 || item == nullptr)
        return -1;
    item->setText(column, text);
    return row;
}

void CGridControl::reset()
{
    if (m_bClearing) {
        QTreeWidget::reset();
        return;
    }
    m_bClearing = true;
    clear();
    m_bClearing = false;
}

QString CGridControl::getItemString(int row, int column) const
{
    if (row < 0 || column < 0 || column >= std::max(m_iColumnCount, 1))
        return QString();
    const QTreeWidgetItem* item = topLevelItem(row);
    if (item == nullptr)
        return QString();
    return item->text(column).left(kCellTextCapacity);
}

int CGridControl::getSelectedRowNumber() const
{
    int first = -1;
    for (const QTreeWidgetItem* item : selectedItems()) {
        const int row = indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(item));
        if (row >= 0 && (first < 0 || row < first))
            first = row;
    }
    return first;
}

int CGridControl::selectRow(int row)
{
    QTreeWidgetItem* item = row >= 0 ? topLevelItem(row) : nullptr;
    if (item == nullptr)
        return -1;
    setCurrentItem(item);
    item->setSelected(true);
    scrollToItem(item);
    return 0;
}

QIcon CGridControl::createRowIcon()
{
    // A small index card: light page, border, three text lines.
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setPen(QColor(0x40, 0x40, 0x80));
    painter.setBrush(QColor(0xf0, 0xf0, 0xff));
    painter.drawRect(1, 2, 13, 11);
    painter.setPen(QColor(0x30, 0x60, 0xa0));
    for (int y = 5; y <= 11; y += 3)
        painter.drawLine(4, y, 11, y);
    painter.end();
    return QIcon(pixmap);
}

QString CGridControl::rowToolTip(int)
{
    return QString();
}

bool CGridControl::viewportEvent(QEvent* event)
{
    if (event->type() != QEvent::ToolTip)
        return QTreeWidget::viewportEvent(event);
    auto* help = static_cast<QHelpEvent*>(event);
    const QModelIndex index = indexAt(help->pos());
    const QString text = index.isValid() ? rowToolTip(index.row()) : QString();
    if (text.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(help->globalPos(), text, viewport(), visualRect(index));
    return true;
}
