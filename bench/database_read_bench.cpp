// database_read_bench: cells per second reading a generated 1,000,000-row,
// 10-column table into text through the database access component, next to
// the same read on the bare Firebird client API in the same run (the same
// text conversion, so the ratio is what the component costs). Embedded, and
// over loopback when MARROWBECK_TEST_FB_HOST, _PASSWORD and _DIR are set.
// Then the peak memory of a process that reads 10,000 rows and of one that
// reads 1,000,000 rows through the component.

#include "connection_string.h"
#include "database_access.h"
#include "database_failure.h"
#include "firebird_client.h"
#include "register_database_access.h"
#include "text_decoder.h"
#include "value_text.h"

#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QLocale>
#include <QProcess>
#include <QTemporaryDir>
#include <QUuid>
#include <cstdio>
#include <cstring>
#include <ibase.h>
#include <sys/resource.h>

using namespace Firebird;

namespace {

constexpr int benchRows = 1000000;

struct Target {
    QString dbname;
    QString user;
    QString password;
};

QByteArray parameters(ThrowStatusWrapper &status, const Target &target, bool create)
{
    IXpbBuilder *dpb = dbaccess::firebirdMaster()->getUtilInterface()->getXpbBuilder(&status, IXpbBuilder::DPB, nullptr, 0);
    dpb->insertString(&status, isc_dpb_user_name, target.user.toUtf8().constData());
    dpb->insertString(&status, isc_dpb_password, target.password.toUtf8().constData());
    dpb->insertString(&status, isc_dpb_lc_ctype, "NONE");
    if (create)
        dpb->insertInt(&status, isc_dpb_page_size, 8192);
    const QByteArray bytes(reinterpret_cast<const char *>(dpb->getBuffer(&status)), int(dpb->getBufferLength(&status)));
    dpb->dispose();
    return bytes;
}

// BENCH (1,000,000 rows) and SMALL (10,000 rows), made inside the engine.
void createTables(const Target &target)
{
    IMaster *master = dbaccess::firebirdMaster();
    ThrowStatusWrapper status(master->getStatus());
    IProvider *provider = master->getDispatcher();
    const QByteArray dpb = parameters(status, target, true);
    IAttachment *attachment = provider->createDatabase(&status, target.dbname.toUtf8().constData(), unsigned(dpb.size()),
                                                       reinterpret_cast<const unsigned char *>(dpb.constData()));
    const auto run = [&](const char *sql) {
        ITransaction *transaction = attachment->startTransaction(&status, 0, nullptr);
        attachment->execute(&status, transaction, 0, sql, 3, nullptr, nullptr, nullptr, nullptr);
        transaction->commit(&status);
    };
    const char *columns = "(ID INTEGER, QTY SMALLINT, BIG BIGINT, PRICE NUMERIC(12,2), RATIO DOUBLE PRECISION, "
                          "NAME VARCHAR(20), CODE CHAR(8), SOLD_ON DATE, STAMP TIMESTAMP, FLAG BOOLEAN)";
    run(QByteArray("CREATE TABLE BENCH ").append(columns).constData());
    run(QByteArray("CREATE TABLE SMALL ").append(columns).constData());
    const char *fill =
        "INSERT INTO %1 WITH D (N) AS (SELECT 0 FROM RDB$DATABASE UNION ALL SELECT 1 FROM RDB$DATABASE UNION ALL "
        "SELECT 2 FROM RDB$DATABASE UNION ALL SELECT 3 FROM RDB$DATABASE UNION ALL SELECT 4 FROM RDB$DATABASE UNION ALL "
        "SELECT 5 FROM RDB$DATABASE UNION ALL SELECT 6 FROM RDB$DATABASE UNION ALL SELECT 7 FROM RDB$DATABASE UNION ALL "
        "SELECT 8 FROM RDB$DATABASE UNION ALL SELECT 9 FROM RDB$DATABASE), "
        "R (N) AS (SELECT A.N + B.N * 10 + C.N * 100 + E.N * 1000 + F.N * 10000 + G.N * 100000 "
        "FROM D A, D B, D C, D E, D F, D G) "
        "SELECT N, MOD(N, 30000), N * 1000003, N / 100.0, N / 7.0, 'Name ' || N, 'C' || MOD(N, 1000), "
        "DATEADD(DAY, MOD(N, 20000), DATE '1990-01-01'), DATEADD(SECOND, N, TIMESTAMP '2020-01-01 00:00:00'), "
        "MOD(N, 2) = 0 FROM R WHERE N < %2";
    run(QString::fromLatin1(fill).arg(QStringLiteral("BENCH"), QString::number(benchRows)).toUtf8().constData());
    run(QString::fromLatin1(fill).arg(QStringLiteral("SMALL"), QString::number(10000)).toUtf8().constData());
    attachment->detach(&status);
    provider->release();
    status.dispose();
}

struct ReadResult {
    long rows = 0;
    long cells = 0;
    qint64 characters = 0; // so nothing is optimised away
    double seconds = 0;
};

ReadResult readThroughComponent(const Target &target, const char *table)
{
    QElapsedTimer timer;
    timer.start();
    auto connection = components::create<ado::Connection>(ado::ConnectionClass);
    connection->Open(dbaccess::connectionString(dbaccess::enteredLogin(target.dbname, target.user, target.password)));
    auto recordset = components::create<ado::Recordset>(ado::RecordsetClass);
    recordset->setCursorLocation(ado::adUseClient);
    recordset->Open(QStringLiteral("SELECT * FROM \"%1\"").arg(QLatin1String(table)), *connection);
    ReadResult result;
    result.rows = recordset->RecordCount();
    const int fields = recordset->fields().count();
    for (long r = 0; r < result.rows; ++r) {
        for (int f = 0; f < fields; ++f) {
            const ado::Value value = (*recordset)[f].value();
            result.characters += value ? value->size() : 0;
        }
        recordset->MoveNext();
    }
    result.cells = result.rows * fields;
    connection->Close();
    result.seconds = timer.elapsed() / 1000.0;
    return result;
}

template <class T>
T at(const unsigned char *row, unsigned offset)
{
    T value;
    std::memcpy(&value, row + offset, sizeof value);
    return value;
}

// The same read written directly on the client API: one snapshot, COUNT(*)
// first, then the rows, every value to the same text.
ReadResult readBare(const Target &target)
{
    QElapsedTimer timer;
    timer.start();
    IMaster *master = dbaccess::firebirdMaster();
    ThrowStatusWrapper status(master->getStatus());
    IProvider *provider = master->getDispatcher();
    const QByteArray dpb = parameters(status, target, false);
    IAttachment *attachment = provider->attachDatabase(&status, target.dbname.toUtf8().constData(), unsigned(dpb.size()),
                                                       reinterpret_cast<const unsigned char *>(dpb.constData()));
    const unsigned char tpb[] = {isc_tpb_version3, isc_tpb_concurrency, isc_tpb_read};
    ITransaction *transaction = attachment->startTransaction(&status, sizeof tpb, tpb);

    ReadResult result;
    {
        IStatement *count = attachment->prepare(&status, transaction, 0, "SELECT COUNT(*) FROM BENCH", 3, 0);
        IMessageMetadata *meta = count->getOutputMetadata(&status);
        std::vector<unsigned char> row(meta->getMessageLength(&status));
        count->execute(&status, transaction, nullptr, nullptr, meta, row.data());
        result.rows = long(at<ISC_INT64>(row.data(), meta->getOffset(&status, 0)));
        meta->release();
        count->free(&status);
    }
    IStatement *statement = attachment->prepare(&status, transaction, 0, "SELECT * FROM BENCH", 3,
                                                IStatement::PREPARE_PREFETCH_METADATA);
    IMessageMetadata *meta = statement->getOutputMetadata(&status);
    const unsigned fields = meta->getCount(&status);
    std::vector<unsigned> types, offsets, nulls;
    std::vector<int> scales;
    for (unsigned i = 0; i < fields; ++i) {
        types.push_back(meta->getType(&status, i) & ~1u);
        offsets.push_back(meta->getOffset(&status, i));
        nulls.push_back(meta->getNullOffset(&status, i));
        scales.push_back(meta->getScale(&status, i));
    }
    const dbaccess::ValueText text(QLocale::system());
    const dbaccess::TextDecoder decoder(0);
    std::vector<unsigned char> row(meta->getMessageLength(&status));
    IResultSet *cursor = statement->openCursor(&status, transaction, nullptr, nullptr, meta, 0);
    long fetched = 0;
    while (cursor->fetchNext(&status, row.data()) == IStatus::RESULT_OK) {
        ++fetched;
        const unsigned char *data = row.data();
        for (unsigned i = 0; i < fields; ++i) {
            QString value;
            if (at<short>(data, nulls[i])) {
                continue;
            }
            const unsigned o = offsets[i];
            switch (types[i]) {
            case SQL_SHORT: value = text.exactNumber(at<short>(data, o), scales[i]); break;
            case SQL_LONG: value = text.exactNumber(at<int>(data, o), scales[i]); break;
            case SQL_INT64: value = text.exactNumber(at<ISC_INT64>(data, o), scales[i]); break;
            case SQL_DOUBLE: value = text.floating(at<double>(data, o)); break;
            case SQL_VARYING:
                value = decoder.decode(QByteArrayView(reinterpret_cast<const char *>(data + o + 2), at<unsigned short>(data, o)));
                break;
            case SQL_TEXT:
                value = decoder.decode(QByteArrayView(reinterpret_cast<const char *>(data + o), meta->getLength(&status, i)));
                break;
            case SQL_TYPE_DATE: {
                const QDate d = QDate::fromJulianDay(2400001 + at<ISC_DATE>(data, o));
                value = text.date(d.year(), d.month(), d.day());
                break;
            }
            case SQL_TIMESTAMP: {
                const auto stamp = at<ISC_TIMESTAMP>(data, o);
                const QDate d = QDate::fromJulianDay(2400001 + stamp.timestamp_date);
                const unsigned s = stamp.timestamp_time / 10000;
                value = text.timestamp(d.year(), d.month(), d.day(), int(s / 3600), int(s / 60 % 60), int(s % 60),
                                       int(stamp.timestamp_time % 10000));
                break;
            }
            case SQL_BOOLEAN: value = dbaccess::ValueText::boolean(data[o] != 0); break;
            default: break;
            }
            result.characters += value.size();
        }
    }
    result.cells = fetched * long(fields);
    cursor->close(&status);
    meta->release();
    statement->free(&status);
    transaction->commit(&status);
    attachment->detach(&status);
    provider->release();
    status.dispose();
    result.seconds = timer.elapsed() / 1000.0;
    return result;
}

void compare(const char *where, const Target &target)
{
    std::printf("%s: %s\n", where, qPrintable(target.dbname));
    // Warm the page cache and the engine first, then alternate.
    readBare(target);
    double best[2] = {1e9, 1e9};
    for (int round = 0; round < 2; ++round) {
        const ReadResult component = readThroughComponent(target, "BENCH");
        const ReadResult bare = readBare(target);
        if (component.cells != bare.cells || component.characters != bare.characters)
            std::printf("  MISMATCH: component %ld cells %lld chars, bare %ld cells %lld chars\n", component.cells,
                        component.characters, bare.cells, bare.characters);
        best[0] = std::min(best[0], component.seconds);
        best[1] = std::min(best[1], bare.seconds);
    }
    const double cells = double(benchRows) * 10;
    std::printf("  component: %.2f s, %.0f cells/s\n", best[0], cells / best[0]);
    std::printf("  bare API:  %.2f s, %.0f cells/s\n", best[1], cells / best[1]);
    std::printf("  ratio (component / bare): %.2f\n", best[1] / best[0]);
}

long peakKilobytes()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// A fresh process per table, so each peak is its own.
long peakOfReading(const QString &dbname, const char *table)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--peak"), dbname, QLatin1String(table)});
    child.waitForFinished(-1);
    return child.readAllStandardOutput().trimmed().toLong();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    registerDatabaseAccessComponents();
    try {
        if (argc == 4 && std::strcmp(argv[1], "--peak") == 0) {
            readThroughComponent({QString::fromLocal8Bit(argv[2]), QStringLiteral("SYSDBA"), QString()}, argv[3]);
            std::printf("%ld\n", peakKilobytes());
            return 0;
        }
        QTemporaryDir folder;
        const Target embedded{folder.filePath(QStringLiteral("bench.fdb")), QStringLiteral("SYSDBA"), QString()};
        std::printf("Generating %d rows x 10 columns...\n", benchRows);
        createTables(embedded);
        compare("embedded", embedded);

        std::printf("Peak memory reading through the component (embedded):\n");
        const long small = peakOfReading(embedded.dbname, "SMALL");
        const long big = peakOfReading(embedded.dbname, "BENCH");
        std::printf("  10,000 rows: %ld KB; 1,000,000 rows: %ld KB\n", small, big);

        const QString host = qEnvironmentVariable("MARROWBECK_TEST_FB_HOST");
        const QString password = qEnvironmentVariable("MARROWBECK_TEST_FB_PASSWORD");
        const QString dir = qEnvironmentVariable("MARROWBECK_TEST_FB_DIR");
        if (host.isEmpty() || password.isEmpty() || dir.isEmpty()) {
            std::printf("loopback: skipped (MARROWBECK_TEST_FB_HOST, _PASSWORD, _DIR not set)\n");
            return 0;
        }
        const Target loopback{host + u':' + dir + QStringLiteral("/bench-%1.fdb").arg(QUuid::createUuid().toString(QUuid::Id128)),
                              qEnvironmentVariable("MARROWBECK_TEST_FB_USER", QStringLiteral("SYSDBA")), password};
        createTables(loopback);
        compare("loopback", loopback);
    } catch (...) {
        return reportDatabaseFailure();
    }
    return 0;
}
