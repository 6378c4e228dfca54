// Takes the README screenshot: Dirlook connected to the demo directory
// through its "Demo" profile, the tree opened down to one person, that
// entry's attributes shown.
//
//   dirlook_demo_screenshot WORKDIR OUTPUT.png [WIDTH HEIGHT]

#include "dialogs/CDialogConnection.h"
#include "frame/CMainFrame.h"
#include "profiles/Directories.h"
#include "services/CommandIcons.h"
#include "support/ScriptedMessageBoxes.h"
#include "ui/support/ScriptedDialogs.h"
#include "utilities/Util.h"
#include "views/CListEntryAttributes.h"
#include "views/TreeControlView.h"

#include <QApplication>
#include <QFileInfo>
#include <QImage>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

int fail(const char* what, const dirtest::ScriptedMessageBoxes& boxes)
{
    std::fprintf(stderr, "dirlook_demo_screenshot: %s\n", what);
    for (const auto& box : boxes.boxes())
        std::fprintf(stderr, "  box \"%s\": %s\n", util::toUtf8(box.caption).c_str(),
                     util::toUtf8(box.text).c_str());
    return 1;
}

bool openNode(CMainFrame& frame, const std::wstring& dn)
{
    TreeControlView* tree = frame.getTreeView();
    QTreeWidgetItem* node = tree->findNode(dn);
    if (node == nullptr)
        return false;
    tree->setCurrentItem(node);
    tree->clickNode(node);
    QCoreApplication::processEvents();
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3 && argc != 5) {
        std::fprintf(stderr, "usage: %s WORKDIR OUTPUT.png [WIDTH HEIGHT]\n", argv[0]);
        return 2;
    }
    const int width = argc == 5 ? std::atoi(argv[3]) : 1280;
    const int height = argc == 5 ? std::atoi(argv[4]) : 800;
    // Resolved before the working directory changes.
    const QString output = QFileInfo(QString::fromLocal8Bit(argv[2])).absoluteFilePath();
    if (::chdir(argv[1]) != 0) {
        std::perror(argv[1]);
        return 1;
    }

    QApplication application(argc, argv);
    ui::initApplicationLook();
    dirtest::ScriptedMessageBoxes boxes;
    dirtest::ScriptedDialogs dialogs;
    ldapmodel::Directories::initialize();

    CMainFrame frame;
    frame.resize(width, height);
    frame.show();
    dirtest::waitFor([]() { return false; }, 300);

    dialogs.queueDialog([](QDialog& dialog) {
        auto& chooser = dynamic_cast<CDialogConnection&>(dialog);
        const auto items = chooser.getList()->findItems(QStringLiteral("Demo"), Qt::MatchExactly);
        if (items.isEmpty()) {
            chooser.reject();
            return;
        }
        chooser.getList()->setCurrentItem(items.first());
        chooser.getConnectButton()->click();
    });
    if (frame.OnConnect() != 0)
        return fail("cannot connect through the Demo profile", boxes);

    const std::wstring base = L"dc=example,dc=com";
    const std::wstring people = L"ou=People," + base;
    const std::wstring person = L"uid=user01," + people;
    if (!openNode(frame, base) || !openNode(frame, people) || !openNode(frame, person))
        return fail("cannot open the demo entries in the tree", boxes);
    if (QTreeWidgetItem* groups = frame.getTreeView()->findNode(L"ou=Groups," + base))
        groups->setExpanded(false);

    CListEntryAttributes* records = frame.getRecordView();
    for (int row = 0; row < records->getRowCount(); ++row) {
        if (records->getItemString(row, 0) == QStringLiteral("mail")) {
            records->selectRow(row);
            break;
        }
    }
    frame.getTreeView()->setFocus();
    dirtest::waitFor([]() { return false; }, 500);

    // No window manager draws a title bar under Xvfb: draw a plain one, so
    // the picture shows the connection in the title.
    const QPixmap window = frame.grab();
    const int titleHeight = 30;
    QImage picture(window.width(), window.height() + titleHeight, QImage::Format_RGB32);
    picture.fill(QColor(0x2b, 0x2f, 0x36));
    {
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.drawPixmap(8, (titleHeight - 20) / 2, ui::applicationIcon().pixmap(20, 20));
        QFont font = QApplication::font();
        font.setBold(true);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(QRect(0, 0, window.width(), titleHeight), Qt::AlignCenter,
                         frame.windowTitle());
        painter.drawPixmap(0, titleHeight, window);
    }
    if (!picture.save(output, "PNG"))
        return fail("cannot write the screenshot", boxes);
    std::printf("%s\n", argv[2]);
    return 0;
}
