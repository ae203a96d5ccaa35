#include "catalogue_reader.h"

#include "character_sets.h"
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
    bool encrypted = false;
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

} // namespace

void CatalogueReader::readColumns()
{
    const OdsVersion &version = *m_header.version;
    const auto charsetOf = [&](int stored) {
        return version.interbaseTypes ? firebirdCharsetOfInterBase(stored) : stored;
    };
    std::map<QString, Domain> domains;
    const SystemLayout &fields = m_layouts.fields;
    forEachRecord(RdbFields, fields.format, [&](const FieldReader &record) {
        Domain domain;
        domain.type = record.number(fields["RDB$FIELD_TYPE"]);
        domain.subType = record.number(fields["RDB$FIELD_SUB_TYPE"]);
        domain.length = std::max(record.number(fields["RDB$FIELD_LENGTH"]), 0);
        domain.scale = record.number(fields["RDB$FIELD_SCALE"]);
        domain.characterLength = record.number(fields["RDB$CHARACTER_LENGTH"], -1);
        domain.charset = charsetOf(record.number(fields["RDB$CHARACTER_SET_ID"]));
        domain.collation = record.number(fields["RDB$COLLATION_ID"]);
        domain.segmentLength = record.number(fields["RDB$SEGMENT_LENGTH"]);
        domain.dimensions = record.number(fields["RDB$DIMENSIONS"]);
        domain.computed = !record.isNull(fields["RDB$COMPUTED_BLR"]);
        domain.computedSource = record.blobId(fields["RDB$COMPUTED_SOURCE"]);
        domain.notNull = record.number(fields["RDB$NULL_FLAG"]) != 0;
        domains.emplace(record.name(fields["RDB$FIELD_NAME"]), domain);
    });

    std::map<QString, std::vector<RelationField>> fieldsByRelation;
    const SystemLayout &relationFields = m_layouts.relationFields;
    forEachRecord(RdbRelationFields, relationFields.format, [&](const FieldReader &record) {
        RelationField field;
        field.name = record.name(relationFields["RDB$FIELD_NAME"]);
        field.source = record.name(relationFields["RDB$FIELD_SOURCE"]);
        field.position = record.number(relationFields["RDB$FIELD_POSITION"], 0x7fff);
        field.fieldId = record.number(relationFields["RDB$FIELD_ID"]);
        field.notNull = record.number(relationFields["RDB$NULL_FLAG"]) != 0;
        field.collation = record.number(relationFields["RDB$COLLATION_ID"], -1);
        // Every unencrypted column of the InterBase files seen keeps a null
        // here; a zero is taken as no encryption too, so that a file that
        // writes one is not refused for it.
        field.encrypted = record.number(relationFields["RDB$ENCRYPTION_ID"], 0) != 0;
        fieldsByRelation[record.name(relationFields["RDB$RELATION_NAME"])].push_back(field);
    });

    for (Relation &relation : m_catalogue.relations) {
        std::vector<RelationField> &fields = fieldsByRelation[relation.name];
        std::stable_sort(fields.begin(), fields.end(), [](const RelationField &a, const RelationField &b) {
            return a.position != b.position ? a.position < b.position : a.fieldId < b.fieldId;
        });
        StoredRelation &stored = m_catalogue.stored[relation.id];
        const auto current = stored.formats.find(relation.format);
        std::vector<FieldLayout> systemFields;
        for (const RelationField &field : fields) {
            const Domain &domain = domains[field.source];
            Column column;
            column.name = field.name;
            column.fieldId = field.fieldId;
            column.dtype = domain.dimensions > 0 ? int(DtArray) : dtypeOfFieldType(domain.type, version);
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
            column.encrypted = field.encrypted;
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
                const bool twoByteBoolean = version.interbaseTypes && column.dtype == DtBoolean;
                systemFields[size_t(field.fieldId)] = FieldLayout{
                    column.dtype, column.scale, twoByteBoolean ? interbaseBooleanBytes : column.length, column.subType, 0};
            }
            relation.columns.push_back(column);
        }
        if (relation.system && !relation.view) {
            stored.systemFormat = layOut(systemFields, m_conventions.alignment);
            if (version.interbaseTypes)
                readBooleansAsFirebirds(stored.systemFormat);
            stored.hasSystemFormat = true;
        }
        stored.relation = relation;
    }
}

} // namespace ods
