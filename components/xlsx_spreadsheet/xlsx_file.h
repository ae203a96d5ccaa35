#pragma once

#include "xlsx_sheet.h"

#include <memory>
#include <vector>

namespace xlsx {

// Writes the sheets, in tab order, into the workbook's file in the making:
// their cells from their spools, their column widths, the active one marked
// as such. Throws ComponentError when the file cannot be written.
void writeWorkbookFile(WorkbookParts &parts, const std::vector<std::shared_ptr<XlsxSheet>> &sheets,
                       const XlsxSheet &active);

} // namespace xlsx
