#pragma once

#include <QString>

namespace IsInstalled {

// Tries to start the spreadsheet application once; when it cannot be
// started, shows what to check and ends the program.
void CheckExcelInstalled();

// The advice shown before the program ends.
QString spreadsheetMissingAdvice();

} // namespace IsInstalled
