#pragma once

// An in-memory stand-in for the database access objects, for window logic.

#include "database_access.h"

#include <QStringList>
#include <memory>
#include <set>
#include <vector>

namespace testing_support {

struct FakeColumn {
    QString name;
    int type = ado::adVarChar;
};

struct FakeTable {
    QString name;
    // As the catalogue reports it: "TABLE", "VIEW" or "SYSTEM TABLE".
    QString type = QStringLiteral("TABLE");
    std::vector<FakeColumn> columns;
    std::vector<std::vector<ado::Value>> rows;
    // What its recordset tells of values it could not compute.
    QString warning;
};

struct FakeDatabase {
    std::vector<FakeTable> tables;
    // Operations that throw: "create Connection", "create Recordset",
    // "Open", "OpenSchema", "Eof", "MoveNext", "TABLE_NAME", and per table
    // "query <name>" (opening it), "RecordCount <name>", "count <name>", "Name <name>",
    // "Type <name>", "value <name>", "BLOB <name>" (the value of a long
    // column), "MoveNext <name>", "Eof <name>".
    std::set<QString> failing;
    // When set, the per-table record operations ("value", "BLOB", "MoveNext",
    // "Eof") fail only on this record (from 1).
    int failingRecord = 0;
    // The database has gone away: every call fails as a lost connection.
    bool gone = false;
    // Every call made, in order ("Open <connection string>", "query <sql>",
    // "table <name>", ...).
    QStringList calls;
    // When set, Open accepts only this connection string.
    QString acceptedConnectionString;
    int openConnections = 0;
    // Reported through the connection's preparation progress when a view is
    // first opened, as a file's private copy would be made.
    std::vector<int> viewPreparation;
    std::shared_ptr<ado::PreparationProgress> preparationProgress;

    FakeTable &add(const QString &name, std::vector<FakeColumn> columns = {{QStringLiteral("ID"), ado::adInteger}},
                   int rows = 0);
    void fail(const QString &operation) { failing.insert(operation); }
    bool fails(const QString &operation) const { return failing.count(operation) != 0; }
};

// Registers "ADODB.Connection" and "ADODB.RecordSet" over the given database.
void registerFakeDatabase(const std::shared_ptr<FakeDatabase> &database);

} // namespace testing_support
