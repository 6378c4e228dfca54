#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ldapmodel {

// The process-wide directories: the base directory (the working directory at
// start-up) and the "connections", "config", "log" and "Help" directories
// under it. Paths use "/" as separator. Used from the user-interface thread.
class Directories {
public:
    // Start-up: derives every directory from the current working directory.
    static void initialize();
    // Derives every directory from base and makes it the working directory;
    // false when it can't be entered (the directories are derived all the same).
    static bool initializeAt(const std::wstring& base);

    // Which folder start-up makes the base directory.
    enum class BaseRule {
        Automatic,  // the working directory when it has a "connections" folder, else the user's data directory
        Requested,  // the folder the user named
        UserData,   // the user's data directory, whatever the working directory holds
    };
    // The base directory the rule gives; empty when it names nothing usable
    // (no working directory, no home). requested is used by Requested only.
    static std::wstring chooseBaseDirectory(BaseRule rule, const std::wstring& workingDirectory,
                                            const std::wstring& requested);
    // $XDG_DATA_HOME/dirlook, or $HOME/.local/share/dirlook when that variable
    // is unset, empty or relative; empty without a home.
    static std::wstring userDataDirectory();
    // Creates directory and its missing parents, owner only (0700); true when
    // it exists afterwards.
    static bool createPrivateDirectory(const std::wstring& directory);

    // Where an installed copy keeps its help; empty when unknown.
    static void setInstalledHelpDirectory(const std::wstring& directory);
    static std::wstring getInstalledHelpDirectory();
    // The folders to look for help in, in order: the base directory's "Help",
    // then the installed one.
    static std::vector<std::wstring> getHelpDirectories();

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
