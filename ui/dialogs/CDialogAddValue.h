#pragma once

#include "dialogs/CDialogValueBase.h"

// "Add value": a new value for an attribute. The caller sets the attribute
// name and the binary flag, runs the dialog and after OK takes
// getAttributeValue().
class CDialogAddValue : public CDialogValueBase {
    Q_OBJECT
public:
    explicit CDialogAddValue(QWidget* parent = nullptr);
    ~CDialogAddValue() override;
};
