#pragma once

// Text from the bytes a CHARSET NONE attachment delivers. Pure, no Firebird.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <memory>

namespace dbaccess {

// Firebird character set numbers that need special handling.
enum FirebirdCharset { charsetNone = 0, charsetOctets = 1, charsetAscii = 2, charsetUnicodeFss = 3, charsetUtf8 = 4 };

// One legacy code page, by its iconv name. Converts a whole value or
// nothing: a byte the code page has no character for fails the value.
class CodePage {
public:
    explicit CodePage(const QByteArray &iconvName);
    ~CodePage();
    CodePage(const CodePage &) = delete;
    CodePage &operator=(const CodePage &) = delete;

    // False when iconv does not know the name.
    bool isKnown() const;
    bool decode(QByteArrayView bytes, QString &text) const;

private:
    void *m_handle;
};

class TableCodePages;

// Decodes one column's values. Every column arrives as its stored bytes, and
// a NONE database happily holds UTF-8 typed by one program next to Windows
// code pages typed by another, so the declared charset alone is not to be
// trusted: UTF-8 when the bytes are valid UTF-8, else the declared charset
// (for a column in none, the code page its table's sample shows), else
// Latin-1. Latin-1 maps every byte to a character, so no byte is ever
// replaced or dropped.
class TextDecoder {
public:
    explicit TextDecoder(int firebirdCharset);
    // A column in no declared set, the index-th of those its table shares a
    // sample for.
    TextDecoder(std::shared_ptr<TableCodePages> table, int index);
    ~TextDecoder();

    QString decode(QByteArrayView bytes) const;

private:
    std::unique_ptr<CodePage> m_declared;
    std::shared_ptr<TableCodePages> m_table;
    int m_index = -1;
};

bool isAscii(QByteArrayView bytes);
bool isUtf8(QByteArrayView bytes);

} // namespace dbaccess
