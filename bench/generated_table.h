#pragma once

// The benchmarks' generated table BIG: 10 columns of mixed types, about one
// value in fifty a null.

#include "spreadsheet_cell.h"

#include <QString>
#include <vector>

namespace bench_table {

inline constexpr int columns = 10;

// Made with Firebird's own isql-fb, in a process of its own that has ended
// before anyone attaches (the embedded engine opens a file for one process
// only). False, with isql-fb's messages printed, when it fails.
bool createTable(const QString &file, int rows);

// Every cell the export writes: the header row, then the records, typed as
// the export types them.
std::vector<std::vector<excel::Cell>> tableCells(const QString &connectionString);

// The same cells, each as the text it shows: what the export wrote before
// cells were typed.
std::vector<std::vector<excel::Cell>> asTexts(std::vector<std::vector<excel::Cell>> cells);

} // namespace bench_table
