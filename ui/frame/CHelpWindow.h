#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

class QLineEdit;
class QTextBrowser;

// The help window: Dirlook.html of the Help directory in a text browser,
// with a find field. One window per owner, reused by later requests.
class CHelpWindow : public QWidget {
    Q_OBJECT
public:
    static const char* const kHelpFile;  // "Dirlook.html"

    explicit CHelpWindow(QWidget* owner = nullptr);
    ~CHelpWindow() override;

    // Opens helpDirectory/Dirlook.html at anchor (its top when empty) and
    // shows the window, the find field focused when search is set. A missing
    // file shows nothing. The window, or null.
    static CHelpWindow* showHelp(QWidget* owner, const QString& helpDirectory,
                                 const QString& anchor, bool search);
    // The first of folders that holds Dirlook.html, or empty.
    static QString folderWithHelp(const QStringList& folders);
    // The window showHelp opened for owner, or null.
    static CHelpWindow* windowOf(const QWidget* owner);

    // Loads the file; false when it does not exist.
    bool open(const QString& path, const QString& anchor);
    QTextBrowser* getBrowser() const { return m_pBrowser; }
    QLineEdit* getFindEdit() const { return m_pFind; }
    // Finds the next occurrence of the find field's text, wrapping once.
    bool findNext();

private:
    QTextBrowser* m_pBrowser = nullptr;
    QLineEdit* m_pFind = nullptr;
};
