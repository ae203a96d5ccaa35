#include "register_xlsx_spreadsheet.h"

#include "registry.h"
#include "xlsx_workbook.h"

void registerXlsxSpreadsheetComponents(const QString &workingFolder)
{
    components::Registry::instance().registerPreparation(excel::ApplicationClass, {});
    components::Registry::instance().registerFactory(
        excel::ApplicationClass, [workingFolder] { return std::make_shared<xlsx::XlsxApplication>(workingFolder); });
}
