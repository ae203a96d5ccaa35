#pragma once

#include "firebird_column.h"
#include "firebird_session.h"
#include "table_rows.h"

#include <QString>
#include <memory>
#include <vector>

namespace dbaccess {

class GuardedRows;

// The statement that reads every row of a table: SELECT * FROM "<name, each
// " doubled>", so that any name, whatever its case or characters, is one
// identifier.
QString selectAllStatement(const QString &table);

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
    excel::Cell cell(int column) const override;
    // Counted by the server in the same snapshot the rows come from,
    // without fetching them.
    long count() override;
    QString warning() const override;

private:
    void prepare(Firebird::ThrowStatusWrapper &status);
    QString inlinedQuery() const;
    bool readFailedRow();
    void dropCursor();
    QByteArray readBlob(const ISC_QUAD &blobId) const;
    void readCodePageSample(const std::vector<int> &columns, CodePageSample &sample) const;
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
    // Made when a row first fails.
    std::unique_ptr<GuardedRows> m_guarded;
    std::vector<unsigned char> m_row;
    ValueText m_text;
    BlobReader m_blobReader;
    long m_count = -1;
};

} // namespace dbaccess
