// Damaged database files for the on-disk structure reader: each input
// overwrites bytes of pages of a real database (and may cut the file short),
// then everything the reader offers is read. Whatever the damage, the reader
// must end in a ComponentError or in rows: no crash, no sanitizer report, no
// hang, no allocation beyond libFuzzer's limits.
//
// The base files are three of Firebird's, then, where the InterBase sample
// files are unpacked into this build (they may not be in the repository),
// five of InterBase's: a first byte of 3 to 7 picks those, or wraps round to
// Firebird's without them.
//
// Input: one byte choosing the base file, then patches of
//   [page: 3 bytes][offset in page: 2 bytes][length: 1 byte][bytes]
// a page number of 0xFFFFFF cuts the file after `offset` pages instead.

#include "component_error.h"
#include "ods_database.h"

#include <QByteArray>
#include <QFile>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {

struct Base {
    QByteArray image;
    unsigned pageSize = 0;
    int fd = -1;
    QString path;
};

Base load(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "missing base file %s\n", qPrintable(path));
        std::abort();
    }
    Base base;
    base.image = file.readAll();
    base.pageSize = uint8_t(base.image[16]) | (uint8_t(base.image[17]) << 8);
    base.fd = memfd_create("ods_base", 0);
    base.path = QStringLiteral("/proc/self/fd/%1").arg(base.fd);
    return base;
}

std::vector<Base> &bases()
{
    static std::vector<Base> all = [] {
        std::vector<Base> loaded;
        for (const char *name : {"ods10.0-dialect1-goods.fdb", "ods11.1-employee.fdb", "ods13.1-employee.fdb"})
            loaded.push_back(load(QStringLiteral(ODS_FUZZ_BASES "/") + QLatin1String(name)));
#ifdef ODS_FUZZ_INTERBASE_BASES
        for (const char *name : {"ods13.2-ps4096-mastsql.gdb", "ods15.0-ps1024-employee.gdb",
                                 "ods16.1-ps1024-employee.gdb", "ods18.2-ps1024-admin.ib",
                                 "ods19.0-ps1024-intlemp.gdb"})
            loaded.push_back(load(QStringLiteral(ODS_FUZZ_INTERBASE_BASES "/") + QLatin1String(name)));
#endif
        return loaded;
    }();
    return all;
}

void readEverything(const QString &path)
{
    try {
        const std::unique_ptr<ods::Database> database = ods::Database::open(path);
        for (const ods::Relation &relation : database->relations()) {
            // The catalogue has read the system tables already.
            if (relation.system)
                continue;
            try {
                long long rows = 0;
                const std::unique_ptr<ods::Rows> cursor = database->rows(relation);
                while (cursor->next()) {
                    ++rows;
                    for (size_t c = 0; c < relation.columns.size(); ++c) {
                        if (cursor->isNull(int(c)))
                            continue;
                        const QByteArrayView value = cursor->value(int(c));
                        if (relation.columns[c].dtype == 17 || relation.columns[c].dtype == 18)
                            database->blob(relation, value);
                    }
                }
                if (database->count(relation) != rows) {
                    std::fprintf(stderr, "count and rows differ\n");
                    std::abort();
                }
            } catch (const components::ComponentError &) {
                // One table fails; the others go on, as in the program.
            }
        }
    } catch (const components::ComponentError &error) {
        if (error.description().isEmpty())
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    Base &base = bases()[data[0] % bases().size()];
    QByteArray image = base.image;
    for (size_t at = 1; at + 6 <= size;) {
        const uint32_t page = data[at] | (data[at + 1] << 8) | (data[at + 2] << 16);
        const uint32_t offset = data[at + 3] | (data[at + 4] << 8);
        const size_t length = std::min<size_t>(data[at + 5], size - at - 6);
        at += 6;
        if (page == 0xFFFFFF) {
            image.truncate(std::min<qsizetype>(image.size(), qsizetype(offset) * base.pageSize));
            continue;
        }
        const size_t pages = size_t(image.size()) / base.pageSize;
        if (pages == 0)
            break;
        const size_t start = size_t(page % pages) * base.pageSize + offset % base.pageSize;
        for (size_t i = 0; i < length && start + i < size_t(image.size()); ++i)
            image[qsizetype(start + i)] = char(data[at + i]);
        at += length;
    }
    if (ftruncate(base.fd, 0) != 0 || pwrite(base.fd, image.constData(), size_t(image.size()), 0) != image.size())
        std::abort();
    readEverything(base.path);
    return 0;
}
