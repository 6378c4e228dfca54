#pragma once

#include "handles/gc_ptr.h"
#include "records/LDAPAttribute.h"

#include <QWizardPage>

#include <string>
#include <vector>

namespace ldapmodel {
class LDAPEntry;
}

class CGridControl;
class CWizardCreateEntry;
class QAction;
class QLineEdit;
class QMenu;
class QPoint;

// Page 2 of the create-entry wizard: the parent DN, the RDN and the
// attributes that the chosen classes name, one row per value. Finish adds
// the entry through the model.
class CWizardCreateEntryEdit : public QWizardPage {
    Q_OBJECT

public:
    explicit CWizardCreateEntryEdit(CWizardCreateEntry* wizard);
    ~CWizardCreateEntryEdit() override;

    // Entering the page: the attribute records from the chosen classes.
    void initializePage() override;
    // Back keeps what was typed.
    void cleanupPage() override;
    // Finish: checks the RDN and adds the entry; a created entry's record
    // is shown afterwards.
    bool validatePage() override;

    // Context menu "&Edit Value" on the selected row. 0 when the value was
    // replaced, -1 otherwise.
    int OnEditValue();

    // Built on entering the page from the chosen classes, in class order;
    // each holds what the classes themselves name (superiors not followed).
    const std::vector<std::wstring>& getMustList() const { return m_listMust; }
    const std::vector<std::wstring>& getMayList() const { return m_listMay; }
    // One record per attribute name: MUST names first, then MAY names, each
    // name once (letter case ignored), objectclass left to its own record.
    const std::vector<memorylib::gc_ptr<ldapmodel::LDAPAttribute>>& getAttributes() const
    {
        return m_listAttributes;
    }
    // Its values are the chosen class names.
    const memorylib::gc_ptr<ldapmodel::LDAPAttribute>& getObjectClassAttribute() const
    {
        return m_pObjectClass;
    }
    // The record shown in a row of the list, or an empty handle.
    memorylib::gc_ptr<ldapmodel::LDAPAttribute> getRowAttribute(int row) const;

    QLineEdit* getParentDNEdit() const { return m_pParentDN; }
    QLineEdit* getRdnEdit() const { return m_pRdn; }
    CGridControl* getAttributeList() const { return m_pList; }
    QMenu* getContextMenu() const { return m_pMenu; }
    QAction* getEditValueAction() const { return m_pEditValueAction; }

    // The text shown for values of binary attributes.
    static const QString& binaryNotice();

private:
    void buildAttributes();
    void fillList();
    void addRows(const memorylib::gc_ptr<ldapmodel::LDAPAttribute>& attribute, int record);
    bool isBinaryAttribute(const std::wstring& name) const;
    int finish();
    // The new entry's LDIF record, in the information dialog.
    void showRecord(const ldapmodel::LDAPEntry& entry);
    void showContextMenu(const QPoint& position);

    CWizardCreateEntry* m_pWizard;
    QLineEdit* m_pParentDN = nullptr;
    QLineEdit* m_pRdn = nullptr;
    CGridControl* m_pList = nullptr;
    QMenu* m_pMenu = nullptr;
    QAction* m_pEditValueAction = nullptr;

    std::vector<std::wstring> m_listMust;
    std::vector<std::wstring> m_listMay;
    std::vector<memorylib::gc_ptr<ldapmodel::LDAPAttribute>> m_listAttributes;
    memorylib::gc_ptr<ldapmodel::LDAPAttribute> m_pObjectClass;
    // Per row: the index into m_listAttributes, or -1 for objectclass.
    std::vector<int> m_rowRecords;
};
