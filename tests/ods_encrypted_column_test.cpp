// A column InterBase encrypted, in a real file: a copy of an InterBase file
// whose catalogue is changed to say one column is encrypted, as InterBase
// says it (RDB$ENCRYPTION_ID of the column's RDB$RELATION_FIELDS record).
// The reader reads that from the catalogue and refuses the table by name
// before any value could be shown; the other columns stay unencrypted.

#include "component_error.h"
#include "header_page.h"
#include "ods/ods_database.h"
#include "on_disk_format.h"
#include "page_bytes.h"
#include "page_file.h"
#include "record_codec.h"
#include "record_store.h"
#include "system_layouts.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString fixtures = QStringLiteral(MARROWBECK_SOURCE_DIR "/../shared/fixtures/interbase");
constexpr int relationFieldsId = 5;   // RDB$RELATION_FIELDS, in every version

// Record compression as the engine writes it: runs of three or more equal
// bytes repeated, everything else literal.
QByteArray packed(const std::vector<uint8_t> &record)
{
    QByteArray out;
    size_t i = 0;
    while (i < record.size()) {
        size_t run = 1;
        while (i + run < record.size() && run < 128 && record[i + run] == record[i])
            ++run;
        if (run >= 3) {
            out += char(-int(run));
            out += char(record[i]);
            i += run;
            continue;
        }
        size_t literal = 0;
        while (i + literal < record.size() && literal < 127) {
            const size_t at = i + literal;
            if (at + 2 < record.size() && record[at] == record[at + 1] && record[at] == record[at + 2])
                break;
            ++literal;
        }
        out += char(literal);
        out.append(reinterpret_cast<const char *>(record.data() + i), qsizetype(literal));
        i += literal;
    }
    return out;
}

QString trimmedText(const std::vector<uint8_t> &record, const ods::FieldLayout &field)
{
    return QString::fromLatin1(reinterpret_cast<const char *>(record.data() + field.offset), field.length).trimmed();
}

// Rewrites the RDB$RELATION_FIELDS record of `table`.`column` in the file
// with RDB$ENCRYPTION_ID set: the record, packed again, goes into the free
// space of its own page and its line points there. False when no such record
// could be rewritten.
bool markEncrypted(const QString &path, const QString &table, const QString &column)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    const QByteArray start = file.read(1024);
    const ods::Header header = ods::parseHeader(std::vector<uint8_t>(start.begin(), start.end()), path);
    const ods::BootstrapLayouts layouts =
        ods::bootstrapLayouts(*header.version->catalogue, ods::candidateConventions(header).front());
    const ods::RecordFormat &format = layouts.relationFields.format;
    const int encryptionId = layouts.relationFields["RDB$ENCRYPTION_ID"];
    if (encryptionId < 0)
        return false;
    const ods::FieldLayout &fieldName = format.fields[size_t(layouts.relationFields["RDB$FIELD_NAME"])];
    const ods::FieldLayout &relationName = format.fields[size_t(layouts.relationFields["RDB$RELATION_NAME"])];
    const ods::FieldLayout &encryption = format.fields[size_t(encryptionId)];
    using namespace ods::disk;
    const qint64 pageSize = header.facts.pageSize;
    for (qint64 at = 0; at + pageSize <= file.size(); at += pageSize) {
        file.seek(at);
        QByteArray page = file.read(pageSize);
        auto *p = reinterpret_cast<uint8_t *>(page.data());
        if (p[PageHeader::type.offset] != ods::DataPage || ods::get16(p + DataPage::relation.offset) != relationFieldsId)
            continue;
        const unsigned lines = ods::get16(p + DataPage::count.offset);
        unsigned used = unsigned(pageSize);
        for (unsigned line = 0; line < lines; ++line)
            if (const unsigned offset = ods::get16(p + DataPage::lines.entry(line) + LineEntry::offset.offset))
                used = std::min(used, offset);
        for (unsigned line = 0; line < lines; ++line) {
            uint8_t *entry = p + DataPage::lines.entry(line);
            const unsigned offset = ods::get16(entry + LineEntry::offset.offset);
            const unsigned length = ods::get16(entry + LineEntry::length.offset);
            if (!offset || length <= RecordHeader::size)
                continue;
            const uint8_t *record = p + offset;
            // A whole record with no older version behind it.
            constexpr unsigned partOfAnother =
                ods::Deleted | ods::OldVersion | ods::Fragment | ods::Incomplete | ods::BlobHeader | ods::DeltaBelow;
            if ((ods::get16(record + RecordHeader::flags.offset) & partOfAnother) || ods::get32(record + RecordHeader::backPage.offset))
                continue;
            std::vector<uint8_t> data;
            ods::unpack(record + RecordHeader::size, length - RecordHeader::size, ods::Packing::Runs, data, 65535);
            if (data.size() < encryption.offset + 2 || trimmedText(data, fieldName) != column ||
                trimmedText(data, relationName) != table)
                continue;
            data[size_t(encryptionId) / 8] &= uint8_t(~(1u << (encryptionId % 8)));
            data[encryption.offset] = 1;
            data[encryption.offset + 1] = 0;
            const QByteArray body = packed(data);
            const unsigned newLength = unsigned(RecordHeader::size + body.size());
            const unsigned newOffset = (used - newLength) & ~7u;
            if (newLength > used || newOffset < DataPage::lines.entry(lines))
                return false;
            std::copy(record, record + RecordHeader::size, p + newOffset);
            std::copy(body.begin(), body.end(), p + newOffset + RecordHeader::size);
            entry[LineEntry::offset.offset] = uint8_t(newOffset);
            entry[LineEntry::offset.offset + 1] = uint8_t(newOffset >> 8);
            entry[LineEntry::length.offset] = uint8_t(newLength);
            entry[LineEntry::length.offset + 1] = uint8_t(newLength >> 8);
            file.seek(at);
            return file.write(page) == page.size() && file.flush();
        }
    }
    return false;
}

TEST(OdsEncryptedColumns, AColumnTheCatalogueSaysIsEncryptedKeepsItsTableFromBeingRead)
{
    if (!QDir(fixtures).exists())
        GTEST_SKIP() << "The InterBase sample files are not here (" << fixtures.toStdString()
                     << "); they are kept out of the repository for want of a licence.";
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("encrypted.ib"));
    QProcess xz;
    xz.setStandardOutputFile(path);
    xz.start(QStringLiteral("xz"), {QStringLiteral("-dc"), fixtures + QStringLiteral("/ods15.0-ps16384-samples.ib.xz")});
    ASSERT_TRUE(xz.waitForFinished(60000) && xz.exitCode() == 0);

    QString table;
    QStringList columns;
    {
        const std::unique_ptr<ods::Database> plain = ods::Database::open(path);
        for (const ods::Relation &relation : plain->relations())
            if (!relation.system && !relation.view) {
                table = relation.name;
                for (const ods::Column &each : relation.columns) {
                    EXPECT_FALSE(each.encrypted) << each.name.toStdString();
                    columns << each.name;
                }
                EXPECT_GT(plain->count(relation), 0);
                break;
            }
    }
    ASSERT_GE(columns.size(), 2);
    const QString secret = columns[1];
    ASSERT_TRUE(markEncrypted(path, table, secret));

    const std::unique_ptr<ods::Database> patched = ods::Database::open(path);
    const auto relation = std::find_if(patched->relations().begin(), patched->relations().end(),
                                       [&](const ods::Relation &each) { return each.name == table; });
    ASSERT_NE(relation, patched->relations().end());
    QStringList encrypted;
    for (const ods::Column &each : relation->columns)
        if (each.encrypted)
            encrypted << each.name;
    EXPECT_EQ(encrypted, QStringList{secret});
    try {
        patched->rows(*relation)->next();
        ADD_FAILURE() << "the table was read";
    } catch (const components::ComponentError &error) {
        EXPECT_TRUE(error.description().contains(QStringLiteral("has encrypted columns (\"%1\")").arg(secret)))
            << error.description().toStdString();
    }
}

} // namespace
