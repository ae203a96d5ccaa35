// failing_values_bench: the cost of reading on past values the engine cannot
// compute. A 200,000-row table with a computed column A / B is read through
// the database access component four ways in one run: no row fails (the
// reference), the second row fails (every later row comes from the cursor
// that reads on), and one row in every 1,000 fails (each failure reads its
// row again value by value and passes over the rows before it), and every
// row fails (past a bound on the rows passed over, the column is no longer
// computed).

#include "connection_string.h"
#include "database_access.h"
#include "database_failure.h"
#include "firebird_client.h"
#include "register_database_access.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

using namespace Firebird;

namespace {

constexpr int benchRows = 200000;

// FINE never fails, LATE fails on one early row, SPARSE on one row in
// 1,000, EVERY on every row.
void createTables(const QString &dbname)
{
    IMaster *master = dbaccess::firebirdMaster();
    ThrowStatusWrapper status(master->getStatus());
    IProvider *provider = master->getDispatcher();
    IXpbBuilder *dpb = master->getUtilInterface()->getXpbBuilder(&status, IXpbBuilder::DPB, nullptr, 0);
    dpb->insertString(&status, isc_dpb_user_name, "SYSDBA");
    IAttachment *attachment = provider->createDatabase(&status, dbname.toUtf8().constData(), dpb->getBufferLength(&status),
                                                       dpb->getBuffer(&status));
    dpb->dispose();
    const auto run = [&](const QString &sql) {
        ITransaction *transaction = attachment->startTransaction(&status, 0, nullptr);
        attachment->execute(&status, transaction, 0, sql.toUtf8().constData(), 3, nullptr, nullptr, nullptr, nullptr);
        transaction->commit(&status);
    };
    const QString fill = QStringLiteral(
        "INSERT INTO %1 (ID, A, B) WITH RECURSIVE R (N) AS (SELECT 1 FROM RDB$DATABASE UNION ALL "
        "SELECT N + 1 FROM R WHERE N < 1000) SELECT X.N * 1000 + Y.N - 1000, X.N, %2 FROM R X, R Y WHERE X.N <= %3");
    for (const auto &[table, divisor] : {std::pair{"FINE", "1 + Y.N"}, std::pair{"LATE", "IIF(X.N = 1 AND Y.N = 2, 0, 1 + Y.N)"},
                                         std::pair{"SPARSE", "IIF(Y.N = 500, 0, 1 + Y.N)"}, std::pair{"EVERY", "0"}}) {
        run(QStringLiteral("CREATE TABLE %1 (ID INTEGER, A INTEGER, B INTEGER, Q COMPUTED BY (A / B))").arg(QLatin1String(table)));
        run(fill.arg(QLatin1String(table), QLatin1String(divisor), QString::number(benchRows / 1000)));
    }
    attachment->detach(&status);
    provider->release();
    status.dispose();
}

struct Read {
    double seconds = 0;
    long nulls = 0;
    QString warning;
};

Read readTable(const QString &dbname, const char *table)
{
    QElapsedTimer timer;
    timer.start();
    auto connection = components::create<ado::Connection>(ado::ConnectionClass);
    connection->Open(dbaccess::connectionString(dbaccess::enteredLogin(dbname, QStringLiteral("SYSDBA"), QString())));
    auto recordset = components::create<ado::Recordset>(ado::RecordsetClass);
    recordset->Open(QStringLiteral("SELECT * FROM \"%1\"").arg(QLatin1String(table)), *connection);
    Read result;
    const long rows = recordset->RecordCount();
    const int fields = recordset->fields().count();
    for (long r = 0; r < rows; ++r) {
        for (int f = 0; f < fields; ++f)
            result.nulls += (*recordset)[f].value() ? 0 : 1;
        recordset->MoveNext();
    }
    result.warning = recordset->warning();
    connection->Close();
    result.seconds = timer.elapsed() / 1000.0;
    return result;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    registerDatabaseAccessComponents();
    try {
        QTemporaryDir folder;
        const QString dbname = folder.filePath(QStringLiteral("failing.fdb"));
        std::printf("Generating 4 tables of %d rows...\n", benchRows);
        createTables(dbname);
        readTable(dbname, "FINE");
        const Read fine = readTable(dbname, "FINE");
        std::printf("  no value fails:                 %.2f s\n", fine.seconds);
        for (const char *table : {"LATE", "SPARSE", "EVERY"}) {
            const Read read = readTable(dbname, table);
            std::printf("  %-6s %6ld empty cells:        %.2f s, ratio to none failing %.2f\n", table, read.nulls,
                        read.seconds, read.seconds / fine.seconds);
            const qsizetype abandoned = read.warning.indexOf(QLatin1String("From record"));
            if (abandoned >= 0)
                std::printf("         %s\n", qPrintable(read.warning.mid(abandoned)));
        }
    } catch (...) {
        return reportDatabaseFailure();
    }
    return 0;
}
