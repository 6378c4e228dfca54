#pragma once

#include "utilities/MessageBox.h"

// Shows the program's message boxes as QMessageBox: caption, text (as plain
// text, never markup), icon, buttons and default button of the request. A
// box asked for on another thread than the user-interface thread is shown
// there later, and the caller gets the box's default button at once (a
// worker never waits for the user). The one exception is the box of a
// fatal-error report, after which the process ends: the worker waits
// (kFatalBoxWait at most) until the user has closed it.
class QtMessageBoxService : public util::MessageBoxService {
public:
    static constexpr int kFatalBoxWaitMilliseconds = 120000;

    util::BoxAnswer show(const util::MessageBoxRequest& request) override;

    // Runs the box on the calling (user-interface) thread.
    static util::BoxAnswer showNow(const util::MessageBoxRequest& request);
};
