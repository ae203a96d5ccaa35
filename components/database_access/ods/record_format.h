#pragma once

// Record formats: where each field of a record version lies. User tables keep
// theirs in RDB$FORMATS (a descriptor per field id, in a layout that changed
// with the versions, see on_disk_format.h); system tables' formats follow
// from their field list.

#include "data_type.h"

#include <QByteArray>
#include <cstdint>
#include <vector>

namespace ods {

struct FieldLayout {
    int dtype = 0;
    int scale = 0;
    int length = 0;
    int subType = 0;
    uint32_t offset = 0;     // 0: not stored in records of this format
    bool stored() const { return dtype != 0 && offset != 0; }
};

// A value a format gives a field that records of older formats lack.
struct FieldDefault {
    FieldLayout layout;
    QByteArray value;
};

struct RecordFormat {
    std::vector<FieldLayout> fields;           // by field id
    std::vector<FieldDefault> defaults;        // by field id; dtype 0: none
    size_t length = 0;                         // bytes of a record
    bool known = false;
};

// The null flags before the fields: a bit per field, in whole 32-bit words
// with room for one more field.
inline size_t nullFlagBytes(size_t fields)
{
    return ((fields + 32) & ~size_t(31)) >> 3;
}

struct OdsVersion;
struct SystemCatalogueLayout;

// Decodes an RDB$FORMATS descriptor BLOB, laid out as `catalogue` lays them
// out; damaged() when it does not parse. `interbaseTypes`: InterBase's own
// numbers for types Firebird numbers otherwise (OdsVersion).
RecordFormat parseFormatDescriptor(const QByteArray &blob, const SystemCatalogueLayout &catalogue,
                                   bool interbaseTypes);

// InterBase stores a BOOLEAN in 2 bytes, the first of which (little-endian)
// holds what Firebird's 1-byte BOOLEAN holds: once a format's length is
// known, its booleans are read as their first byte.
constexpr int interbaseBooleanBytes = 2;
void readBooleansAsFirebirds(RecordFormat &format);

// Lays out fields (by field id) as the engine does for its own tables:
// in id order, each aligned to its size up to `alignmentCap`.
RecordFormat layOut(const std::vector<FieldLayout> &fields, unsigned alignmentCap);

// The internal data type of an RDB$FIELDS.RDB$FIELD_TYPE number; 0 if unknown.
int dtypeOfFieldType(int blrType, const OdsVersion &version);

} // namespace ods
