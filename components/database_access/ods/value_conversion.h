#pragma once

// Values of records stored under an older format of their table, brought to
// the column's current type the way the engine converts them on reading.

#include "record_format.h"

#include <QByteArray>
#include <cstdint>

namespace ods {

// Writes the value at `value` (laid out as `from`) in the layout `to` into
// `out`; false where the engine would fail, or would transliterate between
// character sets, which this reader does not.
bool convertValue(const FieldLayout &from, const uint8_t *value, const FieldLayout &to, QByteArray &out);

} // namespace ods
