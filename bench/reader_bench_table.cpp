#include "reader_bench_table.h"

#include "firebird_client.h"

#include <ibase.h>

using namespace Firebird;

namespace reader_bench_table {

void create(const QString &file, long rows)
{
    IMaster *master = dbaccess::firebirdMaster();
    ThrowStatusWrapper status(master->getStatus());
    IXpbBuilder *dpb = master->getUtilInterface()->getXpbBuilder(&status, IXpbBuilder::DPB, nullptr, 0);
    dpb->insertString(&status, isc_dpb_user_name, "SYSDBA");
    dpb->insertInt(&status, isc_dpb_page_size, 8192);
    IProvider *provider = master->getDispatcher();
    IAttachment *attachment = provider->createDatabase(&status, file.toUtf8().constData(),
                                                       dpb->getBufferLength(&status), dpb->getBuffer(&status));
    dpb->dispose();
    provider->release();
    const auto run = [&](const QByteArray &sql) {
        ITransaction *transaction = attachment->startTransaction(&status, 0, nullptr);
        attachment->execute(&status, transaction, 0, sql.constData(), 3, nullptr, nullptr, nullptr, nullptr);
        transaction->commit(&status);
    };
    run("CREATE TABLE BENCH (ID INTEGER, QTY SMALLINT, BIG BIGINT, PRICE NUMERIC(12,2), RATIO DOUBLE PRECISION, "
        "NAME VARCHAR(20), CODE CHAR(8), SOLD_ON DATE, STAMP TIMESTAMP, FLAG BOOLEAN)");
    run(QStringLiteral(
            "INSERT INTO BENCH WITH D (N) AS (SELECT 0 FROM RDB$DATABASE UNION ALL SELECT 1 FROM RDB$DATABASE UNION ALL "
            "SELECT 2 FROM RDB$DATABASE UNION ALL SELECT 3 FROM RDB$DATABASE UNION ALL SELECT 4 FROM RDB$DATABASE UNION "
            "ALL SELECT 5 FROM RDB$DATABASE UNION ALL SELECT 6 FROM RDB$DATABASE UNION ALL SELECT 7 FROM RDB$DATABASE "
            "UNION ALL SELECT 8 FROM RDB$DATABASE UNION ALL SELECT 9 FROM RDB$DATABASE), "
            "R (N) AS (SELECT A.N + B.N * 10 + C.N * 100 + E.N * 1000 + F.N * 10000 + G.N * 100000 + H.N * 1000000 "
            "FROM D A, D B, D C, D E, D F, D G, D H) "
            "SELECT N, MOD(N, 30000), N * 1000003, N / 100.0, N / 7.0, 'Name ' || N, 'C' || MOD(N, 1000), "
            "DATEADD(DAY, MOD(N, 20000), DATE '1990-01-01'), DATEADD(SECOND, N, TIMESTAMP '2020-01-01 00:00:00'), "
            "MOD(N, 2) = 0 FROM R WHERE N < %1")
            .arg(rows)
            .toUtf8());
    attachment->detach(&status);
}

} // namespace reader_bench_table
