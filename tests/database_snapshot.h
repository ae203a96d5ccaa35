#pragma once

// Everything a user can export from a database, read through the ADODB
// objects the way the export reads it: the tables catalogue, then each
// table's fields, record count and cells. For comparing the paths that read
// the same database.

#include "database_access.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace db_test {

struct TableSnapshot {
    QString name;
    QString type;
    std::vector<QString> fieldNames;
    std::vector<int> fieldTypes;
    long recordCount = 0;
    std::vector<std::vector<ado::Value>> rows;
    QString failure; // the description when reading the table failed
    // Cells that failed to read, kept as null: each distinct description once.
    QStringList cellFailures;
};

struct DatabaseSnapshot {
    std::vector<TableSnapshot> tables;
};

// The tables whose cells are read; the others are listed only.
using TableFilter = std::function<bool(const QString &name, const QString &type)>;

DatabaseSnapshot snapshot(ado::Connection &connection, const TableFilter &readCells);

// For each table the first difference between two snapshots, and
// differences of the catalogue; empty when they are equal.
QStringList differences(const DatabaseSnapshot &expected, const DatabaseSnapshot &actual);

// A copy in `folder` of a legacy fixture the build unpacked from tests/data/legacy.
QString legacyFixture(const QString &name, const QString &folder);

} // namespace db_test
