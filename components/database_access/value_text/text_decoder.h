#pragma once

// Text from the bytes a CHARSET NONE attachment delivers. Pure, no Firebird.

#include <QByteArrayView>
#include <QString>
#include <memory>

namespace dbaccess {

// Firebird character set numbers that need special handling.
enum FirebirdCharset { charsetNone = 0, charsetOctets = 1, charsetAscii = 2, charsetUnicodeFss = 3, charsetUtf8 = 4 };

// Decodes one column's values. Every column arrives as its stored bytes, and
// a NONE database happily holds UTF-8 typed by one program next to Windows
// code pages typed by another, so the declared charset alone is not to be
// trusted: UTF-8 when the bytes are valid UTF-8, else the declared charset,
// else Latin-1. Latin-1 maps every byte to a character, so no byte is ever
// replaced or dropped.
class TextDecoder {
public:
    explicit TextDecoder(int firebirdCharset);
    ~TextDecoder();
    TextDecoder(TextDecoder &&) noexcept;
    TextDecoder &operator=(TextDecoder &&) noexcept;

    QString decode(QByteArrayView bytes) const;

private:
    struct Iconv;
    std::unique_ptr<Iconv> m_declared;
};

// The iconv name of a Firebird character set; empty when none fits or the
// set needs no conversion of its own (NONE, OCTETS, ASCII, UTF-8).
const char *iconvName(int firebirdCharset);

} // namespace dbaccess
