#include "ods_connection.h"

#include "component_error.h"
#include "failing_column_rows.h"
#include "firebird_query.h"
#include "local_file.h"
#include "ods_rows.h"
#include "rows_recordset.h"
#include "select_all_query.h"

#include <algorithm>

namespace dbaccess {

namespace {

bool needsEngine(const ods::Relation &relation)
{
    return relation.view || std::any_of(relation.columns.begin(), relation.columns.end(),
                                        [](const ods::Column &column) { return !column.computedSource.isEmpty(); });
}

std::map<QString, QString> computedColumnFailures(const ods::Relation &relation, const QString &reason)
{
    std::map<QString, QString> failures;
    for (const ods::Column &column : relation.columns)
        if (!column.computedSource.isEmpty())
            failures[column.name] = QStringLiteral("The computed column \"%1\" of the table \"%2\" cannot be "
                                                   "computed: %3").arg(column.name, relation.name, reason);
    return failures;
}

} // namespace

// Nothing is ever written and rows are streamed: neither setting changes
// anything.
void OdsConnection::setCursorLocation(int)
{
}

void OdsConnection::setMode(int)
{
}

void OdsConnection::Open(const QString &connectionString)
{
    const Login login = parseLogin(connectionString);
    inspectOpenedFile(openedFile(login.database)->descriptor(), login.database);
    openFile(login);
}

void OdsConnection::openFile(const Login &login)
{
    if (m_session)
        throw components::ComponentError(QStringLiteral("The connection is already open; close it first."));
    m_session = OdsSession::open(login);
    m_session->setPreparationProgress(m_progress);
}

void OdsConnection::setPreparationProgress(std::shared_ptr<ado::PreparationProgress> progress)
{
    m_progress = std::move(progress);
    if (m_session)
        m_session->setPreparationProgress(m_progress);
}

std::shared_ptr<ado::Recordset> OdsConnection::OpenSchema(int schema)
{
    if (schema != ado::adSchemaTables)
        throw components::ComponentError(QStringLiteral("The database catalogue %1 is not available; only the tables "
                                                        "catalogue (20) is.").arg(schema));
    auto recordset = std::make_shared<RowsRecordset>();
    recordset->openOn(catalogueRows(session()));
    return recordset;
}

int OdsConnection::state() const
{
    return m_session ? ado::adStateOpen : ado::adStateClosed;
}

void OdsConnection::Close()
{
    if (!m_session)
        throw components::ComponentError(QStringLiteral("The connection is already closed."));
    m_session->close();
    m_session.reset();
}

std::unique_ptr<TableRows> OdsConnection::rowsFor(const QString &query)
{
    const auto open = session();
    if (const std::optional<QString> table = selectAllTable(query))
        return rowsOfTable(*table);
    if (open->copyIsTheFile())
        return std::make_unique<FirebirdQuery>(open->engineCopy(), query);
    throw components::ComponentError(
        QStringLiteral("\"%1\" is read by the program's own reader of database files, which reads whole tables "
                       "only (SELECT * FROM \"<table>\"); it cannot run the query \"%2\".")
            .arg(open->path(), query));
}

std::unique_ptr<TableRows> OdsConnection::rowsOfTable(const QString &table)
{
    const auto open = session();
    const FilePicture picture = open->currentPicture();
    const ods::Relation &relation = open->relation(table);
    open->ensureMayRead(relation);
    if (needsEngine(relation)) {
        // A table whose stored rows the reader cannot reach (kept in an
        // InterBase tablespace, encrypted) is refused for that reason alone,
        // not as something the engine could not do with its copy.
        if (!relation.view && !open->copyIsTheFile())
            picture.database->rows(relation);
        std::unique_ptr<FirebirdQuery> rows;
        try {
            rows = std::make_unique<FirebirdQuery>(open->engineCopyFor(relation), selectAllStatement(table));
            if (!relation.view && open->copyIsTheFile())
                rows->count();
        } catch (const components::ComponentError &error) {
            // The engine refuses a table of a damaged Firebird 3 file
            // outright: the reader gives what is whole of it, only the
            // computed columns are left empty.
            if (relation.view || !open->copyIsTheFile())
                throw;
            return withFailingColumns(relationRows(open, picture, relation),
                                      computedColumnFailures(relation, error.description()));
        }
        return withFailingColumns(std::move(rows), open->emptyColumnFailures(relation), open->partialInCopy(relation));
    }
    try {
        return relationRows(open, picture, relation);
    } catch (const components::ComponentError &) {
        // What the reader cannot make of a Firebird 3 table the engine may
        // still read, from the file's own bytes.
        if (!open->copyIsTheFile())
            throw;
        return std::make_unique<FirebirdQuery>(open->engineCopy(), selectAllStatement(table));
    }
}

QString OdsConnection::databaseIdentity() const { return session()->identity(); }

std::shared_ptr<OdsSession> OdsConnection::session() const
{
    if (!m_session)
        throw components::ComponentError(QStringLiteral("The connection to the database is not open."));
    return m_session;
}

} // namespace dbaccess
