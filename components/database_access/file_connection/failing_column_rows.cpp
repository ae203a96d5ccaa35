#include "failing_column_rows.h"

#include "component_error.h"

#include <vector>

namespace dbaccess {

namespace {

class FailingColumnRows : public TableRows {
public:
    FailingColumnRows(std::unique_ptr<TableRows> rows, const std::map<QString, QString> &failures,
                      const QString &partial)
        : m_rows(std::move(rows)), m_partial(partial)
    {
        for (const auto &field : m_rows->fields()) {
            const auto failure = failures.find(field.name);
            m_failures.push_back(failure == failures.end() ? QString() : failure->second);
        }
    }

    const std::vector<FieldDescription> &fields() const override { return m_rows->fields(); }
    bool next() override { return m_rows->next(); }
    long count() override { return m_rows->count(); }
    bool connectionOpen() const override { return m_rows->connectionOpen(); }
    QString warning() const override
    {
        const QString inner = m_rows->warning();
        if (m_partial.isEmpty() || inner.isEmpty())
            return m_partial + inner;
        return m_partial + QLatin1Char(' ') + inner;
    }

    ado::Value value(int field) const override
    {
        if (!m_failures[std::size_t(field)].isEmpty())
            throw components::ComponentError(m_failures[std::size_t(field)]);
        return m_rows->value(field);
    }

    excel::Cell cell(int field) const override
    {
        if (!m_failures[std::size_t(field)].isEmpty())
            throw components::ComponentError(m_failures[std::size_t(field)]);
        return m_rows->cell(field);
    }

private:
    std::unique_ptr<TableRows> m_rows;
    std::vector<QString> m_failures;
    QString m_partial;
};

} // namespace

std::unique_ptr<TableRows> withFailingColumns(std::unique_ptr<TableRows> rows, const std::map<QString, QString> &failures,
                                              const QString &partial)
{
    if (failures.empty() && partial.isEmpty())
        return rows;
    return std::make_unique<FailingColumnRows>(std::move(rows), failures, partial);
}

} // namespace dbaccess
