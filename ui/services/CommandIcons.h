#pragma once

#include <QIcon>
#include <QString>

namespace ui {

// The toolbar image of a command ("OnConnect", ...): the desktop theme's
// icon for it when the theme has one that does not look greyed out, else
// the program's own drawing.
QIcon commandIcon(const QString& handlerName);

// The program's own icon (window and about box).
QIcon applicationIcon();

// Once, after the application object exists: program name and version,
// window icon, the desktop entry's name, and Adwaita as the fallback icon
// theme where the desktop names no theme of its own.
void initApplicationLook();

} // namespace ui
