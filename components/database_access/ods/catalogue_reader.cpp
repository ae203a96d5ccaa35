#include "catalogue_reader.h"

#include "blob_reader.h"
#include "field_reader.h"

#include <algorithm>
#include <map>

namespace ods {

Catalogue CatalogueReader::read()
{
    readPageInventory();
    chooseConventions();
    // Formats first: a system table altered since it was created has
    // records in a format RDB$FORMATS holds.
    readFormats();
    readRelations();
    readColumns();
    return std::move(m_catalogue);
}

StoredRelation &CatalogueReader::systemRelation(int relationId)
{
    StoredRelation &relation = m_catalogue.stored[relationId];
    relation.relation.id = relationId;
    return relation;
}

void CatalogueReader::forEachRecord(int relationId, const RecordFormat &layout,
                                    const std::function<void(const FieldReader &)> &use)
{
    StoredRelation &relation = systemRelation(relationId);
    const RelationPages pages = pagesOf(m_store, relation);
    RelationPages::Cursor cursor(pages, true);
    RecordSlot slot;
    RecordImage image;
    const auto keepLength = [](int) { return size_t(0); };
    while (cursor.next(slot)) {
        try {
            if (!m_store.newestCommitted(slot, &image, keepLength))
                continue;
            const auto later = relation.formats.find(image.format);
            if (image.format != 0 && later != relation.formats.end() && later->second.known)
                use(FieldReader(later->second, image.data, image.format));
            else
                use(FieldReader(layout, image.data, image.format));
        } catch (const components::ComponentError &) {
            // A damaged record of the catalogue loses only itself.
        }
    }
}

QString CatalogueReader::blobText(int relationId, const QByteArray &blobId)
{
    if (blobId.isEmpty())
        return {};
    try {
        return FieldReader::decodeName(readBlob(pagesOf(m_store, systemRelation(relationId)), blobId));
    } catch (const components::ComponentError &) {
        return {};  // a damaged source text costs only that text
    }
}

void CatalogueReader::readPageInventory()
{
    const Header &header = m_header;
    std::map<int, std::vector<uint32_t>> searched;
    try {
        m_catalogue.stored[RdbPages].pointerPages = RelationPages::chainFrom(m_file, header.pagesRelationPointer);
    } catch (const components::ComponentError &) {
        searched = RelationPages::searchPointerPages(m_file);
        if (searched[RdbPages].empty())
            throw;
        m_catalogue.stored[RdbPages].pointerPages = searched[RdbPages];
    }
    m_layouts = bootstrapLayouts(header, candidateConventions(header).front());
    const SystemLayout &fields = m_layouts.pages;
    std::map<int, SequencedPages> pointerPages;
    std::map<int, SequencedPages> blobPointerPages;
    SequencedPages inventory;
    forEachRecord(RdbPages, fields.format, [&](const FieldReader &record) {
        const int relation = record.number(fields["RDB$RELATION_ID"]);
        const int type = record.number(fields["RDB$PAGE_TYPE"]);
        const auto sequence = uint32_t(record.number(fields["RDB$PAGE_SEQUENCE"]));
        const auto page = uint32_t(record.number(fields["RDB$PAGE_NUMBER"]));
        if (m_file.beyondEnd(page))
            return;  // damage: reading that page would only fail later
        if (type == PointerPage && relation != RdbPages)
            pointerPages[relation].emplace_back(sequence, page);
        else if (type == BlobPointerPage && header.version->blobsApart)
            blobPointerPages[relation].emplace_back(sequence, page);
        else if (type == TransactionPage)
            inventory.emplace_back(sequence, page);
    });
    for (const auto &[relation, pages] : pointerPages)
        m_catalogue.stored[relation].pointerPages = bySequence(pages);
    for (const auto &[relation, pages] : blobPointerPages)
        m_catalogue.stored[relation].blobs.pointerPages = bySequence(pages);
    // When RDB$PAGES has lost the pages of the catalogue's own tables, the
    // pointer pages themselves say whose they are.
    if (m_catalogue.stored[RdbRelations].pointerPages.empty()) {
        if (searched.empty())
            searched = RelationPages::searchPointerPages(m_file);
        for (auto &[relation, list] : searched)
            if (relation != RdbPages && m_catalogue.stored[relation].pointerPages.empty())
                m_catalogue.stored[relation].pointerPages = list;
    }
    m_transactions =
        TransactionInventory(&m_file, bySequence(inventory), header.oldestInteresting, header.nextTransaction);
}

void CatalogueReader::chooseConventions()
{
    // RDB$PAGES is the first relation of every file: the right layout finds its
    // name in RDB$RELATIONS, and lays RDB$FIELDS out as long as its records.
    const Header &header = m_header;
    for (const SystemConventions &conventions : candidateConventions(header)) {
        const BootstrapLayouts layouts = bootstrapLayouts(header, conventions);
        const SystemLayout &relations = layouts.relations;
        bool named = false;
        forEachRecord(RdbRelations, relations.format, [&](const FieldReader &record) {
            if (record.number(relations["RDB$RELATION_ID"], -1) == RdbPages &&
                record.name(relations["RDB$RELATION_NAME"]) == QLatin1String("RDB$PAGES"))
                named = true;
        });
        // Measured with no layout, so that no record is passed over; most
        // must fit, a damaged one may not.
        int fitting = 0;
        int records = 0;
        if (header.version->catalogue->fieldsComplete)
            forEachRecord(RdbFields, RecordFormat{}, [&](const FieldReader &record) {
                if (record.formatNumber() != 0)
                    return;
                ++records;
                fitting += record.length() == layouts.fields.format.length;
            });
        if (named && (records == 0 || fitting * 2 > records)) {
            m_conventions = conventions;
            m_layouts = layouts;
            return;
        }
    }
    damaged(QStringLiteral("the system tables that list its tables (on-disk structure %1.%2) cannot be read")
                .arg(header.facts.odsMajor)
                .arg(header.facts.odsMinor));
}

void CatalogueReader::readRelations()
{
    const SystemLayout &fields = m_layouts.relations;
    forEachRecord(RdbRelations, fields.format, [&](const FieldReader &record) {
        Relation relation;
        relation.id = record.number(fields["RDB$RELATION_ID"], -1);
        if (relation.id < 0 || m_catalogue.stored[relation.id].relation.name.size() > 0)
            return;
        relation.name = record.name(fields["RDB$RELATION_NAME"]);
        relation.system = record.number(fields["RDB$SYSTEM_FLAG"]) != 0;
        relation.view = !record.isNull(fields["RDB$VIEW_BLR"]);
        relation.viewSource = blobText(RdbRelations, record.blobId(fields["RDB$VIEW_SOURCE"]));
        relation.format = record.number(fields["RDB$FORMAT"]);
        StoredRelation &stored = m_catalogue.stored[relation.id];
        stored.blobs.recordsPerPage = unsigned(std::max(record.number(fields["RDB$BLOB_BLOCKING_FACTOR"]), 0));
        const QString tablespace = record.name(fields["RDB$FILESPACE_NAME"]);
        if (!relation.view && !tablespace.isEmpty() && tablespace != QLatin1String("PRIMARY"))
            stored.tablespace = tablespace;
        stored.relation = relation;
        m_catalogue.relations.push_back(relation);
    });
}

void CatalogueReader::readFormats()
{
    const OdsVersion &version = *m_header.version;
    const SystemLayout &fields = m_layouts.formats;
    forEachRecord(RdbFormats, fields.format, [&](const FieldReader &record) {
        const QByteArray id = record.blobId(fields["RDB$DESCRIPTOR"]);
        if (id.isEmpty())
            return;
        RecordFormat format;
        try {
            format = parseFormatDescriptor(readBlob(pagesOf(m_store, m_catalogue.stored.at(RdbFormats)), id), version);
        } catch (const components::ComponentError &) {
            // Left unknown: reading that table says so, the others go on.
        }
        m_catalogue.stored[record.number(fields["RDB$RELATION_ID"])].formats[record.number(fields["RDB$FORMAT"])] =
            std::move(format);
    });
}

} // namespace ods
