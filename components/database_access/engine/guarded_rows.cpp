#include "guarded_rows.h"

#include "firebird_client.h"
#include "firebird_error.h"

#include <QStringList>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <ibase.h>

namespace dbaccess {

using namespace Firebird;

namespace {

// Every read of a failed row, and every cursor that reads on after one,
// passes over all rows before it again: a column that fails on row after
// row would make that grow with the square of the rows. Past this many rows
// passed over (some tens of seconds) the columns that keep failing are no
// longer computed, so the reading stays bounded.
constexpr long long passedRowsBudget = 50'000'000;

// "To the end" for ROWS ... TO, far below where the engine's arithmetic on
// it could overflow.
constexpr std::int64_t lastRow = 1'000'000'000'000'000;

struct StatusGuard {
    ThrowStatusWrapper status{firebirdMaster()->getStatus()};
    ~StatusGuard() { status.dispose(); }
};

std::vector<bool> readable(const std::vector<bool> &failing)
{
    std::vector<bool> result(failing.size());
    std::transform(failing.begin(), failing.end(), result.begin(), [](bool failed) { return !failed; });
    return result;
}

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

// SELECT CASE WHEN <flag 1> = 1 THEN X.C1 END, ... FROM (<statement>) X (C1, ...) ROWS <first> TO <last>:
// a value whose flag is off is never computed, and the rows before <first>
// are passed over without computing any.
GuardedRows::GuardedRows(std::shared_ptr<Session> session, const QString &statement, unsigned dialect,
                         IMessageMetadata *output, const std::vector<FirebirdColumn> &columns)
    : m_session(std::move(session))
    , m_output(output)
    , m_columns(columns)
    , m_failing(columns.size(), false)
    , m_abandoned(columns.size(), false)
{
    StatusGuard guard;
    m_rowLength = m_output->getMessageLength(&guard.status);
    const unsigned outputs = m_output->getCount(&guard.status);
    QStringList values;
    QStringList names;
    for (unsigned i = 1; i <= outputs; ++i) {
        names << QStringLiteral("C%1").arg(i);
        values << QStringLiteral("CASE WHEN CAST(? AS INTEGER) = 1 THEN X.C%1 END").arg(i);
    }
    const QString text = QStringLiteral("SELECT %1 FROM (%2\n) X (%3) ROWS ? TO ?")
                             .arg(values.join(u','), statement, names.join(u','));
    m_statement = m_session->attachment()->prepare(&guard.status, m_session->transaction(), 0,
                                                   text.toUtf8().constData(), dialect,
                                                   IStatement::PREPARE_PREFETCH_METADATA);
    try {
        m_input = m_statement->getInputMetadata(&guard.status);
        m_parameters.assign(m_input->getMessageLength(&guard.status), 0);
    } catch (...) {
        if (m_input)
            m_input->release();
        m_statement->release();
        throw;
    }
}

GuardedRows::~GuardedRows()
{
    if (m_input)
        m_input->release();
    CheckStatusWrapper status(firebirdMaster()->getStatus());
    if (m_session->isOpen())
        m_statement->free(&status);
    if (!m_session->isOpen() || (status.getState() & IStatus::STATE_ERRORS))
        m_statement->release();
    status.dispose();
}

IResultSet *GuardedRows::readFailedRow(long row, unsigned char *into)
{
    StatusGuard guard;
    try {
        // Each try passes over every row before this one: mostly the one
        // column that failed last fails again, and when the row reads
        // without it, it is that column that fails here.
        const bool oneFailedLast = std::count(m_failing.begin(), m_failing.end(), true) == 1;
        if (!oneFailedLast || !fetch(readable(m_failing), row, into, nullptr)) {
            m_failing = failingColumns(row);
            if (!fetch(readable(m_failing), row, into, nullptr))
                return nullptr;
        }
        if (m_passedRows > passedRowsBudget)
            abandon(m_failing, row + 1);
        return open(guard.status, readable(m_abandoned), row + 1, lastRow);
    } catch (const FbException &) {
        return nullptr;
    }
}

// Each column of the row tried on its own; the first failure met is the
// warning.
std::vector<bool> GuardedRows::failingColumns(long row)
{
    std::vector<bool> failing = m_abandoned;
    std::vector<unsigned char> scratch(m_rowLength);
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        if (m_abandoned[i])
            continue;
        std::vector<bool> only(m_columns.size(), false);
        only[i] = true;
        QString failure;
        failing[i] = !fetch(only, row, scratch.data(), &failure);
        if (failing[i] && m_warning.isEmpty() && !failure.isEmpty())
            m_warning = QStringLiteral("The value of the column \"%1\" in record %2 could not be computed and was "
                                       "left empty, as was any later value that could not be computed: %3")
                            .arg(m_columns[i].name, QString::number(row), failure);
    }
    return failing;
}

void GuardedRows::abandon(const std::vector<bool> &columns, long fromRow)
{
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        if (!columns[i] || m_abandoned[i])
            continue;
        m_abandoned[i] = true;
        m_warning += QStringLiteral(" From record %1 on, the column \"%2\" was left empty: too many of its values "
                                    "could not be computed.").arg(QString::number(fromRow), m_columns[i].name);
    }
}

// Columns are the table's; a text BLOB read inline has a second output that
// goes with it.
IResultSet *GuardedRows::open(ThrowStatusWrapper &status, const std::vector<bool> &columns, long first, long last)
{
    unsigned char *parameters = m_parameters.data();
    unsigned extra = unsigned(m_columns.size());
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        setInteger(status, m_input, parameters, unsigned(i), columns[i] ? 1 : 0);
        if (m_columns[i].inlineOffset >= 0)
            setInteger(status, m_input, parameters, extra++, columns[i] ? 1 : 0);
    }
    setInteger(status, m_input, parameters, extra, first);
    setInteger(status, m_input, parameters, extra + 1, last);
    m_passedRows += first - 1;
    return m_statement->openCursor(&status, m_session->transaction(), m_input, parameters, m_output, 0);
}

// One row into `into`; false, with the engine's description in `failure`
// when it gave one, when it cannot be had.
bool GuardedRows::fetch(const std::vector<bool> &columns, long row, unsigned char *into, QString *failure)
{
    StatusGuard guard;
    IResultSet *cursor = nullptr;
    try {
        cursor = open(guard.status, columns, row, row);
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

} // namespace dbaccess
