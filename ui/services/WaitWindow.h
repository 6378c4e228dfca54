#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The small window of a long wait for the server: what the program waits
// for ("Connecting to HOST:PORT...") and Cancel. Cancel, Escape and closing
// the window all mark the wait cancelled; the waiting code closes it.
class WaitWindow : public QDialog {
    Q_OBJECT
public:
    explicit WaitWindow(QWidget* parent = nullptr);
    ~WaitWindow() override;

    void setText(const QString& text);
    bool isCancelled() const { return m_bCancelled; }

    QLabel* getLabel() const { return m_pLabel; }
    QPushButton* getCancelButton() const { return m_pCancelButton; }

    // Marks the wait cancelled instead of closing the window.
    void reject() override;

private:
    QLabel* m_pLabel = nullptr;
    QPushButton* m_pCancelButton = nullptr;
    bool m_bCancelled = false;
};
