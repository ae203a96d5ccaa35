#pragma once

#include "firebird_column.h"
#include "firebird_session.h"

#include <QString>
#include <firebird/Interface.h>
#include <memory>
#include <vector>

namespace dbaccess {

// Reading on after a fetch failed on a value the engine cannot compute (a
// division by zero in a computed column or a view): such a fetch ends its
// cursor. The failed row is read again with each value that can be computed
// and the others null, and a new cursor goes on after it, on the same rows
// in the same order.
class GuardedRows {
public:
    // `statement` is the text whose cursor failed, in `dialect`; `output`
    // its output message, which every row read here fills the same way.
    // Throws Firebird::FbException when the statement cannot be prepared.
    GuardedRows(std::shared_ptr<Session> session, const QString &statement, unsigned dialect,
                Firebird::IMessageMetadata *output, const std::vector<FirebirdColumn> &columns);
    ~GuardedRows();
    GuardedRows(const GuardedRows &) = delete;
    GuardedRows &operator=(const GuardedRows &) = delete;

    // Row `row` (from 1) into `into`, and the cursor on the rows after it;
    // nullptr when the row itself cannot be reached (the query, not one of
    // its values, fails there).
    Firebird::IResultSet *readFailedRow(long row, unsigned char *into);

    // The first value that could not be computed, with its column and row.
    const QString &warning() const { return m_warning; }

private:
    std::vector<bool> failingColumns(long row);
    void abandon(const std::vector<bool> &columns, long fromRow);
    Firebird::IResultSet *open(Firebird::ThrowStatusWrapper &status, const std::vector<bool> &columns, long first,
                               long last);
    bool fetch(const std::vector<bool> &columns, long row, unsigned char *into, QString *failure);

    std::shared_ptr<Session> m_session;
    Firebird::IMessageMetadata *m_output;
    const std::vector<FirebirdColumn> &m_columns;
    std::size_t m_rowLength = 0;
    Firebird::IStatement *m_statement = nullptr;
    Firebird::IMessageMetadata *m_input = nullptr;
    std::vector<unsigned char> m_parameters;
    // The columns whose values failed in the last row that failed, and
    // those no longer computed at all.
    std::vector<bool> m_failing;
    std::vector<bool> m_abandoned;
    long long m_passedRows = 0;
    QString m_warning;
};

} // namespace dbaccess
