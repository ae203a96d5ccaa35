#pragma once

// The engine's own text for numbers, dates and times, as it writes them into
// a CHAR or VARCHAR column (a dialect 3 statement's forms).

#include <QByteArray>
#include <cstdint>

namespace ods {

// An integer of the given scale: "-12.34", "0.05", "1200" (scale 2).
QByteArray exactNumberText(__int128 number, int scale);

// A FLOAT or DOUBLE in at most `width` characters: dialect 1's scaled
// doubles with their fixed decimals, otherwise as many significant digits
// as the type holds, fewer when they do not fit; false when not even two
// digits fit.
bool approximateNumberText(double number, bool isDouble, int scale, int width, QByteArray &text);

// "YYYY-MM-DD" of a day counted from 17 November 1858.
QByteArray dateText(int32_t day);

// "HH:MM:SS.FFFF" of a time in ten-thousandths of a second.
QByteArray timeText(uint32_t time);

} // namespace ods
