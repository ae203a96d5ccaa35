#include "csv_workbook.h"

#include "register_csv_spreadsheet.h"

namespace csv {

void CsvWorkbook::SaveAs(const QString &fileName)
{
    for (const auto &sheet : sheets())
        sheet->save(csvSheetFileName(fileName, sheet->name()));
}

void CsvApplication::setVisible(bool)
{
    throw components::ComponentError(QStringLiteral("A workbook of CSV files cannot be shown."));
}

} // namespace csv
