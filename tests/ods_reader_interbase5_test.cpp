// InterBase 5 files (ODS 9) keep InterBase 6's pages and records; their
// system tables differ in one field: RDB$FIELDS ends before
// RDB$FIELD_PRECISION, which ODS 10 added (as InterBase 6's own ODS 9.1 and
// 10.0 catalogue listings record). No InterBase 5 file was found, so one is
// made from a real ODS 10 dialect 1 file as InterBase 5 would have written
// it: the ODS word says 9.1, every RDB$FIELDS record lacks its last field,
// and RDB$RELATION_FIELDS no longer lists it. The reader must then read every
// user table as it reads the ODS 10 original.

#include "ods_raw_rows.h"
#include "record_codec.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>

namespace {

constexpr int rdbFields = 2;
constexpr int rdbRelationFields = 5;
constexpr int dataPage = 5;
constexpr size_t recordHeader = 13;

uint16_t get16(const QByteArray &bytes, qsizetype at)
{
    return uint16_t(uint8_t(bytes[at]) | (uint8_t(bytes[at + 1]) << 8));
}

void put16(QByteArray &bytes, qsizetype at, uint16_t value)
{
    bytes[at] = char(value & 0xff);
    bytes[at + 1] = char(value >> 8);
}

// Runs of three or more equal bytes as repeats, the rest as literals.
QByteArray pack(const std::vector<uint8_t> &data)
{
    QByteArray packed;
    size_t at = 0;
    while (at < data.size()) {
        size_t run = 1;
        while (at + run < data.size() && run < 128 && data[at + run] == data[at])
            ++run;
        if (run >= 3) {
            packed.append(char(-int(run))).append(char(data[at]));
            at += run;
            continue;
        }
        size_t literal = 0;
        while (at + literal < data.size() && literal < 127 &&
               !(at + literal + 2 < data.size() && data[at + literal] == data[at + literal + 1] &&
                 data[at + literal] == data[at + literal + 2]))
            ++literal;
        packed.append(char(literal)).append(reinterpret_cast<const char *>(data.data() + at), qsizetype(literal));
        at += literal;
    }
    return packed;
}

// What InterBase 5 would have stored instead of each record of the two
// system tables that differ; false when a record is stored in a way this
// rewriting does not handle.
bool rewriteAsInterbase5(QByteArray &file, QString *problem)
{
    const qsizetype pageSize = get16(file, 16);
    put16(file, 18, 9);
    put16(file, 62, 1);
    put16(file, 64, 1);
    int rewritten = 0;
    int unlisted = 0;
    for (qsizetype page = pageSize; page + pageSize <= file.size(); page += pageSize) {
        const int relation = get16(file, page + 20);
        if (file[page] != char(dataPage) || (relation != rdbFields && relation != rdbRelationFields))
            continue;
        for (int slot = 0; slot < get16(file, page + 22); ++slot) {
            const qsizetype slotAt = page + 24 + 4 * slot;
            const qsizetype offset = get16(file, slotAt);
            const qsizetype length = get16(file, slotAt + 2);
            if (offset == 0 || length <= qsizetype(recordHeader))
                continue;
            const qsizetype record = page + offset;
            const uint16_t flags = get16(file, record + 10);
            if (flags & (1 | 16))
                continue;   // deleted, or a BLOB
            if (flags & (4 | 8 | 32)) {
                *problem = QStringLiteral("a fragmented or differenced record on page %1").arg(page / pageSize);
                return false;
            }
            std::vector<uint8_t> data;
            ods::unpack(reinterpret_cast<const uint8_t *>(file.constData() + record + recordHeader),
                        size_t(length) - recordHeader, ods::Packing::Runs, data, 65536);
            if (relation == rdbRelationFields) {
                const QByteArray fieldName(reinterpret_cast<const char *>(data.data() + 4), 31);
                const QByteArray relationName(reinterpret_cast<const char *>(data.data() + 35), 31);
                if (fieldName.trimmed() == "RDB$FIELD_PRECISION" && relationName.trimmed() == "RDB$FIELDS") {
                    put16(file, record + 10, flags | 1);
                    ++unlisted;
                }
                continue;
            }
            data.resize(data.size() - 2);
            const QByteArray packed = pack(data);
            if (packed.size() + qsizetype(recordHeader) > length) {
                *problem = QStringLiteral("a record grew when packed again on page %1").arg(page / pageSize);
                return false;
            }
            file.replace(record + qsizetype(recordHeader), packed.size(), packed);
            put16(file, slotAt + 2, uint16_t(recordHeader + size_t(packed.size())));
            ++rewritten;
        }
    }
    if (rewritten < 100 || unlisted != 1) {
        *problem = QStringLiteral("%1 records of RDB$FIELDS rewritten, RDB$FIELD_PRECISION unlisted %2 times")
                       .arg(rewritten)
                       .arg(unlisted);
        return false;
    }
    return true;
}

std::map<QString, ods_test::RawTable> userTables(const ods::Database &database)
{
    std::map<QString, ods_test::RawTable> tables;
    for (const ods::Relation &relation : database.relations())
        if (!relation.system && !relation.view)
            tables[relation.name] = ods_test::readerTable(database, relation);
    return tables;
}

TEST(OdsReaderOnInterbase5Files, Ods9ReadsAsTheOds10FileItWasMadeFrom)
{
    const QString original = QStringLiteral(LEGACY_DATABASES "/ods10.0-dialect1-goods.fdb");
    QFile source(original);
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    QByteArray image = source.readAll();
    QString problem;
    ASSERT_TRUE(rewriteAsInterbase5(image, &problem)) << problem.toStdString();
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("interbase5.gdb"));
    QFile made(path);
    ASSERT_TRUE(made.open(QIODevice::WriteOnly));
    made.write(image);
    made.close();

    const std::unique_ptr<ods::Database> ods9 = ods::Database::open(path);
    EXPECT_EQ(ods9->facts().odsMajor, 9);
    EXPECT_EQ(ods9->facts().odsMinor, 1);
    EXPECT_EQ(ods9->facts().dialect, 1);
    const std::map<QString, ods_test::RawTable> expected = userTables(*ods::Database::open(original));
    const std::map<QString, ods_test::RawTable> read = userTables(*ods9);
    EXPECT_EQ(read.size(), 14u);
    EXPECT_TRUE(read == expected);
    for (const ods::Relation &relation : ods9->relations())
        if (relation.name == QLatin1String("RDB$FIELDS")) {
            EXPECT_EQ(relation.columns.size(), 27u);
            EXPECT_GT(ods_test::readerTable(*ods9, relation).size(), 100u);
        }
}

} // namespace
