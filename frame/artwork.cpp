#include "artwork.h"

#include <QBuffer>
#include <QDataStream>
#include <QPainter>
#include <QPainterPath>

namespace Main {
namespace {

// Drawn on a 256-unit square and scaled, so every size is the same picture:
// a database drum pouring into a green worksheet grid.
void paintIcon(QPainter &p, int size)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 256.0, size / 256.0);

    // Worksheet.
    const QRectF sheet(64, 72, 176, 168);
    p.setPen(QPen(QColor(0x1d, 0x6f, 0x42), 8));
    p.setBrush(Qt::white);
    p.drawRoundedRect(sheet, 14, 14);
    p.setBrush(QColor(0x21, 0xa3, 0x66));
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(68, 76, 168, 34));
    p.setPen(QPen(QColor(0x9c, 0xc8, 0xb0), 6));
    for (int x = 120; x < 240; x += 52)
        p.drawLine(QPointF(x, 110), QPointF(x, 236));
    for (int y = 152; y < 236; y += 42)
        p.drawLine(QPointF(68, y), QPointF(236, y));

    // Database drum.
    const QColor drum(0xc2, 0x41, 0x1c), rim(0xf0, 0x8a, 0x4b);
    p.setPen(QPen(QColor(0x6e, 0x1f, 0x08), 6));
    p.setBrush(drum);
    QPainterPath body;
    body.moveTo(16, 44);
    body.lineTo(16, 132);
    body.arcTo(QRectF(16, 112, 112, 40), 180, 180);
    body.lineTo(128, 44);
    body.closeSubpath();
    p.drawPath(body);
    p.setBrush(rim);
    p.drawEllipse(QRectF(16, 24, 112, 40));
    p.setPen(QPen(QColor(0x6e, 0x1f, 0x08), 4));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(16, 60, 112, 40), 180 * 16, 180 * 16);
    p.drawArc(QRectF(16, 88, 112, 40), 180 * 16, 180 * 16);
}

} // namespace

QImage applicationIconImage(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(size == 32 ? Qt::white : Qt::transparent);
    QPainter painter(&image);
    paintIcon(painter, size);
    painter.end();
    if (size == 32)
        return image.convertToFormat(QImage::Format_RGB888);
    return image.convertToFormat(QImage::Format_ARGB32);
}

QIcon applicationIcon()
{
    QIcon icon;
    for (int size : {32, 48, 128, 256})
        icon.addPixmap(QPixmap::fromImage(applicationIconImage(size)));
    return icon;
}

QImage handPointerImage()
{
    QImage image(32, 32, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath hand;
    // Pointing finger, three folded fingers, thumb and wrist.
    hand.moveTo(11, 1.5);
    hand.cubicTo(13, 1.5, 14, 2.5, 14, 4.5);
    hand.lineTo(14, 12);
    hand.cubicTo(15, 11, 17.5, 11, 18, 13);
    hand.cubicTo(19, 12, 21.5, 12, 22, 14);
    hand.cubicTo(23, 13, 25.5, 13, 26, 15.5);
    hand.lineTo(26, 22);
    hand.cubicTo(26, 25, 24.5, 27, 23, 28.5);
    hand.lineTo(23, 30.5);
    hand.lineTo(12, 30.5);
    hand.lineTo(12, 28.5);
    hand.cubicTo(10, 27, 7, 23, 4.5, 19);
    hand.cubicTo(3.5, 17, 5, 15.5, 7, 16.5);
    hand.lineTo(8, 18);
    hand.lineTo(8, 4.5);
    hand.cubicTo(8, 2.5, 9, 1.5, 11, 1.5);
    hand.closeSubpath();
    p.setPen(QPen(Qt::black, 1.2));
    p.setBrush(Qt::white);
    p.drawPath(hand);
    p.setPen(QPen(Qt::black, 1));
    for (double x : {14.0, 18.0, 22.0})
        p.drawLine(QPointF(x, 13), QPointF(x, 18));
    p.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

QPoint handPointerHotspot() { return QPoint(11, 2); }

QByteArray encodeCursorFile(const QImage &source, QPoint hotspot)
{
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    const int w = image.width(), h = image.height();
    const int maskStride = ((w + 31) / 32) * 4;
    const quint32 imageBytes = 40 + quint32(w * h * 4) + quint32(maskStride * h);

    QByteArray file;
    QDataStream out(&file, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint16(0) << quint16(2) << quint16(1);
    out << quint8(w) << quint8(h) << quint8(0) << quint8(0);
    out << quint16(hotspot.x()) << quint16(hotspot.y()) << imageBytes << quint32(22);
    // Bitmap header: height counts the colour rows and the mask rows.
    out << quint32(40) << qint32(w) << qint32(2 * h) << quint16(1) << quint16(32) << quint32(0)
        << quint32(w * h * 4 + maskStride * h) << qint32(0) << qint32(0) << quint32(0) << quint32(0);
    for (int y = h - 1; y >= 0; --y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < w; ++x)
            out << quint8(qBlue(line[x])) << quint8(qGreen(line[x])) << quint8(qRed(line[x])) << quint8(qAlpha(line[x]));
    }
    for (int y = h - 1; y >= 0; --y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        QByteArray row(maskStride, '\0');
        for (int x = 0; x < w; ++x) {
            if (qAlpha(line[x]) == 0)
                row[x / 8] = char(quint8(row[x / 8]) | (0x80 >> (x % 8)));
        }
        out.writeRawData(row.constData(), row.size());
    }
    return file;
}

} // namespace Main
