#include "value_text.h"

#include <QDate>

namespace dbaccess {

namespace {

using Part = ValueText::Part;

// Splits a Qt date or time pattern into parts. Unknown letters and quoted
// text are literal; a time zone has no place in a Firebird value.
std::vector<Part> compilePattern(const QString &pattern)
{
    std::vector<Part> parts;
    const auto literal = [&](const QString &text) {
        if (!parts.empty() && parts.back().kind == Part::Literal)
            parts.back().literal += text;
        else
            parts.push_back({Part::Literal, 0, text});
    };
    bool twelveHour = pattern.contains(u'a', Qt::CaseInsensitive);
    qsizetype i = 0;
    while (i < pattern.size()) {
        const QChar c = pattern[i];
        qsizetype run = 1;
        while (i + run < pattern.size() && pattern[i + run] == c)
            ++run;
        if (c == u'\'') {
            const qsizetype close = pattern.indexOf(u'\'', i + 1);
            if (close == i + 1) { // '' is a quote
                literal(QStringLiteral("'"));
                i += 2;
            } else {
                const qsizetype end = close < 0 ? pattern.size() : close;
                literal(pattern.mid(i + 1, end - i - 1));
                i = end + 1;
            }
            continue;
        }
        const int width = int(qMin<qsizetype>(run, 2));
        switch (c.unicode()) {
        case u'd':
            parts.push_back(run >= 3 ? Part{Part::DayName, run == 3 ? int(QLocale::ShortFormat) : int(QLocale::LongFormat), {}}
                                     : Part{Part::Day, width, {}});
            break;
        case u'M':
            parts.push_back(run >= 3 ? Part{Part::MonthName, run == 3 ? int(QLocale::ShortFormat) : int(QLocale::LongFormat), {}}
                                     : Part{Part::Month, width, {}});
            break;
        case u'y': parts.push_back({Part::Year, 4, {}}); break;
        case u'h': parts.push_back({twelveHour ? Part::Hour12 : Part::Hour24, width, {}}); break;
        case u'H': parts.push_back({Part::Hour24, width, {}}); break;
        case u'm': parts.push_back({Part::Minute, 2, {}}); break;
        case u's': parts.push_back({Part::Second, 2, {}}); break;
        case u'a':
        case u'A':
            parts.push_back({Part::AmPm, c == u'A' ? 1 : 0, {}});
            if (i + run < pattern.size() && pattern[i + run].toLower() == u'p')
                ++run;
            break;
        case u'z':
        case u't':
            // Fractions come after the seconds anyway; drop a blank before a zone.
            if (c == u't' && !parts.empty() && parts.back().kind == Part::Literal)
                parts.back().literal = parts.back().literal.trimmed();
            break;
        default: literal(QString(run, c)); break;
        }
        i += run;
    }
    if (!parts.empty() && parts.back().kind == Part::Literal && parts.back().literal.trimmed().isEmpty())
        parts.pop_back();
    return parts;
}

// Short time patterns often stop at the minutes ("HH:mm", "h:mm AP"); the
// cell must show the seconds, with the separator the pattern already uses.
void ensureSeconds(std::vector<Part> &parts)
{
    for (const auto &part : parts)
        if (part.kind == Part::Second)
            return;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (parts[i].kind != Part::Minute)
            continue;
        QString separator = QStringLiteral(":");
        if (i > 0 && parts[i - 1].kind == Part::Literal)
            separator = parts[i - 1].literal;
        parts.insert(parts.begin() + i + 1, {Part{Part::Literal, 0, separator}, Part{Part::Second, 2, {}}});
        return;
    }
    parts.push_back({Part::Literal, 0, QStringLiteral(":")});
    parts.push_back({Part::Second, 2, {}});
}

void appendNumber(QString &out, int value, int width)
{
    if (width >= 2 && value < 10)
        out += u'0';
    if (width >= 4) {
        if (value < 1000) out += u'0';
        if (value < 100) out += u'0';
    }
    out += QString::number(value);
}

// The parts as a format code; empty when one of them has no code that
// shows what the text shows. Literals are escaped character by character,
// so that no locale's conversion of the code turns a "/" or "." into its
// own separator; a ":" stays a time separator, which keeps "MM" next to it
// read as minutes.
QString formatCode(const std::vector<Part> &parts, const QLocale &locale, int fractionDigits)
{
    QString code;
    for (const auto &part : parts) {
        switch (part.kind) {
        case Part::Day: code += part.width >= 2 ? u"DD" : u"D"; break;
        case Part::Month: code += part.width >= 2 ? u"MM" : u"M"; break;
        case Part::Year: code += u"YYYY"; break;
        case Part::DayName: code += part.width == int(QLocale::LongFormat) ? u"DDDD" : u"DDD"; break;
        case Part::MonthName: code += part.width == int(QLocale::LongFormat) ? u"MMMM" : u"MMM"; break;
        case Part::Hour12:
        case Part::Hour24: code += part.width >= 2 ? u"HH" : u"H"; break;
        case Part::Minute: code += u"MM"; break;
        case Part::Second:
            code += u"SS";
            if (fractionDigits > 0)
                code += u'.' + QString(fractionDigits, u'0');
            break;
        case Part::AmPm:
            // Spreadsheets write their own AM and PM, upper case.
            if (part.width == 0 || locale.amText().toUpper() != u"AM" || locale.pmText().toUpper() != u"PM")
                return {};
            code += u"AM/PM";
            break;
        case Part::Literal:
            for (const QChar c : part.literal) {
                if (c != u':' && c != u' ')
                    code += u'\\';
                code += c;
            }
            break;
        }
    }
    return code;
}

} // namespace

ValueText::ValueText(const QLocale &locale)
    : m_locale(locale)
    , m_decimal(locale.decimalPoint().isEmpty() ? QChar(u'.') : locale.decimalPoint().front())
    , m_date(compilePattern(locale.dateFormat(QLocale::ShortFormat)))
    , m_time(compilePattern(locale.timeFormat(QLocale::ShortFormat)))
{
    ensureSeconds(m_time);
    m_dateFormat = formatCode(m_date, m_locale, 0);
    for (int digits = 0; digits < int(m_timeFormats.size()); ++digits) {
        m_timeFormats[std::size_t(digits)] = formatCode(m_time, m_locale, digits);
        if (!m_dateFormat.isEmpty() && !m_timeFormats[std::size_t(digits)].isEmpty())
            m_timestampFormats[std::size_t(digits)] = m_dateFormat + u' ' + m_timeFormats[std::size_t(digits)];
    }
}

QString ValueText::exactNumber(std::int64_t unscaled, int scale) const
{
    const bool negative = unscaled < 0;
    // Through unsigned, so the most negative value has a magnitude too.
    const std::uint64_t magnitude = negative ? 0 - std::uint64_t(unscaled) : std::uint64_t(unscaled);
    return scaled(QString::number(magnitude), negative, scale);
}

QString ValueText::exactWideNumber(__int128 unscaled, int scale) const
{
    const bool negative = unscaled < 0;
    unsigned __int128 magnitude = negative ? 0 - static_cast<unsigned __int128>(unscaled) : static_cast<unsigned __int128>(unscaled);
    char buffer[48];
    char *end = buffer + sizeof buffer;
    char *at = end;
    do {
        *--at = char('0' + int(magnitude % 10));
        magnitude /= 10;
    } while (magnitude != 0);
    return scaled(QString::fromLatin1(at, end - at), negative, scale);
}

QString ValueText::scaled(QString digits, bool negative, int scale) const
{
    if (scale < 0) {
        const int decimals = -scale;
        if (digits.size() <= decimals)
            digits.prepend(QString(decimals - digits.size() + 1, u'0'));
        digits.insert(digits.size() - decimals, m_decimal);
    }
    if (negative)
        digits.prepend(u'-');
    return digits;
}

QString ValueText::floating(double value) const
{
    return significant(value, 15);
}

QString ValueText::single(float value) const
{
    return significant(value, 7);
}

QString ValueText::significant(double value, int digits) const
{
    QString text = QString::number(value, 'g', digits);
    if (m_decimal != u'.')
        text.replace(u'.', m_decimal);
    return text;
}

QString ValueText::date(int year, int month, int day) const
{
    QString out;
    out.reserve(10);
    for (const auto &part : m_date) {
        switch (part.kind) {
        case Part::Day: appendNumber(out, day, part.width); break;
        case Part::Month: appendNumber(out, month, part.width); break;
        case Part::Year: appendNumber(out, year, 4); break;
        case Part::MonthName: out += m_locale.monthName(month, QLocale::FormatType(part.width)); break;
        case Part::DayName: out += m_locale.dayName(QDate(year, month, day).dayOfWeek(), QLocale::FormatType(part.width)); break;
        case Part::Literal: out += part.literal; break;
        default: break;
        }
    }
    return out;
}

QString ValueText::time(int hour, int minute, int second, int tenThousandths) const
{
    QString out;
    out.reserve(16);
    for (const auto &part : m_time) {
        switch (part.kind) {
        case Part::Hour24: appendNumber(out, hour, part.width); break;
        case Part::Hour12: appendNumber(out, hour % 12 == 0 ? 12 : hour % 12, part.width); break;
        case Part::Minute: appendNumber(out, minute, 2); break;
        case Part::Second:
            appendNumber(out, second, 2);
            if (tenThousandths != 0) {
                QString fraction = QString::number(tenThousandths).rightJustified(4, u'0');
                while (fraction.endsWith(u'0'))
                    fraction.chop(1);
                out += m_decimal;
                out += fraction;
            }
            break;
        case Part::AmPm: {
            QString text = hour < 12 ? m_locale.amText() : m_locale.pmText();
            out += part.width ? text.toUpper() : text.toLower();
            break;
        }
        case Part::Literal: out += part.literal; break;
        default: break;
        }
    }
    return out;
}

QString ValueText::timestamp(int year, int month, int day, int hour, int minute, int second, int tenThousandths) const
{
    return date(year, month, day) + u' ' + time(hour, minute, second, tenThousandths);
}

QString ValueText::boolean(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

QString ValueText::binary(QByteArrayView bytes)
{
    return QString::fromLatin1(bytes.toByteArray().toHex().toUpper());
}

} // namespace dbaccess
