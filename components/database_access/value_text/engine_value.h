#pragma once

// One value as Firebird's engine holds it in memory, as cell text. The
// client library's message buffers and the on-disk reader's records use the
// same layout, so both paths turn values into text here and nowhere else.
// Pure, no Firebird headers.

#include "database_access.h"
#include "ods/data_type.h"
#include "table_code_pages.h"
#include "text_decoder.h"
#include "value_cell.h"
#include "value_text.h"

#include <QByteArray>
#include <QByteArrayView>
#include <functional>
#include <memory>
#include <vector>

namespace dbaccess {

struct EngineColumn {
    int dtype = 0;
    int scale = 0;
    int subType = 0;   // BLOB: 1 text
    int charset = 0;
    unsigned length = 0; // bytes of the value in memory
    // CHAR in a multi-byte charset is padded to its byte length; the value
    // keeps the declared number of characters, as the column defines.
    unsigned characters = 0;
    // CHAR or VARCHAR in CHARACTER SET OCTETS: bytes, not characters.
    bool binaryText = false;
    std::shared_ptr<TextDecoder> decoder;
};

EngineColumn engineColumn(int dtype, int scale, int subType, int charset, unsigned length);

// The ADO type code the Firebird ODBC driver reports for such a column.
int adoTypeOf(const EngineColumn &column);

// CHAR, VARCHAR and text BLOB bytes as text.
QString characterText(const EngineColumn &column, QByteArrayView bytes);
// A BLOB's whole content: text for sub-type 1, else hexadecimal digits.
QString blobText(const EngineColumn &column, const QByteArray &content);

// The content of a BLOB by the 8-byte id a record holds for it.
using BlobContent = std::function<QByteArray(QByteArrayView blobId)>;

// A CHAR, VARCHAR or text BLOB value's stored bytes, as a code page sample
// takes them.
QByteArray textBytes(const EngineColumn &column, const unsigned char *at, const BlobContent &blobContent);

// Reads the table's rows from the first, in the snapshot its cells come
// from, giving the sample's column i the values of columns[i] (indexes into
// the table's columns), until the sample is complete or the rows end.
using ReadColumnSample = std::function<void(const std::vector<int> &columns, CodePageSample &sample)>;

// Text (CHAR, VARCHAR or a text BLOB) in no declared character set.
bool holdsUndeclaredText(const EngineColumn &column);

// Gives every text column in no declared set a decoder that shares one code
// page sample for the whole table; read runs once, when a value first needs
// a code page. fallback: for columns too short to tell.
void shareCodePages(const std::vector<EngineColumn *> &columns, ReadColumnSample read,
                    TableCodePages::Fallback fallback);

// The text of a value that is not null; `at` points to column.length bytes
// (for VARCHAR: the 2-byte length, then room for the bytes).
QString engineValueText(const EngineColumn &column, const unsigned char *at, const ValueText &text,
                        const BlobContent &blobContent);

// The same value as a worksheet cell, typed by the column's type (see
// value_cell.h); its text is engineValueText's.
excel::Cell engineValueCell(const EngineColumn &column, const unsigned char *at, const ValueText &text,
                            const BlobContent &blobContent);

} // namespace dbaccess
