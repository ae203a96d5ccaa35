#include "engine_text_forms.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace ods {

QByteArray exactNumberText(__int128 number, int scale)
{
    const bool negative = number < 0;
    unsigned __int128 magnitude = negative ? -static_cast<unsigned __int128>(number) : number;
    QByteArray digits;
    do {
        digits.prepend(char('0' + int(magnitude % 10)));
        magnitude /= 10;
    } while (magnitude != 0);
    if (scale < 0) {
        while (digits.size() <= -scale)
            digits.prepend('0');
        digits.insert(digits.size() + scale, '.');
    } else {
        digits.append(QByteArray(scale, '0'));
    }
    return negative ? '-' + digits : digits;
}

// The engine prints with C's formats and, where the result is too wide,
// prints again with as many fewer digits as it overran, at most twice.
bool approximateNumberText(double number, bool isDouble, int scale, int width, QByteArray &text)
{
    constexpr int widest = 23;   // "-1.234567890123456E-300"
    width = std::min(width, widest);
    char printed[64] = {};
    int length = -1;
    if (isDouble && scale < 0) {
        length = std::snprintf(printed, sizeof printed, "%- #*.*f", width, -scale, number);
        if (length <= 0 || length > width)
            length = -1;
    }
    if (length == -1) {
        int precision = isDouble ? 16 : 8;
        length = std::snprintf(printed, 50, "%- #*.*g", width, precision, number);
        if (length <= 0 || length >= 50)
            return false;
        for (int attempt = 0; attempt < 2 && length > width; ++attempt) {
            precision -= length - width;
            if (precision < 2)
                return false;
            length = std::snprintf(printed, attempt == 0 ? 50 : widest + 1, "%- #*.*g", width, precision, number);
            if (length <= 0 || (attempt == 0 && length >= 50) || (attempt == 1 && length > width))
                return false;
        }
        printed[widest] = '\0';
    }
    if (const char *blank = std::strchr(printed + 1, ' '))
        length = int(blank - printed);
    // A number that is not negative leaves its sign's place blank.
    if (number < 0)
        text = QByteArray(printed, length);
    else
        text = QByteArray(printed + 1, std::max(length - 1, 0));
    return true;
}

QByteArray dateText(int32_t day)
{
    // Days from 1 March of year 0 in the proleptic Gregorian calendar.
    const int64_t days = int64_t(day) + 678881;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t dayOfEra = days - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
    const int64_t dayOfMonth = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
    const int64_t month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
    const int64_t year = yearOfEra + era * 400 + (month <= 2);
    char text[32];
    std::snprintf(text, sizeof text, "%4.4d-%2.2d-%2.2d", int(year), int(month), int(dayOfMonth));
    return text;
}

QByteArray timeText(uint32_t time)
{
    char text[32];
    std::snprintf(text, sizeof text, "%2.2u:%2.2u:%2.2u.%4.4u", time / 36000000, time / 600000 % 60,
                  time / 10000 % 60, time % 10000);
    return text;
}

} // namespace ods
