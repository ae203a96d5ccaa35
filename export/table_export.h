#pragma once

#include "login.h"
#include "spreadsheet_automation.h"

#include <QString>
#include <functional>
#include <memory>
#include <vector>

class ExportWindow;

// What became of one ticked table that the export reached.
struct TableResult {
    QString table;
    // The worksheets it took, its continuation sheets after the first; given
    // while the workbook is delivered, and empty afterwards.
    std::vector<std::shared_ptr<excel::Worksheet>> sheets;
    long records = -1; // as the database counted them; -1: never learnt
    long recordsWritten = 0;
    // Something of the table failed, said or not: its sheets may lack
    // records or cells, or hold none.
    bool failed = false;
    // Cells sent on their way never reached a sheet.
    bool cellsLost = false;

    // Every record is on the table's sheets, each with all its cells. A
    // table can fail and still be whole: a value the database could not
    // compute, a text longer than a cell holds, a refused sheet name.
    bool whole() const { return records >= 0 && recordsWritten == records && !cellsLost; }
};

struct ExportResults {
    std::vector<TableResult> tables;
    // A failure outside every table: before the first, or after the last.
    bool otherFailures = false;
    // The workbook reached its user: shown, or handed on whole.
    bool delivered = false;
};

// What becomes of the workbook once every table is in it; it may still take
// out the sheets of the tables that failed.
using WorkbookDelivery =
    std::function<void(excel::Application &application, excel::Workbook &workbook, const ExportResults &results)>;

// "Finish": copies every ticked entry's table of the database the login names
// into a worksheet of its own in a new workbook, then shows the
// workbook.
ExportResults runExport(ExportWindow &window, const dbaccess::Login &login);
// The same export, with the finished workbook handed to deliver instead of
// shown (a run without windows stores it).
ExportResults runExport(ExportWindow &window, const dbaccess::Login &login, WorkbookDelivery deliver);

// The progress texts of the bar.
QString tableProgressText(const QString &name);
QString rowProgressText(const QString &name, int row, int rows);
QString cellProgressText(const QString &name, int row, int rows, int field, int fields);
