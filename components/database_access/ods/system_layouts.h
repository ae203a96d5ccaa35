#pragma once

// The system tables the catalogue is read from, as each version stores them
// before anything else is known: one list of fields per table, in field id
// order, each field tagged with the catalogue editions it is laid out for.
// That is every edition whose records hold it there, except where a list
// stops early for an edition, after the last field this reader needs (later
// fields only follow); the list says so. Fields are looked up by name; a
// field an edition lacks reads as null.

#include "on_disk_format.h"
#include "record_format.h"

#include <cstdint>
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

// The shapes the system tables have had, one bit each, so that a field can
// name every edition that has it.
enum CatalogueEdition : uint16_t {
    InterBase8 = 1 << 0,    // ODS 8, 9: InterBase 4 and 5
    Firebird10 = 1 << 1,    // ODS 10, 11: Firebird 1 to 2.5, InterBase 6
    Firebird12 = 1 << 2,    // ODS 12: Firebird 3
    Firebird13 = 1 << 3,    // ODS 13: Firebird 4 and 5
    InterBase12 = 1 << 4,   // InterBase's ODS 12: InterBase 2007
    InterBase13 = 1 << 5,   // InterBase's ODS 13: InterBase 2009
    InterBase15 = 1 << 6,   // ODS 15 and 16.0: InterBase XE to XE7
    InterBase16 = 1 << 7,   // ODS 16.1 and 17
    InterBase18 = 1 << 8,   // ODS 18 and 19: InterBase 2020 and 15
};
using Editions = uint16_t;

struct SystemField {
    std::string_view name;
    SystemType type;
    Editions editions;
};

// The shape of a catalogue: which fields its system tables hold, how wide
// its names are, and how its RDB$FORMATS descriptors are laid out.
struct SystemCatalogueLayout {
    CatalogueEdition edition;
    int nameBytes;
    bool fieldsComplete;       // RDB$FIELDS records of format 0 are exactly as long as its list
    // Null: Firebird's bare entries, 12 bytes (16 from 64-bit engines before ODS 12).
    const disk::FormatEntryLayout *formatEntry = nullptr;
    bool formatHasCount = false;   // Firebird from ODS 12: count first, defaults after
};

extern const SystemCatalogueLayout interbaseCatalogue8;
extern const SystemCatalogueLayout firebirdCatalogue10;
extern const SystemCatalogueLayout firebirdCatalogue12;
extern const SystemCatalogueLayout firebirdCatalogue13;
extern const SystemCatalogueLayout interbaseCatalogue12;
extern const SystemCatalogueLayout interbaseCatalogue13;
extern const SystemCatalogueLayout interbaseCatalogue15;
extern const SystemCatalogueLayout interbaseCatalogue16;
extern const SystemCatalogueLayout interbaseCatalogue18;

// How the engine that made a file laid out its own tables. Older files
// carry the alignment of the platform that wrote them (4 or 8), and some
// engines counted a VARCHAR's length word in its declared length.
struct SystemConventions {
    unsigned alignment = 8;
    bool varyingLengthIncludesCount = false;

    int varyingLength(int declared) const { return varyingLengthIncludesCount ? declared : declared + 2; }
};

// One system table laid out for one edition: its record format and its
// fields by name.
struct SystemLayout {
    RecordFormat format;
    std::vector<std::string_view> fields;   // by field id
    // The field id of `name`; -1 (reads as null) when this edition lacks it.
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

BootstrapLayouts bootstrapLayouts(const SystemCatalogueLayout &catalogue, const SystemConventions &conventions);

} // namespace ods
