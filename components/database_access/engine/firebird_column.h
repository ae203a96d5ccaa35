#pragma once

#include "database_access.h"
#include "engine_value.h"
#include "value_text.h"

#include <QByteArray>
#include <firebird/Interface.h>
#include <functional>
#include <vector>

namespace dbaccess {

// One column of a Firebird result and where its value sits in a fetched row.
struct FirebirdColumn {
    QString name;
    int adoType = 0;
    EngineColumn type;
    unsigned offset = 0;
    unsigned nullOffset = 0;
    // A short text BLOB read inline as VARCHAR (see FirebirdQuery); -1 if not.
    int inlineOffset = -1;
    int inlineNullOffset = -1;
};

// The engine's data type number for a client SQL type (without the "may be
// null" bit); 0 for none known.
int engineTypeOf(unsigned sqlType);

std::vector<FirebirdColumn> describeColumns(Firebird::ThrowStatusWrapper &status, Firebird::IMessageMetadata *metadata);

using BlobReader = std::function<QByteArray(const ISC_QUAD &blobId)>;

// The value of one column in a fetched row, as text; nullopt for null.
ado::Value columnValue(const FirebirdColumn &column, const unsigned char *row, const ValueText &text,
                       const BlobReader &readBlob);
// The same as a worksheet cell; an empty text cell for null.
excel::Cell columnCell(const FirebirdColumn &column, const unsigned char *row, const ValueText &text,
                       const BlobReader &readBlob);

} // namespace dbaccess
