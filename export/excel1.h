#pragma once

// Module Excel1: worksheet names from table names.

#include "worksheet_rules.h"

#include <QString>

namespace Excel1 {

// Cleaned names keep one character below the limit, as they always have.
inline constexpr int cleanSheetNameLength = excel::sheetNameLengthLimit - 1;

// The name a table whose name leaves nothing to show gets.
inline const QString unnamedSheetWord = QStringLiteral("Table");

// A name every worksheet can hold: every '[' and ']' removed, each other
// character a worksheet name cannot contain replaced by '_', the first
// cleanSheetNameLength characters kept (never half of one), apostrophes at
// either end dropped; unnamedSheetWord when nothing is left.
QString CleanSheetName(const QString &name);

// The candidate for numbering n (1 and up) of a base name: the base cut short
// enough that base and number together keep within cleanSheetNameLength
// characters, which CleanSheetName leaves whole, so numbered names stay
// distinct. Where the name reaches that length and the kept base ends on a digit, "_" parts
// base and number.
QString numberedCandidate(const QString &base, int n);

} // namespace Excel1
