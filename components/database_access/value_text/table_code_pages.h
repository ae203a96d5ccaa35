#pragma once

// The code page of each text column of a table that declares no character
// set. A verdict needs many bytes of a column, more than one cell holds, so
// the table's rows are read once more from its first row, in the snapshot
// the cells come from, into one sample for all such columns; every cell of a
// column is then decoded by the same verdict, but for a value that tells a
// page of another kind on its own. Pure, no Firebird.

#include "text_decoder.h"

#include <QByteArray>
#include <QByteArrayView>
#include <functional>
#include <map>
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
    // The page for a column whose sample, and the whole table's, is too
    // short to tell; asked only then.
    using Fallback = std::function<QByteArray()>;

    TableCodePages(int columns, ReadSample read, Fallback fallback);
    ~TableCodePages();

    // One value of the column, in its column's page, but where the column's
    // values disagree (Japanese and Korean messages after French ones, each
    // language in rows of its own, so that no sample of the first rows
    // sees them): a value long enough to tell a multi-byte page of its own
    // is read in it, and any other first in the multi-byte page the
    // column's values told so far, when that page reads it (text of a
    // single-byte page seldom does). Reads the sample the first time any
    // column asks. False when no page decodes it.
    bool decode(int column, QByteArrayView bytes, QString &text);

private:
    void decide();
    const CodePage &page(const QByteArray &name);

    int m_columns;
    ReadSample m_read;
    Fallback m_fallback;
    // What a column's values long enough to tell told one by one.
    struct Told {
        int values = 0;
        std::map<QByteArray, int> pages;   // multi-byte pages other than the column's
        // Those told often enough to be a language of the column, the most
        // told first.
        QByteArrayList otherLanguages() const;
        // Enough values told no other page for the column to have one
        // language.
        bool settled() const;
    };

    std::vector<QByteArray> m_names;
    std::vector<Told> m_told;
    std::map<QByteArray, std::unique_ptr<CodePage>> m_pages;
};

} // namespace dbaccess
