#include "generator_values.h"

#include "component_error.h"
#include "ods/system_table.h"

#include <QFile>
#include <cstring>

namespace dbaccess {

namespace {

constexpr char generatorPageType = 9;

// Where the values start: after the page header and the page's sequence,
// padded differently before and after on-disk structure 12.
qsizetype firstValueOffset(int odsMajor)
{
    return odsMajor >= 12 ? 24 : 32;
}

} // namespace

std::map<int, qint64> generatorValues(const QString &path, const ods::Database &database)
{
    std::map<int, qint64> values;
    std::map<qint64, qint64> pagesBySequence;
    try {
        ods::SystemTable pages(database, QStringLiteral("RDB$PAGES"));
        while (pages.next())
            if (pages.number("RDB$PAGE_TYPE") == generatorPageType && pages.number("RDB$PAGE_SEQUENCE"))
                pagesBySequence[*pages.number("RDB$PAGE_SEQUENCE")] = pages.number("RDB$PAGE_NUMBER").value_or(0);
    } catch (const components::ComponentError &) {
        return values;
    }
    QFile file(path);
    const qsizetype pageSize = qsizetype(database.facts().pageSize);
    const qsizetype offset = firstValueOffset(database.facts().odsMajor);
    if (pageSize <= offset || !file.open(QIODevice::ReadOnly))
        return values;
    const qsizetype perPage = (pageSize - offset) / qsizetype(sizeof(qint64));
    for (const auto &[sequence, number] : pagesBySequence) {
        if (number <= 0 || !file.seek(number * pageSize))
            continue;
        const QByteArray page = file.read(pageSize);
        if (page.size() != pageSize || page[0] != generatorPageType)
            continue;
        for (qsizetype slot = 0; slot < perPage; ++slot) {
            qint64 value;
            std::memcpy(&value, page.constData() + offset + slot * qsizetype(sizeof value), sizeof value);
            values[int(sequence * perPage + slot)] = value;
        }
    }
    return values;
}

} // namespace dbaccess
