#pragma once

#include "handles/gc_ptr.h"
#include "records/LDAPAttributeValue.h"

#include <QDialog>

#include <string>

class CValuePreview;
class QLabel;
class QLineEdit;
class QPushButton;

// What the add-value and modify-value dialogs share: one attribute value,
// typed as text or, for a binary attribute, loaded from a file.
//
// Use: set the attribute name and the binary flag (the modify dialog also
// takes the current value and its text), run the dialog through the dialog
// service, and after OK take getAttributeValue().
class CDialogValueBase : public QDialog {
    Q_OBJECT
public:
    ~CDialogValueBase() override;

    void setAttributeName(const std::wstring& name);
    const std::wstring& getAttributeName() const { return m_strAttributeName; }
    // Binary: the edit box gives way to the file buttons. Text: the edit box
    // is shown and takes the keyboard focus.
    void setBinary(bool binary);
    bool isBinary() const { return m_bBinary; }

    // After OK: in binary mode the file value, in text mode the value made
    // from the text. May be empty.
    memorylib::gc_ptr<ldapmodel::LDAPAttributeValue> getAttributeValue() const;
    // The edit box text as read by OK.
    const std::wstring& getText() const { return m_strText; }
    bool isFileLoaded() const { return m_bFileLoaded; }
    bool isTextRead() const { return m_bTextRead; }

    // "&Binary or text load from file": 0 when a file was loaded, -1 when
    // the user cancelled or the file could not be read (reported there).
    int OnLoadFromFile();

    // OK. Text mode: an empty text ends as Cancel, otherwise the value is
    // made from it. Binary mode: a value loaded from a file is returned
    // whatever its text form; without a load an empty text ends as Cancel.
    void accept() override;

    QLabel* getNameLabel() const { return m_pNameLabel; }
    QLineEdit* getValueEdit() const { return m_pValueEdit; }
    QPushButton* getLoadButton() const { return m_pLoadButton; }
    // Null in the add dialog.
    QPushButton* getSaveButton() const { return m_pSaveButton; }
    QPushButton* getOkButton() const { return m_pOkButton; }
    QPushButton* getCancelButton() const { return m_pCancelButton; }
    // Binary mode: what the value to be returned looks like.
    CValuePreview* getPreview() const { return m_pPreview; }

protected:
    void showEvent(QShowEvent* event) override;

    CDialogValueBase(const QString& title, bool withSaveButton, const wchar_t* guardName,
                     QWidget* parent);

    void setEditText(const std::wstring& text);
    // "&Save Value to File": 0 when saved, -1 otherwise.
    int saveFileValue();
    // Shows the file value in the preview pane.
    void updatePreview();

    memorylib::gc_ptr<ldapmodel::LDAPAttributeValue> m_pTextValue;
    memorylib::gc_ptr<ldapmodel::LDAPAttributeValue> m_pFileValue;

private:
    // Text mode: the edit box takes the focus, unselected, caret at the end.
    void focusEdit();

    const wchar_t* m_pGuardName;
    std::wstring m_strAttributeName;
    std::wstring m_strText;
    bool m_bBinary = false;
    bool m_bFileLoaded = false;
    bool m_bTextRead = false;

    QLabel* m_pNameLabel = nullptr;
    QLineEdit* m_pValueEdit = nullptr;
    QPushButton* m_pLoadButton = nullptr;
    QPushButton* m_pSaveButton = nullptr;
    QPushButton* m_pOkButton = nullptr;
    QPushButton* m_pCancelButton = nullptr;
    CValuePreview* m_pPreview = nullptr;
};
