#pragma once

#include "handles/gc_ptr.h"
#include "schema/LDAPSchema.h"

#include <QDialog>

#include <string>

class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;

// "Schema": looks through the loaded schema. The object classes (each name
// once, sorted by character code), the attribute types of the selected
// class (its MAY names) or of the whole schema ("Show &All"), and the
// syntax of the selected attribute type. Reads the schema only.
//
// Use: construct with the model's schema and run through the dialog
// service. Without a schema the program ends through the reported-error
// exit ("Can't read schema").
class CDialogSchema : public QDialog {
    Q_OBJECT
public:
    explicit CDialogSchema(const memorylib::gc_ptr<ldapmodel::LDAPSchema>& schema,
                           QWidget* parent = nullptr);
    ~CDialogSchema() override;

    // What selecting (or double-clicking) an object class does: its MAY
    // names replace the attribute types and "Show &All" is cleared. Nothing
    // for an unknown class.
    void selectObjectClass(const std::wstring& name);
    // "Show &All": every attribute type, in schema order; the box checked.
    void showAll();
    // Shows the syntax of the attribute type; nothing when it is the one
    // shown last (letter case ignored).
    void selectAttributeType(const std::wstring& name);

    QListWidget* getObjectClassList() const { return m_pObjectClassList; }
    QListWidget* getAttributeTypeList() const { return m_pAttributeTypeList; }
    QCheckBox* getShowAllBox() const { return m_pShowAllBox; }
    QLineEdit* getOidEdit() const { return m_pOidEdit; }
    QLineEdit* getDescriptionEdit() const { return m_pDescriptionEdit; }
    QLineEdit* getLengthEdit() const { return m_pLengthEdit; }
    QPushButton* getCloseButton() const { return m_pCloseButton; }

private:
    void fillAllAttributeTypes();

    memorylib::gc_ptr<ldapmodel::LDAPSchema> m_pSchema;
    std::wstring m_strShownAttributeType;
    std::int32_t m_iSyntaxLength = 0;

    QListWidget* m_pObjectClassList = nullptr;
    QListWidget* m_pAttributeTypeList = nullptr;
    QCheckBox* m_pShowAllBox = nullptr;
    QLineEdit* m_pOidEdit = nullptr;
    QLineEdit* m_pDescriptionEdit = nullptr;
    QLineEdit* m_pLengthEdit = nullptr;
    QPushButton* m_pCloseButton = nullptr;
};
