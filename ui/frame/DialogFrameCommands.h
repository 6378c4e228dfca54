#pragma once

// What the search and modify-entry dialogs need of the main frame, and small
// layout helpers shared by the editing dialogs.

#include <QSize>

#include <string>

class CMainFrame;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QObject;
class QWidget;

namespace ui {

// The frame's side of the dialogs that raise its commands. The program uses
// MainFrameCommands; tests hand in their own.
class FrameCommands {
public:
    virtual ~FrameCommands() = default;
    // Runs the frame's command handler of that name ("OnEntryRename"): its
    // result, or -1 when there is no such handler.
    virtual int runCommand(const char* handlerName) = 0;
    // The modify-entry dialog's selection: attribute name, value text, the
    // value's index within its attribute and the selected row. The next
    // attribute or value command takes it instead of the frame's own.
    virtual void setSelectionFromDialog(const std::wstring& name, const std::wstring& value,
                                        int index, int row) = 0;
};

// Over a main frame (which may be null: every command then returns -1).
class MainFrameCommands : public FrameCommands {
public:
    explicit MainFrameCommands(CMainFrame* frame) : m_pFrame(frame) {}
    int runCommand(const char* handlerName) override;
    void setSelectionFromDialog(const std::wstring& name, const std::wstring& value, int index,
                                int row) override;

private:
    CMainFrame* m_pFrame;
};

// Calls the int-returning slot handlerName() of object directly. Its
// result, or -1 when object is null or has no such slot.
int invokeIntSlot(QObject* object, const char* handlerName);

// A size given in dialog units, in pixels for the widget's font.
QSize dialogUnits(const QWidget& widget, int width, int height);

// The "Attribute Syntax" group of the schema dialogs: read-only OID,
// Description and Length fields under their labels.
struct SyntaxFields {
    QGroupBox* group;
    QLineEdit* oid;
    QLineEdit* description;
    QLineEdit* length;
};
SyntaxFields createSyntaxFields(QWidget* parent);

// The first selected item of list, or null.
QListWidgetItem* firstSelectedItem(const QListWidget& list);

} // namespace ui
