#pragma once

#include "database_access.h"
#include "firebird_query.h"

#include <memory>
#include <vector>

namespace dbaccess {

// "ADODB.RecordSet" on Firebird. Open positions on the first row; the
// fields always show the current row.
class FirebirdRecordset : public ado::Recordset, private ado::Fields {
public:
    FirebirdRecordset();
    ~FirebirdRecordset() override;

    int state() const override;
    void setCursorLocation(int location) override;
    void Open(const QString &source, ado::Connection &activeConnection) override;
    long RecordCount() override;
    bool Eof() override;
    void MoveNext() override;
    ado::Fields &fields() override;
    void Close() override;

    // For the connection's OpenSchema.
    void openOn(std::shared_ptr<Session> session, const QString &query);

private:
    class ColumnField;

    int count() const override;
    ado::Field &item(int index) override;
    ado::Field &item(const QString &name) override;

    void ensureOpen() const;
    ado::Value currentValue(int column) const;

    std::unique_ptr<FirebirdQuery> m_query;
    std::vector<std::unique_ptr<ColumnField>> m_fields;
    bool m_eof = true;
};

} // namespace dbaccess
