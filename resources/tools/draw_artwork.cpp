// Writes the pictures the program ships as files: the application icon at its
// four sizes (for the desktop's icon theme) and the hand pointer HAND-M.CUR.
// Usage: draw_artwork <icon folder> <cursor file>

#include "artwork.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: draw_artwork <icon folder> <cursor file>\n");
        return 2;
    }
    const QString iconFolder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(iconFolder);
    for (int size : {32, 48, 128, 256}) {
        const QString name = QStringLiteral("%1/marrowbeck-%2.png").arg(iconFolder, QString::number(size));
        if (!Main::applicationIconImage(size).save(name, "PNG")) {
            std::fprintf(stderr, "could not write %s\n", qPrintable(name));
            return 1;
        }
    }
    QFile cursor(QString::fromLocal8Bit(argv[2]));
    if (!cursor.open(QIODevice::WriteOnly)
        || cursor.write(Main::encodeCursorFile(Main::handPointerImage(), Main::handPointerHotspot())) < 0) {
        std::fprintf(stderr, "could not write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
