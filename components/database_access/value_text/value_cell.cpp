#include "value_cell.h"

#include <QByteArray>
#include <cmath>

namespace dbaccess {

namespace {

// What a double holds exactly to the last digit.
constexpr int spreadsheetDigits = 15;
constexpr qint64 spreadsheetDayZero = 2415019; // 30 December 1899, as a Julian day
constexpr unsigned ticksPerDay = 86400u * 10000u;

// "0", or "0." and a zero for each decimal.
QString decimalsCode(int decimals)
{
    return decimals > 0 ? QStringLiteral("0.") + QString(decimals, u'0') : QStringLiteral("0");
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
    QByteArray ascii;
    ascii.reserve(text.size());
    QByteArray integerPart;
    int fractionLength = 0;
    int significant = 0;
    int trailingZeros = 0;
    bool leadingZeros = true;
    enum { Integer, Fraction, Exponent } part = Integer;
    bool exponentDigits = false;
    const bool negative = text.startsWith(u'-');
    for (qsizetype i = negative ? 1 : 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.unicode() >= u'0' && c.unicode() <= u'9') {
            ascii += char(c.unicode());
            if (part == Exponent) {
                exponentDigits = true;
                continue;
            }
            if (part == Integer)
                integerPart += char(c.unicode());
            else
                ++fractionLength;
            if (c == u'0' && leadingZeros)
                continue;
            leadingZeros = false;
            ++significant;
            trailingZeros = c == u'0' ? trailingZeros + 1 : 0;
        } else if (c == decimal && part == Integer && !integerPart.isEmpty()) {
            ascii += '.';
            part = Fraction;
        } else if ((c == u'e' || c == u'E') && part != Exponent && !integerPart.isEmpty()) {
            ascii += 'e';
            part = Exponent;
            if (i + 1 < text.size() && (text[i + 1] == u'+' || text[i + 1] == u'-'))
                ascii += char(text[++i].unicode());
        } else {
            return excel::Cell(text);
        }
    }
    if (integerPart.isEmpty() || (part == Exponent && !exponentDigits) || significant - trailingZeros > spreadsheetDigits)
        return excel::Cell(text);
    bool parsed = false;
    double value = ascii.toDouble(&parsed);
    if (!parsed || !std::isfinite(value) || (value == 0 && negative))
        return excel::Cell(text);
    // Beyond 15 integer digits a double's neighbours are more than 1 apart:
    // only the text's own integer will do (10^18 is one, 2^53 + 1 is not).
    if (part != Exponent && integerPart.size() > spreadsheetDigits) {
        while (integerPart.startsWith('0') && integerPart.size() > 1)
            integerPart.remove(0, 1);
        if (QByteArray::number(value, 'f', 0) != integerPart)
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
    const int dayDigits = int(QString::number(std::abs(qint64(day.number))).size());
    if (day.isText() || time.isText() || dayDigits + fractionDigits(tenThousandths) + 5 > spreadsheetDigits)
        return excel::Cell(shown);
    return excel::Cell(excel::Cell::Date, shown, day.number + time.number, day.format + u' ' + time.format);
}

excel::Cell booleanCell(bool value)
{
    return excel::Cell(excel::Cell::Boolean, ValueText::boolean(value), value ? 1 : 0);
}

} // namespace dbaccess
