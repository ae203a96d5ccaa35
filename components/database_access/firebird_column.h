#pragma once

#include "database_access.h"
#include "text_decoder.h"
#include "value_text.h"

#include <QByteArray>
#include <firebird/Interface.h>
#include <functional>
#include <memory>
#include <vector>

namespace dbaccess {

// One column of a Firebird result and where its value sits in a fetched row.
struct FirebirdColumn {
    QString name;
    int adoType = 0;
    unsigned sqlType = 0; // without the "may be null" bit
    int subType = 0;
    int scale = 0;
    unsigned length = 0;
    unsigned offset = 0;
    unsigned nullOffset = 0;
    // CHAR in a multi-byte charset arrives padded to its byte length; the
    // value keeps the declared number of characters, as the column defines.
    unsigned characters = 0;
    // CHAR or VARCHAR in CHARACTER SET OCTETS: bytes, not characters.
    bool binaryText = false;
    // A short text BLOB read inline as VARCHAR (see FirebirdQuery); -1 if not.
    int inlineOffset = -1;
    int inlineNullOffset = -1;
    std::shared_ptr<TextDecoder> decoder;
};

// The ADO type code the Firebird ODBC driver reports for a column.
int adoTypeOf(unsigned sqlType, int subType, int scale);

std::vector<FirebirdColumn> describeColumns(Firebird::ThrowStatusWrapper &status, Firebird::IMessageMetadata *metadata);

using BlobReader = std::function<QByteArray(const ISC_QUAD &blobId)>;

// The value of one column in a fetched row, as text; nullopt for null.
ado::Value columnValue(const FirebirdColumn &column, const unsigned char *row, const ValueText &text,
                       const BlobReader &readBlob);

} // namespace dbaccess
