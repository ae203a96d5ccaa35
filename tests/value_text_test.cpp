// Values to cell text, and column bytes to characters: pure, no database.

#include "engine_value.h"
#include "table_code_pages.h"
#include "time_zone_text.h"
#include "text_decoder.h"
#include "value_text.h"

#include <QDate>
#include <QLocale>
#include <gtest/gtest.h>
#include <algorithm>
#include <limits>

using dbaccess::TextDecoder;
using dbaccess::ValueText;

namespace {

const QLocale english(QLocale::English, QLocale::UnitedStates);
const QLocale german(QLocale::German, QLocale::Germany);

TEST(ExactNumbers, KeepEveryDigitAndTheScale)
{
    const ValueText text(english);
    EXPECT_EQ(text.exactNumber(0, 0), "0");
    EXPECT_EQ(text.exactNumber(-32768, 0), "-32768");
    EXPECT_EQ(text.exactNumber(std::numeric_limits<std::int64_t>::max(), -4), "922337203685477.5807");
    EXPECT_EQ(text.exactNumber(std::numeric_limits<std::int64_t>::min(), 0), "-9223372036854775808");
    EXPECT_EQ(text.exactNumber(std::numeric_limits<std::int64_t>::min(), -18), "-9.223372036854775808");
    EXPECT_EQ(text.exactNumber(-5, -2), "-0.05");
    EXPECT_EQ(text.exactNumber(1230, -2), "12.30");
    EXPECT_EQ(text.exactNumber(7, -4), "0.0007");
    EXPECT_EQ(ValueText(german).exactNumber(1234567, -2), "12345,67"); // no digit grouping
}

TEST(FloatingNumbers, DoublesShowFifteenSignificantDigitsAndFloatsSeven)
{
    const ValueText text(english);
    const std::pair<double, const char *> doubles[] = {
        {0.1 + 0.2, "0.3"}, {0.1, "0.1"}, {1.0 / 3.0, "0.333333333333333"}, {100, "100"}, {-2.5e-7, "-2.5e-07"},
        {123456789.123456789, "123456789.123457"}, {123456789012345.0, "123456789012345"},
        {1234567890123456.0, "1.23456789012346e+15"}, {1.7976931348623157e308, "1.79769313486232e+308"}};
    for (const auto &[value, expected] : doubles)
        EXPECT_EQ(text.floating(value), expected);
    const std::pair<float, const char *> floats[] = {
        {0.1f, "0.1"}, {1.0f / 3.0f, "0.3333333"}, {1234567.0f, "1234567"}, {16777216.0f, "1.677722e+07"}, {123456789.0f, "1.234568e+08"},
        {-3.4028235e38f, "-3.402823e+38"}};
    for (const auto &[value, expected] : floats)
        EXPECT_EQ(text.single(value), expected);
    EXPECT_EQ(ValueText(german).floating(2.5), "2,5");
    EXPECT_EQ(ValueText(german).single(0.1f + 0.2f), "0,3");
}

TEST(Dates, FollowTheLocaleOrderWithFourDigitYears)
{
    EXPECT_EQ(ValueText(english).date(2024, 2, 29), "2/29/2024");
    EXPECT_EQ(ValueText(german).date(2024, 2, 9), "09.02.2024");
    EXPECT_EQ(ValueText(german).date(5, 3, 9), "09.03.0005");
    EXPECT_EQ(ValueText(QLocale(QLocale::Japanese, QLocale::Japan)).date(2024, 2, 9), "2024/02/09");
}

TEST(Times, AlwaysShowSecondsAndAFractionOnlyWhenThere)
{
    EXPECT_EQ(ValueText(english).time(13, 5, 9, 0), "1:05:09 PM");
    EXPECT_EQ(ValueText(english).time(0, 0, 0, 0), "12:00:00 AM");
    EXPECT_EQ(ValueText(german).time(13, 5, 9, 0), "13:05:09");
    EXPECT_EQ(ValueText(german).time(23, 59, 58, 1230), "23:59:58,123");
    EXPECT_EQ(ValueText(german).time(0, 0, 1, 1), "00:00:01,0001");
    EXPECT_EQ(ValueText(german).timestamp(2020, 5, 17, 17, 45, 12, 5000), "17.05.2020 17:45:12,5");
}

TEST(Booleans, ReadTrueAndFalse)
{
    EXPECT_EQ(ValueText::boolean(true), "True");
    EXPECT_EQ(ValueText::boolean(false), "False");
}

TEST(BinaryText, ShowsEveryByteAsTwoUppercaseHexDigits)
{
    EXPECT_EQ(ValueText::binary(QByteArrayView("\x00\xFF\x7F" "A", 4)), "00FF7F41");
    EXPECT_EQ(ValueText::binary(QByteArrayView()), "");
}

// Raw values in the engine's memory layout, as both the client library and
// the on-disk reader deliver them, for the types only Firebird 4 and later
// store. Byte strings are little-endian, as on disk and in memory.
TEST(EngineValues, NewerTypesReadAsFirebirdShowsThem)
{
    struct Case {
        int dtype;
        int scale;
        QByteArray bigEndianHex;
        QString expected;
    };
    const Case cases[] = {
        {ods::DtDec64, 0, "2238000000000001", "1"},
        {ods::DtDec64, 0, "A2300000000003D0", "-7.50"},
        {ods::DtDec64, 0, "2260000000000001", "1E+10"},
        {ods::DtDec64, 0, "2220000000000001", "0.000001"},
        {ods::DtDec64, 0, "221C000000000001", "1E-7"},
        {ods::DtDec64, 0, "6E38FF3FCFF3FCFF", "9999999999999999"},
        {ods::DtDec64, 0, "A238000000000000", "-0"},
        {ods::DtDec64, 0, "7800000000000000", "Infinity"},
        {ods::DtDec64, 0, "FC00000000000000", "-NaN"},
        {ods::DtDec128, 0, "22080000000000000000000000000001", "1"},
        {ods::DtDec128, 0, "A2070000000000000000000000000019", "-0.0019"},
        {ods::DtInt128, -4, "7FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF", "17014118346046923173168730371588410.5727"},
        {ods::DtInt128, 0, "80000000000000000000000000000000", "-170141183460469231731687303715884105728"},
        {ods::DtInt128, -2, "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFB", "-0.05"},
        {ods::DtBoolean, 0, "01", "True"},
        // 1 July 2020 10:00 UTC (day 59031): summer time in Berlin, winter in Sao Paulo.
        {ods::DtTimestampTz, 0, "0000" "FE43" "15752A00" "0000E697", "7/1/2020 12:00:00 PM Europe/Berlin"},
        {ods::DtTimestampTz, 0, "0000" "FF34" "15752A00" "0000E697", "7/1/2020 7:00:00 AM America/Sao_Paulo"},
        {ods::DtTimestampTz, 0, "0000" "0653" "15752A00" "0000E697", "7/1/2020 1:00:00 PM +03:00"},
        {ods::DtTimestampTz, 0, "0000" "0455" "15752A00" "0000E697", "7/1/2020 4:30:00 AM -05:30"},
        // Times resolve regions on 1 January 2020: winter in Berlin.
        {ods::DtTimeTz, 0, "0000" "FE43" "15752A00", "11:00:00 AM Europe/Berlin"},
        {ods::DtTimeTz, 0, "0000" "059F" "00000000", "12:00:00 AM +00:00"},
    };
    const ValueText text(english);
    for (const auto &c : cases) {
        QByteArray bytes = QByteArray::fromHex(c.bigEndianHex);
        std::reverse(bytes.begin(), bytes.end());
        const auto column = dbaccess::engineColumn(c.dtype, c.scale, 0, 0, unsigned(bytes.size()));
        EXPECT_EQ(dbaccess::engineValueText(column, reinterpret_cast<const unsigned char *>(bytes.constData()), text, {}),
                  c.expected) << c.bigEndianHex.constData();
    }
    EXPECT_EQ(dbaccess::timeZoneName(1), "-23:58");
    EXPECT_EQ(dbaccess::timeZoneName(65535), "GMT");
}

template <class T>
QByteArray raw(T value)
{
    return QByteArray(reinterpret_cast<const char *>(&value), sizeof value);
}

QByteArray fromBigEndianHex(const char *hex)
{
    QByteArray bytes = QByteArray::fromHex(hex);
    std::reverse(bytes.begin(), bytes.end());
    return bytes;
}

// Firebird's day number of a date, and ten-thousandths of a second.
std::int32_t day(int year, int month, int dayOfMonth)
{
    return std::int32_t(QDate(year, month, dayOfMonth).toJulianDay() - 2400001);
}
std::uint32_t ticks(int hour, int minute, int second, int tenThousandths)
{
    return std::uint32_t(((hour * 60 + minute) * 60 + second) * 10000 + tenThousandths);
}

// Each value's cell by its column's type, checked against the text the
// same value gives today: a typed cell must show exactly that text, so the
// text is written out only where it is the point of the case.
TEST(ValueCells, TypedByTheColumnWhereTheSpreadsheetHoldsTheValueAsItsTextStatesIt)
{
    using Kind = excel::Cell::Kind;
    struct Case {
        QLocale locale;
        int dtype;
        int scale;
        QByteArray bytes;
        Kind kind;
        double number = 0;
        QString format;
    };
    const QString germanDate = QStringLiteral("DD\\.MM\\.YYYY");
    const Case cases[] = {
        {german, ods::DtShort, 0, raw<std::int16_t>(-32768), Kind::Number, -32768, "0"},
        {german, ods::DtLong, -2, raw<std::int32_t>(5000), Kind::Number, 50, "0.00"},
        {german, ods::DtInt64, -2, raw<std::int64_t>(-5), Kind::Number, -0.05, "0.00"},
        {german, ods::DtInt64, 0, raw<std::int64_t>(123456789012345), Kind::Number, 123456789012345.0, "0"},
        {german, ods::DtInt64, 0, raw<std::int64_t>(1000000000000000000), Kind::Number, 1e18, "0"},
        {german, ods::DtInt64, -4, raw<std::int64_t>(12345678901234), Kind::Number, 1234567890.1234, "0.0000"},
        // More digits than a double holds, or not its own integer: the text.
        {german, ods::DtInt64, 0, raw(std::numeric_limits<std::int64_t>::max()), Kind::Text, 0, ""},
        {german, ods::DtInt64, 0, raw(std::numeric_limits<std::int64_t>::min()), Kind::Text, 0, ""},
        {german, ods::DtInt64, 0, raw<std::int64_t>(9007199254740993), Kind::Text, 0, ""},
        {german, ods::DtInt64, -4, raw<std::int64_t>(123456789012345678), Kind::Text, 0, ""},
        {german, ods::DtInt128, 0, fromBigEndianHex("7FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF"), Kind::Text, 0, ""},
        {german, ods::DtInt128, -2, fromBigEndianHex("FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFB"), Kind::Number, -0.05, "0.00"},
        // Binary floating point: the general format, or the exponent where the text has one.
        {german, ods::DtDouble, 0, raw(0.1), Kind::Number, 0.1, ""},
        {german, ods::DtDouble, 0, raw(0.1 + 0.2), Kind::Number, 0.3, ""},
        {german, ods::DtReal, 0, raw(0.1f), Kind::Number, 0.1, ""},
        {german, ods::DtDouble, 0, raw(1e300), Kind::Number, 1e300, "0E+00"},
        {german, ods::DtDouble, 0, raw(-2.5e-7), Kind::Number, -2.5e-7, "0.0E+00"},
        {german, ods::DtDouble, 0, raw(std::numeric_limits<double>::quiet_NaN()), Kind::Text, 0, ""},
        {german, ods::DtDouble, 0, raw(std::numeric_limits<double>::infinity()), Kind::Text, 0, ""},
        {german, ods::DtDouble, 0, raw(-0.0), Kind::Number, 0, ""},
        {german, ods::DtDec64, 0, fromBigEndianHex("A238000000000000"), Kind::Text, 0, ""},
        {german, ods::DtDec64, 0, fromBigEndianHex("A2300000000003D0"), Kind::Number, -7.5, "0.00"},
        {german, ods::DtDec64, 0, fromBigEndianHex("2260000000000001"), Kind::Number, 1e10, "0E+00"},
        {german, ods::DtDec64, 0, fromBigEndianHex("6E38FF3FCFF3FCFF"), Kind::Text, 0, ""},
        {german, ods::DtDec64, 0, fromBigEndianHex("7800000000000000"), Kind::Text, 0, ""},
        {german, ods::DtBoolean, 0, QByteArray("\x01", 1), Kind::Boolean, 1, ""},
        {german, ods::DtBoolean, 0, QByteArray("\x00", 1), Kind::Boolean, 0, ""},
        // Days since 30 December 1899; the target decides what its calendar holds.
        {german, ods::DtDate, 0, raw(day(1899, 12, 30)), Kind::Date, 0, germanDate},
        {german, ods::DtDate, 0, raw(day(1, 1, 1)), Kind::Date, -693593, germanDate},
        {german, ods::DtDate, 0, raw(day(9999, 12, 31)), Kind::Date, 2958465, germanDate},
        {german, ods::DtTime, 0, raw(ticks(23, 59, 59, 1234)), Kind::Time, ticks(23, 59, 59, 1234) / 864e6, "HH:MM:SS.0000"},
        {german, ods::DtTime, 0, raw(ticks(8, 0, 0, 5000)), Kind::Time, 8 / 24.0 + 0.5 / 86400, "HH:MM:SS.0"},
        {german, ods::DtTime, 0, raw(ticks(8, 0, 0, 0)), Kind::Time, 8 / 24.0, "HH:MM:SS"},
        {german, ods::DtTimestamp, 0, raw(day(2020, 5, 17)) + raw(ticks(18, 0, 0, 0)), Kind::Date,
         double(day(2020, 5, 17) - day(1899, 12, 30)) + 0.75, germanDate + " HH:MM:SS"},
        // Fifteen digits hold the last day's seconds, not their ten-thousandths.
        {german, ods::DtTimestamp, 0, raw(day(9999, 12, 31)) + raw(ticks(23, 59, 59, 0)), Kind::Date, 2958465 + ticks(23, 59, 59, 0) / 864e6,
         germanDate + " HH:MM:SS"},
        {german, ods::DtTimestamp, 0, raw(day(9999, 12, 31)) + raw(ticks(23, 59, 59, 9999)), Kind::Text, 0, ""},
        {english, ods::DtTime, 0, raw(ticks(13, 5, 9, 0)), Kind::Time, ticks(13, 5, 9, 0) / 864e6,
         ValueText(english).timeFormat(0)},
        // A time past the end of the day is damage, not a time.
        {german, ods::DtTime, 0, raw(ticks(24, 0, 0, 1)), Kind::Text, 0, ""},
        // The zone is part of the value.
        {german, ods::DtTimeTz, 0, fromBigEndianHex("0000" "059F" "00000000"), Kind::Text, 0, ""},
        // Text columns are text whatever they read like.
        {german, ods::DtText, 0, "00123", Kind::Text, 0, ""},
        {german, ods::DtText, 0, "=1+1", Kind::Text, 0, ""},
        {german, ods::DtText, 0, "1E5", Kind::Text, 0, ""},
        {german, ods::DtText, 0, "TRUE", Kind::Text, 0, ""},
    };
    for (const auto &c : cases) {
        const ValueText text(c.locale);
        const auto column = dbaccess::engineColumn(c.dtype, c.scale, 0, 0, unsigned(c.bytes.size()));
        const auto *at = reinterpret_cast<const unsigned char *>(c.bytes.constData());
        const excel::Cell cell = dbaccess::engineValueCell(column, at, text, {});
        const QString today = dbaccess::engineValueText(column, at, text, {});
        SCOPED_TRACE(today.toStdString());
        EXPECT_EQ(cell.text, today);
        EXPECT_EQ(cell.kind, c.kind);
        if (c.kind != Kind::Text) {
            EXPECT_DOUBLE_EQ(cell.number, c.number);
            EXPECT_EQ(cell.format, c.format);
        }
    }
    EXPECT_TRUE(ValueText(english).timeFormat(0).endsWith("AM/PM"));
}

TEST(TextDecoding, PrefersUtf8ThenTheDeclaredCharsetThenLatin1)
{
    const TextDecoder none(dbaccess::charsetNone);
    EXPECT_EQ(none.decode("plain"), "plain");
    EXPECT_EQ(none.decode("\xC3\xA5ngstr\xC3\xB6m"), QStringLiteral(u"ångström"));
    EXPECT_EQ(none.decode("Malm\xF6"), QStringLiteral(u"Malmö"));
    EXPECT_EQ(none.decode("\x80 5"), QStringLiteral(u"\u0080 5"));

    const TextDecoder win1252(53);
    EXPECT_EQ(win1252.decode("\x80 5"), QStringLiteral(u"€ 5"));
    EXPECT_EQ(win1252.decode("\xC3\xA9"), QStringLiteral(u"é")); // valid UTF-8 wins
    // 0x81 has no character in Windows-1252: Latin-1 keeps the byte.
    EXPECT_EQ(win1252.decode("a\x81"), QStringLiteral(u"a\u0081"));

    const TextDecoder win1251(52);
    EXPECT_EQ(win1251.decode("\xCF\xF0\xE8"), QStringLiteral(u"При"));
}

TEST(TextDecoding, ALongMultiByteValueCutForTheSampleStillTellsItsPage)
{
    const QByteArray tokyo = QByteArray::fromHex("938c8b9e9373"); // Shift-JIS
    QByteArray value;
    while (value.size() < 10000)
        value += tokyo + ' ';
    auto table = std::make_shared<dbaccess::TableCodePages>(
        1, [&](dbaccess::CodePageSample &sample) { sample.add(0, value); }, [] { return QByteArray("WINDOWS-1252"); });
    EXPECT_EQ(TextDecoder(table, 0).decode(tokyo), QStringLiteral("東京都"));
}

TEST(TextDecoding, NeverLosesAByte)
{
    const TextDecoder none(dbaccess::charsetNone);
    for (int seed = 0; seed < 2000; ++seed) {
        QByteArray bytes;
        for (int i = 0; i < seed % 13; ++i)
            bytes += char((seed * 31 + i * 97) & 0xFF);
        const QString text = none.decode(bytes);
        EXPECT_FALSE(text.contains(QChar::ReplacementCharacter)) << seed;
        EXPECT_TRUE(text.toUtf8() == bytes || text.toLatin1() == bytes) << seed;
    }
}

} // namespace
