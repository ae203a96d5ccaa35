#pragma once

// The readers' benchmark table BENCH: 10 columns of mixed types, no nulls,
// in a new ODS 12 file of 8 KiB pages made through the embedded engine.

#include <QString>

namespace reader_bench_table {

// Up to 10,000,000 rows; throws Firebird's error when the engine fails.
void create(const QString &file, long rows);

} // namespace reader_bench_table
