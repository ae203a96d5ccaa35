#include "sheet_exists.h"

#include "spreadsheet_automation.h"

bool SheetExists(const QString &name, excel::Workbook &workbook)
{
    excel::Worksheets &sheets = workbook.worksheets();
    const int count = sheets.count();
    const QString wanted = name.toLower();
    for (int k = 1; k <= count; ++k) {
        if (sheets.item(k)->Name().toLower() == wanted)
            return true;
    }
    return false;
}
