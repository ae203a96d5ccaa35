#pragma once

// An .xlsx file read from its XML, as any reader of the format takes it,
// for tests of what the files hold beyond what Calc shows.

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <utility>

namespace testing_support {

// A worksheet: each cell as its kind and value ("text:..." for a string in
// the cell, "number:..." for a value, as numberCell() writes it; a boolean
// is a value too; "shared string" for a string kept apart), and the number
// format of every cell that has one; rows and columns from 1.
struct XlsxSheetXml {
    QString name;
    QMap<std::pair<int, int>, QString> cells;
    QMap<std::pair<int, int>, QString> formats;
    // The cells the file marks as booleans.
    QList<std::pair<int, int>> booleans;
};

QString numberCell(double value);

// In tab order; empty when the file cannot be read.
QList<XlsxSheetXml> xlsxSheets(const QString &file);

// One part of the file as it is stored ("xl/styles.xml"); empty when there
// is none.
QByteArray xlsxPart(const QString &file, const QString &part);

} // namespace testing_support
