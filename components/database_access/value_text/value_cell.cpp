#include "value_cell.h"

#include <QByteArray>
#include <array>
#include <charconv>
#include <cmath>

namespace dbaccess {

namespace {

// The significant digits a spreadsheet keeps of a number and shows.
constexpr int spreadsheetDigits = 15;
constexpr qint64 spreadsheetDayZero = 2415019; // 30 December 1899, as a Julian day
constexpr unsigned ticksPerDay = 86400u * 10000u;

// "0", or "0." and a zero for each decimal; made once, shared by every cell.
QString decimalsCode(int decimals)
{
    static const std::array<QString, 40> codes = [] {
        std::array<QString, 40> made;
        made[0] = QStringLiteral("0");
        for (std::size_t d = 1; d < made.size(); ++d)
            made[d] = QStringLiteral("0.") + QString(qsizetype(d), u'0');
        return made;
    }();
    if (decimals < int(codes.size()))
        return codes[std::size_t(decimals)];
    return QStringLiteral("0.") + QString(decimals, u'0');
}

// Digits Firebird keeps beyond the second, as the text shows them.
int fractionDigits(unsigned ticks)
{
    int fraction = int(ticks % 10000);
    if (fraction == 0)
        return 0;
    int digits = 4;
    while (fraction % 10 == 0) {
        fraction /= 10;
        --digits;
    }
    return digits;
}

double dayFraction(unsigned ticks)
{
    return double(ticks) / double(ticksPerDay);
}

} // namespace

excel::Cell numberCell(const QString &text, QChar decimal, NumberShape shape)
{
    // Longer than any number's text (an INT128 at scale 38, a double with
    // its exponent): such a text is no number to hold.
    constexpr qsizetype longest = 64;
    if (text.size() >= longest)
        return excel::Cell(text);
    // The text's digits in C spelling, without the sign: the integer part
    // first, so it can be looked at on its own.
    char ascii[longest];
    int length = 0;
    int integerDigits = 0;
    int fractionLength = 0;
    int significant = 0;
    int trailingZeros = 0;
    bool leadingZeros = true;
    enum { Integer, Fraction, Exponent } part = Integer;
    bool exponentDigits = false;
    const bool negative = text.startsWith(u'-');
    for (qsizetype i = negative ? 1 : 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c >= u'0' && c <= u'9') {
            ascii[length++] = char(c);
            if (part == Exponent) {
                exponentDigits = true;
                continue;
            }
            if (part == Integer)
                ++integerDigits;
            else
                ++fractionLength;
            if (c == u'0' && leadingZeros)
                continue;
            leadingZeros = false;
            ++significant;
            trailingZeros = c == u'0' ? trailingZeros + 1 : 0;
        } else if (c == decimal.unicode() && part == Integer && integerDigits > 0) {
            ascii[length++] = '.';
            part = Fraction;
        } else if ((c == u'e' || c == u'E') && part != Exponent && integerDigits > 0) {
            ascii[length++] = 'e';
            part = Exponent;
            if (i + 1 < text.size() && (text[i + 1] == u'+' || text[i + 1] == u'-'))
                ascii[length++] = char(text[++i].unicode());
        } else {
            return excel::Cell(text);
        }
    }
    if (integerDigits == 0 || (part == Exponent && !exponentDigits) || significant - trailingZeros > spreadsheetDigits)
        return excel::Cell(text);
    double value = 0;
    const auto parsed = std::from_chars(ascii, ascii + length, value);
    if (parsed.ec != std::errc() || parsed.ptr != ascii + length || !std::isfinite(value) || (value == 0 && negative))
        return excel::Cell(text);
    // Beyond 15 integer digits a double's neighbours are more than 1 apart:
    // only the text's own integer will do (10^18 is one, 2^53 + 1 is not).
    if (part != Exponent && integerDigits > spreadsheetDigits) {
        int first = 0;
        while (first < integerDigits - 1 && ascii[first] == '0')
            ++first;
        if (QByteArray::number(value, 'f', 0) != QByteArrayView(ascii + first, integerDigits - first))
            return excel::Cell(text);
    }
    if (negative)
        value = -value;

    QString format;
    if (part == Exponent)
        format = decimalsCode(fractionLength) + QStringLiteral("E+00");
    else if (shape == NumberShape::Decimal)
        format = decimalsCode(fractionLength);
    return excel::Cell(excel::Cell::Number, text, value, format);
}

excel::Cell dateCell(const ValueText &text, const QDate &date)
{
    const QString shown = text.date(date.year(), date.month(), date.day());
    const QString format = text.dateFormat();
    if (format.isEmpty())
        return excel::Cell(shown);
    return excel::Cell(excel::Cell::Date, shown, double(date.toJulianDay() - spreadsheetDayZero), format);
}

excel::Cell timeCell(const ValueText &text, unsigned tenThousandths)
{
    const unsigned seconds = tenThousandths / 10000;
    const QString shown = text.time(int(seconds / 3600), int(seconds / 60 % 60), int(seconds % 60), int(tenThousandths % 10000));
    const QString format = text.timeFormat(fractionDigits(tenThousandths));
    // A time past midnight is a damaged value, shown as its text reads.
    if (format.isEmpty() || tenThousandths >= ticksPerDay)
        return excel::Cell(shown);
    return excel::Cell(excel::Cell::Time, shown, dayFraction(tenThousandths), format);
}

excel::Cell timestampCell(const ValueText &text, const QDate &date, unsigned tenThousandths)
{
    const excel::Cell day = dateCell(text, date);
    const excel::Cell time = timeCell(text, tenThousandths);
    const QString shown = day.text + u' ' + time.text;
    // Spreadsheets show a date and time from the number's first 15 digits:
    // the day's digits and the fraction of a second shown must fit in them
    // (a day takes up to 5 digits more than a second). 9999-12-31
    // 23:59:59.9999 would show as the next day.
    int dayDigits = 1;
    for (qint64 days = std::abs(qint64(day.number)); days >= 10; days /= 10)
        ++dayDigits;
    if (day.isText() || time.isText() || dayDigits + fractionDigits(tenThousandths) + 5 > spreadsheetDigits)
        return excel::Cell(shown);
    return excel::Cell(excel::Cell::Date, shown, day.number + time.number, text.timestampFormat(fractionDigits(tenThousandths)));
}

excel::Cell booleanCell(bool value)
{
    return excel::Cell(excel::Cell::Boolean, ValueText::boolean(value), value ? 1 : 0);
}

} // namespace dbaccess
