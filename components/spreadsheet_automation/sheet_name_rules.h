#pragma once

#include <QString>
#include <QStringList>

namespace calc {

// Calc accepts sheet names that the .xlsx and .xls formats cannot store
// (longer than 31 characters), and refuses others without a word, so the
// rules of the formats users save to are checked here, before Calc sees the
// name. Returns why the name cannot be given, written for the user, or an
// empty text when it can. otherNames are the names of the workbook's other
// sheets: a sheet may take its own name in another case.
QString sheetNameRefusal(const QString &name, const QStringList &otherNames);

inline constexpr int maximumSheetNameLength = 31;

} // namespace calc
