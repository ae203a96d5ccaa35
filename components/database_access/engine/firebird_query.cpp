#include "firebird_query.h"

#include "code_page_detection.h"
#include "component_error.h"
#include "firebird_client.h"
#include "firebird_error.h"
#include "guarded_rows.h"

#include <QLocale>
#include <cstring>
#include <ibase.h>

namespace dbaccess {

QString selectAllStatement(const QString &table)
{
    QString quoted = table;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return QStringLiteral("SELECT * FROM \"") + quoted + u'"';
}

using namespace Firebird;

namespace {

// Over a server every BLOB costs round trips of its own (about 160 us each),
// which made a table with one short text BLOB per row 50 times slower than
// embedded. Text BLOBs up to this size come inline with the row as VARCHAR;
// only longer ones are opened.
constexpr int inlineBlobBytes = 8000;

struct StatusGuard {
    ThrowStatusWrapper status{firebirdMaster()->getStatus()};
    ~StatusGuard() { status.dispose(); }
};

// The program's queries quote names, and in dialect 1 a quoted name is a
// string. Dialect 3 reads a dialect-1 database as it is: SELECT * gives the
// stored types (its DATE is a timestamp, its NUMERIC(15,2) a scaled double)
// and computed columns run their stored expressions, so the values are those
// the dialect-1 client would see.
constexpr unsigned queryDialect = 3;

QByteArray sqlText(const QString &query)
{
    return query.toUtf8();
}

} // namespace

FirebirdQuery::FirebirdQuery(std::shared_ptr<Session> session, const QString &query)
    : m_session(std::move(session))
    , m_query(query)
    , m_text(QLocale::system())
{
    m_session->ensureOpen();
    m_blobReader = [this](const ISC_QUAD &id) { return readBlob(id); };
    StatusGuard guard;
    try {
        prepare(guard.status);
    } catch (const FbException &error) {
        fail(error);
    }
}

FirebirdQuery::~FirebirdQuery()
{
    dropCursor();
    m_guarded.reset();
    CheckStatusWrapper status(firebirdMaster()->getStatus());
    if (m_statement) {
        if (m_session->isOpen())
            m_statement->free(&status);
        if (!m_session->isOpen() || (status.getState() & IStatus::STATE_ERRORS))
            m_statement->release();
    }
    if (m_output)
        m_output->release();
    status.dispose();
}

void FirebirdQuery::dropCursor()
{
    if (!m_cursor)
        return;
    CheckStatusWrapper status(firebirdMaster()->getStatus());
    if (m_session->isOpen())
        m_cursor->close(&status);
    if (!m_session->isOpen() || (status.getState() & IStatus::STATE_ERRORS))
        m_cursor->release();
    m_cursor = nullptr;
    status.dispose();
}

void FirebirdQuery::prepare(ThrowStatusWrapper &status)
{
    IAttachment *attachment = m_session->attachment();
    ITransaction *transaction = m_session->transaction();
    m_statement = attachment->prepare(&status, transaction, 0, sqlText(m_query).constData(), queryDialect,
                                      IStatement::PREPARE_PREFETCH_METADATA);
    IMessageMetadata *metadata = m_statement->getOutputMetadata(&status);
    m_columns = describeColumns(status, metadata);
    metadata->release();

    m_statementText = m_query;
    const QString inlined = inlinedQuery();
    if (!inlined.isEmpty()) {
        // The original stays the fallback: a query the wrapper cannot hold
        // still reads, only with a round trip per text BLOB.
        CheckStatusWrapper check(firebirdMaster()->getStatus());
        IStatement *wrapped = attachment->prepare(&check, transaction, 0, sqlText(inlined).constData(), queryDialect,
                                                  IStatement::PREPARE_PREFETCH_METADATA);
        if (!(check.getState() & IStatus::STATE_ERRORS)) {
            m_statement->free(&status);
            m_statement = wrapped;
            m_statementText = inlined;
            IMessageMetadata *wrappedMetadata = m_statement->getOutputMetadata(&status);
            auto described = describeColumns(status, wrappedMetadata);
            wrappedMetadata->release();
            int extra = int(m_columns.size());
            for (std::size_t i = 0; i < m_columns.size(); ++i) {
                m_columns[i].offset = described[i].offset;
                m_columns[i].nullOffset = described[i].nullOffset;
                if (m_columns[i].adoType == ado::adLongVarChar) {
                    m_columns[i].inlineOffset = int(described[extra].offset);
                    m_columns[i].inlineNullOffset = int(described[extra].nullOffset);
                    ++extra;
                }
            }
        }
        check.dispose();
    }
    std::vector<EngineColumn *> types;
    for (auto &column : m_columns) {
        m_fields.push_back({column.name, column.adoType});
        types.push_back(&column.type);
    }
    shareCodePages(
        types, [this](const std::vector<int> &which, CodePageSample &sample) { readCodePageSample(which, sample); },
        [] { return windowsCodePage(QLocale::system()); });
    m_output = m_statement->getOutputMetadata(&status);
    m_row.assign(m_output->getMessageLength(&status), 0);
    m_cursor = m_statement->openCursor(&status, transaction, nullptr, nullptr, m_output, 0);
}

// SELECT q.c1, ..., <short text BLOBs as VARCHAR> FROM (<query>) q (c1, ...)
QString FirebirdQuery::inlinedQuery() const
{
    QStringList outer;
    QStringList names;
    QStringList inlined;
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        const QString name = QStringLiteral("C%1").arg(i + 1);
        names << name;
        outer << QStringLiteral("Q.") + name;
        if (m_columns[i].adoType == ado::adLongVarChar)
            inlined << QStringLiteral("CASE WHEN OCTET_LENGTH(Q.%1) <= %2 THEN CAST(Q.%1 AS VARCHAR(%2) CHARACTER SET OCTETS) END")
                           .arg(name, QString::number(inlineBlobBytes));
    }
    if (inlined.isEmpty())
        return {};
    return QStringLiteral("SELECT %1, %2 FROM (%3\n) Q (%4)")
        .arg(outer.join(u','), inlined.join(u','), m_query, names.join(u','));
}

bool FirebirdQuery::next()
{
    m_session->ensureOpen();
    if (!m_cursor)
        return false;
    StatusGuard guard;
    try {
        if (m_cursor->fetchNext(&guard.status, m_row.data()) != IStatus::RESULT_OK)
            return false;
    } catch (const FbException &error) {
        // The failed fetch has ended the cursor. Only a row whose values
        // fail is read again; a failure of the query or of the connection
        // ends the rows with its own report.
        dropCursor();
        if (!readFailedRow())
            fail(error);
    }
    ++m_position;
    return true;
}

// A row whose values fail is read again, value by value; false when that
// is not what failed.
bool FirebirdQuery::readFailedRow()
{
    try {
        if (!m_guarded)
            m_guarded = std::make_unique<GuardedRows>(m_session, m_statementText, queryDialect, m_output, m_columns);
    } catch (const FbException &) {
        return false;
    }
    m_cursor = m_guarded->readFailedRow(m_position + 1, m_row.data());
    return m_cursor != nullptr;
}

QString FirebirdQuery::warning() const
{
    return m_guarded ? m_guarded->warning() : QString();
}

ado::Value FirebirdQuery::value(int column) const
{
    return columnValue(m_columns[std::size_t(column)], m_row.data(), m_text, m_blobReader);
}

excel::Cell FirebirdQuery::cell(int column) const
{
    return columnCell(m_columns[std::size_t(column)], m_row.data(), m_text, m_blobReader);
}

long FirebirdQuery::count()
{
    if (m_count >= 0)
        return m_count;
    m_session->ensureOpen();
    StatusGuard guard;
    try {
        const QString query = QStringLiteral("SELECT COUNT(*) FROM (%1\n)").arg(m_query);
        const std::unique_ptr<IStatement, void (*)(IStatement *)> statement(
            m_session->attachment()->prepare(&guard.status, m_session->transaction(), 0, sqlText(query).constData(),
                                             queryDialect, 0),
            [](IStatement *s) { s->release(); });
        const std::unique_ptr<IMessageMetadata, void (*)(IMessageMetadata *)> output(
            statement->getOutputMetadata(&guard.status), [](IMessageMetadata *m) { m->release(); });
        std::vector<unsigned char> row(output->getMessageLength(&guard.status));
        const unsigned offset = output->getOffset(&guard.status, 0);
        statement->execute(&guard.status, m_session->transaction(), nullptr, nullptr, output.get(), row.data());
        ISC_INT64 count = 0;
        std::memcpy(&count, row.data() + offset, sizeof count);
        m_count = long(count);
    } catch (const FbException &error) {
        fail(error);
    }
    return m_count;
}

// The columns' values from the first row on, by a second cursor in the same
// transaction: the snapshot the cells come from. A failure ends the sample
// only: the cells still read, and report it themselves where they meet it.
void FirebirdQuery::readCodePageSample(const std::vector<int> &columns, CodePageSample &sample) const
{
    if (!m_session->isOpen())
        return;
    StatusGuard guard;
    IStatement *statement = nullptr;
    IResultSet *cursor = nullptr;
    const auto drop = [&] {
        if (cursor)
            cursor->release();
        if (statement)
            statement->release();
    };
    try {
        QStringList names;
        for (std::size_t i = 0; i < m_columns.size(); ++i)
            names << QStringLiteral("C%1").arg(i + 1);
        QStringList picked;
        for (const int column : columns)
            picked << QStringLiteral("Q.C%1").arg(column + 1);
        const QString query = QStringLiteral("SELECT %1 FROM (%2\n) Q (%3)").arg(picked.join(u','), m_query, names.join(u','));
        statement = m_session->attachment()->prepare(&guard.status, m_session->transaction(), 0,
                                                     sqlText(query).constData(), queryDialect, 0);
        const std::unique_ptr<IMessageMetadata, void (*)(IMessageMetadata *)> metadata(
            statement->getOutputMetadata(&guard.status), [](IMessageMetadata *m) { m->release(); });
        const std::vector<FirebirdColumn> described = describeColumns(guard.status, metadata.get());
        std::vector<unsigned char> row(metadata->getMessageLength(&guard.status));
        cursor = statement->openCursor(&guard.status, m_session->transaction(), nullptr, nullptr, metadata.get(), 0);
        const BlobContent blob = [this](QByteArrayView blobId) {
            ISC_QUAD id;
            std::memcpy(&id, blobId.data(), sizeof id);
            return readBlob(id);
        };
        while (!sample.complete() && cursor->fetchNext(&guard.status, row.data()) == IStatus::RESULT_OK) {
            for (std::size_t i = 0; i < described.size(); ++i) {
                short null;
                std::memcpy(&null, row.data() + described[i].nullOffset, sizeof null);
                if (!null && sample.wants(int(i)))
                    sample.add(int(i), textBytes(described[i].type, row.data() + described[i].offset, blob));
            }
        }
        cursor->close(&guard.status);
        cursor = nullptr;
        statement->free(&guard.status);
    } catch (const FbException &) {
        drop();
    } catch (const components::ComponentError &) { // from a BLOB
        drop();
    }
}

QByteArray FirebirdQuery::readBlob(const ISC_QUAD &blobId) const
{
    m_session->ensureOpen();
    StatusGuard guard;
    QByteArray bytes;
    IBlob *blob = nullptr;
    try {
        ISC_QUAD id = blobId;
        blob = m_session->attachment()->openBlob(&guard.status, m_session->transaction(), &id, 0, nullptr);
        char buffer[32768];
        for (;;) {
            unsigned length = 0;
            const int result = blob->getSegment(&guard.status, sizeof buffer, buffer, &length);
            if (result != IStatus::RESULT_OK && result != IStatus::RESULT_SEGMENT)
                break;
            bytes.append(buffer, length);
        }
        blob->close(&guard.status);
        blob = nullptr; // a closed BLOB is released with it
    } catch (const FbException &error) {
        // Released whatever failed, or every failing read would keep one.
        if (blob)
            blob->release();
        fail(error);
    }
    return bytes;
}

void FirebirdQuery::fail(const FbException &error) const
{
    throwFirebirdError(error.getStatus(), m_session->database());
}

} // namespace dbaccess
