#include "firebird_column.h"

#include <QDate>
#include <cstring>
#include <ibase.h>

namespace dbaccess {

using namespace Firebird;

namespace {

template <class T>
T read(const unsigned char *at)
{
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

// Modified Julian day 0 (17 November 1858), Firebird's day zero.
constexpr qint64 firebirdDayZero = 2400001;

QDate dateOf(ISC_DATE days)
{
    return QDate::fromJulianDay(firebirdDayZero + days);
}

QString timeText(const ValueText &text, ISC_TIME time)
{
    const unsigned seconds = time / ISC_TIME_SECONDS_PRECISION;
    return text.time(int(seconds / 3600), int(seconds / 60 % 60), int(seconds % 60), int(time % ISC_TIME_SECONDS_PRECISION));
}

int bytesPerCharacter(int charset)
{
    switch (charset) {
    case charsetUtf8: return 4;
    case charsetUnicodeFss: return 3;
    default: return 1;
    }
}

QString decoded(const FirebirdColumn &column, const char *bytes, qsizetype size)
{
    if (column.binaryText)
        return ValueText::binary(QByteArrayView(bytes, size));
    QString value = column.decoder->decode(QByteArrayView(bytes, size));
    if (column.characters && value.size() > qsizetype(column.characters)) {
        qsizetype keep = value.size();
        while (keep > qsizetype(column.characters) && value[keep - 1] == u' ')
            --keep;
        value.truncate(keep);
    }
    return value;
}

} // namespace

int adoTypeOf(unsigned sqlType, int subType, int scale)
{
    switch (sqlType) {
    case SQL_TEXT: return ado::adChar;
    case SQL_VARYING: return ado::adVarChar;
    case SQL_SHORT: return scale ? ado::adNumeric : ado::adSmallInt;
    case SQL_LONG: return scale ? ado::adNumeric : ado::adInteger;
    case SQL_INT64: return scale ? ado::adNumeric : ado::adBigInt;
    case SQL_FLOAT: return ado::adSingle;
    case SQL_DOUBLE:
    case SQL_D_FLOAT: return scale ? ado::adNumeric : ado::adDouble;
    case SQL_TYPE_DATE: return ado::adDBDate;
    case SQL_TYPE_TIME: return ado::adDBTime;
    case SQL_TIMESTAMP: return ado::adDBTimeStamp;
    case SQL_BOOLEAN: return ado::adBoolean;
    case SQL_BLOB: return subType == isc_blob_text ? ado::adLongVarChar : ado::adLongVarBinary;
    default: return ado::adLongVarBinary; // arrays and anything newer: not text
    }
}

std::vector<FirebirdColumn> describeColumns(ThrowStatusWrapper &status, IMessageMetadata *metadata)
{
    std::vector<FirebirdColumn> columns;
    const unsigned count = metadata->getCount(&status);
    columns.reserve(count);
    for (unsigned i = 0; i < count; ++i) {
        FirebirdColumn column;
        const char *alias = metadata->getAlias(&status, i);
        column.name = TextDecoder(metadata->getCharSet(&status, i) & 0xFF).decode(QByteArrayView(alias, qstrlen(alias)));
        column.sqlType = metadata->getType(&status, i) & ~1u;
        column.subType = metadata->getSubType(&status, i);
        column.scale = metadata->getScale(&status, i);
        column.length = metadata->getLength(&status, i);
        column.offset = metadata->getOffset(&status, i);
        column.nullOffset = metadata->getNullOffset(&status, i);
        const int charset = metadata->getCharSet(&status, i) & 0xFF;
        if (column.sqlType == SQL_TEXT && bytesPerCharacter(charset) > 1)
            column.characters = column.length / bytesPerCharacter(charset);
        column.binaryText = charset == charsetOctets && (column.sqlType == SQL_TEXT || column.sqlType == SQL_VARYING);
        column.adoType = adoTypeOf(column.sqlType, column.subType, column.scale);
        column.decoder = std::make_shared<TextDecoder>(charset);
        columns.push_back(std::move(column));
    }
    return columns;
}

ado::Value columnValue(const FirebirdColumn &column, const unsigned char *row, const ValueText &text,
                       const BlobReader &readBlob)
{
    if (read<short>(row + column.nullOffset))
        return std::nullopt;
    const unsigned char *at = row + column.offset;
    switch (column.sqlType) {
    case SQL_TEXT: return decoded(column, reinterpret_cast<const char *>(at), column.length);
    case SQL_VARYING: return decoded(column, reinterpret_cast<const char *>(at + 2), read<unsigned short>(at));
    case SQL_SHORT: return text.exactNumber(read<short>(at), column.scale);
    case SQL_LONG: return text.exactNumber(read<int>(at), column.scale);
    case SQL_INT64: return text.exactNumber(read<ISC_INT64>(at), column.scale);
    case SQL_FLOAT: return text.single(read<float>(at));
    case SQL_DOUBLE:
    case SQL_D_FLOAT: return text.floating(read<double>(at));
    case SQL_BOOLEAN: return ValueText::boolean(*at != 0);
    case SQL_TYPE_DATE: {
        const QDate date = dateOf(read<ISC_DATE>(at));
        return text.date(date.year(), date.month(), date.day());
    }
    case SQL_TYPE_TIME: return timeText(text, read<ISC_TIME>(at));
    case SQL_TIMESTAMP: {
        const auto stamp = read<ISC_TIMESTAMP>(at);
        const QDate date = dateOf(stamp.timestamp_date);
        return text.date(date.year(), date.month(), date.day()) + u' ' + timeText(text, stamp.timestamp_time);
    }
    case SQL_BLOB: {
        if (column.inlineOffset >= 0 && !read<short>(row + column.inlineNullOffset)) {
            const unsigned char *inlined = row + column.inlineOffset;
            return decoded(column, reinterpret_cast<const char *>(inlined + 2), read<unsigned short>(inlined));
        }
        const QByteArray bytes = readBlob(read<ISC_QUAD>(at));
        if (column.subType == isc_blob_text)
            return decoded(column, bytes.constData(), bytes.size());
        return ValueText::binary(bytes);
    }
    default: return QStringLiteral("{ARRAY}");
    }
}

} // namespace dbaccess
