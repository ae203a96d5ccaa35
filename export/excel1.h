#pragma once

// Module Excel1: worksheet names from table names.

#include <QString>
#include <functional>

namespace Excel1 {

// The rows and columns of a worksheet in the workbook formats users save to.
inline constexpr int worksheetRowLimit = 1048576;
inline constexpr int worksheetColumnLimit = 16384;

// The name a table whose name leaves nothing to show gets.
inline const QString unnamedSheetWord = QStringLiteral("Table");

// A name every worksheet can hold: every '[' and ']' removed, each of
// \ / ? * : replaced by '_', the first 30 characters kept (never half of
// one), apostrophes at either end dropped; unnamedSheetWord when nothing is
// left.
QString CleanSheetName(const QString &name);

// The candidate for numbering n (1 and up) of a base name: the base cut short
// enough that base and number together keep within 30 characters, which
// CleanSheetName leaves whole, so numbered names stay distinct. Where the
// name reaches 30 characters and the kept base ends on a digit, "_" parts
// base and number.
QString numberedCandidate(const QString &base, int n);

} // namespace Excel1
