#include "system_table.h"

#include "component_error.h"
#include "field_reader.h"

#include <cstring>

namespace ods {

namespace {

template <typename T>
std::optional<qint64> read(QByteArrayView value)
{
    if (value.size() < qsizetype(sizeof(T)))
        return std::nullopt;
    T number;
    std::memcpy(&number, value.data(), sizeof number);
    return qint64(number);
}

} // namespace

SystemTable::SystemTable(const Database &database, const QString &name) : m_database(database)
{
    for (const auto &relation : database.relations())
        if (relation.name == name && !relation.view) {
            m_relation = &relation;
            m_rows = database.rows(relation);
            return;
        }
}

bool SystemTable::isNull(const char *column) const
{
    const int index = indexOf(column);
    return index < 0 || m_rows->isNull(index);
}

QString SystemTable::text(const char *column) const
{
    if (isNull(column))
        return {};
    const int index = indexOf(column);
    const Column &type = m_relation->columns[size_t(index)];
    const QByteArrayView value = m_rows->value(index);
    QByteArray bytes;
    if (type.dtype == DtText) {
        bytes = value.toByteArray();
    } else if (type.dtype == DtVarying && value.size() >= 2) {
        quint16 length;
        std::memcpy(&length, value.data(), sizeof length);
        bytes = value.sliced(2, qMin<qsizetype>(length, value.size() - 2)).toByteArray();
    } else if (type.dtype == DtBlob) {
        try {
            return FieldReader::decodeName(m_database.blob(*m_relation, value));
        } catch (const components::ComponentError &) {
            return {}; // a damaged text costs only itself
        }
    }
    while (bytes.endsWith(' '))
        bytes.chop(1);
    return FieldReader::decodeName(bytes);
}

std::optional<qint64> SystemTable::number(const char *column) const
{
    if (isNull(column))
        return std::nullopt;
    const int index = indexOf(column);
    const QByteArrayView value = m_rows->value(index);
    switch (m_relation->columns[size_t(index)].dtype) {
    case DtShort: return read<qint16>(value);
    case DtLong: return read<qint32>(value);
    case DtInt64: return read<qint64>(value);
    default: return std::nullopt;
    }
}

int SystemTable::indexOf(const char *column) const
{
    if (!m_relation)
        return -1;
    const auto found = m_indexes.find(column);
    if (found != m_indexes.end())
        return found->second;
    int index = -1;
    for (size_t i = 0; i < m_relation->columns.size(); ++i)
        if (m_relation->columns[i].name == QLatin1String(column))
            index = int(i);
    m_indexes[column] = index;
    return index;
}

} // namespace ods
