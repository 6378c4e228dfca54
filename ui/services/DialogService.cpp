#include "services/DialogService.h"

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
    QFileDialog dialog(parent, request.caption, request.directory, joinFilters(request.filters));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (!request.defaultSuffix.isEmpty())
        dialog.setDefaultSuffix(request.defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

std::optional<QString> QtDialogService::getSaveFileName(QWidget* parent,
                                                        const FileDialogRequest& request)
{
    QFileDialog dialog(parent, request.caption, request.directory, joinFilters(request.filters));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (!request.defaultSuffix.isEmpty())
        dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.proposedName.isEmpty())
        dialog.selectFile(request.proposedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
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
