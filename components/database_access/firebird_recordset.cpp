#include "firebird_recordset.h"

#include "firebird_connection.h"

namespace dbaccess {

class FirebirdRecordset::ColumnField : public ado::Field {
public:
    ColumnField(const FirebirdRecordset &recordset, int column, const FirebirdColumn &description)
        : m_recordset(recordset), m_column(column), m_name(description.name), m_type(description.adoType)
    {
    }

    QString Name() const override { return m_name; }
    int Type() const override { return m_type; }
    ado::Value value() const override { return m_recordset.currentValue(m_column); }

private:
    const FirebirdRecordset &m_recordset;
    int m_column;
    QString m_name;
    int m_type;
};

FirebirdRecordset::FirebirdRecordset() = default;
FirebirdRecordset::~FirebirdRecordset() = default;

// Closing the connection closes its recordsets, as in ADO.
int FirebirdRecordset::state() const
{
    return m_query && m_query->connectionOpen() ? ado::adStateOpen : ado::adStateClosed;
}

// Rows are streamed and the record count is exact with either location, so
// there is nothing to choose between.
void FirebirdRecordset::setCursorLocation(int)
{
}

void FirebirdRecordset::Open(const QString &source, ado::Connection &activeConnection)
{
    auto *connection = dynamic_cast<FirebirdConnection *>(&activeConnection);
    if (!connection)
        throw components::ComponentError(QStringLiteral("The recordset can only be opened on a Firebird connection."));
    openOn(connection->session(), source);
}

void FirebirdRecordset::openOn(std::shared_ptr<Session> session, const QString &query)
{
    if (state() == ado::adStateOpen)
        throw components::ComponentError(QStringLiteral("The recordset is already open; close it first."));
    m_fields.clear();
    m_query.reset();
    if (!session)
        throw components::ComponentError(QStringLiteral("The connection to the database is not open."));
    auto opened = std::make_unique<FirebirdQuery>(std::move(session), query);
    std::vector<std::unique_ptr<ColumnField>> fields;
    for (std::size_t i = 0; i < opened->columns().size(); ++i)
        fields.push_back(std::make_unique<ColumnField>(*this, int(i), opened->columns()[i]));
    m_eof = !opened->fetch();
    m_query = std::move(opened);
    m_fields = std::move(fields);
}

long FirebirdRecordset::RecordCount()
{
    ensureOpen();
    return m_query->count();
}

bool FirebirdRecordset::Eof()
{
    ensureOpen();
    return m_eof;
}

void FirebirdRecordset::MoveNext()
{
    ensureOpen();
    if (m_eof)
        throw components::ComponentError(QStringLiteral("There is no current record: the end of the records has been reached."));
    m_eof = !m_query->fetch();
}

ado::Fields &FirebirdRecordset::fields()
{
    ensureOpen();
    return *this;
}

void FirebirdRecordset::Close()
{
    if (!m_query)
        throw components::ComponentError(QStringLiteral("The recordset is closed."));
    m_fields.clear();
    m_query.reset();
    m_eof = true;
}

int FirebirdRecordset::count() const
{
    ensureOpen();
    return int(m_fields.size());
}

ado::Field &FirebirdRecordset::item(int index)
{
    ensureOpen();
    if (index < 0 || index >= int(m_fields.size()))
        throw components::ComponentError(QStringLiteral("There is no column %1: the record has %2 columns (counted from 0).")
                                             .arg(index).arg(m_fields.size()));
    return *m_fields[std::size_t(index)];
}

// Exact name first, then ignoring case, as ADO finds fields.
ado::Field &FirebirdRecordset::item(const QString &name)
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

void FirebirdRecordset::ensureOpen() const
{
    if (!m_query)
        throw components::ComponentError(QStringLiteral("The recordset is closed."));
    if (!m_query->connectionOpen())
        throw components::ComponentError(QStringLiteral("The connection to the database is closed."));
}

ado::Value FirebirdRecordset::currentValue(int column) const
{
    ensureOpen();
    if (m_eof)
        throw components::ComponentError(QStringLiteral("There is no current record: the end of the records has been reached."));
    return m_query->value(column);
}

} // namespace dbaccess
