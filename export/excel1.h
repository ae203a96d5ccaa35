#pragma once

// Module Excel1: worksheet names from table names.

#include <QString>
#include <functional>

namespace Excel1 {

// The rows and columns of a worksheet in the workbook formats users save to.
inline constexpr int worksheetRowLimit = 1048576;
inline constexpr int worksheetColumnLimit = 16384;

// Removes every '[' and ']' and keeps the first 30 characters.
QString CleanSheetName(const QString &name);

// The candidate for numbering n of a base name: the base cut short enough
// that base and number together keep within 30 characters, which
// CleanSheetName leaves whole, so numbered names stay distinct.
QString numberedCandidate(const QString &base, int n);

} // namespace Excel1
