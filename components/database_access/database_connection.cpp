#include "database_connection.h"

#include "component_error.h"
#include "connection_string.h"
#include "firebird_connection.h"
#include "local_file.h"
#include "ods_connection.h"

#include <exception>

namespace dbaccess {

namespace {

constexpr int engineOds = 12;

} // namespace

void DatabaseConnection::setCursorLocation(int)
{
}

void DatabaseConnection::setMode(int)
{
}

void DatabaseConnection::Open(const QString &connectionString)
{
    if (m_backend)
        throw components::ComponentError(QStringLiteral("The connection is already open; close it first."));
    const Login login = parseLogin(connectionString);
    // The connection window gives the path of a file address on this
    // computer; one that is left names a file of another computer.
    if (login.database.startsWith(QLatin1String("file:/"), Qt::CaseInsensitive))
        throw components::ComponentError(
            QStringLiteral("\"%1\" is the address of a file on another computer. A database there opens through "
                           "the Firebird server of that computer (host:path).").arg(login.database));
    if (namesServer(login.database)) {
        auto connection = std::make_shared<FirebirdConnection>();
        connection->openLogin(login);
        m_backend = connection;
        m_rows = connection.get();
        return;
    }
    const FileVersion version = inspectOpenedFile(openedFile(login.database)->descriptor(), login.database);
    auto reader = std::make_shared<OdsConnection>();
    std::exception_ptr refusal;
    reader->setPreparationProgress(m_progress);
    try {
        reader->openFile(login);
        m_backend = reader;
        m_rows = reader.get();
        return;
    } catch (const components::ComponentError &) {
        refusal = std::current_exception();
    }
    // A Firebird 3 file the reader cannot make sense of may still be one the
    // engine reads, from a private copy; when it cannot either, the reader's
    // account of the file is the clearer one.
    // A database kept in several files is not tried: the engine would
    // follow the names in the copy's header to the user's own files.
    const ods::FileFacts facts = ods::probe(login.database);
    if (!facts.firebird || facts.odsMajor != engineOds || facts.continued)
        std::rethrow_exception(refusal);
    auto engine = std::make_shared<FirebirdConnection>();
    try {
        engine->openFile(login, byteCopy(version));
    } catch (const components::ComponentError &) {
        std::rethrow_exception(refusal);
    }
    m_backend = engine;
    m_rows = engine.get();
}

std::shared_ptr<ado::Recordset> DatabaseConnection::OpenSchema(int schema)
{
    return backend().OpenSchema(schema);
}

int DatabaseConnection::state() const
{
    return m_backend ? m_backend->state() : ado::adStateClosed;
}

void DatabaseConnection::Close()
{
    if (!m_backend)
        throw components::ComponentError(QStringLiteral("The connection is already closed."));
    m_backend->Close();
    m_backend.reset();
    m_rows = nullptr;
}

void DatabaseConnection::setPreparationProgress(std::shared_ptr<ado::PreparationProgress> progress)
{
    m_progress = std::move(progress);
    if (m_backend)
        m_backend->setPreparationProgress(m_progress);
}

std::unique_ptr<TableRows> DatabaseConnection::rowsOfTable(const QString &table)
{
    backend();
    return m_rows->rowsOfTable(table);
}

std::unique_ptr<TableRows> DatabaseConnection::rowsFor(const QString &query)
{
    backend();
    return m_rows->rowsFor(query);
}

ado::Connection &DatabaseConnection::backend() const
{
    if (!m_backend)
        throw components::ComponentError(QStringLiteral("The connection to the database is not open."));
    return *m_backend;
}

} // namespace dbaccess
