#include "system_layouts.h"

#include "header_page.h"
#include "ods_version.h"

namespace ods {

namespace {

using enum SystemType;

constexpr Editions everyEdition = InterBase8 | Firebird10 | Firebird12 | Firebird13 | InterBase12 | InterBase13 |
                                  InterBase15 | InterBase16 | InterBase18;
constexpr Editions interbaseFrom13 = InterBase13 | InterBase15 | InterBase16 | InterBase18;
constexpr Editions interbaseFrom12 = InterBase12 | interbaseFrom13;
constexpr Editions interbaseFrom15 = InterBase15 | InterBase16 | InterBase18;
constexpr Editions interbaseFrom16 = InterBase16 | InterBase18;

constexpr SystemField pages[] = {
    {"RDB$PAGE_NUMBER", Long, everyEdition},
    {"RDB$RELATION_ID", Short, everyEdition},
    {"RDB$PAGE_SEQUENCE", Long, everyEdition},
    {"RDB$PAGE_TYPE", Short, everyEdition},
};

constexpr SystemField formats[] = {
    {"RDB$RELATION_ID", Short, everyEdition},
    {"RDB$FORMAT", Short, everyEdition},
    {"RDB$DESCRIPTOR", Blob, everyEdition},
};

// Complete up to ODS 11 and in InterBase; Firebird 3 on appends fields.
constexpr SystemField fields[] = {
    {"RDB$FIELD_NAME", Name, everyEdition},
    {"RDB$QUERY_NAME", Name, everyEdition},
    {"RDB$VALIDATION_BLR", Blob, everyEdition},
    {"RDB$VALIDATION_SOURCE", Blob, everyEdition},
    {"RDB$COMPUTED_BLR", Blob, everyEdition},
    {"RDB$COMPUTED_SOURCE", Blob, everyEdition},
    {"RDB$DEFAULT_VALUE", Blob, everyEdition},
    {"RDB$DEFAULT_SOURCE", Blob, everyEdition},
    {"RDB$FIELD_LENGTH", Short, everyEdition},
    {"RDB$FIELD_SCALE", Short, everyEdition},
    {"RDB$FIELD_TYPE", Short, everyEdition},
    {"RDB$FIELD_SUB_TYPE", Short, everyEdition},
    {"RDB$MISSING_VALUE", Blob, everyEdition},
    {"RDB$MISSING_SOURCE", Blob, everyEdition},
    {"RDB$DESCRIPTION", Blob, everyEdition},
    {"RDB$SYSTEM_FLAG", Short, everyEdition},
    {"RDB$QUERY_HEADER", Blob, everyEdition},
    {"RDB$SEGMENT_LENGTH", Short, everyEdition},
    {"RDB$EDIT_STRING", EditString, everyEdition},
    {"RDB$EXTERNAL_LENGTH", Short, everyEdition},
    {"RDB$EXTERNAL_SCALE", Short, everyEdition},
    {"RDB$EXTERNAL_TYPE", Short, everyEdition},
    {"RDB$DIMENSIONS", Short, everyEdition},
    {"RDB$NULL_FLAG", Short, everyEdition},
    {"RDB$CHARACTER_LENGTH", Short, everyEdition},
    {"RDB$COLLATION_ID", Short, everyEdition},
    {"RDB$CHARACTER_SET_ID", Short, everyEdition},
    {"RDB$FIELD_PRECISION", Short, everyEdition & ~InterBase8},   // came with ODS 10
};

// Firebird's list stops after RDB$COLLATION_ID, the last field read: what
// follows differs between its versions.
constexpr SystemField relationFields[] = {
    {"RDB$FIELD_NAME", Name, everyEdition},
    {"RDB$RELATION_NAME", Name, everyEdition},
    {"RDB$FIELD_SOURCE", Name, everyEdition},
    {"RDB$QUERY_NAME", Name, everyEdition},
    {"RDB$BASE_FIELD", Name, everyEdition},
    {"RDB$EDIT_STRING", EditString, everyEdition},
    {"RDB$FIELD_POSITION", Short, everyEdition},
    {"RDB$QUERY_HEADER", Blob, everyEdition},
    {"RDB$UPDATE_FLAG", Short, everyEdition},
    {"RDB$FIELD_ID", Short, everyEdition},
    {"RDB$VIEW_CONTEXT", Short, everyEdition},
    {"RDB$DESCRIPTION", Blob, everyEdition},
    {"RDB$DEFAULT_VALUE", Blob, everyEdition},
    {"RDB$SYSTEM_FLAG", Short, everyEdition},
    {"RDB$SECURITY_CLASS", Name, everyEdition},
    {"RDB$COMPLEX_NAME", Name, everyEdition},
    {"RDB$NULL_FLAG", Short, everyEdition},
    {"RDB$DEFAULT_SOURCE", Blob, everyEdition},
    {"RDB$COLLATION_ID", Short, everyEdition},
    // Column encryption came with InterBase 2009 (InterBase 2007's records
    // end before it, at byte 654). Every later InterBase file at hand (ODS
    // 13.1 to 19.0) lists it as field 19; those that keep a format
    // of this table in RDB$FORMATS place a SMALLINT there at byte 654. Null
    // unless InterBase encrypted the column.
    {"RDB$ENCRYPTION_ID", Short, interbaseFrom13},
};

// Complete for InterBase (611 bytes in ODS 12 and 13, 616 in 15 and 16.0, 624 in
// 16.1 and 17, 691 in 18 and 19). Firebird's list stops after
// RDB$RELATION_NAME, the last field it needs: its later fields came and
// changed type with its minor versions, and records written before an
// upgrade of the minor version are shorter.
constexpr SystemField relations[] = {
    {"RDB$VIEW_BLR", Blob, everyEdition},
    {"RDB$VIEW_SOURCE", Blob, everyEdition},
    {"RDB$DESCRIPTION", Blob, everyEdition},
    {"RDB$RELATION_ID", Short, everyEdition},
    {"RDB$SYSTEM_FLAG", Short, everyEdition},
    {"RDB$DBKEY_LENGTH", Short, everyEdition},
    {"RDB$FORMAT", Short, everyEdition},
    {"RDB$FIELD_ID", Short, everyEdition},
    {"RDB$RELATION_NAME", Name, everyEdition},
    {"RDB$SECURITY_CLASS", Name, interbaseFrom12},
    {"RDB$EXTERNAL_FILE", FileName, interbaseFrom12},
    {"RDB$RUNTIME", Blob, interbaseFrom12},
    {"RDB$EXTERNAL_DESCRIPTION", Blob, interbaseFrom12},
    {"RDB$OWNER_NAME", Name, interbaseFrom12},
    {"RDB$DEFAULT_CLASS", Name, interbaseFrom12},
    {"RDB$FLAGS", Short, interbaseFrom12},
    {"RDB$RELATION_TYPE", Char31, interbaseFrom12},
    {"RDB$DATA_BLOCKING_FACTOR", Short, interbaseFrom15},   // records per data page, 0: the default
    {"RDB$BLOB_BLOCKING_FACTOR", Short, interbaseFrom15},   // BLOB headers per BLOB data page, 0: the default
    {"RDB$TRUNCATE_TIMESTAMP", Timestamp, interbaseFrom16},
    {"RDB$FILESPACE_NAME", Name, InterBase18},
};

FieldLayout storedType(SystemType type, int nameBytes, const SystemConventions &conventions)
{
    switch (type) {
    case Short: return FieldLayout{DtShort, 0, 2, 0, 0};
    case Long: return FieldLayout{DtLong, 0, 4, 0, 0};
    case Blob: return FieldLayout{DtBlob, 0, 8, 0, 0};
    case Name: return FieldLayout{DtText, 0, nameBytes, 0, 0};
    case EditString: return FieldLayout{DtVarying, 0, conventions.varyingLength(127), 0, 0};
    case Char31: return FieldLayout{DtText, 0, 31, 0, 0};
    case FileName: return FieldLayout{DtVarying, 0, conventions.varyingLength(255), 0, 0};
    case Timestamp: return FieldLayout{DtTimestamp, 0, 8, 0, 0};
    }
    return {};
}

SystemLayout layOutTable(std::span<const SystemField> table, const SystemCatalogueLayout &catalogue,
                         const SystemConventions &conventions)
{
    std::vector<FieldLayout> types;
    std::vector<std::string_view> names;
    for (const SystemField &field : table)
        if (field.editions & catalogue.edition) {
            types.push_back(storedType(field.type, catalogue.nameBytes, conventions));
            names.push_back(field.name);
        }
    return SystemLayout{layOut(types, conventions.alignment), std::move(names)};
}

} // namespace

const SystemCatalogueLayout interbaseCatalogue8{InterBase8, 31, true};
const SystemCatalogueLayout firebirdCatalogue10{Firebird10, 31, true};
const SystemCatalogueLayout firebirdCatalogue12{Firebird12, 31, false, nullptr, true};
// Names are CHAR(63) in UTF8 from ODS 13: 252 bytes.
const SystemCatalogueLayout firebirdCatalogue13{Firebird13, 252, false, nullptr, true};
const SystemCatalogueLayout interbaseCatalogue12{InterBase12, 67, true, &disk::formatEntryInterBase13};
const SystemCatalogueLayout interbaseCatalogue13{InterBase13, 67, true, &disk::formatEntryInterBase13};
const SystemCatalogueLayout interbaseCatalogue15{InterBase15, 67, true, &disk::formatEntryInterBase13};
const SystemCatalogueLayout interbaseCatalogue16{InterBase16, 67, true, &disk::formatEntryInterBase13};
const SystemCatalogueLayout interbaseCatalogue18{InterBase18, 67, true, &disk::formatEntryInterBase13};

int SystemLayout::operator[](std::string_view name) const
{
    for (size_t id = 0; id < fields.size(); ++id)
        if (fields[id] == name)
            return int(id);
    return -1;
}

std::vector<SystemConventions> candidateConventions(const Header &header)
{
    // InterBase's own builds align to 4 and count a VARCHAR's length word.
    if (header.version->interbase())
        return {SystemConventions{4, true}};
    if (header.facts.odsMajor >= 12)
        return {SystemConventions{8, false}};
    const bool countLikely = header.facts.odsMajor == 11 && header.odsMinorOriginal < 2;
    std::vector<SystemConventions> candidates;
    for (const unsigned alignment : {8u, 4u}) {
        if (header.facts.odsMajor >= 11 && alignment != 8)
            continue;
        candidates.push_back(SystemConventions{alignment, countLikely});
        candidates.push_back(SystemConventions{alignment, !countLikely});
    }
    return candidates;
}

BootstrapLayouts bootstrapLayouts(const SystemCatalogueLayout &catalogue, const SystemConventions &conventions)
{
    return BootstrapLayouts{layOutTable(pages, catalogue, conventions), layOutTable(relations, catalogue, conventions),
                            layOutTable(relationFields, catalogue, conventions),
                            layOutTable(fields, catalogue, conventions), layOutTable(formats, catalogue, conventions)};
}

} // namespace ods
