#include "database_snapshot.h"

#include <QFile>
#include <QStringList>
#include <algorithm>

namespace db_test {

namespace {

QString shown(const ado::Value &value)
{
    return value ? u'"' + *value + u'"' : QStringLiteral("null");
}

} // namespace

DatabaseSnapshot snapshot(ado::Connection &connection, const TableFilter &readCells)
{
    DatabaseSnapshot result;
    auto schema = connection.OpenSchema(ado::adSchemaTables);
    while (!schema->Eof()) {
        TableSnapshot table;
        table.name = *schema->fields().item(QStringLiteral("TABLE_NAME")).value();
        table.type = *schema->fields().item(QStringLiteral("TABLE_TYPE")).value();
        result.tables.push_back(table);
        schema->MoveNext();
    }
    schema->Close();
    for (auto &table : result.tables) {
        if (!readCells(table.name, table.type))
            continue;
        try {
            auto recordset = components::create<ado::Recordset>(ado::RecordsetClass);
            recordset->setCursorLocation(ado::adUseClient);
            QString quoted = table.name;
            quoted.replace(u'"', QStringLiteral("\"\""));
            recordset->Open(QStringLiteral("SELECT * FROM \"%1\"").arg(quoted), connection);
            for (int f = 0; f < recordset->fields().count(); ++f) {
                table.fieldNames.push_back((*recordset)[f].Name());
                table.fieldTypes.push_back((*recordset)[f].Type());
            }
            table.recordCount = recordset->RecordCount();
            for (long r = 0; r < table.recordCount && !recordset->Eof(); ++r) {
                std::vector<ado::Value> row;
                for (int f = 0; f < recordset->fields().count(); ++f) {
                    try {
                        row.push_back((*recordset)[f].value());
                    } catch (const components::ComponentError &error) {
                        row.push_back(std::nullopt);
                        if (!table.cellFailures.contains(error.description()))
                            table.cellFailures << error.description();
                    }
                }
                table.rows.push_back(std::move(row));
                recordset->MoveNext();
            }
            recordset->Close();
        } catch (const components::ComponentError &error) {
            table.failure = error.description();
        }
    }
    return result;
}

QString tableDifference(const TableSnapshot &e, const TableSnapshot &a)
{
    if (e.failure != a.failure)
        return QStringLiteral("failure \"%1\" against \"%2\"").arg(e.failure, a.failure);
    if (e.cellFailures != a.cellFailures)
        return QStringLiteral("cells failing with \"%1\" against \"%2\"")
            .arg(e.cellFailures.join(u'|'), a.cellFailures.join(u'|'));
    if (e.fieldNames != a.fieldNames)
        return QStringLiteral("field names %1 against %2")
            .arg(QStringList(e.fieldNames.begin(), e.fieldNames.end()).join(u','),
                 QStringList(a.fieldNames.begin(), a.fieldNames.end()).join(u','));
    for (std::size_t f = 0; f < e.fieldTypes.size(); ++f)
        if (e.fieldTypes[f] != a.fieldTypes[f])
            return QStringLiteral("field %1 has type %2 against %3").arg(e.fieldNames[f], QString::number(e.fieldTypes[f]), QString::number(a.fieldTypes[f]));
    if (e.recordCount != a.recordCount || e.rows.size() != a.rows.size())
        return QStringLiteral("%1 records (%2 read) against %3 (%4 read)")
            .arg(e.recordCount).arg(e.rows.size()).arg(a.recordCount).arg(a.rows.size());
    for (std::size_t r = 0; r < e.rows.size(); ++r)
        for (std::size_t f = 0; f < e.rows[r].size(); ++f)
            if (e.rows[r][f] != a.rows[r][f])
                return QStringLiteral("row %1, field %2: %3 against %4")
                    .arg(r).arg(e.fieldNames[f], shown(e.rows[r][f]).left(200), shown(a.rows[r][f]).left(200));
    return {};
}

QStringList differences(const DatabaseSnapshot &expected, const DatabaseSnapshot &actual)
{
    QStringList found;
    for (const auto &e : expected.tables) {
        const auto a = std::find_if(actual.tables.begin(), actual.tables.end(),
                                    [&](const TableSnapshot &t) { return t.name == e.name; });
        if (a == actual.tables.end())
            found << QStringLiteral("%1 %2 is missing").arg(e.type, e.name);
        else if (a->type != e.type)
            found << QStringLiteral("%1 is a %2 against a %3").arg(e.name, e.type, a->type);
        else if (const QString difference = tableDifference(e, *a); !difference.isEmpty())
            found << e.name + QStringLiteral(": ") + difference;
    }
    for (const auto &a : actual.tables)
        if (std::none_of(expected.tables.begin(), expected.tables.end(), [&](const TableSnapshot &t) { return t.name == a.name; }))
            found << QStringLiteral("%1 %2 is extra").arg(a.type, a.name);
    QStringList expectedOrder, actualOrder;
    for (const auto &t : expected.tables)
        expectedOrder << t.name;
    for (const auto &t : actual.tables)
        actualOrder << t.name;
    if (found.isEmpty() && expectedOrder != actualOrder)
        found << QStringLiteral("the catalogue's order differs: %1 against %2").arg(expectedOrder.join(u','), actualOrder.join(u','));
    return found;
}

QString legacyFixture(const QString &name, const QString &folder)
{
    const QString target = folder + u'/' + name;
    QFile::remove(target);
    return QFile::copy(QStringLiteral(LEGACY_DATABASES "/") + name, target) ? target : QString();
}

} // namespace db_test
