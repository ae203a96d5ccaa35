#pragma once

#include "spreadsheet_automation.h"

#include <QString>
#include <functional>

class ExportWindow;

// What becomes of the workbook once every table is in it.
using WorkbookDelivery = std::function<void(excel::Application &application, excel::Workbook &workbook)>;

// "Finish": copies every ticked entry's table of the database the connection
// string names into a worksheet of its own in a new workbook, then shows the
// workbook.
void runExport(ExportWindow &window, const QString &connectionString);
// The same export, with the finished workbook handed to deliver instead of
// shown (a run without windows stores it).
void runExport(ExportWindow &window, const QString &connectionString, WorkbookDelivery deliver);

// The query that selects exactly the named table, whatever characters the
// name holds.
QString selectAllQuery(const QString &tableName);

// The progress texts of the bar.
QString tableProgressText(const QString &name);
QString rowProgressText(const QString &name, int row, int rows);
QString cellProgressText(const QString &name, int row, int rows, int field, int fields);
