#pragma once

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// "Move entry": asks for the entry's new parent. The field starts with the
// current parent; the tree below it picks a parent instead (its nodes are
// read when opened, through the reader the caller gives). OK with the field
// empty ends the dialog as Cancel; afterwards getNewParentDN() holds the
// field as read, blanks at its ends removed.
class CDialogMoveEntry : public QDialog {
    Q_OBJECT
public:
    // The DNs of a node's children, in the order to show them.
    using ChildReader = std::function<std::vector<std::wstring>(const std::wstring& dn)>;

    explicit CDialogMoveEntry(QWidget* parent = nullptr);
    ~CDialogMoveEntry() override;

    // The entry to move and its parent, which presets the field.
    void setEntry(const std::wstring& dn, const std::wstring& parentDN);
    // The picker's top nodes (each shown with its whole DN) and how their
    // children are read.
    void setRoots(const std::vector<std::wstring>& rootDNs, ChildReader reader);
    const std::wstring& getNewParentDN() const { return m_strNewParentDN; }

    QLineEdit* getEdit() const { return m_pEdit; }
    QTreeWidget* getPicker() const { return m_pPicker; }
    QPushButton* getOkButton() const { return m_pOkButton; }
    QPushButton* getCancelButton() const { return m_pCancelButton; }
    // The DN a picker node stands for.
    static std::wstring dnOf(const QTreeWidgetItem* item);

    void done(int result) override;

private:
    QTreeWidgetItem* addNode(QTreeWidgetItem* parent, const std::wstring& dn, const QString& label);
    void readChildren(QTreeWidgetItem* item);

    QLabel* m_pEntryLabel = nullptr;
    QLineEdit* m_pEdit = nullptr;
    QTreeWidget* m_pPicker = nullptr;
    QPushButton* m_pOkButton = nullptr;
    QPushButton* m_pCancelButton = nullptr;
    ChildReader m_reader;
    std::wstring m_strDN;
    std::wstring m_strNewParentDN;
};
