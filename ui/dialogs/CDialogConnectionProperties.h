#pragma once

#include "handles/gc_ptr.h"
#include "profiles/ConnectionFiles.h"
#include "profiles/ConnectionPropertyFile.h"
#include "session/TlsSettings.h"

#include <QDialog>

#include <string>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

// The profile editor ("Connection Properties"). A new profile starts from
// the values it is given; an existing one is read from its file. "&Save"
// writes the file under the name in the Name field and ends with SaveResult.
// Security (None, LDAPS, StartTLS) and a CA file go to the profile's extra
// lines. The Host field takes a host, host:port, an IPv6 address in
// brackets or an ldap:// / ldaps:// URL, which sets Port and Security; the
// port follows the security (389, 636) while it holds the usual one and the
// user has not typed one.
class CDialogConnectionProperties : public QDialog {
    Q_OBJECT
public:
    static constexpr int SaveResult = QDialog::Accepted;
    // Longest text of an edit field; the Name, Host, Base DN and User DN
    // fields take less, as much as their profile file line loads back.
    static constexpr int kMaxFieldLength = 254;

    struct Values {
        std::wstring name;
        std::wstring hostname;
        int portnumber = 389;
        std::wstring baseDn;
        bool anonymous = true;
        std::wstring userDn;
        std::wstring password;
        ldapmodel::ConnectionPropertyFile::Security security = ldapmodel::ConnectionPropertyFile::Security::None;
        // The Security line as the file holds it (an unknown one is kept).
        std::wstring securityText;
        std::wstring caFile;
    };

    // files: the chooser's profiles (for the existence test of a new
    // profile); an empty handle reads them afresh.
    CDialogConnectionProperties(const Values& values, bool newConnection,
                                const memorylib::gc_ptr<ldapmodel::ConnectionFiles>& files,
                                QWidget* parent = nullptr);
    ~CDialogConnectionProperties() override;

    // How a connection with these values is secured. False, after a box
    // saying so, for a Security value this version does not know: such a
    // profile is not connected in clear text instead.
    static bool tlsSettingsFor(const Values& values, ldapmodel::TlsSettings& tls);

    // The values as last taken from the fields (after Save) or the file.
    const Values& getValues() const { return m_values; }
    bool isNewConnection() const { return m_bNewConnection; }
    // The profile file written by the last Save.
    std::wstring getSavedFileName() const;

    QLineEdit* getNameEdit() const { return m_pName; }
    QLineEdit* getHostEdit() const { return m_pHost; }
    QLineEdit* getPortEdit() const { return m_pPort; }
    QCheckBox* getAnonymousCheck() const { return m_pAnonymous; }
    QComboBox* getBaseDnCombo() const { return m_pBaseDn; }
    QPushButton* getBaseDnButton() const { return m_pGetBaseDn; }
    QLineEdit* getUserDnEdit() const { return m_pUserDn; }
    QLineEdit* getPasswordEdit() const { return m_pPassword; }
    // "None", "LDAPS", "StartTLS" (no line selected for a security this
    // version does not know).
    QComboBox* getSecurityCombo() const { return m_pSecurity; }
    QLineEdit* getCaFileEdit() const { return m_pCaFile; }
    QPushButton* getCaFileButton() const { return m_pBrowseCaFile; }
    QPushButton* getSaveButton() const { return m_pSave; }
    QPushButton* getCancelButton() const { return m_pCancel; }

    // Fills the base DN list with the naming contexts of the server in the
    // Host and Port fields, secured as the Security field says. The number
    // of contexts added.
    int OnGetBaseDn();
    // The file dialog for the CA file. 0 when one was chosen.
    int OnBrowseCaFile();
    // Takes the Host field apart: a port or URL in it goes to the Port and
    // Security fields, the bare host stays. False (fields unchanged) for
    // text the Host field does not take.
    bool applyHostField();
    // 0 when the profile was written and the editor closed, -1 when it
    // stays open: a field the profile file can't hold as it is (a character
    // above U+00FF, a leading space or tab, too long), a name taken, or a
    // file that can't be written (each said in a box).
    int OnSave();

private:
    void fillControls();
    void onAnonymousToggled(bool anonymous);
    void onSecurityChanged(int index);
    void readFields();

    QLineEdit* m_pName = nullptr;
    QLineEdit* m_pHost = nullptr;
    QLineEdit* m_pPort = nullptr;
    QCheckBox* m_pAnonymous = nullptr;
    QComboBox* m_pBaseDn = nullptr;
    QPushButton* m_pGetBaseDn = nullptr;
    QLineEdit* m_pUserDn = nullptr;
    QLineEdit* m_pPassword = nullptr;
    QComboBox* m_pSecurity = nullptr;
    QLineEdit* m_pCaFile = nullptr;
    QPushButton* m_pBrowseCaFile = nullptr;
    QPushButton* m_pSave = nullptr;
    QPushButton* m_pCancel = nullptr;

    Values m_values;
    bool m_bNewConnection;
    // The user typed in the Port field: it no longer follows the security.
    bool m_bPortTyped = false;
    int m_iSecurityIndex = 0;
    memorylib::gc_ptr<ldapmodel::ConnectionFiles> m_pConnectionFiles;
    memorylib::gc_ptr<ldapmodel::ConnectionPropertyFile> m_pActiveConnection;
};
