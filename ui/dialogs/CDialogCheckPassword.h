#pragma once

#include "values/PasswordHash.h"

#include <QDialog>

#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;

// "Check Password": tells whether a typed password matches one of the
// stored userPassword values. Nothing is sent to the server.
class CDialogCheckPassword : public QDialog {
    Q_OBJECT
public:
    explicit CDialogCheckPassword(QWidget* parent = nullptr);
    ~CDialogCheckPassword() override;

    void setEntryDN(const std::wstring& dn);
    // The stored values the password is checked against.
    void setStoredValues(std::vector<std::string> values);

    // "&Check": compares the typed password with every stored value and
    // shows the result. Match when one matches; otherwise NoMatch when one
    // could be checked, else Malformed or Unsupported.
    ldapmodel::PasswordHash::Check OnCheck();

    QLabel* getEntryLabel() const { return m_pEntryLabel; }
    QLineEdit* getPasswordEdit() const { return m_pPasswordEdit; }
    QLabel* getResultLabel() const { return m_pResultLabel; }
    QPushButton* getCheckButton() const { return m_pCheckButton; }
    QPushButton* getCloseButton() const { return m_pCloseButton; }

private:
    std::vector<std::string> m_listStoredValues;
    QLabel* m_pEntryLabel = nullptr;
    QLineEdit* m_pPasswordEdit = nullptr;
    QLabel* m_pResultLabel = nullptr;
    QPushButton* m_pCheckButton = nullptr;
    QPushButton* m_pCloseButton = nullptr;
};
