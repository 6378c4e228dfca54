#pragma once

#include "services/DialogService.h"

#include <QString>

#include <deque>
#include <functional>
#include <optional>
#include <vector>

class QDialog;

namespace dirtest {

// Replaces the dialog service for the lifetime of the object. Nothing blocks:
// a modal dialog is handed to the next queued handler (which may fill fields,
// click buttons and open further dialogs, served in turn from the queue), and
// its result is whatever the dialog ended with (Rejected when it did not
// end). A progress window, after its handler if one is queued, is left to
// run until it ends (or 30 s, then stopped); any other dialog without a
// handler is rejected. File and
// folder dialogs take the queued answers in order; without one they cancel.
class ScriptedDialogs : public ui::DialogService {
public:
    using Handler = std::function<void(QDialog&)>;

    struct FileDialogCall {
        enum Kind { Open, Save, Folder } kind;
        ui::FileDialogRequest request;
    };

    ScriptedDialogs();
    ~ScriptedDialogs() override;
    ScriptedDialogs(const ScriptedDialogs&) = delete;
    ScriptedDialogs& operator=(const ScriptedDialogs&) = delete;

    void queueDialog(Handler handler);
    // An empty answer cancels.
    void queueFile(std::optional<QString> answer);

    int exec(QDialog& dialog) override;
    std::optional<QString> getOpenFileName(QWidget* parent,
                                           const ui::FileDialogRequest& request) override;
    std::optional<QString> getSaveFileName(QWidget* parent,
                                           const ui::FileDialogRequest& request) override;
    std::optional<QString> getExistingDirectory(QWidget* parent, const QString& caption,
                                                const QString& directory) override;

    // Class names (metaObject()->className()) of the dialogs run so far.
    const std::vector<QString>& dialogClasses() const { return m_dialogClasses; }
    const std::vector<FileDialogCall>& fileCalls() const { return m_fileCalls; }
    std::size_t pendingDialogs() const { return m_handlers.size(); }
    std::size_t pendingFiles() const { return m_files.size(); }

private:
    std::optional<QString> takeFile();

    ui::DialogService* m_pPrevious;
    std::deque<Handler> m_handlers;
    struct FileAnswer {
        bool chosen;
        QString path;
    };
    std::deque<FileAnswer> m_files;
    std::vector<QString> m_dialogClasses;
    std::vector<FileDialogCall> m_fileCalls;
};

// Processes events until done() is true or timeoutMs passes; true when done.
bool waitFor(const std::function<bool()>& done, int timeoutMs = 10000);

} // namespace dirtest
