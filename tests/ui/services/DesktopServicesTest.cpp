// The toolbar's images and the file dialogs' starting folders, through the
// real Qt services.

#include "frame/CMainFrame.h"
#include "model/Model.h"
#include "services/CommandIcons.h"
#include "services/DialogService.h"
#include "services/FileDialogFolders.h"
#include "services/Settings.h"
#include "support/ScriptedMessageBoxes.h"
#include "ui/support/MainFrameFixture.h"
#include "ui/support/ScriptedDialogs.h"
#include "ui/support/UiTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QIcon>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>

#include <gtest/gtest.h>

#include <memory>
#include <set>

namespace {

// ---- toolbar images -------------------------------------------------------------

// The share of an image's drawn pixels that carry a dark or coloured mark; a
// greyed-out image has next to none.
double markedShare(const QIcon& icon)
{
    const QImage image = icon.pixmap(21, 21).toImage().convertToFormat(QImage::Format_ARGB32);
    int drawn = 0;
    int marked = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor color = image.pixelColor(x, y);
            if (color.alpha() < 128)
                continue;
            ++drawn;
            if (color.lightnessF() < 0.45 || color.hslSaturationF() > 0.4)
                ++marked;
        }
    }
    return drawn == 0 ? 0.0 : double(marked) / drawn;
}

QByteArray pixels(const QIcon& icon)
{
    const QImage image = icon.pixmap(21, 21).toImage().convertToFormat(QImage::Format_ARGB32);
    return QByteArray(reinterpret_cast<const char*>(image.constBits()), int(image.sizeInBytes()));
}

// Points the icon lookup at a theme folder of the test's own for the life of
// the object.
class IconTheme {
public:
    explicit IconTheme(const QString& searchPath, const QString& name)
        : m_paths(QIcon::themeSearchPaths()), m_name(QIcon::themeName()),
          m_fallback(QIcon::fallbackThemeName())
    {
        QIcon::setThemeSearchPaths({searchPath});
        QIcon::setFallbackThemeName(name);
        QIcon::setThemeName(name);
    }
    ~IconTheme()
    {
        QIcon::setThemeSearchPaths(m_paths);
        QIcon::setFallbackThemeName(m_fallback);
        QIcon::setThemeName(m_name);
    }

private:
    QStringList m_paths;
    QString m_name;
    QString m_fallback;
};

// A theme folder holding 24-pixel action images: a ring in the given colour.
void writeTheme(const QString& root, const QString& name,
                const std::vector<std::pair<QString, QColor>>& images)
{
    const QString folder = root + QStringLiteral("/") + name + QStringLiteral("/24x24/actions");
    ASSERT_TRUE(QDir().mkpath(folder));
    QFile index(root + QStringLiteral("/") + name + QStringLiteral("/index.theme"));
    ASSERT_TRUE(index.open(QIODevice::WriteOnly));
    index.write("[Icon Theme]\nName=" + name.toUtf8()
                + "\nDirectories=24x24/actions\n\n[24x24/actions]\nSize=24\nType=Fixed\n");
    index.close();
    for (const auto& [image, color] : images) {
        QImage picture(24, 24, QImage::Format_ARGB32);
        picture.fill(Qt::transparent);
        QPainter painter(&picture);
        painter.setPen(QPen(color, 4));
        painter.drawEllipse(QRectF(4, 4, 16, 16));
        painter.end();
        ASSERT_TRUE(picture.save(folder + QStringLiteral("/") + image + QStringLiteral(".png")));
    }
}

class ToolbarImagesTest : public ::testing::Test {
protected:
    std::vector<QAction*> toolbarCommands(const CMainFrame& frame) const
    {
        std::vector<QAction*> commands;
        for (QAction* action : frame.getToolBar()->actions()) {
            if (!action->isSeparator())
                commands.push_back(action);
        }
        return commands;
    }

    dirtest::TempWorkDir m_workDir;
    dirtest::ScriptedMessageBoxes m_boxes;
    QTemporaryDir m_themes;
};

TEST_F(ToolbarImagesTest, WithoutAThemeEveryCommandHasItsOwnClearImage)
{
    IconTheme none(m_themes.path(), QStringLiteral("absent"));
    CMainFrame frame;
    std::set<QByteArray> seen;
    const std::vector<QAction*> commands = toolbarCommands(frame);
    ASSERT_EQ(commands.size(), 23u);
    for (QAction* action : commands) {
        SCOPED_TRACE(action->objectName().toStdString());
        ASSERT_FALSE(action->icon().isNull());
        EXPECT_GT(markedShare(action->icon()), 0.1);
        // The disabled look stays distinguishable, paler than the image.
        EXPECT_LT(markedShare(QIcon(action->icon().pixmap(21, 21, QIcon::Disabled))),
                  markedShare(action->icon()));
        EXPECT_TRUE(seen.insert(pixels(action->icon())).second) << "image shared with another command";
    }
}

TEST_F(ToolbarImagesTest, AThemeImageThatLooksGreyedOutGivesWayToTheProgramsOwn)
{
    const QColor pale(0xbe, 0xbe, 0xbe);
    writeTheme(m_themes.path(), QStringLiteral("pale"),
               {{QStringLiteral("view-refresh"), pale},
                {QStringLiteral("document-properties"), pale},
                {QStringLiteral("edit-find"), QColor(0x20, 0x4a, 0x87)},
                {QStringLiteral("list-add"), QColor(0x4e, 0x9a, 0x06)}});
    IconTheme theme(m_themes.path(), QStringLiteral("pale"));
    ASSERT_TRUE(QIcon::hasThemeIcon(QStringLiteral("view-refresh")));
    const QIcon paleRefresh = QIcon::fromTheme(QStringLiteral("view-refresh"));
    EXPECT_LT(markedShare(paleRefresh), 0.05);

    CMainFrame frame;
    for (const char* handler : {"OnTreeRefresh", "OnEntryView"}) {
        const QIcon shown = frame.getAction(QString::fromLatin1(handler))->icon();
        EXPECT_NE(pixels(shown), pixels(paleRefresh)) << handler;
        EXPECT_GT(markedShare(shown), 0.1) << handler;
    }
    // Clear theme images are the theme's.
    EXPECT_EQ(pixels(frame.getAction(QStringLiteral("OnEntrySearch"))->icon()),
              pixels(QIcon::fromTheme(QStringLiteral("edit-find"))));
    EXPECT_EQ(pixels(frame.getAction(QStringLiteral("OnAttributeAdd"))->icon()),
              pixels(QIcon::fromTheme(QStringLiteral("list-add"))));
}

// ---- file dialogs' folders ----------------------------------------------------------

// Answers the next file dialog once it is up: notes the folder it shows,
// then picks path or, when path is empty, cancels.
void answerNextFileDialog(QString* folder, const QString& path)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, folder, path]() {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr)
            return;
        timer->stop();
        timer->deleteLater();
        *folder = dialog->directory().absolutePath();
        if (path.isEmpty()) {
            dialog->reject();
            return;
        }
        // Typed in full, as a user may: the dialog need not have listed its
        // folder yet.
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setText(path);
        static_cast<QDialog*>(dialog)->accept();  // QFileDialog::accept checks the choice
    });
    timer->start();
}

class FileDialogFoldersTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ui::openSettings()->remove(QStringLiteral("FileDialogs"));
        ASSERT_TRUE(QDir().mkpath(m_files.filePath(QStringLiteral("ldif"))));
        ASSERT_TRUE(QDir().mkpath(m_files.filePath(QStringLiteral("values"))));
        ASSERT_TRUE(dirtest::writeBytes(m_files.filePath(QStringLiteral("ldif/in.ldif")).toStdString(),
                                        "version: 1\n"));
    }
    void TearDown() override { ui::openSettings()->remove(QStringLiteral("FileDialogs")); }

    std::optional<QString> open(const QString& kind, const QString& pick, QString& shown)
    {
        ui::FileDialogRequest request;
        request.caption = QStringLiteral("Open");
        request.kind = kind;
        answerNextFileDialog(&shown, pick);
        return ui::QtDialogService().getOpenFileName(nullptr, request);
    }

    QString path(const char* name) const { return m_files.filePath(QString::fromLatin1(name)); }

    dirtest::TempWorkDir m_workDir;
    dirtest::ScriptedMessageBoxes m_boxes;
    QTemporaryDir m_files;
};

TEST_F(FileDialogFoldersTest, EachKindStartsAtHomeThenWhereItsLastDialogEnded)
{
    QString shown;
    // Not the connections folder the working directory is in.
    EXPECT_EQ(open(ui::FileDialogRequest::kLdifFiles, QString(), shown), std::nullopt);
    EXPECT_EQ(shown, QDir::homePath());

    EXPECT_EQ(open(ui::FileDialogRequest::kLdifFiles, path("ldif/in.ldif"), shown),
              std::optional<QString>(path("ldif/in.ldif")));
    EXPECT_EQ(open(ui::FileDialogRequest::kLdifFiles, QString(), shown), std::nullopt);
    EXPECT_EQ(shown, path("ldif"));
    // Other kinds keep their own folders.
    EXPECT_EQ(open(ui::FileDialogRequest::kValueFiles, QString(), shown), std::nullopt);
    EXPECT_EQ(shown, QDir::homePath());
    EXPECT_EQ(open(QString(), QString(), shown), std::nullopt);
    EXPECT_EQ(shown, QDir::homePath());

    // A save dialog remembers its folder too, and proposes its name there.
    ui::FileDialogRequest save;
    save.caption = QStringLiteral("Save");
    save.kind = ui::FileDialogRequest::kValueFiles;
    save.proposedName = QStringLiteral("photo.jpg");
    answerNextFileDialog(&shown, path("values/photo.jpg"));
    EXPECT_EQ(ui::QtDialogService().getSaveFileName(nullptr, save),
              std::optional<QString>(path("values/photo.jpg")));
    EXPECT_EQ(ui::FileDialogFolders::startFolder(ui::FileDialogRequest::kValueFiles), path("values"));

    // A folder that is gone sends the dialog home again.
    ASSERT_TRUE(QDir(path("ldif")).removeRecursively());
    EXPECT_EQ(open(ui::FileDialogRequest::kLdifFiles, QString(), shown), std::nullopt);
    EXPECT_EQ(shown, QDir::homePath());
    EXPECT_TRUE(m_boxes.boxes().empty());
}

class LdifDialogFolderTest : public dirtest::MainFrameFixture {
protected:
    void TearDown() override
    {
        ui::openSettings()->remove(QStringLiteral("FileDialogs"));
        MainFrameFixture::TearDown();
    }
    dirtest::ScriptedMessageBoxes m_boxes;
    QTemporaryDir m_files;
};

TEST_F(LdifDialogFolderTest, TheLdifCommandsOpenTheirDialogsWhereTheLastLdifFileWas)
{
    ui::FileDialogFolders::remember(ui::FileDialogRequest::kLdifFiles,
                                    m_files.filePath(QStringLiteral("earlier.ldif")));
    QString shown;
    answerNextFileDialog(&shown, QString());
    EXPECT_EQ(m_frame->OnLdifImport(), -1);
    EXPECT_EQ(shown, m_files.path());

    ASSERT_EQ(m_model->setActiveEntry(m_model->getBaseDN()), 0);
    m_boxes.queueAnswer(util::BoxAnswer::No);
    shown.clear();
    answerNextFileDialog(&shown, QString());
    EXPECT_EQ(m_frame->OnLdifExport(), -1);
    EXPECT_EQ(shown, m_files.path());
}

} // namespace
