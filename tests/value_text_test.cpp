// Values to cell text, and column bytes to characters: pure, no database.

#include "qstring_printer.h"
#include "text_decoder.h"
#include "value_text.h"

#include <QLocale>
#include <gtest/gtest.h>
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
