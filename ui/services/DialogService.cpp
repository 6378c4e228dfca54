#include "services/DialogService.h"

#include "services/FileDialogFolders.h"

#include <QDialog>
#include <QFileDialog>

namespace ui {

namespace {

DialogService* g_pInstalled = nullptr;

QtDialogService& qtService()
{
    static QtDialogService service;
    return service;
}

// "*.*" means every file on the desktop the filters were written for; here
// it would hide names without a dot, so the Qt dialog gets "*" instead.
QString joinFilters(const QStringList& filters)
{
    QStringList patterns;
    for (QString filter : filters)
        patterns << filter.replace(QStringLiteral("(*.*)"), QStringLiteral("(*)"));
    return patterns.join(QStringLiteral(";;"));
}

// The folder a dialog starts in: the request's own, else the one last used
// for its kind.
QString startFolder(const FileDialogRequest& request)
{
    if (!request.directory.isEmpty())
        return request.directory;
    return FileDialogFolders::startFolder(request.kind);
}

// The chosen file, remembered for the kind when the dialog started there.
std::optional<QString> chosenFile(const QFileDialog& dialog, const FileDialogRequest& request)
{
    if (dialog.result() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    const QString chosen = dialog.selectedFiles().first();
    if (request.directory.isEmpty())
        FileDialogFolders::remember(request.kind, chosen);
    return chosen;
}

} // namespace

DialogService& DialogService::instance()
{
    if (g_pInstalled != nullptr)
        return *g_pInstalled;
    return qtService();
}

void DialogService::install(DialogService* service)
{
    g_pInstalled = service;
}

util::BoxAnswer DialogService::messageBox(const std::wstring& caption, const std::wstring& text,
                                          util::BoxIcon icon, util::BoxButtons buttons)
{
    return util::messageBox(caption, text, icon, buttons);
}

util::BoxAnswer DialogService::messageBox(const std::wstring& caption, const std::wstring& text,
                                          util::BoxIcon icon, util::BoxButtons buttons,
                                          util::BoxAnswer defaultButton)
{
    return util::messageBox(caption, text, icon, buttons, defaultButton);
}

DialogService& dialogs()
{
    return DialogService::instance();
}

int QtDialogService::exec(QDialog& dialog)
{
    return dialog.exec();
}

std::optional<QString> QtDialogService::getOpenFileName(QWidget* parent,
                                                        const FileDialogRequest& request)
{
    QFileDialog dialog(parent, request.caption, startFolder(request), joinFilters(request.filters));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (!request.defaultSuffix.isEmpty())
        dialog.setDefaultSuffix(request.defaultSuffix);
    dialog.exec();
    return chosenFile(dialog, request);
}

std::optional<QString> QtDialogService::getSaveFileName(QWidget* parent,
                                                        const FileDialogRequest& request)
{
    QFileDialog dialog(parent, request.caption, startFolder(request), joinFilters(request.filters));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (!request.defaultSuffix.isEmpty())
        dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.proposedName.isEmpty())
        dialog.selectFile(request.proposedName);
    dialog.exec();
    return chosenFile(dialog, request);
}

std::optional<QString> QtDialogService::getExistingDirectory(QWidget* parent,
                                                             const QString& caption,
                                                             const QString& directory)
{
    QString chosen = QFileDialog::getExistingDirectory(parent, caption, directory);
    if (chosen.isEmpty())
        return std::nullopt;
    return chosen;
}

} // namespace ui
