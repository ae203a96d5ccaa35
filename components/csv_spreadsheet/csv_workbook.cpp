#include "csv_workbook.h"

#include "register_csv_spreadsheet.h"

namespace csv {

// The files are one export: every file is complete before the first takes
// its name, and a name that cannot be given puts back what the names held.
void CsvWorkbook::SaveAs(const QString &fileName)
{
    for (const auto &sheet : sheets())
        sheet->finish();
    std::size_t replaced = 0;
    try {
        for (; replaced < sheets().size(); ++replaced)
            sheets()[replaced]->replace(csvSheetFileName(fileName, sheets()[replaced]->name()));
    } catch (const components::ComponentError &) {
        while (replaced > 0)
            sheets()[--replaced]->restorePrevious();
        throw;
    }
}

void CsvApplication::setVisible(bool)
{
    throw components::ComponentError(QStringLiteral("A workbook of CSV files cannot be shown."));
}

} // namespace csv
