// local_file_bench: a Firebird 3 file of about 400 MB (three tables of
// 1,000,000 rows), opened and read the way the program did before (the
// embedded engine on a private byte copy of the whole file) and the way it
// does now (the reader on the file itself), in the same run:
//   - from "Next >" to a filled list: opening and the tables catalogue;
//   - reading every table into text, with a digest of every cell so both
//     ways are seen to give the same texts;
//   - what the copies folder holds for the file after a tables-only read.
// MARROWBECK_BENCH_TABLES sets the number of tables (default 3).

#include "connection_string.h"
#include "database_access.h"
#include "database_failure.h"
#include "firebird_client.h"
#include "firebird_connection.h"
#include "local_file.h"
#include "register_database_access.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <ibase.h>

using namespace Firebird;

namespace {

constexpr int rowsPerTable = 1000000;

void createFile(const QString &path, int tables)
{
    IMaster *master = dbaccess::firebirdMaster();
    ThrowStatusWrapper status(master->getStatus());
    IProvider *provider = master->getDispatcher();
    IXpbBuilder *dpb = master->getUtilInterface()->getXpbBuilder(&status, IXpbBuilder::DPB, nullptr, 0);
    dpb->insertString(&status, isc_dpb_user_name, "SYSDBA");
    dpb->insertInt(&status, isc_dpb_page_size, 8192);
    dpb->insertInt(&status, isc_dpb_force_write, 0);
    IAttachment *attachment = provider->createDatabase(&status, path.toUtf8().constData(), dpb->getBufferLength(&status),
                                                       dpb->getBuffer(&status));
    dpb->dispose();
    const auto run = [&](const QString &sql) {
        ITransaction *transaction = attachment->startTransaction(&status, 0, nullptr);
        attachment->execute(&status, transaction, 0, sql.toUtf8().constData(), 3, nullptr, nullptr, nullptr, nullptr);
        transaction->commit(&status);
    };
    for (int t = 1; t <= tables; ++t) {
        const QString table = QStringLiteral("T%1").arg(t);
        run(QStringLiteral("CREATE TABLE %1 (ID INTEGER, QTY SMALLINT, BIG BIGINT, PRICE NUMERIC(12,2), "
                           "RATIO DOUBLE PRECISION, TAG VARCHAR(40), CODE CHAR(8), SOLD_ON DATE, STAMP TIMESTAMP, "
                           "FLAG BOOLEAN)").arg(table));
        run(QStringLiteral(
                "INSERT INTO %1 WITH D (N) AS (SELECT 0 FROM RDB$DATABASE UNION ALL SELECT 1 FROM RDB$DATABASE UNION ALL "
                "SELECT 2 FROM RDB$DATABASE UNION ALL SELECT 3 FROM RDB$DATABASE UNION ALL SELECT 4 FROM RDB$DATABASE "
                "UNION ALL SELECT 5 FROM RDB$DATABASE UNION ALL SELECT 6 FROM RDB$DATABASE UNION ALL SELECT 7 FROM "
                "RDB$DATABASE UNION ALL SELECT 8 FROM RDB$DATABASE UNION ALL SELECT 9 FROM RDB$DATABASE), "
                "R (N) AS (SELECT A.N + B.N * 10 + C.N * 100 + E.N * 1000 + F.N * 10000 + G.N * 100000 "
                "FROM D A, D B, D C, D E, D F, D G) "
                "SELECT N, MOD(N, 30000), N * 1000003, N / 100.0, N / 7.0, UUID_TO_CHAR(GEN_UUID()), 'C' || MOD(N, 1000), "
                "DATEADD(DAY, MOD(N, 20000), DATE '1990-01-01'), DATEADD(SECOND, N, TIMESTAMP '2020-01-01 00:00:00'), "
                "MOD(N, 2) = 0 FROM R WHERE N < %2").arg(table, QString::number(rowsPerTable)));
    }
    attachment->detach(&status);
    provider->release();
    status.dispose();
}

struct Listing {
    QStringList tables;
    double seconds = 0;
};

Listing listTables(ado::Connection &connection, const QElapsedTimer &since)
{
    Listing listing;
    auto schema = connection.OpenSchema(ado::adSchemaTables);
    for (; !schema->Eof(); schema->MoveNext())
        if (*schema->fields().item(QStringLiteral("TABLE_TYPE")).value() == QStringLiteral("TABLE"))
            listing.tables << *schema->fields().item(QStringLiteral("TABLE_NAME")).value();
    schema->Close();
    listing.seconds = since.elapsed() / 1000.0;
    return listing;
}

struct Reading {
    long cells = 0;
    QByteArray digest;
    double seconds = 0;
};

Reading readAll(ado::Connection &connection, const QStringList &tables)
{
    QElapsedTimer clock;
    clock.start();
    Reading reading;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const QString &table : tables) {
        auto recordset = components::create<ado::Recordset>(ado::RecordsetClass);
        recordset->setCursorLocation(ado::adUseClient);
        recordset->Open(QStringLiteral("SELECT * FROM \"%1\"").arg(table), connection);
        const long rows = recordset->RecordCount();
        const int fields = recordset->fields().count();
        for (long r = 0; r < rows && !recordset->Eof(); ++r, recordset->MoveNext())
            for (int f = 0; f < fields; ++f) {
                const ado::Value value = (*recordset)[f].value();
                hash.addData(value ? QByteArrayView(reinterpret_cast<const char *>(value->utf16()), value->size() * 2)
                                   : QByteArrayView("\0null", 5));
                ++reading.cells;
            }
        recordset->Close();
    }
    reading.digest = hash.result().toHex().left(16);
    reading.seconds = clock.elapsed() / 1000.0;
    return reading;
}

QStringList copiesOf(const dbaccess::FileVersion &version)
{
    return QDir(dbaccess::copiesFolder()).entryList({version.pathKey() + QStringLiteral("-*")}, QDir::Files);
}

void removeCopies(const dbaccess::FileVersion &version)
{
    for (const QString &name : copiesOf(version))
        QFile::remove(dbaccess::copiesFolder() + u'/' + name);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    registerDatabaseAccessComponents();
    const int tables = qEnvironmentVariableIsSet("MARROWBECK_BENCH_TABLES")
        ? qEnvironmentVariableIntValue("MARROWBECK_BENCH_TABLES") : 3;
    try {
        QTemporaryDir folder;
        const QString file = folder.filePath(QStringLiteral("large.fdb"));
        std::printf("Generating %d tables of %d rows...\n", tables, rowsPerTable);
        createFile(file, tables);
        std::printf("File: %.0f MB\n", QFileInfo(file).size() / 1048576.0);
        const dbaccess::Login login = dbaccess::enteredLogin(file, QStringLiteral("SYSDBA"), QString());
        const dbaccess::FileVersion version = dbaccess::inspectLocalFile(file);

        for (int round = 1; round <= 2; ++round) {
            // Before: the whole file copied, then the engine on the copy.
            removeCopies(version);
            QElapsedTimer clock;
            clock.start();
            dbaccess::FirebirdConnection engine;
            engine.openFile(login, dbaccess::byteCopy(dbaccess::inspectLocalFile(file)));
            const Listing engineList = listTables(engine, clock);
            const Reading engineRead = readAll(engine, engineList.tables);
            engine.Close();
            removeCopies(version);

            // Now: the program's own connection, the reader on the file.
            clock.restart();
            auto reader = components::create<ado::Connection>(ado::ConnectionClass);
            reader->Open(dbaccess::connectionString(login));
            const Listing readerList = listTables(*reader, clock);
            const Reading readerRead = readAll(*reader, readerList.tables);
            reader->Close();
            const QStringList left = copiesOf(version);

            std::printf("round %d\n", round);
            std::printf("  open and list:   engine on a copy %.2f s, reader %.3f s (ratio %.0f)\n", engineList.seconds,
                        readerList.seconds, engineList.seconds / readerList.seconds);
            std::printf("  read all tables: engine on a copy %.2f s, reader %.2f s (ratio %.2f), %ld cells\n",
                        engineRead.seconds, readerRead.seconds, engineRead.seconds / readerRead.seconds,
                        readerRead.cells);
            std::printf("  same cells: %s (digests %s / %s)\n",
                        engineRead.digest == readerRead.digest && engineList.tables == readerList.tables ? "yes" : "NO",
                        engineRead.digest.constData(), readerRead.digest.constData());
            std::printf("  copies of the file left after a tables-only read: %lld%s\n",
                        static_cast<long long>(left.size()), qPrintable(left.isEmpty() ? QString() : u' ' + left.join(u' ')));
        }
    } catch (...) {
        return reportDatabaseFailure();
    }
    return 0;
}
