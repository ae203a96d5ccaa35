#include "firebird_connection.h"

#include "firebird_query.h"
#include "rows_recordset.h"

namespace dbaccess {

namespace {

// Like an ODBC catalogue: by type ("SYSTEM TABLE" < "TABLE" < "VIEW"), then
// by name. Names are blank-padded CHARs; only those blanks go.
const QString tablesQuery = QStringLiteral(
    "SELECT TRIM(TRAILING FROM R.RDB$RELATION_NAME) AS TABLE_NAME,"
    " TRIM(CASE WHEN COALESCE(R.RDB$SYSTEM_FLAG, 0) <> 0 THEN 'SYSTEM TABLE'"
    " WHEN R.RDB$VIEW_BLR IS NOT NULL THEN 'VIEW' ELSE 'TABLE' END) AS TABLE_TYPE"
    " FROM RDB$RELATIONS R ORDER BY 2, 1");

} // namespace

// Every read happens in one snapshot and rows are streamed, whatever the
// cursor location; read-write mode changes nothing, as nothing is written.
void FirebirdConnection::setCursorLocation(int)
{
}

void FirebirdConnection::setMode(int)
{
}

void FirebirdConnection::Open(const QString &connectionString)
{
    openLogin(parseLogin(connectionString));
}

void FirebirdConnection::openLogin(const Login &login)
{
    if (m_session)
        throw components::ComponentError(QStringLiteral("The connection is already open; close it first."));
    m_session = Session::open(login);
}

void FirebirdConnection::openFile(const Login &login, const QString &file)
{
    if (m_session)
        throw components::ComponentError(QStringLiteral("The connection is already open; close it first."));
    m_session = Session::open(login, file);
}

std::shared_ptr<ado::Recordset> FirebirdConnection::OpenSchema(int schema)
{
    if (schema != ado::adSchemaTables)
        throw components::ComponentError(QStringLiteral("The database catalogue %1 is not available; only the tables "
                                                        "catalogue (20) is.").arg(schema));
    auto recordset = std::make_shared<RowsRecordset>();
    recordset->openOn(std::make_unique<FirebirdQuery>(session(), tablesQuery));
    return recordset;
}

int FirebirdConnection::state() const
{
    return m_session ? ado::adStateOpen : ado::adStateClosed;
}

void FirebirdConnection::Close()
{
    if (!m_session)
        throw components::ComponentError(QStringLiteral("The connection is already closed."));
    m_session->close();
    m_session.reset();
}

std::unique_ptr<TableRows> FirebirdConnection::rowsOfTable(const QString &table)
{
    return rowsFor(selectAllStatement(table));
}

std::unique_ptr<TableRows> FirebirdConnection::rowsFor(const QString &query)
{
    return std::make_unique<FirebirdQuery>(session(), query);
}

std::shared_ptr<Session> FirebirdConnection::session() const
{
    if (!m_session)
        throw components::ComponentError(QStringLiteral("The connection to the database is not open."));
    return m_session;
}

} // namespace dbaccess
