#include "firebird_column.h"

#include <cstring>
#include <ibase.h>

namespace dbaccess {

using namespace Firebird;

namespace {

// The types Firebird 4 added; the Firebird 3 headers do not name them.
constexpr unsigned sqlInt128 = 32752, sqlTimestampTz = 32754, sqlTimeTz = 32756, sqlDec16 = 32760, sqlDec34 = 32762,
                   sqlTimestampTzEx = 32748, sqlTimeTzEx = 32750;

short nullIndicator(const unsigned char *at)
{
    short value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

} // namespace

int engineTypeOf(unsigned sqlType)
{
    switch (sqlType) {
    case SQL_TEXT: return ods::DtText;
    case SQL_VARYING: return ods::DtVarying;
    case SQL_SHORT: return ods::DtShort;
    case SQL_LONG: return ods::DtLong;
    case SQL_QUAD: return ods::DtQuad;
    case SQL_FLOAT: return ods::DtReal;
    case SQL_DOUBLE: return ods::DtDouble;
    case SQL_D_FLOAT: return ods::DtDFloat;
    case SQL_TYPE_DATE: return ods::DtDate;
    case SQL_TYPE_TIME: return ods::DtTime;
    case SQL_TIMESTAMP: return ods::DtTimestamp;
    case SQL_BLOB: return ods::DtBlob;
    case SQL_ARRAY: return ods::DtArray;
    case SQL_INT64: return ods::DtInt64;
    case SQL_BOOLEAN: return ods::DtBoolean;
    case sqlDec16: return ods::DtDec64;
    case sqlDec34: return ods::DtDec128;
    case sqlInt128: return ods::DtInt128;
    case sqlTimeTz: return ods::DtTimeTz;
    case sqlTimestampTz: return ods::DtTimestampTz;
    case sqlTimeTzEx: return ods::DtExTimeTz;
    case sqlTimestampTzEx: return ods::DtExTimestampTz;
    default: return 0;
    }
}

std::vector<FirebirdColumn> describeColumns(ThrowStatusWrapper &status, IMessageMetadata *metadata)
{
    std::vector<FirebirdColumn> columns;
    const unsigned count = metadata->getCount(&status);
    columns.reserve(count);
    for (unsigned i = 0; i < count; ++i) {
        FirebirdColumn column;
        const int charset = metadata->getCharSet(&status, i) & 0xFF;
        const char *alias = metadata->getAlias(&status, i);
        column.name = TextDecoder(charset).decode(QByteArrayView(alias, qstrlen(alias)));
        column.type = engineColumn(engineTypeOf(metadata->getType(&status, i) & ~1u), metadata->getScale(&status, i),
                                   metadata->getSubType(&status, i), charset, metadata->getLength(&status, i));
        column.offset = metadata->getOffset(&status, i);
        column.nullOffset = metadata->getNullOffset(&status, i);
        column.adoType = adoTypeOf(column.type);
        columns.push_back(std::move(column));
    }
    return columns;
}

namespace {

// A null gives nullFound; a short text BLOB read inline gives its text; any
// other value goes to convert with its bytes and a reader of its BLOB.
template <class Result, class Convert>
Result readColumn(const FirebirdColumn &column, const unsigned char *row, const BlobReader &readBlob, Result nullFound,
                  Convert convert)
{
    if (nullIndicator(row + column.nullOffset))
        return nullFound;
    if (column.inlineOffset >= 0 && !nullIndicator(row + column.inlineNullOffset)) {
        const unsigned char *inlined = row + column.inlineOffset;
        unsigned short length;
        std::memcpy(&length, inlined, sizeof length);
        return Result(characterText(column.type, QByteArrayView(reinterpret_cast<const char *>(inlined + 2), length)));
    }
    return convert(row + column.offset, [&readBlob](QByteArrayView blobId) {
        ISC_QUAD id;
        std::memcpy(&id, blobId.data(), sizeof id);
        return readBlob(id);
    });
}

} // namespace

ado::Value columnValue(const FirebirdColumn &column, const unsigned char *row, const ValueText &text,
                       const BlobReader &readBlob)
{
    return readColumn<ado::Value>(column, row, readBlob, std::nullopt, [&](const unsigned char *at, const BlobContent &blob) {
        return engineValueText(column.type, at, text, blob);
    });
}

excel::Cell columnCell(const FirebirdColumn &column, const unsigned char *row, const ValueText &text,
                       const BlobReader &readBlob)
{
    return readColumn<excel::Cell>(column, row, readBlob, {}, [&](const unsigned char *at, const BlobContent &blob) {
        return engineValueCell(column.type, at, text, blob);
    });
}

} // namespace dbaccess
