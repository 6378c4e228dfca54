#pragma once

// The program's own toolbar images, drawn in code: one drawing per command
// on the 24 x 24 grid of GlyphIconEngine, in the Tango colours, so that each
// reads clearly on a light or dark toolbar.

#include <QIcon>
#include <QString>

namespace ui {

// The drawn image of a command ("OnConnect", ...); a null icon for a command
// without one.
QIcon drawnCommandIcon(const QString& handlerName);

// A closed padlock: a connection that is encrypted.
QIcon drawnPadlockIcon();

} // namespace ui
