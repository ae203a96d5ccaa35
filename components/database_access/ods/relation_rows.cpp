#include "relation_rows.h"

#include "encryption.h"
#include "value_conversion.h"

namespace ods {

namespace {

bool nullFlag(const std::vector<uint8_t> &data, int fieldId)
{
    return (data[size_t(fieldId) >> 3] >> (fieldId & 7)) & 1;
}

QByteArrayView viewOf(const FieldLayout &layout, const uint8_t *value)
{
    if (layout.dtype == DtVarying) {
        const int length = std::min<int>(get16(value), layout.length - 2);
        return QByteArrayView(value, 2 + std::max(length, 0));
    }
    return QByteArrayView(value, layout.length);
}

} // namespace

RelationRows::RelationRows(std::shared_ptr<const OdsFile> file, const StoredRelation &relation)
    : m_file(std::move(file)), m_relation(relation), m_pages(pagesOf(m_file->store(), relation)),
      m_cursor(m_pages, true)
{
    if (const QString refusal = encryptedColumnsRefusal(relation.relation); !refusal.isEmpty())
        fail(refusal);
    const std::vector<Column> &columns = relation.relation.columns;
    const RecordFormat *current = nullptr;
    if (!relation.relation.view)
        current = &relation.format(relation.relation.format);
    m_current = current;
    for (const Column &column : columns) {
        Plan plan;
        plan.fieldId = column.fieldId;
        if (current && column.computedSource.isEmpty() && size_t(column.fieldId) < current->fields.size() &&
            current->fields[size_t(column.fieldId)].stored())
            plan.current = current->fields[size_t(column.fieldId)];
        m_plan.push_back(plan);
    }
    m_nulls.assign(columns.size(), 1);
    m_values.resize(columns.size());
    m_converted.resize(columns.size());
}

bool RelationRows::next()
{
    const auto formatLength = [this](int number) { return m_relation.format(number).length; };
    while (m_cursor.next(m_slot)) {
        try {
            if (m_file->store().newestCommitted(m_slot, &m_image, formatLength)) {
                decode();
                return true;
            }
        } catch (const PageDamage &damage) {
            m_cursor.recordLost(damage.page());
        } catch (const FileDamage &) {
            m_cursor.recordLost(m_slot.page.number());
        }
    }
    return false;
}

const FieldDefault *RelationRows::defaultFor(int recordFormat, int fieldId) const
{
    for (int number = recordFormat + 1; number <= m_relation.relation.format; ++number) {
        const auto found = m_relation.formats.find(number);
        if (found == m_relation.formats.end())
            continue;
        const std::vector<FieldDefault> &defaults = found->second.defaults;
        if (size_t(fieldId) < defaults.size() && defaults[size_t(fieldId)].layout.dtype != 0)
            return &defaults[size_t(fieldId)];
    }
    return nullptr;
}

void RelationRows::decode()
{
    const RecordFormat &format = m_relation.format(m_image.format);
    const std::vector<uint8_t> &data = m_image.data;
    if (data.size() != format.length)
        damaged(QStringLiteral("a record of table \"%1\" on page %2 has %3 bytes where its format has %4")
                    .arg(m_relation.relation.name, QString::number(m_slot.page.number()), QString::number(data.size()),
                         QString::number(format.length)));
    const bool currentFormat = &format == m_current;
    for (size_t i = 0; i < m_plan.size(); ++i) {
        const Plan &plan = m_plan[i];
        m_nulls[i] = 1;
        m_values[i] = {};
        if (plan.current.dtype == 0)
            continue;
        if (currentFormat) {
            if (!nullFlag(data, plan.fieldId)) {
                m_nulls[i] = 0;
                m_values[i] = viewOf(plan.current, data.data() + plan.current.offset);
            }
            continue;
        }
        const FieldLayout *stored = size_t(plan.fieldId) < format.fields.size() &&
                                            format.fields[size_t(plan.fieldId)].stored()
                                        ? &format.fields[size_t(plan.fieldId)]
                                        : nullptr;
        bool converted = false;
        if (stored) {
            if (nullFlag(data, plan.fieldId))
                continue;
            converted = convertValue(*stored, data.data() + stored->offset, plan.current, m_converted[i]);
        } else if (const FieldDefault *value = defaultFor(m_image.format, plan.fieldId)) {
            converted = value->value.size() >= value->layout.length &&
                        convertValue(value->layout, reinterpret_cast<const uint8_t *>(value->value.constData()),
                                     plan.current, m_converted[i]);
        } else {
            continue;
        }
        if (!converted)
            cannotConvert(i);
        m_nulls[i] = 0;
        m_values[i] = viewOf(plan.current, reinterpret_cast<const uint8_t *>(m_converted[i].constData()));
    }
}

void RelationRows::cannotConvert(size_t column) const
{
    fail(QStringLiteral("The table \"%1\" has rows written before the type of its column \"%2\" changed, and their "
                        "values cannot be shown in the new type as Firebird would show them. Make a backup of the "
                        "database with gbak and restore it: that rewrites those rows in the new type.")
             .arg(m_relation.relation.name, m_relation.relation.columns[column].name));
}

long long countRows(const std::shared_ptr<const OdsFile> &file, const StoredRelation &relation)
{
    RelationRows rows(file, relation);
    long long count = 0;
    while (rows.next())
        ++count;
    return count;
}

} // namespace ods
