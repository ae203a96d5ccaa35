#pragma once

// Record compression as stored on data pages, and back versions stored as the
// differences from the next newer version.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ods {

enum class Packing {
    Runs,          // control byte n > 0: n literal bytes; n < 0: one byte repeated -n times
    LongRuns,      // ODS 13.1: as Runs, and -1 / -2 announce a 2- / 4-byte repeat count
    Unpacked,      // ODS 13.1 record flag: the bytes as they are (zero padding allowed)
};

// Appends the expansion of `input` to `output`, which must not grow beyond
// `limit` bytes; damaged() on a stream that overruns or is cut short.
void unpack(const uint8_t *input, size_t length, Packing packing, std::vector<uint8_t> &output, size_t limit);

// Applies a difference stream onto `record` (the next newer version's data,
// sized to the older version's format), turning it into the older version's
// data; the record ends where the differences end.
void applyDifferences(const std::vector<uint8_t> &differences, std::vector<uint8_t> &record);

} // namespace ods
