#include "services/CommandIcons.h"

#include "services/CommandGlyphs.h"

#include <QApplication>
#include <QColor>
#include <QImage>

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
};

const CommandImage kImages[] = {
    {"OnConnect", {"network-connect", "network-transmit-receive", "network-wired"}},
    {"OnDisconnect", {"network-disconnect", "network-offline", "network-wired-disconnected"}},
    {"OnLdifImport", {"document-import", "document-open"}},
    {"OnLdifExport", {"document-export", "document-save-as"}},
    {"OnTreeRefresh", {"view-refresh"}},
    {"OnTreeSort", {"view-sort-ascending"}},
    {"OnEntryRefresh", {"document-revert", "edit-undo"}},
    {"OnEntryView", {"document-properties"}},
    {"OnEntrySearch", {"edit-find", "system-search"}},
    {"OnEntryAdd", {"document-new", "contact-new"}},
    {"OnEntryModify", {"document-edit", "accessories-text-editor"}},
    {"OnEntryRename", {"edit-rename", "insert-text"}},
    {"OnEntryDelete", {"edit-delete"}},
    {"OnAttributeAdd", {"list-add"}},
    {"OnAttributeDelete", {"list-remove"}},
    {"OnValueAdd", {"edit-paste"}},
    {"OnValueModify", {"document-save"}},
    {"OnValueDelete", {"edit-cut", "edit-clear"}},
    {"OnValueSearch", {"edit-find-replace"}},
    {"OnSchemaView", {"accessories-dictionary", "x-office-address-book"}},
    {"OnSearchProperties", {"preferences-system", "emblem-system"}},
    {"OnHelpContents", {"help-contents", "help-browser"}},
    {"OnAppAbout", {"help-about"}},
};

// Some themes draw commands in pale grey that reads as a disabled command
// on a toolbar. An image reads as enabled when a fair share of what it
// draws is dark or clearly coloured.
bool readsAsEnabled(const QIcon& icon)
{
    const QImage image =
        icon.pixmap(QSize(24, 24)).toImage().convertToFormat(QImage::Format_ARGB32);
    int drawn = 0;
    int marked = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor color = QColor::fromRgba(image.pixel(x, y));
            if (color.alpha() < 128)
                continue;
            ++drawn;
            const double lightness =
                0.299 * color.redF() + 0.587 * color.greenF() + 0.114 * color.blueF();
            const bool coloured = color.hsvSaturationF() > 0.4 && color.valueF() > 0.3;
            if (lightness < 0.45 || coloured)
                ++marked;
        }
    }
    return drawn > 0 && marked * 20 >= drawn;
}

} // namespace

QIcon commandIcon(const QString& handlerName)
{
    for (const CommandImage& image : kImages) {
        if (handlerName != QLatin1String(image.handler))
            continue;
        for (const char* name : image.themeNames) {
            const QString themeName = QString::fromLatin1(name);
            if (!QIcon::hasThemeIcon(themeName))
                continue;
            const QIcon themed = QIcon::fromTheme(themeName);
            if (readsAsEnabled(themed))
                return themed;
        }
        return drawnCommandIcon(handlerName);
    }
    return QIcon();
}

QIcon applicationIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 128, 256})
        icon.addFile(QStringLiteral(":/dirlook/dirlook-%1.png").arg(size), QSize(size, size));
    return icon;
}

void initApplicationLook()
{
    initDirlookResources();
    QApplication::setApplicationName(QStringLiteral("Dirlook"));
    QApplication::setApplicationVersion(QStringLiteral(DIRLOOK_VERSION));
    QApplication::setWindowIcon(applicationIcon());
    // The menu entry's name: desktops match the window to it (icon, name).
    QApplication::setDesktopFileName(QStringLiteral("org.dirlook.Dirlook"));
    if (QIcon::fallbackThemeName().isEmpty() || QIcon::fallbackThemeName() == QLatin1String("hicolor"))
        QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor"))
        QIcon::setThemeName(QStringLiteral("Adwaita"));
}

} // namespace ui
