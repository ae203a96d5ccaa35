#pragma once

#include <QString>

class Form2;

// "Finish": copies every ticked table of the window's list into a worksheet of
// its own in a new workbook, then shows the workbook.
void runExport(Form2 &window);

// The query that selects exactly the named table, whatever characters the
// name holds.
QString selectAllQuery(const QString &tableName);

// The progress texts of the bar.
QString tableProgressText(const QString &name);
QString rowProgressText(const QString &name, int row, int rows);
QString cellProgressText(const QString &name, int row, int rows, int field, int fields);
