#pragma once

#include <QWizardPage>

#include <string>
#include <unordered_map>
#include <vector>

class CWizardCreateEntry;
class QLineEdit;
class QListWidget;
class QPushButton;

// Page 1 of the create-entry wizard: the parent DN and two lists, the
// schema's object classes not yet chosen and the chosen ones.
class CWizardCreateEntryClasses : public QWizardPage {
    Q_OBJECT

public:
    explicit CWizardCreateEntryClasses(CWizardCreateEntry* wizard);
    ~CWizardCreateEntryClasses() override;

    // Entering the page: both lists from the schema and the wizard's chosen
    // classes, the parent DN text from the wizard.
    void initializePage() override;
    // Next: refuses an empty choice; hands the chosen names and the parent
    // DN text to the wizard.
    bool validatePage() override;

    // "&Add Class >>" and "<< &Remove Class". 0, or -1 when nothing was
    // selected (after the warning).
    int OnAddClass();
    int OnRemoveClass();

    // Class names in list order.
    const std::vector<std::wstring>& getSchemaClasses() const { return m_listSchemaClasses; }
    const std::vector<std::wstring>& getChosenClasses() const { return m_listChosenClasses; }

    QLineEdit* getParentDNEdit() const { return m_pParentDN; }
    QListWidget* getSchemaClassList() const { return m_pSchemaList; }
    QListWidget* getChosenClassList() const { return m_pChosenList; }
    QPushButton* getAddButton() const { return m_pAddButton; }
    QPushButton* getRemoveButton() const { return m_pRemoveButton; }

private:
    void redrawLists();
    // Puts name back into the schema list at its place in schema order.
    void returnToSchemaList(const std::wstring& name);
    static void fillList(QListWidget& list, const std::vector<std::wstring>& names);

    CWizardCreateEntry* m_pWizard;
    QLineEdit* m_pParentDN = nullptr;
    QListWidget* m_pSchemaList = nullptr;
    QListWidget* m_pChosenList = nullptr;
    QPushButton* m_pAddButton = nullptr;
    QPushButton* m_pRemoveButton = nullptr;

    std::vector<std::wstring> m_listSchemaClasses;
    std::vector<std::wstring> m_listChosenClasses;
    // Position of each class name in the schema.
    std::unordered_map<std::wstring, std::size_t> m_schemaOrder;
    // The names selected last in either list; cleared when the lists are redrawn.
    std::wstring m_strSelectedSchemaClass;
    std::wstring m_strSelectedChosenClass;
    bool m_bRedrawing = false;
};
