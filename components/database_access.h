#pragma once

// The ADO-shaped database access objects the program reads the database
// through. Created by name through the registry: "ADODB.Connection" and
// "ADODB.RecordSet". Every member may throw components::ComponentError.

#include "component_error.h"
#include "registry.h"
#include "spreadsheet_cell.h"

#include <QString>
#include <memory>
#include <optional>

namespace ado {

// A field value already converted to text; std::nullopt is the database null.
using Value = std::optional<QString>;

enum CursorLocation { adUseServer = 2, adUseClient = 3 };
enum ConnectMode { adModeReadWrite = 3 };
enum SchemaEnum { adSchemaTables = 20 };
enum ObjectState { adStateClosed = 0, adStateOpen = 1 };

// Type codes as the Firebird ODBC driver reports them through ADO.
enum DataType {
    adSmallInt = 2,
    adInteger = 3,
    adSingle = 4,
    adDouble = 5,
    adBoolean = 11,
    adBigInt = 20,
    adNumeric = 131,
    adDBDate = 133,
    adDBTime = 134,
    adDBTimeStamp = 135,
    adChar = 129,
    adVarChar = 200,
    adLongVarChar = 201,
    adLongVarBinary = 205,
    adWChar = 130,
    adVarWChar = 202,
};

class Field {
public:
    virtual ~Field() = default;
    virtual QString Name() const = 0;
    virtual int Type() const = 0;
    virtual Value value() const = 0;
    // The value as a worksheet cell, typed by the column's declared type; a
    // null is an empty text cell.
    virtual excel::Cell cell() const { return excel::Cell(value().value_or(QString())); }
};

class Fields {
public:
    virtual ~Fields() = default;
    virtual int count() const = 0;
    // Column number from 0.
    virtual Field &item(int index) = 0;
    virtual Field &item(const QString &name) = 0;
};

class Connection;

// Told how a long preparation of a database goes (the private copy that a
// file's views and computed columns are read from), so that a window can
// show it and stay responsive. Called on the thread that reads, from within
// the call that needs the preparation.
class PreparationProgress {
public:
    virtual ~PreparationProgress() = default;
    // percent: 0 to 100. A good moment to let the user's events run.
    virtual void preparing(const QString &database, int percent) = 0;
    // The preparation is over, made or not.
    virtual void prepared() = 0;
};

// What the tables catalogue says a relation is, in its TABLE_TYPE column.
enum class TableKind { Table, View, SystemTable };

inline QString tableTypeText(TableKind kind)
{
    switch (kind) {
    case TableKind::SystemTable:
        return QStringLiteral("SYSTEM TABLE");
    case TableKind::View:
        return QStringLiteral("VIEW");
    case TableKind::Table:
        break;
    }
    return QStringLiteral("TABLE");
}

// A type the catalogue does not name reads as a user's table.
inline TableKind tableKindOf(const Value &tableType)
{
    for (const TableKind kind : {TableKind::SystemTable, TableKind::View})
        if (tableType == tableTypeText(kind))
            return kind;
    return TableKind::Table;
}

class Recordset : public components::Object {
public:
    virtual int state() const = 0;
    virtual void setCursorLocation(int location) = 0;
    // Runs a query text.
    virtual void Open(const QString &source, Connection &activeConnection) = 0;
    // Every row of the table or view of that name, exactly as the catalogue
    // spells it.
    virtual void OpenTable(const QString &table, Connection &activeConnection) = 0;
    virtual long RecordCount() = 0;
    // EOF is a macro of the C library; hence the spelling.
    virtual bool Eof() = 0;
    virtual void MoveNext() = 0;
    virtual Fields &fields() = 0;
    Field &operator[](int index) { return fields().item(index); }
    virtual void Close() = 0;
    // A fault met on the way that cost no record (a value that could not be
    // computed, read as null), with the column and the first record it hit;
    // empty when there was none.
    virtual QString warning() const { return {}; }
};

class Connection : public components::Object {
public:
    virtual void setCursorLocation(int location) = 0;
    virtual void setMode(int mode) = 0;
    virtual void Open(const QString &connectionString) = 0;
    virtual std::shared_ptr<Recordset> OpenSchema(int schema) = 0;
    virtual int state() const = 0;
    virtual void Close() = 0;
    // Where long preparations report; a connection that prepares nothing
    // long ignores it.
    virtual void setPreparationProgress(std::shared_ptr<PreparationProgress> progress) { (void)progress; }
    // What tells the open database from another one put in its place (a file
    // copied over it, a restore); empty when the connection cannot tell.
    virtual QString databaseIdentity() const { return {}; }
};

inline const QString ConnectionClass = QStringLiteral("ADODB.Connection");
inline const QString RecordsetClass = QStringLiteral("ADODB.RecordSet");

} // namespace ado
