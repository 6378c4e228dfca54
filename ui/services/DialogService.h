#pragma once

// The one way the user interface opens dialogs: message boxes, file dialogs,
// the folder chooser and every modal dialog. The program uses the Qt
// implementation; tests install a scripted one so that nothing blocks.

#include "utilities/MessageBox.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <string>

class QDialog;
class QWidget;

namespace ui {

struct FileDialogRequest {
    // Kinds of files: each kind's dialogs start where the last one ended.
    static constexpr const char* kLdifFiles = "ldif";
    static constexpr const char* kValueFiles = "values";

    QString caption;
    // Where the dialog starts; when empty, the folder last used for this
    // kind of file (FileDialogFolders), which the choice then updates.
    QString directory;
    QString kind;  // kLdifFiles, kValueFiles, ...; empty: other files
    QString proposedName;  // save dialog: the proposed file name
    // "Text Files (*.ldif)", "All Files (*.*)": the first is selected.
    QStringList filters;
    QString defaultSuffix;  // "ldif": added to a name typed without one
};

class DialogService {
public:
    virtual ~DialogService() = default;

    // The service in force: the installed one, else the Qt one. Never null.
    static DialogService& instance();
    // Installs a service (not owned); null restores the Qt one.
    static void install(DialogService* service);

    // Runs dialog modally; its result code (QDialog::Accepted, Rejected or
    // the code handed to done()).
    virtual int exec(QDialog& dialog) = 0;
    // The chosen file, or nothing when cancelled.
    virtual std::optional<QString> getOpenFileName(QWidget* parent,
                                                   const FileDialogRequest& request) = 0;
    virtual std::optional<QString> getSaveFileName(QWidget* parent,
                                                   const FileDialogRequest& request) = 0;
    // The chosen folder, or nothing when cancelled.
    virtual std::optional<QString> getExistingDirectory(QWidget* parent, const QString& caption,
                                                        const QString& directory) = 0;

    // Message boxes: through util::messageBox, that is through the installed
    // message-box service.
    static util::BoxAnswer messageBox(const std::wstring& caption, const std::wstring& text,
                                      util::BoxIcon icon, util::BoxButtons buttons);
    static util::BoxAnswer messageBox(const std::wstring& caption, const std::wstring& text,
                                      util::BoxIcon icon, util::BoxButtons buttons,
                                      util::BoxAnswer defaultButton);
};

// Shorthand for DialogService::instance().
DialogService& dialogs();

// QFileDialog, QDialog::exec.
class QtDialogService : public DialogService {
public:
    int exec(QDialog& dialog) override;
    std::optional<QString> getOpenFileName(QWidget* parent,
                                           const FileDialogRequest& request) override;
    std::optional<QString> getSaveFileName(QWidget* parent,
                                           const FileDialogRequest& request) override;
    std::optional<QString> getExistingDirectory(QWidget* parent, const QString& caption,
                                                const QString& directory) override;
};

} // namespace ui
