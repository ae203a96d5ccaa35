// ods_read_bench: rows per second reading a generated 1,000,000-row,
// 10-column ODS 12 table through the on-disk structure reader, next to the
// same rows fetched from the embedded Firebird engine on the bare client API
// in the same run. Both hand out the same raw values (the client's message
// layout); each side adds up the first byte of every value, and the sums
// must agree. Each read
// runs three times, alternating, and the best time of each counts.
//
// Where InterBase's sample files lie next to the source tree, it then reads
// the largest (an InterBase XE7 file, ODS 16.1) and a Firebird file holding
// the same rows (the program's rebuilt ODS 12 copy of it) through the reader,
// every row and BLOB of every table, over and over for the same time, and
// compares the rows per second, alternating three times.

#include "firebird_client.h"
#include "modern_copy.h"
#include "ods/ods_database.h"
#include "reader_bench_table.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <ibase.h>

using namespace Firebird;

namespace {

constexpr int benchRows = 1000000;

IAttachment *attach(ThrowStatusWrapper &status, const QString &file)
{
    IMaster *master = dbaccess::firebirdMaster();
    IXpbBuilder *dpb = master->getUtilInterface()->getXpbBuilder(&status, IXpbBuilder::DPB, nullptr, 0);
    dpb->insertString(&status, isc_dpb_user_name, "SYSDBA");
    dpb->insertString(&status, isc_dpb_lc_ctype, "NONE");
    IProvider *provider = master->getDispatcher();
    IAttachment *attachment = provider->attachDatabase(&status, file.toUtf8().constData(), dpb->getBufferLength(&status),
                                                       dpb->getBuffer(&status));
    dpb->dispose();
    provider->release();
    return attachment;
}

struct Read {
    long rows = 0;
    unsigned long long touched = 0;  // so no value goes unread
    double seconds = 0;
};

Read readThroughEngine(const QString &file)
{
    QElapsedTimer timer;
    timer.start();
    ThrowStatusWrapper status(dbaccess::firebirdMaster()->getStatus());
    IAttachment *attachment = attach(status, file);
    const unsigned char tpb[] = {isc_tpb_version3, isc_tpb_concurrency, isc_tpb_read};
    ITransaction *transaction = attachment->startTransaction(&status, sizeof tpb, tpb);
    IStatement *statement = attachment->prepare(&status, transaction, 0, "SELECT * FROM BENCH", 3,
                                                IStatement::PREPARE_PREFETCH_METADATA);
    IMessageMetadata *meta = statement->getOutputMetadata(&status);
    const unsigned fields = meta->getCount(&status);
    std::vector<unsigned> offsets, nulls;
    for (unsigned i = 0; i < fields; ++i) {
        offsets.push_back(meta->getOffset(&status, i));
        nulls.push_back(meta->getNullOffset(&status, i));
    }
    std::vector<unsigned char> row(meta->getMessageLength(&status));
    IResultSet *cursor = statement->openCursor(&status, transaction, nullptr, nullptr, meta, 0);
    Read result;
    while (cursor->fetchNext(&status, row.data()) == IStatus::RESULT_OK) {
        ++result.rows;
        for (unsigned i = 0; i < fields; ++i)
            if (!row[nulls[i]])
                result.touched += row[offsets[i]];
    }
    cursor->close(&status);
    statement->free(&status);
    meta->release();
    transaction->commit(&status);
    attachment->detach(&status);
    result.seconds = timer.elapsed() / 1000.0;
    return result;
}

Read readThroughReader(const QString &file)
{
    QElapsedTimer timer;
    timer.start();
    const std::unique_ptr<ods::Database> database = ods::Database::open(file);
    Read result;
    for (const ods::Relation &relation : database->relations()) {
        if (relation.name != QLatin1String("BENCH"))
            continue;
        const std::unique_ptr<ods::Rows> rows = database->rows(relation);
        const int fields = int(relation.columns.size());
        while (rows->next()) {
            ++result.rows;
            for (int i = 0; i < fields; ++i)
                if (!rows->isNull(i)) {
                    result.touched += uint8_t(rows->value(i).front());
                }
        }
    }
    result.seconds = timer.elapsed() / 1000.0;
    return result;
}

// Every row and BLOB of every user table, over and over for about a second.
Read readWholeFile(const QString &file)
{
    const std::unique_ptr<ods::Database> database = ods::Database::open(file);
    Read result;
    QElapsedTimer timer;
    timer.start();
    do {
        for (const ods::Relation &relation : database->relations()) {
            if (relation.system || relation.view)
                continue;
            const std::unique_ptr<ods::Rows> rows = database->rows(relation);
            const int fields = int(relation.columns.size());
            while (rows->next()) {
                ++result.rows;
                for (int i = 0; i < fields; ++i) {
                    if (rows->isNull(i))
                        continue;
                    const int dtype = relation.columns[size_t(i)].dtype;
                    const QByteArray blob = dtype == 17 || dtype == 18 ? database->blob(relation, rows->value(i))
                                                                      : rows->value(i).toByteArray();
                    result.touched += blob.isEmpty() ? 0 : uint8_t(blob.front());
                }
            }
        }
    } while (timer.elapsed() < 1000);
    result.seconds = timer.elapsed() / 1000.0;
    return result;
}

// The InterBase file against a Firebird file with the same rows; false when
// the sample files are not there.
bool compareInterBase(const QTemporaryDir &folder)
{
    const QString sample = QStringLiteral(MARROWBECK_SOURCE_DIR "/../shared/fixtures/interbase/ods16.1-ps4096-dbdemos.gdb");
    if (!QFileInfo::exists(sample + QStringLiteral(".xz"))) {
        std::printf("No InterBase sample files next to the source tree: InterBase reading not measured.\n");
        return false;
    }
    const QString interbase = folder.filePath(QStringLiteral("dbdemos.gdb"));
    QProcess xz;
    xz.setStandardOutputFile(interbase);
    xz.start(QStringLiteral("xz"), {QStringLiteral("-dc"), sample + QStringLiteral(".xz")});
    xz.waitForFinished(-1);
    const dbaccess::ModernCopy copy =
        dbaccess::rebuiltCopy(dbaccess::inspectLocalFile(interbase), *ods::Database::open(interbase));
    std::printf("InterBase ODS 16.1 file %lld bytes; its rebuilt Firebird ODS 12 copy %lld bytes\n",
                QFileInfo(interbase).size(), QFileInfo(copy.path).size());
    Read firebird, ib;
    for (int round = 0; round < 3; ++round) {
        const Read f = readWholeFile(copy.path);
        const Read i = readWholeFile(interbase);
        if (round == 0 || f.rows / f.seconds > firebird.rows / firebird.seconds)
            firebird = f;
        if (round == 0 || i.rows / i.seconds > ib.rows / ib.seconds)
            ib = i;
    }
    std::printf("reader on the Firebird copy:   %.0f rows/s\n", firebird.rows / firebird.seconds);
    std::printf("reader on the InterBase file:  %.0f rows/s\n", ib.rows / ib.seconds);
    std::printf("InterBase / Firebird time per row: %.2f (at most 1.5 wanted)\n",
                (ib.seconds / double(ib.rows)) / (firebird.seconds / double(firebird.rows)));
    return true;
}

} // namespace

int main()
{
    QTemporaryDir folder;
    // The rebuilt copy goes to the cache folder: this run's own.
    qputenv("XDG_CACHE_HOME", folder.filePath(QStringLiteral("cache")).toLocal8Bit());
    const QString file = folder.filePath(QStringLiteral("bench.fdb"));
    std::printf("Making %d rows x 10 columns (ODS 12, 8 KB pages)...\n", benchRows);
    reader_bench_table::create(file, benchRows);
    Read engine, reader;
    for (int round = 0; round < 3; ++round) {
        const Read e = readThroughEngine(file);
        const Read r = readThroughReader(file);
        if (round == 0 || e.seconds < engine.seconds)
            engine = e;
        if (round == 0 || r.seconds < reader.seconds)
            reader = r;
    }
    if (engine.rows != reader.rows || engine.touched != reader.touched) {
        std::printf("The reader read %ld rows (checksum %llu), the engine %ld (%llu)\n", reader.rows, reader.touched,
                    engine.rows, engine.touched);
        return 1;
    }
    std::printf("engine (embedded, client API): %ld rows in %.3f s, %.0f rows/s (checksum %llu)\n", engine.rows,
                engine.seconds, engine.rows / engine.seconds, engine.touched);
    std::printf("on-disk structure reader:      %ld rows in %.3f s, %.0f rows/s (checksum %llu)\n", reader.rows,
                reader.seconds, reader.rows / reader.seconds, reader.touched);
    std::printf("reader / engine speed: %.2f\n", engine.seconds / reader.seconds);
    compareInterBase(folder);
    return 0;
}
