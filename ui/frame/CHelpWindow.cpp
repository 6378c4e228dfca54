#include "frame/CHelpWindow.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTextBrowser>
#include <QTextCursor>
#include <QUrl>
#include <QVBoxLayout>

const char* const CHelpWindow::kHelpFile = "Dirlook.html";

CHelpWindow::CHelpWindow(QWidget* owner) : QWidget(owner, Qt::Window)
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Dirlook Help"));
    setAttribute(Qt::WA_DeleteOnClose);

    m_pBrowser = new QTextBrowser(this);
    m_pBrowser->setObjectName(QStringLiteral("HelpBrowser"));
    m_pBrowser->setOpenExternalLinks(true);
    m_pFind = new QLineEdit(this);
    m_pFind->setObjectName(QStringLiteral("HelpFind"));
    m_pFind->setPlaceholderText(QStringLiteral("Search the help"));
    m_pFind->setClearButtonEnabled(true);

    auto* findRow = new QHBoxLayout;
    findRow->addWidget(new QLabel(QStringLiteral("&Find:"), this));
    findRow->addWidget(m_pFind, 1);
    qobject_cast<QLabel*>(findRow->itemAt(0)->widget())->setBuddy(m_pFind);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(findRow);
    layout->addWidget(m_pBrowser, 1);
    resize(760, 640);

    connect(m_pFind, &QLineEdit::returnPressed, this, [this]() { findNext(); });
    connect(m_pFind, &QLineEdit::textEdited, this, [this]() {
        m_pBrowser->moveCursor(QTextCursor::Start);
        findNext();
    });
}

CHelpWindow::~CHelpWindow() = default;

CHelpWindow* CHelpWindow::windowOf(const QWidget* owner)
{
    if (owner == nullptr)
        return nullptr;
    return owner->findChild<CHelpWindow*>(QString(), Qt::FindDirectChildrenOnly);
}

QString CHelpWindow::folderWithHelp(const QStringList& folders)
{
    for (const QString& folder : folders) {
        if (!folder.isEmpty()
            && QFileInfo(folder + QStringLiteral("/") + QString::fromLatin1(kHelpFile)).isFile())
            return folder;
    }
    return QString();
}

CHelpWindow* CHelpWindow::showHelp(QWidget* owner, const QString& helpDirectory,
                                   const QString& anchor, bool search)
{
    const QString path = helpDirectory + QStringLiteral("/") + QString::fromLatin1(kHelpFile);
    if (helpDirectory.isEmpty() || !QFileInfo(path).isFile())
        return nullptr;
    CHelpWindow* window = windowOf(owner);
    if (window == nullptr)
        window = new CHelpWindow(owner);
    if (!window->open(path, anchor)) {
        window->close();
        return nullptr;
    }
    window->show();
    window->raise();
    window->activateWindow();
    if (search) {
        window->m_pFind->setFocus();
        window->m_pFind->selectAll();
    }
    return window;
}

bool CHelpWindow::open(const QString& path, const QString& anchor)
{
    if (!QFileInfo(path).isFile())
        return false;
    QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
    if (!anchor.isEmpty())
        url.setFragment(anchor);
    m_pBrowser->setSource(url, QTextDocument::HtmlResource);
    if (!anchor.isEmpty())
        m_pBrowser->scrollToAnchor(anchor);
    return !m_pBrowser->document()->isEmpty();
}

bool CHelpWindow::findNext()
{
    const QString text = m_pFind->text();
    if (text.isEmpty())
        return false;
    if (m_pBrowser->find(text))
        return true;
    m_pBrowser->moveCursor(QTextCursor::Start);
    return m_pBrowser->find(text);
}
