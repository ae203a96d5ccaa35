#pragma once

// Which cell a value becomes, by its column's declared type: a number, date,
// time or boolean cell where the spreadsheet's number holds the value as its
// text states it, else the text. The text is the one ValueText writes, so
// what a cell shows never differs from what a text-only target writes.
// Pure, no Firebird.

#include "spreadsheet_cell.h"
#include "value_text.h"

#include <QDate>
#include <QString>

namespace dbaccess {

enum class NumberShape {
    // NUMERIC, DECIMAL, the integers, DECFLOAT: the text's decimals are part
    // of the value ("50.00"), and the format keeps them.
    Decimal,
    // FLOAT and DOUBLE PRECISION: the text shows the significant digits
    // only, as the spreadsheet's general format does.
    Binary,
};

// A number cell when the text (as ValueText writes it: "-", digits, the
// decimal separator, an exponent for Binary) states at most 15 significant
// digits that a double holds; otherwise a text cell. Infinities, NaN and a
// negative zero stay text: a spreadsheet shows none of them as written.
excel::Cell numberCell(const QString &text, QChar decimal, NumberShape shape);

// Date and time cells with the formats that show them as ValueText writes
// them; tenThousandths of a second since midnight, as Firebird keeps times.
// A date and time whose fraction of a second needs more than a
// spreadsheet's 15 digits beside its day (ten-thousandths after the year
// 4637) stays text.
excel::Cell dateCell(const ValueText &text, const QDate &date);
excel::Cell timeCell(const ValueText &text, unsigned tenThousandths);
excel::Cell timestampCell(const ValueText &text, const QDate &date, unsigned tenThousandths);
excel::Cell booleanCell(bool value);

} // namespace dbaccess
