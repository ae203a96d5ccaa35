#pragma once

class QString;

// Registers "Excel.Application" (excel::ApplicationClass) as workbooks whose
// worksheets become CSV files, one per worksheet, written while the cells
// come in. Their files take shape in workingFolder, which must be the folder
// the workbook is saved to: saving renames them into place.
void registerCsvSpreadsheetComponents(const QString &workingFolder);

// The file a worksheet of a workbook saved as fileName becomes: beside it,
// its name without the extension, "_", the worksheet's name, ".csv".
QString csvSheetFileName(const QString &fileName, const QString &sheetName);
