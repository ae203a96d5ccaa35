#include "ods_rows.h"

#include "code_page_detection.h"
#include "component_error.h"
#include "engine_value.h"
#include "ods/read_losses_text.h"

#include <QLocale>
#include <algorithm>
#include <cstring>
#include <type_traits>

namespace dbaccess {

namespace {

// The bytes a value needs in its layout; a shorter one is a damaged record,
// not something to read past.
bool fitsLayout(const EngineColumn &column, QByteArrayView bytes)
{
    switch (column.dtype) {
    case ods::DtText: return bytes.size() >= qsizetype(column.length);
    case ods::DtVarying: {
        if (bytes.size() < 2)
            return false;
        std::uint16_t length;
        std::memcpy(&length, bytes.data(), sizeof length);
        return bytes.size() >= 2 + qsizetype(length);
    }
    case ods::DtShort: return bytes.size() >= 2;
    case ods::DtBoolean: return bytes.size() >= 1;
    case ods::DtLong:
    case ods::DtReal:
    case ods::DtDate:
    case ods::DtTime: return bytes.size() >= 4;
    case ods::DtDec128:
    case ods::DtInt128: return bytes.size() >= 16;
    case ods::DtTimestampTz:
    case ods::DtExTimestampTz: return bytes.size() >= 12;
    case ods::DtTimeTz:
    case ods::DtExTimeTz: return bytes.size() >= 6;
    default: return bytes.size() >= 8;
    }
}

std::vector<EngineColumn> engineColumns(const ods::Relation &relation)
{
    std::vector<EngineColumn> columns;
    for (const auto &column : relation.columns) {
        columns.push_back(engineColumn(column.dtype, column.scale, column.subType, column.charset, unsigned(column.length)));
        // The file's own count, where its byte length is not characters
        // times the set's widest character (metadata names of Firebird 3).
        if (columns.back().characters && column.characterLength > 0)
            columns.back().characters = unsigned(column.characterLength);
    }
    return columns;
}

// The values of the columns `which` from the relation's first row, until the
// sample is complete, the rows end or `rowLimit` rows were read. Damage met
// here ends the sample only: the rows before it still count, and the damage
// is reported where the cells reach it.
void readSample(const ods::Database &database, const ods::Relation &relation, const std::vector<EngineColumn> &columns,
                const std::vector<int> &which, CodePageSample &sample, long rowLimit)
{
    const BlobContent blob = [&](QByteArrayView id) { return database.blob(relation, id); };
    try {
        const std::unique_ptr<ods::Rows> rows = database.rows(relation);
        for (long row = 0; row != rowLimit && !sample.complete() && rows->next(); ++row) {
            for (std::size_t i = 0; i < which.size(); ++i) {
                const int field = which[i];
                if (!sample.wants(int(i)) || rows->isNull(field))
                    continue;
                const EngineColumn &column = columns[std::size_t(field)];
                const QByteArrayView bytes = rows->value(field);
                if (fitsLayout(column, bytes))
                    sample.add(int(i), textBytes(column, reinterpret_cast<const unsigned char *>(bytes.data()), blob));
            }
        }
    } catch (const components::ComponentError &) {
    }
}

class RelationRows : public TableRows {
public:
    RelationRows(std::shared_ptr<OdsSession> session, FilePicture picture, const ods::Relation &relation)
        : m_session(std::move(session)), m_picture(std::move(picture)), m_relation(relation), m_text(QLocale::system()),
          m_columns(engineColumns(relation))
    {
        for (std::size_t i = 0; i < m_columns.size(); ++i)
            m_fields.push_back({relation.columns[i].name, adoTypeOf(m_columns[i])});
        m_rows = m_picture.database->rows(relation);
        m_blob = [this](QByteArrayView id) { return m_picture.database->blob(m_relation, id); };
        std::vector<EngineColumn *> columns;
        for (EngineColumn &column : m_columns)
            columns.push_back(&column);
        // A table too short to tell takes what the file's other tables
        // show before the user's language: one program typed them all.
        shareCodePages(
            columns,
            [this](const std::vector<int> &which, CodePageSample &sample) {
                readSample(*m_picture.database, m_relation, m_columns, which, sample, -1);
            },
            [session = m_session] {
                const QByteArray file = session->fileCodePage();
                return file.isEmpty() ? windowsCodePage(QLocale::system()) : file;
            });
    }

    const std::vector<FieldDescription> &fields() const override { return m_fields; }
    bool connectionOpen() const override { return m_session->isOpen(); }
    QString warning() const override { return ods::readLossesText(m_relation.name, m_rows->losses()); }

    // The file is looked at again when the rows end: unchanged since the
    // picture was taken, every row came from one state of it.
    bool next() override
    {
        m_session->ensureOpen();
        const bool more = unlessChanged([this] { return m_rows->next(); });
        if (!more)
            m_session->ensureUnchangedSince(m_picture, m_relation.name);
        return more;
    }

    ado::Value value(int field) const override
    {
        const unsigned char *at = valueAt(field);
        if (!at)
            return std::nullopt;
        return unlessChanged([&] { return engineValueText(m_columns[std::size_t(field)], at, m_text, m_blob); });
    }

    excel::Cell cell(int field) const override
    {
        const unsigned char *at = valueAt(field);
        if (!at)
            return {};
        return unlessChanged([&] { return engineValueCell(m_columns[std::size_t(field)], at, m_text, m_blob); });
    }

    long count() override
    {
        m_session->ensureOpen();
        if (m_count < 0) {
            m_count = unlessChanged([this] { return long(m_picture.database->count(m_relation)); });
            m_session->ensureUnchangedSince(m_picture, m_relation.name);
        }
        return m_count;
    }

private:
    // The value's bytes in the current record; null for a null value.
    const unsigned char *valueAt(int field) const
    {
        m_session->ensureOpen();
        if (m_rows->isNull(field))
            return nullptr;
        const QByteArrayView bytes = m_rows->value(field);
        unlessChanged([&] {
            if (!fitsLayout(m_columns[std::size_t(field)], bytes))
                throw components::ComponentError(
                    QStringLiteral("A record of the table \"%1\" in \"%2\" is damaged: the value of its column \"%3\" "
                                   "is cut short.").arg(m_relation.name, m_session->path(), m_fields[std::size_t(field)].name));
        });
        return reinterpret_cast<const unsigned char *>(bytes.data());
    }

    // What looks damaged may be a writer's change under the reader: that is
    // said instead when the file changed.
    template <class Read>
    std::invoke_result_t<Read> unlessChanged(Read read) const
    {
        try {
            return read();
        } catch (const components::ComponentError &) {
            m_session->ensureUnchangedSince(m_picture, m_relation.name);
            throw;
        }
    }

    std::shared_ptr<OdsSession> m_session;
    const FilePicture m_picture;
    const ods::Relation &m_relation;
    ValueText m_text;
    std::vector<EngineColumn> m_columns;
    std::vector<FieldDescription> m_fields;
    std::unique_ptr<ods::Rows> m_rows;
    BlobContent m_blob;
    long m_count = -1;
};

class CatalogueRows : public TableRows {
public:
    explicit CatalogueRows(std::shared_ptr<OdsSession> session) : m_session(std::move(session))
    {
        for (const auto &relation : m_session->currentPicture().database->relations()) {
            const ado::TableKind kind = relation.system ? ado::TableKind::SystemTable
                : relation.view                         ? ado::TableKind::View
                                                        : ado::TableKind::Table;
            m_entries.push_back({relation.name, ado::tableTypeText(kind)});
        }
        // The engine orders by the bytes of the names (UTF-8 for metadata).
        std::sort(m_entries.begin(), m_entries.end(), [](const Entry &a, const Entry &b) {
            if (a.type != b.type)
                return a.type < b.type;
            return a.name.toUtf8() < b.name.toUtf8();
        });
    }

    const std::vector<FieldDescription> &fields() const override { return m_fields; }
    bool connectionOpen() const override { return m_session->isOpen(); }
    bool next() override { return ++m_current < m_entries.size(); }
    ado::Value value(int field) const override
    {
        const Entry &entry = m_entries[m_current];
        return field == 0 ? entry.name : entry.type;
    }
    long count() override { return long(m_entries.size()); }

private:
    struct Entry {
        QString name;
        QString type;
    };
    std::shared_ptr<OdsSession> m_session;
    std::vector<Entry> m_entries;
    std::size_t m_current = std::size_t(-1);
    const std::vector<FieldDescription> m_fields{{QStringLiteral("TABLE_NAME"), ado::adVarChar},
                                                 {QStringLiteral("TABLE_TYPE"), ado::adVarChar}};
};

} // namespace

QByteArray undeclaredTextCodePage(const ods::Database &database)
{
    // Enough to tell a page with several tables' share in it; a table of
    // plain text gives nothing however long, so it is not read to its end.
    constexpr qsizetype fileSampleBytes = 16384;
    constexpr long rowsOfATable = 5000;
    QByteArray whole;
    for (const ods::Relation &relation : database.relations()) {
        if (relation.system || relation.view || whole.size() >= fileSampleBytes)
            continue;
        const std::vector<EngineColumn> columns = engineColumns(relation);
        std::vector<int> which;
        for (std::size_t i = 0; i < columns.size(); ++i)
            if (holdsUndeclaredText(columns[i]))
                which.push_back(int(i));
        if (which.empty())
            continue;
        CodePageSample sample(int(which.size()));
        readSample(database, relation, columns, which, sample, rowsOfATable);
        for (int i = 0; i < sample.columns(); ++i)
            whole += sample.bytes(i);
    }
    return detectedCodePage(whole);
}

std::unique_ptr<TableRows> relationRows(std::shared_ptr<OdsSession> session, const FilePicture &picture,
                                        const ods::Relation &relation)
{
    return std::make_unique<RelationRows>(std::move(session), picture, relation);
}

std::unique_ptr<TableRows> catalogueRows(std::shared_ptr<OdsSession> session)
{
    return std::make_unique<CatalogueRows>(std::move(session));
}

} // namespace dbaccess
