#pragma once

#include <QIcon>
#include <QString>
#include <QTreeWidget>

#include <string>

// A report-style list: rows of text cells under a header, single selection
// of whole rows, never sorted. Column 0 of a row is its "item"; writing it
// inserts the row, writing any other column fills a cell of an existing row.
class CGridControl : public QTreeWidget {
    Q_OBJECT

public:
    // Cell texts are read back with this capacity, the rest is cut.
    static constexpr int kCellTextCapacity = 10239;

    explicit CGridControl(QWidget* parent = nullptr);
    ~CGridControl() override;

    // Inserts a column in front of the existing ones (the last column
    // created ends up leftmost). Returns its index, 0.
    int insertColumn(const QString& heading, int width);
    int getColumnCount() const { return m_iColumnCount; }

    // Column 0 inserts a new row at row (appended when row is past the end
    // or negative) and returns its position; another column sets the text
    // of that cell of an existing row and returns row, or -1 when the row
    // or the column does not exist.
    int setCell(int row, int column, const QString& text);

    // The same for the frame's use.
    int setItemText(int row, int column, const QString& text) { return setCell(row, column, text); }
    int setItemText(int row, int column, const std::wstring& text)
    {
        return setCell(row, column, QString::fromStdWString(text));
    }

    // Removes all rows; the columns stay. This is also the item view's
    // reset slot, which the model calls when it has been cleared: that call
    // only does the view's own reset.
    void reset() override;

    int getRowCount() const { return topLevelItemCount(); }
    int rowCount() const { return topLevelItemCount(); }
    // The cell's text, cut at kCellTextCapacity; empty when the row or the
    // column does not exist.
    QString getItemString(int row, int column) const;

    // The first selected row, or -1.
    int getSelectedRowNumber() const;
    // Selects and focuses the row. 0, or -1 when it does not exist.
    int selectRow(int row);

    // Draws the 16 x 16 image shown on every row; the tree's nodes show the
    // same one. Needs the application object.
    static QIcon createRowIcon();

protected:
    // The tooltip over any cell of row; none by default.
    virtual QString rowToolTip(int row);
    // Shows rowToolTip where the pointer rests.
    bool viewportEvent(QEvent* event) override;

private:
    int m_iColumnCount = 0;  // columns created through insertColumn
    bool m_bClearing = false;  // reset is emptying the list
    QIcon m_rowIcon;
};
