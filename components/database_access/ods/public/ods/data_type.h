#pragma once

namespace ods {

// Firebird's internal data type numbers, the same on disk, in the engine's
// memory and in the client's messages (RDB$FIELD_TYPE is a different set).
enum Dtype : int {
    DtText = 1,
    DtCString = 2,
    DtVarying = 3,
    DtShort = 8,
    DtLong = 9,
    DtQuad = 10,
    DtReal = 11,
    DtDouble = 12,
    DtDFloat = 13,
    DtDate = 14,
    DtTime = 15,
    DtTimestamp = 16,
    DtBlob = 17,
    DtArray = 18,
    DtInt64 = 19,
    DtDbKey = 20,
    DtBoolean = 21,
    DtDec64 = 22,
    DtDec128 = 23,
    DtInt128 = 24,
    DtTimeTz = 25,
    DtTimestampTz = 26,
    // Only in the client's messages, never on disk: a time zone's offset too.
    DtExTimeTz = 27,
    DtExTimestampTz = 28,
};

} // namespace ods
