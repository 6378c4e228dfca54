#pragma once

#include "handles/gc_ptr.h"
#include "profiles/ConnectionFiles.h"
#include "profiles/ConnectionPropertyFile.h"

#include <QDialog>

#include <string>

class QListWidget;
class QPushButton;

// The connection chooser ("Connection"): lists the profiles of the
// connections directory; creates, edits, copies and deletes them; ends with
// ConnectResult once the user picked one, whose values the caller then reads.
// Profiles that connect with LDAPS or StartTLS carry a padlock; the others
// say in their tooltip that they send everything in clear text.
class CDialogConnection : public QDialog {
    Q_OBJECT
public:
    static constexpr int ConnectResult = QDialog::Accepted;

    explicit CDialogConnection(QWidget* parent = nullptr);
    ~CDialogConnection() override;

    // Re-reads the profile names into the list. 0 (also when the connections
    // directory does not exist yet: the list is empty), or -1 after "Can't
    // read connection files, please reinstall the program" for a directory
    // that is there but can't be read.
    int readProfiles();

    // The chosen values, valid after ConnectResult.
    const std::wstring& getConnectionName() const { return m_strConnectionName; }
    const std::wstring& getHostname() const { return m_strHostname; }
    int getPortnumber() const { return m_iPortnumber; }
    const std::wstring& getBaseDn() const { return m_strBaseDn; }
    bool getAnonymous() const { return m_bAnonymous; }
    const std::wstring& getUserDn() const { return m_strUserdn; }
    const std::wstring& getPassword() const { return m_strPassword; }
    const std::wstring& getFilter() const { return m_strFilter; }
    ldapmodel::ConnectionPropertyFile::Security getSecurity() const { return m_security; }
    const std::wstring& getSecurityText() const { return m_strSecurityText; }
    const std::wstring& getCaFile() const { return m_strCaFile; }

    QListWidget* getList() const { return m_pList; }
    QPushButton* getConnectButton() const { return m_pConnectButton; }
    QPushButton* getNewButton() const { return m_pNewButton; }
    QPushButton* getPropertiesButton() const { return m_pPropertiesButton; }
    QPushButton* getCopyButton() const { return m_pCopyButton; }
    QPushButton* getDeleteButton() const { return m_pDeleteButton; }
    QPushButton* getBrowseButton() const { return m_pBrowseButton; }
    QPushButton* getCancelButton() const { return m_pCancelButton; }

    int OnConnect();
    // Selects the line of the named profile (none when there is no such
    // line), then runs OnConnect.
    int connectTo(const std::wstring& name);
    int OnNew();
    int OnProperties();
    int OnCopy();
    int OnDelete();
    int OnBrowse();

private:
    // "Please select a connection" unless a line is selected.
    bool requireSelection();
    // Copies the profile named m_strConnectionName into the value fields.
    // False when there is no such profile.
    bool takeProfileValues();
    void lookUpActiveConnection();

    QListWidget* m_pList = nullptr;
    QPushButton* m_pConnectButton = nullptr;
    QPushButton* m_pNewButton = nullptr;
    QPushButton* m_pPropertiesButton = nullptr;
    QPushButton* m_pCopyButton = nullptr;
    QPushButton* m_pDeleteButton = nullptr;
    QPushButton* m_pBrowseButton = nullptr;
    QPushButton* m_pCancelButton = nullptr;

    memorylib::gc_ptr<ldapmodel::ConnectionFiles> m_pConnectionFiles;
    memorylib::gc_ptr<ldapmodel::ConnectionPropertyFile> m_pActiveConnection;

    std::wstring m_strConnectionName;
    std::wstring m_strHostname;
    int m_iPortnumber = 389;
    std::wstring m_strBaseDn;
    bool m_bAnonymous = true;
    std::wstring m_strUserdn;
    std::wstring m_strPassword;
    std::wstring m_strFilter = L"(objectclass=*)";
    ldapmodel::ConnectionPropertyFile::Security m_security = ldapmodel::ConnectionPropertyFile::Security::None;
    std::wstring m_strSecurityText;
    std::wstring m_strCaFile;
};
