#pragma once

#include <QDialog>

class QLabel;

// "About Dirlook": program name, version, copyright and the support address.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    static const char* const kSupportAddress;

    explicit CAboutDlg(QWidget* parent = nullptr);
    ~CAboutDlg() override;

    QLabel* getNameLabel() const { return m_pName; }
    QLabel* getCopyrightLabel() const { return m_pCopyright; }
    QLabel* getMailLink() const { return m_pMail; }

private:
    QLabel* m_pName = nullptr;
    QLabel* m_pCopyright = nullptr;
    QLabel* m_pMail = nullptr;
};
