#pragma once

// Helpers shared by the fuzz targets: turning the fuzzer's bytes into the
// arguments of the code under test, and failing loudly so libFuzzer keeps the
// input as a crash.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace fuzz {

// UTF-16 code units, little-endian, taken whole: every unit a text box can
// hold, unpaired surrogates and U+0000 included. An odd last byte is dropped.
inline QString utf16(const std::uint8_t *data, std::size_t size)
{
    QString text(qsizetype(size / 2), Qt::Uninitialized);
    for (std::size_t i = 0; i + 1 < size; i += 2)
        text[qsizetype(i / 2)] = QChar(char16_t(data[i] | (data[i + 1] << 8)));
    return text;
}

// U+FFFF, a noncharacter, divides the entries, so each entry may hold any
// other unit; missing entries are empty.
inline QStringList entries(const QString &text, int count)
{
    QStringList parts = text.split(QChar(0xFFFF));
    while (parts.size() < count)
        parts.append(QString());
    return parts;
}

inline bool isValidUtf16(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate()) {
            if (i + 1 >= text.size() || !text[i + 1].isLowSurrogate())
                return false;
            ++i;
        } else if (text[i].isLowSurrogate()) {
            return false;
        }
    }
    return true;
}

inline QByteArray shown(const QString &text)
{
    QByteArray out;
    for (const QChar c : text)
        out += c.unicode() >= 0x20 && c.unicode() < 0x7F ? QByteArray(1, char(c.unicode()))
                                                          : "\\u" + QByteArray::number(c.unicode(), 16);
    return out;
}

[[noreturn]] inline void fail(const char *what, const QString &a = {}, const QString &b = {})
{
    std::fprintf(stderr, "\nPROPERTY FAILED: %s\n  [%s]\n  [%s]\n", what, shown(a).constData(), shown(b).constData());
    std::abort();
}

} // namespace fuzz
