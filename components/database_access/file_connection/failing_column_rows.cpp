#include "failing_column_rows.h"

#include "component_error.h"

#include <vector>

namespace dbaccess {

namespace {

class FailingColumnRows : public TableRows {
public:
    FailingColumnRows(std::unique_ptr<TableRows> rows, const std::map<QString, QString> &failures)
        : m_rows(std::move(rows))
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
};

} // namespace

std::unique_ptr<TableRows> withFailingColumns(std::unique_ptr<TableRows> rows, const std::map<QString, QString> &failures)
{
    if (failures.empty())
        return rows;
    return std::make_unique<FailingColumnRows>(std::move(rows), failures);
}

} // namespace dbaccess
