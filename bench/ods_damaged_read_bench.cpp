// ods_damaged_read_bench: reading a large table whose pointer pages are all
// damaged, so that its data pages must be found by looking at every page of
// the file, against reading the same file undamaged, in the same run. Each
// read is what an export does: the exact count, then every row, every value
// touched. The two alternate three times and the best of each counts; the
// damaged read should take at most twice the normal one.
//
//   ods_damaged_read_bench [rows]   (default 3,400,000: a file of about 400 MB)

#include "firebird_client.h"
#include "ods/ods_database.h"
#include "ods_file.h"
#include "reader_bench_table.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <ibase.h>

using namespace Firebird;

namespace {

// A copy of `file` with every pointer page of BENCH zeroed; their number.
int damagePointerPages(const QString &file, const QString &copy)
{
    std::vector<uint32_t> pointerPages;
    unsigned pageSize = 0;
    {
        const ods::OdsFile opened(file);
        pageSize = opened.header().facts.pageSize;
        for (const ods::Relation &relation : opened.relations())
            if (relation.name == QLatin1String("BENCH"))
                pointerPages = opened.stored(relation).pointerPages;
    }
    QFile::copy(file, copy);
    QFile damaged(copy);
    damaged.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    if (!damaged.open(QIODevice::ReadWrite))
        return 0;
    for (const uint32_t page : pointerPages) {
        damaged.seek(qint64(page) * pageSize);
        damaged.write(QByteArray(qsizetype(pageSize), '\0'));
    }
    return int(pointerPages.size());
}

struct Read {
    long counted = 0;
    long rows = 0;
    unsigned long long touched = 0;   // so no value goes unread
    double seconds = 0;
    bool damageSaid = false;
};

Read readTable(const QString &file)
{
    QElapsedTimer timer;
    timer.start();
    const std::unique_ptr<ods::Database> database = ods::Database::open(file);
    Read result;
    for (const ods::Relation &relation : database->relations()) {
        if (relation.name != QLatin1String("BENCH"))
            continue;
        result.counted = long(database->count(relation));
        const std::unique_ptr<ods::Rows> rows = database->rows(relation);
        const int fields = int(relation.columns.size());
        while (rows->next()) {
            ++result.rows;
            for (int i = 0; i < fields; ++i)
                if (!rows->isNull(i))
                    result.touched += uint8_t(rows->value(i).front());
        }
        result.damageSaid = rows->losses().any();
    }
    result.seconds = timer.elapsed() / 1000.0;
    return result;
}

} // namespace

int main(int argc, char **argv)
{
    const long rows = argc > 1 ? std::atol(argv[1]) : 3400000;
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("bench.fdb"));
    const QString damaged = folder.filePath(QStringLiteral("damaged.fdb"));
    std::printf("Making %ld rows x 10 columns (ODS 12, 8 KB pages)...\n", rows);
    reader_bench_table::create(file, rows);
    const int zeroed = damagePointerPages(file, damaged);
    std::printf("File of %lld bytes; its copy with all %d pointer pages of the table zeroed\n",
                QFileInfo(file).size(), zeroed);
    Read normal, searched;
    for (int round = 0; round < 3; ++round) {
        const Read n = readTable(file);
        const Read s = readTable(damaged);
        if (round == 0 || n.seconds < normal.seconds)
            normal = n;
        if (round == 0 || s.seconds < searched.seconds)
            searched = s;
    }
    std::printf("undamaged file:          %ld rows (counted %ld) in %.3f s (checksum %llu)\n", normal.rows,
                normal.counted, normal.seconds, normal.touched);
    std::printf("pointer pages damaged:   %ld rows (counted %ld) in %.3f s (checksum %llu)%s\n", searched.rows,
                searched.counted, searched.seconds, searched.touched,
                searched.damageSaid ? ", the damage said" : ", THE DAMAGE NOT SAID");
    const double ratio = searched.seconds / normal.seconds;
    std::printf("damaged / undamaged time: %.2f (at most 2 wanted)\n", ratio);
    const bool same = searched.rows == normal.rows && searched.counted == searched.rows &&
                      searched.touched == normal.touched && normal.rows == rows && searched.damageSaid;
    if (!same)
        std::printf("The damaged file did not give the same rows.\n");
    return same && ratio <= 2.0 ? 0 : 1;
}
