#pragma once

// The optional look of the windows: a skin from a file beside the program,
// the button-face colour on plain window parts, and the hand pointer.

#include <QColor>
#include <QCursor>
#include <QString>

class QWidget;

namespace Main {

// The system colour for the face of buttons, following the user's scheme.
QColor buttonFaceColor();

// When the skin file is there (a normal, not hidden, file), recolours the
// window and applies the skin to it; otherwise does nothing.
void ApplySkin(QWidget &window);

// Recolours the window and its option buttons, check boxes, frames and labels.
void ApplyDefaultColors(QWidget &window);

QString skinFilePath();
QString pointerFilePath();

// Loads a .cur file with its hotspot, which Qt's reader ignores. Throws when
// the file is no usable cursor.
QCursor loadCursorFile(const QString &path);

} // namespace Main
