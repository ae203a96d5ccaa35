#pragma once

class QString;

// Registers "Excel.Application" (excel::ApplicationClass) as workbooks
// written straight into an .xlsx file, without any office. The file and
// everything made on the way take shape in workingFolder, which must be the
// folder the workbook is saved to: saving renames the file into place.
void registerXlsxSpreadsheetComponents(const QString &workingFolder);
