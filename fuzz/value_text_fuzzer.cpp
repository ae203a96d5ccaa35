// A fetched row's column bytes as cell text: any bytes, any column type,
// scale, character set and locale give text without a crash or a sanitizer
// report; exact numbers read back as the value they came from, floating-point
// ones as that value rounded to the digits its type holds; decoding keeps
// every byte. The typed cell of the same value shows the same text, and a
// number cell holds the number its text states.

#include "firebird_column.h"
#include "fuzz_input.h"
#include "ods/character_sets.h"
#include "text_decoder.h"
#include "value_text.h"

#include <QLocale>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ibase.h>
#include <iconv.h>
#include <memory>
#include <vector>

namespace {

using dbaccess::FirebirdColumn;
using dbaccess::TextDecoder;
using dbaccess::ValueText;

struct Locale {
    ValueText text;
    QChar decimal;
};

const Locale &localeAt(unsigned index)
{
    static const QList<QLocale> all
        = QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
    static std::vector<std::unique_ptr<Locale>> built(all.size());
    auto &slot = built[index % all.size()];
    if (!slot) {
        const QLocale &locale = all[index % all.size()];
        slot = std::make_unique<Locale>(Locale{ValueText(locale),
            locale.decimalPoint().isEmpty() ? QChar(u'.') : locale.decimalPoint().front()});
    }
    return *slot;
}

const std::shared_ptr<TextDecoder> &decoderFor(int charset)
{
    static std::array<std::shared_ptr<TextDecoder>, 256> decoders;
    auto &slot = decoders[charset & 0xFF];
    if (!slot)
        slot = std::make_shared<TextDecoder>(charset & 0xFF);
    return slot;
}

// The declared charset's own bytes for a text, or an empty array when iconv
// cannot write it back.
QByteArray encodedAs(int charset, const QString &text)
{
    const iconv_t handle = iconv_open(ods::iconvName(charset), "UTF-8");
    if (handle == iconv_t(-1))
        return {};
    QByteArray in = text.toUtf8();
    QByteArray out(in.size() * 4 + 16, Qt::Uninitialized);
    char *inPtr = in.data();
    size_t inLeft = in.size();
    char *outPtr = out.data();
    size_t outLeft = out.size();
    const bool ok = iconv(handle, &inPtr, &inLeft, &outPtr, &outLeft) != size_t(-1)
        && iconv(handle, nullptr, nullptr, &outPtr, &outLeft) != size_t(-1);
    iconv_close(handle);
    return ok ? out.left(out.size() - qsizetype(outLeft)) : QByteArray();
}

void checkDecoding(int charset, QByteArrayView bytes)
{
    const QString text = decoderFor(charset)->decode(bytes);
    const QString raw = QString::fromLatin1(bytes);
    if (bytes.isValidUtf8()) {
        if (text.toUtf8() != bytes)
            fuzz::fail("valid UTF-8 does not round-trip", raw, text);
    } else if (!*ods::iconvName(charset)) {
        if (text != raw)
            fuzz::fail("bytes of a charset without its own decoding are not kept as Latin-1", raw, text);
    } else if (text.isEmpty() != bytes.isEmpty()
               || (text.contains(QChar::ReplacementCharacter) && encodedAs(charset, text) != bytes)) {
        fuzz::fail("decoding replaced or dropped bytes", raw, text);
    }
}

void checkExactNumber(const Locale &locale, std::int64_t unscaled, int scale)
{
    const QString text = locale.text.exactNumber(unscaled, scale);
    QString digits = text;
    if (unscaled < 0 && !digits.startsWith(u'-'))
        fuzz::fail("a negative number lost its sign", QString::number(unscaled), text);
    if (unscaled < 0)
        digits.remove(0, 1);
    if (scale < 0) {
        const qsizetype point = digits.size() + scale - 1;
        if (point < 1 || digits[point] != locale.decimal)
            fuzz::fail("the decimal separator is not where the scale puts it", QString::number(scale), text);
        digits.remove(point, 1);
    }
    for (const QChar c : digits)
        if (c < u'0' || c > u'9')
            fuzz::fail("an exact number holds more than digits", QString::number(unscaled), text);
    while (digits.size() > 1 && digits.front() == u'0')
        digits.remove(0, 1);
    const std::uint64_t magnitude = unscaled < 0 ? 0 - std::uint64_t(unscaled) : std::uint64_t(unscaled);
    if (digits != QString::number(magnitude))
        fuzz::fail("an exact number does not read back", QString::number(unscaled), text);
}

// At most `digits` significant digits, and the nearest such number: off by
// no more than half a unit of the last digit shown.
template <class Float>
void checkFloating(const Locale &locale, Float value, const QString &text, int digits)
{
    if (!std::isfinite(value))
        return;
    QString plain = text;
    plain.replace(locale.decimal, u'.');
    const QByteArray latin = plain.toLatin1();
    char *end = nullptr;
    // Long double: the largest doubles round up beyond what a double holds.
    const long double read = std::strtold(latin.constData(), &end);
    if (latin.isEmpty() || end != latin.constData() + latin.size())
        fuzz::fail("a floating-point value is not a number", QString::number(double(value), 'g', 17), text);
    QString mantissa = plain.section(u'e', 0, 0);
    mantissa.remove(u'-');
    mantissa.remove(u'.');
    while (mantissa.size() > 1 && mantissa.front() == u'0')
        mantissa.remove(0, 1);
    if (mantissa.size() > digits)
        fuzz::fail("a floating-point value shows more digits than its type holds", QString::number(double(value), 'g', 17), text);
    const long double exact = value;
    if (std::fabs(read - exact) > std::fabs(exact) * 0.5L * std::pow(10.0L, 1 - digits) * (1 + 1e-12L))
        fuzz::fail("a floating-point value does not read back", QString::number(double(value), 'g', 17), text);
}

void checkCell(const Locale &locale, const excel::Cell &cell, const QString &text)
{
    if (cell.text != text)
        fuzz::fail("the typed cell shows another text than the value", text, cell.text);
    if (cell.kind != excel::Cell::Number)
        return;
    QString plain = text;
    plain.replace(locale.decimal, u'.');
    bool parsed = false;
    const double stated = plain.toDouble(&parsed);
    if (!parsed || stated != cell.number)
        fuzz::fail("a number cell holds another number than its text states", text, QString::number(cell.number, 'g', 17));
}

constexpr unsigned types[] = {SQL_TEXT, SQL_VARYING, SQL_SHORT, SQL_LONG, SQL_INT64, SQL_FLOAT, SQL_DOUBLE,
                              SQL_D_FLOAT, SQL_BOOLEAN, SQL_TYPE_DATE, SQL_TYPE_TIME, SQL_TIMESTAMP, SQL_BLOB,
                              SQL_ARRAY, 32752, 32754, 32756, 32760, 32762}; // the last: Firebird 4 types

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 6)
        return 0;
    const int charset = data[0];
    const unsigned sqlType = types[data[1] % std::size(types)];
    const int scale = -int(data[2] % 64);
    const Locale &locale = localeAt(data[3] | (data[4] << 8));
    const bool textBlob = data[5] & 1;
    const bool inlineBlob = data[5] & 2;
    const QByteArrayView payload(reinterpret_cast<const char *>(data + 6), qsizetype(size - 6));

    checkDecoding(charset, payload);

    // A row as the client library lays it out: the null indicator, then the
    // value; VARCHAR and inline BLOBs carry a length the library keeps within
    // the declared one.
    FirebirdColumn column;
    column.type = dbaccess::engineColumn(dbaccess::engineTypeOf(sqlType), scale, textBlob ? isc_blob_text : 0, charset,
                                         unsigned(qMin<qsizetype>(payload.size(), 32765)));
    column.nullOffset = 0;
    column.offset = 8;
    std::vector<unsigned char> row(8 + 2 + column.type.length + 16, 0);
    const bool counted = sqlType == SQL_VARYING || (sqlType == SQL_BLOB && inlineBlob);
    if (counted) {
        const unsigned short length = column.type.length;
        std::memcpy(row.data() + 8, &length, sizeof length);
        std::memcpy(row.data() + 10, payload.data(), column.type.length);
    } else {
        std::memcpy(row.data() + 8, payload.data(), column.type.length);
    }
    if (sqlType == SQL_BLOB && inlineBlob) {
        column.inlineOffset = 8;
        column.inlineNullOffset = 2;
    }
    const auto readBlob = [&](const ISC_QUAD &) { return payload.toByteArray(); };
    const ado::Value value = dbaccess::columnValue(column, row.data(), locale.text, readBlob);
    if (!value)
        fuzz::fail("a value that is not null came back null");

    std::int64_t wide = 0;
    double number = 0;
    float single = 0;
    std::memcpy(&wide, row.data() + 8, sizeof wide);
    std::memcpy(&number, row.data() + 8, sizeof number);
    std::memcpy(&single, row.data() + 8, sizeof single);
    switch (sqlType) {
    case SQL_SHORT: checkExactNumber(locale, std::int16_t(wide), scale); break;
    case SQL_LONG: checkExactNumber(locale, std::int32_t(wide), scale); break;
    case SQL_INT64: checkExactNumber(locale, wide, scale); break;
    case SQL_FLOAT: checkFloating(locale, single, *value, 7); break;
    case SQL_DOUBLE: checkFloating(locale, number, *value, 15); break;
    default: break;
    }
    checkCell(locale, dbaccess::columnCell(column, row.data(), locale.text, readBlob), *value);
    return 0;
}
