#include "database_snapshot.h"

#include <QFile>
#include <QProcess>
#include <QStringList>

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
                for (int f = 0; f < recordset->fields().count(); ++f)
                    row.push_back((*recordset)[f].value());
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

QString firstDifference(const DatabaseSnapshot &expected, const DatabaseSnapshot &actual)
{
    QStringList expectedList, actualList;
    for (const auto &t : expected.tables)
        expectedList << t.type + u' ' + t.name;
    for (const auto &t : actual.tables)
        actualList << t.type + u' ' + t.name;
    if (expectedList != actualList)
        return QStringLiteral("catalogue differs:\n  %1\n  %2").arg(expectedList.join(u','), actualList.join(u','));
    for (std::size_t i = 0; i < expected.tables.size(); ++i) {
        const auto &e = expected.tables[i];
        const auto &a = actual.tables[i];
        const QString where = QStringLiteral("table %1: ").arg(e.name);
        if (e.failure != a.failure)
            return where + QStringLiteral("failure \"%1\" against \"%2\"").arg(e.failure, a.failure);
        if (e.fieldNames != a.fieldNames)
            return where + QStringLiteral("field names %1 against %2")
                               .arg(QStringList(e.fieldNames.begin(), e.fieldNames.end()).join(u','),
                                    QStringList(a.fieldNames.begin(), a.fieldNames.end()).join(u','));
        for (std::size_t f = 0; f < e.fieldTypes.size(); ++f)
            if (e.fieldTypes[f] != a.fieldTypes[f])
                return where + QStringLiteral("field %1 has type %2 against %3").arg(e.fieldNames[f]).arg(e.fieldTypes[f]).arg(a.fieldTypes[f]);
        if (e.recordCount != a.recordCount || e.rows.size() != a.rows.size())
            return where + QStringLiteral("%1 records (%2 read) against %3 (%4 read)")
                               .arg(e.recordCount).arg(e.rows.size()).arg(a.recordCount).arg(a.rows.size());
        for (std::size_t r = 0; r < e.rows.size(); ++r)
            for (std::size_t f = 0; f < e.rows[r].size(); ++f)
                if (e.rows[r][f] != a.rows[r][f])
                    return where + QStringLiteral("row %1, field %2: %3 against %4")
                                       .arg(r).arg(e.fieldNames[f], shown(e.rows[r][f]).left(200), shown(a.rows[r][f]).left(200));
    }
    return {};
}

QString legacyFixture(const QString &name, const QString &folder)
{
    const QString target = folder + u'/' + name;
    QProcess xz;
    xz.setStandardOutputFile(target);
    xz.start(QStringLiteral("xz"), {QStringLiteral("-dc"), QStringLiteral(MARROWBECK_SOURCE_DIR "/tests/data/legacy/") + name + QStringLiteral(".xz")});
    xz.waitForFinished(60000);
    return xz.exitStatus() == QProcess::NormalExit && xz.exitCode() == 0 ? target : QString();
}

} // namespace db_test
