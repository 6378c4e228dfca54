#pragma once

#include <QDialog>

#include <string>

class QLineEdit;
class QPushButton;

// "Rename entry": asks for the new relative DN. The caller presets the text
// (setInitialText, e.g. "cn="), runs the dialog and after OK reads
// getNewRDN(). An empty edit box ends the dialog as Cancel.
class CDialogRenameEntry : public QDialog {
    Q_OBJECT
public:
    explicit CDialogRenameEntry(QWidget* parent = nullptr);
    ~CDialogRenameEntry() override;

    // Shown unselected, the caret after its last character.
    void setInitialText(const std::wstring& text);
    const std::wstring& getInitialText() const { return m_strInitialText; }
    // The edit box as read when the dialog ended.
    const std::wstring& getNewRDN() const { return m_strNewRDN; }

    QLineEdit* getEdit() const { return m_pEdit; }
    QPushButton* getOkButton() const { return m_pOkButton; }
    QPushButton* getCancelButton() const { return m_pCancelButton; }

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void focusEdit();

    std::wstring m_strInitialText;
    std::wstring m_strNewRDN;
    QLineEdit* m_pEdit = nullptr;
    QPushButton* m_pOkButton = nullptr;
    QPushButton* m_pCancelButton = nullptr;
};
