#pragma once

// Readable Qt values in GoogleTest's failure messages: every test program is
// compiled with this header (see marrowbeck_test), so a failed check shows
// texts, not bytes. QStringList and other containers print element by
// element through these.

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <ostream>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(QStringView text, std::ostream *out)
{
    PrintTo(text.toString(), out);
}

inline void PrintTo(const QByteArray &bytes, std::ostream *out)
{
    *out << "bytes " << bytes.toHex(' ').toStdString();
}

inline void PrintTo(const QVariant &value, std::ostream *out)
{
    *out << value.typeName() << ' ';
    PrintTo(value.toString(), out);
}
QT_END_NAMESPACE
