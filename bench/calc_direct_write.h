#pragma once

// Writing straight to Calc over UNO, without the component: the yardstick
// the component is measured against. Benchmarks only.

#include "spreadsheet_automation.h"
#include "spreadsheet_write_rate.h"

#include <vector>

namespace spreadsheet_bench {

// One bulk call per block of blockRows rows into the application's last
// workbook's sheet of that name.
WriteRate writeDirectInBlocks(const excel::Application &application, const QString &sheetName, int rows,
                              int columns, int blockRows);

// Calc taking in cells made beforehand: every block of blockRows rows is
// turned into the call's own values and number formats before the clock
// starts, so only the calls that set them are timed. The rows go into the
// sheet from its first row on.
WriteRate ingestPremadeInBlocks(const excel::Application &application, const QString &sheetName,
                                const std::vector<std::vector<excel::Cell>> &rows, int blockRows);

// One call per cell, as a naive automation client writes.
WriteRate writeDirectCellByCell(const excel::Application &application, const QString &sheetName, int rows,
                                int columns);

} // namespace spreadsheet_bench
