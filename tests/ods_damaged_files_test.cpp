// Damaged copies of real database files read as far as they are whole. Each
// case damages a copy in a known way (a data page zeroed, half of one
// zeroed, bits flipped in a pointer page, the file cut in half) and is
// checked against the rows the undamaged file gives: every row whose page
// is intact arrives unchanged (or is counted lost, when an older version or
// a continuation of it lay on a damaged page), no row arrives that the file
// never held, the records reported lost are the rows missing where a page's
// line index survives, a page lost whole is named (and the records it held
// counted when an index of the table reads whole), and the copy is never
// written.

#include "component_error.h"
#include "ods_file.h"
#include "read_losses_text.h"
#include "relation_rows.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <vector>

namespace {

QString legacy(const char *name)
{
    return QStringLiteral(LEGACY_DATABASES "/") + QLatin1String(name);
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A row as bytes that tell null from empty, and the data page it lies on.
struct Row {
    uint32_t page = 0;
    QByteArray bytes;
};

struct Table {
    QString refusal;   // the table could not be read at all
    std::vector<Row> rows;
    ods::ReadLosses losses;
    long long counted = 0;
};

Table readTable(const std::shared_ptr<const ods::OdsFile> &file, const ods::Relation &relation)
{
    Table table;
    const ods::StoredRelation &stored = file->stored(relation);
    ods::RelationRows rows(file, stored);
    while (rows.next()) {
        Row row{rows.page(), {}};
        for (size_t c = 0; c < relation.columns.size(); ++c) {
            const bool null = rows.isNull(int(c));
            row.bytes += null ? "N" : "V";
            if (!null)
                row.bytes += rows.value(int(c)).toByteArray().toHex() + ',';
        }
        table.rows.push_back(row);
    }
    table.losses = rows.losses();
    table.counted = ods::countRows(file, stored);
    return table;
}

// Every user table of a file by name.
std::map<QString, Table> readTables(const QString &path)
{
    const auto file = std::make_shared<const ods::OdsFile>(path);
    std::map<QString, Table> tables;
    for (const ods::Relation &relation : file->relations()) {
        if (relation.system || relation.view)
            continue;
        try {
            tables[relation.name] = readTable(file, relation);
        } catch (const components::ComponentError &error) {
            tables[relation.name].refusal = error.description();
        }
    }
    return tables;
}

// What the generator knows of the undamaged file.
struct Base {
    QByteArray image;
    unsigned pageSize = 0;
    std::map<QString, Table> tables;
    QString victim;                      // the table with the most data pages
    std::vector<uint32_t> dataPages;     // its data pages holding rows, in order
    uint32_t pointerPage = 0;            // its first pointer page
    int victimId = 0;
};

Base baseOf(const QString &path)
{
    Base base;
    base.image = readAll(path);
    base.pageSize = uint8_t(base.image[16]) | (uint8_t(base.image[17]) << 8);
    base.tables = readTables(path);
    size_t most = 0;
    for (const auto &[name, table] : base.tables) {
        std::set<uint32_t> pages;
        for (const Row &row : table.rows)
            pages.insert(row.page);
        if (pages.size() > most) {
            most = pages.size();
            base.victim = name;
            base.dataPages.assign(pages.begin(), pages.end());
        }
    }
    const auto file = std::make_shared<const ods::OdsFile>(path);
    for (const ods::Relation &relation : file->relations())
        if (relation.name == base.victim) {
            base.pointerPage = file->stored(relation).pointerPages.at(0);
            base.victimId = relation.id;
        }
    return base;
}

struct Damage {
    const char *what;
    // Changes the image; returns the pages whose rows are lost, and sets
    // `pointerSearched` when the data pages must be found by searching.
    std::function<std::set<uint32_t>(const Base &, QByteArray &, bool &pointerSearched)> apply;
    bool lostCounted;   // records on the damaged pages can be counted (their line index survives)
    bool cut = false;   // the catalogue itself may lose tables
    // Whether the victim's indices tell how many records its pages lost
    // whole held: exactly the rows those held, or not at all.
    enum { Told, Untold, Either } indexCount = Either;
};

void zero(QByteArray &image, size_t from, size_t length)
{
    image.replace(qsizetype(from), qsizetype(length), QByteArray(qsizetype(length), '\0'));
}

std::set<uint32_t> zeroQuarter(const Base &base, QByteArray &image)
{
    std::set<uint32_t> zeroed;
    for (size_t i = 0; i < base.dataPages.size(); i += 4) {
        zero(image, size_t(base.dataPages[i]) * base.pageSize, base.pageSize);
        zeroed.insert(base.dataPages[i]);
    }
    return zeroed;
}

const Damage damages[] = {
    {"a quarter of the table's data pages zeroed",
     [](const Base &base, QByteArray &image, bool &) { return zeroQuarter(base, image); }, false, false, Damage::Told},
    // Halved, the bytes a leaf says it uses end amid its nodes: that index
    // no longer tells the count.
    {"a quarter of the table's data pages zeroed and its index leaves cut short",
     [](const Base &base, QByteArray &image, bool &) {
         for (size_t at = base.pageSize; at + base.pageSize <= size_t(image.size()); at += base.pageSize) {
             const auto byte = [&](size_t offset) { return uint8_t(image[qsizetype(at + offset)]); };
             if (byte(0) != 7 || byte(33) != 0 || (byte(28) | byte(29) << 8) != base.victimId)
                 continue;
             const unsigned half = (byte(30) | byte(31) << 8) / 2;
             image[qsizetype(at + 30)] = char(half & 0xFF);
             image[qsizetype(at + 31)] = char(half >> 8);
         }
         return zeroQuarter(base, image);
     },
     false, false, Damage::Untold},
    // Records lie from the end of a page down: zeroing the second half
    // keeps the line index and loses the records it points to there.
    {"the second half of a data page zeroed",
     [](const Base &base, QByteArray &image, bool &) {
         const uint32_t page = base.dataPages[base.dataPages.size() / 2];
         zero(image, size_t(page) * base.pageSize + base.pageSize / 2, base.pageSize / 2);
         return std::set<uint32_t>{page};
     },
     true, false, Damage::Untold},
    {"bits flipped in the type and table of a pointer page",
     [](const Base &base, QByteArray &image, bool &pointerSearched) {
         const size_t at = size_t(base.pointerPage) * base.pageSize;
         image[qsizetype(at)] = char(image[qsizetype(at)] ^ 0x10);
         image[qsizetype(at + 26)] = char(image[qsizetype(at + 26)] ^ 0x01);
         pointerSearched = true;
         return std::set<uint32_t>{};
     },
     true},
    {"a bit flipped in a pointer page's list of data pages",
     [](const Base &base, QByteArray &image, bool &pointerSearched) {
         const size_t at = size_t(base.pointerPage) * base.pageSize + 32 + 2;
         image[qsizetype(at)] = char(image[qsizetype(at)] ^ 0x40);
         pointerSearched = true;
         return std::set<uint32_t>{};
     },
     true},
    {"the file cut in half",
     [](const Base &base, QByteArray &image, bool &) {
         const uint32_t pages = uint32_t(image.size() / base.pageSize);
         image.truncate(qsizetype(pages / 2) * base.pageSize);
         std::set<uint32_t> gone;
         for (uint32_t page = pages / 2; page < pages; ++page)
             gone.insert(page);
         return gone;
     },
     false, true},
};

TEST(OdsDamagedFiles, EveryIntactRowArrivesAndWhatIsLostIsCounted)
{
    QTemporaryDir folder;
    for (const char *name : {"ods10.0-dialect1-msg.gdb", "ods10.0-dialect1-goods.fdb", "ods11.1-employee.fdb",
                             "ods12.0-employee.fdb", "ods13.1-employee.fdb"}) {
        const Base base = baseOf(legacy(name));
        ASSERT_FALSE(base.dataPages.empty()) << name;
        for (const Damage &damage : damages) {
            SCOPED_TRACE(std::string(name) + ": " + damage.what + " (table " + base.victim.toStdString() + ")");
            QByteArray image = base.image;
            bool pointerSearched = false;
            const std::set<uint32_t> damaged = damage.apply(base, image, pointerSearched);
            const QString path = folder.filePath(QStringLiteral("damaged.fdb"));
            QFile::remove(path);
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(image);
            file.close();
            ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner));

            std::map<QString, Table> tables;
            try {
                tables = readTables(path);
            } catch (const components::ComponentError &error) {
                // Cut in half, a file may have lost its catalogue: nothing
                // can be told of its tables then.
                EXPECT_TRUE(damage.cut) << error.description().toStdString();
                EXPECT_TRUE(error.description().startsWith(QLatin1String("The database file is damaged:")));
                continue;
            }
            EXPECT_EQ(readAll(path), image) << "the file was written";
            ASSERT_TRUE(tables.count(base.victim));

            for (const auto &[tableName, original] : base.tables) {
                SCOPED_TRACE(tableName.toStdString());
                const auto found = tables.find(tableName);
                if (found == tables.end()) {
                    // Only a cut file may lose a table's catalogue entry.
                    EXPECT_TRUE(damage.cut);
                    continue;
                }
                const Table &read = found->second;
                if (!read.refusal.isEmpty()) {
                    // A cut file may have lost the format its records need.
                    EXPECT_TRUE(damage.cut) << read.refusal.toStdString();
                    EXPECT_TRUE(read.refusal.startsWith(QLatin1String("The database file is damaged:")));
                    continue;
                }
                EXPECT_EQ(read.counted, (long long)read.rows.size()) << "count and rows differ";
                std::multiset<QByteArray> held, got;
                std::multiset<QByteArray> intact;
                for (const Row &row : original.rows) {
                    held.insert(row.bytes);
                    if (!damaged.count(row.page))
                        intact.insert(row.bytes);
                }
                for (const Row &row : read.rows) {
                    got.insert(row.bytes);
                    EXPECT_TRUE(held.count(row.bytes)) << "a row the file never held: " << row.bytes.toStdString();
                }
                // An intact row may still need a version or continuation
                // that lay on a damaged page: then it is counted as lost.
                long long intactMissing = 0;
                for (auto row = intact.begin(); row != intact.end(); row = intact.upper_bound(*row))
                    intactMissing += std::max<long long>(0, (long long)(intact.count(*row) - got.count(*row)));
                EXPECT_LE(intactMissing, read.losses.records) << "an intact row was lost uncounted";
                const long long missing = (long long)(original.rows.size() - read.rows.size());
                if (missing == 0) {
                    EXPECT_EQ(read.losses.records, 0);
                    EXPECT_TRUE(read.losses.lostPages.empty());
                } else if (damage.lostCounted) {
                    EXPECT_EQ(read.losses.records, missing);
                    EXPECT_EQ(read.losses.recordPages, damaged);
                } else {
                    // A page lost whole leaves no count behind: it is named.
                    EXPECT_TRUE(read.losses.any());
                    for (const uint32_t page : read.losses.lostPages)
                        EXPECT_TRUE(damaged.count(page)) << page;
                    // Cut short, a file may also lose the inventory of its
                    // transactions: such records count where they lie.
                    if (!damage.cut) {
                        for (const uint32_t page : read.losses.recordPages)
                            EXPECT_TRUE(damaged.count(page)) << page;
                    }
                }
                if (tableName == base.victim && damage.indexCount != Damage::Either) {
                    long long onDamaged = 0;
                    for (const Row &row : original.rows)
                        onDamaged += damaged.count(row.page);
                    const QString report = ods::readLossesText(tableName, read.losses);
                    if (damage.indexCount == Damage::Told) {
                        EXPECT_EQ(read.losses.lostPageRecords, onDamaged);
                        EXPECT_TRUE(report.contains(QStringLiteral(" held %1 record").arg(onDamaged))) << report.toStdString();
                    } else {
                        EXPECT_FALSE(read.losses.lostPageRecords.has_value());
                        EXPECT_EQ(report.contains(QLatin1String("cannot be told")), !read.losses.lostPages.empty());
                    }
                }
                if (tableName == base.victim && pointerSearched) {
                    EXPECT_EQ(read.losses.searchedPointerPages, std::set<uint32_t>{base.pointerPage});
                }
            }
        }
    }
}

// Sound files of every version say nothing of damage: every table's pages
// are where its pointer pages say, the last of them marked as the last.
TEST(OdsDamagedFiles, SoundFilesReportNoLoss)
{
    QStringList files;
    for (const QString &name : QDir(QStringLiteral(LEGACY_DATABASES)).entryList({QStringLiteral("*.?db")}, QDir::Files))
        if (!name.contains(QLatin1String("damaged")))
            files << legacy(name.toLatin1().constData());
    QTemporaryDir folder;
    const QDir interbase(QStringLiteral(MARROWBECK_SOURCE_DIR "/../shared/fixtures/interbase"));
    for (const QString &name : interbase.entryList({QStringLiteral("*.xz")}, QDir::Files)) {
        const QString unpacked = folder.filePath(name.chopped(3));
        QProcess xz;
        xz.setStandardOutputFile(unpacked);
        xz.start(QStringLiteral("xz"), {QStringLiteral("-dc"), interbase.filePath(name)});
        ASSERT_TRUE(xz.waitForFinished(-1));
        files << unpacked;
    }
    int read = 0;
    for (const QString &path : files) {
        SCOPED_TRACE(path.toStdString());
        std::map<QString, Table> tables;
        try {
            tables = readTables(path);
        } catch (const components::ComponentError &) {
            continue;   // a version this reader does not read: refused as before
        }
        ++read;
        for (const auto &[name, table] : tables) {
            EXPECT_TRUE(table.refusal.isEmpty() || !table.refusal.startsWith(QLatin1String("The database file is damaged")))
                << name.toStdString() << ": " << table.refusal.toStdString();
            EXPECT_FALSE(table.losses.any()) << name.toStdString();
        }
    }
    EXPECT_GE(read, 10);
}

} // namespace
