#pragma once

#include "database_access.h"
#include "rows_recordset.h"

#include <memory>

namespace dbaccess {

// "ADODB.Connection" as the program creates it. A server path (host:path)
// goes to the Firebird client as it is. A local file is never given to an
// engine (the engine writes into every file it attaches, and cannot attach
// a file it may not write): its tables are read by the on-disk reader, and
// the embedded engine works on a private copy only for what the reader
// leaves to it, or for a Firebird 3 file the reader cannot read.
class DatabaseConnection : public ado::Connection, public RowsSource {
public:
    void setCursorLocation(int location) override;
    void setMode(int mode) override;
    void Open(const QString &connectionString) override;
    std::shared_ptr<ado::Recordset> OpenSchema(int schema) override;
    int state() const override;
    void Close() override;
    void setPreparationProgress(std::shared_ptr<ado::PreparationProgress> progress) override;
    QString databaseIdentity() const override { return backend().databaseIdentity(); }
    // The rows the path chosen for the database gives.
    std::unique_ptr<TableRows> rowsOfTable(const QString &table) override;
    std::unique_ptr<TableRows> rowsFor(const QString &query) override;

    // The connection that serves the open database; throws when not open.
    ado::Connection &backend() const;

private:
    std::shared_ptr<ado::Connection> m_backend;
    RowsSource *m_rows = nullptr;   // m_backend's rows
    std::shared_ptr<ado::PreparationProgress> m_progress;
};

} // namespace dbaccess
