#pragma once

#include <QDialog>

class QPushButton;
class QRadioButton;

// "Delete Attribute": only the selected value, or all values? The caller
// runs the dialog and after OK reads isAllValues().
class CDialogDeleteAttribute : public QDialog {
    Q_OBJECT
public:
    explicit CDialogDeleteAttribute(QWidget* parent = nullptr);
    ~CDialogDeleteAttribute() override;

    // Set when the dialog ends: true exactly when "AllValues" is checked and
    // "SelectedValue" is not.
    bool isAllValues() const { return m_bAllValues; }

    QRadioButton* getSelectedValueButton() const { return m_pSelectedValueButton; }
    QRadioButton* getAllValuesButton() const { return m_pAllValuesButton; }
    QPushButton* getOkButton() const { return m_pOkButton; }
    QPushButton* getCancelButton() const { return m_pCancelButton; }

    void done(int result) override;

private:
    bool m_bAllValues = false;
    QRadioButton* m_pSelectedValueButton = nullptr;
    QRadioButton* m_pAllValuesButton = nullptr;
    QPushButton* m_pOkButton = nullptr;
    QPushButton* m_pCancelButton = nullptr;
};
