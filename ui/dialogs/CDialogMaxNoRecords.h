#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;
class QPushButton;

// "Timeout Rec Values": the model's size limit (records) and time limit
// (seconds), 0 = no limit. The caller presets both, runs the dialog and
// reads them back after OK.
class CDialogMaxNoRecords : public QDialog {
    Q_OBJECT
public:
    // Values above this become 0.
    static constexpr unsigned int kMaximumValue = 64000;

    explicit CDialogMaxNoRecords(QWidget* parent = nullptr);
    ~CDialogMaxNoRecords() override;

    // Presets: each field shows its value in decimal.
    void setMaxNoRecords(unsigned int records);
    void setMaxNoSeconds(unsigned int seconds);
    // The values read on OK (the presets until then).
    unsigned int getMaxNoRecords() const { return m_uMaxNoRecords; }
    unsigned int getMaxNoSeconds() const { return m_uMaxNoSeconds; }

    // One field's value: 0 for a text of 6 characters or more; otherwise its
    // leading decimal number (blanks and a sign may lead, no digits give 0)
    // taken as unsigned, and 0 when that is above kMaximumValue.
    static unsigned int parseLimit(const QString& text);

    QLineEdit* getRecordsEdit() const { return m_pRecordsEdit; }
    QLineEdit* getSecondsEdit() const { return m_pSecondsEdit; }
    QPushButton* getOkButton() const { return m_pOkButton; }
    QPushButton* getCancelButton() const { return m_pCancelButton; }

    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void focusRecords();

    QLineEdit* m_pRecordsEdit = nullptr;
    QLineEdit* m_pSecondsEdit = nullptr;
    QPushButton* m_pOkButton = nullptr;
    QPushButton* m_pCancelButton = nullptr;
    unsigned int m_uMaxNoRecords = 0;
    unsigned int m_uMaxNoSeconds = 0;
};
