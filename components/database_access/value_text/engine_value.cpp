#include "engine_value.h"

#include "decimal_float.h"
#include "ods/character_sets.h"
#include "time_zone_text.h"

#include <QDate>
#include <cstdint>
#include <cstring>

namespace dbaccess {

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
constexpr unsigned ticksPerSecond = 10000;
constexpr int blobIdBytes = 8;

QDate dateOf(std::int32_t days)
{
    return QDate::fromJulianDay(firebirdDayZero + days);
}

QString dateText(const ValueText &text, std::int32_t days)
{
    const QDate date = dateOf(days);
    return text.date(date.year(), date.month(), date.day());
}

QString timeText(const ValueText &text, std::uint32_t ticks)
{
    const unsigned seconds = ticks / ticksPerSecond;
    return text.time(int(seconds / 3600), int(seconds / 60 % 60), int(seconds % 60), int(ticks % ticksPerSecond));
}

} // namespace

EngineColumn engineColumn(int dtype, int scale, int subType, int charset, unsigned length)
{
    EngineColumn column;
    column.dtype = dtype;
    column.scale = scale;
    column.subType = subType;
    column.charset = charset;
    column.length = length;
    if (dtype == ods::DtText && ods::bytesPerCharacter(charset) > 1)
        column.characters = length / unsigned(ods::bytesPerCharacter(charset));
    column.binaryText = charset == charsetOctets && (dtype == ods::DtText || dtype == ods::DtVarying);
    column.decoder = std::make_shared<TextDecoder>(charset);
    return column;
}

int adoTypeOf(const EngineColumn &column)
{
    const bool scaled = column.scale != 0;
    switch (column.dtype) {
    case ods::DtText: return ado::adChar;
    case ods::DtVarying: return ado::adVarChar;
    case ods::DtShort: return scaled ? ado::adNumeric : ado::adSmallInt;
    case ods::DtLong: return scaled ? ado::adNumeric : ado::adInteger;
    case ods::DtInt64: return scaled ? ado::adNumeric : ado::adBigInt;
    case ods::DtInt128:
    case ods::DtDec64:
    case ods::DtDec128: return ado::adNumeric;
    case ods::DtReal: return ado::adSingle;
    case ods::DtDouble:
    case ods::DtDFloat: return scaled ? ado::adNumeric : ado::adDouble;
    case ods::DtDate: return ado::adDBDate;
    case ods::DtTime:
    case ods::DtTimeTz:
    case ods::DtExTimeTz: return ado::adDBTime;
    case ods::DtTimestamp:
    case ods::DtTimestampTz:
    case ods::DtExTimestampTz: return ado::adDBTimeStamp;
    case ods::DtBoolean: return ado::adBoolean;
    case ods::DtBlob: return column.subType == 1 ? ado::adLongVarChar : ado::adLongVarBinary;
    default: return ado::adLongVarBinary; // arrays and quads: not text
    }
}

QString characterText(const EngineColumn &column, QByteArrayView bytes)
{
    if (column.binaryText)
        return ValueText::binary(bytes);
    QString value = column.decoder->decode(bytes);
    if (column.characters && value.size() > qsizetype(column.characters)) {
        qsizetype keep = value.size();
        while (keep > qsizetype(column.characters) && value[keep - 1] == u' ')
            --keep;
        value.truncate(keep);
    }
    return value;
}

QByteArray textBytes(const EngineColumn &column, const unsigned char *at, const BlobContent &blobContent)
{
    const auto bytes = [at](qsizetype size) { return QByteArray(reinterpret_cast<const char *>(at), size); };
    switch (column.dtype) {
    case ods::DtText: return bytes(column.length);
    case ods::DtVarying: return QByteArray(reinterpret_cast<const char *>(at + 2), read<std::uint16_t>(at));
    case ods::DtBlob: return blobContent(QByteArrayView(reinterpret_cast<const char *>(at), blobIdBytes));
    default: return {};
    }
}

bool holdsUndeclaredText(const EngineColumn &column)
{
    const bool text = column.dtype == ods::DtText || column.dtype == ods::DtVarying
        || (column.dtype == ods::DtBlob && column.subType == 1);
    return text && column.charset == charsetNone;
}

void shareCodePages(const std::vector<EngineColumn *> &columns, ReadColumnSample read, TableCodePages::Fallback fallback)
{
    std::vector<int> undeclared;
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (holdsUndeclaredText(*columns[i]))
            undeclared.push_back(int(i));
    if (undeclared.empty())
        return;
    auto table = std::make_shared<TableCodePages>(
        int(undeclared.size()),
        [undeclared, read = std::move(read)](CodePageSample &sample) { read(undeclared, sample); },
        std::move(fallback));
    for (std::size_t i = 0; i < undeclared.size(); ++i)
        columns[std::size_t(undeclared[i])]->decoder = std::make_shared<TextDecoder>(table, int(i));
}

QString blobText(const EngineColumn &column, const QByteArray &content)
{
    if (column.subType == 1)
        return characterText(column, content);
    return ValueText::binary(content);
}

QString engineValueText(const EngineColumn &column, const unsigned char *at, const ValueText &text,
                        const BlobContent &blobContent)
{
    const auto bytes = [at](qsizetype size) { return QByteArrayView(reinterpret_cast<const char *>(at), size); };
    switch (column.dtype) {
    case ods::DtText: return characterText(column, bytes(column.length));
    case ods::DtVarying:
        return characterText(column, QByteArrayView(reinterpret_cast<const char *>(at + 2), read<std::uint16_t>(at)));
    case ods::DtShort: return text.exactNumber(read<std::int16_t>(at), column.scale);
    case ods::DtLong: return text.exactNumber(read<std::int32_t>(at), column.scale);
    case ods::DtInt64: return text.exactNumber(read<std::int64_t>(at), column.scale);
    case ods::DtInt128: return text.exactWideNumber(read<__int128>(at), column.scale);
    case ods::DtReal: return text.single(read<float>(at));
    case ods::DtDouble:
    case ods::DtDFloat: return text.floating(read<double>(at));
    case ods::DtDec64: return decimalFloatText(bytes(8), text.decimalSeparator());
    case ods::DtDec128: return decimalFloatText(bytes(16), text.decimalSeparator());
    case ods::DtBoolean: return ValueText::boolean(*at != 0);
    case ods::DtDate: return dateText(text, read<std::int32_t>(at));
    case ods::DtTime: return timeText(text, read<std::uint32_t>(at));
    case ods::DtTimestamp: return dateText(text, read<std::int32_t>(at)) + u' ' + timeText(text, read<std::uint32_t>(at + 4));
    case ods::DtTimeTz:
    case ods::DtExTimeTz: return zonedTimeText(text, read<std::uint32_t>(at), read<std::uint16_t>(at + 4));
    case ods::DtTimestampTz:
    case ods::DtExTimestampTz:
        return zonedTimestampText(text, read<std::int32_t>(at), read<std::uint32_t>(at + 4), read<std::uint16_t>(at + 8));
    case ods::DtBlob: return blobText(column, blobContent(bytes(blobIdBytes)));
    default: return QStringLiteral("{ARRAY}");
    }
}

excel::Cell engineValueCell(const EngineColumn &column, const unsigned char *at, const ValueText &text,
                            const BlobContent &blobContent)
{
    const auto number = [&](NumberShape shape) {
        return numberCell(engineValueText(column, at, text, blobContent), text.decimalSeparator(), shape);
    };
    switch (column.dtype) {
    case ods::DtShort:
    case ods::DtLong:
    case ods::DtInt64:
    case ods::DtInt128:
    case ods::DtDec64:
    case ods::DtDec128: return number(NumberShape::Decimal);
    // A dialect-1 NUMERIC is a double with a scale, shown with the digits
    // the double gives, as any other.
    case ods::DtReal:
    case ods::DtDouble:
    case ods::DtDFloat: return number(NumberShape::Binary);
    case ods::DtBoolean: return booleanCell(*at != 0);
    case ods::DtDate: return dateCell(text, dateOf(read<std::int32_t>(at)));
    case ods::DtTime: return timeCell(text, read<std::uint32_t>(at));
    case ods::DtTimestamp: return timestampCell(text, dateOf(read<std::int32_t>(at)), read<std::uint32_t>(at + 4));
    // Zoned values stay text: the zone is part of them.
    default: return excel::Cell(engineValueText(column, at, text, blobContent));
    }
}

} // namespace dbaccess
