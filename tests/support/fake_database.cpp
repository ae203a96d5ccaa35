#include "fake_database.h"

#include <utility>

namespace testing_support {
namespace {

using components::ComponentError;

void throwIfGone(const FakeDatabase &database)
{
    if (database.gone)
        throw components::ConnectionLost(QStringLiteral("The connection to the database was lost."));
}

class FakeField : public ado::Field {
public:
    QString name;
    int type = ado::adVarChar;
    ado::Value current;
    std::shared_ptr<FakeDatabase> database;
    QString table;
    // The record the recordset is on, from 1.
    const std::size_t *record = nullptr;

    QString Name() const override
    {
        throwIfGone(*database);
        if (database->fails(QStringLiteral("Name ") + table))
            throw ComponentError(QStringLiteral("name unavailable"));
        return name;
    }
    int Type() const override
    {
        throwIfGone(*database);
        if (database->fails(QStringLiteral("Type ") + table))
            throw ComponentError(QStringLiteral("type unavailable"));
        return type;
    }
    ado::Value value() const override
    {
        throwIfGone(*database);
        const bool onThisRecord = database->failingRecord == 0 || std::size_t(database->failingRecord) == *record;
        if (onThisRecord && database->fails(QStringLiteral("value ") + table))
            throw ComponentError(QStringLiteral("value unavailable"));
        const bool longColumn = type == ado::adLongVarChar || type == ado::adLongVarBinary;
        if (onThisRecord && longColumn && database->fails(QStringLiteral("BLOB ") + table))
            throw ComponentError(QStringLiteral("BLOB unreadable"));
        return current;
    }
};

class FakeRecordset : public ado::Recordset, public ado::Fields {
public:
    explicit FakeRecordset(std::shared_ptr<FakeDatabase> database) : m_database(std::move(database)) {}

    void load(const QString &table, std::vector<FakeColumn> columns, std::vector<std::vector<ado::Value>> rows,
              QString warning = {})
    {
        m_table = table;
        m_warning = std::move(warning);
        m_fields.clear();
        for (const auto &column : columns) {
            auto field = std::make_unique<FakeField>();
            field->name = column.name;
            field->type = column.type;
            field->database = m_database;
            field->table = table;
            field->record = &m_record;
            m_fields.push_back(std::move(field));
        }
        m_rows = std::move(rows);
        m_position = 0;
        m_open = true;
        refresh();
    }

    int state() const override { return m_open ? ado::adStateOpen : ado::adStateClosed; }
    void setCursorLocation(int location) override { m_database->calls << QStringLiteral("Recordset.CursorLocation %1").arg(location); }

    void Open(const QString &source, ado::Connection &connection) override
    {
        m_database->calls << QStringLiteral("query ") + source;
        throwIfGone(*m_database);
        if (connection.state() == ado::adStateClosed)
            throw components::ConnectionLost(QStringLiteral("The connection to the database is not open."));
        const QString prefix = QStringLiteral("SELECT * FROM \"");
        if (!source.startsWith(prefix) || !source.endsWith(QLatin1Char('"')))
            throw ComponentError(QStringLiteral("Dynamic SQL Error"));
        QString quoted = source.mid(prefix.size(), source.size() - prefix.size() - 1);
        // An undoubled quote inside the name ends the identifier early.
        if (quoted.replace(QStringLiteral("\"\""), QString()).contains(QLatin1Char('"')))
            throw ComponentError(QStringLiteral("Dynamic SQL Error: Token unknown"));
        QString name = source.mid(prefix.size(), source.size() - prefix.size() - 1);
        name.replace(QStringLiteral("\"\""), QStringLiteral("\""));
        openTable(name);
    }

    void OpenTable(const QString &table, ado::Connection &connection) override
    {
        m_database->calls << QStringLiteral("table ") + table;
        throwIfGone(*m_database);
        if (connection.state() == ado::adStateClosed)
            throw components::ConnectionLost(QStringLiteral("The connection to the database is not open."));
        openTable(table);
    }

    long RecordCount() override
    {
        throwIfGone(*m_database);
        if (m_database->fails(QStringLiteral("RecordCount ") + m_table))
            throw ComponentError(QStringLiteral("count unavailable"));
        return long(m_rows.size());
    }
    bool Eof() override
    {
        throwIfGone(*m_database);
        if (m_database->fails(QStringLiteral("Eof")) || failsOnThisRecord(QStringLiteral("Eof ")))
            throw ComponentError(QStringLiteral("Eof unavailable"));
        return m_position >= m_rows.size();
    }
    void MoveNext() override
    {
        throwIfGone(*m_database);
        if (m_database->fails(QStringLiteral("MoveNext")) || failsOnThisRecord(QStringLiteral("MoveNext ")))
            throw ComponentError(QStringLiteral("MoveNext failed"));
        if (m_position >= m_rows.size())
            throw ComponentError(QStringLiteral("Either BOF or EOF is True"));
        ++m_position;
        refresh();
    }
    ado::Fields &fields() override { return *this; }
    void Close() override { m_open = false; }
    QString warning() const override { return m_warning; }

    int count() const override
    {
        throwIfGone(*m_database);
        if (m_database->fails(QStringLiteral("count ") + m_table))
            throw ComponentError(QStringLiteral("field count unavailable"));
        return int(m_fields.size());
    }
    ado::Field &item(int index) override
    {
        throwIfGone(*m_database);
        if (index < 0 || index >= int(m_fields.size()))
            throw ComponentError(QStringLiteral("Item cannot be found"));
        return *m_fields[index];
    }
    ado::Field &item(const QString &name) override
    {
        if (m_database->fails(name))
            throw ComponentError(QStringLiteral("field unavailable"));
        for (auto &field : m_fields) {
            if (field->name == name)
                return *field;
        }
        throw ComponentError(QStringLiteral("Item cannot be found"));
    }

private:
    void openTable(const QString &name)
    {
        if (m_database->fails(QStringLiteral("query ") + name))
            throw ComponentError(QStringLiteral("Table unknown ") + name);
        for (const auto &table : m_database->tables) {
            if (table.name == name) {
                if (table.type == QStringLiteral("VIEW") && m_database->preparationProgress) {
                    for (const int percent : std::exchange(m_database->viewPreparation, {}))
                        m_database->preparationProgress->preparing(QStringLiteral("db.fdb"), percent);
                    m_database->preparationProgress->prepared();
                }
                load(name, table.columns, table.rows, table.warning);
                return;
            }
        }
        throw ComponentError(QStringLiteral("Table unknown ") + name);
    }

    bool failsOnThisRecord(const QString &operation) const
    {
        return m_database->fails(operation + m_table)
            && (m_database->failingRecord == 0 || std::size_t(m_database->failingRecord) == m_record);
    }

    void refresh()
    {
        m_record = m_position + 1;
        for (size_t f = 0; f < m_fields.size(); ++f)
            m_fields[f]->current = m_position < m_rows.size() ? m_rows[m_position][f] : ado::Value();
    }

    std::shared_ptr<FakeDatabase> m_database;
    QString m_table;
    std::vector<std::unique_ptr<FakeField>> m_fields;
    std::vector<std::vector<ado::Value>> m_rows;
    size_t m_position = 0;
    std::size_t m_record = 1;
    QString m_warning;
    bool m_open = false;
};

class FakeConnection : public ado::Connection {
public:
    explicit FakeConnection(std::shared_ptr<FakeDatabase> database) : m_database(std::move(database)) {}
    ~FakeConnection() override
    {
        if (m_open)
            --m_database->openConnections;
    }

    void setCursorLocation(int location) override { m_database->calls << QStringLiteral("Connection.CursorLocation %1").arg(location); }
    void setMode(int mode) override { m_database->calls << QStringLiteral("Connection.Mode %1").arg(mode); }
    void Open(const QString &connectionString) override
    {
        m_database->calls << QStringLiteral("Open ") + connectionString;
        if (m_database->fails(QStringLiteral("Open"))
            || (!m_database->acceptedConnectionString.isEmpty() && connectionString != m_database->acceptedConnectionString))
            throw ComponentError(QStringLiteral("Your user name and password are not defined."));
        m_open = true;
        ++m_database->openConnections;
    }
    std::shared_ptr<ado::Recordset> OpenSchema(int schema) override
    {
        m_database->calls << QStringLiteral("OpenSchema %1").arg(schema);
        throwIfGone(*m_database);
        if (!m_open || m_database->fails(QStringLiteral("OpenSchema")))
            throw ComponentError(QStringLiteral("catalogue unavailable"));
        std::vector<std::vector<ado::Value>> rows;
        for (const auto &table : m_database->tables)
            rows.push_back({table.name, table.type});
        auto schemaRows = std::make_shared<FakeRecordset>(m_database);
        schemaRows->load(QStringLiteral("schema"),
                         {{QStringLiteral("TABLE_NAME"), ado::adVarChar}, {QStringLiteral("TABLE_TYPE"), ado::adVarChar}},
                         rows);
        return schemaRows;
    }
    int state() const override { return m_open ? ado::adStateOpen : ado::adStateClosed; }
    void setPreparationProgress(std::shared_ptr<ado::PreparationProgress> progress) override
    {
        m_database->preparationProgress = std::move(progress);
    }
    void Close() override
    {
        m_database->calls << QStringLiteral("Connection.Close");
        if (m_open)
            --m_database->openConnections;
        m_open = false;
    }

private:
    std::shared_ptr<FakeDatabase> m_database;
    bool m_open = false;
};

} // namespace

FakeTable &FakeDatabase::add(const QString &name, std::vector<FakeColumn> columns, int rows)
{
    FakeTable table;
    table.name = name;
    table.columns = std::move(columns);
    for (int r = 1; r <= rows; ++r) {
        std::vector<ado::Value> row;
        for (size_t c = 0; c < table.columns.size(); ++c)
            row.push_back(QStringLiteral("%1.%2").arg(r).arg(c + 1));
        table.rows.push_back(std::move(row));
    }
    tables.push_back(std::move(table));
    return tables.back();
}

void registerFakeDatabase(const std::shared_ptr<FakeDatabase> &database)
{
    auto &registry = components::Registry::instance();
    registry.registerFactory(ado::ConnectionClass, [database]() -> std::shared_ptr<components::Object> {
        if (database->fails(QStringLiteral("create Connection")))
            return nullptr;
        return std::make_shared<FakeConnection>(database);
    });
    registry.registerFactory(ado::RecordsetClass, [database]() -> std::shared_ptr<components::Object> {
        if (database->fails(QStringLiteral("create Recordset")))
            return nullptr;
        return std::make_shared<FakeRecordset>(database);
    });
}

} // namespace testing_support
