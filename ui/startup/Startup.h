#pragma once

// The steps from a read command line to a running main window.

#include <QString>

class CMainFrame;

namespace ui {

class CommandLine;

class Startup {
public:
    // The base-directory rule: the folder --base-directory names, else the
    // working directory when it has a "connections" folder, else (and with
    // --user-data) the user's data directory, created owner-only when
    // missing. Derives the program's directories from it, enters it and
    // records where an installed copy keeps its help. False, with a message
    // for the error stream in error, when a named folder can't be used.
    static bool setUpDirectories(const CommandLine& commandLine, QString& error);

    // Shows the frame and, when the command line names a profile, connects
    // with it as soon as the window is up.
    static void showMainWindow(CMainFrame& frame, const CommandLine& commandLine);

    // The help folder of an installed copy, beside the program's binary
    // folder as the installation lays it out.
    static QString installedHelpDirectory();
};

} // namespace ui
