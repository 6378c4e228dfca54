#pragma once

#include "values/PasswordHash.h"

#include <QDialog>

#include <string>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// "Set Password": a new password typed twice and the scheme it is stored
// with ({SSHA}, {SSHA256}, {SSHA512}, {CRYPT} SHA-512 crypt, or clear text
// after a warning). OK hashes it; the caller stores getValue() in
// userPassword. The scheme chosen last is offered next time (clear text
// never is).
class CDialogSetPassword : public QDialog {
    Q_OBJECT
public:
    explicit CDialogSetPassword(QWidget* parent = nullptr);
    ~CDialogSetPassword() override;

    // The entry whose password is set, shown in the dialog.
    void setEntryDN(const std::wstring& dn);

    ldapmodel::PasswordScheme getScheme() const;
    void setScheme(ldapmodel::PasswordScheme scheme);
    // After OK: the value to store (scheme prefix and hash, or the password).
    const std::string& getValue() const { return m_value; }

    // OK: an empty password, two different ones, a declined clear-text
    // warning or a failed hash keep the dialog open (after a box saying so).
    void accept() override;

    QLabel* getEntryLabel() const { return m_pEntryLabel; }
    QLineEdit* getPasswordEdit() const { return m_pPasswordEdit; }
    QLineEdit* getConfirmEdit() const { return m_pConfirmEdit; }
    QComboBox* getSchemeBox() const { return m_pSchemeBox; }
    // Shown while clear text is chosen.
    QLabel* getWarningLabel() const { return m_pWarningLabel; }
    QPushButton* getOkButton() const { return m_pOkButton; }
    QPushButton* getCancelButton() const { return m_pCancelButton; }

private:
    void updateWarning();

    std::string m_value;
    QLabel* m_pEntryLabel = nullptr;
    QLineEdit* m_pPasswordEdit = nullptr;
    QLineEdit* m_pConfirmEdit = nullptr;
    QComboBox* m_pSchemeBox = nullptr;
    QLabel* m_pWarningLabel = nullptr;
    QPushButton* m_pOkButton = nullptr;
    QPushButton* m_pCancelButton = nullptr;
};
