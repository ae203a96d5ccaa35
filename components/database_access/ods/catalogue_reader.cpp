#include "catalogue_reader.h"

#include "blob_reader.h"
#include "field_reader.h"

#include <algorithm>
#include <map>

namespace ods {

namespace {

struct Domain {
    int type = 0;
    int subType = 0;
    int length = 0;
    int scale = 0;
    int characterLength = -1;
    int charset = 0;
    int collation = 0;
    int segmentLength = 0;
    int dimensions = 0;
    bool computed = false;
    QByteArray computedSource;
    bool notNull = false;
};

struct RelationField {
    QString name;
    QString source;
    int position = 0;
    int fieldId = 0;
    bool notNull = false;
    int collation = -1;
};

int memoryLength(int dtype, int declared)
{
    switch (dtype) {
    case DtText:
    case DtCString: return declared;
    case DtVarying: return declared + 2;
    case DtShort: return 2;
    case DtLong:
    case DtReal:
    case DtDate:
    case DtTime: return 4;
    case DtBoolean: return 1;
    case DtDec128:
    case DtInt128: return 16;
    case DtTimestampTz: return 12;
    default: return 8;
    }
}

// Bytes a character takes at most, for columns whose character length the
// catalogue does not record.
int bytesPerCharacter(int charset)
{
    switch (charset) {
    case 3: return 3;              // UNICODE_FSS
    case 4:                        // UTF8
    case 69: return 4;             // GB18030
    case 5: case 6: case 44: case 56: case 57: case 64: case 67: case 68: return 2;
    default: return 1;
    }
}

} // namespace

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
        bool found = false;
        try {
            found = m_file.m_store.newestCommitted(slot, &image, keepLength);
        } catch (const components::ComponentError &) {
            // A damaged version chain loses this one record of the catalogue.
        }
        if (found)
            use(FieldReader(layout, image.data));
    }
}

QString CatalogueReader::blobText(int relationId, const QByteArray &blobId)
{
    if (blobId.isEmpty())
        return {};
    StoredRelation &relation = m_file.m_stored[relationId];
    relation.relation.id = relationId;
    return FieldReader::decodeName(readBlob(m_file.pagesOf(relation), blobId));
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
        bool sized = true;
        try {
            forEachRecord(RdbRelations, layouts.relations, [&](const FieldReader &record) {
                if (record.number(relations_field::RelationId, -1) == RdbPages &&
                    record.name(relations_field::Name) == QLatin1String("RDB$PAGES"))
                    named = true;
            });
            if (fieldsLayoutIsComplete(header))
                forEachRecord(RdbFields, layouts.fields, [&](const FieldReader &record) {
                    sized = sized && record.length() == layouts.fields.length;
                });
        } catch (const components::ComponentError &) {
            named = false;
        }
        if (named && sized) {
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

void CatalogueReader::readColumns()
{
    std::map<QString, Domain> domains;
    forEachRecord(RdbFields, m_layouts.fields, [&](const FieldReader &record) {
        using namespace fields_field;
        Domain domain;
        domain.type = record.number(Type);
        domain.subType = record.number(SubType);
        domain.length = std::max(record.number(Length), 0);
        domain.scale = record.number(Scale);
        domain.characterLength = record.number(CharacterLength, -1);
        domain.charset = record.number(CharacterSetId);
        domain.collation = record.number(CollationId);
        domain.segmentLength = record.number(SegmentLength);
        domain.dimensions = record.number(Dimensions);
        domain.computed = !record.isNull(ComputedBlr);
        domain.computedSource = record.blobId(ComputedSource);
        domain.notNull = record.number(NullFlag) != 0;
        domains.emplace(record.name(Name), domain);
    });

    std::map<QString, std::vector<RelationField>> fieldsByRelation;
    forEachRecord(RdbRelationFields, m_layouts.relationFields, [&](const FieldReader &record) {
        using namespace relation_fields_field;
        RelationField field;
        field.name = record.name(FieldName);
        field.source = record.name(FieldSource);
        field.position = record.number(Position, 0x7fff);
        field.fieldId = record.number(FieldId);
        field.notNull = record.number(NullFlag) != 0;
        field.collation = record.number(CollationId, -1);
        fieldsByRelation[record.name(RelationName)].push_back(field);
    });

    for (Relation &relation : m_file.m_relations) {
        std::vector<RelationField> &fields = fieldsByRelation[relation.name];
        std::stable_sort(fields.begin(), fields.end(), [](const RelationField &a, const RelationField &b) {
            return a.position != b.position ? a.position < b.position : a.fieldId < b.fieldId;
        });
        StoredRelation &stored = m_file.m_stored[relation.id];
        const auto current = stored.formats.find(relation.format);
        std::vector<FieldLayout> systemFields;
        for (const RelationField &field : fields) {
            const Domain &domain = domains[field.source];
            Column column;
            column.name = field.name;
            column.fieldId = field.fieldId;
            column.dtype = domain.dimensions > 0 ? int(DtArray) : dtypeOfFieldType(domain.type);
            column.length = memoryLength(column.dtype, domain.length);
            column.scale = domain.scale;
            column.subType = domain.subType;
            column.charset = domain.charset;
            column.collation = field.collation >= 0 ? field.collation : domain.collation;
            column.segmentLength = domain.segmentLength;
            column.dimensions = domain.dimensions;
            if (column.dtype == DtText || column.dtype == DtVarying)
                column.characterLength = domain.characterLength >= 0
                                             ? domain.characterLength
                                             : domain.length / bytesPerCharacter(domain.charset);
            if (domain.computed) {
                column.computedSource = blobText(RdbFields, domain.computedSource);
                if (column.computedSource.isEmpty())
                    column.computedSource = QStringLiteral("(computed)");
            }
            column.domain = field.source;
            column.notNull = field.notNull || domain.notNull;
            if (current != stored.formats.end() && size_t(field.fieldId) < current->second.fields.size()) {
                const FieldLayout &layout = current->second.fields[size_t(field.fieldId)];
                if (layout.dtype == column.dtype)
                    column.length = layout.length;
            }
            // Field ids are 16-bit; a negative one is damage, and the column
            // reads as null.
            if (field.fieldId >= 0) {
                if (size_t(field.fieldId) >= systemFields.size())
                    systemFields.resize(size_t(field.fieldId) + 1);
                systemFields[size_t(field.fieldId)] =
                    FieldLayout{column.dtype, column.scale, column.length, column.subType, 0};
            }
            relation.columns.push_back(column);
        }
        if (relation.system && !relation.view) {
            stored.systemFormat = layOut(systemFields, m_file.m_conventions.alignment);
            stored.hasSystemFormat = true;
        }
        stored.relation = relation;
    }
}

} // namespace ods
