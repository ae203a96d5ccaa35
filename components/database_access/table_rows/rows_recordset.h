#pragma once

#include "database_access.h"
#include "table_rows.h"

#include <memory>
#include <vector>

namespace dbaccess {

// "ADODB.RecordSet", on rows from whichever source the connection reads.
// Open positions on the first row; the fields always show the current row.
class RowsRecordset : public ado::Recordset, private ado::Fields {
public:
    RowsRecordset();
    ~RowsRecordset() override;

    int state() const override;
    void setCursorLocation(int location) override;
    void Open(const QString &source, ado::Connection &activeConnection) override;
    void OpenTable(const QString &table, ado::Connection &activeConnection) override;
    long RecordCount() override;
    bool Eof() override;
    void MoveNext() override;
    ado::Fields &fields() override;
    void Close() override;
    QString warning() const override;

    // For the connections' OpenSchema.
    void openOn(std::unique_ptr<TableRows> rows);

private:
    class RowField;

    int count() const override;
    ado::Field &item(int index) override;
    ado::Field &item(const QString &name) override;

    class RowsSource &sourceOf(ado::Connection &activeConnection) const;
    void ensureOpen() const;
    const TableRows &currentRow() const;

    std::unique_ptr<TableRows> m_rows;
    std::vector<std::unique_ptr<RowField>> m_fields;
    bool m_eof = true;
};

// What every connection of this component gives its recordsets: the rows of
// a table, or of a query text. A recordset asks the connection it is opened
// on, so the parts below the connections need not know them.
class RowsSource {
public:
    virtual ~RowsSource() = default;
    virtual std::unique_ptr<TableRows> rowsOfTable(const QString &table) = 0;
    virtual std::unique_ptr<TableRows> rowsFor(const QString &query) = 0;
};

} // namespace dbaccess
