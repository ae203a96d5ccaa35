#pragma once

#include "firebird_column.h"
#include "firebird_session.h"
#include "table_rows.h"

#include <QString>
#include <memory>
#include <vector>

namespace dbaccess {

// One SELECT streamed row by row inside the session's transaction: only the
// current row is held, whatever the size of the table. A row with a value
// the engine cannot compute (a division by zero in a computed column or a
// view) does not end the rows: that value reads as null, the warning names
// it, and the rows go on.
class FirebirdQuery : public TableRows {
public:
    FirebirdQuery(std::shared_ptr<Session> session, const QString &query);
    ~FirebirdQuery() override;
    FirebirdQuery(const FirebirdQuery &) = delete;
    FirebirdQuery &operator=(const FirebirdQuery &) = delete;

    const std::vector<FieldDescription> &fields() const override { return m_fields; }
    bool connectionOpen() const override { return m_session->isOpen(); }
    bool next() override;
    ado::Value value(int column) const override;
    // Counted by the server in the same snapshot the rows come from,
    // without fetching them.
    long count() override;
    QString warning() const override { return m_warning; }

private:
    void prepare(Firebird::ThrowStatusWrapper &status);
    QString inlinedQuery() const;
    bool readFailedRow();
    std::vector<bool> failingColumns(long row);
    void abandon(const std::vector<bool> &columns, long fromRow);
    void prepareGuarded(Firebird::ThrowStatusWrapper &status);
    Firebird::IResultSet *openGuarded(Firebird::ThrowStatusWrapper &status, const std::vector<bool> &columns,
                                      long first, long last);
    bool fetchGuarded(const std::vector<bool> &columns, long row, unsigned char *into, QString *failure);
    void dropCursor();
    QByteArray readBlob(const ISC_QUAD &blobId) const;
    [[noreturn]] void fail(const Firebird::FbException &error) const;

    std::shared_ptr<Session> m_session;
    QString m_query;
    std::vector<FirebirdColumn> m_columns;
    std::vector<FieldDescription> m_fields;
    Firebird::IStatement *m_statement = nullptr;
    QString m_statementText;
    Firebird::IMessageMetadata *m_output = nullptr;
    Firebird::IResultSet *m_cursor = nullptr;
    // Rows fetched so far: the number of the current row.
    long m_position = 0;
    // The same rows, each value computed only where its flag asks, from one
    // row number to another: what reads on after a row that failed.
    Firebird::IStatement *m_guarded = nullptr;
    Firebird::IMessageMetadata *m_guardedInput = nullptr;
    std::vector<unsigned char> m_guardedParameters;
    // The columns whose values failed in the last row that failed, and
    // those no longer computed at all.
    std::vector<bool> m_failing;
    std::vector<bool> m_abandoned;
    long long m_passedRows = 0;
    QString m_warning;
    std::vector<unsigned char> m_row;
    ValueText m_text;
    BlobReader m_blobReader;
    long m_count = -1;
};

} // namespace dbaccess
