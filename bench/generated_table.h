#pragma once

// The benchmarks' generated table BIG: 10 columns of mixed types, about one
// value in fifty a null.

#include <QString>
#include <vector>

namespace bench_table {

inline constexpr int columns = 10;

// Made with Firebird's own isql-fb, in a process of its own that has ended
// before anyone attaches (the embedded engine opens a file for one process
// only). False, with isql-fb's messages printed, when it fails.
bool createTable(const QString &file, int rows);

// Every cell the export writes, as text: the header row, then the records.
std::vector<std::vector<QString>> tableTexts(const QString &connectionString);

} // namespace bench_table
