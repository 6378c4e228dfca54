#pragma once

// Where each kind of file dialog starts: the folder of the file last chosen
// in a dialog of that kind, kept in the settings file ("FileDialogs" group);
// the home folder until then, and again when that folder is gone.

#include <QString>

namespace ui {

// Kinds are FileDialogRequest's; an empty kind stands for "other".
class FileDialogFolders {
public:
    static QString startFolder(const QString& kind);
    // Remembers the folder of chosenPath (a file, or a folder from a folder
    // chooser) for kind.
    static void remember(const QString& kind, const QString& chosenPath);
};

} // namespace ui
