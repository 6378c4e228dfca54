// Takes the README screenshot: Dirlook connected to the demo directory
// through its "Demo" profile, the tree opened down to the person with a
// photo, that entry's attributes shown with the photo's tooltip, and the
// certificate viewer open on the person with a certificate.
//
//   dirlook_demo_screenshot WORKDIR OUTPUT.png [WIDTH HEIGHT]

#include "dialogs/CDialogCertificate.h"
#include "dialogs/CDialogConnection.h"
#include "frame/CMainFrame.h"
#include "profiles/Directories.h"
#include "records/LDAPAttribute.h"
#include "records/LDAPEntry.h"
#include "services/CommandIcons.h"
#include "support/ScriptedMessageBoxes.h"
#include "ui/support/ScriptedDialogs.h"
#include "utilities/Util.h"
#include "values/CertificateSummary.h"
#include "views/CListEntryAttributes.h"
#include "views/TreeControlView.h"

#include <QApplication>
#include <QFileInfo>
#include <QImage>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QToolTip>

#include <cstdio>
#include <cstdlib>
#include <ctime>
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

// The row of the record view showing name, or -1.
int recordRow(CListEntryAttributes& records, const QString& name)
{
    for (int row = 0; row < records.getRowCount(); ++row) {
        if (records.getItemString(row, 0).compare(name, Qt::CaseInsensitive) == 0)
            return row;
    }
    return -1;
}

// The tooltip the record view shows for row, as Qt draws it.
QPixmap toolTipPicture(CListEntryAttributes& records, int row, QPoint& where)
{
    const QRect rect = records.visualItemRect(records.topLevelItem(row));
    where = records.viewport()->mapToGlobal(rect.center() + QPoint(rect.width() / 6, 8));
    QToolTip::showText(where, records.toolTipForRow(row), records.viewport());
    QPixmap picture;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && widget->inherits("QTipLabel"))
            picture = widget->grab();
    }
    QToolTip::hideText();
    return picture;
}

// A window picture under a drawn title bar: no window manager draws one
// under Xvfb.
QImage withTitleBar(const QPixmap& window, const QString& title, const QIcon& icon)
{
    const int titleHeight = 30;
    QImage picture(window.width(), window.height() + titleHeight, QImage::Format_RGB32);
    picture.fill(QColor(0x2b, 0x2f, 0x36));
    {
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        if (!icon.isNull())
            painter.drawPixmap(8, (titleHeight - 20) / 2, icon.pixmap(20, 20));
        QFont font = QApplication::font();
        font.setBold(true);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(QRect(0, 0, window.width(), titleHeight), Qt::AlignCenter, title);
        painter.drawPixmap(0, titleHeight, window);
    }
    return picture;
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
    const std::wstring person = L"uid=photo," + people;
    if (!openNode(frame, base) || !openNode(frame, people) || !openNode(frame, person))
        return fail("cannot open the demo entries in the tree", boxes);
    if (QTreeWidgetItem* groups = frame.getTreeView()->findNode(L"ou=Groups," + base))
        groups->setExpanded(false);

    CListEntryAttributes* records = frame.getRecordView();
    const int photoRow = recordRow(*records, QStringLiteral("jpegPhoto"));
    if (photoRow < 0)
        return fail("the demo person has no photo", boxes);
    records->selectRow(photoRow);
    dirtest::waitFor([]() { return false; }, 500);

    // The certificate of the person who has one, in its viewer.
    const memorylib::gc_ptr<ldapmodel::LDAPEntry> certified =
        frame.getModel()->getEntry(L"uid=cert," + people);
    const memorylib::gc_ptr<ldapmodel::LDAPAttribute> certificates =
        certified.get() != nullptr ? certified->getAttribute(L"userCertificate;binary")
                                   : memorylib::gc_ptr<ldapmodel::LDAPAttribute>();
    if (certificates.get() == nullptr || certificates->getValueCount() == 0)
        return fail("the demo directory has no certificate", boxes);
    const auto value = certificates->getValue(0);
    ldapmodel::CertificateSummary certificate;
    if (!certificate.read(reinterpret_cast<const unsigned char*>(value->getBytes()), value->getLength()))
        return fail("the demo certificate does not read", boxes);
    CDialogCertificate viewer(&frame);
    viewer.setCertificate(certificate, static_cast<std::int64_t>(std::time(nullptr)));
    viewer.show();
    dirtest::waitFor([]() { return false; }, 300);

    QPoint tipAt;
    const QPixmap tip = toolTipPicture(*records, photoRow, tipAt);
    const QPixmap window = frame.grab();
    QImage picture = withTitleBar(window, frame.windowTitle(), ui::applicationIcon());
    {
        QPainter painter(&picture);
        const int titleHeight = picture.height() - window.height();
        if (!tip.isNull())
            painter.drawPixmap(frame.mapFromGlobal(tipAt) + QPoint(0, titleHeight), tip);
        const QImage dialog = withTitleBar(viewer.grab(), viewer.windowTitle(), QIcon());
        const QPoint corner(picture.width() - dialog.width() - 24,
                            picture.height() - dialog.height() - 40);
        painter.fillRect(QRect(corner + QPoint(4, 4), dialog.size()), QColor(0, 0, 0, 70));
        painter.drawImage(corner, dialog);
    }
    if (!picture.save(output, "PNG"))
        return fail("cannot write the screenshot", boxes);
    std::printf("%s\n", argv[2]);
    return 0;
}
