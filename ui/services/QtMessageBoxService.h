#pragma once

#include "utilities/MessageBox.h"

// Shows the program's message boxes as QMessageBox: caption, text (as plain
// text, never markup), icon, buttons and default button of the request. A
// box asked for on another thread than the user-interface thread is shown
// there later, and the caller gets the box's default button at once (a
// worker never waits for the user).
class QtMessageBoxService : public util::MessageBoxService {
public:
    util::BoxAnswer show(const util::MessageBoxRequest& request) override;

    // Runs the box on the calling (user-interface) thread.
    static util::BoxAnswer showNow(const util::MessageBoxRequest& request);
};
