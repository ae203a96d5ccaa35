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

// What a cell holds as Calc has it: its type, a number cell's number (dates
// and times as days since 30 December 1899), and the text it shows under its
// number format.
struct ShownCell {
    enum Type { Empty, Value, Text, Formula };
    Type type = Empty;
    double value = 0;
    QString shown;
};
QList<QList<ShownCell>> shownCells(const excel::Application &application, const QString &sheetName, int firstRow,
                                   int firstColumn, int rowCount, int columnCount);
// The same of a sheet of a workbook file, opened hidden in the application's
// office and closed again.
QList<QList<ShownCell>> fileShownCells(const excel::Application &application, const QString &fileName,
                                       const QString &sheetName, int rowCount, int columnCount);

// What Calc computes for a formula in its English spelling ("=SUM(B2:B9)"),
// entered into a cell of the sheet right of everything else and removed
// again.
double formulaResult(const excel::Application &application, const QString &sheetName, const QString &formula);

// Calc's own ascending sort of the rows firstRow to lastRow of one column
// (from 1), that column alone.
void sortColumnByCalc(const excel::Application &application, const QString &sheetName, int column, int firstRow,
                      int lastRow);

// In hundredths of a millimetre, columns from 1.
QList<int> columnWidths(const excel::Application &application, const QString &sheetName, int firstColumn,
                        int columnCount);

// Has Calc itself set the columns to their optimal width, measuring every
// cell, and returns the widths as columnWidths does: the yardstick for the
// widths the component's AutoFit sets.
QList<int> fitColumnsByCalc(const excel::Application &application, const QString &sheetName, int firstColumn,
                            int columnCount);

// A workbook as a user finds it: its worksheets in tab order, each with the
// values of its used area from A1 (as cellValues gives them), the texts
// those cells show, and the widths of those columns.
struct SheetContents {
    QString name;
    QList<QVariantList> cells;
    QList<QStringList> shown;
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
