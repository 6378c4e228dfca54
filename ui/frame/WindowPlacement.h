#pragma once

// The main window's size, position and splitter positions, kept between
// runs in the settings file ("MainWindow" group). Nothing is restored before
// the window has once been closed, so a first start looks as designed.

#include <initializer_list>

class QSplitter;
class QWidget;

class WindowPlacement {
public:
    // Size and position (and the maximized or full-screen state); false
    // when none were kept or they can't be used.
    static bool restoreGeometry(QWidget& window);
    // Each splitter's handle positions, kept under its object name; false
    // unless every splitter had them.
    static bool restoreSplitters(std::initializer_list<QSplitter*> splitters);
    static void save(const QWidget& window, std::initializer_list<const QSplitter*> splitters);
};
