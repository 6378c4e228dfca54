#pragma once

#include "services/ObserverBridge.h"

#include "handles/gc_ptr.h"
#include "model/Model.h"

#include <QDialog>

#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;

// The progress window of the model's background operations: a label
// "Progress: N", a bar from 0 to the model's record limit and "&Stop Action".
// It stands in the model's progress observer slot while the operation runs
// and is shown modally through the dialog service. "&Stop Action" and Esc
// ask the operation to stop; the window stays until the operation has
// ended, so nothing goes on behind a window that looks closed.
class CProgressBar : public QDialog, public ui::ObserverTarget {
    Q_OBJECT
public:
    // The result when the operation ended after "&Stop Action" or Esc;
    // otherwise finished() ends the window with QDialog::Accepted.
    static constexpr int StopResult = 2;

    // sizeLimit: the model's maximum number of records; 0 gives a bar with
    // an empty range that never moves.
    explicit CProgressBar(unsigned int sizeLimit, QWidget* parent = nullptr);
    ~CProgressBar() override;

    // The observer to install in the model's progress slot.
    memorylib::gc_ptr<ldapmodel::ModelObserver> getObserver() const { return m_pObserver; }

    // Runs one background operation: installs the window in the model's
    // progress slot, calls start (which asks the model to begin), shows the
    // window modally until the operation finishes or the user stops it.
    // Stopped: sets the model's stop flag and, when abandon is set, asks the
    // model to abandon the search (stopBackground). Otherwise clears the
    // stop flag. Returns the window's result (Accepted or StopResult).
    static int runModal(QWidget* parent, ldapmodel::Model& model,
                        const std::function<int()>& start, bool abandon);

    bool isStopped() const { return m_bStopped; }
    bool isClosed() const { return m_bClosed; }
    int getCount() const { return m_iCount; }
    QLabel* getLabel() const { return m_pLabel; }
    QProgressBar* getBar() const { return m_pBar; }
    QPushButton* getStopButton() const { return m_pStopButton; }

    // Returns at once when the window already ended before it was shown.
    int exec() override;
    void done(int result) override;
    // Esc and closing the window: the same as "&Stop Action".
    void reject() override;

    // ObserverTarget: calls after the window closed are ignored.
    void onStep(int count) override;
    void onFinished() override;

private:
    void onStopAction();

    QLabel* m_pLabel = nullptr;
    QProgressBar* m_pBar = nullptr;
    QPushButton* m_pStopButton = nullptr;
    memorylib::gc_ptr<ui::ObserverBridge> m_pObserver;
    ldapmodel::Model* m_pModel = nullptr;
    bool m_bStopped = false;
    bool m_bClosed = false;
    int m_iCount = 0;
};
