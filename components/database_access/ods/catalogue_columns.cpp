#include "catalogue_reader.h"

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
