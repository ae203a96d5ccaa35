#pragma once

// Pictures we draw ourselves: the application icon, and the hand pointer
// that the build writes into HAND-M.CUR.

#include <QIcon>
#include <QImage>
#include <QPoint>

namespace Main {

// One image of the application icon: 32 x 32 without alpha (24 bits per
// pixel), the larger sizes with alpha.
QImage applicationIconImage(int size);
// The four images 32, 48, 128 and 256.
QIcon applicationIcon();

// The hand pointer: a 32 x 32 picture and its hotspot, the tip of the finger.
QImage handPointerImage();
QPoint handPointerHotspot();

// A .cur file (icon directory of type 2, one 32-bit bitmap with its mask).
QByteArray encodeCursorFile(const QImage &image, QPoint hotspot);

} // namespace Main
