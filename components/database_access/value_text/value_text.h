#pragma once

// Database values as the text a user reads in a cell. Pure, no Firebird.

#include <QByteArrayView>
#include <QLocale>
#include <QString>
#include <array>
#include <cstdint>
#include <vector>

namespace dbaccess {

// Built once per recordset from a locale (the system's in the program) and
// then used for every cell, so the locale's patterns are read only once.
// Numbers use plain ASCII digits, "-" and the locale's decimal separator and
// never group digits; dates follow the locale's short date order with the
// year always in four digits; times always show seconds, and the fraction
// of a second when it is not zero.
class ValueText {
public:
    explicit ValueText(const QLocale &locale);

    // unscaled x 10^scale, exactly (scale <= 0): NUMERIC, DECIMAL, BIGINT.
    QString exactNumber(std::int64_t unscaled, int scale) const;
    // The same for INT128 and NUMERIC(38).
    QString exactWideNumber(__int128 unscaled, int scale) const;
    // DOUBLE PRECISION to at most 15 significant digits and FLOAT to at most
    // 7, as spreadsheets and the platform's own conversion show them: the
    // digits beyond are binary noise (0.1 + 0.2 reads "0.3").
    QString floating(double value) const;
    QString single(float value) const;
    QString date(int year, int month, int day) const;
    // tenThousandths: Firebird keeps times to 1/10,000 of a second.
    QString time(int hour, int minute, int second, int tenThousandths) const;
    QString timestamp(int year, int month, int day, int hour, int minute, int second, int tenThousandths) const;
    static QString boolean(bool value);
    // Binary text (CHARACTER SET OCTETS) as Firebird's own tools show it:
    // two uppercase hexadecimal digits a byte.
    static QString binary(QByteArrayView bytes);
    QChar decimalSeparator() const { return m_decimal; }

    // Number format codes, in the en-US spelling spreadsheets store, under
    // which a date or time cell shows what date() and time() write: the
    // locale's order, four-digit years, seconds, and as many digits of the
    // fraction as fractionDigits. Empty where no code shows the same (a
    // lower-case or translated AM/PM).
    // fractionDigits from 0 to 4.
    QString dateFormat() const { return m_dateFormat; }
    QString timeFormat(int fractionDigits) const { return m_timeFormats[std::size_t(fractionDigits)]; }
    QString timestampFormat(int fractionDigits) const { return m_timestampFormats[std::size_t(fractionDigits)]; }

    struct Part {
        enum Kind { Literal, Day, DayName, Month, MonthName, Year, Hour12, Hour24, Minute, Second, AmPm };
        Kind kind;
        int width = 1; // digits, or QLocale::FormatType for names
        QString literal;
    };

private:
    QString significant(double value, int digits) const;
    QString scaled(QString digits, bool negative, int scale) const;

    QLocale m_locale;
    QChar m_decimal;
    std::vector<Part> m_date;
    std::vector<Part> m_time;
    QString m_dateFormat;
    std::array<QString, 5> m_timeFormats;
    std::array<QString, 5> m_timestampFormats;
};

} // namespace dbaccess
