#pragma once

// The code page of each text column of a table that declares no character
// set. A verdict needs many bytes of a column, more than one cell holds, so
// the table's rows are read once more from its first row, in the snapshot
// the cells come from, into one sample for all such columns; every cell of a
// column is then decoded by the same verdict. Pure, no Firebird.

#include "text_decoder.h"

#include <QByteArray>
#include <QByteArrayView>
#include <functional>
#include <memory>
#include <vector>

namespace dbaccess {

class CodePageSample {
public:
    explicit CodePageSample(int columns);

    int columns() const { return int(m_bytes.size()); }
    // True while the column's sample has room for more.
    bool wants(int column) const;
    // True when no column wants more: reading may stop.
    bool complete() const { return m_wanting == 0; }
    // One value's bytes; ASCII and valid UTF-8 need no code page and are
    // left out.
    void add(int column, QByteArrayView bytes);
    const QByteArray &bytes(int column) const { return m_bytes[std::size_t(column)]; }

private:
    std::vector<QByteArray> m_bytes;
    int m_wanting;
};

class TableCodePages {
public:
    // Reads the table's rows from the first into the sample until it is
    // complete or the rows end.
    using ReadSample = std::function<void(CodePageSample &)>;

    // fallback: the page for a column whose sample, and the whole table's,
    // is too short to tell.
    TableCodePages(int columns, ReadSample read, QByteArray fallback);

    // Reads the sample the first time any column asks.
    const CodePage &codePage(int column);

private:
    void decide();

    int m_columns;
    ReadSample m_read;
    QByteArray m_fallback;
    std::vector<std::unique_ptr<CodePage>> m_pages;
};

} // namespace dbaccess
