#include "services/CommandIcons.h"

#include <QApplication>
#include <QStyle>

#include <initializer_list>

static void initDirlookResources()
{
    Q_INIT_RESOURCE(dirlook);
}

namespace ui {

namespace {

struct CommandImage {
    const char* handler;
    // Freedesktop icon names, tried in order.
    std::initializer_list<const char*> themeNames;
    QStyle::StandardPixmap fallback;
};

const CommandImage kImages[] = {
    {"OnConnect", {"network-connect", "network-transmit-receive", "network-wired"},
     QStyle::SP_DriveNetIcon},
    {"OnDisconnect", {"network-disconnect", "network-offline", "network-wired-disconnected"},
     QStyle::SP_BrowserStop},
    {"OnLdifImport", {"document-import", "document-open"}, QStyle::SP_DialogOpenButton},
    {"OnLdifExport", {"document-export", "document-save-as"}, QStyle::SP_DialogSaveButton},
    {"OnTreeRefresh", {"view-refresh"}, QStyle::SP_BrowserReload},
    {"OnTreeSort", {"view-sort-ascending"}, QStyle::SP_ArrowDown},
    {"OnEntryRefresh", {"document-revert", "edit-undo"}, QStyle::SP_DialogResetButton},
    {"OnEntryView", {"document-properties"}, QStyle::SP_FileDialogInfoView},
    {"OnEntrySearch", {"edit-find", "system-search"}, QStyle::SP_FileDialogContentsView},
    {"OnEntryAdd", {"document-new", "contact-new"}, QStyle::SP_FileDialogNewFolder},
    {"OnEntryModify", {"document-edit", "accessories-text-editor"},
     QStyle::SP_FileDialogDetailedView},
    {"OnEntryRename", {"edit-rename", "insert-text"}, QStyle::SP_FileLinkIcon},
    {"OnEntryDelete", {"edit-delete"}, QStyle::SP_TrashIcon},
    {"OnAttributeAdd", {"list-add"}, QStyle::SP_DialogApplyButton},
    {"OnAttributeDelete", {"list-remove"}, QStyle::SP_DialogDiscardButton},
    {"OnValueAdd", {"edit-paste"}, QStyle::SP_ArrowRight},
    {"OnValueModify", {"document-save"}, QStyle::SP_DialogSaveButton},
    {"OnValueDelete", {"edit-cut", "edit-clear"}, QStyle::SP_DialogCancelButton},
    {"OnValueSearch", {"edit-find-replace"}, QStyle::SP_FileDialogContentsView},
    {"OnSchemaView", {"accessories-dictionary", "x-office-address-book"},
     QStyle::SP_FileDialogListView},
    {"OnSearchProperties", {"preferences-system", "emblem-system"}, QStyle::SP_ComputerIcon},
    {"OnHelpContents", {"help-contents", "help-browser"}, QStyle::SP_DialogHelpButton},
    {"OnAppAbout", {"help-about"}, QStyle::SP_MessageBoxInformation},
};

} // namespace

QIcon commandIcon(const QString& handlerName)
{
    for (const CommandImage& image : kImages) {
        if (handlerName != QLatin1String(image.handler))
            continue;
        for (const char* name : image.themeNames) {
            const QString themeName = QString::fromLatin1(name);
            if (QIcon::hasThemeIcon(themeName))
                return QIcon::fromTheme(themeName);
        }
        return QApplication::style()->standardIcon(image.fallback);
    }
    return QIcon();
}

QIcon applicationIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 128})
        icon.addFile(QStringLiteral(":/dirlook/dirlook-%1.png").arg(size), QSize(size, size));
    return icon;
}

void initApplicationLook()
{
    initDirlookResources();
    QApplication::setApplicationName(QStringLiteral("Dirlook"));
    QApplication::setApplicationVersion(QStringLiteral(DIRLOOK_VERSION));
    QApplication::setWindowIcon(applicationIcon());
    if (QIcon::fallbackThemeName().isEmpty() || QIcon::fallbackThemeName() == QLatin1String("hicolor"))
        QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor"))
        QIcon::setThemeName(QStringLiteral("Adwaita"));
}

} // namespace ui
