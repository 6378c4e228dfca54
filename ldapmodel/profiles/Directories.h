#pragma once

#include <optional>
#include <string>

namespace ldapmodel {

// The process-wide directories: the base directory (the working directory at
// start-up) and the "connections", "config", "log" and "Help" directories
// under it. Paths use "/" as separator. Used from the user-interface thread.
class Directories {
public:
    // Start-up: derives every directory from the current working directory.
    static void initialize();

    static std::wstring getBaseDirectory();
    static std::wstring getConnectionsDirectory();
    static std::wstring getConfigDirectory();
    static std::wstring getLogDirectory();
    static std::wstring getHelpDirectory();

    // Makes the base directory the working directory; false when it can't.
    static bool changeToBaseDirectory();

    // After the folder chooser closed: a chosen folder becomes the base
    // directory; then the base directory becomes the working directory and
    // also the connections directory (nothing appended), chosen or not.
    static void relocate(const std::optional<std::wstring>& chosenFolder);

    // Before a profile is saved: creates a missing connections directory
    // (mode 0700); a failure shows "Directory missing" and goes on.
    static void ensureConnectionsDirectory();

    // Working directory as a wide string; empty when it can't be obtained.
    static std::wstring currentWorkingDirectory();
    // chdir on a wide path; false on failure.
    static bool changeWorkingDirectory(const std::wstring& directory);
};

} // namespace ldapmodel
