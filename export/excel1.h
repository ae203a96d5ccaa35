#pragma once

// Module Excel1: worksheet names from table names.

#include <QString>
#include <functional>

namespace Excel1 {

// The rows and columns of a worksheet in the workbook formats users save to.
inline constexpr int worksheetRowLimit = 1048576;
inline constexpr int worksheetColumnLimit = 16384;

// Removes every '[' and ']' and keeps the first 30 characters, never half
// of one.
QString CleanSheetName(const QString &name);

// The candidate for numbering n (1 and up) of a base name: the base cut short
// enough that base and number together keep within 30 characters, which
// CleanSheetName leaves whole, so numbered names stay distinct. Where the
// name reaches 30 characters and the kept base ends on a digit, "_" parts
// base and number.
QString numberedCandidate(const QString &base, int n);

} // namespace Excel1
