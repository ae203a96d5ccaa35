#include "rows_recordset.h"

namespace dbaccess {

class RowsRecordset::RowField : public ado::Field {
public:
    RowField(const RowsRecordset &recordset, int column, const FieldDescription &description)
        : m_recordset(recordset), m_column(column), m_name(description.name), m_type(description.adoType)
    {
    }

    QString Name() const override { return m_name; }
    int Type() const override { return m_type; }
    ado::Value value() const override { return m_recordset.currentRow().value(m_column); }
    excel::Cell cell() const override { return m_recordset.currentRow().cell(m_column); }

private:
    const RowsRecordset &m_recordset;
    int m_column;
    QString m_name;
    int m_type;
};

RowsRecordset::RowsRecordset() = default;
RowsRecordset::~RowsRecordset() = default;

// Closing the connection closes its recordsets, as in ADO.
int RowsRecordset::state() const
{
    return m_rows && m_rows->connectionOpen() ? ado::adStateOpen : ado::adStateClosed;
}

// Rows are streamed and the record count is exact with either location, so
// there is nothing to choose between.
void RowsRecordset::setCursorLocation(int)
{
}

void RowsRecordset::Open(const QString &source, ado::Connection &activeConnection)
{
    openOn(sourceOf(activeConnection).rowsFor(source));
}

void RowsRecordset::OpenTable(const QString &table, ado::Connection &activeConnection)
{
    openOn(sourceOf(activeConnection).rowsOfTable(table));
}

RowsSource &RowsRecordset::sourceOf(ado::Connection &activeConnection) const
{
    if (state() == ado::adStateOpen)
        throw components::ComponentError(QStringLiteral("The recordset is already open; close it first."));
    if (activeConnection.state() == ado::adStateClosed)
        throw components::ConnectionLost(QStringLiteral("The connection to the database is not open."));
    auto *rows = dynamic_cast<RowsSource *>(&activeConnection);
    if (!rows)
        throw components::ComponentError(QStringLiteral("The recordset can only be opened on a Firebird connection."));
    return *rows;
}

void RowsRecordset::openOn(std::unique_ptr<TableRows> rows)
{
    if (state() == ado::adStateOpen)
        throw components::ComponentError(QStringLiteral("The recordset is already open; close it first."));
    m_fields.clear();
    m_rows.reset();
    std::vector<std::unique_ptr<RowField>> fields;
    for (std::size_t i = 0; i < rows->fields().size(); ++i)
        fields.push_back(std::make_unique<RowField>(*this, int(i), rows->fields()[i]));
    m_eof = !rows->next();
    m_rows = std::move(rows);
    m_fields = std::move(fields);
}

long RowsRecordset::RecordCount()
{
    ensureOpen();
    return m_rows->count();
}

bool RowsRecordset::Eof()
{
    ensureOpen();
    return m_eof;
}

void RowsRecordset::MoveNext()
{
    ensureOpen();
    if (m_eof)
        throw components::ComponentError(QStringLiteral("There is no current record: the end of the records has been reached."));
    m_eof = !m_rows->next();
}

ado::Fields &RowsRecordset::fields()
{
    ensureOpen();
    return *this;
}

void RowsRecordset::Close()
{
    if (!m_rows)
        throw components::ComponentError(QStringLiteral("The recordset is closed."));
    m_fields.clear();
    m_rows.reset();
    m_eof = true;
}

QString RowsRecordset::warning() const
{
    return m_rows ? m_rows->warning() : QString();
}

int RowsRecordset::count() const
{
    ensureOpen();
    return int(m_fields.size());
}

ado::Field &RowsRecordset::item(int index)
{
    ensureOpen();
    if (index < 0 || index >= int(m_fields.size()))
        throw components::ComponentError(QStringLiteral("There is no column %1: the record has %2 columns (counted from 0).")
                                             .arg(index).arg(m_fields.size()));
    return *m_fields[std::size_t(index)];
}

// Exact name first, then ignoring case, as ADO finds fields.
ado::Field &RowsRecordset::item(const QString &name)
{
    ensureOpen();
    for (const auto &field : m_fields)
        if (field->Name() == name)
            return *field;
    for (const auto &field : m_fields)
        if (field->Name().compare(name, Qt::CaseInsensitive) == 0)
            return *field;
    throw components::ComponentError(QStringLiteral("The record has no column named \"%1\".").arg(name));
}

void RowsRecordset::ensureOpen() const
{
    if (!m_rows)
        throw components::ComponentError(QStringLiteral("The recordset is closed."));
    if (!m_rows->connectionOpen())
        throw components::ConnectionLost(QStringLiteral("The connection to the database is closed."));
}

const TableRows &RowsRecordset::currentRow() const
{
    ensureOpen();
    if (m_eof)
        throw components::ComponentError(QStringLiteral("There is no current record: the end of the records has been reached."));
    return *m_rows;
}

} // namespace dbaccess
