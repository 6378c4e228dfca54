#pragma once

#include "model/Preferences.h"

#include <QDialog>

#include <vector>

class QCheckBox;
class QPushButton;
class QSpinBox;

// "Preferences": one row per preference of ui::PreferenceStore::fields(),
// a label and a number within the field's range, then one check box per
// preference of switches(). The caller presets the
// values, runs the dialog and reads them back after OK.
class CDialogPreferences : public QDialog {
    Q_OBJECT
public:
    explicit CDialogPreferences(QWidget* parent = nullptr);
    ~CDialogPreferences() override;

    void setPreferences(const ldapmodel::Preferences& preferences);
    // The values shown (the presets until the user changes them).
    ldapmodel::Preferences getPreferences() const;

    // The spin box of each field, in the table's order.
    const std::vector<QSpinBox*>& getFields() const { return m_fields; }
    // The check box of each switch, in the table's order.
    const std::vector<QCheckBox*>& getSwitches() const { return m_switches; }
    QPushButton* getOkButton() const { return m_pOkButton; }
    QPushButton* getCancelButton() const { return m_pCancelButton; }

private:
    std::vector<QSpinBox*> m_fields;
    std::vector<QCheckBox*> m_switches;
    QPushButton* m_pOkButton = nullptr;
    QPushButton* m_pCancelButton = nullptr;
};
