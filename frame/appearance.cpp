#include "appearance.h"

#include "component_error.h"
#include "platform.h"
#include "skin_framework.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPixmap>
#include <QRadioButton>
#include <QWidget>

namespace Main {
namespace {

void paintBackground(QWidget &widget, const QColor &color)
{
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Window, color);
    widget.setPalette(palette);
    widget.setAutoFillBackground(true);
}

bool isRecolouredKind(const QWidget *widget)
{
    return qobject_cast<const QRadioButton *>(widget) || qobject_cast<const QCheckBox *>(widget)
        || qobject_cast<const QGroupBox *>(widget) || qobject_cast<const QLabel *>(widget);
}

void recolour(QWidget &window)
{
    const QColor face = buttonFaceColor();
    paintBackground(window, face);
    for (QWidget *control : window.findChildren<QWidget *>()) {
        if (isRecolouredKind(control))
            paintBackground(*control, face);
    }
}

// The directory listing reports normal files only: no hidden ones, no folders.
bool skinFileListed(const QString &path)
{
    const QFileInfo info(path);
    const QDir folder = info.absoluteDir();
    return folder.entryList({info.fileName()}, QDir::Files | QDir::NoDotAndDotDot).contains(info.fileName());
}

quint16 littleEndian16(const QByteArray &bytes, int offset)
{
    return quint16(quint8(bytes[offset])) | quint16(quint8(bytes[offset + 1])) << 8;
}

} // namespace

QColor buttonFaceColor() { return QApplication::palette().color(QPalette::Active, QPalette::Button); }

QString skinFilePath() { return frame::programFolder() + QStringLiteral("/x/o.cjs"); }

QString pointerFilePath() { return frame::programFolder() + QStringLiteral("/HAND-M.CUR"); }

void ApplySkin(QWidget &window)
{
    if (!skinFileListed(skinFilePath()))
        return;
    recolour(window);
    frame::SkinFramework skin;
    skin.LoadSkin(skinFilePath(), QString());
    skin.setApplyOptions(skin.ApplyOptions() | 1);
    skin.setSkinFrames(true);
    skin.setSkinControls(true);
    skin.ApplyWindow(&window);
}

void ApplyDefaultColors(QWidget &window) { recolour(window); }

QCursor loadCursorFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw components::ComponentError(QStringLiteral("The pointer file %1 could not be read: %2").arg(path, file.errorString()));
    const QByteArray bytes = file.readAll();
    // A cursor file is an icon directory of type 2 whose first entry holds
    // the hotspot where an icon keeps planes and bit count.
    if (bytes.size() < 22 || littleEndian16(bytes, 0) != 0 || littleEndian16(bytes, 2) != 2 || littleEndian16(bytes, 4) < 1)
        throw components::ComponentError(QStringLiteral("The pointer file %1 is not a cursor file.").arg(path));
    QPixmap picture;
    if (!picture.loadFromData(bytes, "CUR") && !picture.loadFromData(bytes, "ICO"))
        throw components::ComponentError(QStringLiteral("The pointer file %1 holds no picture that can be shown.").arg(path));
    return QCursor(picture, littleEndian16(bytes, 10), littleEndian16(bytes, 12));
}

} // namespace Main
