#pragma once

// What a worksheet can hold, in the workbook formats users save to (.xlsx,
// .xls): the one place these limits and rules are written down. Calc accepts
// more than the formats can store, and refuses some names without a word, so
// the component, the export and the test fakes all check against these.

#include <QString>
#include <QStringList>

namespace excel {

// Calc's own limits are the same since 7.4, but the workbook is meant to be
// saved where these hold.
inline constexpr int worksheetRowLimit = 1048576;
inline constexpr int worksheetColumnLimit = 16384;

inline constexpr int sheetNameLengthLimit = 31;

// Characters no worksheet name may contain.
bool isForbiddenInSheetName(QChar c);

// A worksheet name may not begin or end with this character.
inline constexpr QChar sheetNameEdgeForbidden = u'\'';

// Returns why the name cannot be given, written for the user, or an empty
// text when it can. otherNames are the names of the workbook's other sheets:
// a sheet may take its own name in another case.
QString sheetNameRefusal(const QString &name, const QStringList &otherNames);

} // namespace excel
