#pragma once

#include <QDialog>

#include <string>

class QLabel;
class QPlainTextEdit;
class QPushButton;

// "Dialog Edit Information": a title and a multi-line text, e.g. a new
// entry's LDIF text. The caller sets both and runs the dialog; lines can be
// appended while it is open. The text is not read back.
class CDialogEditInfo : public QDialog {
    Q_OBJECT
public:
    // Longest formatted line appended, terminator included.
    static constexpr int kLineBufferSize = 1024;

    explicit CDialogEditInfo(QWidget* parent = nullptr);
    ~CDialogEditInfo() override;

    // Puts the text into the edit box ("\r\n" line ends are taken as "\n")
    // and scrolls to its end.
    void setText(const std::wstring& text);
    void setTitle(const std::wstring& title);
    const std::wstring& getTitle() const { return m_strTitle; }

    // Formats like swprintf, "%s" taking a wide string (at most
    // kLineBufferSize - 1 characters, the rest is cut), and inserts the
    // result at the end of the edit box.
    void appendLine(const wchar_t* format, ...);
    // "Add Test Line".
    void OnAddTestLine();

    QPlainTextEdit* getEdit() const { return m_pEdit; }
    QLabel* getTitleLabel() const { return m_pTitleLabel; }
    QPushButton* getAddTestLineButton() const { return m_pAddTestLineButton; }
    QPushButton* getOkButton() const { return m_pOkButton; }
    QPushButton* getCancelButton() const { return m_pCancelButton; }

private:
    void insertAtEnd(const QString& text);
    void scrollToEnd();

    std::wstring m_strText;
    std::wstring m_strTitle;
    QPlainTextEdit* m_pEdit = nullptr;
    QLabel* m_pTitleLabel = nullptr;
    QPushButton* m_pAddTestLineButton = nullptr;
    QPushButton* m_pOkButton = nullptr;
    QPushButton* m_pCancelButton = nullptr;
};
