#pragma once

#include "handles/gc_ptr.h"
#include "views/CGridControl.h"

#include <QHash>

#include <string>

class CMainFrame;
class QMenu;

namespace ldapmodel {
class LDAPAttribute;
class LDAPAttributeValue;
}

// The record view: one row per value of the active entry's user attributes,
// attribute name on the left, value text on the right. The attribute and
// value commands take their selection from here.
class CListEntryAttributes : public CGridControl {
    Q_OBJECT

public:
    // Shown instead of each value of an attribute with the binary syntax.
    static const QString& binaryNotice();
    // What a value's cell shows: the notice for a binary type (isBinaryAttribute),
    // a password's scheme only, else the value's text.
    static QString cellText(const std::wstring& attributeName, const ldapmodel::LDAPAttributeValue& value);

    // The attribute's values are shown as the notice: its type has a binary
    // syntax, or the description carries the binary option.
    static bool isBinaryAttribute(const std::wstring& attributeName);

    explicit CListEntryAttributes(QWidget* parent = nullptr);
    ~CListEntryAttributes() override;

    // Creates the two columns.
    int init();
    // Clears the list and shows the active entry's user attributes.
    int fill();
    // Removes all rows.
    void reset() override;
    // Same as fill.
    void updateFromModel(int kind);

    // The selected row's attribute name, value text and the value's position
    // within its attribute. 0, or -1 when no row is selected.
    int getSelection(std::wstring& attributeName, std::wstring& valueText,
                     int& valueIndex) const;
    // Counts the rows of the same attribute from row upwards (letter case
    // ignored): 0 for the first value. -1 when the row does not exist.
    int getValueIndexInAttribute(int row) const;
    // Of the selected row.
    int getValueIndexInAttribute() const;
    // Selects and focuses the row and remembers it. 0 or -1.
    int selectRow(int row);
    int getRememberedRow() const { return m_iSelectedRow; }
    int getContextRow() const { return m_iContextRow; }
    int getContextColumn() const { return m_iContextColumn; }

    // The menu offered on a row; its actions raise the frame's handlers.
    QMenu* createContextMenu(QWidget* parent);
    // The viewer commands that fit row's attribute, appended to menu:
    // "View Certificate..." for a certificate, "Set Password..." and
    // "Check Password..." for userPassword.
    void addValueViewerActions(QMenu& menu, int row);

    // The value shown on row, from the active entry; empty when there is none.
    memorylib::gc_ptr<ldapmodel::LDAPAttributeValue> getValueOfRow(int row) const;
    // The tooltip of row's value: a photo's thumbnail, a certificate's
    // summary; empty when there is none. Kept until the list is refilled.
    QString toolTipForRow(int row);

    // The menu's handlers: each runs the main frame's handler of that name.
    void OnAttributeAdd();
    void OnAttributeDelete();
    void OnValueAdd();
    void OnValueModify();
    void OnValueDelete();
    void OnLdifExport();
    void OnEntryRefresh();
    void OnValueViewCertificate();
    void OnValueSetPassword();
    void OnValueCheckPassword();
    void OnCopyValue();
    void OnCopyDN();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    // Ctrl+C copies the selected value.
    void keyPressEvent(QKeyEvent* event) override;
    QString rowToolTip(int row) override;

private:
    CMainFrame* mainFrame() const;
    // One row per value, each shown as cellText.
    void addAttributeRows(ldapmodel::LDAPAttribute& attribute);

    int m_iSelectedRow = -1;
    int m_iContextRow = -1;
    int m_iContextColumn = -1;
    QHash<int, QString> m_toolTips;
};
