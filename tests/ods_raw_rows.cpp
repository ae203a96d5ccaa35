#include "ods_raw_rows.h"

#include "firebird_scratch_database.h"

#include <algorithm>
#include <firebird/Interface.h>
#include <ibase.h>

using namespace Firebird;

namespace ods_test {

namespace {

QByteArray blobContent(ThrowStatusWrapper &status, IAttachment *attachment, ITransaction *transaction,
                       const unsigned char *id)
{
    ISC_QUAD quad;
    std::memcpy(&quad, id, sizeof quad);
    IBlob *blob = attachment->openBlob(&status, transaction, &quad, 0, nullptr);
    QByteArray content;
    char chunk[32768];
    for (;;) {
        unsigned got = 0;
        const int result = blob->getSegment(&status, sizeof chunk, chunk, &got);
        if (result != IStatus::RESULT_OK && result != IStatus::RESULT_SEGMENT)
            break;
        content.append(chunk, got);
    }
    blob->close(&status);
    return content;
}

QString quoted(const QString &name)
{
    QString doubled = name;
    doubled.replace(u'"', QStringLiteral("\"\""));
    return u'"' + doubled + u'"';
}

IAttachment *attach(ThrowStatusWrapper &status, const QString &file)
{
    embeddedLockFolder();
    IMaster *master = fb_get_master_interface();
    IXpbBuilder *dpb = master->getUtilInterface()->getXpbBuilder(&status, IXpbBuilder::DPB, nullptr, 0);
    dpb->insertString(&status, isc_dpb_user_name, "SYSDBA");
    dpb->insertString(&status, isc_dpb_lc_ctype, "NONE");
    IAttachment *attachment = master->getDispatcher()->attachDatabase(
        &status, file.toUtf8().constData(), dpb->getBufferLength(&status), dpb->getBuffer(&status));
    dpb->dispose();
    return attachment;
}

} // namespace

void runOnEngine(const QString &file, const QList<QByteArray> &statements, bool commit, bool keepVersions)
{
    ThrowStatusWrapper status(fb_get_master_interface()->getStatus());
    IAttachment *attachment = attach(status, file);
    const unsigned char noUndo[] = {isc_tpb_version3, isc_tpb_write, isc_tpb_concurrency, isc_tpb_wait,
                                    isc_tpb_no_auto_undo};
    ITransaction *transaction =
        keepVersions ? attachment->startTransaction(&status, sizeof noUndo, noUndo)
                     : attachment->startTransaction(&status, 0, nullptr);
    for (const QByteArray &statement : statements)
        attachment->execute(&status, transaction, 0, statement.constData(), 3, nullptr, nullptr, nullptr, nullptr);
    if (commit)
        transaction->commit(&status);
    else
        transaction->rollback(&status);
    attachment->detach(&status);
}

struct HeldSnapshot::Handles {
    ThrowStatusWrapper status{fb_get_master_interface()->getStatus()};
    IAttachment *attachment = nullptr;
    ITransaction *transaction = nullptr;
};

HeldSnapshot::HeldSnapshot(const QString &file) : m_handles(std::make_unique<Handles>())
{
    m_handles->attachment = attach(m_handles->status, file);
    m_handles->transaction = m_handles->attachment->startTransaction(&m_handles->status, 0, nullptr);
}

HeldSnapshot::~HeldSnapshot()
{
    m_handles->transaction->commit(&m_handles->status);
    m_handles->attachment->detach(&m_handles->status);
}

std::vector<int> comparedColumns(const ods::Relation &relation)
{
    std::vector<int> columns;
    for (size_t i = 0; i < relation.columns.size(); ++i)
        if (relation.columns[i].computedSource.isEmpty())
            columns.push_back(int(i));
    return columns;
}

RawTable engineTable(const QString &file, const ods::Relation &relation)
{
    ThrowStatusWrapper status(fb_get_master_interface()->getStatus());
    IAttachment *attachment = attach(status, file);
    ITransaction *transaction = attachment->startTransaction(&status, 0, nullptr);

    const std::vector<int> columns = comparedColumns(relation);
    QStringList names;
    for (const int column : columns)
        names << quoted(relation.columns[size_t(column)].name);
    const QByteArray sql = QStringLiteral("SELECT %1 FROM %2").arg(names.join(u','), quoted(relation.name)).toUtf8();
    IStatement *statement = attachment->prepare(&status, transaction, 0, sql.constData(), 3,
                                                IStatement::PREPARE_PREFETCH_METADATA);
    IMessageMetadata *metadata = statement->getOutputMetadata(&status);
    IResultSet *cursor = statement->openCursor(&status, transaction, nullptr, nullptr, metadata, 0);
    std::vector<unsigned char> buffer(metadata->getMessageLength(&status));
    RawTable table;
    while (cursor->fetchNext(&status, buffer.data()) == IStatus::RESULT_OK) {
        RawRow row;
        for (unsigned i = 0; i < metadata->getCount(&status); ++i) {
            if (*reinterpret_cast<short *>(&buffer[metadata->getNullOffset(&status, i)])) {
                row.push_back(std::nullopt);
                continue;
            }
            const unsigned char *value = &buffer[metadata->getOffset(&status, i)];
            const unsigned type = metadata->getType(&status, i) & ~1u;
            unsigned length = metadata->getLength(&status, i);
            if (type == SQL_BLOB) {
                row.push_back(blobContent(status, attachment, transaction, value));
                continue;
            }
            if (type == SQL_ARRAY) {
                // Fetching a slice needs its description; no compared table has
                // a non-null array, and this says so if one ever does.
                row.push_back(QByteArray("(array)"));
                continue;
            }
            if (type == SQL_VARYING)
                length = 2 + *reinterpret_cast<const unsigned short *>(value);
            row.push_back(QByteArray(reinterpret_cast<const char *>(value), int(length)));
        }
        table.push_back(std::move(row));
    }
    cursor->close(&status);
    statement->free(&status);
    metadata->release();
    transaction->commit(&status);
    attachment->detach(&status);
    return table;
}

RawTable readerTable(const ods::Database &database, const ods::Relation &relation)
{
    const std::vector<int> columns = comparedColumns(relation);
    RawTable table;
    const std::unique_ptr<ods::Rows> rows = database.rows(relation);
    while (rows->next()) {
        RawRow row;
        for (const int column : columns) {
            if (rows->isNull(column)) {
                row.push_back(std::nullopt);
                continue;
            }
            const QByteArrayView value = rows->value(column);
            const int dtype = relation.columns[size_t(column)].dtype;
            if (dtype == 17 || dtype == 18)
                row.push_back(database.blob(relation, value));
            else
                row.push_back(value.toByteArray());
        }
        table.push_back(std::move(row));
    }
    return table;
}

QString firstDifference(RawTable engine, RawTable reader, const ods::Relation &relation)
{
    if (engine.size() != reader.size())
        return QStringLiteral("%1: the engine reads %2 rows, the reader %3")
            .arg(relation.name, QString::number(engine.size()), QString::number(reader.size()));
    std::sort(engine.begin(), engine.end());
    std::sort(reader.begin(), reader.end());
    const std::vector<int> columns = comparedColumns(relation);
    for (size_t r = 0; r < engine.size(); ++r)
        for (size_t c = 0; c < columns.size(); ++c)
            if (engine[r][c] != reader[r][c]) {
                const auto show = [](const std::optional<QByteArray> &value) {
                    return value ? QString::fromLatin1(value->left(48).toHex(' ')) : QStringLiteral("NULL");
                };
                return QStringLiteral("%1.%2, sorted row %3: engine %4, reader %5")
                    .arg(relation.name, relation.columns[size_t(columns[c])].name, QString::number(r),
                         show(engine[r][c]), show(reader[r][c]));
            }
    return {};
}

} // namespace ods_test
