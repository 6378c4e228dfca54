#pragma once

#include "frame/DialogFrameCommands.h"

#include "handles/gc_ptr.h"
#include "model/Model.h"

#include <QDialog>

#include <memory>
#include <string>

class CGridControl;
class QLineEdit;
class QMenu;
class QPushButton;

// "Modify Entry": the active entry's user attributes, one row per value,
// and the main frame's attribute and value commands on the selected row.
// The dialog changes nothing itself: it hands the selection to the frame,
// runs the frame's command and fills the grid again.
//
// Use: construct with the model and run through the dialog service. The
// frame's commands go through the FrameCommands given, or, without one,
// through the main frame that holds the dialog.
class CDialogModifyEntry : public QDialog {
    Q_OBJECT
public:
    // Shown for each value of an attribute with the binary syntax.
    static const QString& binaryNote();

    explicit CDialogModifyEntry(const memorylib::gc_ptr<ldapmodel::Model>& model,
                                QWidget* parent = nullptr, ui::FrameCommands* commands = nullptr);
    ~CDialogModifyEntry() override;

    // Empties the grid and lists the active entry's user attributes again.
    int fill();

    // The numbered commands: the frame's result (the grid is filled again
    // when it is 0), or -1 when nothing ran.
    int OnAddAttribute();     // 1
    int OnDeleteAttribute();  // 2
    int OnAddValue();         // 3
    int OnModifyValue();      // 4
    int OnDeleteValue();      // 5
    int OnExport();           // 6
    int OnRefresh();          // 7

    // Gives the frame the selected row's attribute name, value text, value
    // index and row. 0, or -1 after "Please select an attribute, first".
    int handOverSelection();
    // The number of rows directly above row with the same attribute name
    // (letter case ignored); -1 when the row does not exist.
    int getValueIndex(int row) const;

    // The "&Modify" popup, owned by parent.
    QMenu* createContextMenu(QWidget* parent);
    // Selects the grid row at the viewport point; false when none is there.
    bool selectRowAt(const QPoint& viewportPoint);

    CGridControl* getGrid() const { return m_pGrid; }
    QLineEdit* getDNEdit() const { return m_pDNEdit; }
    // Buttons 1 to 7, 0 for "&Close"; null for other numbers.
    QPushButton* getButton(int number) const;

private:
    int runCommand(const char* handlerName, bool withSelection, bool refillOnSuccess);
    ui::FrameCommands& frameCommands();
    void showContextMenuAt(const QPoint& viewportPoint);

    memorylib::gc_ptr<ldapmodel::Model> m_pModel;
    ui::FrameCommands* m_pCommands;
    std::unique_ptr<ui::MainFrameCommands> m_pFrameCommands;
    std::wstring m_strDN;

    QLineEdit* m_pDNEdit = nullptr;
    CGridControl* m_pGrid = nullptr;
    QPushButton* m_pButtons[8] = {};
};
