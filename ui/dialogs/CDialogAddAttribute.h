#pragma once

#include "handles/gc_ptr.h"
#include "model/Model.h"
#include "records/LDAPAttributeValue.h"

#include <QDialog>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

// "Add attribute": a new attribute with its first value for the model's
// active entry. The left list holds the entry's object classes, the right
// one the attribute types the selected class allows (its MAY names); the
// syntax of the selected type decides between a typed value (with an
// optional language tag) and a binary value loaded from a file. OK adds the
// value on the server itself.
//
// Use: construct with the model, run through the dialog service; OK means
// the add was sent (the caller then re-reads the entry).
class CDialogAddAttribute : public QDialog {
    Q_OBJECT
public:
    explicit CDialogAddAttribute(const memorylib::gc_ptr<ldapmodel::Model>& model,
                                 QWidget* parent = nullptr);
    ~CDialogAddAttribute() override;

    // What selecting a line of either list does (ignored when the name is
    // the current one, letter case ignored).
    void selectObjectClass(const std::wstring& name);
    void selectAttributeType(const std::wstring& name);
    // "Load Binary value": 0 when a file was loaded, -1 otherwise.
    int OnLoadBinaryValue();
    // OK: adds the value, if any, and ends the dialog (Accepted only when an
    // add was sent).
    void accept() override;

    const std::wstring& getObjectClassName() const { return m_strObjectClassName; }
    // After OK: with ";" and the language tag when one was given.
    const std::wstring& getAttributeTypeName() const { return m_strAttributeTypeName; }
    const std::wstring& getAttributeTextValue() const { return m_strAttributeTextValue; }
    const std::set<std::wstring>& getObjectClassNames() const { return m_setObjectClassNames; }
    const std::vector<std::wstring>& getAttributeTypeNames() const { return m_listAttributeTypeNames; }
    std::int32_t getSyntaxLength() const { return m_iSyntaxLength; }
    bool isBinaryLoaded() const { return m_bBinaryLoaded; }
    // The add sent by OK: its result code (-1 before).
    int getAddResult() const { return m_iAddResult; }

    QListWidget* getObjectClassList() const { return m_pObjectClassList; }
    QListWidget* getAttributeTypeList() const { return m_pAttributeTypeList; }
    QLineEdit* getOidEdit() const { return m_pOidEdit; }
    QLineEdit* getDescriptionEdit() const { return m_pDescriptionEdit; }
    QLineEdit* getLengthEdit() const { return m_pLengthEdit; }
    QLineEdit* getValueEdit() const { return m_pValueEdit; }
    QLineEdit* getLanguageEdit() const { return m_pLanguageEdit; }
    QPushButton* getLoadButton() const { return m_pLoadButton; }
    QPushButton* getOkButton() const { return m_pOkButton; }
    QPushButton* getCancelButton() const { return m_pCancelButton; }

private:
    void fillObjectClasses();
    void setBinaryMode(bool binary);

    memorylib::gc_ptr<ldapmodel::Model> m_pModel;
    std::wstring m_strObjectClassName;
    std::wstring m_strAttributeTypeName;
    std::wstring m_strAttributeTextValue;
    std::set<std::wstring> m_setObjectClassNames;
    std::vector<std::wstring> m_listAttributeTypeNames;
    std::wstring m_strSyntaxOid;
    std::wstring m_strSyntaxDescription;
    std::int32_t m_iSyntaxLength = 0;
    memorylib::gc_ptr<ldapmodel::LDAPAttributeValue> m_pValue;
    bool m_bBinaryLoaded = false;
    int m_iAddResult = -1;

    QListWidget* m_pObjectClassList = nullptr;
    QListWidget* m_pAttributeTypeList = nullptr;
    QLineEdit* m_pOidEdit = nullptr;
    QLineEdit* m_pDescriptionEdit = nullptr;
    QLineEdit* m_pLengthEdit = nullptr;
    QLabel* m_pValueCaption = nullptr;
    QLineEdit* m_pValueEdit = nullptr;
    QPushButton* m_pLoadButton = nullptr;
    QLabel* m_pLanguageCaption = nullptr;
    QLineEdit* m_pLanguageEdit = nullptr;
    QLabel* m_pLanguageHint = nullptr;
    QPushButton* m_pOkButton = nullptr;
    QPushButton* m_pCancelButton = nullptr;
};
