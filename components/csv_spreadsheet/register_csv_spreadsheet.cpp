#include "register_csv_spreadsheet.h"

#include "csv_workbook.h"
#include "registry.h"

#include <QDir>
#include <QFileInfo>

void registerCsvSpreadsheetComponents(const QString &workingFolder)
{
    components::Registry::instance().registerPreparation(excel::ApplicationClass, {});
    components::Registry::instance().registerFactory(
        excel::ApplicationClass, [workingFolder] { return std::make_shared<csv::CsvApplication>(workingFolder); });
}

QString csvSheetFileName(const QString &fileName, const QString &sheetName)
{
    const QFileInfo file(fileName);
    return QDir(file.absolutePath()).filePath(file.completeBaseName() + u'_' + sheetName + QStringLiteral(".csv"));
}
