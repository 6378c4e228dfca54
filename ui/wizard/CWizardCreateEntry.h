#pragma once

#include <QWizard>

#include <string>
#include <vector>

class CWizardCreateEntryClasses;
class CWizardCreateEntryEdit;

// "Create New Entry": page 1 chooses the object classes of a new entry below
// a parent DN, page 2 takes the RDN and the values and adds the entry through
// the model. Use:
//
//   CWizardCreateEntry wizard(parentDN, frame);
//   wizard.run();                        // modal, through the dialog service
//   std::wstring rdn = wizard.getNewLDAPRelativeDn();
//
// The wizard keeps what page 1 hands to page 2 (the chosen class names and
// the parent DN text as the user left it) and what page 2 leaves behind.
class CWizardCreateEntry : public QWizard {
    Q_OBJECT

public:
    enum PageId { ClassesPageId = 0, EditPageId = 1 };

    explicit CWizardCreateEntry(QWidget* parent = nullptr);
    explicit CWizardCreateEntry(const std::wstring& parentDN, QWidget* parent = nullptr);
    ~CWizardCreateEntry() override;

    // The DN the new entry goes below; also becomes the parent DN text.
    void setParentDN(const std::wstring& parentDN);
    const std::wstring& getParentDN() const { return m_strParentDN; }

    // Forgets the outcome of an earlier run and runs the wizard modally
    // through the dialog service. The dialog's result code.
    int run();

    // The RDN typed on page 2 when the wizard ended with Finish (the entry
    // created, or given up after a refused add); empty otherwise.
    const std::wstring& getNewLDAPRelativeDn() const { return m_strNewRDN; }
    // The RDN, ",", and the parent DN text; empty when the RDN is.
    std::wstring getNewDN() const;
    // The model added the entry.
    bool isEntryCreated() const { return m_bEntryCreated; }

    // ---- hand-over between the pages ------------------------------------
    void setChosenClasses(const std::vector<std::wstring>& classNames) { m_listChosenClasses = classNames; }
    const std::vector<std::wstring>& getChosenClasses() const { return m_listChosenClasses; }
    void setParentDNText(const std::wstring& text) { m_strParentDNText = text; }
    const std::wstring& getParentDNText() const { return m_strParentDNText; }
    // Page 2 when the wizard ends with Finish.
    void setFinished(const std::wstring& rdn, bool created);

    CWizardCreateEntryClasses* getClassesPage() const { return m_pClassesPage; }
    CWizardCreateEntryEdit* getEditPage() const { return m_pEditPage; }

private:
    void createPages();

    std::wstring m_strParentDN;
    std::wstring m_strParentDNText;
    std::vector<std::wstring> m_listChosenClasses;
    std::wstring m_strNewRDN;
    bool m_bEntryCreated = false;
    CWizardCreateEntryClasses* m_pClassesPage = nullptr;
    CWizardCreateEntryEdit* m_pEditPage = nullptr;
};
