#pragma once

// What one cell of a worksheet holds. The database side decides it from the
// column's declared type; every spreadsheet (Calc, the files the command line
// writes) takes the same cell, so a number is a number everywhere.

#include <QString>

namespace excel {

struct Cell {
    enum Kind {
        // Literal text, never read as a number, a date or a formula.
        Text,
        // A number the spreadsheet's double holds exactly as the text states it.
        Number,
        // A date, or a date with a time of day: days since 1899-12-30, the
        // time of day as the fraction.
        Date,
        // A time of day alone: the fraction of a day, from 0 up to 1.
        Time,
        // number is 1 for true, 0 for false.
        Boolean,
    };

    Kind kind = Text;
    // For Text the content. For every other kind the text the value shows
    // as, in the user's locale: what a writer that holds only text writes,
    // what a target that cannot hold the value (a date outside its
    // calendar) falls back to, and what the column widths are measured by.
    QString text;
    double number = 0;
    // The number format, in the en-US spelling that Excel files store and
    // Calc reads back ("0.00", "DD.MM.YYYY HH:MM:SS.0000"), under which the
    // value shows as `text` does; empty for the spreadsheet's general format.
    QString format;

    Cell() = default;
    // Text cells are what most callers write (headers, placeholders): a text
    // converts to one.
    Cell(QString literal) : text(std::move(literal)) {}
    Cell(const char *literal) : text(QString::fromUtf8(literal)) {}
    Cell(Kind kind, QString shown, double number, QString format = {})
        : kind(kind), text(std::move(shown)), number(number), format(std::move(format))
    {
    }

    bool isText() const { return kind == Text; }
};

} // namespace excel
