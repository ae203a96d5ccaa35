#include "system_records.h"

#include "ods/data_type.h"

#include <QByteArrayView>
#include <algorithm>
#include <cstdint>
#include <cstring>

namespace dbaccess {

namespace {

// A catalogue value as text; nullopt for null or a type a catalogue column
// never has.
std::optional<QString> metadataText(const ods::Rows &rows, int column, int dtype)
{
    if (rows.isNull(column))
        return std::nullopt;
    const QByteArrayView bytes = rows.value(column);
    switch (dtype) {
    case ods::DtText: {
        QString text = QString::fromUtf8(bytes);
        while (text.endsWith(u' '))
            text.chop(1);
        return text;
    }
    case ods::DtVarying: {
        if (bytes.size() < 2)
            return std::nullopt;
        std::uint16_t length;
        std::memcpy(&length, bytes.data(), sizeof length);
        return QString::fromUtf8(bytes.sliced(2, std::min<qsizetype>(length, bytes.size() - 2)));
    }
    case ods::DtShort: {
        if (bytes.size() < 2)
            return std::nullopt;
        std::int16_t number;
        std::memcpy(&number, bytes.data(), sizeof number);
        return QString::number(number);
    }
    case ods::DtLong: {
        if (bytes.size() < 4)
            return std::nullopt;
        std::int32_t number;
        std::memcpy(&number, bytes.data(), sizeof number);
        return QString::number(number);
    }
    default: return std::nullopt;
    }
}

} // namespace

void forEachSystemRecord(const ods::Database &database, const QString &relationName, const QStringList &columns,
                         const std::function<void(const SystemRecord &)> &use)
{
    const ods::Relation *relation = nullptr;
    for (const auto &each : database.relations())
        if (each.name == relationName)
            relation = &each;
    if (!relation)
        return;
    std::vector<std::pair<int, int>> wanted; // column index, dtype
    for (const QString &name : columns) {
        wanted.emplace_back(-1, 0);
        for (std::size_t i = 0; i < relation->columns.size(); ++i)
            if (relation->columns[i].name == name)
                wanted.back() = {int(i), relation->columns[i].dtype};
    }
    const std::unique_ptr<ods::Rows> rows = database.rows(*relation);
    SystemRecord record(columns.size());
    while (rows->next()) {
        for (std::size_t i = 0; i < wanted.size(); ++i)
            record[i] = wanted[i].first < 0 ? std::nullopt : metadataText(*rows, wanted[i].first, wanted[i].second);
        use(record);
    }
}

} // namespace dbaccess
