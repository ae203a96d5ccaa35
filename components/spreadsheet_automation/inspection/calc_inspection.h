#pragma once

// Reads back what Calc holds, for tests: what a user would see in the
// workbook that an excel::Application of ours created last. Cells still
// waiting in the application's buffer are not sent first, so a test sees
// exactly what has reached Calc. Every function throws
// components::ComponentError when the application is not ours or holds no
// workbook.

#include "spreadsheet_automation.h"

#include <QList>
#include <QStringList>
#include <QVariant>

namespace calc_inspection {

// In tab order, left to right.
QStringList sheetNames(const excel::Application &application);
QString activeSheetName(const excel::Application &application);

// A rectangle of cells of the named sheet, row and column from 1. A text
// cell gives a QString, a number cell a double (so a text re-read as a
// number shows), an empty cell an empty QString.
QList<QVariantList> cellValues(const excel::Application &application, const QString &sheetName, int firstRow,
                               int firstColumn, int rowCount, int columnCount);

// In hundredths of a millimetre, columns from 1.
QList<int> columnWidths(const excel::Application &application, const QString &sheetName, int firstColumn,
                        int columnCount);

// Has Calc itself set the columns to their optimal width, measuring every
// cell, and returns the widths as columnWidths does: the yardstick for the
// widths the component's AutoFit sets.
QList<int> fitColumnsByCalc(const excel::Application &application, const QString &sheetName, int firstColumn,
                            int columnCount);

// A workbook as a user finds it: its worksheets in tab order, each with the
// values of its used area from A1 (as cellValues gives them) and the widths
// of those columns.
struct SheetContents {
    QString name;
    QList<QVariantList> cells;
    QList<int> widths;
};
QList<SheetContents> workbookContents(const excel::Application &application);
// The same of a workbook file, opened hidden in the application's office and
// closed again.
QList<SheetContents> fileContents(const excel::Application &application, const QString &fileName);

bool windowVisible(const excel::Application &application);

// The leader of the office's own process group: kill(-id, SIGKILL) ends the
// whole office, and the group is gone once the office has ended.
qint64 officeProcessId(const excel::Application &application);

} // namespace calc_inspection
