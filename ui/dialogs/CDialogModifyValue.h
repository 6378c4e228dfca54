#pragma once

#include "dialogs/CDialogValueBase.h"

// "Modify value": a replacement for an existing value. The caller sets the
// attribute name, the binary flag, the current value (setAttributeValue)
// and its text (setTextValue), runs the dialog and after OK takes
// getAttributeValue(). In binary mode the current value can be saved to a
// file, and OK without loading a file returns the current value.
class CDialogModifyValue : public CDialogValueBase {
    Q_OBJECT
public:
    explicit CDialogModifyValue(QWidget* parent = nullptr);
    ~CDialogModifyValue() override;

    // Kept as both the text value and the file value.
    void setAttributeValue(const memorylib::gc_ptr<ldapmodel::LDAPAttributeValue>& value);
    // The edit box text.
    void setTextValue(const std::wstring& text);

    // "&Save Value to File": 0 when saved, -1 when cancelled, without a
    // value or when the file could not be written (reported there).
    int OnSaveToFile() { return saveFileValue(); }
};
