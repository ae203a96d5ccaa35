#include "xlsx_workbook.h"

#include "xlsx_file.h"

#include <QDir>
#include <QFileInfo>

namespace xlsx {

void XlsxWorkbook::SaveAs(const QString &fileName)
{
    if (QFileInfo(fileName).suffix().compare(QLatin1String("xlsx"), Qt::CaseInsensitive) != 0)
        throw components::ComponentError(
            QStringLiteral("The workbook cannot be saved as %1: it can be saved as .xlsx only.")
                .arg(QDir::toNativeSeparators(fileName)));
    writeWorkbookFile(*context(), sheets(), activeSheet());
    context()->file().complete(fileName);
}

void XlsxApplication::setVisible(bool)
{
    throw components::ComponentError(QStringLiteral("A workbook written as an .xlsx file cannot be shown."));
}

} // namespace xlsx
