#include "catalogue_reader.h"

#include "blob_reader.h"
#include "field_reader.h"

#include <map>

namespace ods {

void CatalogueReader::read()
{
    readPageInventory();
    chooseConventions();
    readRelations();
    readFormats();
    readColumns();
}

void CatalogueReader::forEachRecord(int relationId, const RecordFormat &layout,
                                    const std::function<void(const FieldReader &)> &use)
{
    StoredRelation &relation = m_file.m_stored[relationId];
    relation.relation.id = relationId;
    const RelationPages pages = m_file.pagesOf(relation);
    RelationPages::Cursor cursor(pages, true);
    RecordSlot slot;
    RecordImage image;
    const auto keepLength = [](int) { return size_t(0); };
    while (cursor.next(slot)) {
        try {
            if (m_file.m_store.newestCommitted(slot, &image, keepLength))
                use(FieldReader(layout, image.data));
        } catch (const components::ComponentError &) {
            // A damaged record of the catalogue loses only itself.
        }
    }
}

QString CatalogueReader::blobText(int relationId, const QByteArray &blobId)
{
    if (blobId.isEmpty())
        return {};
    StoredRelation &relation = m_file.m_stored[relationId];
    relation.relation.id = relationId;
    try {
        return FieldReader::decodeName(readBlob(m_file.pagesOf(relation), blobId));
    } catch (const components::ComponentError &) {
        return {};  // a damaged source text costs only that text
    }
}

void CatalogueReader::readPageInventory()
{
    const Header &header = m_file.m_header;
    std::map<int, std::vector<uint32_t>> searched;
    try {
        m_file.m_stored[RdbPages].pointerPages = RelationPages::chainFrom(m_file.m_file, header.pagesRelationPointer);
    } catch (const components::ComponentError &) {
        searched = RelationPages::searchPointerPages(m_file.m_file);
        if (searched[RdbPages].empty())
            throw;
        m_file.m_stored[RdbPages].pointerPages = searched[RdbPages];
    }
    m_layouts = bootstrapLayouts(header, SystemConventions{});
    const uint64_t pageCount = m_file.m_file.pageCount();
    std::map<int, SequencedPages> pointerPages;
    SequencedPages inventory;
    forEachRecord(RdbPages, m_layouts.pages, [&](const FieldReader &record) {
        using namespace pages_field;
        const int relation = record.number(RelationId);
        const int type = record.number(Type);
        const auto sequence = uint32_t(record.number(Sequence));
        const auto page = uint32_t(record.number(PageNumber));
        if (page >= pageCount)
            return;  // damage: reading that page would only fail later
        if (type == PointerPage && relation != RdbPages)
            pointerPages[relation].emplace_back(sequence, page);
        else if (type == TransactionPage)
            inventory.emplace_back(sequence, page);
    });
    for (const auto &[relation, pages] : pointerPages)
        m_file.m_stored[relation].pointerPages = bySequence(pages);
    // When RDB$PAGES has lost the pages of the catalogue's own tables, the
    // pointer pages themselves say whose they are.
    if (m_file.m_stored[RdbRelations].pointerPages.empty()) {
        if (searched.empty())
            searched = RelationPages::searchPointerPages(m_file.m_file);
        for (auto &[relation, list] : searched)
            if (relation != RdbPages && m_file.m_stored[relation].pointerPages.empty())
                m_file.m_stored[relation].pointerPages = list;
    }
    m_file.m_transactions =
        TransactionInventory(&m_file.m_file, bySequence(inventory), header.oldestInteresting, header.nextTransaction);
}

void CatalogueReader::chooseConventions()
{
    // RDB$PAGES is the first relation of every file: the right layout finds its
    // name in RDB$RELATIONS, and lays RDB$FIELDS out as long as its records.
    const Header &header = m_file.m_header;
    for (const SystemConventions &conventions : candidateConventions(header)) {
        const BootstrapLayouts layouts = bootstrapLayouts(header, conventions);
        bool named = false;
        forEachRecord(RdbRelations, layouts.relations, [&](const FieldReader &record) {
            if (record.number(relations_field::RelationId, -1) == RdbPages &&
                record.name(relations_field::Name) == QLatin1String("RDB$PAGES"))
                named = true;
        });
        // Measured with no layout, so that no record is passed over; most
        // must fit, a damaged one may not.
        int fitting = 0;
        int records = 0;
        if (fieldsLayoutIsComplete(header))
            forEachRecord(RdbFields, RecordFormat{}, [&](const FieldReader &record) {
                ++records;
                fitting += record.length() == layouts.fields.length;
            });
        if (named && (records == 0 || fitting * 2 > records)) {
            m_file.m_conventions = conventions;
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
    forEachRecord(RdbRelations, m_layouts.relations, [&](const FieldReader &record) {
        using namespace relations_field;
        Relation relation;
        relation.id = record.number(RelationId, -1);
        if (relation.id < 0 || m_file.m_stored[relation.id].relation.name.size() > 0)
            return;
        relation.name = record.name(Name);
        relation.system = record.number(SystemFlag) != 0;
        relation.view = !record.isNull(ViewBlr);
        relation.viewSource = blobText(RdbRelations, record.blobId(ViewSource));
        relation.format = record.number(Format);
        m_file.m_stored[relation.id].relation = relation;
        m_file.m_relations.push_back(relation);
    });
}

void CatalogueReader::readFormats()
{
    const int odsMajor = m_file.m_header.facts.odsMajor;
    forEachRecord(RdbFormats, m_layouts.formats, [&](const FieldReader &record) {
        using namespace formats_field;
        const QByteArray id = record.blobId(Descriptor);
        if (id.isEmpty())
            return;
        RecordFormat format;
        try {
            format = parseFormatDescriptor(readBlob(m_file.pagesOf(m_file.m_stored.at(RdbFormats)), id), odsMajor);
        } catch (const components::ComponentError &) {
            // Left unknown: reading that table says so, the others go on.
        }
        m_file.m_stored[record.number(RelationId)].formats[record.number(Format)] = std::move(format);
    });
}

} // namespace ods
