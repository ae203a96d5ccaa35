#pragma once

// Readable Qt values in GoogleTest's failure messages. Every test program is
// built with this header (see marrowbeck_test); QStringList and other
// containers print element by element through these.

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <ostream>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &text, std::ostream *out) { *out << '"' << text.toStdString() << '"'; }
inline void PrintTo(const QByteArray &bytes, std::ostream *out) { *out << "bytes " << bytes.toHex(' ').toStdString(); }
inline void PrintTo(const QVariant &value, std::ostream *out)
{
    *out << value.typeName() << ' ';
    PrintTo(value.toString(), out);
}
QT_END_NAMESPACE
