#pragma once

#include "connection_string.h"
#include "database_access.h"
#include "ods_session.h"
#include "rows_recordset.h"

#include <memory>

namespace dbaccess {

// "ADODB.Connection" on the on-disk reader: a local file, opened for
// reading only. Tables read straight from the file, with the grants the file
// keeps; views and tables with computed columns through the embedded engine
// on a private modern copy, made when one is first read.
class OdsConnection : public ado::Connection, public RowsSource {
public:
    void setCursorLocation(int location) override;
    void setMode(int mode) override;
    void Open(const QString &connectionString) override;
    std::shared_ptr<ado::Recordset> OpenSchema(int schema) override;
    int state() const override;
    void Close() override;
    // Reports the making of the private copy for views and computed columns.
    void setPreparationProgress(std::shared_ptr<ado::PreparationProgress> progress) override;
    QString databaseIdentity() const override;

    // For a file already inspected.
    void openFile(const Login &login);
    std::unique_ptr<TableRows> rowsOfTable(const QString &table) override;
    // SELECT * FROM "<table>" reads the table. Any other query runs on the
    // engine's copy of a Firebird 3 file, and is refused for other versions.
    std::unique_ptr<TableRows> rowsFor(const QString &query) override;

private:
    std::shared_ptr<OdsSession> session() const;

    std::shared_ptr<OdsSession> m_session;
    std::shared_ptr<ado::PreparationProgress> m_progress;
};

} // namespace dbaccess
