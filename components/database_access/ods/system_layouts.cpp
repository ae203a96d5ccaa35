#include "system_layouts.h"

#include "header_page.h"
#include "ods_version.h"

namespace ods {

namespace {

using enum SystemType;

constexpr SystemField pages[] = {
    {"RDB$PAGE_NUMBER", Long},
    {"RDB$RELATION_ID", Short},
    {"RDB$PAGE_SEQUENCE", Long},
    {"RDB$PAGE_TYPE", Short},
};

constexpr SystemField formats[] = {
    {"RDB$RELATION_ID", Short},
    {"RDB$FORMAT", Short},
    {"RDB$DESCRIPTOR", Blob},
};

// Complete up to ODS 11 and in InterBase from ODS 13; Firebird 3 on appends
// fields.
constexpr SystemField fields[] = {
    {"RDB$FIELD_NAME", Name},
    {"RDB$QUERY_NAME", Name},
    {"RDB$VALIDATION_BLR", Blob},
    {"RDB$VALIDATION_SOURCE", Blob},
    {"RDB$COMPUTED_BLR", Blob},
    {"RDB$COMPUTED_SOURCE", Blob},
    {"RDB$DEFAULT_VALUE", Blob},
    {"RDB$DEFAULT_SOURCE", Blob},
    {"RDB$FIELD_LENGTH", Short},
    {"RDB$FIELD_SCALE", Short},
    {"RDB$FIELD_TYPE", Short},
    {"RDB$FIELD_SUB_TYPE", Short},
    {"RDB$MISSING_VALUE", Blob},
    {"RDB$MISSING_SOURCE", Blob},
    {"RDB$DESCRIPTION", Blob},
    {"RDB$SYSTEM_FLAG", Short},
    {"RDB$QUERY_HEADER", Blob},
    {"RDB$SEGMENT_LENGTH", Short},
    {"RDB$EDIT_STRING", EditString},
    {"RDB$EXTERNAL_LENGTH", Short},
    {"RDB$EXTERNAL_SCALE", Short},
    {"RDB$EXTERNAL_TYPE", Short},
    {"RDB$DIMENSIONS", Short},
    {"RDB$NULL_FLAG", Short},
    {"RDB$CHARACTER_LENGTH", Short},
    {"RDB$COLLATION_ID", Short},
    {"RDB$CHARACTER_SET_ID", Short},
    {"RDB$FIELD_PRECISION", Short},
};

// InterBase 4 and 5 (ODS 8, 9), complete: ODS 10 appended
// RDB$FIELD_PRECISION.
constexpr SystemField fieldsInterBase8[] = {
    {"RDB$FIELD_NAME", Name},
    {"RDB$QUERY_NAME", Name},
    {"RDB$VALIDATION_BLR", Blob},
    {"RDB$VALIDATION_SOURCE", Blob},
    {"RDB$COMPUTED_BLR", Blob},
    {"RDB$COMPUTED_SOURCE", Blob},
    {"RDB$DEFAULT_VALUE", Blob},
    {"RDB$DEFAULT_SOURCE", Blob},
    {"RDB$FIELD_LENGTH", Short},
    {"RDB$FIELD_SCALE", Short},
    {"RDB$FIELD_TYPE", Short},
    {"RDB$FIELD_SUB_TYPE", Short},
    {"RDB$MISSING_VALUE", Blob},
    {"RDB$MISSING_SOURCE", Blob},
    {"RDB$DESCRIPTION", Blob},
    {"RDB$SYSTEM_FLAG", Short},
    {"RDB$QUERY_HEADER", Blob},
    {"RDB$SEGMENT_LENGTH", Short},
    {"RDB$EDIT_STRING", EditString},
    {"RDB$EXTERNAL_LENGTH", Short},
    {"RDB$EXTERNAL_SCALE", Short},
    {"RDB$EXTERNAL_TYPE", Short},
    {"RDB$DIMENSIONS", Short},
    {"RDB$NULL_FLAG", Short},
    {"RDB$CHARACTER_LENGTH", Short},
    {"RDB$COLLATION_ID", Short},
    {"RDB$CHARACTER_SET_ID", Short},
};

// Leading fields; every version appends more.
constexpr SystemField relationFields[] = {
    {"RDB$FIELD_NAME", Name},
    {"RDB$RELATION_NAME", Name},
    {"RDB$FIELD_SOURCE", Name},
    {"RDB$QUERY_NAME", Name},
    {"RDB$BASE_FIELD", Name},
    {"RDB$EDIT_STRING", EditString},
    {"RDB$FIELD_POSITION", Short},
    {"RDB$QUERY_HEADER", Blob},
    {"RDB$UPDATE_FLAG", Short},
    {"RDB$FIELD_ID", Short},
    {"RDB$VIEW_CONTEXT", Short},
    {"RDB$DESCRIPTION", Blob},
    {"RDB$DEFAULT_VALUE", Blob},
    {"RDB$SYSTEM_FLAG", Short},
    {"RDB$SECURITY_CLASS", Name},
    {"RDB$COMPLEX_NAME", Name},
    {"RDB$NULL_FLAG", Short},
    {"RDB$DEFAULT_SOURCE", Blob},
    {"RDB$COLLATION_ID", Short},
};

// InterBase's from ODS 13, leading fields: column encryption came with
// InterBase 2009. Every file at hand (ODS 13.1 to 19.0) lists
// RDB$ENCRYPTION_ID as field 19 of RDB$RELATION_FIELDS; those that keep a
// format of that table in RDB$FORMATS place a SMALLINT there at byte 654.
constexpr SystemField relationFieldsInterBase13[] = {
    {"RDB$FIELD_NAME", Name},
    {"RDB$RELATION_NAME", Name},
    {"RDB$FIELD_SOURCE", Name},
    {"RDB$QUERY_NAME", Name},
    {"RDB$BASE_FIELD", Name},
    {"RDB$EDIT_STRING", EditString},
    {"RDB$FIELD_POSITION", Short},
    {"RDB$QUERY_HEADER", Blob},
    {"RDB$UPDATE_FLAG", Short},
    {"RDB$FIELD_ID", Short},
    {"RDB$VIEW_CONTEXT", Short},
    {"RDB$DESCRIPTION", Blob},
    {"RDB$DEFAULT_VALUE", Blob},
    {"RDB$SYSTEM_FLAG", Short},
    {"RDB$SECURITY_CLASS", Name},
    {"RDB$COMPLEX_NAME", Name},
    {"RDB$NULL_FLAG", Short},
    {"RDB$DEFAULT_SOURCE", Blob},
    {"RDB$COLLATION_ID", Short},
    {"RDB$ENCRYPTION_ID", Short},   // null unless InterBase encrypted the column
};

// Firebird's: leading fields.
constexpr SystemField relationsFirebird[] = {
    {"RDB$VIEW_BLR", Blob},
    {"RDB$VIEW_SOURCE", Blob},
    {"RDB$DESCRIPTION", Blob},
    {"RDB$RELATION_ID", Short},
    {"RDB$SYSTEM_FLAG", Short},
    {"RDB$DBKEY_LENGTH", Short},
    {"RDB$FORMAT", Short},
    {"RDB$FIELD_ID", Short},
    {"RDB$RELATION_NAME", Name},
};

// InterBase's, complete: 611 bytes in ODS 13.
constexpr SystemField relationsInterBase13[] = {
    {"RDB$VIEW_BLR", Blob},
    {"RDB$VIEW_SOURCE", Blob},
    {"RDB$DESCRIPTION", Blob},
    {"RDB$RELATION_ID", Short},
    {"RDB$SYSTEM_FLAG", Short},
    {"RDB$DBKEY_LENGTH", Short},
    {"RDB$FORMAT", Short},
    {"RDB$FIELD_ID", Short},
    {"RDB$RELATION_NAME", Name},
    {"RDB$SECURITY_CLASS", Name},
    {"RDB$EXTERNAL_FILE", FileName},
    {"RDB$RUNTIME", Blob},
    {"RDB$EXTERNAL_DESCRIPTION", Blob},
    {"RDB$OWNER_NAME", Name},
    {"RDB$DEFAULT_CLASS", Name},
    {"RDB$FLAGS", Short},
    {"RDB$RELATION_TYPE", Char31},
};

// ODS 15 and 16.0: 616 bytes.
constexpr SystemField relationsInterBase15[] = {
    {"RDB$VIEW_BLR", Blob},
    {"RDB$VIEW_SOURCE", Blob},
    {"RDB$DESCRIPTION", Blob},
    {"RDB$RELATION_ID", Short},
    {"RDB$SYSTEM_FLAG", Short},
    {"RDB$DBKEY_LENGTH", Short},
    {"RDB$FORMAT", Short},
    {"RDB$FIELD_ID", Short},
    {"RDB$RELATION_NAME", Name},
    {"RDB$SECURITY_CLASS", Name},
    {"RDB$EXTERNAL_FILE", FileName},
    {"RDB$RUNTIME", Blob},
    {"RDB$EXTERNAL_DESCRIPTION", Blob},
    {"RDB$OWNER_NAME", Name},
    {"RDB$DEFAULT_CLASS", Name},
    {"RDB$FLAGS", Short},
    {"RDB$RELATION_TYPE", Char31},
    {"RDB$DATA_BLOCKING_FACTOR", Short},   // records per data page, 0: the default
    {"RDB$BLOB_BLOCKING_FACTOR", Short},   // BLOB headers per BLOB data page, 0: the default
};

// ODS 16.1 and 17: 624 bytes.
constexpr SystemField relationsInterBase16[] = {
    {"RDB$VIEW_BLR", Blob},
    {"RDB$VIEW_SOURCE", Blob},
    {"RDB$DESCRIPTION", Blob},
    {"RDB$RELATION_ID", Short},
    {"RDB$SYSTEM_FLAG", Short},
    {"RDB$DBKEY_LENGTH", Short},
    {"RDB$FORMAT", Short},
    {"RDB$FIELD_ID", Short},
    {"RDB$RELATION_NAME", Name},
    {"RDB$SECURITY_CLASS", Name},
    {"RDB$EXTERNAL_FILE", FileName},
    {"RDB$RUNTIME", Blob},
    {"RDB$EXTERNAL_DESCRIPTION", Blob},
    {"RDB$OWNER_NAME", Name},
    {"RDB$DEFAULT_CLASS", Name},
    {"RDB$FLAGS", Short},
    {"RDB$RELATION_TYPE", Char31},
    {"RDB$DATA_BLOCKING_FACTOR", Short},
    {"RDB$BLOB_BLOCKING_FACTOR", Short},
    {"RDB$TRUNCATE_TIMESTAMP", Timestamp},
};

// ODS 18 and 19: 691 bytes.
constexpr SystemField relationsInterBase18[] = {
    {"RDB$VIEW_BLR", Blob},
    {"RDB$VIEW_SOURCE", Blob},
    {"RDB$DESCRIPTION", Blob},
    {"RDB$RELATION_ID", Short},
    {"RDB$SYSTEM_FLAG", Short},
    {"RDB$DBKEY_LENGTH", Short},
    {"RDB$FORMAT", Short},
    {"RDB$FIELD_ID", Short},
    {"RDB$RELATION_NAME", Name},
    {"RDB$SECURITY_CLASS", Name},
    {"RDB$EXTERNAL_FILE", FileName},
    {"RDB$RUNTIME", Blob},
    {"RDB$EXTERNAL_DESCRIPTION", Blob},
    {"RDB$OWNER_NAME", Name},
    {"RDB$DEFAULT_CLASS", Name},
    {"RDB$FLAGS", Short},
    {"RDB$RELATION_TYPE", Char31},
    {"RDB$DATA_BLOCKING_FACTOR", Short},
    {"RDB$BLOB_BLOCKING_FACTOR", Short},
    {"RDB$TRUNCATE_TIMESTAMP", Timestamp},
    {"RDB$FILESPACE_NAME", Name},
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

SystemLayout layOutTable(std::span<const SystemField> table, int nameBytes, const SystemConventions &conventions)
{
    std::vector<FieldLayout> types;
    for (const SystemField &field : table)
        types.push_back(storedType(field.type, nameBytes, conventions));
    return SystemLayout{layOut(types, conventions.alignment), table};
}

} // namespace

const SystemCatalogueLayout interbaseCatalogue8{31, pages, relationsFirebird, relationFields, fieldsInterBase8, formats,
                                                true};
const SystemCatalogueLayout firebirdCatalogue10{31, pages, relationsFirebird, relationFields, fields, formats, true};
const SystemCatalogueLayout firebirdCatalogue12{31, pages, relationsFirebird, relationFields, fields, formats, false};
// Names are CHAR(63) in UTF8 from ODS 13: 252 bytes.
const SystemCatalogueLayout firebirdCatalogue13{252, pages, relationsFirebird, relationFields, fields, formats, false};
const SystemCatalogueLayout interbaseCatalogue13{67, pages, relationsInterBase13, relationFieldsInterBase13, fields,
                                                 formats, true};
const SystemCatalogueLayout interbaseCatalogue15{67, pages, relationsInterBase15, relationFieldsInterBase13, fields,
                                                 formats, true};
const SystemCatalogueLayout interbaseCatalogue16{67, pages, relationsInterBase16, relationFieldsInterBase13, fields,
                                                 formats, true};
const SystemCatalogueLayout interbaseCatalogue18{67, pages, relationsInterBase18, relationFieldsInterBase13, fields,
                                                 formats, true};

int SystemLayout::operator[](std::string_view name) const
{
    for (size_t id = 0; id < fields.size(); ++id)
        if (fields[id].name == name)
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

BootstrapLayouts bootstrapLayouts(const Header &header, const SystemConventions &conventions)
{
    const SystemCatalogueLayout &catalogue = *header.version->catalogue;
    const int nameBytes = catalogue.nameBytes;
    return BootstrapLayouts{layOutTable(catalogue.pages, nameBytes, conventions),
                            layOutTable(catalogue.relations, nameBytes, conventions),
                            layOutTable(catalogue.relationFields, nameBytes, conventions),
                            layOutTable(catalogue.fields, nameBytes, conventions),
                            layOutTable(catalogue.formats, nameBytes, conventions)};
}

} // namespace ods
