#pragma once

// The system tables the catalogue is read from, as each version stores them
// before anything else is known: one list of fields per table and version,
// in field id order. Fields are looked up by name; a field a version lacks
// reads as null. Lists may stop after the last field this reader needs
// (later fields only follow) unless marked complete.

#include "record_format.h"

#include <span>
#include <string_view>
#include <vector>

namespace ods {

struct Header;

enum SystemRelation { RdbPages = 0, RdbFields = 2, RdbRelationFields = 5, RdbRelations = 6, RdbFormats = 8 };

// Stored types of the system tables' fields. Names and edit strings have a
// width per version (SystemCatalogueLayout, SystemConventions).
enum class SystemType : uint8_t {
    Short,
    Long,
    Blob,
    Name,         // CHAR(31), CHAR(67) or CHAR(63) UTF8 by version
    EditString,   // VARCHAR(127) or (125)
    Char31,
    FileName,     // VARCHAR(253)
    Timestamp,
};

struct SystemField {
    std::string_view name;
    SystemType type;
};

struct SystemCatalogueLayout {
    int nameBytes;
    std::span<const SystemField> pages;
    std::span<const SystemField> relations;
    std::span<const SystemField> relationFields;
    std::span<const SystemField> fields;
    std::span<const SystemField> formats;
    bool fieldsComplete;       // RDB$FIELDS records of format 0 are exactly as long as `fields`
};

extern const SystemCatalogueLayout interbaseCatalogue8;    // ODS 8, 9 (InterBase 4 and 5)
extern const SystemCatalogueLayout firebirdCatalogue10;    // ODS 10, 11 (and InterBase 6)
extern const SystemCatalogueLayout firebirdCatalogue12;
extern const SystemCatalogueLayout firebirdCatalogue13;
extern const SystemCatalogueLayout interbaseCatalogue13;
extern const SystemCatalogueLayout interbaseCatalogue15;   // and 16.0
extern const SystemCatalogueLayout interbaseCatalogue16;   // 16.1, 17
extern const SystemCatalogueLayout interbaseCatalogue18;   // and 19

// How the engine that made a file laid out its own tables. Older files
// carry the alignment of the platform that wrote them (4 or 8), and some
// engines counted a VARCHAR's length word in its declared length.
struct SystemConventions {
    unsigned alignment = 8;
    bool varyingLengthIncludesCount = false;

    int varyingLength(int declared) const { return varyingLengthIncludesCount ? declared : declared + 2; }
};

// One system table laid out: its record format and its fields by name.
struct SystemLayout {
    RecordFormat format;
    std::span<const SystemField> fields;
    // The field id of `name`; -1 (reads as null) when this version lacks it.
    int operator[](std::string_view name) const;
};

struct BootstrapLayouts {
    SystemLayout pages;
    SystemLayout relations;
    SystemLayout relationFields;
    SystemLayout fields;
    SystemLayout formats;
};

// The conventions to try, most likely first.
std::vector<SystemConventions> candidateConventions(const Header &header);

BootstrapLayouts bootstrapLayouts(const Header &header, const SystemConventions &conventions);

} // namespace ods
