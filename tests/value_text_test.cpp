// Values to cell text, and column bytes to characters: pure, no database.

#include "engine_value.h"
#include "table_code_pages.h"
#include "time_zone_text.h"
#include "text_decoder.h"
#include "value_text.h"

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
