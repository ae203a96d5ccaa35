#include "firebird_query.h"

#include "firebird_client.h"
#include "firebird_error.h"

#include <QLocale>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <ibase.h>

namespace dbaccess {

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

std::vector<bool> readable(const std::vector<bool> &failing)
{
    std::vector<bool> result(failing.size());
    std::transform(failing.begin(), failing.end(), result.begin(), [](bool failed) { return !failed; });
    return result;
}

// Every read of a failing row, and every cursor that reads on after one,
// passes over all rows before it again: a column that fails on row after
// row would make that grow with the square of the rows. Past this many rows
// passed over (some tens of seconds) the columns that keep failing are no
// longer computed, so the reading stays bounded.
constexpr long long passedRowsBudget = 50'000'000;

// "To the end" for ROWS ... TO, far below where the engine's arithmetic on
// it could overflow.
constexpr std::int64_t lastRow = 1'000'000'000'000'000;

void setInteger(ThrowStatusWrapper &status, IMessageMetadata *metadata, unsigned char *message, unsigned index,
                std::int64_t value)
{
    unsigned char *at = message + metadata->getOffset(&status, index);
    switch (metadata->getType(&status, index) & ~1u) {
    case SQL_SHORT: {
        const auto narrow = std::int16_t(value);
        std::memcpy(at, &narrow, sizeof narrow);
        break;
    }
    case SQL_LONG: {
        const auto narrow = std::int32_t(value);
        std::memcpy(at, &narrow, sizeof narrow);
        break;
    }
    default: std::memcpy(at, &value, sizeof value); break;
    }
    const std::int16_t notNull = 0;
    std::memcpy(message + metadata->getNullOffset(&status, index), &notNull, sizeof notNull);
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
    CheckStatusWrapper status(firebirdMaster()->getStatus());
    for (IStatement *statement : {m_statement, m_guarded}) {
        if (!statement)
            continue;
        status.init();
        if (m_session->isOpen())
            statement->free(&status);
        if (!m_session->isOpen() || (status.getState() & IStatus::STATE_ERRORS))
            statement->release();
    }
    for (IMessageMetadata *metadata : {m_output, m_guardedInput})
        if (metadata)
            metadata->release();
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
    for (const auto &column : m_columns)
        m_fields.push_back({column.name, column.adoType});
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
                           .arg(name).arg(inlineBlobBytes);
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

// The failing row with each value that can be computed, the others null;
// then a cursor on the rows after it. False when the row itself cannot be
// reached.
bool FirebirdQuery::readFailedRow()
{
    const long row = m_position + 1;
    StatusGuard guard;
    try {
        if (!m_guarded)
            prepareGuarded(guard.status);
        // Each try passes over every row before this one: mostly the one
        // column that failed last fails again, and when the row reads
        // without it, it is that column that fails here.
        const bool oneFailedLast = std::count(m_failing.begin(), m_failing.end(), true) == 1;
        if (!oneFailedLast || !fetchGuarded(readable(m_failing), row, m_row.data(), nullptr)) {
            m_failing = failingColumns(row);
            if (!fetchGuarded(readable(m_failing), row, m_row.data(), nullptr))
                return false;
        }
        if (m_passedRows > passedRowsBudget)
            abandon(m_failing, row + 1);
        m_cursor = openGuarded(guard.status, readable(m_abandoned), row + 1, lastRow);
        return true;
    } catch (const FbException &) {
        return false;
    }
}

// Each column of the row tried on its own; the first failure met is the
// warning.
std::vector<bool> FirebirdQuery::failingColumns(long row)
{
    std::vector<bool> failing = m_abandoned;
    std::vector<unsigned char> scratch(m_row.size());
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        if (m_abandoned[i])
            continue;
        std::vector<bool> only(m_columns.size(), false);
        only[i] = true;
        QString failure;
        failing[i] = !fetchGuarded(only, row, scratch.data(), &failure);
        if (failing[i] && m_warning.isEmpty() && !failure.isEmpty())
            m_warning = QStringLiteral("The value of the column \"%1\" in record %2 could not be computed and was "
                                       "left empty, as was any later value that could not be computed: %3")
                            .arg(m_columns[i].name, QString::number(row), failure);
    }
    return failing;
}

void FirebirdQuery::abandon(const std::vector<bool> &columns, long fromRow)
{
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        if (!columns[i] || m_abandoned[i])
            continue;
        m_abandoned[i] = true;
        m_warning += QStringLiteral(" From record %1 on, the column \"%2\" was left empty: too many of its values "
                                    "could not be computed.").arg(QString::number(fromRow), m_columns[i].name);
    }
}

// SELECT CASE WHEN <flag 1> = 1 THEN X.C1 END, ... FROM (<statement>) X (C1, ...) ROWS <first> TO <last>:
// a value whose flag is off is never computed, and the rows before <first>
// are passed over without computing any.
void FirebirdQuery::prepareGuarded(ThrowStatusWrapper &status)
{
    const unsigned outputs = m_output->getCount(&status);
    QStringList values;
    QStringList names;
    for (unsigned i = 1; i <= outputs; ++i) {
        names << QStringLiteral("C%1").arg(i);
        values << QStringLiteral("CASE WHEN CAST(? AS INTEGER) = 1 THEN X.C%1 END").arg(i);
    }
    const QString text = QStringLiteral("SELECT %1 FROM (%2\n) X (%3) ROWS ? TO ?")
                             .arg(values.join(u','), m_statementText, names.join(u','));
    m_guarded = m_session->attachment()->prepare(&status, m_session->transaction(), 0, sqlText(text).constData(),
                                                 queryDialect, IStatement::PREPARE_PREFETCH_METADATA);
    m_guardedInput = m_guarded->getInputMetadata(&status);
    m_guardedParameters.assign(m_guardedInput->getMessageLength(&status), 0);
    m_abandoned.assign(m_columns.size(), false);
}

// Columns are the table's; a text BLOB read inline has a second output that
// goes with it.
IResultSet *FirebirdQuery::openGuarded(ThrowStatusWrapper &status, const std::vector<bool> &columns, long first,
                                       long last)
{
    unsigned char *parameters = m_guardedParameters.data();
    unsigned extra = unsigned(m_columns.size());
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        setInteger(status, m_guardedInput, parameters, unsigned(i), columns[i] ? 1 : 0);
        if (m_columns[i].inlineOffset >= 0)
            setInteger(status, m_guardedInput, parameters, extra++, columns[i] ? 1 : 0);
    }
    setInteger(status, m_guardedInput, parameters, extra, first);
    setInteger(status, m_guardedInput, parameters, extra + 1, last);
    m_passedRows += first - 1;
    return m_guarded->openCursor(&status, m_session->transaction(), m_guardedInput, parameters, m_output, 0);
}

// One row of the guarded statement into `into`; false, with the engine's
// description in `failure` when it gave one, when it cannot be had.
bool FirebirdQuery::fetchGuarded(const std::vector<bool> &columns, long row, unsigned char *into, QString *failure)
{
    StatusGuard guard;
    IResultSet *cursor = nullptr;
    try {
        cursor = openGuarded(guard.status, columns, row, row);
        const bool fetched = cursor->fetchNext(&guard.status, into) == IStatus::RESULT_OK;
        cursor->close(&guard.status);
        return fetched;
    } catch (const FbException &error) {
        if (cursor)
            cursor->release();
        if (failure)
            *failure = describeFirebirdStatus(error.getStatus(), m_session->database());
        return false;
    }
}

ado::Value FirebirdQuery::value(int column) const
{
    return columnValue(m_columns[std::size_t(column)], m_row.data(), m_text, m_blobReader);
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

QByteArray FirebirdQuery::readBlob(const ISC_QUAD &blobId) const
{
    m_session->ensureOpen();
    StatusGuard guard;
    QByteArray bytes;
    try {
        ISC_QUAD id = blobId;
        IBlob *blob = m_session->attachment()->openBlob(&guard.status, m_session->transaction(), &id, 0, nullptr);
        char buffer[32768];
        for (;;) {
            unsigned length = 0;
            const int result = blob->getSegment(&guard.status, sizeof buffer, buffer, &length);
            if (result != IStatus::RESULT_OK && result != IStatus::RESULT_SEGMENT)
                break;
            bytes.append(buffer, length);
        }
        blob->close(&guard.status);
    } catch (const FbException &error) {
        fail(error);
    }
    return bytes;
}

void FirebirdQuery::fail(const FbException &error) const
{
    throwFirebirdError(error.getStatus(), m_session->database());
}

} // namespace dbaccess
