#include "generated_table.h"

#include "database_access.h"

#include <QFile>
#include <QProcess>
#include <cstdio>

namespace bench_table {

bool createTable(const QString &file, int rows)
{
    const QString script = QStringLiteral(
        "CREATE DATABASE '%1' USER 'SYSDBA' DEFAULT CHARACTER SET UTF8;\n"
        "CREATE TABLE BIG (ID INTEGER NOT NULL PRIMARY KEY, NAME VARCHAR(30), PRICE NUMERIC(12,2), BORN DATE,"
        " SEEN TIMESTAMP, TOTAL BIGINT, RATIO DOUBLE PRECISION, NOTE VARCHAR(40), QTY SMALLINT, CODE CHAR(8));\n"
        "COMMIT;\nSET TERM ^;\n"
        "EXECUTE BLOCK AS DECLARE I INTEGER = 1; BEGIN WHILE (I <= %2) DO BEGIN\n"
        " INSERT INTO BIG VALUES (:I, 'Customer ' || :I, :I * 1.25, DATEADD(MOD(:I, 9000) DAY TO DATE '2000-01-01'),"
        " DATEADD(:I SECOND TO TIMESTAMP '2020-01-01 00:00:00'), :I * 1000003, :I / 7.0, IIF(MOD(:I, 5) = 0, NULL, 'note ' || :I),"
        " MOD(:I, 300), 'C' || MOD(:I, 1000));\n"
        " I = I + 1; END END^\nSET TERM ;^\nCOMMIT;\n").arg(file, QString::number(rows));
    QProcess isql;
    isql.start(QStringLiteral("isql-fb"), {QStringLiteral("-q")});
    isql.write(script.toUtf8());
    isql.closeWriteChannel();
    isql.waitForFinished(-1);
    if (isql.exitCode() != 0 || !QFile::exists(file)) {
        std::fprintf(stderr, "%s\n", isql.readAllStandardError().constData());
        return false;
    }
    return true;
}

std::vector<std::vector<excel::Cell>> tableCells(const QString &connectionString)
{
    auto connection = components::create<ado::Connection>(ado::ConnectionClass);
    connection->Open(connectionString);
    auto records = components::create<ado::Recordset>(ado::RecordsetClass);
    records->OpenTable(QStringLiteral("BIG"), *connection);
    const long rows = records->RecordCount();
    const int fields = records->fields().count();
    std::vector<std::vector<excel::Cell>> cells;
    cells.reserve(std::size_t(rows) + 1);
    cells.emplace_back();
    for (int f = 0; f < fields; ++f)
        cells.back().push_back((*records)[f].Name());
    for (long r = 0; r < rows; ++r) {
        cells.emplace_back();
        for (int f = 0; f < fields; ++f)
            cells.back().push_back((*records)[f].cell());
        records->MoveNext();
    }
    connection->Close();
    return cells;
}

std::vector<std::vector<excel::Cell>> asTexts(std::vector<std::vector<excel::Cell>> cells)
{
    for (auto &row : cells)
        for (excel::Cell &cell : row)
            cell = excel::Cell(cell.text);
    return cells;
}

} // namespace bench_table
