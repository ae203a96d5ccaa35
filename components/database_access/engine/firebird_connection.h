#pragma once

#include "connection_string.h"
#include "database_access.h"
#include "firebird_session.h"
#include "rows_recordset.h"

#include <memory>

namespace dbaccess {

// "ADODB.Connection" on Firebird: the connection string of the connection
// window becomes one attachment with one read-only snapshot transaction.
class FirebirdConnection : public ado::Connection, public RowsSource {
public:
    void setCursorLocation(int location) override;
    void setMode(int mode) override;
    void Open(const QString &connectionString) override;
    // The database the login names, on the server or the embedded engine.
    void openLogin(const Login &login);
    // Attaches `file` (a private copy) for the database the login names.
    void openFile(const Login &login, const QString &file);
    std::shared_ptr<ado::Recordset> OpenSchema(int schema) override;
    int state() const override;
    void Close() override;

    // The query runs on the server, or on the engine's private copy.
    std::unique_ptr<TableRows> rowsOfTable(const QString &table) override;
    std::unique_ptr<TableRows> rowsFor(const QString &query) override;

    // The open session; throws when the connection is not open.
    std::shared_ptr<Session> session() const;

private:
    std::shared_ptr<Session> m_session;
};

} // namespace dbaccess
