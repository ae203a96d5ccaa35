#include "catalogue_reader.h"

#include "blob_reader.h"
#include "field_reader.h"

#include <algorithm>
#include <map>

namespace ods {

Catalogue CatalogueReader::read()
{
    try {
        readPageInventory();
        readDescriptors();
        chooseShape();
    } catch (const components::ComponentError &) {
        // A version this reader never saw a file of is read only once its
        // system tables show a shape it knows; until then it is as unknown
        // as before.
        if (!m_header.version->catalogueFromFile())
            throw;
        refuseRelease(m_path, m_header.odsWord, m_header.facts.odsMinor);
    }
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

ReadLosses CatalogueReader::forEachRecord(int relationId, const RecordFormat &layout,
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
            cursor.recordLost(slot.page.number());
        }
    }
    return cursor.losses();
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
    bool listDamaged = false;
    try {
        m_catalogue.stored[RdbPages].pointerPages = RelationPages::chainFrom(m_file, header.pagesRelationPointer);
    } catch (const components::ComponentError &) {
        listDamaged = true;
        searched = RelationPages::searchPointerPages(m_file);
        if (searched[RdbPages].empty())
            throw;
        m_catalogue.stored[RdbPages].pointerPages = searched[RdbPages];
    }
    // RDB$PAGES and RDB$FORMATS lie alike in every shape.
    m_layouts = bootstrapLayouts(*header.version->catalogues().front(), candidateConventions(header).front());
    const SystemLayout &fields = m_layouts.pages;
    std::map<int, SequencedPages> pointerPages;
    std::map<int, SequencedPages> blobPointerPages;
    SequencedPages inventory;
    const ReadLosses pagesLost = forEachRecord(RdbPages, fields.format, [&](const FieldReader &record) {
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
    // With records of RDB$PAGES lost, a table it lists no pointer page of
    // may have lost them all.
    m_pageListDamaged = listDamaged || pagesLost.any();
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
        stored.pointerPagesMayBeLost = m_pageListDamaged && !relation.view && !relation.system;
        m_catalogue.relations.push_back(relation);
    });
}

void CatalogueReader::readDescriptors()
{
    const SystemLayout &fields = m_layouts.formats;
    forEachRecord(RdbFormats, fields.format, [&](const FieldReader &record) {
        const QByteArray id = record.blobId(fields["RDB$DESCRIPTOR"]);
        if (id.isEmpty())
            return;
        StoredDescriptor descriptor;
        descriptor.relationId = record.number(fields["RDB$RELATION_ID"]);
        descriptor.format = record.number(fields["RDB$FORMAT"]);
        try {
            descriptor.content = readBlob(pagesOf(m_store, m_catalogue.stored.at(RdbFormats)), id);
            descriptor.readable = true;
        } catch (const components::ComponentError &) {
            // Left unreadable: reading that table says so, the others go on.
        }
        m_descriptors.push_back(std::move(descriptor));
    });
}

void CatalogueReader::readFormats()
{
    for (const StoredDescriptor &descriptor : m_descriptors) {
        RecordFormat format;
        if (descriptor.readable) {
            try {
                format = parseFormatDescriptor(descriptor.content, *m_shape, m_header.version->interbaseTypes);
            } catch (const components::ComponentError &) {
                // Left unknown, as an unreadable one.
            }
        }
        m_catalogue.stored[descriptor.relationId].formats[descriptor.format] = std::move(format);
    }
    m_descriptors.clear();
}

} // namespace ods
