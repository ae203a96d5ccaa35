#pragma once

// The write rate of the spreadsheet component alone, so every benchmark that
// writes to a spreadsheet can print it beside its own figures.

#include "spreadsheet_automation.h"

namespace spreadsheet_bench {

struct WriteRate {
    long long cells = 0;
    double seconds = 0;
    double cellsPerSecond() const { return seconds > 0 ? double(cells) / seconds : 0; }
};

// The text of the benchmark's cell (row, column), the same for every way of
// writing, so the office has the same work each time.
QString cellText(int row, int column);

// Writes rows x columns texts into the sheet cell by cell, row by row, as
// the export does, and times it until Calc holds every cell.
WriteRate writeThroughComponent(excel::Worksheet &sheet, int rows, int columns);

} // namespace spreadsheet_bench
