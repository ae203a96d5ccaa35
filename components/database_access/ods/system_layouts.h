#pragma once

// The fixed layouts of the system tables the catalogue is read from, before
// anything else is known: the leading fields of each, as every ODS from 8
// to 13 stores them (later versions only append fields, and ODS 10 appended
// the last one of RDB$FIELDS).

#include "record_format.h"

#include <vector>

namespace ods {

struct Header;

namespace pages_field {
enum { PageNumber, RelationId, Sequence, Type };
}
namespace relations_field {
enum { ViewBlr, ViewSource, Description, RelationId, SystemFlag, DbKeyLength, Format, FieldId, Name };
}
namespace relation_fields_field {
enum {
    FieldName, RelationName, FieldSource, QueryName, BaseField, EditString, Position, QueryHeader, UpdateFlag,
    FieldId, ViewContext, Description, DefaultValue, SystemFlag, SecurityClass, ComplexName, NullFlag,
    DefaultSource, CollationId
};
}
namespace fields_field {
enum {
    Name, QueryName, ValidationBlr, ValidationSource, ComputedBlr, ComputedSource, DefaultValue, DefaultSource,
    Length, Scale, Type, SubType, MissingValue, MissingSource, Description, SystemFlag, QueryHeader,
    SegmentLength, EditString, ExternalLength, ExternalScale, ExternalType, Dimensions, NullFlag,
    CharacterLength, CollationId, CharacterSetId, Precision
};
}
namespace formats_field {
enum { RelationId, Format, Descriptor };
}

enum SystemRelation { RdbPages = 0, RdbFields = 2, RdbRelationFields = 5, RdbRelations = 6, RdbFormats = 8 };

struct BootstrapLayouts {
    RecordFormat pages;
    RecordFormat relations;
    RecordFormat relationFields;
    RecordFormat fields;
    RecordFormat formats;
};

// How the engine that made a file laid out its own tables. Older files
// carry the alignment of the platform that wrote them (4 or 8), and some
// engines counted a VARCHAR's length word in its declared length.
struct SystemConventions {
    unsigned alignment = 8;
    bool varyingLengthIncludesCount = false;

    int varyingLength(int declared) const { return varyingLengthIncludesCount ? declared : declared + 2; }
};

// The conventions to try, most likely first.
std::vector<SystemConventions> candidateConventions(const Header &header);

BootstrapLayouts bootstrapLayouts(const Header &header, const SystemConventions &conventions);

// True when `fields` holds every field RDB$FIELDS has in this ODS, so that
// its length must equal the records' length.
bool fieldsLayoutIsComplete(const Header &header);

} // namespace ods
